#include "perl/PerlDocTopic.h"


namespace {

bool IsWordByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsPunctuation(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u > ' ' && u < 127 && !IsWordByte(c) && c != '{';
}

CPerlDocTopic MakeVariable(const QByteArray &name)
{
    CPerlDocTopic topic;
    topic.nKind = CPerlDocTopic::Variable;
    topic.strName = QString::fromLatin1(name);
    topic.lookups = {{QStringLiteral("-v"), topic.strName}};
    return topic;
}

// A punctuation variable around the caret: "$/", "$!", "$^W".
CPerlDocTopic PunctuationVariable(const QByteArray &line, qsizetype col)
{
    const qsizetype n = line.size();
    for (qsizetype p : {col, col - 1, col - 2, col - 3}) {
        if (p < 0 || p + 1 >= n || line[p] != '$')
            continue;
        if (line[p + 1] == '^' && p + 2 < n && line[p + 2] >= 'A' && line[p + 2] <= 'Z') {
            if (col <= p + 3)
                return MakeVariable(line.mid(p, 3));
        } else if (IsPunctuation(line[p + 1]) && col <= p + 2) {
            return MakeVariable(line.mid(p, 2));
        }
    }
    return CPerlDocTopic();
}

struct COperatorSection
{
    int nId;
    const char *pszOperator;
    const char *pszPage;
    const char *pszHeading;
};

const COperatorSection kOperatorSections[] = {
    {32962, "=~", "perlop", "Binding Operators"},
    {32963, "!~", "perlop", "Binding Operators"},
    {32964, "==", "perlop", "Equality Operators"},
    {32925, "!=", "perlop", "Equality Operators"},
    {32926, "+=", "perlop", "Assignment Operators"},
    {32927, "-=", "perlop", "Assignment Operators"},
    {32928, "*=", "perlop", "Assignment Operators"},
    {32929, "/=", "perlop", "Assignment Operators"},
    {32930, "/", "perlop", "Multiplicative Operators"},
    {32931, "*", "perlop", "Multiplicative Operators"},
    {32932, "+", "perlop", "Additive Operators"},
    {32933, "-", "perlop", "Additive Operators"},
    {32934, "%", "perlop", "Multiplicative Operators"},
    {32935, "=", "perlop", "Assignment Operators"},
    {32936, "( )", "perlop", "Terms and List Operators (Leftward)"},
    {32937, "[ ]", "perlop", "The Arrow Operator"},
    {32938, "\" \"", "perlop", "Quote and Quote-like Operators"},
    {32939, "' '", "perlop", "Quote and Quote-like Operators"},
    {32940, "%=", "perlop", "Assignment Operators"},
    {32965, "x=", "perlop", "Assignment Operators"},
    {32971, "|=", "perlop", "Assignment Operators"},
    {32975, "&=", "perlop", "Assignment Operators"},
    {32973, "^=", "perlop", "Assignment Operators"},
    {32945, ".=", "perlop", "Assignment Operators"},
    {32946, "&&=", "perlop", "Assignment Operators"},
    {32947, "||=", "perlop", "Assignment Operators"},
    {32948, "<<=", "perlop", "Assignment Operators"},
    {32978, ">>=", "perlop", "Assignment Operators"},
    {32950, "..", "perlop", "Range Operators"},
    {32951, "^^", "perlop", "Logical or and Exclusive Or"},
    {32952, "||", "perlop", "C-style Logical Or"},
    {32953, "&&", "perlop", "C-style Logical And"},
    {32954, "!", "perlop", "Symbolic Unary Operators"},
    {32957, "?:", "perlop", "Conditional Operator"},
    {32958, "<=>", "perlop", "Equality Operators"},
    {32959, "...", "perlop", "Range Operators"},
    {32960, "=>", "perlop", "Comma Operator"},
    {32961, "->", "perlop", "The Arrow Operator"},
    {32942, "|", "perlop", "Bitwise Or and Exclusive Or"},
    {32967, "^", "perlop", "Bitwise Or and Exclusive Or"},
    {32966, "&", "perlop", "Bitwise And"},
    {32976, ".", "perlop", "Additive Operators"},
    {32977, "x", "perlop", "Multiplicative Operators"},
    {32995, ",", "perlop", "Comma Operator"},
};

int Indentation(const QString &line)
{
    int n = 0;
    while (n < line.size() && line[n] == QLatin1Char(' '))
        ++n;
    return n;
}

} // namespace

CPerlDocTopic CPerlDocTopic::AtColumn(const QByteArray &line, qsizetype nColumn)
{
    const qsizetype n = line.size();
    const qsizetype col = qBound<qsizetype>(0, nColumn, n);
    auto colonPair = [&](qsizetype i) {
        return (i > 0 && line[i - 1] == ':') || (i + 1 < n && line[i + 1] == ':');
    };
    auto inWord = [&](qsizetype i) { return IsWordByte(line[i]) || (line[i] == ':' && colonPair(i)); };
    qsizetype start = col;
    // The caret on a sigil: the name after it.
    if (start < n && (line[start] == '$' || line[start] == '@' || line[start] == '%') && start + 1 < n
        && IsWordByte(line[start + 1]))
        ++start;
    qsizetype s = start;
    while (s > 0 && inWord(s - 1))
        --s;
    qsizetype e = start;
    while (e < n && inWord(e))
        ++e;
    while (s < e && line[s] == ':')
        ++s;
    while (e > s && line[e - 1] == ':')
        --e;
    if (s == e)
        return PunctuationVariable(line, col);

    const QByteArray word = line.mid(s, e - s);
    char sigil = 0;
    if (s > 0 && (line[s - 1] == '$' || line[s - 1] == '@' || line[s - 1] == '%')) {
        sigil = line[s - 1];
    } else if (s >= 2 && line[s - 1] == '#' && line[s - 2] == '$') {
        sigil = '@'; // $#ARGV: the last index of @ARGV
    } else if (s >= 2 && line[s - 1] == '{' && (line[s - 2] == '$' || line[s - 2] == '@' || line[s - 2] == '%')
               && e < n && line[e] == '}') {
        sigil = line[s - 2]; // ${name}
    }
    if (sigil) {
        qsizetype next = e;
        while (next < n && (line[next] == ' ' || line[next] == '\t'))
            ++next;
        if (next < n && line[next] == '[' && sigil == '$')
            sigil = '@';
        else if (next < n && line[next] == '{' && sigil != '%')
            sigil = '%';
        return MakeVariable(sigil + word);
    }
    if (word[0] >= '0' && word[0] <= '9')
        return CPerlDocTopic();

    CPerlDocTopic topic;
    topic.strName = QString::fromLatin1(word);
    if (word.contains("::")) {
        topic.nKind = Module;
        topic.lookups = {{topic.strName}};
        // File::Temp::tempfile: the module is File::Temp.
        const qsizetype last = topic.strName.lastIndexOf(QLatin1String("::"));
        topic.lookups.append({topic.strName.left(last)});
    } else if (word[0] >= 'A' && word[0] <= 'Z') {
        topic.nKind = Module;
        topic.lookups = {{topic.strName}, {QStringLiteral("-f"), topic.strName}};
    } else {
        // Built-in functions first; pragmas (strict, warnings) are modules.
        topic.nKind = Function;
        topic.lookups = {{QStringLiteral("-f"), topic.strName}, {topic.strName}};
    }
    return topic;
}

CPerlDocTopic CPerlDocTopic::ForOperator(int nCommandId)
{
    CPerlDocTopic topic;
    for (const COperatorSection &s : kOperatorSections) {
        if (s.nId != nCommandId)
            continue;
        topic.nKind = Operator;
        topic.strName = QString::fromLatin1(s.pszOperator);
        topic.lookups = {{QString::fromLatin1(s.pszPage)}};
        topic.strSection = QString::fromLatin1(s.pszHeading);
        break;
    }
    return topic;
}

CPerlDocTopic CPerlDocTopic::ForFunction(const QString &strName)
{
    CPerlDocTopic topic;
    const QString name = strName.trimmed();
    if (name.isEmpty() || name.startsWith(QLatin1Char('-')))
        return topic;
    topic.nKind = Function;
    topic.strName = name;
    topic.lookups = {{QStringLiteral("-f"), name}};
    return topic;
}

QString CPerlDocTopic::Section(const QString &text, const QString &strHeading)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype start = -1;
    int level = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int indent = Indentation(lines[i]);
        // Headings stand at the first two columns; body text is indented further.
        if (indent <= 2 && lines[i].trimmed() == strHeading) {
            start = i;
            level = indent;
            break;
        }
    }
    if (start < 0)
        return QString();
    qsizetype end = start + 1;
    while (end < lines.size()) {
        const QString &line = lines[end];
        if (!line.trimmed().isEmpty() && Indentation(line) <= level)
            break;
        ++end;
    }
    return lines.mid(start, end - start).join(QLatin1Char('\n')).trimmed() + QLatin1Char('\n');
}
