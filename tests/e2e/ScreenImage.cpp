#include "ScreenImage.h"

#include <QHash>

#include <cstdlib>

namespace ScreenImage {

bool IsInk(QRgb px) { return qGray(px) < 110; }

bool IsHighlight(QRgb px) { return qBlue(px) > 150 && qRed(px) < 110 && qBlue(px) - qRed(px) > 80; }

bool IsWhite(QRgb px) { return qRed(px) >= 254 && qGreen(px) >= 254 && qBlue(px) >= 254; }

PixelTest DiffersFrom(QRgb background, int nThreshold)
{
    return [background, nThreshold](QRgb px) {
        return std::abs(qRed(px) - qRed(background)) > nThreshold || std::abs(qGreen(px) - qGreen(background)) > nThreshold
               || std::abs(qBlue(px) - qBlue(background)) > nThreshold;
    };
}

namespace {

QVector<QPair<int, int>> Runs(const QVector<bool> &hits, int nOffset, int nMinGap)
{
    QVector<QPair<int, int>> runs;
    for (int i = 0; i < hits.size(); ++i) {
        if (!hits[i])
            continue;
        if (!runs.isEmpty() && i + nOffset - runs.last().second <= nMinGap)
            runs.last().second = i + nOffset;
        else
            runs.append({i + nOffset, i + nOffset});
    }
    return runs;
}

} // namespace

QVector<QPair<int, int>> RowRuns(const QImage &image, const QRect &area, const PixelTest &test, int nMinGap)
{
    QRect r = area.intersected(image.rect());
    QVector<bool> hits(r.height());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right() && !hits[y - r.top()]; ++x)
            hits[y - r.top()] = test(image.pixel(x, y));
    }
    return Runs(hits, r.top(), nMinGap);
}

QVector<QPair<int, int>> ColumnRuns(const QImage &image, const QRect &area, const PixelTest &test, int nMinGap)
{
    QRect r = area.intersected(image.rect());
    QVector<bool> hits(r.width());
    for (int x = r.left(); x <= r.right(); ++x) {
        for (int y = r.top(); y <= r.bottom() && !hits[x - r.left()]; ++y)
            hits[x - r.left()] = test(image.pixel(x, y));
    }
    return Runs(hits, r.left(), nMinGap);
}

int FirstWhiteRow(const QImage &image, const QRect &area, double dFraction)
{
    QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        int white = 0;
        for (int x = r.left(); x <= r.right(); ++x)
            white += IsWhite(image.pixel(x, y)) ? 1 : 0;
        if (white >= dFraction * r.width())
            return y;
    }
    return -1;
}

QRgb Background(const QImage &image, const QRect &area)
{
    QRect r = area.intersected(image.rect());
    QHash<QRgb, int> counts;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    }
    return best;
}

int ChangedPixels(const QImage &a, const QImage &b, const QRect &area)
{
    QRect r = area.intersected(a.rect()).intersected(b.rect());
    int changed = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return changed;
}

} // namespace ScreenImage
