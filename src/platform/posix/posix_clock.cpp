// Monotonic milliseconds and sleeps.
#include <chrono>
#include <thread>

#include "platform/posix/posix_services.h"

namespace miraxld::posix {

namespace {

class SteadyClock : public IClock {
  public:
    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SleepMs(int ms) override {
        // Sleep(0) yields on Windows; do the same rather than return at once.
        if (ms <= 0) {
            std::this_thread::yield();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

}  // namespace

IClock& Clock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace miraxld::posix
