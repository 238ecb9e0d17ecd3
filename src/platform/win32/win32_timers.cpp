// Periodic timers on the system's default timer queue.
//
// Ownership: the queue gets only the timer's number as its context, never a pointer. A callback
// looks the number up under the table's lock and runs a shared copy of the function, so
// Delete (which does not wait for a running callback) can drop the table's reference at once:
// a late callback finds nothing and returns, and a running one keeps its function alive until
// it has finished.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

class QueueTimers : public ITimerService {
  public:
    ~QueueTimers() override {
        std::map<TimerHandle, Entry> remaining;
        {
            std::lock_guard lock(m_mutex);
            remaining.swap(m_timers);
        }
        for (auto& [handle, entry] : remaining) {
            if (entry.queueTimer != nullptr) {
                DeleteTimerQueueTimer(nullptr, entry.queueTimer, nullptr);
            }
        }
    }

    TimerHandle Create(int dueMs, int periodMs, std::function<void()> callback) override {
        if (!callback) {
            return 0;
        }
        PinModule();
        TimerHandle handle = 0;
        {
            std::lock_guard lock(m_mutex);
            handle = m_next++;
            if (m_next == 0) {
                m_next = 1;
            }
            // Registered before the queue knows it: a due time of 0 may fire at once.
            m_timers[handle].callback =
                std::make_shared<const std::function<void()>>(std::move(callback));
        }
        HANDLE queueTimer = nullptr;
        const BOOL created = CreateTimerQueueTimer(
            &queueTimer, nullptr, &QueueTimers::OnTick, this->ContextOf(handle),
            static_cast<DWORD>(dueMs > 0 ? dueMs : 0),
            static_cast<DWORD>(periodMs > 0 ? periodMs : 0), WT_EXECUTEDEFAULT);
        std::lock_guard lock(m_mutex);
        if (!created) {
            m_timers.erase(handle);
            return 0;
        }
        m_timers[handle].queueTimer = queueTimer;
        return handle;
    }

    void Delete(TimerHandle timer) override {
        HANDLE queueTimer = nullptr;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_timers.find(timer);
            if (found == m_timers.end()) {
                return;
            }
            queueTimer = found->second.queueTimer;
            m_timers.erase(found);
        }
        // Non-waiting: ERROR_IO_PENDING (a callback still running) is expected and harmless.
        if (queueTimer != nullptr) {
            DeleteTimerQueueTimer(nullptr, queueTimer, nullptr);
        }
    }

  private:
    struct Entry {
        std::shared_ptr<const std::function<void()>> callback;
        HANDLE queueTimer = nullptr;
    };

    // The timer number travels through the context pointer's bits, so numbers stay within
    // uintptr_t (they wrap, skipping 0, long after any earlier timer is gone).
    static PVOID ContextOf(TimerHandle handle) {
        return reinterpret_cast<PVOID>(static_cast<uintptr_t>(handle));
    }

    static void CALLBACK OnTick(PVOID context, BOOLEAN /*timerOrWaitFired*/);
    void Tick(TimerHandle handle) {
        std::shared_ptr<const std::function<void()>> callback;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_timers.find(handle);
            if (found == m_timers.end()) {
                return;  // deleted after the queue had already scheduled this tick
            }
            callback = found->second.callback;
        }
        try {
            (*callback)();
        } catch (...) {
            // An exception must not end the pool thread and with it the host process.
        }
    }

    std::mutex m_mutex;
    std::map<TimerHandle, Entry> m_timers;
    uintptr_t m_next = 1;
};

QueueTimers& Instance() {
    static QueueTimers timers;
    return timers;
}

void CALLBACK QueueTimers::OnTick(PVOID context, BOOLEAN) {
    Instance().Tick(static_cast<TimerHandle>(reinterpret_cast<uintptr_t>(context)));
}

}  // namespace

ITimerService& Timers() {
    return Instance();
}

}  // namespace miraxld::win32
