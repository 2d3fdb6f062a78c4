#include "GlitchImage.h"
#include "ImageManager.h"
#include "PostProc.h"
#include "Random.h"
#include "RecordingDrawer.h"
#include "TempDataFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

// One drawn strip, with its top and height in rows of the 512-row picture.
struct Strip {
    unsigned int image;
    float x, y, top, height, alpha;
    std::vector<double> numbers;
};

// What a frame did, told by how many random values it drew: choosing a
// picture takes 2 (3 with the new swap countdown), a re-cut 2 plus a height
// per strip (10 in line) or a shift and a height per strip (18 shifted).
struct Events {
    bool swapped;
    bool recut;
    bool calm;
    bool valid;
};

Events decode(int randomsUsed) {
    switch (randomsUsed) {
    case 0:
        return {false, false, false, true};
    case 3:
        return {true, false, false, true};
    case 10:
        return {false, true, true, true};
    case 18:
        return {false, true, false, true};
    case 13:
        return {true, true, true, true};
    case 21:
        return {true, true, false, true};
    default:
        return {false, false, false, false};
    }
}

class GlitchImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Random::getGlobal().counter = 1000;
        GlitchImage::loadingStagger = 0;
        GlitchImage::featherShader = 0;
        PostProc::featherImages.clear();
        data.addPicture("images", "a.png", 1);
        data.addPicture("images", "b.png", 2);
        data.addPicture("images", "c.png", 3);
        data.addPicture("feathers", "edge.png", 2);
        data.addPicture("feathers", ".soft.png", 3);
        ImageManager::getInstance()->reset();
        for (int i = 0; i < 3; ++i)
            ImageManager::getInstance()->loadImages(&drawer, data.folder("images"));
        pictures = {1, 2, 3};
        // Loaded here from the test's own folder, so no draw reaches for the
        // real data folder.
        GlitchImage::loadFeathers(&drawer, false, data.dir());
        drawer.clear();
    }
    void TearDown() override { ImageManager::getInstance()->reset(); }

    // Draws one frame of the entry and returns its strips; randomsUsed tells
    // how many random values the frame drew.
    std::vector<Strip> drawFrame(GlitchImage& entry, bool usePostProcessing = false) {
        drawer.clear();
        int before = Random::getGlobal().counter;
        entry.draw(&drawer, usePostProcessing);
        randomsUsed = Random::getGlobal().counter - before;
        std::vector<Strip> strips;
        for (const RecordingDrawer::Call& call : drawer.named("drawSubImage"))
            strips.push_back(Strip{static_cast<unsigned int>(call.numbers[0]), float(call.numbers[1]),
                                   float(call.numbers[2]), float(call.numbers[4] * 512.0),
                                   float(call.numbers[6] * 512.0), float(call.numbers[12]), call.numbers});
        return strips;
    }

    TempDataFolder data;
    RecordingDrawer drawer;
    std::set<unsigned int> pictures;
    int randomsUsed = 0;
};

void expectSameCut(const std::vector<Strip>& a, const std::vector<Strip>& b) {
    ASSERT_EQ(a.size(), 8u);
    ASSERT_EQ(b.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(a[i].x, b[i].x);
        EXPECT_EQ(a[i].y, b[i].y);
        EXPECT_EQ(a[i].top, b[i].top);
        EXPECT_EQ(a[i].height, b[i].height);
    }
}

} // namespace

TEST_F(GlitchImageTest, HiddenAtOneDrawsNothingAndFreezesItsCounters) {
    GlitchImage::loadingStagger = 9; // this entry's first swap comes on its 11th drawn frame
    GlitchImage entry;
    entry.setPosition(TwoFloats(300.0f, 200.0f));
    std::vector<Strip> before;
    for (int frame = 1; frame <= 3; ++frame)
        before = drawFrame(entry);

    entry.setHide(1.0f);
    for (int i = 0; i < 100; ++i) {
        drawFrame(entry);
        ASSERT_TRUE(drawer.calls.empty());
        ASSERT_EQ(randomsUsed, 0);
    }
    entry.setHide(1.5f);
    drawFrame(entry);
    EXPECT_TRUE(drawer.calls.empty());

    // Shown again, it carries on where it stopped: same picture, same cut,
    // and the swap still due on its 11th drawn frame.
    entry.setHide(0.0f);
    std::vector<Strip> after = drawFrame(entry);
    expectSameCut(before, after);
    EXPECT_EQ(after[0].image, before[0].image);
    EXPECT_EQ(randomsUsed, 0);
    for (int frame = 5; frame <= 10; ++frame) {
        drawFrame(entry);
        EXPECT_EQ(randomsUsed, 0) << "frame " << frame;
    }
    drawFrame(entry);
    EXPECT_TRUE(decode(randomsUsed).swapped);
}

TEST_F(GlitchImageTest, HidingFadesAndPushesAwayFromTheScreenCentre) {
    struct Case {
        TwoFloats position;
        float hide;
        float dx, dy, alpha;
    };
    // Directions (0.6, 0.8), (1, 0), (-0.8, -0.6) and none; moves worked out
    // as 640 x hide x direction.x and 360 x hide x direction.y.
    const Case cases[] = {
        {TwoFloats(940.0f, 760.0f), 0.999f, 383.616f, 287.712f, 0.001f},
        {TwoFloats(1240.0f, 360.0f), 0.5f, 320.0f, 0.0f, 0.5f},
        {TwoFloats(160.0f, 0.0f), 0.25f, -128.0f, -54.0f, 0.75f},
        {TwoFloats(640.0f, 360.0f), 0.75f, 0.0f, 0.0f, 0.25f},
    };
    for (const Case& c : cases) {
        GlitchImage entry;
        entry.setPosition(c.position);
        std::vector<Strip> shown = drawFrame(entry);
        entry.setHide(c.hide);
        std::vector<Strip> hidden = drawFrame(entry);
        ASSERT_EQ(hidden.size(), 8u);
        for (int i = 0; i < 8; ++i) {
            EXPECT_NEAR(hidden[i].x - shown[i].x, c.dx, 0.01) << c.position.x << "," << c.position.y;
            EXPECT_NEAR(hidden[i].y - shown[i].y, c.dy, 0.01) << c.position.x << "," << c.position.y;
            EXPECT_NEAR(hidden[i].alpha, c.alpha, 1e-6);
            EXPECT_EQ(shown[i].alpha, 1.0f);
            EXPECT_EQ(hidden[i].top, shown[i].top);
            EXPECT_EQ(hidden[i].height, shown[i].height);
        }
    }
}

TEST_F(GlitchImageTest, StripsStayInTheUpperPictureAndRecutAndSwapOnTime) {
    const TwoFloats positions[] = {TwoFloats(100.0f, 50.0f), TwoFloats(700.0f, 400.0f),
                                   TwoFloats(1300.0f, 800.0f)};
    std::vector<std::unique_ptr<GlitchImage>> entries;
    for (const TwoFloats& p : positions) {
        entries.emplace_back(new GlitchImage());
        entries.back()->setPosition(p);
    }
    int calmCuts = 0;
    int allCuts = 0;
    for (size_t e = 0; e < entries.size(); ++e) {
        const TwoFloats& p = positions[e];
        std::vector<Strip> previous;
        int lastSwap = 0;
        int lastCut = 0;
        for (int frame = 1; frame <= 2000; ++frame) {
            std::vector<Strip> strips = drawFrame(*entries[e]);
            ASSERT_EQ(strips.size(), 8u);
            float expectedTop = 0.0f;
            bool allInLine = true;
            for (const Strip& s : strips) {
                EXPECT_TRUE(pictures.count(s.image));
                EXPECT_NEAR(s.top, expectedTop, 1e-3);
                EXPECT_GE(s.height, 0.0f);
                EXPECT_LE(s.height, 64.0f);
                float shift = s.x - (p.x - 256.0f);
                EXPECT_GE(shift, -96.0f - 1e-3f);
                EXPECT_LE(shift, 96.0f + 1e-3f);
                allInLine = allInLine && std::abs(shift) < 1e-3f;
                EXPECT_NEAR(s.y, p.y - 256.0f + s.top, 1e-3);
                // Whole width, unscaled, untinted.
                EXPECT_EQ(s.numbers[3], 0.0);
                EXPECT_EQ(s.numbers[5], 1.0);
                for (int k = 7; k <= 12; ++k)
                    EXPECT_EQ(s.numbers[k], 1.0);
                expectedTop = s.top + s.height;
            }
            ASSERT_LE(strips.back().top + strips.back().height, 512.0f);
            if (frame == 1) {
                EXPECT_EQ(randomsUsed, 2); // the first picture and its feather
                previous = strips;
                continue;
            }
            Events events = decode(randomsUsed);
            ASSERT_TRUE(events.valid) << randomsUsed << " random values on frame " << frame;
            if (events.swapped) {
                if (lastSwap > 0) {
                    EXPECT_GE(frame - lastSwap, 31);
                    EXPECT_LE(frame - lastSwap, 60);
                }
                lastSwap = frame;
            }
            if (events.recut) {
                EXPECT_GE(frame - lastCut, 21);
                EXPECT_LE(frame - lastCut, 40);
                lastCut = frame;
                ++allCuts;
                if (events.calm)
                    ++calmCuts;
                EXPECT_EQ(allInLine, events.calm);
            } else {
                expectSameCut(previous, strips);
            }
            previous = strips;
        }
    }
    // About one re-cut in four lines the strips up.
    ASSERT_GT(allCuts, 100);
    EXPECT_GT(calmCuts, allCuts * 15 / 100);
    EXPECT_LT(calmCuts, allCuts * 35 / 100);
}

TEST_F(GlitchImageTest, ANewGridSwapsItsFirstPicturesOneEntryPerFrame) {
    std::vector<GlitchImage> grid(96);
    std::vector<int> firstSwap(96, 0);
    for (int frame = 1; frame <= 100; ++frame) {
        std::vector<int> swappedFirst;
        for (int k = 0; k < 96; ++k) {
            drawFrame(grid[k]);
            if (frame > 1 && decode(randomsUsed).swapped && firstSwap[k] == 0) {
                firstSwap[k] = frame;
                swappedFirst.push_back(k);
            }
        }
        // Entry k waits k + 1 frames, so it swaps on frame k + 2.
        if (frame >= 2 && frame <= 97) {
            EXPECT_EQ(swappedFirst, std::vector<int>({frame - 2})) << "frame " << frame;
        } else {
            EXPECT_TRUE(swappedFirst.empty()) << "frame " << frame;
        }
    }
}

TEST_F(GlitchImageTest, PostProcessingDrawsTheStripsThroughTheFeatherShader) {
    PostProc::featherImages.clear();
    drawer.nextShader = 7;
    GlitchImage::loadFeathers(&drawer, true, data.dir());
    // Every entry of the feathers folder, hidden ones included, in sorted order.
    std::vector<RecordingDrawer::Call> loads = drawer.named("loadImage");
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0].numbers[0], 3.0); // .soft.png
    EXPECT_EQ(loads[1].numbers[0], 2.0); // edge.png
    ASSERT_EQ(drawer.count("loadShader"), 1);
    EXPECT_EQ(
        drawer.named("loadShader")[0].texts,
        std::vector<std::string>({data.path + "/shaders/feather.vert", data.path + "/shaders/feather.frag"}));
    EXPECT_EQ(GlitchImage::featherShader, 7u);

    std::set<unsigned int> feathers(PostProc::featherImages.begin(), PostProc::featherImages.end());
    std::set<unsigned int> usedFeathers;
    GlitchImage entry;
    for (int frame = 1; frame <= 600; ++frame) {
        drawFrame(entry, true);
        std::vector<std::string> expected = {"useSecondImage", "useShader"};
        expected.insert(expected.end(), 8, "drawSubImage");
        expected.push_back("useShader");
        expected.push_back("useSecondImage");
        ASSERT_EQ(drawer.names(), expected);
        unsigned int feather = static_cast<unsigned int>(drawer.calls[0].numbers[0]);
        EXPECT_TRUE(feathers.count(feather));
        usedFeathers.insert(feather);
        EXPECT_EQ(drawer.calls[1].numbers, std::vector<double>({7.0, 0.0}));
        EXPECT_EQ(drawer.calls[10].numbers, std::vector<double>({0.0, 0.0}));
        EXPECT_EQ(drawer.calls[11].numbers, std::vector<double>({0.0}));
    }
    // Both feathers come up as the pictures swap; the folder is read only once.
    EXPECT_EQ(usedFeathers, feathers);
    EXPECT_EQ(PostProc::featherImages.size(), 2u);
}

TEST_F(GlitchImageTest, WithoutPostProcessingNoShaderIsLoadedOrUsed) {
    PostProc::featherImages.clear();
    GlitchImage::loadFeathers(&drawer, false, data.dir());
    EXPECT_EQ(drawer.count("loadImage"), 2);
    EXPECT_EQ(drawer.count("loadShader"), 0);
    GlitchImage entry;
    for (int frame = 1; frame <= 100; ++frame) {
        drawFrame(entry, false);
        ASSERT_EQ(drawer.names(), std::vector<std::string>(8, "drawSubImage"));
    }
}

TEST_F(GlitchImageTest, WithOneFeatherEveryPictureTakesIt) {
    TempDataFolder single;
    single.addPicture("feathers", "only.png", 4);
    PostProc::featherImages.clear();
    GlitchImage::loadFeathers(&drawer, true, single.dir());
    ASSERT_EQ(PostProc::featherImages.size(), 1u);
    unsigned int only = PostProc::featherImages[0];
    GlitchImage entry;
    for (int frame = 1; frame <= 300; ++frame) {
        drawFrame(entry, true);
        ASSERT_EQ(drawer.named("useSecondImage")[0].numbers[0], double(only));
    }
}

TEST_F(GlitchImageTest, APictureWithoutAHandleIsNeverDrawn) {
    TempDataFolder broken;
    broken.addText("images", "broken.png");
    ImageManager::getInstance()->reset();
    ImageManager::getInstance()->loadImages(&drawer, broken.folder("images"));
    GlitchImage entry;
    for (int frame = 1; frame <= 50; ++frame) {
        drawFrame(entry, true);
        ASSERT_TRUE(drawer.calls.empty());
        // The entry keeps asking for a picture while it has none.
        ASSERT_GE(randomsUsed, 2);
    }
}

TEST(GlitchImageDeathTest, AnEmptyFeathersFolderStopsTheProgram) {
    TempDataFolder data;
    data.folder("feathers");
    RecordingDrawer drawer;
    EXPECT_DEATH(GlitchImage::loadFeathers(&drawer, false, data.dir()),
                 "GlitchImage.cpp:[0-9]+: failed assertion `feathersPath.getNumChildren\\(\\) > 0'");
}
