// Deterministic doubles of the platform layer for the native unit tests.
#pragma once

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "events/event_sink.h"
#include "platform/platform.h"
#include "platform/registry_tree.h"

namespace miraxld::testing {

// Time that passes only when someone sleeps, on any thread: a 3000 ms wait takes no real time.
class VirtualClock : public IClock {
  public:
    int64_t NowMs() override { return m_now.load(); }
    void SleepMs(int ms) override {
        m_now += ms > 0 ? ms : 0;
        ++m_sleeps;
        std::this_thread::yield();  // the other threads (monitor, timers) get real time too
    }
    void Advance(int64_t ms) { m_now += ms; }
    int64_t TotalSleeps() const { return m_sleeps.load(); }

  private:
    std::atomic<int64_t> m_now{1000}, m_sleeps{0};
};

// Virtual time without VirtualClock's yield, for single-threaded runs that sleep millions of
// times (a firmware update waiting out every block answer).
class SleepOnlyClock : public IClock {
  public:
    int64_t NowMs() override { return m_now; }
    void SleepMs(int ms) override { m_now += ms > 0 ? ms : 0; }

  private:
    int64_t m_now = 1000;
};

// Timers that tick only when a test says so.
class ManualTimers : public ITimerService {
  public:
    struct Timer {
        TimerHandle handle = 0;
        int dueMs = 0, periodMs = 0;
        std::function<void()> callback;
    };
    TimerHandle Create(int dueMs, int periodMs, std::function<void()> callback) override {
        std::lock_guard lock(m_mutex);
        m_timers[m_next] = Timer{m_next, dueMs, periodMs, std::move(callback)};
        return m_next++;
    }
    void Delete(TimerHandle timer) override {
        if (beforeDelete) {
            beforeDelete(timer);
        }
        std::lock_guard lock(m_mutex);
        m_timers.erase(timer);
    }
    // Runs one tick of `timer` on the calling thread; false when it no longer exists.
    bool Fire(TimerHandle timer) {
        std::unique_lock lock(m_mutex);
        const auto it = m_timers.find(timer);
        if (it == m_timers.end()) {
            return false;
        }
        const std::function<void()> callback = it->second.callback;
        lock.unlock();
        callback();
        return true;
    }
    std::vector<Timer> Active() const {
        std::lock_guard lock(m_mutex);
        std::vector<Timer> out;  // a loop: clang's fuzz build cannot take libstdc++'s views
        for (const auto& entry : m_timers) {
            out.push_back(entry.second);
        }
        return out;
    }
    // Runs first in every Delete, with the timer still there: a tick the queue starts just then.
    std::function<void(TimerHandle)> beforeDelete;

  private:
    mutable std::mutex m_mutex;
    std::map<TimerHandle, Timer> m_timers;
    TimerHandle m_next = 1;
};

// Real detached threads, counted, so tests can wait for them. A thread shares its count with
// the starter, so it may finish after the starter is gone.
class CountingThreads : public IThreadStarter {
  public:
    bool Start(std::function<void()> body) override {
        ++m_started;
        ++*m_running;
        std::thread([running = m_running, body = std::move(body)]() mutable {
            body();
            body = nullptr;  // what the body holds goes before the thread counts as ended
            --*running;
        }).detach();
        return true;
    }
    int Started() const { return m_started.load(); }
    int Running() const { return m_running->load(); }

  private:
    std::atomic<int> m_started{0};
    std::shared_ptr<std::atomic<int>> m_running = std::make_shared<std::atomic<int>>(0);
};

// Keeps every item it is given, for any thread.
template <class Item>
class Recorder {
  public:
    void Record(Item item) {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(item));
    }
    std::vector<Item> Items() const {
        std::lock_guard lock(m_mutex);
        return m_items;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<Item> m_items;
};

class RecordingMessages : public IUserMessages {
  public:
    struct Message {
        std::u16string text, caption;
    };
    void Show(std::u16string_view text, std::u16string_view caption) override {
        m_shown.Record({std::u16string(text), std::u16string(caption)});
    }
    std::vector<Message> Shown() const { return m_shown.Items(); }

  private:
    Recorder<Message> m_shown;
};

class SilentDebugOutput : public IDebugOutput {
  public:
    void Write(std::u16string_view) override {}
};

class MemoryFiles : public IFileSystem {
  public:
    void Put(std::u16string path, std::vector<uint8_t> content) {
        m_files[std::move(path)] = std::move(content);
    }
    bool Exists(std::u16string_view path) override { return m_files.count(path) != 0; }
    std::optional<std::vector<uint8_t>> ReadAll(std::u16string_view path) override {
        auto it = m_files.find(path);
        return it == m_files.end() ? std::nullopt : std::optional(it->second);
    }

  private:
    std::map<std::u16string, std::vector<uint8_t>, std::less<>> m_files;
};

class AbsentSerialDevice : public ISerialDevice {
  public:
    bool Open(int, uint32_t) override { return false; }
    void Close() override {}
    bool WriteByte(uint8_t) override { return false; }
    int Read(uint8_t*, int) override { return 0; }
    int InputCount() override { return 0; }
    bool ModemStatus(uint32_t*) override { return false; }
};

// A Control Object's event interface that knows the first `known` event names (identifiers
// 200, 201, ...) and, like a real dispatch interface, fails for the others; records every call.
class RecordingEventTarget : public IEventTarget {
  public:
    explicit RecordingEventTarget(size_t known = kEventMethodNames.size()) : m_known(known) {}
    long GetIDOfName(std::u16string_view name, int32_t* dispid) override {
        const auto it = std::find(kEventMethodNames.begin(), kEventMethodNames.end(), name);
        const auto index = static_cast<size_t>(it - kEventMethodNames.begin());
        *dispid = index < m_known ? static_cast<int32_t>(200 + index) : -1;
        return index < m_known ? 0 : static_cast<long>(0x80020006);  // DISP_E_UNKNOWNNAME
    }
    long InvokeMethod(int32_t dispid, int32_t argument) override {
        m_calls.Record({dispid, argument});
        if (handler) {
            handler();
        }
        return 0;
    }
    // The calls (identifier, argument) since the last Take.
    std::vector<std::pair<int32_t, int32_t>> Take() {
        auto all = m_calls.Items();
        all.erase(all.begin(), all.begin() + m_taken.exchange(all.size()));
        return all;
    }
    size_t Count() const { return m_calls.Items().size() - m_taken; }
    std::function<void()> handler;  // the Control Object's own work, on the caller's thread

  private:
    size_t m_known;
    Recorder<std::pair<int32_t, int32_t>> m_calls;
    std::atomic<size_t> m_taken{0};
};

// The in-memory registry for tests whose threads read it while another changes it (a cable is
// pulled while the port monitor lists the serial ports).
class SharedRegistry : public IRegistry {
  public:
    void SetString(std::u16string_view key, std::u16string_view name, std::u16string_view data) {
        std::lock_guard lock(m_mutex);
        m_tree.SetString(key, name, data);
    }
    void DeleteValue(std::u16string_view key, std::u16string_view name) {
        std::lock_guard lock(m_mutex);
        m_tree.DeleteValue(key, name);
    }
    long QueryString(std::u16string_view key, std::u16string_view name,
                     std::u16string* data) override {
        std::lock_guard lock(m_mutex);
        return m_tree.QueryString(key, name, data);
    }
    long EnumSubKeys(std::u16string_view key, std::vector<std::u16string>* names) override {
        std::lock_guard lock(m_mutex);
        return m_tree.EnumSubKeys(key, names);
    }
    long EnumValues(std::u16string_view key, std::vector<RegistryValue>* values) override {
        std::lock_guard lock(m_mutex);
        return m_tree.EnumValues(key, values);
    }

  private:
    std::mutex m_mutex;
    RegistryTree m_tree;
};

// The whole platform, with every part replaceable. Code-page conversion is the real one of the
// native platform: it is deterministic and is itself under test.
class TestPlatform : public IPlatform {
  public:
    IClock& Clock() override { return clock; }
    IRegistry& Registry() override { return registry; }
    ITimerService& Timers() override { return timers; }
    IThreadStarter& Threads() override { return threads; }
    ICodePages& CodePages() override { return SystemPlatform().CodePages(); }
    IUserMessages& UserMessages() override { return messages; }
    IDebugOutput& DebugOutput() override { return debugOutput; }
    IFileSystem& Files() override { return files; }
    std::unique_ptr<ISerialDevice> CreateSerialDevice() override { return serialFactory(); }

    VirtualClock clock;
    RegistryTree registry;
    ManualTimers timers;
    CountingThreads threads;
    RecordingMessages messages;
    SilentDebugOutput debugOutput;
    MemoryFiles files;
    // Makes the serial device of each new service object; by default one that never opens.
    std::function<std::unique_ptr<ISerialDevice>()> serialFactory = [] {
        return std::make_unique<AbsentSerialDevice>();
    };
};

// Any test platform on the system's real clock and timers, for the few runs that need real time.
template <class Base>
class OnSystemTime : public Base {
  public:
    IClock& Clock() override { return SystemPlatform().Clock(); }
    ITimerService& Timers() override { return SystemPlatform().Timers(); }
};

}  // namespace miraxld::testing
