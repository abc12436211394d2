#include "editor/RegexSearch.h"

#include <QByteArrayView>
#include <QCoreApplication>

namespace {

// The length of the UTF-8 sequence at p, or 0 when the byte there starts none.
int SequenceLength(const unsigned char *p, qsizetype nLeft)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    auto cont = [&](int i) { return i < nLeft && (p[i] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (nLeft < 2)
            return 0;
        const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return p[1] >= lo && p[1] <= hi && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (nLeft < 2)
            return 0;
        const unsigned char lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return p[1] >= lo && p[1] <= hi && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

// The text as the pattern sees it; a byte that starts no UTF-8 sequence is one U+FFFD.
QString Decode(const QByteArray &bytes)
{
    // The editor's text is UTF-8 throughout but for what a file held that was not, and
    // Qt's own decoder is many times quicker on it.
    if (QByteArrayView(bytes).isValidUtf8())
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int length = SequenceLength(p + i, n - i);
        if (length == 0) {
            out += QChar(QChar::ReplacementCharacter);
            ++i;
            continue;
        }
        char32_t cp = length == 1 ? p[i] : length == 2 ? p[i] & 0x1F : length == 3 ? p[i] & 0x0F : p[i] & 0x07;
        for (int k = 1; k < length; ++k)
            cp = (cp << 6) | (p[i + k] & 0x3F);
        if (cp > 0xFFFF) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += length;
    }
    return out;
}

QString Tr(const char *text) { return QCoreApplication::translate("CRegexSearch", text); }

// Lines end in LF, CR LF or a lone CR, as the editor ends them.
const QLatin1String kLineEnds("(*ANYCRLF)");

} // namespace

// Walks the bytes and the decoded text together, to turn an offset in one into the
// offset in the other. Forward walks go on from where the last one stopped.
class CRegexSearch::COffsets
{
public:
    explicit COffsets(const QByteArray &bytes)
        : m_p(reinterpret_cast<const unsigned char *>(bytes.constData()))
        , m_n(bytes.size())
    {
    }
    // Starts the walk at a place whose two offsets are known.
    COffsets(const QByteArray &bytes, qsizetype nByte, qsizetype nUnit)
        : COffsets(bytes)
    {
        m_nByte = m_nSeedByte = nByte;
        m_nUnit = m_nSeedUnit = nUnit;
    }
    qsizetype UnitOf(qsizetype nByte)
    {
        if (nByte < m_nByte)
            Restart(nByte >= m_nSeedByte);
        while (m_nByte < nByte && m_nByte < m_n)
            Step();
        return m_nUnit;
    }
    qsizetype ByteOf(qsizetype nUnit)
    {
        if (nUnit < m_nUnit)
            Restart(nUnit >= m_nSeedUnit);
        while (m_nUnit < nUnit && m_nByte < m_n)
            Step();
        return m_nByte;
    }

private:
    void Restart(bool bFromSeed)
    {
        m_nByte = bFromSeed ? m_nSeedByte : 0;
        m_nUnit = bFromSeed ? m_nSeedUnit : 0;
    }
    void Step()
    {
        const int length = SequenceLength(m_p + m_nByte, m_n - m_nByte);
        m_nByte += length == 0 ? 1 : length;
        m_nUnit += length == 4 ? 2 : 1;
    }
    const unsigned char *m_p;
    qsizetype m_n;
    qsizetype m_nByte = 0;
    qsizetype m_nUnit = 0;
    qsizetype m_nSeedByte = 0;
    qsizetype m_nSeedUnit = 0;
};

CRegexSearch::CRegexSearch(const QString &strPattern, bool bMatchCase, bool bWholeWord)
{
    QRegularExpression::PatternOptions options =
        QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption;
    if (!bMatchCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    m_re = QRegularExpression(kLineEnds + strPattern, options);
    if (strPattern.isEmpty()) {
        m_strError = Tr("The regular expression is empty.");
        return;
    }
    if (!m_re.isValid()) {
        const qsizetype at = qMax<qsizetype>(0, m_re.patternErrorOffset() - kLineEnds.size());
        m_strError = Tr("The regular expression is not valid: %1 (at character %2).")
                         .arg(m_re.errorString())
                         .arg(at + 1);
        return;
    }
    // Wrapped only once it is known to be whole, so that a stray ")" cannot close the
    // wrapping's group and make a wrong pattern right.
    if (bWholeWord)
        m_re.setPattern(kLineEnds + QLatin1String("(?<!\\w)(?:") + strPattern + QLatin1String(")(?!\\w)"));
}

CRegexSearch::Match CRegexSearch::FindForward(const QByteArray &text, qsizetype nFrom, bool bSkipEmptyAtFrom) const
{
    Match found;
    if (!IsValid())
        return found;
    const QString subject = Decode(text);
    COffsets offsets(text);
    const qsizetype from = offsets.UnitOf(nFrom);
    // A global match tries again for a longer match where an empty one was found, then
    // moves on by one character, as Perl's //g does.
    QRegularExpressionMatchIterator it = m_re.globalMatch(subject, from);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (bSkipEmptyAtFrom && m.capturedLength() == 0 && m.capturedStart() == from)
            continue;
        found.nStart = offsets.ByteOf(m.capturedStart());
        found.nEnd = offsets.ByteOf(m.capturedEnd());
        break;
    }
    return found;
}

CRegexSearch::Match CRegexSearch::FindBackward(const QByteArray &text, qsizetype nFrom) const
{
    Match found;
    if (!IsValid())
        return found;
    const QString subject = Decode(text);
    COffsets offsets(text);
    const qsizetype from = offsets.UnitOf(nFrom);
    // The matches are the ones a search from the start would find, in step with Perl's
    // //g; but searching from the start each time makes going up through a long file
    // slow. So the search starts at a line start a stretch back, which gives the same
    // matches for any pattern that does not reach across that line start, and goes
    // further back only when the stretch holds no match.
    qsizetype start = -1, end = -1;
    for (qsizetype stretch = 1 << 16;; stretch *= 4) {
        qsizetype begin = qMax<qsizetype>(0, from - stretch);
        while (begin > 0 && subject[begin - 1] != QLatin1Char('\n') && subject[begin - 1] != QLatin1Char('\r'))
            --begin;
        QRegularExpressionMatchIterator it = m_re.globalMatch(subject, begin);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            if (m.capturedStart() >= from)
                break;
            start = m.capturedStart();
            end = m.capturedEnd();
        }
        if (start >= 0 || begin == 0)
            break;
    }
    if (start >= 0) {
        found.nStart = offsets.ByteOf(start);
        found.nEnd = offsets.ByteOf(end);
    }
    return found;
}

bool CRegexSearch::MatchesAt(const QByteArray &text, qsizetype nStart, qsizetype nEnd,
                             const QString &strReplacement, QByteArray *pReplacement) const
{
    if (!IsValid())
        return false;
    const QString subject = Decode(text);
    COffsets offsets(text);
    const qsizetype start = offsets.UnitOf(nStart);
    const qsizetype end = offsets.UnitOf(nEnd);
    const QRegularExpressionMatch m =
        m_re.match(subject, start, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
    if (!m.hasMatch() || m.capturedEnd() != end)
        return false;
    if (pReplacement)
        *pReplacement = Expand(ParseReplacement(strReplacement, nullptr), m, text, nStart);
    return true;
}

QVector<CRegexSearch::Match> CRegexSearch::FindAll(const QByteArray &text, const QString &strReplacement) const
{
    QVector<Match> all;
    if (!IsValid())
        return all;
    const QVector<Piece> pieces = ParseReplacement(strReplacement, nullptr);
    const QString subject = Decode(text);
    COffsets offsets(text);
    QRegularExpressionMatchIterator it = m_re.globalMatch(subject);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        Match match;
        match.nStart = offsets.ByteOf(m.capturedStart());
        match.nEnd = offsets.ByteOf(m.capturedEnd());
        match.replacement = Expand(pieces, m, text, match.nStart);
        all.append(match);
    }
    return all;
}

QString CRegexSearch::CheckReplacement(const QString &strReplacement) const
{
    QString error;
    ParseReplacement(strReplacement, &error);
    return error;
}

QVector<CRegexSearch::Piece> CRegexSearch::ParseReplacement(const QString &s, QString *pError) const
{
    QVector<Piece> pieces;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            pieces.append(Piece{literal, -1, QString()});
        literal.clear();
    };
    auto group = [&](int n) {
        flush();
        if (n > m_re.captureCount() && pError && pError->isEmpty())
            *pError = Tr("The replacement refers to group %1, but the regular expression has %2.")
                          .arg(n)
                          .arg(m_re.captureCount());
        pieces.append(Piece{QString(), n, QString()});
    };
    const QStringList names = m_re.namedCaptureGroups();
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
        if (c == QLatin1Char('\\') && i + 1 < s.size()) {
            ++i;
            if (next.isDigit() && next.unicode() < 0x80) {
                group(next.digitValue());
            } else if (next == QLatin1Char('n')) {
                literal += QLatin1Char('\n');
            } else if (next == QLatin1Char('t')) {
                literal += QLatin1Char('\t');
            } else if (next == QLatin1Char('r')) {
                literal += QLatin1Char('\r');
            } else {
                literal += next;
            }
        } else if (c == QLatin1Char('$') && next == QLatin1Char('&')) {
            ++i;
            group(0);
        } else if (c == QLatin1Char('$') && next.isDigit() && next.unicode() < 0x80) {
            qsizetype j = i + 1;
            int n = 0;
            while (j < s.size() && s[j].isDigit() && s[j].unicode() < 0x80 && n < 100000)
                n = n * 10 + s[j++].digitValue();
            group(n);
            i = j - 1;
        } else if (c == QLatin1Char('$') && next == QLatin1Char('{')) {
            const qsizetype close = s.indexOf(QLatin1Char('}'), i + 2);
            if (close < 0) {
                if (pError && pError->isEmpty())
                    *pError = Tr("The replacement has \"${\" without its \"}\".");
                literal += s.mid(i);
                break;
            }
            const QString inner = s.mid(i + 2, close - i - 2);
            bool number = false;
            const int n = inner.toInt(&number);
            if (number && n >= 0) {
                group(n);
            } else {
                flush();
                if (!names.contains(inner) && pError && pError->isEmpty())
                    *pError = Tr("The replacement refers to a group named \"%1\", which the regular expression "
                                 "does not have.")
                                  .arg(inner);
                pieces.append(Piece{QString(), -1, inner});
            }
            i = close;
        } else {
            literal += c;
        }
    }
    flush();
    return pieces;
}

QByteArray CRegexSearch::Expand(const QVector<Piece> &pieces, const QRegularExpressionMatch &m,
                                const QByteArray &text, qsizetype nMatchStart)
{
    QByteArray out;
    COffsets offsets(text, nMatchStart, m.capturedStart());
    for (const Piece &piece : pieces) {
        qsizetype start = -1, end = -1;
        if (!piece.strName.isEmpty()) {
            start = m.capturedStart(piece.strName);
            end = m.capturedEnd(piece.strName);
        } else if (piece.nGroup >= 0) {
            start = m.capturedStart(piece.nGroup);
            end = m.capturedEnd(piece.nGroup);
        } else {
            out += piece.strLiteral.toUtf8();
            continue;
        }
        // A group that took no part in the match adds nothing.
        if (start < 0)
            continue;
        const qsizetype from = offsets.ByteOf(start);
        out += text.mid(from, offsets.ByteOf(end) - from);
    }
    return out;
}
