#pragma once

#include <QPlainTextEdit>
#include <QString>

class QTimer;

// The output area of the remote shell: read-only text that received text is appended
// to at its end, whatever the user has selected. Text arriving in quick succession is
// gathered and inserted in one step a few times a second, so a server that floods the
// connection does not freeze the IDE. The view follows the end only while the user
// has not scrolled away from it.
class CShellOutputPane : public QPlainTextEdit
{
    Q_OBJECT

public:
    // Longer lines are shown broken into lines of this length.
    static constexpr qsizetype kMaxLineChars = 4096;

    explicit CShellOutputPane(QWidget *parent = nullptr);

    void AppendText(const QString &strText);
    // Appends a message of the window's own on a line of its own.
    void AppendLine(const QString &strLine);
    // Replaces everything, pending text included.
    void SetText(const QString &strText);
    // Inserts the text still waiting; the whole text afterwards.
    QString Text();
    void Flush();
    // True while received text waits to be inserted.
    bool HasPendingText() const { return m_nPendingPos < m_strPending.size(); }

private:
    // Inserts the next part of the pending text; true while some is left.
    bool InsertPending();

    QString m_strPending;
    qsizetype m_nPendingPos = 0;
    qsizetype m_nColumn = 0;  // length of the last line, pending text included
    QTimer *m_pFlushTimer;
};
