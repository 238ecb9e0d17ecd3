#include "control_object.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cwchar>

namespace miraxld::testco {

namespace {

// ---- The event side ----

constexpr std::array<const wchar_t*, 5> kEventNames = {L"SOData", L"SODirectIO", L"SOError",
                                                       L"SOStatusUpdate", L"SOOutputComplete"};
constexpr DISPID kFirstEventId = 1;  // SOData = 1 ... SOOutputComplete = 5

std::wstring VariantText(const VARIANT& value) {
    VARIANT copy;
    VariantInit(&copy);
    std::wstring text = L"?";
    if (SUCCEEDED(VariantCopyInd(&copy, const_cast<VARIANT*>(&value))) &&
        SUCCEEDED(VariantChangeType(&copy, &copy, 0, VT_BSTR))) {
        text.assign(V_BSTR(&copy), SysStringLen(V_BSTR(&copy)));
    }
    VariantClear(&copy);
    return text;
}

// ---- The method side ----

// Parameter kinds, one letter each, in declaration order:
//   l long   s BSTR   b VARIANT_BOOL   d IDispatch* (the event receiver; not from the script)
//   L long by reference (in/out or out)   S BSTR by reference (in/out)
// and the [out, retval] kind: l long, s BSTR, or '-' for none.
struct MethodSignature {
    const wchar_t* name;
    const char* parameters;
    char retval;
    const wchar_t* outNames[2];  // names of the by-reference parameters, for the report
};

constexpr MethodSignature kMethods[] = {
    {L"OpenService", "ssd", 'l', {}},      {L"CloseService", "", 'l', {}},
    {L"ClaimDevice", "l", 'l', {}},        {L"ReleaseDevice", "", 'l', {}},
    {L"CheckHealth", "l", 'l', {}},        {L"DirectIO", "lLS", 'l', {L"pData", L"pString"}},
    {L"DisplayText", "sl", 'l', {}},       {L"DisplayTextAt", "llsl", 'l', {}},
    {L"ClearText", "", 'l', {}},           {L"ScrollText", "ll", 'l', {}},
    {L"SetDescriptor", "ll", 'l', {}},     {L"ClearDescriptors", "", 'l', {}},
    {L"RefreshWindow", "l", 'l', {}},      {L"ReadCharacterAtCursor", "L", 'l', {L"pChar"}},
    {L"DefineGlyph", "ls", 'l', {}},       {L"GetPropertyNumber", "l", 'l', {}},
    {L"SetPropertyNumber", "ll", '-', {}}, {L"GetPropertyString", "l", 's', {}},
    {L"SetPropertyString", "ls", '-', {}}, {L"COFreezeEvents", "b", 'l', {}},
    {L"CreateWindow", "llllll", 'l', {}},  {L"DestroyWindow", "", 'l', {}},
    {L"StatusUpdateEvent", "l", '-', {}},  {L"CompareFirmwareVersion", "s", 'l', {}},
    {L"ResetStatistics", "s", 'l', {}},    {L"RetrieveStatistics", "", 's', {}},
    {L"UpdateFirmware", "s", 'l', {}},     {L"UpdateStatistics", "s", 'l', {}},
    {L"DisplayBitmap", "slll", 'l', {}},   {L"SetBitmap", "lslll", 'l', {}},
};

const MethodSignature* FindMethod(std::wstring_view name) {
    for (const MethodSignature& m : kMethods) {
        if (name == m.name) {
            return &m;
        }
    }
    return nullptr;
}

bool ParseLong(const std::wstring& text, long* value) {
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = std::wcstoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != L'\0' || parsed < INT32_MIN || parsed > UINT32_MAX) {
        return false;
    }
    *value = static_cast<long>(static_cast<int32_t>(parsed));  // 0xFFFFFFFF reads as -1
    return true;
}

bool ParseBool(const std::wstring& text, VARIANT_BOOL* value) {
    static constexpr std::pair<const wchar_t*, VARIANT_BOOL> kWords[] = {{L"1", VARIANT_TRUE},
                                                                         {L"true", VARIANT_TRUE},
                                                                         {L"0", VARIANT_FALSE},
                                                                         {L"false", VARIANT_FALSE}};
    for (const auto& [word, meaning] : kWords) {
        if (_wcsicmp(text.c_str(), word) == 0) {
            *value = meaning;
            return true;
        }
    }
    return false;
}

// Storage for one call's arguments; frees the BSTRs it made, whatever the call did with them.
class Arguments {
  public:
    explicit Arguments(size_t count) : m_variants(count), m_longs(count, 0), m_bstrs(count) {
        for (VARIANT& v : m_variants) {
            VariantInit(&v);
        }
    }
    ~Arguments() {
        for (VARIANT& v : m_variants) {
            if ((V_VT(&v) & VT_BYREF) == 0) {
                VariantClear(&v);
            }
        }
        for (BSTR b : m_bstrs) {
            SysFreeString(b);
        }
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    // `index` is the declaration position; DISPPARAMS wants the last parameter first.
    VARIANT& Slot(size_t index) { return m_variants[m_variants.size() - 1 - index]; }
    long& LongAt(size_t index) { return m_longs[index]; }
    BSTR& BstrAt(size_t index) { return m_bstrs[index]; }
    DISPPARAMS Params() {
        return {m_variants.data(), nullptr, static_cast<UINT>(m_variants.size()), 0};
    }

  private:
    std::vector<VARIANT> m_variants;
    std::vector<long> m_longs;
    std::vector<BSTR> m_bstrs;
};

}  // namespace

// ---- EventReceiver ----

HRESULT EventReceiver::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT EventReceiver::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT EventReceiver::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT EventReceiver::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                     DISPID* dispids) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (names == nullptr || dispids == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    std::lock_guard lock(m_mutex);
    for (UINT i = 0; i < count; ++i) {
        m_lookups.emplace_back(names[i] != nullptr ? names[i] : L"", lcid);
        dispids[i] = DISPID_UNKNOWN;
        for (size_t e = 0; e < kEventNames.size(); ++e) {
            if (names[i] != nullptr && std::wcscmp(names[i], kEventNames[e]) == 0) {
                dispids[i] = kFirstEventId + static_cast<DISPID>(e);
            }
        }
        if (dispids[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT EventReceiver::Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO*, UINT*) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    const DISPID index = dispid - kFirstEventId;
    if (index < 0 || index >= static_cast<DISPID>(kEventNames.size())) {
        return DISP_E_MEMBERNOTFOUND;
    }
    EventRecord record{kEventNames[index], {}, lcid, flags};
    if (params != nullptr) {
        for (UINT i = params->cArgs; i > 0; --i) {  // rgvarg holds the last argument first
            record.arguments.push_back(VariantText(params->rgvarg[i - 1]));
        }
    }
    if (result != nullptr) {
        VariantInit(result);
    }
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(record));
    }
    if (handler) {
        handler();
    }
    return S_OK;
}

std::vector<EventRecord> EventReceiver::Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_events, {});
}

std::vector<std::pair<std::wstring, LCID>> EventReceiver::Lookups() {
    std::lock_guard lock(m_mutex);
    return m_lookups;
}

// ---- ControlObject ----

ControlObject::~ControlObject() {
    if (m_service && m_open) {
        Call(L"CloseService", {});
    }
    m_service.Reset();
}

HRESULT ControlObject::Create(const wchar_t* progId) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              m_service.PutVoid());
    }
    return hr;
}

HRESULT ControlObject::DispIdOf(std::wstring_view name, DISPID* dispid) const {
    if (!m_service) {
        return E_POINTER;
    }
    std::wstring text(name);
    LPOLESTR names[] = {text.data()};
    return m_service->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, dispid);
}

CallResult ControlObject::Call(std::wstring_view method, const std::vector<std::wstring>& given) {
    CallResult out;
    const MethodSignature* signature = FindMethod(method);
    if (signature == nullptr) {
        out.hr = DISP_E_UNKNOWNNAME;
        out.error = L"unknown method";
        return out;
    }
    const std::string_view kinds = signature->parameters;
    const size_t scriptCount =
        std::count_if(kinds.begin(), kinds.end(), [](char k) { return k != 'd'; });
    if (given.size() != scriptCount) {
        out.error = L"expects " + std::to_wstring(scriptCount) + L" argument(s)";
        return out;
    }
    DISPID dispid = DISPID_UNKNOWN;
    out.hr = DispIdOf(method, &dispid);
    if (FAILED(out.hr)) {
        out.error = L"GetIDsOfNames failed";
        return out;
    }

    Arguments args(kinds.size());
    size_t next = 0;  // index into `given`
    for (size_t i = 0; i < kinds.size(); ++i) {
        VARIANT& slot = args.Slot(i);
        const wchar_t* text = kinds[i] == 'd' ? L"" : given[next++].c_str();
        bool ok = true;
        switch (kinds[i]) {
            case 'l':
                V_VT(&slot) = VT_I4;
                ok = ParseLong(text, &V_I4(&slot));
                break;
            case 's':
                V_VT(&slot) = VT_BSTR;
                V_BSTR(&slot) = SysAllocString(text);
                break;
            case 'b':
                V_VT(&slot) = VT_BOOL;
                ok = ParseBool(text, &V_BOOL(&slot));
                break;
            case 'd':
                V_VT(&slot) = VT_DISPATCH;
                V_DISPATCH(&slot) = &m_events;  // not counted: EventReceiver never deletes itself
                break;
            case 'L':
                V_VT(&slot) = VT_BYREF | VT_I4;
                ok = ParseLong(text, &args.LongAt(i));
                V_I4REF(&slot) = &args.LongAt(i);
                break;
            case 'S':
                V_VT(&slot) = VT_BYREF | VT_BSTR;
                args.BstrAt(i) = SysAllocString(text);
                V_BSTRREF(&slot) = &args.BstrAt(i);
                break;
        }
        if (!ok) {
            out.hr = E_INVALIDARG;
            out.error = L"bad argument '" + std::wstring(text) + L"'";
            return out;
        }
    }

    DISPPARAMS params = args.Params();
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    UINT argErr = 0;
    out.hr = m_service->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                               &result, &excep, &argErr);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    if (SUCCEEDED(out.hr)) {
        if (signature->retval == 'l' && SUCCEEDED(VariantChangeType(&result, &result, 0, VT_I4))) {
            out.number = V_I4(&result);
        } else if (signature->retval == 's' &&
                   SUCCEEDED(VariantChangeType(&result, &result, 0, VT_BSTR))) {
            out.text = std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
        }
        size_t outIndex = 0;
        for (size_t i = 0; i < kinds.size(); ++i) {
            if (kinds[i] == 'L') {
                out.outputs.emplace_back(signature->outNames[outIndex++],
                                         std::to_wstring(args.LongAt(i)));
            } else if (kinds[i] == 'S') {
                out.outputs.emplace_back(
                    signature->outNames[outIndex++],
                    std::wstring(args.BstrAt(i), SysStringLen(args.BstrAt(i))));
            }
        }
        if (method == L"OpenService") {
            m_open = true;
        } else if (method == L"CloseService") {
            m_open = false;
        }
    }
    VariantClear(&result);
    return out;
}

}  // namespace miraxld::testco
