// The loaded library: its handle and path, and the counts that decide whether it may unload.
#pragma once

#include <new>
#include <string>

#include "com/com_headers.h"

namespace miraxld::com {

// Full path of MIRAXLD.dll as it was loaded (for InprocServer32 and the type library).
std::wstring ModulePath();

// Every COM object the library hands out counts while it lives; LockServer and class-factory
// references hold the module lock. The library may unload only when both are zero.
void ObjectCreated();
void ObjectDestroyed();
void LockModule();
void UnlockModule();
bool CanUnload();

// Runs `body`, turning any C++ exception into an error status: nothing may escape through a
// COM entry point.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace miraxld::com
