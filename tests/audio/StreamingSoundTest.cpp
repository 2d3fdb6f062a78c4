#include "StreamingSound.h"
#include "OggFiles.h"
#include "Thread.h"

#include <gtest/gtest.h>

#include <SDL_timer.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

const int Buffer = StreamingSound::BufferSize;

// Folders of recordings shared by the tests: "long" holds one stereo file of
// 160000 samples (a 440 Hz left and a 1000 Hz right channel), "short" one
// mono file of 40000 samples, "quarters" one mono file whose quarter
// seconds, each as long as a buffer, are sines of 300, 450, 600, ... Hz.
class StreamingSoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        longFolder = OggFiles::makeFolder("lumenfall-long");
        OggFiles::write(longFolder + "/a.ogg",
                        {OggFiles::sine(160000, 440.0, 0.5f), OggFiles::sine(160000, 1000.0, 0.5f)});
        longLeft = OggFiles::decode(longFolder + "/a.ogg", 0);
        shortFolder = OggFiles::makeFolder("lumenfall-short");
        OggFiles::write(shortFolder + "/b.ogg", {OggFiles::sine(40000, 300.0, 0.5f)});
        quartersFolder = OggFiles::makeFolder("lumenfall-quarters");
        OggFiles::Channel quarters;
        for (int q = 0; q < 10; ++q) {
            OggFiles::Channel part = OggFiles::sine(Buffer, 300.0 + 150.0 * q, 0.5f);
            quarters.insert(quarters.end(), part.begin(), part.end());
        }
        OggFiles::write(quartersFolder + "/q.ogg", {quarters});
    }
    static void TearDownTestSuite() {
        OggFiles::removeFolder(longFolder);
        OggFiles::removeFolder(shortFolder);
        OggFiles::removeFolder(quartersFolder);
    }

    static int countActive(const StreamingSound& streaming) {
        int count = 0;
        for (int i = 0; i < StreamingSound::NumSounds; ++i) {
            count += streaming.getSound(i).isActive() ? 1 : 0;
        }
        return count;
    }

    // Renders one block from silence; the test stands in for the streaming
    // thread when refill is set.
    static std::vector<float> block(StreamingSound& streaming, int frames, bool refill = true) {
        std::vector<float> out(2 * frames, 0.0f);
        streaming.getAudio(out.data(), frames);
        if (refill) {
            streaming.refillBuffers();
        }
        return out;
    }

    // The mixed value (left plus right) before the output stage at fade 1.
    static double unstage(float left, float right) {
        return (std::atanh(left / 0.99) + std::atanh(right / 0.99)) / (2.0 * 0.33333334f);
    }

    // Which quarter of the "quarters" recording a block of one buffer's
    // length holds, told by its pitch: a sine of f Hz changes sign f / 2
    // times in a quarter second. -1 for silence.
    static int quarterHeard(const std::vector<float>& out) {
        int crossings = 0;
        float last = 0.0f;
        for (size_t i = 0; i + 1 < out.size(); i += 2) {
            float x = out[i] + out[i + 1];
            if (x != 0.0f) {
                crossings += (last != 0.0f && (x > 0.0f) != (last > 0.0f)) ? 1 : 0;
                last = x;
            }
        }
        return last == 0.0f ? -1 : static_cast<int>(std::lround((2.0 * crossings - 300.0) / 150.0));
    }

    static std::string longFolder, shortFolder, quartersFolder;
    static std::vector<float> longLeft;
};

std::string StreamingSoundTest::longFolder;
std::string StreamingSoundTest::shortFolder;
std::string StreamingSoundTest::quartersFolder;
std::vector<float> StreamingSoundTest::longLeft;

// Plays the audio thread's part at about real time in blocks of 512 frames.
class AudioThread : public Thread {
public:
    explicit AudioThread(StreamingSound& streaming) : streaming(streaming) {}
    ~AudioThread() override {
        stop.store(true, std::memory_order_release);
        waitForThread();
    }
    bool run() override {
        std::vector<float> out(1024);
        while (!stop.load(std::memory_order_acquire)) {
            std::fill(out.begin(), out.end(), 0.0f);
            streaming.getAudio(out.data(), 512);
            for (float x : out) {
                if (!std::isfinite(x) || std::fabs(x) > 0.99f) {
                    bad.fetch_add(1, std::memory_order_relaxed);
                }
                peak.store(std::max(peak.load(std::memory_order_relaxed), std::fabs(x)),
                           std::memory_order_relaxed);
            }
            blocks.fetch_add(1, std::memory_order_relaxed);
            SDL_Delay(11);
        }
        return true;
    }

    StreamingSound& streaming;
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<int> blocks{0};
    std::atomic<float> peak{0.0f};
};

} // namespace

TEST_F(StreamingSoundTest, RampStartsOneRecordingEverySecondFrameUpTo24) {
    StreamingSound streaming(longFolder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(countActive(streaming), 1);
    streaming.update(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(countActive(streaming), 1);
    streaming.update(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(countActive(streaming), 2);
    for (int i = 3; i < 46; ++i) {
        streaming.update(0.0f, 0.0f, 0.0f);
    }
    EXPECT_EQ(countActive(streaming), 23);
    streaming.update(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(countActive(streaming), 24);
}

TEST_F(StreamingSoundTest, FadesInOver100000Samples) {
    StreamingSound streaming(longFolder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    const StreamingSound::Sound& sound = streaming.getSound(0);
    for (int t = 0; t < 50000; t += 1000) {
        block(streaming, 1000);
    }
    EXPECT_NEAR(sound.getEnvelope(), 0.5f, 1e-3f);
    for (int t = 50000; t < 100000; t += 1000) {
        block(streaming, 1000);
    }
    EXPECT_NEAR(sound.getEnvelope(), 1.0f, 1e-3f);
    for (int t = 100000; t < 120000; t += 1000) {
        block(streaming, 1000);
    }
    EXPECT_LE(sound.getEnvelope(), 1.0f + 1e-5f);
    EXPECT_GE(sound.getEnvelope(), 1.0f - 1e-5f);
}

TEST_F(StreamingSoundTest, SilencedSlotsFadeOutAtTheEndAndAreReplacedAtTheNextUpdate) {
    StreamingSound streaming(shortFolder, false);
    for (int i = 0; i < 47; ++i) {
        streaming.update(1.0f, 1.0f, 1.0f);
    }
    ASSERT_EQ(countActive(streaming), 24);
    // The end of the 40000-sample file is decoded by the first refill, after
    // 11025 samples; the fade-out then ends the slots.
    bool sawFadeOut = false;
    int t = 0;
    while (countActive(streaming) > 0 && t < 60000) {
        std::vector<float> out = block(streaming, 500);
        for (float x : out) {
            ASSERT_EQ(x, 0.0f) << "sample near frame " << t;
        }
        sawFadeOut = sawFadeOut || !streaming.getSound(0).isKeepPlaying();
        t += 500;
    }
    EXPECT_TRUE(sawFadeOut);
    EXPECT_EQ(countActive(streaming), 0);
    EXPECT_GT(t, Buffer);
    streaming.update(1.0f, 1.0f, 1.0f);
    EXPECT_EQ(countActive(streaming), 24);
    EXPECT_TRUE(streaming.getSound(5).isKeepPlaying());
}

TEST_F(StreamingSoundTest, FirstLevelSilencesOnlyTheFirstGroup) {
    // Slots of other groups are stopped before they make a sound (their
    // envelope starts at 0), leaving one group playing.
    struct Case {
        int keptFirst; // first slot number kept playing, counted from 1
        float level0, level1;
        bool heard;
    } cases[] = {{1, 1.0f, 0.0f, false}, {9, 1.0f, 0.0f, true}, {1, 0.0f, 1.0f, true}};
    for (const Case& c : cases) {
        StreamingSound streaming(longFolder, false);
        for (int i = 0; i < 24; ++i) {
            streaming.triggerSound();
        }
        for (unsigned int n = 1; n <= 24; ++n) {
            if (n < static_cast<unsigned int>(c.keptFirst) ||
                n >= static_cast<unsigned int>(c.keptFirst + 8)) {
                streaming.stopSound(n);
            }
        }
        streaming.update(c.level0, c.level1, 0.0f);
        double peak = 0.0;
        for (int b = 0; b < 20; ++b) {
            for (float x : block(streaming, 1000)) {
                peak = std::max(peak, static_cast<double>(std::fabs(x)));
            }
        }
        if (c.heard) {
            EXPECT_GT(peak, 0.05) << "slots from " << c.keptFirst;
        } else {
            EXPECT_EQ(peak, 0.0) << "slots from " << c.keptFirst;
        }
    }
}

TEST_F(StreamingSoundTest, BlocksCrossBufferEndsSeamlesslyAndOnlyRefilledBuffersPlay) {
    StreamingSound streaming(longFolder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    // Blocks of 1000 cross the buffer ends at 11025 and 22050. Without the
    // streaming thread nothing refills the first buffer after it is played.
    std::vector<double> mixed;
    for (int t = 0; t < 35000; t += 1000) {
        std::vector<float> out = block(streaming, 1000, false);
        for (int i = 0; i < 1000; ++i) {
            mixed.push_back(unstage(out[2 * i], out[2 * i + 1]));
        }
    }
    // The mix is the left channel faded in by 0.00001 per sample.
    for (int t = 0; t < 3 * Buffer; ++t) {
        ASSERT_NEAR(mixed[t], longLeft[t] * (t * 1e-5), 2e-4) << "frame " << t;
    }
    // The audio thread decodes nothing: the unrefilled buffer plays silence.
    for (int t = 3 * Buffer; t < 35000; ++t) {
        ASSERT_EQ(mixed[t], 0.0) << "frame " << t;
    }
    // Once refilled it plays on from where the file had got to.
    streaming.refillBuffers();
    for (int t = 35000; t < 44000; t += 1000) {
        std::vector<float> out = block(streaming, 1000);
        for (int i = 0; i < 1000; ++i) {
            ASSERT_NEAR(unstage(out[2 * i], out[2 * i + 1]), longLeft[t + i] * ((t + i) * 1e-5), 3e-4)
                << "frame " << t + i;
        }
    }
}

TEST_F(StreamingSoundTest, BuffersRefilledLateStillPlayInTheFileOrder) {
    StreamingSound streaming(quartersFolder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    std::vector<int> heard;
    // The streaming thread keeps up for two buffers, misses two turns, then
    // refills both at once: the third buffer before the first.
    for (bool refill : {true, true, false, false}) {
        heard.push_back(quarterHeard(block(streaming, Buffer, refill)));
    }
    streaming.refillBuffers();
    for (int i = 0; i < 3; ++i) {
        heard.push_back(quarterHeard(block(streaming, Buffer, false)));
    }
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

namespace {

std::atomic<bool> refillHeld{false};
std::atomic<bool> audioPlayedOn{false};

} // namespace

TEST_F(StreamingSoundTest, ABufferPlayedOutDuringItsRefillIsNotPlayedARotationLater) {
    StreamingSound streaming(quartersFolder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    std::vector<int> heard = {quarterHeard(block(streaming, Buffer, false))};
    // The refill of the first buffer is held, decoded but not handed over,
    // while this thread, as the audio thread, plays the other two buffers
    // and then the first one's turn again.
    refillHeld = false;
    audioPlayedOn = false;
    StreamingSound::refillHook = [](int) {
        refillHeld = true;
        while (!audioPlayedOn) {
            std::this_thread::yield();
        }
    };
    std::thread streamingThread([&streaming] { streaming.refillBuffers(); });
    for (int i = 0; i < 1000 && !refillHeld; ++i) {
        SDL_Delay(10);
    }
    EXPECT_TRUE(refillHeld);
    for (int i = 0; i < 3; ++i) {
        heard.push_back(quarterHeard(block(streaming, Buffer, false)));
    }
    audioPlayedOn = true;
    streamingThread.join();
    StreamingSound::refillHook = nullptr;
    streaming.refillBuffers();
    for (int i = 0; i < 3; ++i) {
        heard.push_back(quarterHeard(block(streaming, Buffer, false)));
    }
    // The fourth quarter came too late and is dropped; the file goes on in order.
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, -1, 4, 5, 6}));
}

TEST_F(StreamingSoundTest, StereoRecordingMovesBetweenTheSpeakers) {
    StreamingSound streaming(longFolder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    double low = 1.0, high = 0.0;
    for (int b = 0; b < 300; ++b) {
        std::vector<float> out = block(streaming, 512);
        double left = 0.0, right = 0.0;
        for (int i = 0; i < 512; ++i) {
            left += std::fabs(std::atanh(out[2 * i] / 0.99));
            right += std::fabs(std::atanh(out[2 * i + 1] / 0.99));
        }
        if (left + right > 0.0) {
            low = std::min(low, right / (left + right));
            high = std::max(high, right / (left + right));
        }
    }
    // 300 blocks turn the pan angle by 3 to 6 radians from a random start:
    // however the turn lies, the sine of the angle sweeps at least 0.9, the
    // share of the right channel at least 0.45. (150 blocks could sweep less
    // than 0.2 when they happened to turn over a crest.)
    EXPECT_GT(high - low, 0.2);
}

TEST_F(StreamingSoundTest, ChainedFileStopsAtTheEndOfItsFirstStream) {
    std::string folder = OggFiles::makeFolder("lumenfall-chained");
    OggFiles::writeChained(folder + "/c.ogg", {OggFiles::sine(20000, 440.0, 0.5f)},
                           {OggFiles::sine(20000, 2000.0, 0.5f)});
    std::vector<float> first = OggFiles::decode(folder + "/c.ogg", 0);
    ASSERT_EQ(first.size(), 20000u);
    StreamingSound streaming(folder, false);
    streaming.update(0.0f, 0.0f, 0.0f);
    std::vector<double> mixed;
    for (int t = 0; t < 3 * Buffer; t += Buffer) {
        std::vector<float> out = block(streaming, Buffer, false);
        for (int i = 0; i < Buffer; ++i) {
            mixed.push_back(unstage(out[2 * i], out[2 * i + 1]));
        }
    }
    // After sample 20000 the first stream is heard again from its start.
    for (int t = 20000; t < 3 * Buffer; ++t) {
        ASSERT_NEAR(mixed[t], first[t - 20000] * (t * 1e-5), 2e-4) << "frame " << t;
    }
    streaming.refillBuffers();
    EXPECT_FALSE(streaming.getSound(0).isKeepPlaying());
    OggFiles::removeFolder(folder);
}

TEST_F(StreamingSoundTest, UnreadableFilesAreLoggedAndSkipped) {
    std::string folder = OggFiles::makeFolder("lumenfall-unreadable");
    OggFiles::writeText(folder + "/text.ogg", "This is not a recording.\n");
    OggFiles::writeTruncated(folder + "/cut.ogg", {OggFiles::sine(20000, 440.0, 0.5f)}, 60);
    for (const char* name : {"text.ogg", "cut.ogg"}) {
        std::string only = OggFiles::makeFolder("lumenfall-one");
        ASSERT_EQ(rename((folder + "/" + name).c_str(), (only + "/" + name).c_str()), 0);
        StreamingSound streaming(only, false);
        testing::internal::CaptureStdout();
        streaming.update(0.0f, 0.0f, 0.0f);
        std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ(log, "vorbisfile: Could not open file: " + only + "/" + name + "\n");
        EXPECT_EQ(countActive(streaming), 0);
        OggFiles::removeFolder(only);
    }
    OggFiles::removeFolder(folder);
}

TEST_F(StreamingSoundTest, FileCutShortOrEmptyPlaysOutWithoutHanging) {
    std::string folder = OggFiles::makeFolder("lumenfall-cut");
    OggFiles::writeTruncated(folder + "/cut.ogg", {OggFiles::sine(80000, 440.0, 0.5f)}, 6000);
    OggFiles::write(folder + "/empty.ogg", {OggFiles::Channel()});
    for (const char* name : {"cut.ogg", "empty.ogg"}) {
        std::string only = OggFiles::makeFolder("lumenfall-one");
        ASSERT_EQ(rename((folder + "/" + name).c_str(), (only + "/" + name).c_str()), 0);
        StreamingSound streaming(only, false);
        streaming.update(0.0f, 0.0f, 0.0f);
        int t = 0;
        while (countActive(streaming) > 0 && t < 400000) {
            for (float x : block(streaming, 1000)) {
                ASSERT_TRUE(std::isfinite(x));
            }
            t += 1000;
        }
        EXPECT_EQ(countActive(streaming), 0) << name;
        OggFiles::removeFolder(only);
    }
    OggFiles::removeFolder(folder);
}

TEST_F(StreamingSoundTest, OutputStageKeepsSilenceAndLimitsLoudSamples) {
    StreamingSound streaming(shortFolder, false);
    std::vector<float> out = {0.0f, 0.0f, 1.0f, -1.0f, 1e6f, -1e6f};
    streaming.getAudio(out.data(), 3);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    // 0.99 tanh(2/3)
    EXPECT_NEAR(out[2], 0.5769551f, 1e-6f);
    EXPECT_NEAR(out[3], -0.5769551f, 1e-6f);
    EXPECT_LE(out[4], 0.99f);
    EXPECT_GT(out[4], 0.9899f);
    EXPECT_GE(out[5], -0.99f);
    // Fade 0.5: g = 0.5 / (0.5 / 3 + 0.5) / 3 = 0.25, so 0.99 tanh(0.5).
    streaming.setFade(0.5f);
    std::vector<float> half = {1.0f, 0.0f};
    streaming.getAudio(half.data(), 1);
    EXPECT_NEAR(half[0], 0.4574960f, 1e-6f);
}

TEST_F(StreamingSoundTest, ThreeThreadsPlayTogether) {
    StreamingSound streaming(longFolder);
    {
        AudioThread audio(streaming);
        audio.startThread(&audio);
        for (int frame = 0; frame < 60; ++frame) {
            float level = (frame % 20) / 20.0f;
            streaming.update(level, 0.0f, 1.0f - level);
            if (frame == 50) {
                streaming.stopSound(1);
            }
            SDL_Delay(30);
        }
        EXPECT_EQ(audio.bad.load(), 0);
        EXPECT_GT(audio.blocks.load(), 50);
        EXPECT_GT(audio.peak.load(), 0.01f);
    }
    EXPECT_EQ(countActive(streaming), 24);
}
