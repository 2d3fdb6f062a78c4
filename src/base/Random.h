#pragma once

#include <cstdint>

// The program's one pseudo-random source: a hash of a counter seeded from the
// clock. Draws are made on the main thread only.
class Random {
public:
    static Random& getGlobal();
    // One draw on the global counter: a value from -1 to 1.
    static float next() { return getGlobal().draw(); }
    // One draw on the global counter taken to the unit interval: a value from
    // 0 to 1, which each caller scales to its own range.
    static float uniform() { return (next() + 1.0f) * 0.5f; }

    // One draw on this instance's counter.
    float draw() {
        // Unsigned arithmetic gives the 32-bit wrap-around the hash relies on.
        counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
        uint32_t n = static_cast<uint32_t>(counter);
        n = n ^ (n << 13);
        uint32_t v = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7fffffffu;
        return static_cast<float>(1.0 - static_cast<double>(v) / 1073741824.0);
    }

    int32_t counter; // seeded with the time in seconds
    Random();
};
