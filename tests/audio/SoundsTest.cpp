#include "Sounds.h"
#include "OggFiles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A folder with a mono "finalSpeech.ogg" and a stereo "finalSpeech-forward.ogg"
// whose channels differ.
class SoundsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = OggFiles::makeFolder("lumenfall-sounds");
        OggFiles::write(folder + "/finalSpeech.ogg", {OggFiles::sine(5000, 440.0, 0.5f)});
        OggFiles::write(folder + "/finalSpeech-forward.ogg",
                        {OggFiles::sine(3000, 330.0, 0.4f), OggFiles::sine(3000, 1000.0, 0.2f)});
        speech = OggFiles::decode(folder + "/finalSpeech.ogg", 0);
        forwardLeft = OggFiles::decode(folder + "/finalSpeech-forward.ogg", 0);
    }
    static void TearDownTestSuite() { OggFiles::removeFolder(folder); }

    // Renders n blocks of the given size into one long stereo signal.
    static void render(Sounds& sounds, std::vector<float>& out, int blocks, int frames) {
        for (int b = 0; b < blocks; ++b) {
            std::vector<float> block(2 * frames, 0.0f);
            sounds.getAudio(block.data(), frames);
            out.insert(out.end(), block.begin(), block.end());
        }
    }

    static std::string folder;
    static std::vector<float> speech, forwardLeft;
};

std::string SoundsTest::folder;
std::vector<float> SoundsTest::speech;
std::vector<float> SoundsTest::forwardLeft;

} // namespace

TEST_F(SoundsTest, DecodesWholeRecordingsOfTheirEncodedLength) {
    testing::internal::CaptureStdout();
    Sounds sounds(folder);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("vorbisfile: Loaded file: " + folder + "/finalSpeech.ogg\n"), std::string::npos);
    EXPECT_EQ(sounds.getFile(Sounds::FinalSpeech).data.size(), 5000u);
    EXPECT_EQ(sounds.getFile(Sounds::FinalSpeech).data, speech);
    EXPECT_EQ(sounds.getFile(Sounds::FinalSpeechForward).data.size(), 3000u);
}

TEST_F(SoundsTest, TwoVoicesOverlapOffsetByTheDelayBetweenCalls) {
    Sounds sounds(folder);
    std::vector<float> out;
    sounds.playSound(Sounds::FinalSpeech);
    render(sounds, out, 3, 256);
    sounds.playSound(Sounds::FinalSpeech);
    render(sounds, out, 30, 256);
    const size_t n = speech.size();
    for (size_t t = 0; t < out.size() / 2; ++t) {
        float expected = (t < n ? speech[t] : 0.0f);
        if (t >= 768 && t - 768 < n) {
            expected += speech[t - 768];
        }
        ASSERT_FLOAT_EQ(out[2 * t], expected) << "frame " << t;
        ASSERT_EQ(out[2 * t + 1], out[2 * t]) << "frame " << t;
    }
    EXPECT_EQ(sounds.getPlayingCount(), 0);
}

TEST_F(SoundsTest, The129thVoiceIsDropped) {
    Sounds sounds(folder);
    for (int i = 0; i < 129; ++i) {
        sounds.playSound(Sounds::FinalSpeech);
    }
    EXPECT_EQ(sounds.getPlayingCount(), 128);
    std::vector<float> out;
    render(sounds, out, 1, 64);
    for (size_t t = 0; t < 64; ++t) {
        double sum = 0.0;
        for (int v = 0; v < 128; ++v) {
            sum += speech[t];
        }
        ASSERT_NEAR(out[2 * t], sum, 1e-3) << "frame " << t;
    }
}

TEST_F(SoundsTest, AVoiceEndingMidBlockFillsOnlyTheFirstPart) {
    Sounds sounds(folder);
    sounds.playSound(Sounds::FinalSpeech);
    // 5000 samples: 4096 in the first block, 904 in the second.
    std::vector<float> out;
    render(sounds, out, 2, 4096);
    EXPECT_EQ(out[2 * 4999], speech[4999]);
    for (size_t t = 5000; t < 8192; ++t) {
        ASSERT_EQ(out[2 * t], 0.0f) << "frame " << t;
        ASSERT_EQ(out[2 * t + 1], 0.0f) << "frame " << t;
    }
    EXPECT_EQ(sounds.getPlayingCount(), 0);
}

TEST_F(SoundsTest, StereoRecordingPlaysItsLeftChannelOnBothSides) {
    Sounds sounds(folder);
    sounds.playSound(Sounds::FinalSpeechForward);
    std::vector<float> out;
    render(sounds, out, 4, 1000);
    ASSERT_EQ(forwardLeft.size(), 3000u);
    for (size_t t = 0; t < 3000; ++t) {
        ASSERT_EQ(out[2 * t], forwardLeft[t]) << "frame " << t;
        ASSERT_EQ(out[2 * t + 1], forwardLeft[t]) << "frame " << t;
    }
}

TEST_F(SoundsTest, MissingOrBrokenRecordingsAreLoggedAndPlaySilence) {
    std::string broken = OggFiles::makeFolder("lumenfall-sounds-broken");
    OggFiles::writeText(broken + "/finalSpeech-forward.ogg", "not a recording\n");
    testing::internal::CaptureStdout();
    Sounds sounds(broken);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("vorbisfile: fopen could not open file: " + broken + "/finalSpeech.ogg\n"),
              std::string::npos);
    EXPECT_NE(log.find("vorbisfile: Could not open file: " + broken + "/finalSpeech-forward.ogg\n"),
              std::string::npos);
    sounds.playSound(Sounds::FinalSpeech);
    sounds.playSound(Sounds::FinalSpeechForward);
    std::vector<float> out;
    render(sounds, out, 2, 128);
    for (float x : out) {
        ASSERT_EQ(x, 0.0f);
    }
    EXPECT_EQ(sounds.getPlayingCount(), 0);
    OggFiles::removeFolder(broken);
}
