// The Win32 platform (placeholder until the Win32 layer lands).
#include <chrono>
#include <thread>

#include "platform/platform.h"

namespace miraxld {

namespace {

class SteadyClock : public IClock {
public:
    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

class PosixPlatform : public IPlatform {
public:
    IClock& Clock() override { return m_clock; }
    IRegistry& Registry() override { std::abort(); }
    ITimerService& Timers() override { std::abort(); }
    IThreadStarter& Threads() override { std::abort(); }
    ICodePages& CodePages() override { std::abort(); }
    IUserMessages& UserMessages() override { std::abort(); }
    IDebugOutput& DebugOutput() override { std::abort(); }
    IFileSystem& Files() override { std::abort(); }
    std::unique_ptr<ISerialDevice> CreateSerialDevice() override { return nullptr; }

private:
    SteadyClock m_clock;
};

}  // namespace

IPlatform& SystemPlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace miraxld
