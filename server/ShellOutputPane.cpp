#include "server/ShellOutputPane.h"

#include "framework/OutputLimit.h"

#include <QFontDatabase>
#include <QTimer>

namespace {
// While text keeps coming, inserted at most this often: enough to look live, rare
// enough that the window stays free for the user between insertions.
constexpr qint64 kInsertIntervalMs = 40;
// What one turn of the event loop inserts at most, so that a backlog is shown in
// steps between which the IDE keeps answering.
constexpr qsizetype kMaxInsertBytes = 128 * 1024;

bool IsUtf8Continuation(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}
}

CShellOutputPane::CShellOutputPane(QWidget *parent)
    : COutputView(parent)
    , m_pInsertTimer(new QTimer(this))
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetPaneFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_pInsertTimer->setSingleShot(true);
    connect(m_pInsertTimer, &QTimer::timeout, this, &CShellOutputPane::InsertPending);
    m_lastInsert.start();
}

void CShellOutputPane::AppendText(const QString &strText)
{
    if (strText.isEmpty())
        return;
    // A line of hundreds of kilobytes would be laid out anew at every repaint and
    // freeze the window; such a line is shown in pieces, every character kept. A flood
    // brings hundreds of thousands of short lines a second, so the text is walked
    // once and copied only where a line has to be broken.
    const auto *p = reinterpret_cast<const char16_t *>(strText.constData());
    const qsizetype size = strText.size();
    QString broken;
    bool bBroken = false;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (p[i] == u'\n') {
            m_nColumn = 0;
            continue;
        }
        if (m_nColumn == kMaxLineChars) {
            // A character of two units goes whole to the next line.
            const qsizetype at = QChar::isLowSurrogate(p[i]) && i > runStart ? i - 1 : i;
            broken += QStringView(p + runStart, at - runStart);
            broken += QLatin1Char('\n');
            bBroken = true;
            runStart = at;
            m_nColumn = i - at;
        }
        ++m_nColumn;
    }
    if (!bBroken)
        broken = strText;
    else
        broken += QStringView(p + runStart, size - runStart);
    const QByteArray bytes = broken.toUtf8();
    m_baPending += bytes;
    m_nPendingLines += bytes.count('\n');
    if (m_baPending.size() - m_nPendingPos > m_nMaxBytes || m_nPendingLines > m_nMaxLines)
        DropOldestPending();
    ScheduleInsert();
}

void CShellOutputPane::AppendLine(const QString &strLine)
{
    AppendText((m_nColumn > 0 ? QStringLiteral("\n") : QString()) + strLine + QLatin1Char('\n'));
}

void CShellOutputPane::ScheduleInsert()
{
    if (m_pInsertTimer->isActive())
        return;
    m_pInsertTimer->start(int(qMax<qint64>(0, kInsertIntervalMs - m_lastInsert.elapsed())));
}

// More is waiting than the area keeps: what the area would drop at once is dropped
// before it costs a display, and so is all it shows now, which is older still. The
// rest starts at the start of a line where there is one.
void CShellOutputPane::DropOldestPending()
{
    const qsizetype waiting = m_baPending.size() - m_nPendingPos;
    qsizetype cut = m_nPendingPos;
    if (waiting > m_nMaxBytes) {
        cut += qsizetype(COutputLimit::DropCount(waiting, m_nMaxBytes));
        const qsizetype lineStart = m_baPending.lastIndexOf('\n', cut - 1) + 1;
        const qsizetype nextLine = m_baPending.indexOf('\n', cut);
        if (lineStart > m_nPendingPos)
            cut = lineStart;
        else if (nextLine >= 0)
            cut = nextLine + 1;
        while (cut < m_baPending.size() && IsUtf8Continuation(m_baPending.at(cut)))
            ++cut;
    }
    if (m_nPendingLines > m_nMaxLines) {
        // After the line end that leaves half the line limit behind it.
        qsizetype lineEnd = m_baPending.size();
        for (qint64 n = 0; n <= m_nMaxLines / 2 && lineEnd > m_nPendingPos; ++n)
            lineEnd = m_baPending.lastIndexOf('\n', lineEnd - 1);
        cut = qMax(cut, lineEnd + 1);
    }
    m_nDropped += cut - m_nPendingPos;
    m_baPending = m_baPending.mid(cut);
    m_nPendingPos = 0;
    m_nPendingLines = m_baPending.count('\n');
    m_bDropShown = true;
}

void CShellOutputPane::Flush()
{
    while (InsertPending()) {
    }
}

long CShellOutputPane::ShownBytes() const
{
    return long(const_cast<CShellOutputPane *>(this)->SendScintilla(SCI_GETLENGTH)) - m_nNoteLength;
}

long CShellOutputPane::ShownLineEnds() const
{
    // The note is a line of its own; the last line has no line end yet.
    return long(const_cast<CShellOutputPane *>(this)->SendScintilla(SCI_GETLINECOUNT)) - 1
           - (m_nNoteLength > 0 ? 1 : 0);
}

bool CShellOutputPane::InsertPending()
{
    m_pInsertTimer->stop();
    if (!HasPendingText())
        return false;
    const bool bFollow = IsAtBottom();
    qsizetype n = qMin(kMaxInsertBytes, m_baPending.size() - m_nPendingPos);
    // Never split a character between two insertions.
    while (m_nPendingPos + n < m_baPending.size() && IsUtf8Continuation(m_baPending.at(m_nPendingPos + n)))
        ++n;
    SendScintilla(SCI_SETREADONLY, 0);
    if (m_bDropShown) {
        m_bDropShown = false;
        m_nDropped += ShownBytes();
        SendScintilla(SCI_DELETERANGE, long(m_nNoteLength), ShownBytes());
    }
    SendScintilla(SCI_APPENDTEXT, (unsigned long)n, m_baPending.constData() + m_nPendingPos);
    m_nPendingLines -= QByteArrayView(m_baPending.constData() + m_nPendingPos, n).count('\n');
    if (ShownBytes() > m_nMaxBytes || ShownLineEnds() > m_nMaxLines)
        DropOldestShown();
    UpdateNote();
    SendScintilla(SCI_SETREADONLY, 1);
    m_nPendingPos += n;
    if (m_nPendingPos >= m_baPending.size()) {
        // Let the memory of a flood go.
        m_baPending = QByteArray();
        m_nPendingPos = 0;
        m_nPendingLines = 0;
    } else {
        m_pInsertTimer->start(0);
    }
    if (bFollow) {
        const long lines = SendScintilla(SCI_GETLINECOUNT);
        const long onScreen = SendScintilla(SCI_LINESONSCREEN);
        SendScintilla(SCI_SETFIRSTVISIBLELINE, qMax(0L, lines - onScreen));
    }
    m_lastInsert.restart();
    return HasPendingText();
}

void CShellOutputPane::DropOldestShown()
{
    long cut = m_nNoteLength;
    if (ShownBytes() > m_nMaxBytes) {
        cut += long(COutputLimit::DropCount(ShownBytes(), m_nMaxBytes));
        const long line = SendScintilla(SCI_LINEFROMPOSITION, cut);
        const long lineStart = SendScintilla(SCI_POSITIONFROMLINE, line);
        const long length = SendScintilla(SCI_GETLENGTH);
        // The line the cut falls in is kept whole, or dropped whole when it is the
        // first one; only a single line longer than what is kept is cut inside,
        // between two characters.
        if (lineStart > m_nNoteLength) {
            cut = lineStart;
        } else if (line + 1 < SendScintilla(SCI_GETLINECOUNT)) {
            cut = SendScintilla(SCI_POSITIONFROMLINE, line + 1);
        } else {
            while (cut < length && IsUtf8Continuation(char(SendScintilla(SCI_GETCHARAT, cut))))
                ++cut;
        }
    }
    if (ShownLineEnds() > m_nMaxLines) {
        const long lastLine = SendScintilla(SCI_GETLINECOUNT) - 1;
        cut = qMax(cut, long(SendScintilla(SCI_POSITIONFROMLINE, lastLine - long(m_nMaxLines / 2))));
    }
    m_nDropped += cut - m_nNoteLength;
    SendScintilla(SCI_DELETERANGE, long(m_nNoteLength), cut - m_nNoteLength);
}

void CShellOutputPane::UpdateNote()
{
    if (m_nDropped == m_nNoteDropped)
        return;
    const QByteArray note = COutputLimit::DroppedNote(m_nDropped);
    SendScintilla(SCI_DELETERANGE, 0L, m_nNoteLength);
    SendScintilla(SCI_INSERTTEXT, (unsigned long)0, note.constData());
    m_nNoteLength = long(note.size());
    m_nNoteDropped = m_nDropped;
}

void CShellOutputPane::SetText(const QString &strText)
{
    m_pInsertTimer->stop();
    m_baPending = QByteArray();
    m_nPendingPos = 0;
    m_nPendingLines = 0;
    m_nDropped = 0;
    m_nNoteDropped = 0;
    m_nNoteLength = 0;
    m_bDropShown = false;
    const QByteArray bytes = strText.toUtf8();
    SendScintilla(SCI_SETREADONLY, 0);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_APPENDTEXT, (unsigned long)bytes.size(), bytes.constData());
    SendScintilla(SCI_SETREADONLY, 1);
    m_nColumn = strText.size() - (strText.lastIndexOf(QLatin1Char('\n')) + 1);
    const long lines = SendScintilla(SCI_GETLINECOUNT);
    const long onScreen = SendScintilla(SCI_LINESONSCREEN);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, qMax(0L, lines - onScreen));
}

QString CShellOutputPane::ShownText() const
{
    auto *self = const_cast<CShellOutputPane *>(this);
    const long length = self->SendScintilla(SCI_GETLENGTH);
    const auto *p = reinterpret_cast<const char *>(self->SendScintilla(SCI_GETCHARACTERPOINTER));
    return QString::fromUtf8(p, qsizetype(length));
}

QString CShellOutputPane::Text()
{
    Flush();
    return ShownText();
}
