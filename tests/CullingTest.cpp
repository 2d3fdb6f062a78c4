// The culled drawing path against the plain one: random frames of grid
// strips and ghosts through the game's feather shaders and masks, drawn
// both ways into the frame buffer, must agree to 1/255 in every channel.

#include "CulledDrawing.h"
#include "DrawingTestSupport.h"
#include "ImageLoader.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

using drawingtest::capturedOutput;

// A small canvas keeps the frames quick; the pictures are scaled to it.
const short canvasWidth = 400;
const short canvasHeight = 240;

class CullingTest : public drawingtest::WindowTest {
protected:
    CullingTest() : WindowTest(canvasWidth, canvasHeight) {}

    void SetUp() override {
        drawer = new OpenGLDrawer(canvasWidth, canvasHeight);
        bool opened = false;
        ASSERT_EQ(setenv("LUMENFALL_CULLED_DRAWING", "1", 1), 0);
        capturedOutput([&] { opened = drawer->initialise(canvasWidth, canvasHeight, false, 0); });
        unsetenv("LUMENFALL_CULLED_DRAWING");
        ASSERT_TRUE(opened) << SDL_GetError();
        ASSERT_TRUE(drawer->hasCulledPath());
        ASSERT_TRUE(drawer->getShadersAreSupported());
        const std::string data = LUMENFALL_DATA_DIR;
        capturedOutput([&] {
            feather = drawer->loadShader(data + "/shaders/feather.vert", data + "/shaders/feather.frag");
            ghost =
                drawer->loadShader(data + "/shaders/ghostFeather.vert", data + "/shaders/ghostFeather.frag");
        });
        ASSERT_NE(feather, 0u);
        ASSERT_NE(ghost, 0u);
        for (int i = 0; i < 4; ++i) {
            masks[i] = ImageLoader::loadFileImage(drawer, data + "/feathers/feather0" +
                                                              std::to_string(i * 3) + ".png");
            ASSERT_NE(masks[i], 0u);
        }
        std::mt19937 noise(7);
        // Opaque pictures of the grid's kind, one padded to powers of two,
        // and one with soft alpha of its own.
        const unsigned int sizes[4][2] = {{512, 512}, {512, 512}, {500, 400}, {512, 512}};
        for (int i = 0; i < 4; ++i) {
            const unsigned int w = sizes[i][0], h = sizes[i][1];
            unsigned char* pixels = new unsigned char[w * h * 4];
            for (unsigned int p = 0; p < w * h; ++p) {
                for (int c = 0; c < 3; ++c)
                    pixels[p * 4 + c] = static_cast<unsigned char>(noise());
                const unsigned int x = p % w;
                pixels[p * 4 + 3] = i == 3 ? static_cast<unsigned char>(x < 80    ? 0
                                                                        : x < 143 ? (x - 80) * 4
                                                                                  : 255)
                                           : 255;
            }
            pictures[i] = drawer->loadImage(pixels, w, h);
        }
    }

    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); }
    int index(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    // One frame as the play state draws it, from the seed.
    void drawFrame(unsigned int seed) {
        random.seed(seed);
        drawer->beginDrawing();
        drawer->startFrameBufferDrawing();
        drawer->fillRect(0, 0, canvasWidth, canvasHeight, static_cast<unsigned char>(index(256)), 40, 90,
                         255);
        drawer->drawImage(pictures[0], 0, 0, canvasWidth / 512.0f, canvasHeight / 512.0f, 1, 1, 1,
                          uniform(0.0f, 1.0f));
        drawer->drawImage(pictures[1], uniform(-50, 300), uniform(-50, 150), 0.5f, 0.5f, 1, 1, 1, 0.0f);
        for (int g = 0; g < 3; ++g) {
            drawer->useSecondImage(masks[index(4)]);
            drawer->useShader(ghost, 0.0f);
            const float scale = uniform(0.125f, 0.5f);
            drawer->drawImage(pictures[index(4)], uniform(-100, 350), uniform(-100, 200), scale, scale, 1, 1,
                              1, index(4) == 0 ? 0.0f : uniform(0.0f, 0.1f));
            drawer->useShader(0, 0.0f);
            drawer->useSecondImage(0);
        }
        // Hide values as the game sets them: most shown, some fading, some gone.
        const float hides[4] = {0.0f, 0.0f, uniform(0.0f, 1.0f), index(2) ? 0.5f : 1.0f};
        const int entries = 24;
        for (int entry = 0; entry < entries; ++entry) {
            const float hide = hides[index(4)];
            const float x = 40.0f + (entry % 6) * 64.0f + uniform(-1, 1),
                        y = 30.0f + (entry / 6) * 60.0f + uniform(-1, 1);
            const unsigned int picture = pictures[index(4)];
            // Most entries a quarter of the game's size; some at its own,
            // one texel a pixel, mostly beyond the canvas.
            const float scale = index(4) ? 0.25f : 1.0f;
            drawer->useSecondImage(masks[index(4)]);
            drawer->useShader(feather, index(20) == 0 ? 0.5f : 0.0f);
            float top = 0.0f;
            for (int strip = 0; strip < 8 && hide < 1.0f; ++strip) {
                const float height = uniform(0.0f, 64.0f);
                const float shift = index(4) ? uniform(-96.0f, 96.0f) * scale : 0.0f;
                drawer->drawSubImage(picture, x - 256 * scale + shift, y - (256 - top) * scale, 0,
                                     top / 512.0f, 1, height / 512.0f, scale, scale, 1, 1, 1, 1.0f - hide);
                top += height;
            }
            drawer->useShader(0, 0.0f);
            drawer->useSecondImage(0);
        }
        drawer->setBlendMode(index(2) ? Drawer::Additive : Drawer::Subtractive);
        drawer->drawImage(pictures[index(4)], uniform(0, 300), uniform(0, 200), 0.2f, 0.075f, 1, 0.5f, 0.2f,
                          index(2) ? 0.0f : 0.6f);
        drawer->setBlendMode(Drawer::Normal);
        drawer->drawText("ab", 10, 10, 16, 1, 1, 1, 1);
    }

    // The frame buffer's pixels, R, G, B, A, while it is still bound.
    std::vector<unsigned char> frameBufferPixels() {
        drawer->flush();
        std::vector<unsigned char> pixels(static_cast<size_t>(canvasWidth) * canvasHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, canvasWidth, canvasHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        drawer->endFrameBufferDrawing();
        drawer->endDrawing();
        return pixels;
    }

    // One entry of a grid that stands still between its changes.
    struct Entry {
        unsigned int picture, mask;
        float x, y;
        float shifts[8], heights[8];
    };
    void change(Entry& e) {
        e.picture = pictures[index(4)];
        e.mask = masks[index(4)];
        e.x = uniform(-100.0f, 300.0f);
        e.y = uniform(-100.0f, 200.0f);
        for (int strip = 0; strip < 8; ++strip) {
            e.shifts[strip] = uniform(-24.0f, 24.0f);
            e.heights[strip] = uniform(0.0f, 64.0f);
        }
    }
    // A background of two opaque pictures, the right one mirrored, at the
    // given alpha, then the entries' strips at a quarter of the game's size.
    void drawGrid(const std::vector<Entry>& entries, float alpha) {
        drawer->beginDrawing();
        drawer->startFrameBufferDrawing();
        const float halfWidth = canvasWidth / 2.0f;
        drawer->drawImage(pictures[0], 0, 0, halfWidth / 512.0f, canvasHeight / 512.0f, 0.3f, 0.4f, 0.5f,
                          alpha);
        drawer->drawImage(pictures[0], canvasWidth, 0, -halfWidth / 512.0f, canvasHeight / 512.0f, 0.3f, 0.4f,
                          0.5f, alpha);
        for (const Entry& e : entries) {
            drawer->useSecondImage(e.mask);
            drawer->useShader(feather, 0.0f);
            float top = 0.0f;
            for (int strip = 0; strip < 8; ++strip) {
                drawer->drawSubImage(e.picture, e.x + e.shifts[strip], e.y + top * 0.25f, 0, top / 512.0f, 1,
                                     e.heights[strip] / 512.0f, 0.25f, 0.25f, 1, 1, 1, 1);
                top += e.heights[strip];
            }
            drawer->useShader(0, 0.0f);
            drawer->useSecondImage(0);
        }
    }

    unsigned int feather = 0;
    unsigned int ghost = 0;
    unsigned int masks[4] = {};
    unsigned int pictures[4] = {};
    std::mt19937 random;
};

TEST_F(CullingTest, CulledFramesMatchThePlainPath) {
    ASSERT_TRUE(drawer->canSupport(Drawer::FrameBuffer));
    const int frames = 300;
    long differing = 0, total = 0;
    int worst = 0;
    for (int frame = 0; frame < frames; ++frame) {
        drawer->setCulling(false);
        drawFrame(static_cast<unsigned int>(frame));
        const std::vector<unsigned char> plain = frameBufferPixels();
        drawer->setCulling(true);
        drawFrame(static_cast<unsigned int>(frame));
        const std::vector<unsigned char> culled = frameBufferPixels();
        for (size_t p = 0; p < plain.size(); p += 4) {
            int most = 0;
            for (size_t c = 0; c < 4; ++c)
                most = std::max(most, std::abs(plain[p + c] - culled[p + c]));
            differing += most > 0;
            worst = std::max(worst, most);
            if (most > 1 && !HasFailure())
                ADD_FAILURE() << "frame " << frame << ", pixel " << p / 4 % canvasWidth << ", "
                              << p / 4 / canvasWidth << " (rows from the bottom) differs by " << most;
        }
        total += static_cast<long>(plain.size() / 4);
    }
    std::printf("%ld of %ld pixels differ (%.6f%%), by at most %d\n", differing, total,
                100.0 * static_cast<double>(differing) / static_cast<double>(total), worst);
    EXPECT_LE(worst, 1);
    EXPECT_GT(drawer->getCulledPath()->counts().maskedInFixedFunction, 0u)
        << "no strip was drawn in fixed function";
}

// Frames of a grid that mostly stands still: the culled path redraws only
// what changed, except after text drawn outside a run or where the run does
// not cover the canvas, and must still give the plain path's picture.
TEST_F(CullingTest, GridRedrawnInPartMatchesThePlainPath) {
    std::vector<std::vector<unsigned char>> plain;
    int worst = 0;
    const unsigned long before = drawer->getCulledPath()->counts().runsRedrawnInPart;
    for (bool culling : {false, true}) {
        drawer->setCulling(culling);
        random.seed(11);
        std::vector<Entry> entries(12);
        for (Entry& e : entries)
            change(e);
        for (int frame = 0; frame < 40; ++frame) {
            change(entries[static_cast<size_t>(index(12))]);
            // Two frames in ten leave the canvas uncovered, and the second
            // blends over the first as the plain path does.
            drawGrid(entries, frame % 10 == 7 || frame % 10 == 8 ? 0.6f : 1.0f);
            if (frame == 0)
                drawer->fillRect(0, 0, canvasWidth, canvasHeight, 20, 40, 90, 255);
            if (frame % 10 == 4)
                drawer->drawText("ab", 10.0f + frame, 10, 32, 1, 1, 1, 1);
            const std::vector<unsigned char> pixels = frameBufferPixels();
            if (!culling) {
                plain.push_back(pixels);
                continue;
            }
            for (size_t p = 0; p < pixels.size(); ++p) {
                const int difference = std::abs(pixels[p] - plain[static_cast<size_t>(frame)][p]);
                if (difference > 1 && worst <= 1)
                    ADD_FAILURE() << "frame " << frame << ", pixel " << p / 4 % canvasWidth << ", "
                                  << p / 4 / canvasWidth << " (rows from the bottom) differs by "
                                  << difference;
                worst = std::max(worst, difference);
            }
        }
    }
    EXPECT_LE(worst, 1);
    // Of the 26 frames that may be redrawn in part (not the first two, those
    // after text, those over an uncovered canvas), 22 changed less than half.
    EXPECT_GE(drawer->getCulledPath()->counts().runsRedrawnInPart - before, 20u);
}

} // namespace
