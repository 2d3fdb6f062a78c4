#include "LumenfallStrings.h"

LumenfallStrings::LumenfallStrings() : level(0.0f) {
    for (int k = 1; k < NumStrings; ++k) {
        strings[k].setInputString(&strings[k - 1]);
    }
    strings[0].setInputString(&strings[NumStrings - 1]);
}

LumenfallStrings::~LumenfallStrings() {
    for (StringModel& string : strings) {
        string.setInputString(nullptr);
    }
}

void LumenfallStrings::setLevel(float newLevel) {
    level.store(newLevel, std::memory_order_release);
}

// Runs inside the audio callback: no allocation, no I/O, no logging; the only
// waits are the strings' own short locks.
void LumenfallStrings::getAudio(float* buffer, int frames) {
    // One reading per block keeps the block's gain steady.
    float currentLevel = level.load(std::memory_order_acquire);
    if (currentLevel <= 0.0f) {
        return;
    }
    for (int i = 0; i < frames; ++i) {
        strings[0].applyInput(buffer[2 * i] * 0.5f * currentLevel);
        for (StringModel& string : strings) {
            float s = string.getSample();
            float added = s * currentLevel * 0.12f;
            buffer[2 * i] += added;
            buffer[2 * i + 1] += added;
        }
    }
}
