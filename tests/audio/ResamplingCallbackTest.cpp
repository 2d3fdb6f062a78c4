#include "ResamplingCallback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Allocations made through malloc, calloc or realloc while counting is on:
// libsamplerate allocates with malloc, which no operator new replacement
// sees. The sanitizer builds bring their own malloc, so there the count is
// not kept.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

#ifdef LUMENFALL_COUNT_MALLOC
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* memory, size_t size);

void* malloc(size_t size) {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* memory, size_t size) {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(memory, size);
}
}
#endif

namespace {

const double Pi = 3.14159265358979323846;

// A 441 Hz sine at 44100 Hz, sine on the left and cosine on the right.
class SineSource : public PortAudioCallback {
public:
    void getAudio(float*, float* output, int frames) override {
        for (int i = 0; i < frames; ++i) {
            double phase = 2.0 * Pi * 441.0 * static_cast<double>(position + i) / 44100.0;
            output[2 * i] = static_cast<float>(0.5 * std::sin(phase));
            output[2 * i + 1] = static_cast<float>(0.5 * std::cos(phase));
        }
        position += frames;
    }

    long position = 0; // frames given so far
};

// Upward zero crossings per second, interpolated between samples.
double zeroCrossingFrequency(const std::vector<float>& signal, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = 1; i < signal.size(); ++i) {
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            double t = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
            if (first < 0.0)
                first = t;
            else
                ++crossings;
            last = t;
        }
    }
    return crossings > 0 ? rate * crossings / (last - first) : 0.0;
}

// The largest distance of the signal from the sine of the given frequency
// that fits it best (any amplitude and phase). A dropped, repeated or
// zeroed stretch, or a click, stands far out from the fit.
double largestMisfit(const std::vector<float>& signal, double frequency, double rate) {
    double ss = 0.0, sc = 0.0, cc = 0.0, xs = 0.0, xc = 0.0;
    for (size_t i = 0; i < signal.size(); ++i) {
        double s = std::sin(2.0 * Pi * frequency * static_cast<double>(i) / rate);
        double c = std::cos(2.0 * Pi * frequency * static_cast<double>(i) / rate);
        ss += s * s;
        sc += s * c;
        cc += c * c;
        xs += signal[i] * s;
        xc += signal[i] * c;
    }
    double det = ss * cc - sc * sc;
    double a = (xs * cc - xc * sc) / det;
    double b = (xc * ss - xs * sc) / det;
    double worst = 0.0;
    for (size_t i = 0; i < signal.size(); ++i) {
        double s = std::sin(2.0 * Pi * frequency * static_cast<double>(i) / rate);
        double c = std::cos(2.0 * Pi * frequency * static_cast<double>(i) / rate);
        worst = std::max(worst, std::fabs(signal[i] - (a * s + b * c)));
    }
    return worst;
}

} // namespace

TEST(ResamplingCallback, SineKeepsItsPitchAndShapeOverOddBlocksAt48000Hz) {
    SineSource source;
    ResamplingCallback resampler(&source, 44100.0, 48000.0, 2);
    ASSERT_TRUE(resampler.isReady());

    // Block sizes as a host may give them, one larger than the buffer,
    // after a stretch of single frames.
    const int sizes[] = {1, 7, 480, 127, 1023, 3, 512, 10007, 333, 64, 2048, 5};
    const int singleFrames = 500;
    std::vector<float> left, right;
    std::vector<float> block;
    long made = 0;
    long allocated = 0;
    for (int round = 0; left.size() < 4 * 48000; ++round) {
        int frames = round < singleFrames ? 1 : sizes[round % (sizeof(sizes) / sizeof(sizes[0]))];
        block.assign(2 * static_cast<size_t>(frames), std::nanf(""));
        allocations.store(0);
        counting.store(true);
        resampler.getAudio(nullptr, block.data(), frames);
        counting.store(false);
        allocated += allocations.load();
        made += frames;
        for (int i = 0; i < frames; ++i) {
            ASSERT_FALSE(std::isnan(block[2 * i]) || std::isnan(block[2 * i + 1]))
                << "frame " << i << " of a block of " << frames << " left unwritten";
            left.push_back(block[2 * i]);
            right.push_back(block[2 * i + 1]);
        }
        // The source is pulled only as far as the blocks need: what it gave
        // stays within one pull and the converter's filter of the ideal
        // 44100 / 48000 of what was played (here 46 to 110 frames ahead), also
        // over blocks of single frames.
        double ideal = static_cast<double>(made) * 44100.0 / 48000.0;
        ASSERT_LT(std::fabs(static_cast<double>(source.position) - ideal), 128.0)
            << "after " << made << " frames: " << source.position << " pulled for " << ideal;
    }
#ifdef LUMENFALL_COUNT_MALLOC
    EXPECT_EQ(allocated, 0) << "the audio-thread path allocated";
#endif

    // The converter's start-up (its filter filling) is left out.
    left.erase(left.begin(), left.begin() + 2000);
    right.erase(right.begin(), right.begin() + 2000);
    double frequency = zeroCrossingFrequency(left, 48000.0);
    std::printf("441 Hz at 44100 Hz, played at 48000 Hz: %.3f Hz; largest misfit %.2g left, %.2g right\n",
                frequency, largestMisfit(left, 441.0, 48000.0), largestMisfit(right, 441.0, 48000.0));
    EXPECT_NEAR(frequency, 441.0, 0.05);
    EXPECT_LT(largestMisfit(left, 441.0, 48000.0), 2e-3);
    EXPECT_LT(largestMisfit(right, 441.0, 48000.0), 2e-3);
    // Left and right stay a quarter period apart: no channel is swapped or
    // shifted by a sample.
    double quarter = 48000.0 / 441.0 / 4.0;
    size_t at = static_cast<size_t>(10 * quarter);
    double expectedRight = left[at + static_cast<size_t>(std::lround(quarter))];
    EXPECT_NEAR(right[at], expectedRight, 0.01);
}
