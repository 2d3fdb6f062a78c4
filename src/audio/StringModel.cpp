#include "StringModel.h"

#include "ScopedLock.h"

#include <cmath>

namespace {

// Shared by every StringModel built without an explicit length; strings are
// built on the main thread only.
int nextAlternatingLength() {
    static bool alternateSizes = false;
    int length = alternateSizes ? 64 : 128;
    alternateSizes = !alternateSizes;
    return length;
}

} // namespace

StringModel::StringModel() : StringModel(nextAlternatingLength()) {}

StringModel::StringModel(int cells)
    : output(0.0f), length(cells), mask(cells - 1), inputPos(cells / 4), outputPos((cells / 4) * 3), start(0),
      upper(cells, 0.0f), lower(cells, 0.0f), filterState(0.0f), damping(0.66f), inputString(nullptr),
      pendingInput(0.0f) {}

void StringModel::setInputString(StringModel* other) {
    ScopedLock hold(lock);
    inputString = other;
}

void StringModel::applyInput(float x) {
    ScopedLock hold(lock);
    pendingInput = x;
}

float StringModel::getSample() {
    float* up = upper.data();
    float* low = lower.data();
    {
        ScopedLock hold(lock);
        int in = (start + inputPos) & mask;
        if (inputString) {
            float coupled = inputString->output;
            up[in] += 0.8f * coupled;
            low[in] += -0.8f * coupled;
        }
        up[in] += pendingInput;
        low[in] -= pendingInput;
        pendingInput = 0.0f;
    }
    // Moving cell 0 back by one shifts every cell towards the far end; the
    // cell that was last is now cell 0 and is overwritten below.
    start = (start - 1) & mask;
    int first = start;
    int last = (start + length - 1) & mask;
    // Rigid end: the returning wave is reflected inverted.
    up[first] = -low[last];
    // Damped end: a one-pole low-pass (0.34 new, 0.66 old), reflected inverted.
    float y = filterState + (1.0f - damping) * (up[last] - filterState);
    low[first] = -y;
    filterState = y;
    int pick = (start + outputPos) & mask;
    output = std::tanh(up[pick] + low[pick]);
    return output;
}
