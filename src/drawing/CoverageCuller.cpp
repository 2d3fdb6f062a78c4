#include "CoverageCuller.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Allowances for rounding: a texture coordinate may be off by this many
// texels, a quad's edge by this many pixels, and every pixel range found
// from them is widened (or, for opaque ones, narrowed) by one more pixel.
const double texelMargin = 1.0 / 32.0;
const float edgeMargin = 1.0f / 16.0f;
// Filling this many pixels that change nothing costs about what one more
// draw does: a band of rows grows, and a gap between its parts is filled,
// while that wastes less.
const int bandAllowance = 768;
// Plain draws are culled in square tiles of this many pixels.
const int plainTile = 32;
// Gaps in a mask row up to this many texels are measured as non-zero.
const int closedGap = 2;
// Opaque runs shorter than this are not worth measuring.
const int shortestRun = 4;

const int farLeft = INT_MIN / 4;
const int farRight = INT_MAX / 4;

int toPixel(double c) {
    if (!(c > farLeft))
        return farLeft;
    if (!(c < farRight))
        return farRight;
    return static_cast<int>(std::ceil(c));
}

// One axis of a quad: pixel index i has its centre at i + 0.5 and samples
// texel coordinate (t0 + (i + 0.5 - p0) * dt) * size.
struct Axis {
    double p0;
    double t0;
    double dt;
    int size;

    double pixelAt(double texel) const { return p0 + (texel / size - t0) / dt - 0.5; }
    double texelAt(int pixel) const { return (t0 + (pixel + 0.5 - p0) * dt) * size; }

    // Pixels whose footprint may hold a texel of [first, last].
    void touching(int first, int last, int& lo, int& hi) const {
        lo = first == 0 ? farLeft : toPixel(pixelAt(first - 0.5 - texelMargin)) - 1;
        hi = last == size - 1 ? farRight : toPixel(pixelAt(last + 1.5 + texelMargin));
    }
    // Pixels whose whole footprint lies in [first, last].
    void inside(int first, int last, int& lo, int& hi) const {
        lo = first == 0 ? farLeft : toPixel(pixelAt(first + 0.5 + texelMargin)) + 1;
        hi = last == size - 1 ? farRight : toPixel(pixelAt(last + 0.5 - texelMargin)) - 2;
    }
    // The texel rows (or columns) in the footprint of a pixel, clamped.
    void footprint(int pixel, int& first, int& last) const {
        const double t = texelAt(pixel) - 0.5;
        first = std::max(0, std::min(size - 1, static_cast<int>(std::floor(t - texelMargin))));
        last = std::max(0, std::min(size - 1, static_cast<int>(std::floor(t + texelMargin)) + 1));
    }
};

void intersect(int& lo, int& hi, int otherLo, int otherHi) {
    lo = std::max(lo, otherLo);
    hi = std::min(hi, otherHi);
}

int totalWidth(const std::vector<CoverageCuller::Span>& spans) {
    int total = 0;
    for (const CoverageCuller::Span& span : spans)
        total += span.second - span.first + 1;
    return total;
}

// Sorts spans and merges those that overlap or lie closer than gap.
void mergeSpans(std::vector<CoverageCuller::Span>& spans, int gap) {
    std::sort(spans.begin(), spans.end());
    size_t kept = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
        if (kept > 0 && spans[i].first <= spans[kept - 1].second + gap)
            spans[kept - 1].second = std::max(spans[kept - 1].second, spans[i].second);
        else
            spans[kept++] = spans[i];
    }
    spans.resize(kept);
}

// The non-zero alpha span of one B, G, R, A row and its longest run of
// alpha 255.
void measureAlpha(const unsigned char* row, int w, CoverageCuller::RowRanges& r) {
    int alphaLo = INT_MAX, alphaHi = -1, alphaRun = 0, alphaBest = 0, alphaBestEnd = -1;
    for (int x = 0; x < w; ++x) {
        const unsigned char alpha = row[x * 4 + 3];
        if (alpha) {
            alphaLo = std::min(alphaLo, x);
            alphaHi = x;
        }
        alphaRun = alpha == 255 ? alphaRun + 1 : 0;
        if (alphaRun > alphaBest) {
            alphaBest = alphaRun;
            alphaBestEnd = x;
        }
    }
    r.alphaLo = static_cast<short>(std::min(alphaLo, 32767));
    r.alphaHi = static_cast<short>(alphaHi);
    r.alphaFullLo = static_cast<short>(alphaBest ? alphaBestEnd - alphaBest + 1 : 1);
    r.alphaFullHi = static_cast<short>(alphaBest ? alphaBestEnd : 0);
}

} // namespace

const CoverageCuller::ImageRanges CoverageCuller::wholeMask{
    1, 1, {RowRanges{0, 0, 0, 0, 0, 1, 1, 1}}, {{0, 0}, {0, 0}}};

CoverageCuller::ImageRanges CoverageCuller::measure(const unsigned char* pixels, unsigned int width,
                                                    unsigned int height) {
    ImageRanges ranges;
    ranges.width = static_cast<int>(width);
    ranges.height = static_cast<int>(height);
    ranges.rows.resize(height);
    const int w = static_cast<int>(width);
    for (unsigned int y = 0; y < height; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(y) * width * 4;
        RowRanges& r = ranges.rows[y];
        measureAlpha(row, w, r);

        r.redFirst = static_cast<int>(ranges.spans.size());
        for (int x = 0; x < w;) {
            if (!row[x * 4 + 2]) {
                ++x;
                continue;
            }
            int end = x;
            while (end + 1 < w && row[(end + 1) * 4 + 2])
                ++end;
            if (static_cast<int>(ranges.spans.size()) > r.redFirst &&
                ranges.spans.back().second + closedGap >= x - 1)
                ranges.spans.back().second = end;
            else
                ranges.spans.push_back(Span(x, end));
            x = end + 1;
        }
        r.redCount = static_cast<int>(ranges.spans.size()) - r.redFirst;
        r.fullFirst = static_cast<int>(ranges.spans.size());
        for (int x = 0; x < w;) {
            if (row[x * 4 + 2] != 255) {
                ++x;
                continue;
            }
            int end = x;
            while (end + 1 < w && row[(end + 1) * 4 + 2] == 255)
                ++end;
            if (end - x + 1 >= shortestRun)
                ranges.spans.push_back(Span(x, end));
            x = end + 1;
        }
        r.fullCount = static_cast<int>(ranges.spans.size()) - r.fullFirst;
    }
    ranges.opaque = std::all_of(ranges.rows.begin(), ranges.rows.end(), [w](const RowRanges& r) {
        return r.alphaFullLo == 0 && r.alphaFullHi == w - 1;
    });
    return ranges;
}

void CoverageCuller::uncovered(int row, int lo, int hi, std::vector<Span>& out) const {
    const std::vector<Span>& spans = covered[static_cast<size_t>(row)];
    auto it = std::lower_bound(spans.begin(), spans.end(), lo,
                               [](const Span& span, int value) { return span.second < value; });
    for (; it != spans.end() && it->first <= hi && lo <= hi; ++it) {
        if (it->first > lo)
            out.push_back(Span(lo, it->first - 1));
        lo = std::max(lo, it->second + 1);
    }
    if (lo <= hi)
        out.push_back(Span(lo, hi));
}

void CoverageCuller::cover(int row, int lo, int hi) {
    std::vector<Span>& spans = covered[static_cast<size_t>(row)];
    // The first span that reaches lo - 1 or beyond, then all that start by hi + 1.
    auto first = std::lower_bound(spans.begin(), spans.end(), lo - 1,
                                  [](const Span& span, int value) { return span.second < value; });
    auto last = first;
    while (last != spans.end() && last->first <= hi + 1) {
        lo = std::min(lo, last->first);
        hi = std::max(hi, last->second);
        ++last;
    }
    if (first == last) {
        spans.insert(first, Span(lo, hi));
    } else {
        *first = Span(lo, hi);
        spans.erase(first + 1, last);
    }
}

void CoverageCuller::makeRects(int rowA, int rowCount, std::vector<Rect>& rects) {
    int bandTop = -1;
    auto closeBand = [&](int end) {
        if (bandTop < 0)
            return;
        const int rows = end - bandTop;
        // A gap is kept open only where it saves more than a draw costs.
        mergeSpans(band, std::max(0, bandAllowance / rows));
        for (const Span& span : band)
            rects.push_back(Rect{span.first, rowA + bandTop, span.second - span.first + 1, rows});
        bandTop = -1;
    };
    for (int k = 0; k < rowCount; ++k) {
        const auto first = parts.begin() + rowParts[static_cast<size_t>(k)];
        const auto last = parts.begin() + rowParts[static_cast<size_t>(k) + 1];
        if (first == last) {
            closeBand(k);
            continue;
        }
        scratch.assign(first, last);
        if (bandTop >= 0) {
            // The row joins when the pixels it adds beyond its own parts are few.
            grown = band;
            grown.insert(grown.end(), first, last);
            mergeSpans(grown, 0);
            const long before = static_cast<long>(totalWidth(band)) * (k - bandTop);
            const long after = static_cast<long>(totalWidth(grown)) * (k - bandTop + 1);
            if (after - before - totalWidth(scratch) <= bandAllowance) {
                band.swap(grown);
                continue;
            }
            closeBand(k);
        }
        bandTop = k;
        band = scratch;
    }
    closeBand(rowCount);
}

bool CoverageCuller::isCovered(int row, int lo, int hi) const {
    const std::vector<Span>& spans = covered[static_cast<size_t>(row)];
    auto it = std::lower_bound(spans.begin(), spans.end(), lo,
                               [](const Span& span, int value) { return span.second < value; });
    return it != spans.end() && it->first <= lo && it->second >= hi;
}

void CoverageCuller::cullPlain(const Quad& q, int width, int height, Fill& fill, std::vector<Rect>& rects) {
    const float left = std::min(q.x0, q.x1), right = std::max(q.x0, q.x1);
    const float top = std::min(q.y0, q.y1), bottom = std::max(q.y0, q.y1);
    const int colA = std::max(0, toPixel(left - 0.5f - edgeMargin));
    const int colB = std::min(width - 1, toPixel(right - 0.5f + edgeMargin) - 1);
    const int rowA = std::max(0, toPixel(top - 0.5f - edgeMargin));
    const int rowB = std::min(height - 1, toPixel(bottom - 0.5f + edgeMargin) - 1);
    if (colA > colB || rowA > rowB)
        return;
    fill.first = static_cast<int>(rects.size());
    bool anyCovered = false;
    for (int tileTop = rowA - rowA % plainTile; tileTop <= rowB; tileTop += plainTile) {
        const int y0 = std::max(rowA, tileTop), y1 = std::min(rowB, tileTop + plainTile - 1);
        int runStart = -1;
        for (int tileLeft = colA - colA % plainTile; tileLeft <= colB + plainTile; tileLeft += plainTile) {
            const int x0 = std::max(colA, tileLeft), x1 = std::min(colB, tileLeft + plainTile - 1);
            bool hidden = x0 <= x1;
            for (int row = y0; row <= y1 && hidden; ++row)
                hidden = isCovered(row, x0, x1);
            anyCovered = anyCovered || hidden;
            if (x0 <= x1 && !hidden) {
                if (runStart < 0)
                    runStart = x0;
                continue;
            }
            if (runStart >= 0)
                rects.push_back(Rect{runStart, y0, std::min(colB, tileLeft - 1) - runStart + 1, y1 - y0 + 1});
            runStart = -1;
        }
    }
    fill.count = static_cast<int>(rects.size()) - fill.first;
    if (!anyCovered) {
        rects.resize(static_cast<size_t>(fill.first));
        fill.count = 0;
        fill.whole = true;
    }
    // Every texel of an opaque picture has alpha 255, wherever it is sampled.
    if (q.base && q.base->opaque && q.opaqueColour) {
        const int innerColA = std::max(0, toPixel(left - 0.5f + edgeMargin));
        const int innerColB = std::min(width - 1, toPixel(right - 0.5f - edgeMargin) - 1);
        const int innerRowB = std::min(height - 1, toPixel(bottom - 0.5f - edgeMargin) - 1);
        for (int row = std::max(0, toPixel(top - 0.5f + edgeMargin));
             row <= innerRowB && innerColA <= innerColB; ++row)
            cover(row, innerColA, innerColB);
    }
}

// A masked quad's pixels and texels: the pixels whose centre may lie in the
// quad (colA..colB, rowA..rowB), those whose centre surely does (inner), and
// the mapping of each axis onto both images.
struct CoverageCuller::QuadFrame {
    int colA, colB, rowA, rowB;
    int innerColA, innerColB, innerRowA, innerRowB;
    Axis baseX, maskX, baseY, maskY;
};

void CoverageCuller::cull(const std::vector<Quad>& quads, int width, int height, std::vector<Fill>& fills,
                          std::vector<Rect>& rects) {
    canvasWidth = width;
    covered.resize(static_cast<size_t>(std::max(height, 0)));
    for (std::vector<Span>& spans : covered)
        spans.clear();
    fills.assign(quads.size(), Fill{0, 0, false});
    rects.clear();

    for (size_t i = quads.size(); i-- > 0;) {
        Fill& fill = fills[i];
        if (quads[i].kind == Kind::Tiles) {
            cullPlain(quads[i], width, height, fill, rects);
            continue;
        }
        Quad q = quads[i];
        if (q.kind == Kind::Picture)
            q.mask = &wholeMask;
        // A mirrored, empty or unmeasured quad is drawn as it is and hides nothing.
        if (!(q.x1 > q.x0 && q.y1 > q.y0 && q.u1 > q.u0 && q.v1 > q.v0) || q.base->rows.empty() ||
            q.mask->rows.empty()) {
            fill.whole = true;
            continue;
        }
        cullMasked(q, width, height, fill, rects);
    }
}

bool CoverageCuller::coversCanvas() const {
    return std::all_of(covered.begin(), covered.end(), [this](const std::vector<Span>& spans) {
        return spans.size() == 1 && spans[0].first <= 0 && spans[0].second >= canvasWidth - 1;
    });
}

void CoverageCuller::cullMasked(const Quad& q, int width, int height, Fill& fill, std::vector<Rect>& rects) {
    const double du = (static_cast<double>(q.u1) - q.u0) / (static_cast<double>(q.x1) - q.x0);
    const double dv = (static_cast<double>(q.v1) - q.v0) / (static_cast<double>(q.y1) - q.y0);
    const QuadFrame f{std::max(0, toPixel(q.x0 - 0.5f - edgeMargin)),
                      std::min(width - 1, toPixel(q.x1 - 0.5f + edgeMargin) - 1),
                      std::max(0, toPixel(q.y0 - 0.5f - edgeMargin)),
                      std::min(height - 1, toPixel(q.y1 - 0.5f + edgeMargin) - 1),
                      std::max(0, toPixel(q.x0 - 0.5f + edgeMargin)),
                      std::min(width - 1, toPixel(q.x1 - 0.5f - edgeMargin) - 1),
                      toPixel(q.y0 - 0.5f + edgeMargin),
                      toPixel(q.y1 - 0.5f - edgeMargin) - 1,
                      Axis{q.x0, q.u0, du, q.base->width},
                      Axis{q.x0, q.u0, du, q.mask->width},
                      Axis{q.y0, q.v0, dv, q.base->height},
                      Axis{q.y0, q.v0, dv, q.mask->height}};
    if (f.colA > f.colB || f.rowA > f.rowB)
        return; // off the canvas: nothing to fill

    parts.clear();
    rowParts.assign(1, 0);
    for (int row = f.rowA; row <= f.rowB; ++row) {
        int baseFirst, baseLast, maskFirst, maskLast;
        f.baseY.footprint(row, baseFirst, baseLast);
        f.maskY.footprint(row, maskFirst, maskLast);
        int alphaLo = INT_MAX, alphaHi = -1, fullLo = INT_MIN, fullHi = INT_MAX;
        for (int t = baseFirst; t <= baseLast; ++t) {
            const RowRanges& r = q.base->rows[static_cast<size_t>(t)];
            alphaLo = std::min<int>(alphaLo, r.alphaLo);
            alphaHi = std::max<int>(alphaHi, r.alphaHi);
            intersect(fullLo, fullHi, r.alphaFullLo, r.alphaFullHi);
        }
        visibleParts(q, f, row, maskFirst, maskLast, alphaLo, alphaHi);
        rowParts.push_back(static_cast<int>(parts.size()));
        if (q.opaqueColour && row >= f.innerRowA && row <= f.innerRowB && fullLo <= fullHi)
            coverOpaque(q, f, row, maskFirst, maskLast, fullLo, fullHi);
    }
    fill.first = static_cast<int>(rects.size());
    makeRects(f.rowA, f.rowB - f.rowA + 1, rects);
    fill.count = static_cast<int>(rects.size()) - fill.first;
    if (fill.count == 1) {
        const Rect& r = rects.back();
        if (r.x == f.colA && r.y == f.rowA && r.width == f.colB - f.colA + 1 &&
            r.height == f.rowB - f.rowA + 1) {
            rects.pop_back();
            fill.count = 0;
            fill.whole = true;
        }
    }
}

void CoverageCuller::visibleParts(const Quad& q, const QuadFrame& f, int row, int maskFirst, int maskLast,
                                  int alphaLo, int alphaHi) {
    // Non-zero alpha and non-zero red, in pixels of this row.
    int lo = f.colA, hi = f.colB, otherLo, otherHi;
    if (alphaLo <= alphaHi) {
        f.baseX.touching(alphaLo, alphaHi, otherLo, otherHi);
        intersect(lo, hi, otherLo, otherHi);
    } else {
        hi = lo - 1;
    }
    scratch.clear();
    for (int t = maskFirst; t <= maskLast && lo <= hi; ++t) {
        const RowRanges& r = q.mask->rows[static_cast<size_t>(t)];
        for (int s = r.redFirst; s < r.redFirst + r.redCount; ++s) {
            const Span& span = q.mask->spans[static_cast<size_t>(s)];
            f.maskX.touching(span.first, span.second, otherLo, otherHi);
            intersect(otherLo, otherHi, lo, hi);
            if (otherLo <= otherHi)
                scratch.push_back(Span(otherLo, otherHi));
        }
    }
    mergeSpans(scratch, 0);
    for (const Span& span : scratch)
        uncovered(row, span.first, span.second, parts);
}

void CoverageCuller::coverOpaque(const Quad& q, const QuadFrame& f, int row, int maskFirst, int maskLast,
                                 int fullLo, int fullHi) {
    // Opaque: alpha 255 and red 255 over the whole footprint.
    int opaqueLo = f.innerColA, opaqueHi = f.innerColB, otherLo, otherHi;
    f.baseX.inside(fullLo, fullHi, otherLo, otherHi);
    intersect(opaqueLo, opaqueHi, otherLo, otherHi);
    if (opaqueLo > opaqueHi)
        return;
    const RowRanges& top = q.mask->rows[static_cast<size_t>(maskFirst)];
    for (int s = top.fullFirst; s < top.fullFirst + top.fullCount; ++s) {
        int runLo = q.mask->spans[static_cast<size_t>(s)].first;
        int runHi = q.mask->spans[static_cast<size_t>(s)].second;
        // Narrowed to the red-255 runs of the footprint's other rows.
        for (int t = maskFirst + 1; t <= maskLast && runLo <= runHi; ++t) {
            const RowRanges& r = q.mask->rows[static_cast<size_t>(t)];
            int bestLo = 1, bestHi = 0;
            for (int o = r.fullFirst; o < r.fullFirst + r.fullCount; ++o) {
                int a = runLo, b = runHi;
                intersect(a, b, q.mask->spans[static_cast<size_t>(o)].first,
                          q.mask->spans[static_cast<size_t>(o)].second);
                if (b - a > bestHi - bestLo) {
                    bestLo = a;
                    bestHi = b;
                }
            }
            runLo = bestLo;
            runHi = bestHi;
        }
        if (runLo > runHi)
            continue;
        int coverLo = opaqueLo, coverHi = opaqueHi;
        f.maskX.inside(runLo, runHi, otherLo, otherHi);
        intersect(coverLo, coverHi, otherLo, otherHi);
        if (coverLo <= coverHi)
            cover(row, coverLo, coverHi);
    }
}
