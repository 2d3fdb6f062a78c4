#include "GlitchText.h"
#include "Random.h"
#include "RecordingDrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const unsigned int lineImage = 7;

// One frame of a glitching line as the drawer saw it.
struct Frame {
    bool drawn;                     // anything drawn at all
    bool split;                     // three colour copies
    std::vector<TwoFloats> offsets; // from the line's position, one per copy
    float opacity;
    int randomsUsed;
};

// Draws one frame and checks the shape of what was drawn: a plain black line,
// or three additive red, green and blue copies inside a Normal blend bracket.
Frame drawFrame(GlitchText& text, const TwoFloats& position, RecordingDrawer& drawer) {
    drawer.clear();
    int before = Random::getGlobal().counter;
    text.draw(&drawer, lineImage);
    Frame frame{!drawer.calls.empty(), false, {}, 0.0f, Random::getGlobal().counter - before};
    if (!frame.drawn)
        return frame;
    std::vector<RecordingDrawer::Call> draws = drawer.named("drawImage");
    if (draws.size() == 3) {
        frame.split = true;
        EXPECT_EQ(drawer.names(), std::vector<std::string>({"setBlendMode", "drawImage", "drawImage",
                                                            "drawImage", "setBlendMode"}));
        EXPECT_EQ(drawer.calls.front().numbers[0], double(Drawer::Additive));
        EXPECT_EQ(drawer.calls.back().numbers[0], double(Drawer::Normal));
        const double colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(draws[i].numbers[5 + k], colours[i][k]);
    } else {
        // A plain line sets no blend mode and is drawn in black.
        EXPECT_EQ(drawer.names(), std::vector<std::string>({"drawImage"}));
        EXPECT_EQ(draws[0].numbers[5], 0.0);
        EXPECT_EQ(draws[0].numbers[6], 0.0);
        EXPECT_EQ(draws[0].numbers[7], 0.0);
    }
    for (const RecordingDrawer::Call& call : draws) {
        EXPECT_EQ(call.numbers[0], double(lineImage));
        EXPECT_EQ(call.numbers[3], 1.0);
        EXPECT_EQ(call.numbers[4], 1.0);
        TwoFloats offset(float(call.numbers[1] - position.x), float(call.numbers[2] - position.y));
        EXPECT_LE(std::fabs(offset.x), 8.0f + 1e-4f);
        EXPECT_LE(std::fabs(offset.y), 8.0f + 1e-4f);
        frame.offsets.push_back(offset);
        EXPECT_EQ(call.numbers[8], draws[0].numbers[8]);
    }
    frame.opacity = float(draws[0].numbers[8]);
    return frame;
}

bool atPosition(const Frame& frame) {
    return frame.offsets.size() == 1 && frame.offsets[0].x == 0.0f && frame.offsets[0].y == 0.0f;
}

} // namespace

TEST(GlitchText, FadesInPlainBlackAtItsPositionUntilTheFirstDecision) {
    Random::getGlobal().counter = 31337;
    const TwoFloats position(24.0f, 32.0f);
    GlitchText text(position);
    RecordingDrawer drawer;
    for (int n = 1; n <= 15; ++n) {
        Frame frame = drawFrame(text, position, drawer);
        ASSERT_FALSE(frame.split);
        EXPECT_TRUE(atPosition(frame)) << "frame " << n;
        EXPECT_EQ(frame.randomsUsed, 0) << "frame " << n;
        // 0.075 more each frame for 13 frames, then fully opaque.
        float expected = n <= 13 ? 0.075f * n : 1.0f;
        EXPECT_NEAR(frame.opacity, expected, 1e-5) << "frame " << n;
    }
    EXPECT_GT(drawFrame(text, position, drawer).randomsUsed, 0);
}

TEST(GlitchText, FirstSplitDecisionOnFrame16AndFirstJumpOnFrame31) {
    Random::getGlobal().counter = 500;
    const TwoFloats position(380.0f, 592.0f);
    RecordingDrawer drawer;
    std::vector<std::unique_ptr<GlitchText>> lines;
    for (int i = 0; i < 200; ++i)
        lines.emplace_back(new GlitchText(position));
    for (int n = 1; n <= 31; ++n) {
        int splitLines = 0;
        int jumpedLines = 0;
        int decidingLines = 0;
        for (auto& line : lines) {
            Frame frame = drawFrame(*line, position, drawer);
            splitLines += frame.split;
            jumpedLines += !frame.split && !atPosition(frame);
            decidingLines += frame.randomsUsed > 0;
        }
        if (n < 16) {
            EXPECT_EQ(splitLines, 0) << "frame " << n;
            EXPECT_EQ(decidingLines, 0) << "frame " << n;
        }
        if (n == 16) {
            // Every line decides; about half of them split.
            EXPECT_EQ(decidingLines, 200);
            EXPECT_GT(splitLines, 60);
            EXPECT_LT(splitLines, 140);
        }
        if (n < 31) {
            EXPECT_EQ(jumpedLines, 0) << "frame " << n;
        } else {
            EXPECT_GT(jumpedLines, 10);
        }
    }
}

TEST(GlitchText, BlendsAdditivelyOnlyWhileSplitAndHoldsBetweenDecisions) {
    Random::getGlobal().counter = 9000;
    const TwoFloats position(100.0f, 200.0f);
    RecordingDrawer drawer;
    int splitFrames = 0;
    int plainFrames = 0;
    for (int i = 0; i < 5; ++i) {
        GlitchText text(position);
        Frame previous = drawFrame(text, position, drawer);
        for (int n = 2; n <= 700; ++n) {
            Frame frame = drawFrame(text, position, drawer);
            ASSERT_TRUE(frame.drawn);
            (frame.split ? splitFrames : plainFrames)++;
            if (frame.randomsUsed == 0) {
                // No decision this frame: the same copies at the same offsets.
                ASSERT_EQ(frame.split, previous.split) << "frame " << n;
                for (size_t k = 0; k < frame.offsets.size(); ++k) {
                    EXPECT_EQ(frame.offsets[k].x, previous.offsets[k].x);
                    EXPECT_EQ(frame.offsets[k].y, previous.offsets[k].y);
                }
            }
            previous = frame;
        }
    }
    EXPECT_GT(splitFrames, 500);
    EXPECT_GT(plainFrames, 500);
}

TEST(GlitchText, FadesOutOverItsLastHundredFramesAndIsGoneAfterAbout800) {
    Random::getGlobal().counter = 123;
    const TwoFloats position(24.0f, 32.0f);
    GlitchText text(position);
    RecordingDrawer drawer;
    int drawnFrames = 0;
    for (int n = 1; n <= 900; ++n) {
        Frame frame = drawFrame(text, position, drawer);
        if (!frame.drawn) {
            // Once ended, nothing is drawn and no random value is used.
            EXPECT_EQ(frame.randomsUsed, 0);
            continue;
        }
        ASSERT_EQ(drawnFrames, n - 1) << "a gap in the line's life";
        ++drawnFrames;
        // Life 8 less 0.01 per frame: 1 on frame 700, 0.5 on 750, 0.1 on 790.
        if (n == 700) {
            EXPECT_NEAR(frame.opacity, 1.0f, 1e-3);
        } else if (n == 750) {
            EXPECT_NEAR(frame.opacity, 0.5f, 1e-3);
        } else if (n == 790) {
            EXPECT_NEAR(frame.opacity, 0.1f, 1e-3);
        }
    }
    EXPECT_GE(drawnFrames, 799);
    EXPECT_LE(drawnFrames, 801);
}

TEST(GlitchText, WithoutAnImageHandleItDrawsNothingButStillAges) {
    Random::getGlobal().counter = 55;
    const TwoFloats position(24.0f, 32.0f);
    GlitchText text(position);
    RecordingDrawer drawer;
    for (int n = 1; n <= 20; ++n) {
        drawer.clear();
        text.draw(&drawer, 0);
        ASSERT_TRUE(drawer.calls.empty());
    }
    // Twenty frames on, the line is past its fade-in.
    Frame frame = drawFrame(text, position, drawer);
    EXPECT_EQ(frame.opacity, 1.0f);
}
