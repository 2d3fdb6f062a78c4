#include "Application.h"
#include "GameState.h"
#include "RefusedAllocation.h"
#include "StreamingSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <new>
#include <thread>

namespace {

std::unique_ptr<Application> makeApplication(std::vector<std::string> extra) {
    std::vector<std::string> words = {"-w", "320", "-h", "180", "-win"};
    words.insert(words.end(), extra.begin(), extra.end());
    return std::unique_ptr<Application>(new Application(words));
}

// Waits up to two seconds for the audio callback to acknowledge a switch.
bool waitForAcknowledgement(const Application& app) {
    for (int i = 0; i < 200 && app.isStateChanging(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !app.isStateChanging();
}

} // namespace

TEST(Application, AudioBlockIsClearedExactly) {
    std::unique_ptr<Application> app = makeApplication({"-ns"});
    std::vector<float> block(1100, NAN);
    app->getAudio(nullptr, block.data(), 512);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(block[i], 0.0f) << i;
    for (size_t i = 1024; i < block.size(); ++i)
        ASSERT_TRUE(std::isnan(block[i])) << i;
}

TEST(Application, WithoutSoundASwitchIsAcknowledgedAtOnce) {
    std::unique_ptr<Application> app = makeApplication({"-ns"});
    EXPECT_FALSE(app->isAudioRunning());
    GameState* first = app->getCurrentState();
    app->nextState("NoteScreen", "");
    EXPECT_NE(app->getCurrentState(), first);
    EXPECT_TRUE(app->hasPendingOldState());
    EXPECT_FALSE(app->isStateChanging());
    // A second switch does not wait for a callback that never comes.
    app->nextState("NoteScreen", "");
    EXPECT_TRUE(app->hasPendingOldState());
    EXPECT_EQ(app->getCurrentState()->getName(), "NoteScreen");
}

TEST(Application, UnknownNamesChangeNothing) {
    std::unique_ptr<Application> app = makeApplication({"-ns"});
    GameState* first = app->getCurrentState();
    testing::internal::CaptureStdout();
    app->nextState("gameplay", "");
    app->nextState("Menu", "ignored");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(app->getCurrentState(), first);
    EXPECT_FALSE(app->hasPendingOldState());
    EXPECT_NE(out.find("Application::nextState() newState = "), std::string::npos);
    EXPECT_NE(out.find("Debug: Menu  ("), std::string::npos);
    EXPECT_EQ(out.find("created."), std::string::npos);
}

TEST(Application, AStateWhoseConstructionFailsLeavesTheCurrentOneAlone) {
    std::unique_ptr<Application> app = makeApplication({"-ns"});
    GameState* first = app->getCurrentState();
    // The play state's recordings take their buffers in its constructor.
    refuseAllocation(StreamingSound::NumBuffers * StreamingSound::BufferSize * sizeof(float));
    EXPECT_THROW(app->nextState("GamePlay", ""), std::bad_alloc);
    EXPECT_TRUE(allocationRefused());
    EXPECT_EQ(app->getCurrentState(), first);
    EXPECT_FALSE(app->hasPendingOldState());
    // Ending the application deletes that state once.
    app.reset();
}

TEST(Application, WithAudioTheOldStateWaitsForTheCallback) {
    std::unique_ptr<Application> app = makeApplication({"-aa", "JACK"});
    ASSERT_TRUE(app->isAudioRunning()) << "the test harness's JACK server did not take the stream";
    app->nextState("NoteScreen", "");
    EXPECT_TRUE(app->hasPendingOldState());
    EXPECT_TRUE(waitForAcknowledgement(*app));
    // Two switches in a row: the second waits for the first acknowledgement,
    // so at most one old state is ever pending.
    app->nextState("NoteScreen", "");
    app->nextState("NoteScreen", "");
    EXPECT_TRUE(app->hasPendingOldState());
    EXPECT_TRUE(waitForAcknowledgement(*app));
}
