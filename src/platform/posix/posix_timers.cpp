// Periodic timers, one thread per timer, in the manner of the default timer queue: callbacks run
// on a thread other than the creator's, timers run independently of each other, and Delete
// never waits for a running callback.
//
// Each timer thread shares ownership of its state (the callback and the cancel flag) with the
// table, so Delete only drops the table's reference and raises the flag: a running callback
// keeps its function alive until it returns, and a callback may delete its own timer.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/posix/posix_services.h"

namespace miraxld::posix {

namespace {

struct TimerState {
    std::function<void()> callback;
    std::mutex mutex;
    std::condition_variable wake;
    bool cancelled = false;  // guarded by mutex
};

void RunTimer(const std::shared_ptr<TimerState>& state, int dueMs, int periodMs) {
    auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(dueMs);
    for (;;) {
        {
            std::unique_lock lock(state->mutex);
            if (state->wake.wait_until(lock, next, [&] { return state->cancelled; })) {
                return;
            }
        }
        try {
            state->callback();
        } catch (...) {
            // An exception must not end the process from a timer thread.
        }
        if (periodMs <= 0) {
            return;  // a period of 0 fires once, as on the timer queue
        }
        // Fixed rate like the timer queue, but a callback that overran its period does not
        // cause a burst of catch-up ticks.
        next += std::chrono::milliseconds(periodMs);
        const auto now = std::chrono::steady_clock::now();
        if (next < now) {
            next = now;
        }
    }
}

class ThreadTimers : public ITimerService {
  public:
    ~ThreadTimers() override {
        std::lock_guard lock(m_mutex);
        for (auto& [handle, state] : m_timers) {
            Cancel(*state);
        }
    }

    TimerHandle Create(int dueMs, int periodMs, std::function<void()> callback) override {
        if (!callback) {
            return 0;
        }
        auto state = std::make_shared<TimerState>();
        state->callback = std::move(callback);
        std::lock_guard lock(m_mutex);
        const TimerHandle handle = m_next++;
        try {
            std::thread([state, dueMs = dueMs > 0 ? dueMs : 0, periodMs] {
                RunTimer(state, dueMs, periodMs);
            }).detach();
        } catch (const std::system_error&) {
            return 0;
        }
        m_timers.emplace(handle, std::move(state));
        return handle;
    }

    void Delete(TimerHandle timer) override {
        std::shared_ptr<TimerState> state;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_timers.find(timer);
            if (found == m_timers.end()) {
                return;
            }
            state = std::move(found->second);
            m_timers.erase(found);
        }
        Cancel(*state);
    }

  private:
    static void Cancel(TimerState& state) {
        {
            std::lock_guard lock(state.mutex);
            state.cancelled = true;
        }
        state.wake.notify_all();
    }

    std::mutex m_mutex;
    std::map<TimerHandle, std::shared_ptr<TimerState>> m_timers;
    TimerHandle m_next = 1;
};

}  // namespace

ITimerService& Timers() {
    static ThreadTimers timers;
    return timers;
}

}  // namespace miraxld::posix
