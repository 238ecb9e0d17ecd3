// Detached threads from the C run-time thread starter, so the run-time's per-thread data is
// set up and torn down as for any other C run-time thread.
#include <windows.h>

#include <process.h>

#include <memory>

#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

unsigned __stdcall RunBody(void* context) {
    // The thread owns its body from here on and frees it however the body ends.
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(context));
    try {
        (*body)();
    } catch (...) {
        // An exception must not end the host process from a background thread.
    }
    return 0;
}

class RuntimeThreads : public IThreadStarter {
  public:
    bool Start(std::function<void()> body) override {
        if (!body) {
            return false;
        }
        PinModule();
        auto owned = std::make_unique<std::function<void()>>(std::move(body));
        const uintptr_t thread = _beginthreadex(nullptr, 0, &RunBody, owned.get(), 0, nullptr);
        if (thread == 0) {
            return false;  // the body is freed here; the thread never saw it
        }
        owned.release();                                // now the thread's
        CloseHandle(reinterpret_cast<HANDLE>(thread));  // detached: nobody joins it
        return true;
    }
};

}  // namespace

IThreadStarter& Threads() {
    static RuntimeThreads threads;
    return threads;
}

}  // namespace miraxld::win32
