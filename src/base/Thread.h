#pragma once

#include <SDL_thread.h>

// A background thread on SDL threads. A subclass supplies run() and starts
// the thread with startThread(this); the destructor waits for run() to
// return, so the subclass must ask it to stop first.
class Thread {
public:
    Thread();
    virtual ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts one thread running thread->run(); does nothing when this object
    // has already started one (even if that thread has ended since).
    void startThread(Thread* thread);

    // The thread body; its result becomes the thread's exit code (unused).
    virtual bool run() = 0;

protected:
    // Waits for the thread to end; does nothing when none was started.
    void waitForThread();

private:
    static int threadMethod(void* data);

    SDL_Thread* handle; // main thread only; null until started and again once joined
    bool started;       // main thread only; a thread is started at most once
};
