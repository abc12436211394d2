#include "debug/DebugReplyParser.h"

#include <QRegularExpression>

namespace {

// The prompt as the debugger writes it on a socket: optional pid list of a forked
// debugger, then "DB<n>" (with one pair of brackets per nesting level) and a blank.
bool FindPrompt(const QByteArray &ba, qsizetype *pStart, int *pCommand, int *pLevel)
{
    if (!ba.endsWith("> "))
        return false;
    qsizetype end = ba.size() - 2;
    int nClose = 0;
    while (end > 0 && ba.at(end) == '>') {
        ++nClose;
        --end;
    }
    qsizetype digitsEnd = end + 1;
    while (end >= 0 && ba.at(end) >= '0' && ba.at(end) <= '9')
        --end;
    if (end + 1 == digitsEnd)
        return false;
    const QByteArray digits = ba.mid(end + 1, digitsEnd - end - 1);
    int nOpen = 0;
    while (end >= 0 && ba.at(end) == '<') {
        ++nOpen;
        --end;
    }
    if (nOpen == 0 || nOpen != nClose || end < 1 || ba.at(end) != 'B' || ba.at(end - 1) != 'D')
        return false;
    qsizetype start = end - 1;
    // Before "DB": blanks, and a forked debugger's "[123->456]".
    while (start > 0 && ba.at(start - 1) == ' ')
        --start;
    if (start > 0 && ba.at(start - 1) == ']') {
        const qsizetype open = ba.lastIndexOf('[', start - 1);
        const qsizetype lineStart = ba.lastIndexOf('\n', start - 1);
        if (open >= 0 && open > lineStart) {
            start = open;
            while (start > 0 && ba.at(start - 1) == ' ')
                --start;
        }
    }
    if (start > 0 && ba.at(start - 1) != '\n')
        return false;
    bool ok = false;
    const int nCommand = digits.toInt(&ok);
    if (!ok)
        return false;
    *pStart = start;
    *pCommand = nCommand;
    *pLevel = nOpen;
    return true;
}

} // namespace

QList<CDebugReplyParser::Event> CDebugReplyParser::Feed(const QByteArray &baData)
{
    QList<Event> events;
    m_baPending += baData;
    qsizetype start = 0;
    int nCommand = 0, nLevel = 0;
    // The debugger writes its prompt last and then waits, so a prompt can only be at the end.
    if (FindPrompt(m_baPending, &start, &nCommand, &nLevel)) {
        QByteArray baBefore = m_baPending.left(start);
        m_baPending = baBefore;
        TakeLines(events, true);
        Event prompt;
        prompt.kind = Event::Kind::Prompt;
        prompt.nCommand = nCommand;
        prompt.nLevel = nLevel;
        events.append(prompt);
        return events;
    }
    TakeLines(events, false);
    return events;
}

QList<CDebugReplyParser::Event> CDebugReplyParser::Finish()
{
    QList<Event> events;
    TakeLines(events, true);
    return events;
}

void CDebugReplyParser::TakeLines(QList<Event> &events, bool bAll)
{
    QByteArray baText;
    auto flushText = [&] {
        if (baText.isEmpty())
            return;
        Event text;
        text.strText = QString::fromUtf8(baText);
        events.append(text);
        baText.clear();
    };
    qsizetype pos = 0;
    while (pos < m_baPending.size()) {
        qsizetype nl = m_baPending.indexOf('\n', pos);
        if (nl < 0) {
            // A partial line waits for its end, unless nothing more will come before a prompt.
            if (!bAll)
                break;
            nl = m_baPending.size();
        }
        const QByteArray line = m_baPending.mid(pos, nl - pos);
        if (line.startsWith(kRecordMark)) {
            flushText();
            Event record;
            record.kind = Event::Kind::Record;
            record.fields = SplitRecord(line);
            events.append(record);
        } else {
            baText += m_baPending.mid(pos, qMin(nl + 1, m_baPending.size()) - pos);
        }
        pos = nl + 1;
    }
    flushText();
    m_baPending = pos < m_baPending.size() ? m_baPending.mid(pos) : QByteArray();
}

QStringList CDebugReplyParser::SplitRecord(const QByteArray &baLine)
{
    QByteArray body = baLine;
    if (body.startsWith(kRecordMark))
        body.remove(0, 1);
    if (body.endsWith('\r'))
        body.chop(1);
    QStringList fields;
    const QList<QByteArray> parts = body.split('\t');
    for (const QByteArray &part : parts) {
        // Perl's strings of bytes that are not UTF-8 are most likely Latin-1 text.
        const QByteArray bytes = Unescape(part);
        fields.append(bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes));
    }
    // The mark is followed by "K" and a tab: that first field is the mark's own.
    if (!fields.isEmpty() && fields.first() == QLatin1String("K"))
        fields.removeFirst();
    return fields;
}

QByteArray CDebugReplyParser::Unescape(const QByteArray &baField)
{
    QByteArray out;
    out.reserve(baField.size());
    for (qsizetype i = 0; i < baField.size(); ++i) {
        const char c = baField.at(i);
        if (c == '\\' && i + 3 < baField.size() && baField.at(i + 1) == 'x') {
            bool ok = false;
            const int value = baField.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += c;
    }
    return out;
}

bool CDebugReplyParser::ParseStopLine(const QString &strLine, QString *pSub, QString *pFile, int *pLine)
{
    // The file is taken greedily so that names holding colons or parentheses, and an
    // eval's "(eval 3)[/p/x.pl:4]", keep all of theirs.
    static const QRegularExpression re(QStringLiteral("^([A-Za-z_][\\w:']*)\\((.+):(\\d+)\\):"));
    const QRegularExpressionMatch m = re.match(strLine);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const int line = m.captured(3).toInt(&ok);
    if (!ok)
        return false;
    QString sub = m.captured(1);
    if (sub.endsWith(QLatin1String("::")))
        sub.chop(2);
    if (pSub)
        *pSub = sub;
    if (pFile)
        *pFile = m.captured(2);
    if (pLine)
        *pLine = line;
    return true;
}
