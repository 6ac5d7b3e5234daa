// A recursive lock: a critical section on Windows, a recursive mutex elsewhere.
// Each instance has two; whoever takes both takes stateLock first.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <mutex>
#endif

namespace vexlan {

struct RecursiveLock {
#if defined(_WIN32)
    CRITICAL_SECTION section;
#else
    std::recursive_mutex mutex;
#endif
};

inline void initLock(RecursiveLock& lock) {
#if defined(_WIN32)
    InitializeCriticalSection(&lock.section);
#else
    (void)lock;
#endif
}

inline void deleteLock(RecursiveLock& lock) {
#if defined(_WIN32)
    DeleteCriticalSection(&lock.section);
#else
    (void)lock;
#endif
}

inline void enterLock(RecursiveLock& lock) {
#if defined(_WIN32)
    EnterCriticalSection(&lock.section);
#else
    lock.mutex.lock();
#endif
}

inline void leaveLock(RecursiveLock& lock) {
#if defined(_WIN32)
    LeaveCriticalSection(&lock.section);
#else
    lock.mutex.unlock();
#endif
}

class LockHold {
public:
    explicit LockHold(RecursiveLock& lock) : lock_(lock) { enterLock(lock_); }
    ~LockHold() { leaveLock(lock_); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

private:
    RecursiveLock& lock_;
};

}  // namespace vexlan
