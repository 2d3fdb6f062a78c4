#include "Application.h"
#include "GamePlay.h"
#include "GlitchImage.h"
#include "NoteScreen.h"
#include "PostProc.h"
#include "Random.h"
#include "RecordingDrawer.h"
#include "Sounds.h"

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

// A drawer that gives no handle for 1024 x 1024 pictures, as when the play
// state's background and portrait cannot be decoded.
class RefusingDrawer : public RecordingDrawer {
public:
    unsigned int loadImage(unsigned char* pixels, unsigned int width, unsigned int height) override {
        unsigned int handle = RecordingDrawer::loadImage(pixels, width, height);
        return width == 1024 && height == 1024 ? 0 : handle;
    }
};

// The play frame's drawing calls as layers, back to front, with repeats
// folded: the pictures the state loaded itself by name, "ghost" for any other
// whole picture, "grid" for the strips of the grid entries.
std::vector<std::string> layers(const RecordingDrawer& drawer) {
    std::vector<std::string> result;
    for (const RecordingDrawer::Call& call : drawer.calls) {
        std::string layer;
        if (call.name == "drawSubImage") {
            layer = "grid";
        } else if (call.name == "drawImage") {
            unsigned int image = static_cast<unsigned int>(call.numbers[0]);
            layer = image == GamePlay::lumenfallBackImage    ? "background"
                    : image == GamePlay::lumenfallSunImage   ? "portrait"
                    : image == GamePlay::lumenfallLinesImage ? "lines"
                    : image == GamePlay::titleImage          ? "title"
                    : image == GamePlay::ritualsImage        ? "rituals"
                                                             : "ghost";
        }
        if (!layer.empty() && (result.empty() || result.back() != layer))
            result.push_back(layer);
    }
    return result;
}

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
    // No audio runs here: voices once started stay counted.
    int voices = Sounds::getInstance()->getPlayingCount();
    int frames = 0;
    while (play.getFinale() < 1.0f && frames < 400) {
        ASSERT_EQ(Sounds::getInstance()->getPlayingCount(), voices);
        play.draw(&drawer);
        ++frames;
    }
    EXPECT_GE(frames, 199);
    EXPECT_LE(frames, 201);
    // The two final recordings start as the finale ends.
    EXPECT_EQ(Sounds::getInstance()->getPlayingCount(), voices + 2);
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

TEST_F(StateTest, PlayPicturesLoadOncePerRunWhateverHandlesComeBack) {
    RefusingDrawer drawer;
    {
        GamePlay first(app.get());
        for (int frame = 0; frame < 5; ++frame)
            first.draw(&drawer);
    }
    GamePlay second(app.get());
    second.draw(&drawer);
    EXPECT_EQ(GamePlay::lumenfallBackImage, 0u);
    EXPECT_EQ(GamePlay::lumenfallSunImage, 0u);
    // Title, rituals, background, portrait and lines, each once; news
    // pictures, feathers and noise are 512 pixels square.
    std::vector<RecordingDrawer::Call> loads = drawer.named("loadImage");
    EXPECT_EQ(std::count_if(loads.begin(), loads.end(),
                            [](const RecordingDrawer::Call& c) { return c.numbers[0] != 512.0; }),
              5);
}

TEST_F(StateTest, PlayFrameIsDrawnBackToFrontWithTheGridInShuffledOrder) {
    RecordingDrawer drawer;
    GamePlay play(app.get());
    // "hack" complete clears the centre and brings in the ghosts; the middle
    // ring half hidden, the outer ring a quarter.
    play.setLevel(0, 1.0f);
    play.setLevel(1, 0.5f);
    play.setLevel(2, 0.25f);
    play.draw(&drawer);
    EXPECT_EQ(layers(drawer),
              (std::vector<std::string>{"background", "portrait", "lines", "ghost", "grid", "title"}));

    // Each drawn entry's 8 strips, in the order of the indices, with the
    // opacity of its ring: 'm' for about 0.5, 'o' for about 0.75; the
    // hidden centre draws nothing.
    std::string expected;
    for (int k = 0; k < GamePlay::NumImages; ++k) {
        int row = play.getIndices()[k] / GamePlay::Columns;
        int column = play.getIndices()[k] % GamePlay::Columns;
        if (column >= 4 && column <= 7 && row >= 2 && row <= 5)
            continue;
        expected += std::string(8, column >= 2 && column <= 9 && row >= 1 && row <= 6 ? 'm' : 'o');
    }
    std::string drawn;
    for (const RecordingDrawer::Call& strip : drawer.named("drawSubImage"))
        drawn += std::abs(strip.numbers[12] - 0.5) < 0.01    ? 'm'
                 : std::abs(strip.numbers[12] - 0.75) < 0.01 ? 'o'
                                                             : '?';
    EXPECT_EQ(drawn, expected);

    // The recordings: the group of "hack" silenced, the others by their levels.
    const float gains[3] = {0.0f, 0.5f, 0.75f};
    for (int slot = 0; slot < StreamingSound::NumSounds; ++slot)
        EXPECT_NEAR(play.getStreamingSound().getSound(slot).getLevel(), gains[slot / 8], 0.01f) << slot;
}

TEST_F(StateTest, PlayTimersCountDrawnFrames) {
    RecordingDrawer drawer;
    GamePlay play(app.get());
    play.setLevel(0, 1.0f);
    std::vector<int> order(play.getIndices(), play.getIndices() + GamePlay::NumImages);
    std::vector<int> reshuffles;
    int ritualsShown = 0;
    for (int frame = 1; frame <= 160; ++frame) {
        drawer.clear();
        play.draw(&drawer);
        std::vector<int> now(play.getIndices(), play.getIndices() + GamePlay::NumImages);
        if (now != order)
            reshuffles.push_back(frame);
        order = now;
        std::vector<std::string> drawn = layers(drawer);
        if (!ritualsShown && std::count(drawn.begin(), drawn.end(), "rituals"))
            ritualsShown = frame;
    }
    EXPECT_EQ(ritualsShown, 121);
    // The first reshuffle on frame 31, the next 91 to 120 frames later.
    ASSERT_EQ(reshuffles.size(), 2u);
    EXPECT_EQ(reshuffles[0], 31);
    EXPECT_GE(reshuffles[1], 122);
    EXPECT_LE(reshuffles[1], 151);
    // A complete word keeps its level of 1 against its falling rate; the
    // ghosts fade in over 1000 frames.
    EXPECT_EQ(play.getLevel(0), 1.0f);
    EXPECT_NEAR(play.getGhostAlpha(), 0.16f, 1e-4f);
}

TEST_F(StateTest, InAnExhibitionEveryPlayStateStartsItsGridAsTheFirstDid) {
    // Without exhibition the count runs on, as it always has.
    const int before = GlitchImage::loadingStagger;
    app->nextState("GamePlay", "");
    EXPECT_EQ(static_cast<GamePlay*>(app->getCurrentState())->getGlitchImage(0).getImageCountdown(),
              before + 1);

    app.reset(new Application({"-w", "320", "-h", "180", "-win", "-ns", "-ex"}));
    for (int cycle = 0; cycle < 2; ++cycle) {
        app->nextState("GamePlay", "");
        const GamePlay* play = static_cast<GamePlay*>(app->getCurrentState());
        // Entry k swaps first on frame k + 2: frames 2 to 97.
        for (int k = 0; k < GamePlay::NumImages; ++k)
            ASSERT_EQ(play->getGlitchImage(k).getImageCountdown(), k + 1) << "cycle " << cycle;
        app->nextState("NoteScreen", "");
    }
}

TEST_F(StateTest, InAnExhibitionEscapeAloneDoesNotQuitAndF11KeepsTheMode) {
    app.reset(new Application({"-w", "320", "-h", "180", "-win", "-ns", "-ex"}));
    GamePlay play(app.get());
    play.keyDown("Escape", keyOf(SDLK_ESCAPE));
    EXPECT_FALSE(app->isQuitRequested());
    SDL_keysym f11 = keyOf(SDLK_F11);
    app->keyDown(f11);
    app->keyUp(f11);
    EXPECT_FALSE(app->isFullScreen());
}
