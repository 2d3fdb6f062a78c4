// Recordings that make the system's Ogg Vorbis decoder divide by zero: a mono
// recording whose setup header has one byte changed, with its page check sums
// rewritten so the damage reaches the decoder.

#include "DecodeGuard.h"
#include "OggFiles.h"
#include "Sounds.h"
#include "StreamingSound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pthread.h>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

const std::string damagedEffect = std::string(LUMENFALL_DAMAGED_RECORDINGS) + "/libvorbis-fpe-sounds.ogg";
// A chained recording whose first stream claims 1.7 billion samples.
const std::string hugeLength = std::string(LUMENFALL_DAMAGED_RECORDINGS) + "/huge-length-sounds.ogg";
const std::string damagedStream = std::string(LUMENFALL_DAMAGED_RECORDINGS) + "/libvorbis-fpe-streaming.ogg";

void copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    ASSERT_TRUE(in) << from;
    std::ofstream(to, std::ios::binary) << in.rdbuf();
}

// Decodes a whole file without any guard.
void decodeUnguarded(const std::string& path) {
    OggVorbis_File decoder;
    if (ov_fopen(path.c_str(), &decoder) != 0)
        return;
    float** pcm = nullptr;
    int bitstream = 0;
    while (ov_read_float(&decoder, &pcm, 1024, &bitstream) != 0) {
    }
    ov_clear(&decoder);
}

// SIGFPEs that reached the handler installed before the guard.
volatile sig_atomic_t handedOn = 0;

void countSignal(int) {
    handedOn = handedOn + 1;
}

// Installs countSignal, then, with the guard installed over it, sends a
// SIGFPE inside a guarded call and decodes the damaged recording inside
// another; reports what each gave on standard error.
void sendAndFaultInsideTheGuard() {
    struct sigaction action = {};
    action.sa_handler = countSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, nullptr);
    bool sentCompleted = DecodeGuard::run([] { pthread_kill(pthread_self(), SIGFPE); });
    int afterSent = handedOn;
    OggVorbis_File decoder;
    if (ov_fopen(damagedEffect.c_str(), &decoder) != 0)
        std::_Exit(2);
    bool faultCompleted = DecodeGuard::run([&] {
        float** pcm = nullptr;
        int bitstream = 0;
        while (ov_read_float(&decoder, &pcm, 1024, &bitstream) != 0) {
        }
    });
    std::fprintf(stderr, "sent: completed %d, handed on %d; fault: completed %d, handed on %d\n",
                 sentCompleted, afterSent, faultCompleted, static_cast<int>(handedOn));
    std::_Exit(0);
}

} // namespace

TEST(DamagedRecording, AnEffectTheDecoderFailsOnPlaysAsSilenceBesideAGoodOne) {
    std::string folder = OggFiles::makeFolder("lumenfall-damaged-effects");
    copyFile(damagedEffect, folder + "/finalSpeech.ogg");
    OggFiles::write(folder + "/finalSpeech-forward.ogg", {OggFiles::sine(4000, 440.0, 0.5f)});
    testing::internal::CaptureStdout();
    Sounds sounds(folder);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("vorbisfile: " + folder +
                       "/finalSpeech.ogg is damaged; the decoder failed on it, so it plays as silence.\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("vorbisfile: Loaded file: " + folder + "/finalSpeech-forward.ogg\n"),
              std::string::npos);

    // The damaged one adds nothing; the good one still plays. Loading again
    // proves the guard works more than once.
    Sounds again(folder);
    sounds.playSound(Sounds::FinalSpeech);
    std::vector<float> out(2 * 512, 0.0f);
    sounds.getAudio(out.data(), 512);
    for (float x : out)
        ASSERT_EQ(x, 0.0f);
    sounds.playSound(Sounds::FinalSpeechForward);
    sounds.getAudio(out.data(), 512);
    float peak = 0.0f;
    for (float x : out)
        peak = std::max(peak, std::fabs(x));
    EXPECT_GT(peak, 0.3f);
    OggFiles::removeFolder(folder);
}

TEST(DamagedRecording, AnEffectClaimingAHugeLengthTakesOnlyTheMemoryOfItsSamples) {
    std::string folder = OggFiles::makeFolder("lumenfall-huge-length");
    copyFile(hugeLength, folder + "/finalSpeech.ogg");
    OggFiles::write(folder + "/finalSpeech-forward.ogg", {OggFiles::sine(3000, 440.0, 0.5f)});
    {
        OggVorbis_File decoder;
        ASSERT_EQ(ov_fopen((folder + "/finalSpeech.ogg").c_str(), &decoder), 0);
        ASSERT_GT(ov_pcm_total(&decoder, 0), 1000000000);
        ov_clear(&decoder);
    }
    testing::internal::CaptureStdout();
    Sounds sounds(folder);
    testing::internal::GetCapturedStdout();
    // It holds what really decodes: a few hundred samples, not gigabytes.
    const std::vector<float>& data = sounds.getFile(Sounds::FinalSpeech).data;
    ASSERT_GT(data.size(), 100u);
    EXPECT_LT(data.capacity(), 100000u);
    // It plays those samples and then ends.
    sounds.playSound(Sounds::FinalSpeech);
    std::vector<float> out(2 * (data.size() + 512), 0.0f);
    sounds.getAudio(out.data(), static_cast<int>(data.size() + 512));
    EXPECT_EQ(out[2 * 100], data[100]);
    EXPECT_EQ(sounds.getPlayingCount(), 0);
    OggFiles::removeFolder(folder);
}

TEST(DamagedRecording, AStreamTheDecoderFailsOnIsDroppedAndItsSlotFreed) {
    std::string folder = OggFiles::makeFolder("lumenfall-damaged-streams");
    copyFile(damagedStream, folder + "/damaged.ogg");
    StreamingSound streaming(folder, false);
    testing::internal::CaptureStdout();
    streaming.update(0.0f, 0.0f, 0.0f);
    std::string log = testing::internal::GetCapturedStdout();
    // It opens; the fault comes with the first samples.
    EXPECT_NE(log.find("vorbisfile: Loaded file: " + folder + "/damaged.ogg\n"), std::string::npos) << log;
    EXPECT_NE(log.find("vorbisfile: " + folder +
                       "/damaged.ogg is damaged; the decoder failed on it, so it stops.\n"),
              std::string::npos)
        << log;
    // Whatever it managed to decode fades out; the slot then stands free.
    int active = 0;
    for (int t = 0; t < 400000; t += 1000) {
        std::vector<float> out(2 * 1000, 0.0f);
        streaming.getAudio(out.data(), 1000);
        streaming.refillBuffers();
        for (float x : out)
            ASSERT_TRUE(std::isfinite(x));
        active = 0;
        for (int i = 0; i < StreamingSound::NumSounds; ++i)
            active += streaming.getSound(i).isActive() ? 1 : 0;
        if (active == 0)
            break;
    }
    EXPECT_EQ(active, 0);
    OggFiles::removeFolder(folder);
}

TEST(DamagedRecordingDeathTest, OutsideTheDecoderGuardTheFaultStillEndsTheProgram) {
    // The guard is installed by the first guarded load; a fault anywhere
    // else must not be swallowed by it.
    std::string folder = OggFiles::makeFolder("lumenfall-damaged-unguarded");
    copyFile(damagedEffect, folder + "/finalSpeech.ogg");
    testing::internal::CaptureStdout();
    Sounds sounds(folder);
    testing::internal::GetCapturedStdout();
    EXPECT_DEATH(decodeUnguarded(damagedEffect), "");
    OggFiles::removeFolder(folder);
}

TEST(DamagedRecordingDeathTest, OnlyARealFaultFailsAGuardedCallASentSignalGoesOn) {
    // Each case in a fresh process, so that the guard is installed there
    // over the handler the case chooses.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A SIGFPE sent while decoding may find a lock of the C library held:
    // the guarded call goes on, and the signal reaches the handler before
    // the guard. The decoder's own division by zero still fails its call.
    EXPECT_EXIT(sendAndFaultInsideTheGuard(), testing::ExitedWithCode(0),
                "sent: completed 1, handed on 1; fault: completed 0, handed on 1");
    // With no handler before the guard, a sent SIGFPE ends the program, as
    // it would without the guard (by the signal, or by the sanitizer's
    // report of it in a sanitizer build).
    EXPECT_DEATH(DecodeGuard::run([] { raise(SIGFPE); }), "");
}
