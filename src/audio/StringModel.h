#pragma once

#include "CriticalSection.h"

#include <vector>

// One plucked string as two delay lines (waves travelling each way) with a
// rigid reflection at one end and a damped one at the other, an input cell a
// quarter of the way along and a pick-up at three quarters.
//
// The lines are rings: instead of shifting every cell by one per sample, the
// index of cell 0 moves back by one, which gives the same values in the same
// order of arithmetic, so the output is identical to shifting.
//
// getSample and applyInput run on the audio thread; applyInput may come from
// any thread since the lock covers pendingInput and inputString.
class StringModel {
public:
    // Lengths alternate 128, 64, 128, ... over all strings built this way.
    StringModel();
    // A string of the given length (a power of two) that leaves the
    // alternation alone.
    explicit StringModel(int length);

    StringModel(const StringModel&) = delete;
    StringModel& operator=(const StringModel&) = delete;

    // Advances the string by one sample and returns the pick-up's output.
    float getSample();
    // The string whose output drives this one, or null; set only while no
    // audio callback runs the string.
    void setInputString(StringModel* other);
    // Excitation for the next sample; replaces any value not yet taken.
    void applyInput(float x);

    int getLength() const { return length; }
    float getOutput() const { return output; }

private:
    float output;             // audio thread; last sample returned, read by the coupled string
    int length;               // cells per line: 128 or 64
    int mask;                 // length - 1, wraps ring indices
    int inputPos;             // length / 4: where excitation and coupling are added
    int outputPos;            // length / 4 * 3: where the pick-up reads
    int start;                // audio thread; physical index of logical cell 0 in both lines
    std::vector<float> upper; // audio thread; wave travelling towards the damped end
    std::vector<float> lower; // audio thread; wave travelling back to the rigid end
    float filterState;        // audio thread; previous output of the end low-pass
    float damping;            // 0.66: weight of the previous low-pass output

    CriticalSection lock;     // guards inputString and pendingInput
    StringModel* inputString; // under lock; not owned
    float pendingInput;       // under lock; consumed by the next getSample
};
