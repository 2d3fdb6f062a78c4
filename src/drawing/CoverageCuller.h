#pragma once

#include <utility>
#include <vector>

// Works out, for a run of masked quads drawn in order with normal blending,
// which whole pixels of each quad can still change the picture, so that the
// drawer fills only those. A masked quad's fragment alpha is its base
// image's alpha times its colour's alpha times its mask image's red, both
// images sampled bilinearly at the same coordinates with clamped edges.
// A pixel is left out when every texel of its filter footprint has zero base
// alpha or zero mask red (it would leave the pixel as it was), or when a later
// quad of the run covers it with exactly opaque fragments (every footprint
// texel of both images at 255, colour alpha 1, pixel centre well inside the
// quad). Both tests allow a margin for rounding in the rasteriser, so only
// pixels that surely cannot change the picture are left out. Nothing here
// calls OpenGL.
class CoverageCuller {
public:
    using Span = std::pair<int, int>; // first and last column, inclusive

    // Per texel row of an image as uploaded (padded size): the first and last
    // column with non-zero alpha and the longest run of columns with alpha
    // 255 (empty when lo > hi); the runs of non-zero red (gaps of a texel or
    // two closed) and the runs of red 255, as spans[first .. first + count).
    struct RowRanges {
        short alphaLo, alphaHi;
        short alphaFullLo, alphaFullHi;
        int redFirst, redCount;
        int fullFirst, fullCount;
    };
    struct ImageRanges {
        int width = 0; // of the texture
        int height = 0;
        std::vector<RowRanges> rows;
        std::vector<Span> spans;
        bool opaque = false; // every alpha 255
    };

    // How a quad's pixels are known: a plain draw of an unmeasured or
    // mirrored picture is filled in tiles that later opaque pixels do not
    // wholly cover, and hides what it covers only when its picture is
    // measured opaque and its colour too; a measured picture is culled by
    // its own alpha, alone or times a measured mask's red.
    enum class Kind { Tiles, Picture, MaskedPicture };

    // One quad in canvas pixels (y down) with its texture coordinates
    // (fractions of the texture) at the top-left and bottom-right corners.
    struct Quad {
        Kind kind;
        const ImageRanges* base; // read for Picture and MaskedPicture, and for Tiles when set
        const ImageRanges* mask; // read for MaskedPicture
        float x0, y0, x1, y1;
        float u0, v0, u1, v1;
        bool opaqueColour; // colour alpha exactly 1
    };

    // A rectangle of whole pixels, rows counted from the top.
    struct Rect {
        int x, y, width, height;
    };

    // What to fill of one quad: nothing (count 0), the whole quad (whole),
    // or rects[first .. first + count).
    struct Fill {
        int first;
        int count;
        bool whole;
    };

    // Ranges of a B, G, R, A image, rows top to bottom.
    static ImageRanges measure(const unsigned char* pixels, unsigned int width, unsigned int height);

    // The fill of each quad of a run drawn in this order on a canvas of
    // width x height pixels; fills[i] belongs to quads[i], its rectangles
    // are in rects.
    void cull(const std::vector<Quad>& quads, int width, int height, std::vector<Fill>& fills,
              std::vector<Rect>& rects);
    // Whether the opaque pixels of the last run culled cover its whole
    // canvas, so that the run's picture owes nothing to what was there.
    bool coversCanvas() const;

private:
    // A mask of red 255 everywhere, for a picture drawn without one.
    static const ImageRanges wholeMask;

    // Appends the parts of [lo, hi] that no covered span of the row holds.
    void uncovered(int row, int lo, int hi, std::vector<Span>& parts) const;
    void cover(int row, int lo, int hi);
    // Turns the visible parts of the quad's rows into rectangles.
    void makeRects(int rowA, int rowCount, std::vector<Rect>& rects);
    // Whether every pixel of columns lo..hi of the row is covered.
    bool isCovered(int row, int lo, int hi) const;
    void cullPlain(const Quad& q, int width, int height, Fill& fill, std::vector<Rect>& rects);
    // A masked quad's pixel and texel geometry (defined with the code).
    struct QuadFrame;
    void cullMasked(const Quad& q, int width, int height, Fill& fill, std::vector<Rect>& rects);
    // Adds the row's pixels of a masked quad that can change the picture to parts.
    void visibleParts(const Quad& q, const QuadFrame& f, int row, int maskFirst, int maskLast, int alphaLo,
                      int alphaHi);
    // Marks the row's exactly opaque pixels of a masked quad as covered.
    void coverOpaque(const Quad& q, const QuadFrame& f, int row, int maskFirst, int maskLast, int fullLo,
                     int fullHi);

    std::vector<std::vector<Span>> covered; // per canvas row, sorted, disjoint, not touching
    int canvasWidth = 0;
    std::vector<Span> parts;   // visible parts of the quad in hand, row by row
    std::vector<int> rowParts; // where each of its rows starts in parts
    std::vector<Span> scratch;
    std::vector<Span> band;
    std::vector<Span> grown;
};
