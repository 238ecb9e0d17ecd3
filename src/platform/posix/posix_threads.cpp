// Detached threads.
#include <system_error>
#include <thread>

#include "platform/posix/posix_services.h"

namespace miraxld::posix {

namespace {

class DetachedThreads : public IThreadStarter {
  public:
    bool Start(std::function<void()> body) override {
        if (!body) {
            return false;
        }
        try {
            std::thread([body = std::move(body)] {
                try {
                    body();
                } catch (...) {
                    // An exception must not end the process from a background thread.
                }
            }).detach();
        } catch (const std::system_error&) {
            return false;  // no thread could be created
        }
        return true;
    }
};

}  // namespace

IThreadStarter& Threads() {
    static DetachedThreads threads;
    return threads;
}

}  // namespace miraxld::posix
