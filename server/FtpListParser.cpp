#include "server/FtpListParser.h"

#include <QLocale>
#include <QTimeZone>

namespace {

struct Token
{
    int nStart;
    int nEnd;
};

// Splits at runs of blanks and keeps where each word starts, so the name can be taken
// as the rest of the line with its inner blanks.
QVector<Token> Tokenize(const QByteArray &line, int nMax)
{
    QVector<Token> tokens;
    int i = 0;
    const int n = line.size();
    while (i < n && tokens.size() < nMax) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        int start = i;
        while (i < n && line[i] != ' ' && line[i] != '\t')
            ++i;
        tokens.append({start, i});
    }
    return tokens;
}

bool ToNumber(const QByteArray &text, qint64 &value)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    qint64 v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

int MonthOf(const QByteArray &word)
{
    static const char *const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() != 3)
        return 0;
    QByteArray lower = word.toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower == months[i])
            return i + 1;
    }
    return 0;
}

// "HH:MM" or "HH:MM:SS"
bool ParseClock(const QByteArray &word, int &h, int &m)
{
    QList<QByteArray> parts = word.split(':');
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    qint64 hv = 0, mv = 0;
    if (!ToNumber(parts[0], hv) || !ToNumber(parts[1], mv) || hv > 23 || mv > 59)
        return false;
    h = int(hv);
    m = int(mv);
    return true;
}

bool IsUnixMode(const QByteArray &word)
{
    if (word.size() < 10)
        return false;
    if (!QByteArray("-dlbcps").contains(word[0]))
        return false;
    for (int i = 1; i < 10; ++i) {
        if (!QByteArray("rwxsStTl-").contains(word[i]))
            return false;
    }
    return true;
}

bool ParseUnix(const QByteArray &line, const QDateTime &nowUtc, CFtpFileEntry &entry)
{
    QVector<Token> t = Tokenize(line, 10);
    auto word = [&](int i) { return line.mid(t[i].nStart, t[i].nEnd - t[i].nStart); };
    if (t.size() < 6 || !IsUnixMode(word(0)))
        return false;
    // The month is the first word that a day and a clock or year follow; the size is
    // the word just before it. Owner and group may be missing, so its place varies.
    for (int i = 2; i + 2 < t.size(); ++i) {
        int month = MonthOf(word(i));
        if (!month)
            continue;
        qint64 size = 0, day = 0;
        if (!ToNumber(word(i - 1), size) || !ToNumber(word(i + 1), day) || day < 1 || day > 31)
            continue;
        QByteArray when = word(i + 2);
        int h = 0, m = 0;
        qint64 year = 0;
        QDateTime time;
        if (ParseClock(when, h, m)) {
            int y = nowUtc.date().year();
            QDate d(y, month, int(day));
            // Without a year the date lies in the last six months, so one ahead of
            // today belongs to last year.
            if (d.isValid() && d > nowUtc.date().addDays(1))
                d = QDate(y - 1, month, int(day));
            if (d.isValid())
                time = QDateTime(d, QTime(h, m), QTimeZone::utc());
        } else if (when.size() == 4 && ToNumber(when, year)) {
            QDate d(int(year), month, int(day));
            if (d.isValid())
                time = QDateTime(d, QTime(0, 0), QTimeZone::utc());
        } else {
            continue;
        }
        // The name starts after exactly one blank, so names that begin with blanks
        // keep them.
        int nameStart = t[i + 2].nEnd + 1;
        if (nameStart >= line.size())
            return false;
        QByteArray name = line.mid(nameStart);
        if (line[0] == 'l') {
            int arrow = name.indexOf(" -> ");
            if (arrow > 0)
                name.truncate(arrow);
        }
        entry.m_strName = QString::fromUtf8(name);
        entry.m_nSize = size;
        entry.m_time = time;
        entry.m_bDirectory = line[0] == 'd';
        return true;
    }
    return false;
}

// "MM-DD-YY  HH:MMAM  <DIR>  name" or "...  1234 name"
bool ParseDos(const QByteArray &line, CFtpFileEntry &entry)
{
    QVector<Token> t = Tokenize(line, 3);
    if (t.size() < 3)
        return false;
    auto word = [&](int i) { return line.mid(t[i].nStart, t[i].nEnd - t[i].nStart); };
    QList<QByteArray> date = word(0).split('-');
    if (date.size() != 3)
        return false;
    qint64 mo = 0, dd = 0, yy = 0;
    if (!ToNumber(date[0], mo) || !ToNumber(date[1], dd) || !ToNumber(date[2], yy))
        return false;
    if (date[2].size() == 2)
        yy += yy < 70 ? 2000 : 1900;
    QByteArray clock = word(1).toUpper();
    bool pm = clock.endsWith("PM");
    bool am = clock.endsWith("AM");
    if (pm || am)
        clock.chop(2);
    int h = 0, m = 0;
    if (!ParseClock(clock, h, m))
        return false;
    if ((pm || am) && (h < 1 || h > 12))
        return false;
    if (pm && h != 12)
        h += 12;
    if (am && h == 12)
        h = 0;
    QDate d{int(yy), int(mo), int(dd)};
    if (!d.isValid())
        return false;

    QByteArray third = word(2);
    qint64 size = 0;
    bool dir = third.toUpper() == "<DIR>";
    if (!dir && !ToNumber(third, size))
        return false;
    int i = t[2].nEnd;
    while (i < line.size() && line[i] == ' ')
        ++i;
    if (i >= line.size())
        return false;
    entry.m_strName = QString::fromUtf8(line.mid(i));
    entry.m_nSize = size;
    entry.m_bDirectory = dir;
    entry.m_time = QDateTime(d, QTime(h, m), QTimeZone::utc());
    return true;
}

} // namespace

bool CFtpListParser::ParseLine(const QByteArray &rawLine, const QDateTime &nowUtc, CFtpFileEntry &entry)
{
    QByteArray line = rawLine;
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    if (line.isEmpty())
        return false;
    CFtpFileEntry e;
    bool ok = (line[0] >= '0' && line[0] <= '9') ? ParseDos(line, e) : ParseUnix(line, nowUtc, e);
    if (!ok || e.m_strName.isEmpty() || e.m_strName == QLatin1String(".") || e.m_strName == QLatin1String(".."))
        return false;
    entry = e;
    return true;
}

QVector<CFtpFileEntry> CFtpListParser::Parse(const QByteArray &listing, const QDateTime &nowUtc, int *pnSkipped)
{
    QVector<CFtpFileEntry> entries;
    int skipped = 0;
    int start = 0;
    while (start < listing.size()) {
        int end = listing.indexOf('\n', start);
        if (end < 0)
            end = listing.size();
        QByteArray line = listing.mid(start, end - start);
        start = end + 1;
        CFtpFileEntry e;
        if (ParseLine(line, nowUtc, e))
            entries.append(e);
        else if (!line.trimmed().isEmpty() && !line.startsWith("total "))
            ++skipped;
    }
    if (pnSkipped)
        *pnSkipped = skipped;
    return entries;
}

QString CFtpListParser::FormatSize(const CFtpFileEntry &entry) { return QString::asprintf("%7lld", entry.m_nSize); }

QString CFtpListParser::FormatDate(const CFtpFileEntry &entry)
{
    if (!entry.m_time.isValid())
        return QString();
    QDateTime local = entry.m_time.toLocalTime();
    QLocale locale = QLocale::system();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + local.time().toString(QStringLiteral("HH:mm:ss"));
}
