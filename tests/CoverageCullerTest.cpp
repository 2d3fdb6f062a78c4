// What the culler leaves out, on quads whose pictures are known exactly;
// CullingTest holds the drawn pictures to the plain path's.

#include "CoverageCuller.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A B, G, R, A picture: alpha 255, red 255 from column redFrom on, 0 before.
CoverageCuller::ImageRanges picture(unsigned int width, unsigned int height, unsigned int redFrom) {
    std::vector<unsigned char> pixels(width * height * 4, 255);
    for (unsigned int y = 0; y < height; ++y)
        for (unsigned int x = 0; x < redFrom; ++x)
            pixels[(y * width + x) * 4 + 2] = 0;
    return CoverageCuller::measure(pixels.data(), width, height);
}

CoverageCuller::Quad quad(const CoverageCuller::ImageRanges& base, const CoverageCuller::ImageRanges& mask,
                          float x, float y, float alpha) {
    return CoverageCuller::Quad{CoverageCuller::Kind::MaskedPicture,
                                &base,
                                &mask,
                                x,
                                y,
                                x + 64.0f,
                                y + 16.0f,
                                0.0f,
                                0.0f,
                                1.0f,
                                1.0f,
                                alpha == 1.0f};
}

TEST(CoverageCullerTest, LeavesOutCoveredAndTransparentPixelsOnly) {
    const CoverageCuller::ImageRanges opaque = picture(64, 16, 0);
    const CoverageCuller::ImageRanges rightHalf = picture(64, 16, 32);
    CoverageCuller culler;
    std::vector<CoverageCuller::Fill> fills;
    std::vector<CoverageCuller::Rect> rects;

    // An opaque quad hides one drawn earlier at the same place, off whole pixels.
    culler.cull({quad(opaque, opaque, 10.3f, 20.6f, 1.0f), quad(opaque, opaque, 10.3f, 20.6f, 1.0f)}, 200,
                100, fills, rects);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_FALSE(fills[0].whole);
    EXPECT_EQ(fills[0].count, 0);
    EXPECT_TRUE(fills[1].whole);

    // Not quite opaque: it hides nothing.
    culler.cull({quad(opaque, opaque, 10.3f, 20.6f, 1.0f), quad(opaque, opaque, 10.3f, 20.6f, 0.99f)}, 200,
                100, fills, rects);
    EXPECT_TRUE(fills[0].whole);

    // A mask zero on its left half: the fill starts near the middle, yet
    // keeps every pixel whose footprint reaches column 32.
    culler.cull({quad(opaque, rightHalf, 10.3f, 20.6f, 1.0f)}, 200, 100, fills, rects);
    ASSERT_EQ(fills[0].count, 1);
    const CoverageCuller::Rect& fill = rects[static_cast<size_t>(fills[0].first)];
    // (pixel 42's centre samples texels 31 and 32; the quad's pixels are
    // columns 10 to 73, rows 21 to 36).
    EXPECT_LE(fill.x, 42);
    EXPECT_GE(fill.x, 38);
    EXPECT_EQ(fill.x + fill.width, 74);
    EXPECT_LE(fill.y, 21);
    EXPECT_GE(fill.y + fill.height, 37);

    // Off the canvas: nothing to fill.
    culler.cull({quad(opaque, opaque, 300.0f, 20.0f, 1.0f)}, 200, 100, fills, rects);
    EXPECT_FALSE(fills[0].whole);
    EXPECT_EQ(fills[0].count, 0);
}

} // namespace
