// DllMain, the module counts and the class-object entry points.
#include "com/module.h"

#include <atomic>

#include "com/class_factory.h"

namespace miraxld::com {

namespace {
HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: a long path, try again with more room
    }
}

void ObjectCreated() {
    ++g_objects;
}
void ObjectDestroyed() {
    --g_objects;
}
void LockModule() {
    ++g_locks;
}
void UnlockModule() {
    --g_locks;
}
bool CanUnload() {
    return g_objects.load() == 0 && g_locks.load() == 0;
}

}  // namespace miraxld::com

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        miraxld::com::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_POSLDisplay)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return miraxld::com::PosLDisplayClassFactory().QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return miraxld::com::CanUnload() ? S_OK : S_FALSE;
}
