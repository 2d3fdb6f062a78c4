// Renders the play state's full mix offline and prints what it costs:
// 24 streams at full level decoding real Ogg files, both effects playing, the
// strings at level 1, mixed by the same calls the audio callback makes.
//   audio_benchmark [seconds]   (10 by default)
// CPU time is measured per thread: the mixing (the callback's work) apart
// from the decoding (the streaming thread's work, done here between blocks).
// Then the cost of converting a mix to a 48000 Hz stream, on top of mixing.
#include "LumenfallStrings.h"
#include "OggFiles.h"
#include "ResamplingCallback.h"
#include "Sounds.h"
#include "StreamingSound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

double threadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The callback's work for one block: clear, effects, then the play state's
// streams with the output stage and the strings on top.
__attribute__((noinline)) void mixBlock(float* out, int frames, Sounds& sounds, StreamingSound& streaming,
                                        LumenfallStrings& strings) {
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    sounds.getAudio(out, frames);
    streaming.getAudio(out, frames);
    strings.getAudio(out, frames);
}

// A mix that costs next to nothing, so that what is measured through it is
// the conversion.
class SineMix : public PortAudioCallback {
public:
    void getAudio(float*, float* output, int frames) override {
        for (int i = 0; i < 2 * frames; ++i) {
            phase += 0.01f;
            output[i] = phase - static_cast<float>(static_cast<int>(phase)) - 0.5f;
        }
    }
    float phase = 0.0f;
};

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::string folder = OggFiles::makeFolder("lumenfall-bench");
    std::printf("Making recordings...\n");
    for (int i = 0; i < 6; ++i) {
        // Ten seconds each, stereo, with some noise so the decoder has work.
        std::vector<float> left = OggFiles::sine(441000, 200.0 + 90.0 * i, 0.3f);
        std::vector<float> right = OggFiles::sine(441000, 310.0 + 70.0 * i, 0.3f);
        unsigned int seed = 77u + static_cast<unsigned int>(i);
        for (size_t t = 0; t < left.size(); ++t) {
            seed = seed * 1103515245u + 12345u;
            left[t] += static_cast<float>((seed >> 9) & 0xffff) / 655360.0f - 0.05f;
        }
        OggFiles::write(folder + "/s" + std::to_string(i) + ".ogg", {left, right});
    }
    OggFiles::write(folder + "/finalSpeech.ogg", {OggFiles::sine(441000, 180.0, 0.4f)});
    OggFiles::write(folder + "/finalSpeech-forward.ogg", {OggFiles::sine(441000, 250.0, 0.4f)});

    Sounds sounds(folder);
    StreamingSound streaming(folder, false);
    LumenfallStrings strings;
    for (int i = 0; i < 47; ++i) {
        streaming.update(0.0f, 0.0f, 0.0f);
    }
    sounds.playSound(Sounds::FinalSpeech);
    sounds.playSound(Sounds::FinalSpeechForward);
    strings.setLevel(1.0f);

    const int frames = 512;
    const long total = static_cast<long>(seconds * 44100.0);
    std::vector<float> out(2 * frames);
    double mixing = 0.0, decoding = 0.0, peak = 0.0;
    long done = 0;
    while (done < total) {
        double t0 = threadSeconds();
        mixBlock(out.data(), frames, sounds, streaming, strings);
        double t1 = threadSeconds();
        streaming.refillBuffers();
        streaming.update(0.0f, 0.0f, 0.0f);
        double t2 = threadSeconds();
        mixing += t1 - t0;
        decoding += t2 - t1;
        for (float x : out) {
            peak = x > peak ? x : (-x > peak ? -x : peak);
        }
        done += frames;
    }
    double audioSeconds = done / 44100.0;
    std::printf("Rendered %.2f s of audio (%ld frames), peak %.3f\n", audioSeconds, done, peak);
    std::printf("Mixing (callback):      %.4f CPU s per s of audio\n", mixing / audioSeconds);
    std::printf("Decoding (streaming):   %.4f CPU s per s of audio\n", decoding / audioSeconds);
    std::printf("Both:                   %.4f CPU s per s of audio\n", (mixing + decoding) / audioSeconds);

    SineMix mix;
    ResamplingCallback resampler(&mix, 44100.0, 48000.0, 2);
    double plain = 0.0, converted = 0.0;
    for (long made = 0; made < total; made += frames) {
        double t0 = threadSeconds();
        mix.getAudio(nullptr, out.data(), frames);
        double t1 = threadSeconds();
        resampler.getAudio(nullptr, out.data(), frames);
        double t2 = threadSeconds();
        plain += t1 - t0;
        converted += t2 - t1;
    }
    std::printf("Resampling to 48000 Hz: %.4f CPU s per s of audio (on top of the mix)\n",
                (converted - plain * 44100.0 / 48000.0) / (total / 48000.0));
    OggFiles::removeFolder(folder);
    return 0;
}
