#pragma once

#include <SDL_mutex.h>

// A mutual-exclusion lock on a semaphore of count 1. Not re-entrant: taking
// it twice on one thread blocks for ever. Usually held through ScopedLock.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();

    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Waits for the section; false at once when the semaphore is missing.
    bool lock();
    void unlock();

private:
    friend class ScopedLock;
    SDL_sem* semaphore; // null when creation failed; then nothing is guarded
};
