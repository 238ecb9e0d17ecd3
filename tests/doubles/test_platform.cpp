#include "doubles/test_platform.h"

#include <thread>

namespace miraxld::testing {

void VirtualClock::SleepMs(int ms) {
    m_now += ms > 0 ? ms : 0;
    ++m_sleeps;
    // Let the other threads of a test (monitor, timers) make progress in real time too.
    std::this_thread::yield();
}

TimerHandle ManualTimers::Create(int dueMs, int periodMs, std::function<void()> callback) {
    std::lock_guard lock(m_mutex);
    const TimerHandle handle = m_next++;
    m_timers[handle] = Timer{handle, dueMs, periodMs, std::move(callback)};
    return handle;
}

void ManualTimers::Delete(TimerHandle timer) {
    if (beforeDelete) {
        beforeDelete(timer);
    }
    std::lock_guard lock(m_mutex);
    m_timers.erase(timer);
}

bool ManualTimers::Fire(TimerHandle timer) {
    std::function<void()> callback;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(timer);
        if (it == m_timers.end()) {
            return false;
        }
        callback = it->second.callback;
    }
    callback();
    return true;
}

std::vector<ManualTimers::Timer> ManualTimers::Active() const {
    std::lock_guard lock(m_mutex);
    std::vector<Timer> out;
    for (const auto& [handle, timer] : m_timers) {
        out.push_back(timer);
    }
    return out;
}

bool CountingThreads::Start(std::function<void()> body) {
    ++m_started;
    ++*m_running;
    std::thread([running = m_running, body = std::move(body)]() mutable {
        body();
        body = nullptr;  // what the body holds goes before the thread counts as ended
        --*running;
    }).detach();
    return true;
}

}  // namespace miraxld::testing
