#include "DrawingTestSupport.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using drawingtest::capturedOutput;
using drawingtest::near;
using drawingtest::solidImage;
using drawingtest::WindowTest;

namespace {

class OpenGLDrawerTest : public WindowTest {};

class BorderedWindowTest : public WindowTest {
protected:
    BorderedWindowTest() : WindowTest(1024, 768) {}
};

// Size of the texture behind an image, read from OpenGL.
void textureSize(const OpenGLDrawer::Image& image, int& width, int& height) {
    glBindTexture(GL_TEXTURE_2D, image.texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void viewport(int out[4]) {
    glGetIntegerv(GL_VIEWPORT, out);
}

// Refuses the first few video modes asked of it and records every attempt.
class RefusingDrawer : public OpenGLDrawer {
public:
    explicit RefusingDrawer(int refusals) : OpenGLDrawer(1280, 720), refusals(refusals) {}
    std::vector<std::string> attempts;

protected:
    bool openVideoMode(unsigned short width, unsigned short height, bool fullscreen, int antialias) override {
        attempts.push_back(std::to_string(width) + "x" + std::to_string(height) +
                           (fullscreen ? " fullscreen " : " windowed ") + std::to_string(antialias));
        if (refusals-- > 0)
            return false;
        return OpenGLDrawer::openVideoMode(width, height, fullscreen, antialias);
    }

private:
    int refusals;
};

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = std::string(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

} // namespace

// --- Canvas fitting and sub-viewports: arithmetic ---------------------------------

TEST(CanvasFit, FitsTheCanvasWithEqualBorders) {
    OpenGLDrawer::CanvasFit same = OpenGLDrawer::fitCanvas(1280, 720, 1920, 1080);
    EXPECT_TRUE(same.sameProportions);
    EXPECT_EQ(same.actualWidth, 1920.0f);
    EXPECT_EQ(same.actualHeight, 1080.0f);

    OpenGLDrawer::CanvasFit taller = OpenGLDrawer::fitCanvas(1280, 720, 1024, 768);
    EXPECT_FALSE(taller.sameProportions);
    EXPECT_EQ(taller.actualWidth, 1024.0f);
    EXPECT_EQ(taller.actualHeight, 576.0f);
    EXPECT_EQ(taller.viewportOffsetX, 0.0f);
    EXPECT_EQ(taller.viewportOffsetY, 96.0f);

    OpenGLDrawer::CanvasFit tall = OpenGLDrawer::fitCanvas(1280, 720, 1920, 1200);
    EXPECT_EQ(tall.actualWidth, 1920.0f);
    EXPECT_EQ(tall.actualHeight, 1080.0f);
    EXPECT_EQ(tall.viewportOffsetY, 60.0f);

    OpenGLDrawer::CanvasFit wide = OpenGLDrawer::fitCanvas(1280, 720, 2560, 1080);
    EXPECT_EQ(static_cast<short>(wide.actualWidth), 1920);
    EXPECT_EQ(wide.actualHeight, 1080.0f);
    EXPECT_EQ(static_cast<short>(wide.viewportOffsetX), 320);
    EXPECT_EQ(wide.viewportOffsetY, 0.0f);
}

TEST(CanvasFit, SubViewportsCountRowsFromTheBottom) {
    OpenGLDrawer::ViewportRect quarter =
        OpenGLDrawer::viewportFor(0, 0, 640, 360, 1280, 720, 1280, 720, 0, 0);
    EXPECT_EQ(quarter.x, 0);
    EXPECT_EQ(quarter.y, 360);
    EXPECT_EQ(quarter.width, 640);
    EXPECT_EQ(quarter.height, 360);

    // Bottom-right quarter of the canvas in a 1024 x 768 window (576 rows high, 96 below).
    OpenGLDrawer::ViewportRect bordered =
        OpenGLDrawer::viewportFor(640, 360, 640, 360, 1280, 720, 1024, 576, 0, 96);
    EXPECT_EQ(bordered.x, 512);
    EXPECT_EQ(bordered.y, 96);
    EXPECT_EQ(bordered.width, 512);
    EXPECT_EQ(bordered.height, 288);
}

TEST(CanvasFit, PowersOfTwo) {
    EXPECT_EQ(OpenGLDrawer::powerOfTwo(0), 1u);
    EXPECT_EQ(OpenGLDrawer::powerOfTwo(1), 1u);
    EXPECT_EQ(OpenGLDrawer::powerOfTwo(100), 128u);
    EXPECT_EQ(OpenGLDrawer::powerOfTwo(1024), 1024u);
    EXPECT_FALSE(OpenGLDrawer::isPowerOfTwo(0));
    EXPECT_FALSE(OpenGLDrawer::isPowerOfTwo(50));
    EXPECT_TRUE(OpenGLDrawer::isPowerOfTwo(64));
}

// --- Without a window ---------------------------------------------------------------

TEST(OpenGLDrawerDeathTest, UnknownImageIsFatal) {
    OpenGLDrawer drawer(1280, 720);
    EXPECT_DEATH(drawer.drawImage(99, 0, 0, 1, 1, 1, 1, 1, 1), "failed assertion `it != images.end\\(\\)'");
    EXPECT_DEATH(drawer.drawSubImage(99, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1), "it != images.end");
    EXPECT_DEATH(drawer.drawImageRot(99, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1), "it != images.end");
}

TEST(OpenGLDrawerPolygons, CentreAndTextureCoordinates) {
    OpenGLDrawer drawer(1280, 720);
    float forwards[] = {0, 0, 10, 0, 0, 10};
    float backwards[] = {0, 10, 10, 0, 0, 0};
    ASSERT_EQ(drawer.loadPoly(forwards, 3), 0u);
    ASSERT_EQ(drawer.loadPoly(backwards, 3), 1u);
    const OpenGLDrawer::Polygon* first = drawer.getPolygon(0);
    const OpenGLDrawer::Polygon* second = drawer.getPolygon(1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->numPoints, 4);
    EXPECT_NEAR(first->xPoints[0], 3.333f, 0.001f);
    EXPECT_NEAR(first->yPoints[0], 3.333f, 0.001f);
    EXPECT_NEAR(first->uCoords[0], 0.3333f, 0.0001f);
    const float expectedU[] = {0, 1, 0};
    const float expectedV[] = {0, 0, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(first->uCoords[i + 1], expectedU[i]) << "corner " << i;
        EXPECT_EQ(first->vCoords[i + 1], expectedV[i]) << "corner " << i;
        // The same corner given in the reverse order keeps its coordinates.
        EXPECT_EQ(second->uCoords[3 - i], expectedU[i]) << "corner " << i;
        EXPECT_EQ(second->vCoords[3 - i], expectedV[i]) << "corner " << i;
    }
    EXPECT_EQ(drawer.getPolygon(2), nullptr);
}

// --- Display set-up ------------------------------------------------------------------

TEST_F(OpenGLDrawerTest, OpensTheWindowAndAnswersCapabilitiesFromTheDriver) {
    EXPECT_EQ(drawer->getScreenWidth(), 1280);
    EXPECT_EQ(drawer->getActualWidth(), 1280);
    EXPECT_EQ(drawer->getActualHeight(), 720);
    EXPECT_EQ(drawer->getCanvasWidth(), 1280);
    EXPECT_EQ(drawer->getCanvasHeight(), 720);
    // Mesa offers both; the answers print the lines the game's log shows.
    std::string output = capturedOutput([&] {
        EXPECT_TRUE(drawer->canSupport(Drawer::Shaders));
        EXPECT_TRUE(drawer->canSupport(Drawer::FrameBuffer));
    });
    EXPECT_EQ(output, "canSupport(Shaders) => 1\ncanSupport(FrameBuffer) => 1\n");
    output = capturedOutput(
        [&] { EXPECT_FALSE(drawer->canSupport(static_cast<Drawer::GraphicsCapabilities>(5))); });
    EXPECT_EQ(output, "");
    EXPECT_TRUE(drawer->getShadersAreSupported());
    // The drawer's own images come first: the frame buffer, then the line stroke.
    EXPECT_EQ(drawer->getFrameBufferImage(), 1u);
    EXPECT_EQ(OpenGLDrawer::lineImage, 2u);
}

TEST_F(OpenGLDrawerTest, FallsBackStepByStepWhenModesCannotOpen) {
    delete drawer;
    drawer = nullptr;
    // Full screen with 4 samples fails, and so do the next two attempts.
    RefusingDrawer* refusing = new RefusingDrawer(3);
    drawer = refusing;
    bool opened = false;
    std::string output = capturedOutput([&] { opened = drawer->initialise(1920, 1080, true, 4); });
    ASSERT_TRUE(opened);
    ASSERT_EQ(refusing->attempts.size(), 4u);
    EXPECT_EQ(refusing->attempts[0], "1920x1080 fullscreen 4");
    EXPECT_EQ(refusing->attempts[1], "1920x1080 fullscreen 0");
    EXPECT_EQ(refusing->attempts[2], "1920x1080 windowed 0");
    EXPECT_EQ(refusing->attempts[3], "1024x768 windowed 0");
    const size_t first = output.find("); trying again without multisampling.\n");
    const size_t second = output.find("); trying again windowed at the requested size.\n");
    const size_t third = output.find("); trying again windowed at 1024 x 768.\n");
    EXPECT_EQ(output.find("OpenGLDrawer: Could not set video mode ("), output.rfind("\n", first) + 1)
        << output;
    EXPECT_TRUE(first < second && second < third && third != std::string::npos) << output;
    EXPECT_EQ(drawer->getScreenWidth(), 1024);
    EXPECT_EQ(drawer->getScreenHeight(), 768);
    EXPECT_FALSE(drawer->isFullScreen()) << "the full-screen request fell back to a window";
    EXPECT_EQ(drawer->getViewportOffsetY(), 96);
    windowWidth = 1024;
    windowHeight = 768;

    // Every attempt fails: false, after trying each distinct mode once.
    RefusingDrawer never(100);
    capturedOutput([&] { opened = never.initialise(800, 600, false, 0); });
    EXPECT_FALSE(opened);
    EXPECT_EQ(never.attempts, (std::vector<std::string>{"800x600 windowed 0", "1024x768 windowed 0"}));
    RefusingDrawer modest(100);
    capturedOutput([&] { opened = modest.initialise(1024, 768, false, 0); });
    EXPECT_FALSE(opened);
    EXPECT_EQ(modest.attempts.size(), 1u);
}

TEST_F(BorderedWindowTest, CanvasBordersStayBlack) {
    EXPECT_EQ(drawer->getActualWidth(), 1024);
    EXPECT_EQ(drawer->getActualHeight(), 576);
    EXPECT_EQ(drawer->getViewportOffsetX(), 0);
    EXPECT_EQ(drawer->getViewportOffsetY(), 96);
    drawer->fillRect(-100, -100, 1500, 1000, 255, 255, 255, 255);
    EXPECT_TRUE(near(pixelAt(512, 95), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(512, 96), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(512, 671), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(512, 672), 0, 0, 0));

    // Leaving the frame buffer restores the bordered window area.
    drawer->startFrameBufferDrawing();
    int area[4];
    viewport(area);
    EXPECT_EQ(area[2], 1280);
    drawer->endFrameBufferDrawing();
    viewport(area);
    EXPECT_EQ(area[0], 0);
    EXPECT_EQ(area[1], 96);
    EXPECT_EQ(area[2], 1024);
    EXPECT_EQ(area[3], 576);
}

TEST_F(OpenGLDrawerTest, SubViewportMovesTheOriginAndClips) {
    drawer->setViewport(0, 0, 640, 360);
    int area[4];
    viewport(area);
    EXPECT_EQ(area[0], 0);
    EXPECT_EQ(area[1], 360);
    EXPECT_EQ(area[2], 640);
    EXPECT_EQ(area[3], 360);
    drawer->fillRect(0, 0, 2000, 2000, 255, 255, 255, 255);
    EXPECT_TRUE(near(pixelAt(639, 359), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(640, 100), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(100, 360), 0, 0, 0));

    drawer->setViewport(640, 360, 320, 180);
    drawer->fillRect(0, 0, 10, 10, 255, 0, 0, 255);
    EXPECT_TRUE(near(pixelAt(645, 365), 255, 0, 0));

    drawer->resetViewport();
    viewport(area);
    EXPECT_EQ(area[1], 0);
    EXPECT_EQ(area[2], 1280);
    EXPECT_EQ(area[3], 720);
}

// --- Textures ---------------------------------------------------------------------------

TEST_F(OpenGLDrawerTest, PadsToPowersOfTwoRepeatingTheEdges) {
    // 100 x 50: each row's last pixel has alpha 77, the last row is blue.
    unsigned char* pixels = solidImage(100, 50, 255, 0, 0);
    for (int y = 0; y < 50; ++y)
        pixels[(y * 100 + 99) * 4 + 3] = 77;
    for (int x = 0; x < 99; ++x)
        pixels[(49 * 100 + x) * 4] = 255;
    unsigned int handle = drawer->loadImage(pixels, 100, 50);
    const OpenGLDrawer::Image* image = drawer->getImage(handle);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 100);
    EXPECT_EQ(image->height, 50);
    EXPECT_EQ(image->maxU, 0.78125f);
    EXPECT_EQ(image->maxV, 0.78125f);
    int width = 0, height = 0;
    textureSize(*image, width, height);
    EXPECT_EQ(width, 128);
    EXPECT_EQ(height, 64);

    std::vector<unsigned char> texture(128 * 64 * 4);
    glBindTexture(GL_TEXTURE_2D, image->texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, texture.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    auto at = [&](int x, int y, int byte) { return texture[(y * 128 + x) * 4 + byte]; };
    EXPECT_EQ(at(0, 0, 2), 255); // image: red
    EXPECT_EQ(at(0, 0, 0), 0);
    for (int byte = 0; byte < 4; ++byte) {
        EXPECT_EQ(at(100, 10, byte), 77) << byte; // right of the image: the row's last byte
        EXPECT_EQ(at(127, 10, byte), 77) << byte;
    }
    for (int x = 0; x < 128; x += 9)
        for (int byte = 0; byte < 4; ++byte)
            EXPECT_EQ(at(x, 63, byte), at(x, 49, byte)) << x; // below: the last row repeated

    unsigned int tall = drawer->loadImage(solidImage(1, 1024, 0, 255, 0), 1, 1024);
    const OpenGLDrawer::Image* column = drawer->getImage(tall);
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->maxU, 1.0f);
    EXPECT_EQ(column->maxV, 1.0f);
    textureSize(*column, width, height);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 1024);

    EXPECT_EQ(drawer->loadImage(nullptr, 4, 4), 0u);
}

TEST_F(OpenGLDrawerTest, HandlesAreReusedOnlyForTheLatest) {
    unsigned int first = drawer->loadImage(solidImage(4, 4, 1, 2, 3), 4, 4);
    EXPECT_EQ(first, 3u);
    drawer->releaseImage(first);
    EXPECT_EQ(drawer->getImage(first), nullptr);
    EXPECT_EQ(drawer->loadImage(solidImage(4, 4, 1, 2, 3), 4, 4), 3u);

    unsigned int a = drawer->loadImage(solidImage(4, 4, 1, 2, 3), 4, 4);
    unsigned int b = drawer->loadImage(solidImage(4, 4, 1, 2, 3), 4, 4);
    drawer->releaseImage(a);
    unsigned int c = drawer->loadImage(solidImage(4, 4, 1, 2, 3), 4, 4);
    EXPECT_EQ(a, 4u);
    EXPECT_EQ(b, 5u);
    EXPECT_EQ(c, 6u);
    drawer->releaseImage(12345); // unknown: ignored
}

TEST_F(OpenGLDrawerTest, RefusesPicturesNoTextureCanHold) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_GE(largest, 2048);
    ASSERT_LT(largest, 32769);
    const unsigned int side = static_cast<unsigned int>(largest);
    // Refused before a byte of the picture is read, so a buffer of one row
    // stands for each: 8193 x 32769 pads to 16384 x 65536, 2^32 bytes, which
    // 32-bit arithmetic made 0 before padding wrote rows into it.
    const unsigned int sizes[][2] = {{8193, 32769}, {side + 1, 1}, {1, side + 1}, {70000, 1}};
    std::string output = capturedOutput([&] {
        for (const auto& size : sizes)
            EXPECT_EQ(drawer->loadImage(new unsigned char[size[0] * 4](), size[0], size[1]), 0u)
                << size[0] << " x " << size[1];
    });
    // The caller names the picture it skips; the drawer adds nothing.
    EXPECT_EQ(output, "");
    // The largest texture itself still loads.
    unsigned int edge = drawer->loadImage(solidImage(side, 1, 0, 0, 255), side, 1);
    ASSERT_NE(drawer->getImage(edge), nullptr);
    EXPECT_EQ(drawer->getImage(edge)->width, side);
}

// The address sanitizer ends the run on a failed allocation.
#if !defined(__SANITIZE_ADDRESS__)
TEST_F(OpenGLDrawerTest, RefusesPicturesWhosePaddedCopyCannotBeMade) {
    // 2049 x 4097 pads to 4096 x 8192, 128 MB; with the address space capped
    // 64 MB above what is in use, that copy cannot be made.
    unsigned char* pixels = solidImage(2049, 4097, 255, 0, 0);
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    ASSERT_GT(pages, 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit capped = saved;
    capped.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
    unsigned int handle = 1;
    try {
        handle = drawer->loadImage(pixels, 2049, 4097);
    } catch (const std::bad_alloc&) {
        ADD_FAILURE() << "the failed allocation of the padded copy escaped loadImage";
    }
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_EQ(handle, 0u);
}
#endif

// --- Primitives ---------------------------------------------------------------------------

TEST_F(OpenGLDrawerTest, ImagesKeepTheirTrueColours) {
    unsigned int red = drawer->loadImage(solidImage(4, 4, 255, 0, 0), 4, 4);
    unsigned int blue = drawer->loadImage(solidImage(16, 16, 0, 0, 255), 16, 16);
    drawer->drawImage(red, 10, 10, 4, 4, 1, 1, 1, 1);
    drawer->drawImage(blue, 100, 10, 1, 1, 1, 1, 1, 0.5f);
    EXPECT_TRUE(near(pixelAt(11, 11), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(25, 25), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(26, 26), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(108, 18), 0, 0, 128));
}

TEST_F(OpenGLDrawerTest, WholeSubImageEqualsTheImage) {
    unsigned char* pixels = new unsigned char[100 * 50 * 4];
    for (int i = 0; i < 100 * 50; ++i) {
        pixels[i * 4] = static_cast<unsigned char>(i * 7);
        pixels[i * 4 + 1] = static_cast<unsigned char>(i / 3);
        pixels[i * 4 + 2] = static_cast<unsigned char>(i % 100 * 2);
        pixels[i * 4 + 3] = 255;
    }
    unsigned int image = drawer->loadImage(pixels, 100, 50);
    drawer->drawImage(image, 0, 0, 1, 1, 1, 1, 1, 1);
    drawer->drawSubImage(image, 200, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1);
    std::vector<unsigned char> window = windowPixels();
    int differences = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100 * 3; ++x)
            differences += window[y * 1280 * 3 + x] != window[y * 1280 * 3 + 200 * 3 + x];
    EXPECT_EQ(differences, 0);
    EXPECT_TRUE(near(pixelAt(99, 0), 198, 33, 181)); // the image's own last column, unchanged by padding

    // The lower half of the image only, doubled in height.
    unsigned int halves = drawer->loadImage(solidImage(64, 64, 255, 0, 0), 64, 64);
    drawer->drawSubImage(halves, 400, 0, 0.5f, 0.5f, 0.5f, 0.5f, 1, 2, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(431, 63), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(432, 10), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(410, 64), 0, 0, 0));
}

TEST_F(OpenGLDrawerTest, RotationTurnsClockwiseAboutThePivot) {
    // 64 x 32, left half red, right half green; the centre is the pivot.
    unsigned char* pixels = solidImage(64, 32, 255, 0, 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64; ++x) {
            pixels[(y * 64 + x) * 4 + 1] = 255;
            pixels[(y * 64 + x) * 4 + 2] = 0;
        }
    unsigned int image = drawer->loadImage(pixels, 64, 32);
    drawer->drawImageRot(image, 100, 100, 90, 32, 16, 1, 1, 1, 1, 1, 1);
    // Turned a quarter clockwise about (132, 116): 32 wide, 64 high, red on top.
    EXPECT_TRUE(near(pixelAt(132, 95), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(132, 137), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(110, 116), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(155, 116), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(132, 86), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(132, 82), 0, 0, 0));

    // Angle 0: the top-left corner is at (x, y) whatever the pivot.
    drawer->drawImageRot(image, 300, 100, 0, 50, 50, 1, 1, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(300, 100), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(299, 100), 0, 0, 0));
}

TEST_F(OpenGLDrawerTest, PolygonsAreFilledWithTheImage) {
    // 64 x 64 with four quadrants: red, green / blue, white.
    unsigned char* pixels = solidImage(64, 64, 255, 0, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            unsigned char* p = pixels + (y * 64 + x) * 4;
            const bool right = x >= 32;
            const bool bottom = y >= 32;
            p[2] = (!right || bottom) && !(bottom && !right) ? 255 : 0;
            p[1] = (right && !bottom) || (right && bottom) ? 255 : 0;
            p[0] = bottom ? 255 : 0;
        }
    unsigned int image = drawer->loadImage(pixels, 64, 64);
    float square[] = {0, 0, 10, 0, 10, 10, 0, 10};
    unsigned int polygon = drawer->loadPoly(square, 4);
    // Scaled 12.8 times: a 128 x 128 square at (300, 300).
    drawer->drawPoly(polygon, image, 300, 300, 12.8f, 12.8f, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(320, 320), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(410, 320), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(320, 410), 0, 0, 255));
    EXPECT_TRUE(near(pixelAt(410, 410), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(430, 330), 0, 0, 0));

    // Unknown image or polygon: nothing drawn.
    drawer->drawPoly(polygon, 999, 600, 300, 12.8f, 12.8f, 1, 1, 1, 1);
    drawer->drawPoly(polygon + 1, image, 600, 300, 12.8f, 12.8f, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(640, 340), 0, 0, 0));
}

TEST_F(OpenGLDrawerTest, LinesCarryTheStrokeProfile) {
    drawer->drawLine(100, 100, 300, 100, 1, 1, 1, 1);
    // The eight rows across the line show the stroke's alpha over black.
    const int profile[] = {2, 33, 192, 255, 255, 192, 33, 2};
    EXPECT_TRUE(near(pixelAt(200, 95), 0, 0, 0, 0));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(near(pixelAt(200, 96 + i), profile[i], profile[i], profile[i])) << "row " << 96 + i;
    EXPECT_TRUE(near(pixelAt(200, 104), 0, 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(99, 99), 0, 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(300, 99), 0, 0, 0, 0));

    // Vertical and tinted.
    drawer->drawLine(500, 100, 500, 200, 1, 0, 0, 1);
    EXPECT_TRUE(near(pixelAt(499, 150), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(505, 150), 0, 0, 0, 0));
    drawer->drawLine(700, 100, 700, 100, 1, 1, 1, 1); // no length: skipped
    EXPECT_TRUE(near(pixelAt(700, 100), 0, 0, 0, 0));
}

TEST_F(OpenGLDrawerTest, RectanglesAndVerticalGradients) {
    drawer->fillRect(10, 10, 20, 20, 10, 200, 30, 255);
    EXPECT_TRUE(near(pixelAt(10, 10), 10, 200, 30, 0));
    EXPECT_TRUE(near(pixelAt(29, 29), 10, 200, 30, 0));
    EXPECT_TRUE(near(pixelAt(30, 29), 0, 0, 0, 0));

    drawer->fillGradient(100, 0, 200, 256, 255, 255, 255, 255, 0, 0, 0, 255);
    EXPECT_TRUE(near(pixelAt(150, 0), 255, 255, 255, 1));
    EXPECT_TRUE(near(pixelAt(150, 128), 127, 127, 127, 2));
    EXPECT_TRUE(near(pixelAt(150, 255), 0, 0, 0, 1));
    for (int y = 0; y < 256; y += 15) {
        const drawingtest::Pixel left = pixelAt(101, y);
        const drawingtest::Pixel right = pixelAt(298, y);
        EXPECT_EQ(left.r, right.r) << "row " << y;
        EXPECT_GE(left.r, pixelAt(150, y + 1).r);
    }
}

TEST_F(OpenGLDrawerTest, TranslationsAddUpUntilTheNextFrame) {
    drawer->translate(100, 0);
    drawer->translate(0, 50);
    drawer->fillRect(0, 0, 10, 10, 255, 255, 255, 255);
    EXPECT_TRUE(near(pixelAt(105, 55), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(5, 5), 0, 0, 0));
    drawer->beginDrawing();
    drawer->fillRect(0, 0, 10, 10, 255, 255, 255, 255);
    EXPECT_TRUE(near(pixelAt(5, 5), 255, 255, 255));
}

TEST_F(OpenGLDrawerTest, BlendModes) {
    // Additive: red, green and blue copies of white make white.
    drawer->setBlendMode(Drawer::Additive);
    drawer->fillRect(0, 0, 50, 50, 255, 0, 0, 255);
    drawer->fillRect(0, 0, 50, 50, 0, 255, 0, 255);
    drawer->fillRect(0, 0, 50, 50, 0, 0, 255, 255);
    EXPECT_TRUE(near(pixelAt(25, 25), 255, 255, 255));

    // An unknown mode changes nothing: still additive, half red twice makes full red.
    drawer->setBlendMode(static_cast<Drawer::BlendMode>(7));
    drawer->fillRect(100, 0, 50, 50, 255, 0, 0, 128);
    drawer->fillRect(100, 0, 50, 50, 255, 0, 0, 128);
    EXPECT_TRUE(near(pixelAt(125, 25), 255, 0, 0, 1));

    // Normal: half red over grey 100 gives their mean.
    drawer->setBlendMode(Drawer::Normal);
    drawer->fillRect(200, 0, 50, 50, 100, 100, 100, 255);
    drawer->fillRect(200, 0, 50, 50, 255, 0, 0, 128);
    EXPECT_TRUE(near(pixelAt(225, 25), 178, 50, 50, 2));

    // Subtractive: destination times source minus destination times source
    // alpha; white at quarter alpha over grey 200 leaves three quarters.
    drawer->fillRect(300, 0, 50, 50, 200, 200, 200, 255);
    drawer->setBlendMode(Drawer::Subtractive);
    drawer->fillRect(300, 0, 50, 50, 255, 255, 255, 64);
    drawer->setBlendMode(Drawer::Normal);
    EXPECT_TRUE(near(pixelAt(325, 25), 150, 150, 150, 2));
}

// --- Frame buffer and shaders -------------------------------------------------------------

TEST_F(OpenGLDrawerTest, FrameBufferImageCoversTheCanvasUpsideDown) {
    const OpenGLDrawer::Image* image = drawer->getImage(drawer->getFrameBufferImage());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 1280);
    EXPECT_EQ(image->height, 720);
    EXPECT_EQ(image->maxU, 1.0f);

    drawer->startFrameBufferDrawing();
    drawer->fillRect(0, 0, 1280, 360, 255, 0, 0, 255);
    drawer->fillRect(0, 360, 1280, 360, 0, 0, 255, 255);
    drawer->fillRect(0, 0, 10, 10, 0, 255, 0, 255);
    drawer->endFrameBufferDrawing();
    EXPECT_TRUE(near(pixelAt(640, 100), 0, 0, 0)); // the window is untouched

    drawer->drawImage(drawer->getFrameBufferImage(), 0, 0, 1, 1, 1, 1, 1, 1);
    // OpenGL keeps the frame buffer's rows bottom up, so the picture arrives flipped.
    EXPECT_TRUE(near(pixelAt(640, 100), 0, 0, 255));
    EXPECT_TRUE(near(pixelAt(640, 620), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(5, 715), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(0, 0), 0, 0, 255));
    EXPECT_TRUE(near(pixelAt(1279, 719), 255, 0, 0));
}

TEST_F(OpenGLDrawerTest, SecondImageLastsUntilTheFrameEnds) {
    // Without a shader the fixed pipeline multiplies in the second image.
    unsigned int white = drawer->loadImage(solidImage(16, 16, 255, 255, 255), 16, 16);
    unsigned int black = drawer->loadImage(solidImage(16, 16, 0, 0, 0), 16, 16);
    drawer->fillRect(0, 0, 100, 100, 0, 255, 0, 255);
    drawer->useSecondImage(black);
    drawer->drawImage(white, 0, 0, 1, 1, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(8, 8), 0, 0, 0));
    drawer->endDrawing();

    drawer->beginDrawing();
    drawer->drawImage(white, 0, 0, 1, 1, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(8, 8), 255, 255, 255));
}

TEST_F(OpenGLDrawerTest, ShaderSeesBothImagesAndItsParameter) {
    const std::string vertex = writeFile("wired.vert", "void main() {\n"
                                                       "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
                                                       "    gl_TexCoord[1] = gl_MultiTexCoord1;\n"
                                                       "    gl_Position = ftransform();\n"
                                                       "}\n");
    const std::string fragment = writeFile(
        "wired.frag", "uniform sampler2D base;\n"
                      "uniform sampler2D second;\n"
                      "uniform float shaderParam;\n"
                      "void main() {\n"
                      "    gl_FragColor = vec4(texture2D(base, gl_TexCoord[0].st).r,\n"
                      "                        texture2D(second, gl_TexCoord[1].st).g, shaderParam, 1.0);\n"
                      "}\n");
    unsigned int program = 0;
    std::string output = capturedOutput([&] { program = drawer->loadShader(vertex, fragment); });
    ASSERT_NE(program, 0u);
    EXPECT_EQ(output, "OpenGLDrawer Shader InfoLog:\n----------------------------\n" + vertex + ":\n" +
                          fragment + ":\n");

    unsigned int red = drawer->loadImage(solidImage(16, 16, 255, 0, 0), 16, 16);
    unsigned int green = drawer->loadImage(solidImage(16, 16, 0, 255, 0), 16, 16);
    drawer->useSecondImage(green);
    drawer->useShader(program, 0.5f);
    drawer->drawImage(red, 0, 0, 1, 1, 1, 1, 1, 1);
    drawer->useShader(program, 1.0f);
    drawer->drawSubImage(red, 50, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1);
    drawer->useShader(0, 0);
    drawer->useSecondImage(0);
    drawer->drawImage(red, 100, 0, 1, 1, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(8, 8), 255, 255, 128));
    EXPECT_TRUE(near(pixelAt(58, 8), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(108, 8), 255, 0, 0));
}

TEST_F(OpenGLDrawerTest, BrokenShaderShowsTheDriversLogAndStillGivesAHandle) {
    const std::string vertex = writeFile("plain.vert", "void main() { gl_Position = ftransform(); }\n");
    const std::string fragment = writeFile("broken.frag", "void main() { gl_FragColor = vec4(1.0) }\n");
    unsigned int program = 0;
    std::string output = capturedOutput([&] { program = drawer->loadShader(vertex, fragment); });
    EXPECT_NE(program, 0u);
    const std::string header =
        "OpenGLDrawer Shader InfoLog:\n----------------------------\n" + vertex + ":\n" + fragment + ":\n";
    ASSERT_EQ(output.compare(0, header.size(), header), 0) << output;
    const std::string rest = output.substr(header.size());
    EXPECT_NE(rest.find("Could not compile " + fragment), std::string::npos) << rest;
    EXPECT_NE(rest.find("error"), std::string::npos) << rest;
    EXPECT_EQ(rest.find("Could not compile " + vertex), std::string::npos) << rest;
}

TEST_F(OpenGLDrawerTest, ShaderFilesAreReadWhole) {
    EXPECT_EQ(drawer->loadShaderFile(""), "");
    EXPECT_EQ(drawer->loadShaderFile(writeFile("empty.txt", "")), "");
    EXPECT_EQ(drawer->loadShaderFile(writeFile("ten.txt", "0123456789")), "0123456789");
    EXPECT_EQ(drawer->loadShaderFile(writeFile("zero.txt", std::string("ab\0cd", 5))), "ab");
    EXPECT_EQ(drawer->loadShaderFile("/nonexistent/shader.frag"), "");
}

TEST_F(OpenGLDrawerTest, AShaderPathThatIsNoRegularFileReadsAsEmptyAndIsNamed) {
    const std::string folder = writeFile("shader-folder.frag", "");
    std::remove(folder.c_str());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::string text = "unread";
    const std::string output = capturedOutput([&] { text = drawer->loadShaderFile(folder); });
    rmdir(folder.c_str());
    EXPECT_EQ(text, "");
    EXPECT_NE(output.find("Could not read " + folder), std::string::npos) << output;
}

TEST_F(OpenGLDrawerTest, ScreenPixelsAreRgbBottomRowFirst) {
    drawer->fillRect(0, 719, 1, 1, 10, 20, 30, 255);  // bottom-left canvas pixel
    drawer->fillRect(1279, 0, 1, 1, 40, 50, 60, 255); // top-right
    unsigned char* pixels = drawer->getScreenPixels();
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 10);
    EXPECT_EQ(pixels[1], 20);
    EXPECT_EQ(pixels[2], 30);
    const size_t last = (720 * 1280 - 1) * 3;
    EXPECT_EQ(pixels[last], 40);
    EXPECT_EQ(pixels[last + 2], 60);
    delete[] pixels;
}
