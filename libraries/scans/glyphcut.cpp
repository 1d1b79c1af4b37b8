#include "glyphcut.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace Scans {

namespace {

struct Edge {
    double top;    // the smaller y
    double bottom; // the larger y
    double x0;     // x at top
    double slope;  // dx / dy
    int winding;   // +1 downwards, -1 upwards
};

struct Crossing {
    double x;
    int winding;
    bool operator<(const Crossing &other) const { return x < other.x; }
};

using Histogram = std::array<qint64, 256>;

// The value at which count of the pixels from first to last bin are reached.
int histogramPercentile(const Histogram &histogram, int first, int last, qint64 rank)
{
    qint64 seen = 0;
    for (int value = first; value <= last; ++value) {
        seen += histogram[value];
        if (seen > rank) {
            return value;
        }
    }
    return last;
}

qint64 histogramCount(const Histogram &histogram, int first, int last)
{
    qint64 count = 0;
    for (int value = first; value <= last; ++value) {
        count += histogram[value];
    }
    return count;
}

// The grey value that best splits the histogram in two classes (Otsu): at or below it ink, above it paper.
int otsuThreshold(const Histogram &histogram)
{
    const qint64 total = histogramCount(histogram, 0, 255);
    double sum = 0;
    for (int value = 0; value < 256; ++value) {
        sum += double(value) * histogram[value];
    }
    double sumBelow = 0;
    qint64 below = 0;
    double best = -1;
    int threshold = 127;
    for (int value = 0; value < 255; ++value) {
        below += histogram[value];
        sumBelow += double(value) * histogram[value];
        const qint64 above = total - below;
        if (below == 0 || above == 0) {
            continue;
        }
        const double meanBelow = sumBelow / below;
        const double meanAbove = (sum - sumBelow) / above;
        const double between = double(below) * double(above) * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (between > best) {
            best = between;
            threshold = value;
        }
    }
    return threshold;
}

} // namespace

QImage outlineMask(const QPolygon &outline, const QRect &box)
{
    QImage mask(box.size(), QImage::Format_Grayscale8);
    if (mask.isNull()) {
        return mask;
    }
    mask.fill(0);
    std::vector<Edge> edges;
    edges.reserve(outline.size());
    for (int i = 0; i < outline.size(); ++i) {
        const QPoint a = outline.at(i);
        const QPoint b = outline.at((i + 1) % outline.size());
        if (a.y() == b.y()) {
            continue;
        }
        const QPoint &upper = a.y() < b.y() ? a : b;
        const QPoint &lower = a.y() < b.y() ? b : a;
        edges.push_back({double(upper.y()), double(lower.y()), double(upper.x()),
                         double(lower.x() - upper.x()) / double(lower.y() - upper.y()), b.y() > a.y() ? 1 : -1});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge &l, const Edge &r) { return l.top < r.top; });
    std::vector<const Edge *> active;
    std::vector<Crossing> crossings;
    size_t next = 0;
    for (int row = 0; row < box.height(); ++row) {
        // Pixel centres never meet a vertex, whose coordinates are whole.
        const double y = box.top() + row + 0.5;
        while (next < edges.size() && edges[next].top < y) {
            active.push_back(&edges[next++]);
        }
        active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge *edge) { return edge->bottom < y; }),
                     active.end());
        crossings.clear();
        for (const Edge *edge : active) {
            crossings.push_back({edge->x0 + (y - edge->top) * edge->slope, edge->winding});
        }
        std::sort(crossings.begin(), crossings.end());
        uchar *line = mask.scanLine(row);
        int winding = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += crossings[i].winding;
            if (winding == 0) {
                continue;
            }
            // Columns whose centres lie from this crossing to the next.
            const int first = qMax(0, int(std::ceil(crossings[i].x - 0.5)) - box.left());
            const int end = qMin(box.width(), int(std::ceil(crossings[i + 1].x - 0.5)) - box.left());
            if (first < end) {
                std::fill(line + first, line + end, uchar(255));
            }
        }
    }
    return mask;
}

InkLevels inkLevels(const QImage &grey, const QRect &area)
{
    Histogram histogram{};
    const QRect clipped = area & grey.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            ++histogram[line[x]];
        }
    }
    InkLevels levels;
    levels.threshold = otsuThreshold(histogram);
    const qint64 paperCount = histogramCount(histogram, levels.threshold + 1, 255);
    const qint64 inkCount = histogramCount(histogram, 0, levels.threshold);
    if (paperCount > 0) {
        const int median = histogramPercentile(histogram, levels.threshold + 1, 255, paperCount / 2);
        Histogram deviations{};
        for (int value = levels.threshold + 1; value < 256; ++value) {
            deviations[std::abs(value - median)] += histogram[value];
        }
        const int spread = int(std::lround(1.4826 * histogramPercentile(deviations, 0, 255, paperCount / 2)));
        levels.paper = qMax(levels.threshold + 1, median - 2 * spread);
    }
    if (inkCount > 0) {
        levels.ink = histogramPercentile(histogram, 0, levels.threshold, inkCount / 2);
    }
    if (levels.paper - levels.ink < minContrast) {
        levels.ink = qMax(0, levels.paper - minContrast);
        levels.paper = levels.ink + minContrast;
    }
    return levels;
}

QImage cutGlyph(const QImage &grey, const QPolygon &outline, const QRect &box, InkMode mode)
{
    const QImage mask = outlineMask(outline, box);
    QImage alpha(box.size(), QImage::Format_Alpha8);
    if (mask.isNull() || alpha.isNull()) {
        return QImage();
    }
    const int margin = qMax(8, box.height() / 2);
    const InkLevels levels = inkLevels(grey, box.adjusted(-margin, -margin, margin, margin));
    std::array<uchar, 256> table;
    for (int value = 0; value < 256; ++value) {
        if (mode == InkMode::Otsu) {
            table[value] = value <= levels.threshold ? 255 : 0;
        } else {
            const int coverage = (levels.paper - value) * 255 / (levels.paper - levels.ink);
            table[value] = uchar(qBound(0, coverage, 255));
        }
    }
    for (int row = 0; row < box.height(); ++row) {
        const uchar *source = grey.constScanLine(box.top() + row) + box.left();
        const uchar *inside = mask.constScanLine(row);
        uchar *target = alpha.scanLine(row);
        for (int x = 0; x < box.width(); ++x) {
            target[x] = inside[x] ? table[source[x]] : 0;
        }
    }
    return alpha;
}

int inkBottom(const QImage &alpha)
{
    for (int row = alpha.height() - 1; row >= 0; --row) {
        const uchar *line = alpha.constScanLine(row);
        if (*std::max_element(line, line + alpha.width()) >= 128) {
            return row + 1;
        }
    }
    return -1;
}

} // namespace Scans
