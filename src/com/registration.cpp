// DllRegisterServer and DllUnregisterServer: the class's keys under HKEY_CLASSES_ROOT, written
// directly from the table below (no registrar component), and the embedded type library.
#include <string>
#include <string_view>

#include "com/com_owners.h"
#include "com/module.h"
#include "com/type_library.h"

namespace miraxld::com {

namespace {

// Placeholders in the table, replaced before anything is written.
constexpr std::wstring_view kClsidMark = L"%CLSID%";
constexpr std::wstring_view kModuleMark = L"%MODULE%";
constexpr std::wstring_view kLibidMark = L"%LIBID%";

struct RegistryEntry {
    const wchar_t* key;        // under HKEY_CLASSES_ROOT
    const wchar_t* valueName;  // nullptr: the key's default value
    const wchar_t* value;      // nullptr: the key only, without a value
};

constexpr RegistryEntry kEntries[] = {
    {L"MIRAXLD.POSLDisplay.1", nullptr, L"POSLDisplay Class"},
    {L"MIRAXLD.POSLDisplay.1\\CLSID", nullptr, L"%CLSID%"},
    {L"MIRAXLD.POSLDisplay", nullptr, L"POSLDisplay Class"},
    {L"MIRAXLD.POSLDisplay\\CLSID", nullptr, L"%CLSID%"},
    {L"MIRAXLD.POSLDisplay\\CurVer", nullptr, L"MIRAXLD.POSLDisplay.1"},
    {L"CLSID\\%CLSID%", nullptr, L"POSLDisplay Class"},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, L"MIRAXLD.POSLDisplay.1"},
    {L"CLSID\\%CLSID%\\VersionIndependentProgID", nullptr, L"MIRAXLD.POSLDisplay"},
    {L"CLSID\\%CLSID%\\Programmable", nullptr, nullptr},
    {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%"},
    {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\%CLSID%\\TypeLib", nullptr, L"%LIBID%"},
};

// Whole trees removed by unregistration; the class key is also cleared before registering, so
// that nothing of an older registration survives below it. HKCR\CLSID itself is never touched.
constexpr const wchar_t* kOwnedTrees[] = {
    L"MIRAXLD.POSLDisplay.1",
    L"MIRAXLD.POSLDisplay",
    L"CLSID\\%CLSID%",
};

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

class Expander {
  public:
    Expander()
        : m_clsid(GuidText(CLSID_POSLDisplay)),
          m_libid(GuidText(LIBID_MIRAXLDLib)),
          m_module(ModulePath()) {}

    std::wstring operator()(std::wstring_view pattern) const {
        std::wstring text(pattern);
        Replace(text, kClsidMark, m_clsid);
        Replace(text, kLibidMark, m_libid);
        Replace(text, kModuleMark, m_module);
        return text;
    }
    bool HasModule() const { return !m_module.empty(); }

  private:
    static void Replace(std::wstring& text, std::wstring_view mark, const std::wstring& by) {
        for (size_t at = text.find(mark); at != std::wstring::npos;
             at = text.find(mark, at + by.size())) {
            text.replace(at, mark.size(), by);
        }
    }
    std::wstring m_clsid;
    std::wstring m_libid;
    std::wstring m_module;
};

HRESULT WriteEntry(const RegistryEntry& entry, const Expander& expand) {
    UniqueHkey key;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, expand(entry.key).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status == ERROR_SUCCESS && entry.value != nullptr) {
        const std::wstring value = expand(entry.value);
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key.Get(), entry.valueName, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }
    return HRESULT_FROM_WIN32(status);
}

// Removing what is not there is not a failure: unregistering twice succeeds.
HRESULT DeleteTree(const wchar_t* pattern, const Expander& expand) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, expand(pattern).c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
        const LSTATUS removed = RegDeleteKeyW(HKEY_CLASSES_ROOT, expand(pattern).c_str());
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND
                   ? S_OK
                   : HRESULT_FROM_WIN32(removed);
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT UnregisterTypeLibrary() {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadEmbeddedTypeLib(REGKIND_NONE, &library);
    if (FAILED(hr)) {
        return hr;
    }
    TLIBATTR* attr = nullptr;
    hr = library->GetLibAttr(&attr);
    if (FAILED(hr)) {
        return hr;
    }
    const TLIBATTR copy = *attr;
    library->ReleaseTLibAttr(attr);
    // A type library that was never registered is already in the state we want (Wine answers
    // E_INVALIDARG rather than TYPE_E_LIBNOTREGISTERED for it, so ask first).
    UniqueBstr registeredPath;
    if (FAILED(QueryPathOfRegTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                                     registeredPath.Put()))) {
        return S_OK;
    }
    hr =
        UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    // A type library that was never registered is already in the state we want.
    return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED ? S_OK : hr;
}

HRESULT Register() {
    const Expander expand;
    if (!expand.HasModule()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT hr = DeleteTree(kOwnedTrees[2], expand);
    if (FAILED(hr)) {
        return hr;
    }
    for (const RegistryEntry& entry : kEntries) {
        hr = WriteEntry(entry, expand);
        if (FAILED(hr)) {
            return hr;  // what is written stays: registration is not rolled back
        }
    }
    ComPtr<ITypeLib> library;
    return LoadEmbeddedTypeLib(REGKIND_REGISTER, &library);
}

HRESULT Unregister() {
    const Expander expand;
    HRESULT first = S_OK;
    for (const wchar_t* tree : kOwnedTrees) {
        const HRESULT hr = DeleteTree(tree, expand);
        if (SUCCEEDED(first)) {
            first = hr;
        }
    }
    const HRESULT hr = UnregisterTypeLibrary();
    return FAILED(first) ? first : hr;
}

}  // namespace

}  // namespace miraxld::com

STDAPI DllRegisterServer() {
    return miraxld::com::Guarded(miraxld::com::Register);
}

STDAPI DllUnregisterServer() {
    return miraxld::com::Guarded(miraxld::com::Unregister);
}
