#include "CriticalSection.h"

#include "Log.h"

CriticalSection::CriticalSection() : semaphore(SDL_CreateSemaphore(1)) {
    if (!semaphore) {
        Log::plain("Critical Section: Could not create semaphore!");
    }
}

CriticalSection::~CriticalSection() {
    if (semaphore) {
        SDL_DestroySemaphore(semaphore);
    }
}

bool CriticalSection::lock() {
    if (!semaphore) {
        return false;
    }
    return SDL_SemWait(semaphore) == 0;
}

void CriticalSection::unlock() {
    if (semaphore) {
        SDL_SemPost(semaphore);
    }
}
