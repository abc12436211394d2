#include "perl/SubScanner.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsWordStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsWordByte(char c)
{
    return IsWordStart(c) || (c >= '0' && c <= '9');
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool Is(const char *p, qsizetype n, const char *word)
{
    return qsizetype(std::strlen(word)) == n && std::memcmp(p, word, size_t(n)) == 0;
}

char ClosingOf(char open)
{
    switch (open) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    case '<': return '>';
    default: return open;
    }
}

struct CHereDoc
{
    QByteArray terminator;
    bool bIndented;
};

// Reads the script once from start to end. "<<" followed by a quote, a "~" or a name
// starts a here-document (a shift has a blank or a number after it). `m_bTerm` says whether the last token was
// a term (a variable, a word, a number, a closing bracket): after a term a slash
// divides, elsewhere it starts a pattern, as Perl decides.
class CPerlReader
{
public:
    explicit CPerlReader(const QByteArray &text)
        : m_begin(text.constData())
        , m_end(text.constData() + text.size())
        , m_p(m_begin)
    {
    }

    QVector<CSubDeclaration> Run();

private:
    void Advance(const char *to)
    {
        m_nLine += int(std::count(m_p, to, '\n'));
        m_p = to;
    }
    const char *SkipBlanks(const char *q) const
    {
        while (q < m_end && IsBlank(*q))
            ++q;
        return q;
    }
    const char *ReadName(const char *q) const
    {
        while (q < m_end) {
            if (IsWordByte(*q))
                ++q;
            else if (*q == ':' && q + 1 < m_end && q[1] == ':')
                q += 2;
            else if (*q == '\'' && q + 1 < m_end && IsWordStart(q[1]) && q > m_begin && IsWordByte(q[-1]))
                ++q;
            else
                break;
        }
        return q;
    }
    bool AtLineStartWord(const char *word) const
    {
        const qsizetype n = qsizetype(std::strlen(word));
        return m_end - m_p >= n && std::memcmp(m_p, word, size_t(n)) == 0
               && (m_end - m_p == n || !IsWordByte(m_p[n]));
    }
    void TrackScope(char c);
    void SkipPod();
    void SkipHereDocBodies();
    void SkipDelimited(char open);
    void SkipVariable();
    bool TryHereDoc();
    void Word();

    const char *const m_begin;
    const char *const m_end;
    const char *m_p;
    int m_nLine = 1;
    bool m_bTerm = false;
    bool m_bArrow = false;
    char m_chLastPunct = 0;
    QVector<CHereDoc> m_hereDocs;
    // The package in force, the one whose `package` statement waits for its ";" or
    // block, and the packages of the enclosing blocks.
    int m_nPackage = -1;
    int m_nPendingPackage = -1;
    QVector<int> m_packageStack;
    QVector<CSubDeclaration> m_rows;
};

QVector<CSubDeclaration> CPerlReader::Run()
{
    bool lineStart = true;
    while (m_p < m_end) {
        if (lineStart) {
            lineStart = false;
            if (*m_p == '=' && m_p + 1 < m_end && IsWordStart(m_p[1])) {
                SkipPod();
                lineStart = true;
                continue;
            }
            if (AtLineStartWord("__END__") || AtLineStartWord("__DATA__"))
                break;
        }
        const char c = *m_p;
        if (c == '\n') {
            ++m_nLine;
            ++m_p;
            lineStart = true;
            if (!m_hereDocs.isEmpty())
                SkipHereDocBodies();
            continue;
        }
        if (IsBlank(c)) {
            ++m_p;
            continue;
        }
        if (c == '#') {
            const void *nl = std::memchr(m_p, '\n', size_t(m_end - m_p));
            m_p = nl ? static_cast<const char *>(nl) : m_end;
            continue;
        }
        const bool arrow = m_bArrow;
        m_bArrow = false;
        const char lastPunct = m_chLastPunct;
        m_chLastPunct = 0;
        if (c == '"' || c == '`' || c == '\'') {
            ++m_p;
            SkipDelimited(c);
            m_bTerm = true;
        } else if (c == '$') {
            SkipVariable();
            m_bTerm = true;
        } else if (c == '@' || (!m_bTerm && (c == '%' || c == '&' || c == '*'))) {
            ++m_p;
            if (m_p < m_end && (IsWordStart(*m_p) || *m_p == ':'))
                m_p = ReadName(m_p);
            m_bTerm = true;
        } else if (IsWordStart(c)) {
            m_bArrow = arrow;
            m_chLastPunct = lastPunct;
            Word();
        } else if (c >= '0' && c <= '9') {
            while (m_p < m_end && IsWordByte(*m_p))
                ++m_p;
            m_bTerm = true;
        } else if (c == '/' && m_bTerm) {
            // Division, or the defined-or "//": neither starts a pattern.
            m_p += m_p + 1 < m_end && m_p[1] == '/' ? 2 : 1;
            m_bTerm = false;
        } else if (c == '/') {
            ++m_p;
            SkipDelimited('/');
            while (m_p < m_end && IsWordByte(*m_p))
                ++m_p;
            m_bTerm = true;
        } else if (c == '<' && m_p + 1 < m_end && m_p[1] == '<' && TryHereDoc()) {
            m_bTerm = true;
        } else if (c == '-' && m_p + 1 < m_end && m_p[1] == '>') {
            m_p += 2;
            m_bArrow = true;
            m_bTerm = false;
        } else {
            m_bTerm = c == ')' || c == ']' || c == '}';
            m_chLastPunct = c;
            ++m_p;
            TrackScope(c);
        }
    }
    return m_rows;
}

void CPerlReader::TrackScope(char c)
{
    if (c == '{') {
        m_packageStack.append(m_nPackage);
        if (m_nPendingPackage >= 0)
            m_nPackage = m_nPendingPackage;
        m_nPendingPackage = -1;
    } else if (c == '}') {
        if (!m_packageStack.isEmpty())
            m_nPackage = m_packageStack.takeLast();
    } else if (c == ';' && m_nPendingPackage >= 0) {
        m_nPackage = m_nPendingPackage;
        m_nPendingPackage = -1;
    }
}

void CPerlReader::SkipPod()
{
    // From a line that starts with '=' and a letter to the line after "=cut".
    while (m_p < m_end) {
        const bool cut = m_end - m_p >= 4 && std::memcmp(m_p, "=cut", 4) == 0
                         && (m_end - m_p == 4 || !IsWordByte(m_p[4]));
        const void *nl = std::memchr(m_p, '\n', size_t(m_end - m_p));
        const char *next = nl ? static_cast<const char *>(nl) + 1 : m_end;
        Advance(next);
        if (cut)
            return;
    }
}

void CPerlReader::SkipHereDocBodies()
{
    for (const CHereDoc &doc : m_hereDocs) {
        while (m_p < m_end) {
            const void *nl = std::memchr(m_p, '\n', size_t(m_end - m_p));
            const char *lineEnd = nl ? static_cast<const char *>(nl) : m_end;
            const char *s = m_p;
            if (doc.bIndented)
                while (s < lineEnd && (*s == ' ' || *s == '\t'))
                    ++s;
            const char *e = lineEnd;
            if (e > s && e[-1] == '\r')
                --e;
            const bool last = e - s == doc.terminator.size()
                              && std::memcmp(s, doc.terminator.constData(), size_t(e - s)) == 0;
            Advance(nl ? lineEnd + 1 : m_end);
            if (last)
                break;
        }
    }
    m_hereDocs.clear();
}

void CPerlReader::SkipDelimited(char open)
{
    // m_p stands after the opening delimiter; it ends after the closing one.
    const char close = ClosingOf(open);
    const bool nests = close != open;
    int depth = 1;
    const char *q = m_p;
    while (q < m_end) {
        const char c = *q;
        if (c == '\\') {
            q += 2;
            continue;
        }
        ++q;
        if (c == close) {
            if (--depth == 0)
                break;
        } else if (nests && c == open) {
            ++depth;
        }
    }
    Advance(std::min(q, m_end));
}

void CPerlReader::SkipVariable()
{
    ++m_p; // the '$'
    if (m_p >= m_end)
        return;
    const char c = *m_p;
    if (c == '#') {
        // $#array, $#{expr}, $#$ref: not a comment.
        ++m_p;
        if (m_p < m_end && (IsWordStart(*m_p) || *m_p == ':'))
            m_p = ReadName(m_p);
    } else if (IsWordStart(c) || c == ':') {
        m_p = ReadName(m_p);
    } else if (c >= '0' && c <= '9') {
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
            ++m_p;
    } else if (c == '^') {
        // $^W; a line break after the caret stays to be counted.
        ++m_p;
        if (m_p < m_end && !IsBlank(*m_p))
            ++m_p;
    } else if (c == '$') {
        ++m_p;
        if (m_p < m_end && (IsWordStart(*m_p) || *m_p == ':'))
            m_p = ReadName(m_p);
    } else if (c != '{' && !IsBlank(c)) {
        // A punctuation variable: $" $' $` $/ $; ... its byte quotes nothing.
        ++m_p;
    }
}

bool CPerlReader::TryHereDoc()
{
    const char *q = m_p + 2;
    bool indented = false;
    if (q < m_end && *q == '~') {
        indented = true;
        ++q;
    }
    QByteArray terminator;
    const char *quote = q;
    while (quote < m_end && (*quote == ' ' || *quote == '\t'))
        ++quote;
    if (quote < m_end && (*quote == '"' || *quote == '\'' || *quote == '`')) {
        const void *close = std::memchr(quote + 1, *quote, size_t(m_end - quote - 1));
        if (!close)
            return false;
        const char *e = static_cast<const char *>(close);
        if (std::memchr(quote + 1, '\n', size_t(e - quote - 1)))
            return false;
        terminator = QByteArray(quote + 1, e - quote - 1);
        q = e + 1;
    } else if (q < m_end && IsWordStart(*q)) {
        const char *e = q;
        while (e < m_end && IsWordByte(*e))
            ++e;
        terminator = QByteArray(q, e - q);
        q = e;
    } else {
        return false;
    }
    m_hereDocs.append(CHereDoc{terminator, indented});
    m_p = q;
    return true;
}

void CPerlReader::Word()
{
    const char *start = m_p;
    m_p = ReadName(m_p);
    const qsizetype n = m_p - start;
    const bool arrow = m_bArrow;
    const char lastPunct = m_chLastPunct;
    m_bArrow = false;
    m_chLastPunct = 0;
    m_bTerm = true;
    // A method name, a hash key or the left side of "=>" is only a word.
    if (arrow)
        return;
    const char *next = SkipBlanks(m_p);
    if (next + 1 < m_end && next[0] == '=' && next[1] == '>')
        return;
    if (lastPunct == '{' && next < m_end && *next == '}')
        return;
    // A file test (-s "$dir/x", -e $f) is no quote-like operator.
    if (n == 1 && start > m_begin && start[-1] == '-') {
        m_bTerm = false;
        return;
    }

    if (Is(start, n, "sub") || Is(start, n, "package")) {
        m_bTerm = false;
        const char *nameEnd = next < m_end && (IsWordStart(*next) || *next == ':') ? ReadName(next) : next;
        if (nameEnd > next) {
            const int keywordLine = m_nLine;
            const bool sub = Is(start, n, "sub");
            m_rows.append(CSubDeclaration{sub ? CSubDeclaration::Sub : CSubDeclaration::Package, start - m_begin,
                                          next - m_begin, nameEnd - next, keywordLine, m_nPackage});
            if (!sub)
                m_nPendingPackage = int(m_rows.size()) - 1;
            Advance(nameEnd);
        }
        return;
    }
    if (Is(start, n, "__END__") || Is(start, n, "__DATA__")) {
        m_p = m_end;
        return;
    }
    int parts = 0;
    if (Is(start, n, "q") || Is(start, n, "qq") || Is(start, n, "qw") || Is(start, n, "qx") || Is(start, n, "m")
        || Is(start, n, "qr"))
        parts = 1;
    else if (Is(start, n, "s") || Is(start, n, "tr") || Is(start, n, "y"))
        parts = 2;
    if (parts > 0 && next < m_end) {
        const char d = *next;
        const bool adjacent = next == m_p;
        const bool delimiter = !IsWordByte(d) && !IsBlank(d) && d != ')' && d != ']'
                               && d != '}' && d != '=' && (d != '#' || adjacent);
        if (delimiter) {
            Advance(next + 1);
            SkipDelimited(d);
            if (parts == 2) {
                if (ClosingOf(d) != d) {
                    const char *second = SkipBlanks(m_p);
                    if (second < m_end) {
                        Advance(second + 1);
                        SkipDelimited(*second);
                    }
                } else {
                    SkipDelimited(d);
                }
            }
            while (m_p < m_end && IsWordByte(*m_p))
                ++m_p;
            return;
        }
    }
    // After these a slash starts a pattern.
    static const char *const kOperators[] = {"split", "grep", "map", "if", "unless", "while", "until", "and",
                                             "or", "not", "return", "x", "eq", "ne", "lt", "gt", "le", "ge",
                                             "cmp", "when", "xor", "push", "unshift", "join"};
    for (const char *op : kOperators) {
        if (Is(start, n, op)) {
            m_bTerm = false;
            break;
        }
    }
}

} // namespace

QVector<CSubDeclaration> CSubScanner::Scan(const QByteArray &text)
{
    return CPerlReader(text).Run();
}
