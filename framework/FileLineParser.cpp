#include "framework/FileLineParser.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A continued "near" quotes perl's source; it is cut after this many lines should
// its closing quote never come.
constexpr int kMaxNearLines = 50;

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

bool CFileLineParser::ParseOne(const QString &line, CFileLineMessage &msg, bool *pbOpenNear) const
{
    *pbOpenNear = false;
    return ParseCritic(line, msg) || ParseJavac(line, msg) || ParsePerl(line, msg, pbOpenNear);
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
            for (int k = i + 1; k < lines.size() && k <= i + kMaxNearLines; ++k) {
                const QString more = TrimEnd(lines[k]);
                msg.strText += QLatin1Char('\n') + more;
                i = k;
                if (more.endsWith(QLatin1Char('"')))
                    break;
            }
        }
        msg.nLastLine = i;
        msg.strPath = Resolve(msg.strFile);
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
