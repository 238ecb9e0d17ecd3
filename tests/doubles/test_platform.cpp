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
    ++m_created;
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

void RecordingMessages::Show(std::u16string_view text, std::u16string_view caption) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back(Message{std::u16string(text), std::u16string(caption)});
}

std::vector<RecordingMessages::Message> RecordingMessages::Shown() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

void RecordingDebugOutput::Write(std::u16string_view line) {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(line);
}

std::vector<std::u16string> RecordingDebugOutput::Lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool MemoryFiles::Exists(std::u16string_view path) {
    return m_files.find(path) != m_files.end();
}

std::optional<std::vector<uint8_t>> MemoryFiles::ReadAll(std::u16string_view path) {
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        return std::nullopt;
    }
    return it->second;
}

TestPlatform::TestPlatform() {
    serialFactory = [] { return std::make_unique<AbsentSerialDevice>(); };
}

ICodePages& TestPlatform::CodePages() {
    return SystemPlatform().CodePages();
}

std::unique_ptr<ISerialDevice> TestPlatform::CreateSerialDevice() {
    return serialFactory();
}

}  // namespace miraxld::testing
