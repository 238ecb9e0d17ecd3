// The Win32 platform of the DLL: every service is a process-wide singleton, shared by all
// service objects.
#include "platform/win32/win32_services.h"

namespace miraxld {

namespace {

class Win32Platform : public IPlatform {
  public:
    IClock& Clock() override { return win32::Clock(); }
    IRegistry& Registry() override { return win32::Registry(); }
    ITimerService& Timers() override { return win32::Timers(); }
    IThreadStarter& Threads() override { return win32::Threads(); }
    ICodePages& CodePages() override { return win32::CodePages(); }
    IUserMessages& UserMessages() override { return win32::UserMessages(); }
    IDebugOutput& DebugOutput() override { return win32::DebugOutput(); }
    IFileSystem& Files() override { return win32::Files(); }
    std::unique_ptr<ISerialDevice> CreateSerialDevice() override {
        return win32::CreateSerialDevice();
    }
};

}  // namespace

IPlatform& SystemPlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace miraxld
