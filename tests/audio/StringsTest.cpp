#include "LumenfallStrings.h"
#include "StringModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The plain description of one string: two lines whose every cell moves one
// place along per sample.
struct ShiftingString {
    explicit ShiftingString(int n) : n(n), upper(n, 0.0f), lower(n, 0.0f) {}

    float sample() {
        int in = n / 4;
        if (input) {
            upper[in] += 0.8f * input->output;
            lower[in] += -0.8f * input->output;
        }
        upper[in] += pending;
        lower[in] -= pending;
        pending = 0.0f;
        for (int i = n - 1; i >= 1; --i) {
            upper[i] = upper[i - 1];
            lower[i] = lower[i - 1];
        }
        upper[0] = -lower[n - 1];
        float y = filter + (1.0f - 0.66f) * (upper[n - 1] - filter);
        lower[0] = -y;
        filter = y;
        int out = (n / 4) * 3;
        output = std::tanh(upper[out] + lower[out]);
        return output;
    }

    int n;
    std::vector<float> upper, lower;
    float filter = 0.0f;
    float pending = 0.0f;
    float output = 0.0f;
    ShiftingString* input = nullptr;
};

// The plain description of the six-string ring mixed into a block.
struct ShiftingRing {
    ShiftingRing() {
        for (int k = 0; k < 6; ++k) {
            strings.emplace_back(k % 2 == 0 ? 128 : 64);
        }
        for (int k = 1; k < 6; ++k) {
            strings[k].input = &strings[k - 1];
        }
        strings[0].input = &strings[5];
    }

    void mix(float* buffer, int frames, float level) {
        if (level <= 0.0f) {
            return;
        }
        for (int i = 0; i < frames; ++i) {
            strings[0].pending = buffer[2 * i] * 0.5f * level;
            for (ShiftingString& s : strings) {
                float x = s.sample();
                buffer[2 * i] += x * level * 0.12f;
                buffer[2 * i + 1] += x * level * 0.12f;
            }
        }
    }

    std::vector<ShiftingString> strings;
};

// Frequency of a ringing signal from its upward zero crossings, interpolated.
double measureFrequency(const std::vector<float>& signal, int from) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = static_cast<size_t>(from) + 1; i < signal.size(); ++i) {
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            double t = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
            if (first < 0.0) {
                first = t;
            } else {
                ++crossings;
            }
            last = t;
        }
    }
    return crossings > 0 ? 44100.0 * crossings / (last - first) : 0.0;
}

double energy(const std::vector<float>& block, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(block[i]) * block[i];
    }
    return sum;
}

} // namespace

TEST(LumenfallStrings, MatchesTheShiftingReferenceBitForBit) {
    LumenfallStrings strings;
    ShiftingRing reference;
    strings.setLevel(1.0f);
    // Thirty seconds of a noisy, swelling input in blocks of varying size;
    // the level changes between blocks as the play state's would.
    std::vector<float> block(2 * 700), expected(2 * 700);
    unsigned int seed = 12345;
    long frame = 0;
    int mismatches = 0;
    for (int b = 0; frame < 30 * 44100; ++b) {
        int frames = 100 + (b * 37) % 600;
        float level = 0.25f + 0.75f * static_cast<float>((b / 50) % 4) / 3.0f;
        strings.setLevel(level);
        for (int i = 0; i < 2 * frames; ++i) {
            seed = seed * 1103515245u + 12345u;
            float noise = static_cast<float>((seed >> 9) & 0xffff) / 32768.0f - 1.0f;
            block[i] = (b % 40 < 20) ? noise * 0.3f : 0.0f;
        }
        std::memcpy(expected.data(), block.data(), sizeof(float) * 2 * frames);
        strings.getAudio(block.data(), frames);
        reference.mix(expected.data(), frames, level);
        for (int i = 0; i < 2 * frames; ++i) {
            if (std::memcmp(&block[i], &expected[i], sizeof(float)) != 0) {
                ++mismatches;
            }
        }
        frame += frames;
    }
    EXPECT_EQ(mismatches, 0);
    // The comparison was of a ringing signal, not of silence.
    EXPECT_NE(reference.strings[3].output, 0.0f);
}

TEST(LumenfallStrings, LevelZeroLeavesTheBlockAndTheStringsAlone) {
    LumenfallStrings strings;
    std::vector<float> block = {0.5f, -0.25f, 1.0f, 0.75f, -1.0f, 0.125f};
    std::vector<float> before = block;
    strings.getAudio(block.data(), 3);
    EXPECT_EQ(block, before);
    strings.setLevel(-0.5f);
    strings.getAudio(block.data(), 3);
    EXPECT_EQ(block, before);
    // No string advanced, so nothing was excited either.
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(strings.getString(k).getOutput(), 0.0f);
    }
}

TEST(LumenfallStrings, FreshRingStaysSilentWithoutInput) {
    LumenfallStrings strings;
    strings.setLevel(1.0f);
    std::vector<float> block(2 * 4096, 0.0f);
    strings.getAudio(block.data(), 4096);
    for (float x : block) {
        ASSERT_EQ(x, 0.0f);
    }
}

TEST(LumenfallStrings, ImpulseRingsTheSameInBothChannelsAndStaysBounded) {
    LumenfallStrings strings;
    strings.setLevel(1.0f);
    const int frames = 4 * 44100;
    std::vector<float> block(2 * frames, 0.0f);
    block[0] = 1.0f;
    strings.getAudio(block.data(), frames);
    std::vector<float> right(frames);
    for (int i = 0; i < frames; ++i) {
        right[i] = block[2 * i + 1];
        if (i > 0) {
            ASSERT_EQ(block[2 * i], block[2 * i + 1]) << "frame " << i;
        }
        ASSERT_TRUE(std::isfinite(right[i]));
        // Six pick-ups limited by tanh to 1, each mixed at 0.12.
        ASSERT_LE(std::fabs(right[i]), 0.72f);
    }
    // The impulse itself stays on the left, with the strings' first sample.
    EXPECT_EQ(block[0], 1.0f + block[1]);
    EXPECT_GT(energy(right, 0, 22050), 1e-4);
}

TEST(StringModel, PluckedStringDecays) {
    // Alone, without the ring's coupling, the damped end takes energy out on
    // every pass. (Coupled in the ring, each string feeds 0.8 of its output
    // into the next on every sample, and the six settle into a steady tone.)
    StringModel string(128);
    string.applyInput(0.5f);
    std::vector<float> signal(3 * 44100);
    for (float& x : signal) {
        x = string.getSample();
    }
    double early = energy(signal, 0, 22050);
    double late = energy(signal, 2 * 44100 + 22050, 3 * 44100);
    EXPECT_GT(early, 0.01);
    EXPECT_LT(late, early * 1e-2);
}

TEST(StringModel, StringsRingAtTheirLengthsPitch) {
    // One loop is 2N - 2 samples plus about 2 of the low-pass: 44100 / 256
    // and 44100 / 128.
    struct Case {
        int length;
        double expected;
    } cases[] = {{128, 172.27}, {64, 344.53}};
    for (const Case& c : cases) {
        StringModel string(c.length);
        string.applyInput(0.5f);
        std::vector<float> signal(44100);
        for (float& x : signal) {
            x = string.getSample();
        }
        double frequency = measureFrequency(signal, 2000);
        EXPECT_NEAR(frequency, c.expected, c.expected * 0.02) << "length " << c.length;
    }
}

TEST(StringModel, OnlyTheLastInputBeforeASampleIsApplied) {
    StringModel twice(128), once(128), summed(128);
    twice.applyInput(0.7f);
    twice.applyInput(0.2f);
    once.applyInput(0.2f);
    summed.applyInput(0.9f);
    bool differsFromSum = false;
    for (int i = 0; i < 2000; ++i) {
        float a = twice.getSample();
        ASSERT_EQ(a, once.getSample()) << "sample " << i;
        differsFromSum = differsFromSum || a != summed.getSample();
    }
    EXPECT_TRUE(differsFromSum);
}

TEST(LumenfallStrings, EveryRingGetsAlternatingLengths) {
    LumenfallStrings first;
    LumenfallStrings second;
    const int expected[6] = {128, 64, 128, 64, 128, 64};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(first.getString(k).getLength(), expected[k]) << "first ring, string " << k;
        EXPECT_EQ(second.getString(k).getLength(), expected[k]) << "second ring, string " << k;
    }
}
