#pragma once

class CriticalSection;

// Holds a CriticalSection from construction to destruction, so every wait is
// matched by one release, also when an exception leaves the scope.
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section);
    ~ScopedLock();

    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section;
};
