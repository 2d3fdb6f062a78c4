#include "Application.h"
#include "GamePlay.h"
#include "NoteScreen.h"
#include "PostProc.h"
#include "Random.h"
#include "RecordingDrawer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

namespace {

SDL_keysym keyOf(SDLKey sym) {
    SDL_keysym key = SDL_keysym();
    key.sym = sym;
    return key;
}

// A real application in a small window without sound, whose current state a
// test can watch while it drives states of its own.
class StateTest : public ::testing::Test {
protected:
    void SetUp() override {
        NoteScreen::resetResources();
        GamePlay::resetResources();
        app.reset(new Application({"-w", "320", "-h", "180", "-win", "-ns"}));
    }
    void TearDown() override { app.reset(); }
    std::string currentName() const { return app->getCurrentState()->getName(); }

    std::unique_ptr<Application> app;
};

} // namespace

TEST_F(StateTest, NoteScreenLeadsOnOnExactlyTheThreeHundredAndTwentiethFrame) {
    RecordingDrawer drawer;
    NoteScreen note(app.get());
    for (int frame = 1; frame < 320; ++frame)
        note.draw(&drawer);
    EXPECT_EQ(currentName(), "NoteScreen");
    note.draw(&drawer);
    EXPECT_EQ(currentName(), "GamePlay");
}

TEST_F(StateTest, AnyKeyLeadsOnFromTheNoteScreen) {
    for (SDLKey sym : {SDLK_ESCAPE, SDLK_F1, SDLK_a}) {
        app.reset(new Application({"-w", "320", "-h", "180", "-win", "-ns"}));
        NoteScreen note(app.get());
        note.keyDown("", keyOf(sym));
        EXPECT_EQ(currentName(), "GamePlay");
    }
    // A joystick button arrives with an empty record.
    app.reset(new Application({"-w", "320", "-h", "180", "-win", "-ns"}));
    app->joyDown(0, 0);
    EXPECT_EQ(currentName(), "GamePlay");
}

TEST_F(StateTest, NoiseChangesOnTheFourthFrameAndThenEverySixth) {
    RecordingDrawer drawer;
    drawer.supportsShaders = true;
    drawer.supportsFrameBuffer = true;
    drawer.frameBufferImage = 99;
    NoteScreen note(app.get());
    std::vector<int> changes;
    int previous = note.getNoiseIndex();
    for (int frame = 1; frame <= 40; ++frame) {
        note.draw(&drawer);
        int index = note.getNoiseIndex();
        EXPECT_GE(index, 0);
        EXPECT_LE(index, 3);
        if (index != previous)
            changes.push_back(frame);
        previous = index;
    }
    EXPECT_EQ(changes, (std::vector<int>{4, 10, 16, 22, 28, 34, 40}));
    // The frame-buffer image goes through the shader with the chosen noise picture.
    std::vector<RecordingDrawer::Call> seconds = drawer.named("useSecondImage");
    ASSERT_EQ(seconds.size(), 80u);
    EXPECT_EQ(seconds[0].numbers[0], PostProc::images[0]);
    EXPECT_EQ(seconds[1].numbers[0], 0);
    EXPECT_EQ(drawer.count("loadShader"), 1);
}

TEST_F(StateTest, ResourcesLoadOncePerRunEvenWithoutPostProcessing) {
    RecordingDrawer drawer;
    {
        NoteScreen first(app.get());
        for (int i = 0; i < 10; ++i)
            first.draw(&drawer);
    }
    NoteScreen second(app.get());
    second.draw(&drawer);
    // Background, note and four noise pictures, once; no shader without support.
    EXPECT_EQ(drawer.count("loadImage"), 6);
    EXPECT_EQ(drawer.count("loadShader"), 0);
    EXPECT_EQ(drawer.count("useShader"), 0);
    EXPECT_EQ(second.getNoiseIndex(), 0);
    // Background twice (the right half mirrored), then the note.
    std::vector<RecordingDrawer::Call> draws = drawer.named("drawImage");
    ASSERT_GE(draws.size(), 3u);
    EXPECT_EQ(draws[1].numbers[1], 1280.0);
    EXPECT_EQ(draws[1].numbers[3], -0.625);
    EXPECT_EQ(draws[2].numbers[1], 128.0);
    EXPECT_EQ(draws[2].numbers[2], 232.0);
}

TEST_F(StateTest, PlayLoadsTheNoisePassItselfWhenTheNoteScreenNeverDrew) {
    // A key pressed before the note screen's first frame leads straight on.
    RecordingDrawer drawer;
    drawer.supportsShaders = true;
    drawer.supportsFrameBuffer = true;
    drawer.frameBufferImage = 99;
    GamePlay play(app.get());
    play.draw(&drawer);
    play.draw(&drawer);
    ASSERT_NE(PostProc::shader, 0u);
    for (unsigned int image : PostProc::images)
        EXPECT_NE(image, 0u);
    // The noise shader is loaded once and used on every frame.
    std::vector<RecordingDrawer::Call> shaders = drawer.named("useShader");
    EXPECT_EQ(std::count_if(shaders.begin(), shaders.end(),
                            [](const RecordingDrawer::Call& c) { return c.numbers[0] == PostProc::shader; }),
              2);
    // A later note screen does not load the shared pass again.
    int loads = drawer.count("loadShader");
    NoteScreen note(app.get());
    note.draw(&drawer);
    EXPECT_EQ(drawer.count("loadShader"), loads);
}

TEST_F(StateTest, TypingGoesToTheFirstWordThatTakesTheLetter) {
    GamePlay play(app.get());
    for (SDLKey sym : {SDLK_h, SDLK_a, SDLK_c, SDLK_k})
        play.keyDown("", keyOf(sym));
    EXPECT_NEAR(play.getRate(0), -0.0005f + 4 * 0.002f, 1e-6f);
    EXPECT_EQ(play.getWordPosition(0), 0); // wrapped after the last letter
    EXPECT_EQ(play.getWordPosition(1), 0);
    EXPECT_FLOAT_EQ(play.getRate(1), -0.0005f);

    play.keyDown("", keyOf(SDLK_p));
    EXPECT_EQ(play.getWordPosition(2), 1);
    play.keyDown("", keyOf(SDLK_s));
    EXPECT_EQ(play.getWordPosition(1), 1);
    // "hack" expects "h"; "scandal" takes "c"; a wrong letter resets nothing.
    play.keyDown("", keyOf(SDLK_c));
    EXPECT_EQ(play.getWordPosition(1), 2);
    play.keyDown("", keyOf(SDLK_z));
    EXPECT_EQ(play.getWordPosition(1), 2);
    EXPECT_EQ(play.getWordPosition(2), 1);

    // "a" goes to "scandal" only once "hack" no longer wants it.
    play.keyDown("", keyOf(SDLK_h));
    play.keyDown("", keyOf(SDLK_a));
    EXPECT_EQ(play.getWordPosition(0), 2);
    EXPECT_EQ(play.getWordPosition(1), 2);
    play.setLevel(0, 1.0f);
    play.keyDown("", keyOf(SDLK_c));
    play.keyDown("", keyOf(SDLK_k));
    EXPECT_EQ(play.getWordPosition(0), 2); // a completed word takes no letters
    play.keyDown("", keyOf(SDLK_a));
    EXPECT_EQ(play.getWordPosition(1), 3);
}

TEST_F(StateTest, KeysThatAreNoLettersTypeNothingAndEscapeQuits) {
    GamePlay play(app.get());
    for (SDLKey sym : {SDLK_1, SDLK_UP, SDLK_SPACE, SDLK_RETURN, SDLK_KP5})
        play.keyDown("", keyOf(sym));
    play.keyDown("Action", SDL_keysym()); // a joystick button bound to an action
    for (int w = 0; w < 3; ++w) {
        EXPECT_EQ(play.getWordPosition(w), 0);
        EXPECT_FLOAT_EQ(play.getRate(w), -0.0005f);
    }
    play.keyDown("", keyOf(SDLK_h));
    EXPECT_FALSE(app->isQuitRequested());
    play.keyDown("Escape", keyOf(SDLK_ESCAPE));
    EXPECT_TRUE(app->isQuitRequested());
}

TEST_F(StateTest, MixUpIndicesIsAPermutation) {
    GamePlay play(app.get());
    for (int round = 0; round < 20; ++round) {
        play.mixUpIndices();
        std::vector<int> order(play.getIndices(), play.getIndices() + GamePlay::NumImages);
        std::sort(order.begin(), order.end());
        for (int i = 0; i < GamePlay::NumImages; ++i)
            ASSERT_EQ(order[i], i);
    }
}

TEST_F(StateTest, WithoutMusicTheOutputStageStillScalesTheEffects) {
    // Effects at and beyond full scale, as the play state's sound gets them.
    const std::vector<float> effects = {0.0f, 0.0f, 1.0f, -1.0f, 1.5f, -3.0f};
    std::vector<float> withMusic = effects;
    {
        GamePlay play(app.get());
        play.getAudio(withMusic.data(), 3);
    }
    app.reset(new Application({"-w", "320", "-h", "180", "-win", "-ns", "-nm"}));
    ASSERT_TRUE(app->getNoMusic());
    RecordingDrawer drawer;
    GamePlay play(app.get());
    // A frame drawn without music starts no recording...
    play.draw(&drawer);
    std::vector<float> withoutMusic = effects;
    play.getAudio(withoutMusic.data(), 3);
    // ...but the block passes the output stage all the same: 0.99 tanh(2/3 x).
    EXPECT_EQ(withoutMusic, withMusic);
    EXPECT_EQ(withoutMusic[0], 0.0f);
    EXPECT_NEAR(withoutMusic[2], 0.5769551f, 1e-6f);
    for (float x : withoutMusic)
        EXPECT_LT(std::fabs(x), 0.99f);
}

TEST_F(StateTest, LevelsStayAtZeroWithoutTyping) {
    RecordingDrawer drawer;
    GamePlay play(app.get());
    for (int frame = 0; frame < 200; ++frame)
        play.draw(&drawer);
    for (int w = 0; w < 3; ++w) {
        EXPECT_EQ(play.getLevel(w), 0.0f);
        EXPECT_GE(play.getRate(w), -0.0006f);
        EXPECT_LE(play.getRate(w), -0.0005f + 1e-7f);
    }
    EXPECT_EQ(play.getFinale(), 0.0f);
    EXPECT_EQ(play.getGhostAlpha(), 0.0f);
    EXPECT_EQ(play.getStringLevel(), 0.0f);
}

TEST_F(StateTest, FinaleStartsAboveTwoPointSevenAndEndsAfterTwoHundredFrames) {
    RecordingDrawer drawer;
    GamePlay play(app.get());
    // Complete words keep their level; the third sinks by its resting rate
    // of 0.0005 this frame, which leaves the sum at 2.7 exactly.
    ASSERT_EQ(2.0f + (0.7005f - 0.0005f), 2.7f);
    play.setLevel(0, 1.0f);
    play.setLevel(1, 1.0f);
    play.setLevel(2, 0.7005f);
    play.draw(&drawer);
    EXPECT_EQ(play.getFinale(), 0.0f);

    play.setLevel(2, 0.71f);
    int frames = 0;
    while (play.getFinale() < 1.0f && frames < 400) {
        play.draw(&drawer);
        ++frames;
    }
    EXPECT_GE(frames, 199);
    EXPECT_LE(frames, 201);
    play.draw(&drawer);
    for (int w = 0; w < 3; ++w)
        EXPECT_EQ(play.getLevel(w), 1.0f);
    EXPECT_NEAR(play.getStringLevel(), 0.5f + 0.25f * std::sin(play.getSunPhase()), 1e-5f);
    EXPECT_EQ(play.getGhostAlpha(), 0.0f);
    // The background is in full colour and the portrait opaque (the finale's
    // last step may carry it a step past 1).
    std::vector<RecordingDrawer::Call> draws = drawer.named("drawImage");
    ASSERT_GE(draws.size(), 3u);
    const RecordingDrawer::Call* background = nullptr;
    for (const RecordingDrawer::Call& call : draws)
        if (call.numbers[0] == GamePlay::lumenfallBackImage)
            background = &call;
    ASSERT_NE(background, nullptr);
    for (int channel = 5; channel <= 7; ++channel) {
        EXPECT_GE(background->numbers[channel], 1.0);
        EXPECT_LE(background->numbers[channel], 1.0051);
    }
}
