#include "Thread.h"
#include "CriticalSection.h"
#include "ScopedLock.h"

#include <gtest/gtest.h>

#include <SDL_timer.h>
#include <atomic>
#include <chrono>

namespace {

// Counts its runs; optionally takes a section while it runs.
class CountingThread : public Thread {
public:
    explicit CountingThread(CriticalSection* section = nullptr) : section(section) {}
    ~CountingThread() override { waitForThread(); }

    bool run() override {
        if (section) {
            ScopedLock hold(*section);
            acquired.store(true, std::memory_order_release);
        }
        runs.fetch_add(1, std::memory_order_acq_rel);
        return true;
    }
    void join() { waitForThread(); }

    CriticalSection* section;
    std::atomic<bool> acquired{false};
    std::atomic<int> runs{0};
};

} // namespace

TEST(ScopedLock, SecondHolderWaitsUntilTheFirstReleases) {
    CriticalSection section;
    CountingThread thread(&section);
    {
        ScopedLock hold(section);
        thread.startThread(&thread);
        SDL_Delay(150);
        EXPECT_FALSE(thread.acquired.load(std::memory_order_acquire));
    }
    thread.join();
    EXPECT_TRUE(thread.acquired.load(std::memory_order_acquire));
}

TEST(CriticalSection, LockAndUnlockPairUp) {
    CriticalSection section;
    EXPECT_TRUE(section.lock());
    section.unlock();
    // A second lock after the unlock does not block.
    EXPECT_TRUE(section.lock());
    section.unlock();
}

TEST(Thread, StartsOnceEvenWhenAskedTwice) {
    CountingThread thread;
    thread.startThread(&thread);
    thread.startThread(&thread);
    thread.join();
    // Not even after the first thread has ended.
    thread.startThread(&thread);
    thread.join();
    EXPECT_EQ(thread.runs.load(), 1);
}

TEST(Thread, DestroyingAnUnstartedThreadReturnsAtOnce) {
    auto before = std::chrono::steady_clock::now();
    { CountingThread thread; }
    auto elapsed = std::chrono::steady_clock::now() - before;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 50);
}
