#pragma once

#include "editor/OutputView.h"

#include <QByteArray>

// A read-only pane that shows a child's output byte for byte. New output always goes
// at the end, whatever the user has selected; the pane follows it only while the user
// is at the bottom. Past kMaxBytes the oldest output is dropped and a note at the top
// says how much.
class COutputPane : public COutputView
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxBytes = 64LL * 1024 * 1024;

    explicit COutputPane(QWidget *parent = nullptr);

    void AppendBytes(const QByteArray &data);
    QByteArray TextBytes() const;
    qint64 DroppedBytes() const { return m_nDropped; }
    void SetMaxBytes(qint64 nMax) { m_nMaxBytes = nMax; }

signals:
    void Appended();

private:
    void DropOldest();

    qint64 m_nMaxBytes = kMaxBytes;
    qint64 m_nDropped = 0;
    long m_nNoteLength = 0;
};
