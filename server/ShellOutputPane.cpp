#include "server/ShellOutputPane.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

namespace {
// Large enough to batch a flood, small enough that typing feels immediate.
constexpr int kFlushIntervalMs = 40;
// What one turn of the event loop inserts at most, so that a backlog of megabytes is
// shown in steps between which the IDE keeps answering.
constexpr qsizetype kMaxInsertChars = 64 * 1024;
}

CShellOutputPane::CShellOutputPane(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_pFlushTimer(new QTimer(this))
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Wrapping a very long line would lay it out anew on every insertion.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pFlushTimer->setSingleShot(true);
    connect(m_pFlushTimer, &QTimer::timeout, this, &CShellOutputPane::InsertPending);
}

void CShellOutputPane::AppendText(const QString &strText)
{
    if (strText.isEmpty())
        return;
    // A line of hundreds of kilobytes would be laid out anew at every insertion and
    // freeze the window; such a line is shown in pieces, every character kept.
    qsizetype from = 0;
    while (from < strText.size()) {
        qsizetype lineEnd = strText.indexOf(QLatin1Char('\n'), from);
        const qsizetype segmentEnd = lineEnd < 0 ? strText.size() : lineEnd;
        qsizetype room = kMaxLineChars - m_nColumn;
        if (segmentEnd - from <= room) {
            m_strPending += QStringView(strText).mid(from, segmentEnd - from);
            m_nColumn += segmentEnd - from;
            from = segmentEnd;
            if (lineEnd >= 0) {
                m_strPending += QLatin1Char('\n');
                m_nColumn = 0;
                ++from;
            }
            continue;
        }
        if (room > 0 && strText.at(from + room - 1).isHighSurrogate())
            --room;
        m_strPending += QStringView(strText).mid(from, room);
        m_strPending += QLatin1Char('\n');
        m_nColumn = 0;
        from += room;
    }
    if (!m_pFlushTimer->isActive())
        m_pFlushTimer->start(kFlushIntervalMs);
}

void CShellOutputPane::AppendLine(const QString &strLine)
{
    AppendText((m_nColumn > 0 ? QStringLiteral("\n") : QString()) + strLine + QLatin1Char('\n'));
}

void CShellOutputPane::Flush()
{
    while (InsertPending()) {
    }
}

bool CShellOutputPane::InsertPending()
{
    m_pFlushTimer->stop();
    if (m_nPendingPos >= m_strPending.size())
        return false;
    QScrollBar *bar = verticalScrollBar();
    const bool bAtEnd = bar->value() >= bar->maximum();
    qsizetype n = qMin(kMaxInsertChars, m_strPending.size() - m_nPendingPos);
    // Never split a surrogate pair between two insertions.
    if (m_nPendingPos + n < m_strPending.size() && m_strPending.at(m_nPendingPos + n - 1).isHighSurrogate())
        ++n;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_strPending.mid(m_nPendingPos, n));
    m_nPendingPos += n;
    if (m_nPendingPos >= m_strPending.size()) {
        m_strPending.clear();
        m_nPendingPos = 0;
    } else {
        m_pFlushTimer->start(0);
    }
    if (bAtEnd)
        bar->setValue(bar->maximum());
    return m_nPendingPos != 0;
}

void CShellOutputPane::SetText(const QString &strText)
{
    m_pFlushTimer->stop();
    m_strPending.clear();
    m_nPendingPos = 0;
    setPlainText(strText);
    m_nColumn = strText.size() - (strText.lastIndexOf(QLatin1Char('\n')) + 1);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString CShellOutputPane::Text()
{
    Flush();
    return toPlainText();
}
