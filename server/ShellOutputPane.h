#pragma once

#include "framework/OutputView.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

class QTimer;

// The output area of the remote shell: read-only text that received text is appended
// to at its end, whatever the user has selected. Text arriving in quick succession is
// gathered and inserted in one step per turn of the event loop, some twenty times a
// second while a server floods the connection, so keys, buttons and repaints are
// served in between; text that comes after a quiet spell (a prompt) is shown in the
// next turn. The area keeps the newest kMaxBytes, and no more than kMaxLines lines,
// since a flood of short lines costs memory and time per line: older text is dropped,
// text that waits for insertion included, and a note at the top says how much. The
// view follows the end only while the user has not scrolled away from it.
class CShellOutputPane : public COutputView
{
    Q_OBJECT

public:
    // Longer lines are shown broken into lines of this length.
    static constexpr qsizetype kMaxLineChars = 4096;
    static constexpr qint64 kMaxBytes = 2 * 1024 * 1024;
    static constexpr qint64 kMaxLines = 50000;

    explicit CShellOutputPane(QWidget *parent = nullptr);

    void AppendText(const QString &strText);
    // Appends a message of the window's own on a line of its own.
    void AppendLine(const QString &strLine);
    // Replaces everything, pending text included.
    void SetText(const QString &strText);
    // Inserts the text still waiting; the whole text afterwards.
    QString Text();
    // What the area shows now, without the text still waiting.
    QString ShownText() const;
    void Flush();
    // True while received text waits to be inserted.
    bool HasPendingText() const { return m_nPendingPos < m_baPending.size(); }

    // Bytes of text (UTF-8, as shown) dropped since the area was last set.
    qint64 DroppedBytes() const { return m_nDropped; }
    void SetMaxBytes(qint64 nMax) { m_nMaxBytes = nMax; }
    void SetMaxLines(qint64 nMax) { m_nMaxLines = nMax; }

private:
    // Inserts the next part of the pending text; true while some is left.
    bool InsertPending();
    void ScheduleInsert();
    void DropOldestPending();
    void DropOldestShown();
    void UpdateNote();
    long ShownBytes() const;
    long ShownLineEnds() const;

    QByteArray m_baPending;  // UTF-8, lines already broken
    qsizetype m_nPendingPos = 0;
    qint64 m_nPendingLines = 0;  // line ends in the text still waiting
    qsizetype m_nColumn = 0;  // length of the last line, pending text included
    qint64 m_nMaxBytes = kMaxBytes;
    qint64 m_nMaxLines = kMaxLines;
    qint64 m_nDropped = 0;
    qint64 m_nNoteDropped = 0;  // the count the note at the top shows
    long m_nNoteLength = 0;
    bool m_bDropShown = false;  // all that is shown is older than what waits
    QTimer *m_pInsertTimer;
    QElapsedTimer m_lastInsert;
};
