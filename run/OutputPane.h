#pragma once

#include "framework/OutputView.h"
#include "framework/FileLineParser.h"
#include "run/PathMap.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A read-only pane that shows a child's output byte for byte. New output always goes
// at the end, whatever the user has selected; the pane follows it only while the user
// is at the bottom. Past kMaxBytes the oldest output is dropped and a note at the top
// says how much.
//
// With message links on, each message that names a file and line is underlined as it
// arrives; a double-click on it or Enter with the caret in it reports it.
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

    // Relative file names in messages are taken from strBaseDir (the child's folder).
    void EnableMessageLinks(const QString &strBaseDir);
    // A program that runs elsewhere names its files by its own paths: the messages
    // lead to the local files the map gives. Before EnableMessageLinks.
    void SetPathMap(const CPathMap &map) { m_pathMap = map; }
    // Finds the messages in all the text there is, a last line without its line end
    // included; for when no more output will come.
    void FinishMessageLinks();
    const QList<CFileLineMessage> &Messages() const { return m_messages; }
    // The message whose text holds the control position, or -1.
    int MessageAt(long nPosition) const;
    bool ActivateMessageAt(long nPosition);

    static constexpr int kLinkIndicator = 8;

signals:
    void Appended();
    void MessageActivated(const CFileLineMessage &message);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // Room for nBytes of text, the last batch appended being nBatch bytes.
    void Reserve(qint64 nBytes, qint64 nBatch);
    void DropOldest();
    void FindNewMessages(bool bFinal);

    qint64 m_nMaxBytes = kMaxBytes;
    qint64 m_nDropped = 0;
    // The room Scintilla holds for the text, in bytes.
    static constexpr qint64 kFirstReserve = 64 * 1024;
    static constexpr qint64 kBatchesAhead = 8;
    qint64 m_nReserved = 0;
    long m_nNoteLength = 0;
    bool m_bLinks = false;
    bool m_bFindScheduled = false;
    QString m_strBaseDir;
    CPathMap m_pathMap;
    // Output before this position has been searched for messages.
    long m_nSearchedTo = 0;
    QList<CFileLineMessage> m_messages;
};
