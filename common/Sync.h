// A lock and a condition for threads that hand work to each other. On Windows they are the
// system's slim reader/writer lock and condition variable (Vista and later), which wait in the
// kernel only when they must. The C++ library's mutex and condition of this toolchain go
// through its POSIX-threads layer, whose condition spins and yields under contention; under
// Wine each of those waits and wakes is also a request to the Wine server. Elsewhere the
// standard ones. Both are used as std::mutex and std::condition_variable are.
#pragma once

#include <chrono>
#include <mutex>

#ifdef _WIN32

class TLock {
public:
    TLock() = default;
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

    void lock();
    void unlock();

private:
    friend class TCondition;
    void* State = nullptr; // an SRWLOCK, SRWLOCK_INIT
};

class TCondition {
public:
    TCondition() = default;
    TCondition(const TCondition&) = delete;
    TCondition& operator=(const TCondition&) = delete;

    void notify_one();
    void notify_all();
    void wait(std::unique_lock<TLock>& lock) { Sleep(lock, -1); }
    template <class TReady> void wait(std::unique_lock<TLock>& lock, TReady ready) {
        while (!ready())
            wait(lock);
    }
    // False when the time ran out before ready() held.
    template <class TReady>
    bool wait_for(std::unique_lock<TLock>& lock, std::chrono::milliseconds timeout, TReady ready) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!ready()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            Sleep(lock, static_cast<long>(left.count()));
        }
        return true;
    }

private:
    void* State = nullptr; // a CONDITION_VARIABLE, CONDITION_VARIABLE_INIT

    void Sleep(std::unique_lock<TLock>& lock, long milliseconds); // -1: no limit
};

#else

#include <condition_variable>

using TLock = std::mutex;
using TCondition = std::condition_variable;

#endif
