#include "GhostImage.h"
#include "ImageManager.h"
#include "PostProc.h"
#include "Random.h"
#include "RecordingDrawer.h"
#include "TempDataFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// One drawn ghost, read back from its drawImage call.
struct Drawn {
    unsigned int image;
    float scale, centreX, centreY, opacity;
};

class GhostImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Random::getGlobal().counter = 77;
        GhostImage::shader = 0;
        data.addPicture("images", "a.png", 1);
        data.addPicture("images", "b.png", 2);
        ImageManager::getInstance()->reset();
        ImageManager::getInstance()->loadImages(&drawer, data.folder("images"));
        ImageManager::getInstance()->loadImages(&drawer, data.folder("images"));
        pictures = {1, 2};
        // The grid entries have loaded the feathers by the time ghosts draw.
        PostProc::featherImages = {21, 22, 23};
        drawer.clear();
    }
    void TearDown() override {
        ImageManager::getInstance()->reset();
        PostProc::featherImages.clear();
    }

    Drawn drawFrame(GhostImage& ghost, float alpha, bool usePostProcessing = false) {
        drawer.clear();
        ghost.draw(&drawer, alpha, usePostProcessing);
        std::vector<RecordingDrawer::Call> draws = drawer.named("drawImage");
        EXPECT_EQ(draws.size(), 1u);
        if (draws.empty())
            return Drawn{0, 0, 0, 0, 0};
        const std::vector<double>& n = draws[0].numbers;
        EXPECT_EQ(n[3], n[4]); // the same scale on both axes
        EXPECT_EQ(n[5], 1.0);
        EXPECT_EQ(n[6], 1.0);
        EXPECT_EQ(n[7], 1.0);
        float scale = float(n[3]);
        return Drawn{static_cast<unsigned int>(n[0]), scale, float(n[1] + 256.0 * scale),
                     float(n[2] + 256.0 * scale), float(n[8])};
    }

    TempDataFolder data;
    RecordingDrawer drawer;
    std::set<unsigned int> pictures;
};

// Where a ghost's life stands, read from its drawn scale (0.5 at the start of
// a life, 2 at its end).
float phaseOf(const Drawn& d) {
    return (d.scale - 0.5f) / 1.5f;
}

} // namespace

TEST_F(GhostImageTest, HalfwayThroughItsLifeAGhostIsAtFullOpacityAndScaleOneAndAQuarter) {
    // A ghost draws its phase, then its speed, when built, and adds the speed
    // once on its first draw. Find a counter for which that lands on 0.5.
    Random reference;
    int32_t start = 0;
    for (int32_t c = 0; c < 50000000; ++c) {
        reference.counter = c;
        double phase = (reference.draw() + 1.0) * 0.5;
        double speed = (reference.draw() + 1.0) * 0.5 * 0.005 + 0.001;
        if (std::fabs(phase + speed - 0.5) < 1e-6) {
            start = c;
            break;
        }
    }
    ASSERT_NE(start, 0);
    Random::getGlobal().counter = start;
    GhostImage ghost;
    Drawn d = drawFrame(ghost, 0.8f);
    EXPECT_NEAR(d.scale, 1.25f, 1e-5);
    EXPECT_NEAR(d.opacity, 0.08f, 1e-5);
    EXPECT_TRUE(pictures.count(d.image));
}

TEST_F(GhostImageTest, ALifeGrowsFadesInAndOutAndRestartsElsewhereKeepingTheRemainder) {
    GhostImage ghost;
    Drawn previous = drawFrame(ghost, 1.0f);
    float speed = -1.0f;
    int wraps = 0;
    for (int frame = 2; frame <= 2500; ++frame) {
        Drawn d = drawFrame(ghost, 1.0f);
        ASSERT_TRUE(pictures.count(d.image));
        EXPECT_GE(d.centreX, 128.0f - 1e-2f);
        EXPECT_LE(d.centreX, 1152.0f + 1e-2f);
        EXPECT_GE(d.centreY, 128.0f - 1e-2f);
        EXPECT_LE(d.centreY, 592.0f + 1e-2f);
        EXPECT_GE(d.scale, 0.5f);
        EXPECT_LE(d.scale, 2.0f);
        // A ghost is never more than a tenth opaque.
        EXPECT_GE(d.opacity, 0.0f);
        EXPECT_LE(d.opacity, 0.1f + 1e-6f);
        float step = phaseOf(d) - phaseOf(previous);
        if (step >= 0.0f) {
            // Within one life: same place, steady pace.
            EXPECT_NEAR(d.centreX, previous.centreX, 1e-2);
            EXPECT_NEAR(d.centreY, previous.centreY, 1e-2);
            if (speed > 0.0f) {
                EXPECT_NEAR(step, speed, 1e-4);
            }
            speed = step;
            EXPECT_GE(speed, 0.001f - 1e-5f);
            EXPECT_LE(speed, 0.006f + 1e-5f);
        } else {
            // The phase passed 1: the new life goes on from the remainder, in a
            // new place.
            ++wraps;
            ASSERT_GT(speed, 0.0f);
            EXPECT_NEAR(phaseOf(d), phaseOf(previous) + speed - 1.0f, 1e-4);
            EXPECT_TRUE(std::fabs(d.centreX - previous.centreX) > 1e-3f ||
                        std::fabs(d.centreY - previous.centreY) > 1e-3f);
            speed = -1.0f;
        }
        previous = d;
    }
    // Lives last at most 1000 frames.
    EXPECT_GE(wraps, 2);
}

TEST_F(GhostImageTest, AtAlphaZeroItIsInvisibleButStillAdvances) {
    GhostImage ghost;
    Drawn first = drawFrame(ghost, 0.0f);
    Drawn second = drawFrame(ghost, 0.0f);
    EXPECT_EQ(first.opacity, 0.0f);
    EXPECT_EQ(second.opacity, 0.0f);
    EXPECT_NE(first.scale, second.scale);
}

TEST_F(GhostImageTest, PostProcessingUsesTheGhostShaderWithAFeather) {
    drawer.nextShader = 5;
    GhostImage ghost;
    std::set<unsigned int> feathers;
    for (int frame = 1; frame <= 1200; ++frame) {
        drawFrame(ghost, 1.0f, true);
        std::vector<std::string> names = drawer.names();
        if (frame == 1) {
            ASSERT_EQ(names.front(), "loadShader");
            std::string shaders = FilePath::getDataFilesDir().getChild("shaders").path;
            EXPECT_EQ(drawer.calls[0].texts, std::vector<std::string>({shaders + "/ghostFeather.vert",
                                                                       shaders + "/ghostFeather.frag"}));
            drawer.calls.erase(drawer.calls.begin());
            names.erase(names.begin());
        }
        ASSERT_EQ(names, std::vector<std::string>(
                             {"useSecondImage", "useShader", "drawImage", "useShader", "useSecondImage"}));
        feathers.insert(static_cast<unsigned int>(drawer.calls[0].numbers[0]));
        EXPECT_EQ(drawer.calls[1].numbers, std::vector<double>({5.0, 0.0}));
        EXPECT_EQ(drawer.calls[3].numbers, std::vector<double>({0.0, 0.0}));
        EXPECT_EQ(drawer.calls[4].numbers, std::vector<double>({0.0}));
    }
    EXPECT_EQ(GhostImage::shader, 5u);
    // Feathers are image ids from the shared list, not indexes into it.
    for (unsigned int feather : feathers)
        EXPECT_TRUE(feather >= 21 && feather <= 23) << feather;
}

TEST_F(GhostImageTest, AShaderThatFailsIsTriedAgainAndWithoutPostProcessingNoneIsTried) {
    drawer.shadersFail = true;
    GhostImage ghost;
    int loads = 0;
    for (int frame = 1; frame <= 5; ++frame) {
        drawFrame(ghost, 1.0f, true);
        loads += drawer.count("loadShader");
    }
    EXPECT_EQ(loads, 5);

    GhostImage::shader = 0;
    GhostImage plain;
    for (int frame = 1; frame <= 5; ++frame) {
        drawFrame(plain, 1.0f, false);
        EXPECT_EQ(drawer.names(), std::vector<std::string>({"drawImage"}));
    }
}

TEST_F(GhostImageTest, APictureWithoutAHandleIsNeverDrawn) {
    TempDataFolder broken;
    broken.addText("images", "broken.jpg");
    ImageManager::getInstance()->reset();
    ImageManager::getInstance()->loadImages(&drawer, broken.folder("images"));
    drawer.clear();
    GhostImage ghost;
    for (int frame = 1; frame <= 20; ++frame) {
        ghost.draw(&drawer, 1.0f, true);
        ghost.draw(&drawer, 1.0f, false);
    }
    EXPECT_EQ(drawer.count("drawImage"), 0);
    EXPECT_EQ(drawer.count("useShader"), 0);
    EXPECT_EQ(drawer.count("useSecondImage"), 0);
}
