#include "Thread.h"

#include "Log.h"

Thread::Thread() : handle(nullptr), started(false) {}

Thread::~Thread() {
    waitForThread();
}

void Thread::startThread(Thread* thread) {
    if (started) {
        return;
    }
    handle = SDL_CreateThread(&Thread::threadMethod, thread);
    started = handle != nullptr;
    if (!handle) {
        Log::plain("Could not create thread.  Assuming this is a fatal error...");
    }
}

void Thread::waitForThread() {
    if (handle) {
        SDL_WaitThread(handle, nullptr);
        // A later wait (the base destructor after a subclass's) finds nothing to join.
        handle = nullptr;
    }
}

int Thread::threadMethod(void* data) {
    return static_cast<Thread*>(data)->run() ? 1 : 0;
}
