// Reaching MIRAXLD.dll's exports directly, as regsvr32 and COM do, for the tests that check
// the entry points themselves.
#pragma once

#include <windows.h>

#include <string>

namespace miraxld::testco {

// A file in the directory of the running program (the build puts the DLL beside the tests).
inline std::wstring BesideThisProgram(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + file;
}

// The export `name` of `module` as a function of type `Fn`; null when it is missing.
template <typename Fn>
Fn ExportOf(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace miraxld::testco
