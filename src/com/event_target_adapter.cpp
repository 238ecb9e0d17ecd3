#include "com/event_target_adapter.h"

#include <string>

#include "com/com_owners.h"

namespace miraxld::com {

namespace {
constexpr LCID kNameLookupLocale = LOCALE_SYSTEM_DEFAULT;  // 0x0800
constexpr LCID kInvokeLocale = LOCALE_USER_DEFAULT;        // 0x0400
}  // namespace

long EventTargetAdapter::GetIDOfName(std::u16string_view name, int32_t* dispid) {
    try {
        std::wstring text = WideText(name);  // GetIDsOfNames wants a terminated string
        LPOLESTR names[] = {text.data()};
        DISPID id = 0;
        const HRESULT hr = m_target->GetIDsOfNames(IID_NULL, names, 1, kNameLookupLocale, &id);
        if (dispid != nullptr) {
            *dispid = id;
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

long EventTargetAdapter::InvokeMethod(int32_t dispid, int32_t argument) {
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = argument;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = m_target->Invoke(dispid, IID_NULL, kInvokeLocale, DISPATCH_METHOD, &params,
                                        &result, nullptr, nullptr);
    VariantClear(&result);  // whatever the Control Object answered is not ours to keep
    return hr;
}

}  // namespace miraxld::com
