#include "ScopedLock.h"

#include "CriticalSection.h"

ScopedLock::ScopedLock(CriticalSection& heldSection) : section(heldSection) {
    if (section.semaphore) {
        SDL_SemWait(section.semaphore);
    }
}

ScopedLock::~ScopedLock() {
    if (section.semaphore) {
        SDL_SemPost(section.semaphore);
    }
}
