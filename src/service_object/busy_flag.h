// The one-byte busy flags shared by the method thread, the port monitor thread and the timer
// callbacks. A waiter polls with 1 ms sleeps through the platform clock; the test-and-set is a
// real atomic operation, so two waiters can never both take the flag.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/platform.h"

namespace miraxld {

class BusyFlag {
  public:
    // Waits until the flag is clear and sets it, polling every `pollMs`.
    void Acquire(IClock& clock, int pollMs = 1) {
        while (m_flag.test_and_set(std::memory_order_acquire)) {
            clock.SleepMs(pollMs);
        }
    }
    void Release() { m_flag.clear(std::memory_order_release); }
    bool IsSet() const { return m_flag.test(std::memory_order_acquire); }
    // Waits until the flag is clear without taking it.
    void WaitClear(IClock& clock, int pollMs = 1) const {
        while (IsSet()) {
            clock.SleepMs(pollMs);
        }
    }
    // Forces the flag clear (OpenService and the end of a claim reset it).
    void Reset() { m_flag.clear(std::memory_order_release); }

  private:
    std::atomic_flag m_flag = ATOMIC_FLAG_INIT;
};

// Holds a flag for one scope.
class BusyFlagGuard {
  public:
    BusyFlagGuard(BusyFlag& flag, IClock& clock, int pollMs = 1) : m_flag(flag) {
        m_flag.Acquire(clock, pollMs);
    }
    ~BusyFlagGuard() { m_flag.Release(); }
    BusyFlagGuard(const BusyFlagGuard&) = delete;
    BusyFlagGuard& operator=(const BusyFlagGuard&) = delete;

  private:
    BusyFlag& m_flag;
};

// Takes two flags in a fixed order (the screen before the strip), so no two holders deadlock.
class TwoFlagGuard {
  public:
    TwoFlagGuard(BusyFlag& first, BusyFlag& second, IClock& clock)
        : m_first(first), m_second(second) {
        m_first.Acquire(clock);
        m_second.Acquire(clock);
    }
    ~TwoFlagGuard() {
        m_second.Release();
        m_first.Release();
    }
    TwoFlagGuard(const TwoFlagGuard&) = delete;
    TwoFlagGuard& operator=(const TwoFlagGuard&) = delete;

  private:
    BusyFlag& m_first;
    BusyFlag& m_second;
};

// A semaphore of count 1 and maximum 1 that any thread may release.
class BinarySemaphore {
  public:
    void Acquire() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_available; });
        m_available = false;
    }
    void Release() {
        {
            std::lock_guard lock(m_mutex);
            m_available = true;
        }
        m_cv.notify_one();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_available = true;
};

class SemaphoreGuard {
  public:
    explicit SemaphoreGuard(BinarySemaphore& semaphore) : m_semaphore(semaphore) {
        m_semaphore.Acquire();
    }
    ~SemaphoreGuard() { m_semaphore.Release(); }
    SemaphoreGuard(const SemaphoreGuard&) = delete;
    SemaphoreGuard& operator=(const SemaphoreGuard&) = delete;

  private:
    BinarySemaphore& m_semaphore;
};

}  // namespace miraxld
