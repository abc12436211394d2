#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class QFont;

// The fourteen-field logical font record that VIEW_FONT stores. Fields that have no
// counterpart in QFont are kept so that they are written back unchanged.
struct CLogFont
{
    int32_t lfHeight = 0;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    QString lfFaceName;

    static constexpr int kMaxFaceName = 31;

    // Reads the record the way VIEW_FONT is read back: thirteen comma-separated decimal
    // numbers (the eight byte fields keep the low eight bits), then the face name as the
    // longest run of letters and blanks, at most 31 characters. Returns how many of the
    // fourteen fields were filled, as a scanf would: 14 for a complete record.
    static int Parse(const QByteArray &text, CLogFont &font);

    // "%ld,%ld,%ld,%ld,%ld,%d,%d,%d,%d,%d,%d,%d,%d,%s"
    QString Format() const;

    // Height in pixels at 96 dpi: a negative height is the character height, a positive
    // one the cell height.
    QFont ToQFont() const;
    // The fields QFont knows are taken from it, the others are kept from `base`.
    static CLogFont FromQFont(const QFont &font, const CLogFont &base);
    static CLogFont FromQFont(const QFont &font) { return FromQFont(font, CLogFont{}); }

    // A regular 10-point monospace record, used when VIEW_FONT can't be read.
    static CLogFont DefaultMonospace();

    bool operator==(const CLogFont &o) const;
};
