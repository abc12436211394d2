#include "framework/LogFont.h"

#include <QFont>
#include <QFontDatabase>

#include <cmath>
#include <limits>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One "%ld" conversion: skips white space, reads a sign and digits. An out-of-range
// value saturates instead of being undefined.
bool ScanLong(const QByteArray &s, int &pos, int64_t &value)
{
    int p = pos;
    while (p < s.size() && IsSpace(s[p]))
        ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
        negative = s[p] == '-';
        ++p;
    }
    if (p >= s.size() || !IsDigit(s[p]))
        return false;
    int64_t v = 0;
    while (p < s.size() && IsDigit(s[p])) {
        if (v < (int64_t(1) << 40))
            v = v * 10 + (s[p] - '0');
        ++p;
    }
    value = negative ? -v : v;
    pos = p;
    return true;
}

int32_t Clamp32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

bool IsFaceChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ';
}

} // namespace

int CLogFont::Parse(const QByteArray &text, CLogFont &font)
{
    int32_t *longs[] = {&font.lfHeight, &font.lfWidth, &font.lfEscapement, &font.lfOrientation,
                        &font.lfWeight};
    uint8_t *bytes[] = {&font.lfItalic, &font.lfUnderline, &font.lfStrikeOut, &font.lfCharSet,
                        &font.lfOutPrecision, &font.lfClipPrecision, &font.lfQuality,
                        &font.lfPitchAndFamily};
    int pos = 0;
    for (int field = 0; field < 13; ++field) {
        if (field > 0) {
            if (pos >= text.size() || text[pos] != ',')
                return field;
            ++pos;
        }
        int64_t v = 0;
        if (!ScanLong(text, pos, v))
            return field;
        if (field < 5)
            *longs[field] = Clamp32(v);
        else
            *bytes[field - 5] = uint8_t(uint64_t(v) & 0xFF);
    }
    if (pos >= text.size() || text[pos] != ',')
        return 13;
    ++pos;
    int end = pos;
    while (end < text.size() && end - pos < kMaxFaceName && IsFaceChar(text[end]))
        ++end;
    if (end == pos)
        return 13;
    font.lfFaceName = QString::fromLatin1(text.mid(pos, end - pos));
    return 14;
}

QString CLogFont::Format() const
{
    return QString::asprintf("%ld,%ld,%ld,%ld,%ld,%d,%d,%d,%d,%d,%d,%d,%d,", long(lfHeight),
                             long(lfWidth), long(lfEscapement), long(lfOrientation),
                             long(lfWeight), lfItalic, lfUnderline, lfStrikeOut, lfCharSet,
                             lfOutPrecision, lfClipPrecision, lfQuality, lfPitchAndFamily)
           + lfFaceName;
}

QFont CLogFont::ToQFont() const
{
    QFont font;
    if (!lfFaceName.isEmpty())
        font.setFamily(lfFaceName);
    if ((lfPitchAndFamily & 0x03) == 1 || (lfPitchAndFamily & 0xF0) == 0x30 || lfFaceName.isEmpty()) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        if (lfFaceName.isEmpty())
            font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    }
    // A positive height is the cell height, of which the character is about 80 %.
    double pixels = lfHeight < 0 ? -double(lfHeight) : double(lfHeight) * 0.8;
    if (lfHeight == 0 || pixels > 1000)
        pixels = 13;
    font.setPointSizeF(pixels * 72.0 / 96.0);
    int weight = lfWeight <= 0 ? 400 : std::min<int>(std::max<int>(lfWeight, 1), 1000);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(lfItalic != 0);
    font.setUnderline(lfUnderline != 0);
    font.setStrikeOut(lfStrikeOut != 0);
    return font;
}

CLogFont CLogFont::FromQFont(const QFont &font, const CLogFont &base)
{
    CLogFont lf = base;
    double points = font.pointSizeF();
    double pixels = points > 0 ? points * 96.0 / 72.0 : double(font.pixelSize());
    lf.lfHeight = -int32_t(std::lround(pixels));
    lf.lfWeight = int32_t(font.weight());
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    QString face;
    for (QChar c : font.family()) {
        if (c.unicode() > 127 || !IsFaceChar(char(c.unicode())) || face.size() == kMaxFaceName)
            break;
        face += c;
    }
    lf.lfFaceName = face;
    if (font.fixedPitch())
        lf.lfPitchAndFamily = (lf.lfPitchAndFamily & 0xF0) | 1;
    return lf;
}

CLogFont CLogFont::DefaultMonospace()
{
    CLogFont lf;
    lf.lfHeight = -13;
    lf.lfWeight = 400;
    lf.lfOutPrecision = 3;
    lf.lfClipPrecision = 2;
    lf.lfQuality = 1;
    lf.lfPitchAndFamily = 49;
    lf.lfFaceName = QStringLiteral("DejaVu Sans Mono");
    return lf;
}

bool CLogFont::operator==(const CLogFont &o) const
{
    return lfHeight == o.lfHeight && lfWidth == o.lfWidth && lfEscapement == o.lfEscapement
           && lfOrientation == o.lfOrientation && lfWeight == o.lfWeight
           && lfItalic == o.lfItalic && lfUnderline == o.lfUnderline
           && lfStrikeOut == o.lfStrikeOut && lfCharSet == o.lfCharSet
           && lfOutPrecision == o.lfOutPrecision && lfClipPrecision == o.lfClipPrecision
           && lfQuality == o.lfQuality && lfPitchAndFamily == o.lfPitchAndFamily
           && lfFaceName == o.lfFaceName;
}
