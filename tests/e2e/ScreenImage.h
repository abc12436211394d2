#pragma once

#include <QImage>
#include <QRect>
#include <QVector>

#include <functional>

// Reading a screenshot the way a user reads the screen: where the text and the images
// are, where a selection is highlighted, where the editor's white paper begins.
namespace ScreenImage {

using PixelTest = std::function<bool(QRgb)>;

// Dark pixels: text and the outlines of images.
bool IsInk(QRgb px);
// The selection highlight of the style in use (a saturated blue).
bool IsHighlight(QRgb px);
bool IsWhite(QRgb px);
// A pixel that differs clearly from the background colour.
PixelTest DiffersFrom(QRgb background, int nThreshold = 40);

// Runs [first, last] of the rows (or columns) of `area` that hold at least one pixel
// passing the test, merged where the gap between two runs is below `nMinGap`.
QVector<QPair<int, int>> RowRuns(const QImage &image, const QRect &area, const PixelTest &test, int nMinGap = 1);
QVector<QPair<int, int>> ColumnRuns(const QImage &image, const QRect &area, const PixelTest &test, int nMinGap = 1);

// The first row of `area` in which at least `dFraction` of the pixels are white.
int FirstWhiteRow(const QImage &image, const QRect &area, double dFraction);

// The most common colour of `area`.
QRgb Background(const QImage &image, const QRect &area);

// How many pixels of `area` differ between two images of the same screen.
int ChangedPixels(const QImage &a, const QImage &b, const QRect &area);

} // namespace ScreenImage
