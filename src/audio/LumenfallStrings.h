#pragma once

#include "StringModel.h"

#include <atomic>

// Six strings in a ring, each driven by its neighbour, the first also by the
// left channel of the block it is mixed into. The play state calls setLevel
// from the main thread and getAudio from the audio thread, after the
// streamed recordings have passed the output stage.
class LumenfallStrings {
public:
    static const int NumStrings = 6;

    LumenfallStrings();
    ~LumenfallStrings();

    LumenfallStrings(const LumenfallStrings&) = delete;
    LumenfallStrings& operator=(const LumenfallStrings&) = delete;

    // Main thread. 0 or less silences the strings and freezes them.
    void setLevel(float level);
    // Audio thread. Adds the strings to an interleaved stereo block.
    void getAudio(float* buffer, int frames);

    // For inspection: string k of the ring.
    const StringModel& getString(int k) const { return strings[k]; }

private:
    StringModel strings[NumStrings]; // audio thread once built; lengths 128, 64, 128, 64, 128, 64
    std::atomic<float> level;        // written by the main thread, read by the audio thread
};
