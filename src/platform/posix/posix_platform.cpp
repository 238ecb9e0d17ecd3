// The native platform: real time, thread timers, the registry file named by MIRAXLD_REGISTRY,
// termios serial devices and iconv code pages. Every service is a process-wide singleton.
#include "platform/posix/posix_services.h"

namespace miraxld {

namespace {

class PosixPlatform : public IPlatform {
  public:
    IClock& Clock() override { return posix::Clock(); }
    IRegistry& Registry() override { return posix::Registry(); }
    ITimerService& Timers() override { return posix::Timers(); }
    IThreadStarter& Threads() override { return posix::Threads(); }
    ICodePages& CodePages() override { return posix::CodePages(); }
    IUserMessages& UserMessages() override { return posix::UserMessages(); }
    IDebugOutput& DebugOutput() override { return posix::DebugOutput(); }
    IFileSystem& Files() override { return posix::Files(); }
    std::unique_ptr<ISerialDevice> CreateSerialDevice() override {
        return posix::CreateSerialDevice();
    }
};

}  // namespace

IPlatform& SystemPlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace miraxld
