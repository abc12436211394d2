#include "server/FtpCommandLine.h"

QStringList CFtpCommandLine::Words(const QString &strLine)
{
    const QString line = strLine.trimmed();
    QStringList words;
    int start = 0;
    while (words.size() < 5) {
        int blank = line.indexOf(QLatin1Char(' '), start);
        if (blank < 0) {
            words << line.mid(start).trimmed();
            break;
        }
        words << line.mid(start, blank - start).trimmed();
        start = blank + 1;
    }
    while (words.size() < 5)
        words << QString();
    return words;
}

CFtpCommandLine CFtpCommandLine::Split(const QString &strLine)
{
    QStringList words = Words(strLine);
    CFtpCommandLine c;
    c.m_strCommand = words[0].toUpper();
    c.m_strArg1 = words[1];
    c.m_strArg2 = words[2];
    return c;
}

int CFtpReply::Code(const QByteArray &line)
{
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-' && line[3] != '\r' && line[3] != '\n')
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

namespace {

QByteArray Chomp(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool EndsReply(const QByteArray &line, int code)
{
    return CFtpReply::Code(line) == code && (line.size() == 3 || line[3] != '-');
}

} // namespace

int CFtpReply::LastReply(const QList<QByteArray> &lines, QString *pstrText)
{
    // Walk back to the last line that ends a reply, then to the line that opened it.
    for (int end = lines.size() - 1; end >= 0; --end) {
        QByteArray last = Chomp(lines[end]);
        int code = Code(last);
        if (!code || !EndsReply(last, code))
            continue;
        int begin = end;
        for (int i = end - 1; i >= 0; --i) {
            QByteArray l = Chomp(lines[i]);
            if (EndsReply(l, Code(l)) && Code(l))
                break;
            if (Code(l) == code && l.size() > 3 && l[3] == '-') {
                begin = i;
                break;
            }
        }
        if (pstrText) {
            QStringList text;
            for (int i = begin; i <= end; ++i)
                text << QString::fromUtf8(Chomp(lines[i]));
            *pstrText = text.join(QLatin1Char('\n'));
        }
        return code;
    }
    if (pstrText)
        pstrText->clear();
    return 0;
}

bool CFtpReply::ParsePwd(const QByteArray &reply, QString &strDir)
{
    if (Code(reply) != 257)
        return false;
    int open = reply.indexOf('"', 4);
    if (open < 0)
        return false;
    QByteArray dir;
    for (int i = open + 1; i < reply.size(); ++i) {
        if (reply[i] != '"') {
            dir += reply[i];
            continue;
        }
        if (i + 1 < reply.size() && reply[i + 1] == '"') {
            dir += '"';
            ++i;
            continue;
        }
        strDir = QString::fromUtf8(dir);
        return true;
    }
    return false;
}

QString CFtpReply::ProtocolOfGreeting(const QByteArray &line)
{
    // RFC 4253: the identification string every SSH server sends first.
    if (line.startsWith("SSH-"))
        return QStringLiteral("SSH");
    // RFC 959: an FTP server greets with a reply ("220 ready").
    if (Code(line))
        return QStringLiteral("FTP");
    return QString();
}

QString CFtpReply::Printable(const QByteArray &line, int nMaxChars)
{
    QString text = QString::fromUtf8(Chomp(line));
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    if (nMaxChars >= 0 && text.size() > nMaxChars) {
        qsizetype n = nMaxChars;
        if (n > 0 && text.at(n - 1).isHighSurrogate())
            --n;
        text = text.left(n) + QStringLiteral("...");
    }
    return text;
}
