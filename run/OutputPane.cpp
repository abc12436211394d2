#include "run/OutputPane.h"

#include "framework/OutputLimit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <cstring>

COutputPane::COutputPane(QWidget *parent)
    : COutputView(parent)
{
}

void COutputPane::AppendBytes(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    bool bFollow = IsAtBottom();
    SendScintilla(SCI_SETREADONLY, 0);
    Reserve(qint64(SendScintilla(SCI_GETLENGTH)) + data.size(), data.size());
    SendScintilla(SCI_APPENDTEXT, (unsigned long)data.size(), data.constData());
    if (SendScintilla(SCI_GETLENGTH) > m_nMaxBytes)
        DropOldest();
    SendScintilla(SCI_SETREADONLY, 1);
    if (bFollow) {
        long lines = SendScintilla(SCI_GETLINECOUNT);
        long onScreen = SendScintilla(SCI_LINESONSCREEN);
        SendScintilla(SCI_SETFIRSTVISIBLELINE, qMax(0L, lines - onScreen));
    }
    // Under a flood, searching once per burst rather than once per piece.
    if (m_bLinks && !m_bFindScheduled) {
        m_bFindScheduled = true;
        QTimer::singleShot(50, this, [this] {
            m_bFindScheduled = false;
            FindNewMessages(false);
        });
    }
    emit Appended();
}

void COutputPane::Reserve(qint64 nBytes, qint64 nBatch)
{
    // Scintilla grows its text by a sixth at a time, each time into new memory, all of
    // it written once; under a flood that meant faulting in the text several times
    // over, the larger part of an append's cost. Here the room at least doubles, and
    // a batch that says a flood is on takes room for the next several batches at its
    // size at once, so that a flood of many megabytes moves its text once or twice,
    // not at each doubling. Beyond the pane's limit it never needs to grow: the oldest
    // output goes first.
    if (nBytes < m_nReserved)
        return;
    qint64 room = qMax(nBytes + 1, qMax(m_nReserved * 2, qint64(kFirstReserve)));
    room = qMax(room, nBytes + kBatchesAhead * nBatch);
    room = qMin(room, qMax(nBytes + 1, m_nMaxBytes + 1));
    SendScintilla(SCI_ALLOCATE, (unsigned long)room);
    m_nReserved = room;
}

void COutputPane::DropOldest()
{
    long length = SendScintilla(SCI_GETLENGTH);
    long cut = long(COutputLimit::DropCount(length, m_nMaxBytes));
    if (cut <= m_nNoteLength)
        return;
    long line = SendScintilla(SCI_LINEFROMPOSITION, cut);
    long lineStart = SendScintilla(SCI_POSITIONFROMLINE, line);
    if (lineStart > m_nNoteLength)
        cut = lineStart;
    m_nDropped += cut - m_nNoteLength;
    SendScintilla(SCI_DELETERANGE, 0L, cut);
    const QByteArray note = COutputLimit::DroppedNote(m_nDropped);
    SendScintilla(SCI_INSERTTEXT, (unsigned long)0, note.constData());
    m_nNoteLength = note.size();
    m_nSearchedTo = m_nSearchedTo > cut ? m_nSearchedTo - cut + m_nNoteLength : m_nNoteLength;
}

QByteArray COutputPane::TextBytes() const
{
    auto *self = const_cast<COutputPane *>(this);
    long length = self->SendScintilla(SCI_GETLENGTH);
    auto *p = reinterpret_cast<const char *>(self->SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(p, int(length));
}

void COutputPane::EnableMessageLinks(const QString &strBaseDir)
{
    if (m_bLinks)
        return;
    m_bLinks = true;
    m_strBaseDir = strBaseDir;
    SendScintilla(SCI_INDICSETSTYLE, kLinkIndicator, INDIC_PLAIN);
    SendScintilla(SCI_INDICSETFORE, kLinkIndicator, 0xCC3300L);
    SendScintilla(SCI_INDICSETHOVERSTYLE, kLinkIndicator, INDIC_FULLBOX);
    SendScintilla(SCI_INDICSETHOVERFORE, kLinkIndicator, 0xCC3300L);
    SendScintilla(SCI_INDICSETSTYLE, kLinkIndicator + 1, INDIC_TEXTFORE);
    SendScintilla(SCI_INDICSETFORE, kLinkIndicator + 1, 0xCC3300L);
    FindNewMessages(false);
}

void COutputPane::FinishMessageLinks()
{
    if (m_bLinks)
        FindNewMessages(true);
}

void COutputPane::FindNewMessages(bool bFinal)
{
    const long length = SendScintilla(SCI_GETLENGTH);
    if (m_nSearchedTo >= length)
        return;
    // Read in place: nothing changes the text while this runs.
    const auto *p = reinterpret_cast<const char *>(SendScintilla(SCI_GETRANGEPOINTER, m_nSearchedTo, length - m_nSearchedTo));
    qsizetype size = qsizetype(length - m_nSearchedTo);
    // A line still being written is searched when its end has come.
    if (!bFinal) {
        const char *lastEnd = static_cast<const char *>(::memrchr(p, '\n', size_t(size)));
        if (!lastEnd)
            return;
        size = lastEnd - p + 1;
    }
    // Only the lines that can be messages become text for the parser, with the lines
    // that may continue a quotation of source after one; a flood of other output is
    // passed over byte by byte. Each run of lines passed over is one empty line for
    // the parser, so that what follows what stays as it was. lineOf maps the parsed
    // lines back to the new ones.
    QStringList lines;
    QList<int> lineOf;
    int nLines = 0;
    int continuing = 0;
    bool bSkipping = false;
    for (qsizetype at = 0; at < size; ++nLines) {
        const char *nl = static_cast<const char *>(std::memchr(p + at, '\n', size_t(size - at)));
        const qsizetype lineEnd = nl ? nl - p : size;
        const char *line = p + at;
        const qsizetype lineLength = lineEnd - at;
        const bool candidate = CFileLineParser::MayHoldMessage(line, lineLength);
        if (candidate || continuing > 0) {
            lines << QString::fromUtf8(line, lineLength);
            lineOf << nLines;
            bSkipping = false;
        } else if (!bSkipping) {
            lines << QString();
            lineOf << nLines;
            bSkipping = true;
        }
        if (candidate && CFileLineParser::MayOpenNear(line, lineLength))
            continuing = CFileLineParser::kMaxNearLines;
        else if (continuing > 0)
            --continuing;
        at = lineEnd + 1;
    }
    QList<CFileLineMessage> found = CFileLineParser(m_strBaseDir).Parse(lines);
    for (CFileLineMessage &msg : found) {
        const QString local = m_pathMap.ToLocal(msg.strFile);
        if (local != msg.strFile)
            msg.strPath = local;
        msg.nFirstLine = lineOf[msg.nFirstLine];
        msg.nLastLine = lineOf[msg.nLastLine];
    }
    const long firstLine = SendScintilla(SCI_LINEFROMPOSITION, m_nSearchedTo);
    // A stack trace that goes on from the text searched before: its next line is a
    // frame, as it would be were the whole text searched at once.
    if (!found.isEmpty() && !m_messages.isEmpty() && found[0].nForm == CFileLineMessage::JavaTrace
        && found[0].nFirstLine == 0 && m_messages.last().nForm == CFileLineMessage::JavaTrace
        && m_messages.last().nLastLine == firstLine - 1)
        found[0].bFrame = true;
    long searchedTo = m_nSearchedTo + long(size);
    // perl quotes source after "near"; one whose closing quote has not come yet is
    // searched again with the lines after it.
    if (!bFinal && !found.isEmpty()) {
        const CFileLineMessage &last = found.last();
        if (last.strText.contains(QLatin1String(", near \"")) && !last.strText.endsWith(QLatin1Char('"'))
            && last.nLastLine == nLines - 1) {
            searchedTo = SendScintilla(SCI_POSITIONFROMLINE, firstLine + last.nFirstLine);
            found.removeLast();
        }
    }
    for (CFileLineMessage msg : found) {
        msg.nFirstLine += int(firstLine);
        msg.nLastLine += int(firstLine);
        m_messages << msg;
        long start = SendScintilla(SCI_GETLINEINDENTPOSITION, msg.nFirstLine);
        long end = SendScintilla(SCI_GETLINEENDPOSITION, msg.nLastLine);
        if (end > start) {
            // Choosing the indicator resets the value of the next fill.
            SendScintilla(SCI_SETINDICATORCURRENT, kLinkIndicator);
            SendScintilla(SCI_SETINDICATORVALUE, (unsigned long)m_messages.size());
            SendScintilla(SCI_INDICATORFILLRANGE, start, end - start);
            SendScintilla(SCI_SETINDICATORCURRENT, kLinkIndicator + 1);
            SendScintilla(SCI_INDICATORFILLRANGE, start, end - start);
        }
    }
    m_nSearchedTo = searchedTo;
}

int COutputPane::MessageAt(long nPosition) const
{
    auto *self = const_cast<COutputPane *>(this);
    if (!m_bLinks)
        return -1;
    // The caret may stand at the end of the line, past the link's last character.
    const long line = self->SendScintilla(SCI_LINEFROMPOSITION, nPosition);
    for (long at : {nPosition, long(self->SendScintilla(SCI_GETLINEINDENTPOSITION, line))}) {
        if (!(self->SendScintilla(SCI_INDICATORALLONFOR, at) & (1L << kLinkIndicator)))
            continue;
        const long value = self->SendScintilla(SCI_INDICATORVALUEAT, kLinkIndicator, at);
        if (value >= 1 && value <= m_messages.size())
            return int(value - 1);
    }
    return -1;
}

bool COutputPane::ActivateMessageAt(long nPosition)
{
    int index = MessageAt(nPosition);
    if (index < 0)
        return false;
    emit MessageActivated(m_messages[index]);
    return true;
}

void COutputPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    COutputView::mouseDoubleClickEvent(event);
    if (!m_bLinks || event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    const long position = SendScintilla(SCI_POSITIONFROMPOINTCLOSE, (unsigned long)at.x(), long(at.y()));
    if (position >= 0)
        ActivateMessageAt(position);
}

void COutputPane::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_bLinks) {
        if (ActivateMessageAt(SendScintilla(SCI_GETCURRENTPOS))) {
            event->accept();
            return;
        }
    }
    COutputView::keyPressEvent(event);
}
