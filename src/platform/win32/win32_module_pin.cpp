// Keeps the DLL loaded once it has started background work.
//
// A pool callback of a deleted timer can still be on its way into the DLL, and a monitor thread
// that ran the object's last release is still unwinding through DLL code when the object is
// gone, so DllCanUnloadNow may already answer yes. Waiting for either at unload time would have
// to happen under the loader lock. Instead the first thread or timer pins the module: FreeLibrary
// and CoFreeUnusedLibraries leave it mapped until the process ends, which costs a POS
// application nothing and leaves no code of ours to be unmapped under a running thread.
#include <windows.h>

#include <mutex>

#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

void PinModule() {
    static std::once_flag pinned;
    // Any address inside the DLL names it; the flag's own is one.
    std::call_once(pinned, [] {
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&pinned), &self);
    });
}

}  // namespace miraxld::win32
