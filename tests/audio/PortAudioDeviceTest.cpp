#include "PortAudioDevice.h"
#include "JackRecorder.h"
#include "JackServer.h"
#include "LumenfallStrings.h"
#include "OggFiles.h"
#include "PortAudioCallback.h"
#include "Sounds.h"
#include "StreamingSound.h"

#include <gtest/gtest.h>

#include <SDL_timer.h>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// The application's part of the callback: clear the block, add the effects.
class EffectsCallback : public PortAudioCallback {
public:
    explicit EffectsCallback(Sounds* sounds) : sounds(sounds) {}
    void getAudio(float*, float* output, int frames) override {
        std::memset(output, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
        if (sounds) {
            sounds->getAudio(output, frames);
        }
        framesPlayed.fetch_add(frames, std::memory_order_relaxed);
    }

    Sounds* sounds;
    std::atomic<long> framesPlayed{0};
};

// A callback that can be held inside one block, as a block still being made
// when the stop begins; it notes whether it went on after stop had returned.
class HeldCallback : public PortAudioCallback {
public:
    void getAudio(float*, float* output, int frames) override {
        std::memset(output, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
        blocks.fetch_add(1);
        if (hold.load()) {
            inside = true;
            while (hold.load())
                SDL_Delay(1);
            if (stopReturned.load())
                ranAfterStop = true;
            inside = false;
        }
    }

    std::atomic<long> blocks{0};
    std::atomic<bool> hold{false};
    std::atomic<bool> inside{false};
    std::atomic<bool> stopReturned{false};
    std::atomic<bool> ranAfterStop{false};
};

// The play state's mix with the strings up, as the application and the play
// state make it: the effects, the streamed sound's output stage (no
// recording playing), then the strings, which the effects set ringing.
class StringsCallback : public PortAudioCallback {
public:
    StringsCallback(Sounds* sounds, StreamingSound* streaming) : sounds(sounds), streaming(streaming) {
        strings.setLevel(1.0f);
    }
    void getAudio(float*, float* output, int frames) override {
        std::memset(output, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
        sounds->getAudio(output, frames);
        streaming->getAudio(output, frames);
        strings.getAudio(output, frames);
    }

    Sounds* sounds;
    StreamingSound* streaming;
    LumenfallStrings strings;
};

bool hasJack() {
    return std::getenv("JACK_DEFAULT_SERVER") != nullptr;
}

// Points the JACK clients made from now on at another server for the life
// of the object.
class ServerChoice {
public:
    explicit ServerChoice(const std::string& name) {
        const char* current = std::getenv("JACK_DEFAULT_SERVER");
        hadPrevious = current != nullptr;
        previous = current ? current : "";
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    }
    ~ServerChoice() {
        if (hadPrevious)
            setenv("JACK_DEFAULT_SERVER", previous.c_str(), 1);
        else
            unsetenv("JACK_DEFAULT_SERVER");
    }

private:
    bool hadPrevious;
    std::string previous;
};

// The frequency between low and high Hz (in 0.05 Hz steps) where the
// Hann-windowed spectrum of the samples is strongest.
double peakFrequency(const float* samples, size_t count, double rate, double low, double high) {
    const double pi = 3.14159265358979323846;
    double best = low, bestPower = -1.0;
    for (double f = low; f <= high; f += 0.05) {
        const std::complex<double> step = std::polar(1.0, -2.0 * pi * f / rate);
        std::complex<double> turn(1.0, 0.0), sum(0.0, 0.0);
        for (size_t i = 0; i < count; ++i) {
            double window =
                0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(i) / static_cast<double>(count));
            sum += turn * (samples[i] * window);
            turn *= step;
        }
        if (std::norm(sum) > bestPower) {
            bestPower = std::norm(sum);
            best = f;
        }
    }
    return best;
}

} // namespace

TEST(PortAudioDevice, ApiNamesAreExactAndCaseSensitive) {
    struct Case {
        const char* name;
        PaHostApiTypeId type;
    } cases[] = {{"DirectSound", paDirectSound},
                 {"ASIO", paASIO},
                 {"MME", paMME},
                 {"ALSA", paALSA},
                 {"JACK", paJACK},
                 {"OSS", paOSS},
                 {"CoreAudio", paCoreAudio},
                 {"jack", paCoreAudio},
                 {"coreaudio", paCoreAudio},
                 {"", paCoreAudio}};
    for (const Case& c : cases) {
        PortAudioDevice device;
        device.setAPI("JACK");
        device.setAPI(c.name);
        EXPECT_EQ(device.getHostApi(), c.type) << '"' << c.name << '"';
    }
}

TEST(PortAudioDevice, PlaysEffectsToTheServerSampleForSample) {
    ASSERT_TRUE(hasJack()) << "needs the harness's JACK server";
    std::string folder = OggFiles::makeFolder("lumenfall-device");
    OggFiles::write(folder + "/finalSpeech.ogg", {OggFiles::sine(8000, 523.0, 0.5f)});
    std::vector<float> expected = OggFiles::decode(folder + "/finalSpeech.ogg", 0);
    Sounds sounds(folder);
    EffectsCallback callback(&sounds);

    PortAudioDevice device;
    device.setCallback(&callback);
    device.setNumChannels(0, 2);
    device.setSamplerate(44100.0);
    device.setAPI("JACK");
    ASSERT_TRUE(device.start());
    EXPECT_FALSE(device.start());
    EXPECT_TRUE(device.isRunning());

    // Room for 20 s: a loaded machine (or a sanitizer build) can make our
    // client miss many of the server's cycles.
    JackRecorder recorder(20 * 44100);
    ASSERT_TRUE(recorder.isOpen());
    ASSERT_TRUE(recorder.connect("^PortAudio.*:out_"));
    recorder.start();
    SDL_Delay(100);
    sounds.playSound(Sounds::FinalSpeech);
    // Until the effect has played out and a few more cycles have reached the
    // recorder, however long that takes on this machine.
    for (int i = 0; i < 1000 && sounds.getPlayingCount() > 0; ++i)
        SDL_Delay(10);
    EXPECT_EQ(sounds.getPlayingCount(), 0);
    size_t recordedAtTheEnd = recorder.getFrames();
    for (int i = 0; i < 1000 && recorder.getFrames() < recordedAtTheEnd + 2048; ++i)
        SDL_Delay(10);
    recorder.stop();

    // A loaded machine can make the dummy server run a cycle without our
    // client (an xrun), which shows as a block of silence inside the sound.
    // So the sound's samples are compared in order with silence left out:
    // every sample must arrive, unchanged, on both channels, and nothing else.
    const std::vector<float>& left = recorder.getLeft();
    const std::vector<float>& right = recorder.getRight();
    size_t frames = recorder.getFrames();
    std::vector<float> heardLeft, heardRight, wanted;
    for (size_t i = 0; i < frames; ++i) {
        if (left[i] != 0.0f)
            heardLeft.push_back(left[i]);
        if (right[i] != 0.0f)
            heardRight.push_back(right[i]);
    }
    for (float sample : expected)
        if (sample != 0.0f)
            wanted.push_back(sample);
    ASSERT_GT(wanted.size(), 1000u);
    ASSERT_EQ(heardLeft.size(), wanted.size()) << "the recording holds more or less than the effect";
    ASSERT_EQ(heardRight.size(), wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        ASSERT_EQ(heardLeft[i], wanted[i]) << "sample " << i;
        ASSERT_EQ(heardRight[i], wanted[i]) << "sample " << i;
    }

    device.stop();
    EXPECT_FALSE(device.isRunning());
    long played = callback.framesPlayed.load();
    device.stop();
    SDL_Delay(50);
    EXPECT_EQ(callback.framesPlayed.load(), played);
    // Stopped cleanly, it starts again.
    EXPECT_TRUE(device.start());
    device.stop();
    OggFiles::removeFolder(folder);
}

TEST(PortAudioDevice, AbsentOrDeviceLessApiFallsBackToOneWithAnOutput) {
    ASSERT_TRUE(hasJack()) << "needs the harness's JACK server";
    // This PortAudio has no CoreAudio; its ALSA and OSS find no device here.
    for (const char* name : {"CoreAudio", "ALSA"}) {
        EffectsCallback callback(nullptr);
        PortAudioDevice device;
        device.setCallback(&callback);
        device.setAPI(name);
        testing::internal::CaptureStdout();
        bool started = device.start();
        std::string log = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(started) << name;
        EXPECT_EQ(log, std::string("PortAudioDevice: host API ") + name +
                           " is not available, using JACK Audio Connection Kit.\n");
        SDL_Delay(100);
        EXPECT_GT(callback.framesPlayed.load(), 0);
        device.stop();
    }
}

TEST(PortAudioDevice, Runs48000HzWhenTheServerRefuses44100) {
    JackServer server(48000);
    ASSERT_TRUE(server.isReady());
    const char* previous = std::getenv("JACK_DEFAULT_SERVER");
    std::string saved = previous ? previous : "";
    setenv("JACK_DEFAULT_SERVER", server.getName().c_str(), 1);

    EffectsCallback callback(nullptr);
    PortAudioDevice device;
    device.setCallback(&callback);
    device.setAPI("JACK");
    testing::internal::CaptureStdout();
    bool started = device.start();
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(started);
    EXPECT_EQ(log, "44100Hz samplerate not supported, using 48000Hz.\n"
                   "Audio: resampling from 44100 Hz to 48000 Hz.\n");
    EXPECT_EQ(device.getSamplerate(), 48000.0);
    // A JACK client runs only at its server's rate, so blocks arriving at
    // all show the stream really runs at 48000 Hz. (Their pace is not
    // checked: a loaded machine slows the dummy back-end down.)
    long before = callback.framesPlayed.load();
    for (int i = 0; i < 200 && callback.framesPlayed.load() == before; ++i)
        SDL_Delay(10);
    EXPECT_GT(callback.framesPlayed.load(), before);
    device.stop();

    if (previous) {
        setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    } else {
        unsetenv("JACK_DEFAULT_SERVER");
    }
}

TEST(PortAudioDevice, StopReturnsOnlyOnceNoBlockUsesTheCallbackAnyMore) {
    ASSERT_TRUE(hasJack()) << "needs the harness's JACK server";
    HeldCallback callback;
    PortAudioDevice device;
    device.setCallback(&callback);
    device.setAPI("JACK");
    ASSERT_TRUE(device.start());
    for (int i = 0; i < 500 && callback.blocks.load() == 0; ++i)
        SDL_Delay(10);
    ASSERT_GT(callback.blocks.load(), 0);
    // A block is being made when the stop begins, and it keeps the JACK
    // server's cycle, and so the stream's stop, from finishing.
    callback.hold = true;
    for (int i = 0; i < 500 && !callback.inside.load(); ++i)
        SDL_Delay(10);
    if (!callback.inside.load()) {
        callback.hold = false;
        FAIL() << "no block came to be held";
    }
    std::thread stopping([&] {
        device.stop();
        callback.stopReturned = true;
    });
    // Longer than the stop's own bound of 3 s: a stop that gives up on the
    // stream has returned by then. The caller may now free the callback, so
    // the block must not go on.
    for (int i = 0; i < 500 && !callback.stopReturned.load(); ++i)
        SDL_Delay(10);
    callback.hold = false;
    stopping.join();
    for (int i = 0; i < 500 && callback.inside.load(); ++i)
        SDL_Delay(10);
    EXPECT_FALSE(callback.ranAfterStop.load()) << "stop returned while a block was still using the callback";
    long blocks = callback.blocks.load();
    SDL_Delay(100);
    EXPECT_EQ(callback.blocks.load(), blocks);
}

namespace {

// Plays the strings through the device to a server at rate Hz and finds
// their two lines in what was heard; xruns counts the cycles the server
// reported late or lost meanwhile.
struct Ring {
    double low = 0.0, high = 0.0;
    int xruns = 0;
};

void recordStrings(int rate, const std::string& folder, Ring& ring) {
    std::unique_ptr<JackServer> server;
    std::unique_ptr<ServerChoice> choice;
    if (rate != 44100) {
        server.reset(new JackServer(rate));
        ASSERT_TRUE(server->isReady());
        choice.reset(new ServerChoice(server->getName()));
    }
    Sounds sounds(folder);
    StreamingSound streaming(folder, false);
    StringsCallback callback(&sounds, &streaming);
    PortAudioDevice device;
    device.setCallback(&callback);
    device.setNumChannels(0, 2);
    device.setSamplerate(44100.0);
    device.setAPI("JACK");
    testing::internal::CaptureStdout();
    bool started = device.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started) << rate;
    ASSERT_EQ(device.getSamplerate(), rate);

    JackRecorder recorder(20 * static_cast<size_t>(rate));
    ASSERT_TRUE(recorder.isOpen());
    ASSERT_TRUE(recorder.connect("^PortAudio.*:out_"));
    recorder.start();
    sounds.playSound(Sounds::FinalSpeech);
    // The strings are silent until the effect reaches them, and a cycle
    // the server ran without our client (on a loaded machine) is
    // recorded as silence, while the mix waits: so what was heard, with
    // silence left out, is the ring from the effect's start with no gap.
    // Two seconds of it, however long the server takes to pass them.
    const size_t needed = 2 * static_cast<size_t>(rate);
    std::vector<float> heard;
    for (int i = 0; i < 180 && heard.size() < needed; ++i) {
        SDL_Delay(100);
        heard.clear();
        size_t frames = recorder.getFrames();
        for (size_t k = 0; k < frames; ++k)
            if (recorder.getLeft()[k] != 0.0f)
                heard.push_back(recorder.getLeft()[k]);
    }
    recorder.stop();
    device.stop();
    ASSERT_GE(heard.size(), needed) << rate << " Hz server";

    // From half a second on, when the effect has gone and the ring has
    // settled.
    const size_t from = static_cast<size_t>(rate) / 2;
    ring.low = peakFrequency(&heard[from], needed - from, rate, 150.0, 200.0);
    ring.high = peakFrequency(&heard[from], needed - from, rate, 320.0, 390.0);
    ring.xruns = recorder.getXruns();
}

} // namespace

// The strings ring at 172 and 345 Hz when the game mixes at 44100 Hz; a
// server at 48000 Hz must not raise them (unconverted they would ring 9 %
// sharp, at 188 and 375 Hz). Played through the device and recorded on the
// server, at the harness's 44100 Hz and at 48000 Hz.
TEST(PortAudioDevice, StringsRingAtTheirPitchAtEitherServerRate) {
    ASSERT_TRUE(hasJack()) << "needs the harness's JACK server";
    std::string folder = OggFiles::makeFolder("lumenfall-strings-rate");
    OggFiles::write(folder + "/finalSpeech.ogg", {OggFiles::sine(8000, 523.0, 0.5f)});
    for (int rate : {44100, 48000}) {
        // A cycle lost on a loaded machine cuts the ring where the recorder
        // missed it and smears the lines: such a recording is made again,
        // up to three times, and the last one is judged.
        Ring ring;
        for (int attempt = 0; attempt < 3 && (attempt == 0 || ring.xruns > 0); ++attempt) {
            recordStrings(rate, folder, ring);
            if (HasFatalFailure())
                return;
        }
        std::printf("strings at a %d Hz server: %.2f Hz and %.2f Hz (%d xruns)\n", rate, ring.low, ring.high,
                    ring.xruns);
        EXPECT_NEAR(ring.low, 172.27, 172.27 * 0.01) << rate << " Hz server";
        EXPECT_NEAR(ring.high, 344.53, 344.53 * 0.01) << rate << " Hz server";
    }
    OggFiles::removeFolder(folder);
}
