#include "common/Sync.h"

#include <windows.h>

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "a lock and a condition are one pointer each, zero when new");

void TLock::lock() {
    ::AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&State));
}

void TLock::unlock() {
    ::ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&State));
}

void TCondition::notify_one() {
    ::WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&State));
}

void TCondition::notify_all() {
    ::WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&State));
}

void TCondition::Sleep(std::unique_lock<TLock>& lock, long milliseconds) {
    // Returns with the lock held again, also on a timeout, as std::condition_variable does.
    ::SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&State),
                                reinterpret_cast<PSRWLOCK>(&lock.mutex()->State),
                                milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds), 0);
}
