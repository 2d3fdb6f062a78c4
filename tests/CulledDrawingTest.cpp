// The culled path: which renderers and switches choose it, and what it
// draws where it leaves a masked program out or keeps it.

#include "CulledDrawing.h"
#include "DrawingTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(CulledDrawingChoiceTest, SoftwareRasterisersAloneGetTheCulledPathUnlessASwitchSaysOtherwise) {
    const char* llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const char* gpu = "Mesa Intel(R) UHD Graphics 620 (KBL GT2)";
    EXPECT_TRUE(CulledDrawing::choose(llvmpipe, nullptr, nullptr, true).culled);
    EXPECT_TRUE(CulledDrawing::choose("softpipe", "0", "", true).culled);
    EXPECT_TRUE(CulledDrawing::choose("Software Rasterizer (swrast)", nullptr, nullptr, true).culled);
    EXPECT_FALSE(CulledDrawing::choose(gpu, nullptr, nullptr, true).culled);
    EXPECT_FALSE(CulledDrawing::choose("NVIDIA GeForce GTX 1060/PCIe/SSE2", "", "0", true).culled);
    // The switches force either path; the plain one wins when both are set.
    EXPECT_FALSE(CulledDrawing::choose(llvmpipe, "1", nullptr, true).culled);
    EXPECT_TRUE(CulledDrawing::choose(gpu, nullptr, "1", true).culled);
    EXPECT_FALSE(CulledDrawing::choose(gpu, "1", "1", true).culled);
    // A driver without frame buffers or a second unit cannot hold draws.
    EXPECT_FALSE(CulledDrawing::choose(llvmpipe, nullptr, "1", false).culled);
    // The log line names the renderer it judged.
    EXPECT_NE(CulledDrawing::choose(gpu, nullptr, nullptr, true).reason.find(gpu), std::string::npos);
}

class CulledPathTest : public drawingtest::WindowTest {
protected:
    void SetUp() override {
        ASSERT_EQ(setenv("LUMENFALL_CULLED_DRAWING", "1", 1), 0);
        WindowTest::SetUp();
        unsetenv("LUMENFALL_CULLED_DRAWING");
        ASSERT_TRUE(drawer->hasCulledPath());
        const std::string shaders = LUMENFALL_DATA_DIR "/shaders/";
        drawingtest::capturedOutput(
            [&] { feather = drawer->loadShader(shaders + "feather.vert", shaders + "feather.frag"); });
        ASSERT_NE(feather, 0u);
    }

    unsigned int solid(unsigned char r, unsigned char g, unsigned char b, unsigned char a = 255) {
        return drawer->loadImage(drawingtest::solidImage(512, 512, r, g, b, a), 512, 512);
    }

    // The picture through the feather program and the mask, in the frame buffer.
    drawingtest::Pixel drawMasked(unsigned int picture, unsigned int mask) {
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
    }

    unsigned long inFixedFunction() const { return drawer->getCulledPath()->counts().maskedInFixedFunction; }

    unsigned int feather = 0;
};

TEST_F(CulledPathTest, APictureReleasedAndReplacedUnderItsHandleIsDrawnAnew) {
    const unsigned int mask = solid(255, 255, 255);
    const unsigned int red = solid(255, 0, 0);
    EXPECT_TRUE(drawingtest::near(drawMasked(red, mask), 255, 0, 0));
    EXPECT_EQ(inFixedFunction(), 1u);
    drawer->releaseImage(red);
    const unsigned int green = solid(0, 255, 0);
    ASSERT_EQ(green, red) << "the handle was not given again; the test needs it to be";
    EXPECT_TRUE(drawingtest::near(drawMasked(green, mask), 0, 255, 0));
}

TEST_F(CulledPathTest, AMaskWhoseAlphaIsNotItsRedKeepsTheProgram) {
    // Red 255 with alpha 0: the program shows the picture whole, where
    // multiplying by the mask's alpha would leave it out.
    const unsigned int mask = solid(255, 255, 255, 0);
    const unsigned int blue = solid(0, 0, 255);
    EXPECT_TRUE(drawingtest::near(drawMasked(blue, mask), 0, 0, 255));
    EXPECT_EQ(inFixedFunction(), 0u);
}

class PlainPathTest : public drawingtest::WindowTest {
protected:
    void SetUp() override {
        ASSERT_EQ(setenv("LUMENFALL_PLAIN_DRAWING", "1", 1), 0);
        WindowTest::SetUp();
        unsetenv("LUMENFALL_PLAIN_DRAWING");
    }
};

TEST_F(PlainPathTest, TheSwitchKeepsThePathPlainOnASoftwareRasteriser) {
    EXPECT_FALSE(drawer->hasCulledPath());
    EXPECT_EQ(drawer->getCulledPath(), nullptr);
}

} // namespace
