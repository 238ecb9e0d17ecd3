#include "com/type_library.h"

#include "com/module.h"

namespace miraxld::com {

HRESULT LoadEmbeddedTypeLib(REGKIND kind, ComPtr<ITypeLib>* out) {
    const std::wstring path = ModulePath();
    if (path.empty()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return LoadTypeLibEx(path.c_str(), kind, out->Put());
}

HRESULT LoadPosLDisplayTypeInfo(ComPtr<ITypeInfo>* out) {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(LIBID_MIRAXLDLib, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale,
                                library.Put());
    if (SUCCEEDED(hr)) {
        hr = library->GetTypeInfoOfGuid(IID_IPOSLDisplay, out->Put());
    }
    if (FAILED(hr)) {
        hr = LoadEmbeddedTypeLib(REGKIND_NONE, &library);
        if (SUCCEEDED(hr)) {
            hr = library->GetTypeInfoOfGuid(IID_IPOSLDisplay, out->Put());
        }
    }
    return hr;
}

}  // namespace miraxld::com
