#include "framework/FileLineParser.h"

#include <QByteArrayMatcher>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>

namespace {

QString TrimEnd(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1].isSpace())
        --n;
    return s.left(n);
}

bool LooksLikePath(const QString &file)
{
    static const QRegularExpression extension(QStringLiteral("\\.[A-Za-z0-9_]+$"));
    return file.contains(QLatin1Char('/')) || file.contains(QLatin1Char('\\')) || extension.match(file).hasMatch();
}

// Names perl gives to code that is not in a file of its own.
bool NamesNoFile(const QString &file)
{
    return file.isEmpty() || file.startsWith(QLatin1String("(eval ")) || file == QLatin1String("-e")
           || file == QLatin1String("-") || file.front().isSpace() || file.back().isSpace();
}

} // namespace

bool CFileLineParser::MayHoldMessage(const char *pLine, qsizetype nLength)
{
    const char *const end = pLine + nLength;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (const char *p = pLine; p < end;) {
        const void *found = std::memchr(p, ':', size_t(end - p));
        const char *colon = static_cast<const char *>(found);
        if (!colon)
            break;
        if (colon + 1 < end && isDigit(colon[1]))
            return true;
        p = colon + 1;
    }
    static const QByteArrayMatcher line(" line ");
    for (qsizetype at = line.indexIn(pLine, nLength); at >= 0; at = line.indexIn(pLine, nLength, at + 1)) {
        if (at + 6 < nLength && isDigit(pLine[at + 6]))
            return true;
    }
    return false;
}

bool CFileLineParser::MayOpenNear(const char *pLine, qsizetype nLength)
{
    static const QByteArrayMatcher near(", near \"");
    return near.indexIn(pLine, nLength) >= 0;
}

CFileLineParser::CFileLineParser(const QString &strBaseDir)
    : m_strBaseDir(strBaseDir)
{
}

CFileLineMessage::Severity CFileLineParser::ClassifyPerl(const QString &strText)
{
    static const char *const kFatal[] = {
        "syntax error", "Died", "Can't ", "aborted", "Compilation failed", "Global symbol ", "has too many errors",
        "Missing right curly", "Unmatched right curly", "not allowed while \"strict", "Undefined subroutine",
        "Illegal division by zero", "Not a CODE reference", "Not a HASH reference", "Not an ARRAY reference",
        "Not a SCALAR reference",
    };
    for (const char *fatal : kFatal)
        if (strText.contains(QLatin1String(fatal)))
            return CFileLineMessage::Error;
    return CFileLineMessage::Warning;
}

void CFileLineParser::MarkFatalEnd(QList<CFileLineMessage> &messages)
{
    for (qsizetype i = messages.size() - 1; i >= 0; --i) {
        if (messages[i].bFrame)
            continue;
        if (messages[i].nForm == CFileLineMessage::Perl)
            messages[i].nSeverity = CFileLineMessage::Error;
        return;
    }
}

bool CFileLineParser::Exists(const QString &strFile) const
{
    if (m_strBaseDir.isEmpty())
        return false;
    return QFileInfo(QDir(m_strBaseDir), strFile).isFile();
}

QString CFileLineParser::Resolve(const QString &strFile) const
{
    if (m_strBaseDir.isEmpty())
        return strFile;
    return QDir::cleanPath(QDir(m_strBaseDir).absoluteFilePath(strFile));
}

QString CFileLineParser::PickPerlFile(const QString &head, QString *pstrBefore) const
{
    // Each " at " may start the file name; from the longest name to the shortest.
    QList<qsizetype> starts;
    if (head.startsWith(QLatin1String("at ")))
        starts << 0;
    for (qsizetype i = head.indexOf(QLatin1String(" at ")); i >= 0; i = head.indexOf(QLatin1String(" at "), i + 1))
        starts << i;
    auto fileAt = [&head](qsizetype start) { return head.mid(start + (start == 0 && head.startsWith(QLatin1String("at ")) ? 3 : 4)); };
    for (qsizetype start : starts) {
        const QString file = fileAt(start);
        if (!NamesNoFile(file) && Exists(file)) {
            *pstrBefore = head.left(start);
            return file;
        }
    }
    for (qsizetype k = starts.size() - 1; k >= 0; --k) {
        const QString file = fileAt(starts[k]);
        if (NamesNoFile(file))
            continue;
        if (LooksLikePath(file)) {
            *pstrBefore = head.left(starts[k]);
            return file;
        }
        break;
    }
    return QString();
}

bool CFileLineParser::ParsePerl(const QString &line, CFileLineMessage &msg, bool *pbOpenNear) const
{
    static const QRegularExpression nearForm(QStringLiteral("^(.*?) line (\\d+), near \"(.*)$"));
    static const QRegularExpression plainForm(
        QStringLiteral("^(.*?) line (\\d+)(?:, <[^>]*> (?:line|chunk) \\d+)?(?:, at (?:EOF|end of line))?\\.?$"));
    QRegularExpressionMatch m = nearForm.match(line);
    bool near = m.hasMatch();
    if (!near)
        m = plainForm.match(line);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const int n = m.captured(2).toInt(&ok);
    if (!ok || n < 1)
        return false;
    QString before;
    const QString file = PickPerlFile(m.captured(1), &before);
    if (file.isEmpty())
        return false;
    msg.nForm = CFileLineMessage::Perl;
    msg.strFile = file;
    msg.nLine = n;
    msg.bFrame = before.endsWith(QLatin1String("called")) && !line.isEmpty() && line.front().isSpace();
    if (near) {
        const QString rest = m.captured(3);
        *pbOpenNear = !(rest.size() >= 1 && rest.endsWith(QLatin1Char('"')));
    }
    return true;
}

bool CFileLineParser::ParseJavac(const QString &line, CFileLineMessage &msg) const
{
    static const QRegularExpression form(QStringLiteral("^(.+?):(\\d+): (error|warning): (.*)$"));
    const QRegularExpressionMatch m = form.match(line);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const int n = m.captured(2).toInt(&ok);
    if (!ok || n < 1 || NamesNoFile(m.captured(1)))
        return false;
    msg.nForm = CFileLineMessage::Javac;
    msg.strFile = m.captured(1);
    msg.nLine = n;
    msg.nSeverity = m.captured(3) == QLatin1String("error") ? CFileLineMessage::Error : CFileLineMessage::Warning;
    return true;
}

bool CFileLineParser::ParseCritic(const QString &line, CFileLineMessage &msg) const
{
    static const QRegularExpression form(QStringLiteral("^(.+?):(\\d+):(\\d+): \\[([A-Za-z0-9_:]+)\\] (.*)$"));
    const QRegularExpressionMatch m = form.match(line);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const int n = m.captured(2).toInt(&ok);
    if (!ok || n < 1 || NamesNoFile(m.captured(1)))
        return false;
    msg.nForm = CFileLineMessage::Critic;
    msg.strFile = m.captured(1);
    msg.nLine = n;
    msg.nSeverity = CFileLineMessage::Warning;
    msg.strPolicy = m.captured(4);
    return true;
}

bool CFileLineParser::ParseJavaTrace(const QString &line, CFileLineMessage &msg) const
{
    // "at", the class loader and module ("app//", "java.base/", "lib@1.2/"), the
    // class and method, the file and line.
    static const QRegularExpression form(QStringLiteral(
        "^\\s*at (?:([^\\s(/]*/)?([^\\s(/]*)/)?([A-Za-z_$][\\w$]*(?:\\.[\\w$<>]+)+)\\(([\\w$]+\\.java):(\\d+)\\)$"));
    const QRegularExpressionMatch m = form.match(line);
    // A class in a module of its own is the JDK's or a library's, not of the user's
    // sources; the class path's have none ("app//pkg.Cls").
    if (!m.hasMatch() || m.capturedLength(2) > 0)
        return false;
    bool ok = false;
    const int n = m.captured(5).toInt(&ok);
    if (!ok || n < 1)
        return false;
    // "pkg.sub.Cls.method": the method after the last dot, the class before it, the
    // package before that.
    const QString qualified = m.captured(3);
    const qsizetype methodDot = qualified.lastIndexOf(QLatin1Char('.'));
    const qsizetype classDot = qualified.lastIndexOf(QLatin1Char('.'), methodDot - 1);
    msg.nForm = CFileLineMessage::JavaTrace;
    msg.strFile = m.captured(4);
    msg.strPackage = classDot > 0 ? qualified.left(classDot) : QString();
    msg.nLine = n;
    msg.nSeverity = CFileLineMessage::Error;
    return true;
}

QString CFileLineParser::ResolveJava(const QString &strFile, const QString &strPackage) const
{
    if (m_strBaseDir.isEmpty())
        return strFile;
    if (!strPackage.isEmpty() && !Exists(strFile)) {
        const QString inPackage = QString(strPackage).replace(QLatin1Char('.'), QLatin1Char('/')) + QLatin1Char('/') + strFile;
        if (Exists(inPackage))
            return Resolve(inPackage);
    }
    return Resolve(strFile);
}

bool CFileLineParser::ParseOne(const QString &line, CFileLineMessage &msg, bool *pbOpenNear) const
{
    *pbOpenNear = false;
    return ParseCritic(line, msg) || ParseJavac(line, msg) || ParseJavaTrace(line, msg)
           || ParsePerl(line, msg, pbOpenNear);
}

QList<CFileLineMessage> CFileLineParser::Parse(const QString &strText) const
{
    QStringList lines = strText.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return Parse(lines);
}

QList<CFileLineMessage> CFileLineParser::Parse(const QStringList &lines) const
{
    QList<CFileLineMessage> messages;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = TrimEnd(lines[i]);
        CFileLineMessage msg;
        bool openNear = false;
        if (!ParseOne(line, msg, &openNear))
            continue;
        msg.nFirstLine = i;
        msg.strText = line;
        if (openNear) {
            const int cut = i + kMaxNearLines;
            for (int k = i + 1; k < lines.size() && k <= cut; ++k) {
                const QString more = TrimEnd(lines[k]);
                msg.strText += QLatin1Char('\n') + more;
                i = k;
                if (more.endsWith(QLatin1Char('"')))
                    break;
            }
        }
        msg.nLastLine = i;
        msg.strPath = msg.nForm == CFileLineMessage::JavaTrace ? ResolveJava(msg.strFile, msg.strPackage) : Resolve(msg.strFile);
        if (msg.nForm == CFileLineMessage::JavaTrace) {
            // The frame under another is where the one above was called from.
            msg.bFrame = !messages.isEmpty() && messages.last().nForm == CFileLineMessage::JavaTrace
                         && messages.last().nLastLine == i - 1;
        }
        if (msg.nForm == CFileLineMessage::Perl) {
            if (msg.bFrame)
                msg.nSeverity = messages.isEmpty() ? CFileLineMessage::Warning : messages.last().nSeverity;
            else
                msg.nSeverity = ClassifyPerl(msg.strText);
        }
        messages << msg;
    }
    return messages;
}
