// Time from the C run-time clock(), sleeps from Sleep: the only time base of the service object.
#include <windows.h>

#include <ctime>

#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

class RuntimeClock : public IClock {
  public:
    int64_t NowMs() override {
        // Widened before scaling: clock_t is 32 bits, and CLOCKS_PER_SEC need not be 1000.
        return static_cast<int64_t>(clock()) * 1000 / CLOCKS_PER_SEC;
    }
    void SleepMs(int ms) override { Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0); }
};

}  // namespace

IClock& Clock() {
    static RuntimeClock clock;
    return clock;
}

}  // namespace miraxld::win32
