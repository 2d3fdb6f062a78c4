// Masked copies: the rounding of the alpha product, and a picture released
// and replaced under the same handle.

#include "MaskBaker.h"
#include "DrawingTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(MaskBakerTest, AlphaIsTheRoundedProductForEveryPair) {
    std::vector<unsigned char> pixels(256 * 256 * 4), mask(256 * 256 * 4);
    for (size_t i = 0; i < 256 * 256; ++i) {
        pixels[i * 4 + 3] = static_cast<unsigned char>(i / 256);
        mask[i * 4 + 2] = static_cast<unsigned char>(i % 256);
    }
    MaskBaker::multiplyAlpha(pixels.data(), mask.data(), 256 * 256);
    for (size_t i = 0; i < 256 * 256; ++i)
        ASSERT_EQ(pixels[i * 4 + 3], std::lround((i / 256) * (i % 256) / 255.0))
            << i / 256 << " x " << i % 256;
}

class MaskedCopyTest : public drawingtest::WindowTest {};

// A solid 512 x 512 picture, B, G, R, A.
unsigned int solid(OpenGLDrawer* drawer, unsigned char b, unsigned char g, unsigned char r) {
    unsigned char* pixels = new unsigned char[512 * 512 * 4];
    for (size_t i = 0; i < 512 * 512; ++i) {
        pixels[i * 4] = b;
        pixels[i * 4 + 1] = g;
        pixels[i * 4 + 2] = r;
        pixels[i * 4 + 3] = 255;
    }
    return drawer->loadImage(pixels, 512, 512);
}

TEST_F(MaskedCopyTest, APictureReleasedAndReplacedUnderItsHandleIsDrawnAnew) {
    const std::string shaders = LUMENFALL_DATA_DIR "/shaders/";
    unsigned int feather = 0;
    drawingtest::capturedOutput(
        [&] { feather = drawer->loadShader(shaders + "feather.vert", shaders + "feather.frag"); });
    ASSERT_NE(feather, 0u);
    const unsigned int mask = solid(drawer, 255, 255, 255);
    const unsigned int red = solid(drawer, 0, 0, 255);
    auto draw = [&](unsigned int picture) {
        drawer->beginDrawing();
        drawer->startFrameBufferDrawing();
        drawer->useSecondImage(mask);
        drawer->useShader(feather, 0.0f);
        drawer->drawImage(picture, 100.5f, 100.5f, 1, 1, 1, 1, 1, 1);
        drawer->useShader(0, 0.0f);
        drawer->useSecondImage(0);
        const drawingtest::Pixel p = pixelAt(300, 300);
        drawer->endFrameBufferDrawing();
        return p;
    };
    drawingtest::Pixel first = draw(red);
    EXPECT_EQ(drawer->getMaskedCopies(), 1u);
    EXPECT_GT(first.r, 250);
    drawer->releaseImage(red);
    const unsigned int green = solid(drawer, 0, 255, 0);
    ASSERT_EQ(green, red) << "the handle was not given again; the test needs it to be";
    drawingtest::Pixel second = draw(green);
    EXPECT_LT(second.r, 5);
    EXPECT_GT(second.g, 250);
}

} // namespace
