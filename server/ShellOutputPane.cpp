#include "server/ShellOutputPane.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

namespace {
// Large enough to batch a flood, small enough that typing feels immediate.
constexpr int kFlushIntervalMs = 40;
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
    m_pFlushTimer->setInterval(kFlushIntervalMs);
    connect(m_pFlushTimer, &QTimer::timeout, this, &CShellOutputPane::Flush);
}

void CShellOutputPane::AppendText(const QString &strText)
{
    if (strText.isEmpty())
        return;
    m_strPending += strText;
    if (!m_pFlushTimer->isActive())
        m_pFlushTimer->start();
}

void CShellOutputPane::AppendLine(const QString &strLine)
{
    Flush();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const bool bNewLine = !cursor.atBlockStart();
    AppendText((bNewLine ? QStringLiteral("\n") : QString()) + strLine + QLatin1Char('\n'));
    Flush();
}

void CShellOutputPane::Flush()
{
    m_pFlushTimer->stop();
    if (m_strPending.isEmpty())
        return;
    QScrollBar *bar = verticalScrollBar();
    const bool bAtEnd = bar->value() >= bar->maximum();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_strPending);
    m_strPending.clear();
    if (bAtEnd)
        bar->setValue(bar->maximum());
}

void CShellOutputPane::SetText(const QString &strText)
{
    m_pFlushTimer->stop();
    m_strPending.clear();
    setPlainText(strText);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString CShellOutputPane::Text()
{
    Flush();
    return toPlainText();
}
