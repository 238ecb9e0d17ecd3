#include "com/posldisplay_object.h"

#include <optional>
#include <string>

#include "com/connection_points.h"
#include "com/module.h"
#include "com/type_library.h"

namespace miraxld::com {

namespace {

// Calls a core method that reports through one out long (pRC, pNumber or pResult). The core
// leaves some of these untouched (UpdateStatistics' pRC, CompareFirmwareVersion's pResult);
// the caller then gets back what it passed in.
template <typename Call>
HRESULT ThroughLong(LONG* out, Call&& call) {
    if (out == nullptr) {
        return E_POINTER;
    }
    return Guarded([&]() -> HRESULT {
        int32_t value = static_cast<int32_t>(*out);
        const HRESULT hr = call(&value);
        *out = value;
        return hr;
    });
}

// Stores `text` as a new BSTR the caller owns; an absent text is the null (empty) BSTR, since
// the incoming value of an out BSTR is not ours to read or keep.
HRESULT StoreBstr(const std::optional<std::u16string>& text, BSTR* out) {
    *out = nullptr;
    if (text.has_value() && !text->empty()) {
        *out = NewBstr(*text);
        if (*out == nullptr) {
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

}  // namespace

// ---- Creation and identity ----

PosLDisplayObject::PosLDisplayObject(IUnknown* outer)
    : m_inner(*this), m_controlling(outer != nullptr ? outer : &m_inner), m_core(SystemPlatform()) {
    ObjectCreated();
}

// Released without CloseService, the core still has its timers and its monitor thread, which
// fires through the adapters: both are stopped before any member goes.
PosLDisplayObject::~PosLDisplayObject() {
    m_core.StopBackgroundWork();
    ObjectDestroyed();
}

HRESULT PosLDisplayObject::Create(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    return Guarded([&]() -> HRESULT {
        auto* object = new PosLDisplayObject(outer);
        // One reference while asking, so that a refused interface destroys the object again.
        object->m_inner.AddRef();
        const HRESULT hr = object->m_inner.QueryInterface(riid, ppv);
        object->m_inner.Release();
        return hr;
    });
}

HRESULT PosLDisplayObject::InnerUnknown::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    IUnknown* found = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        found = this;
    } else if (IsEqualIID(riid, IID_IPOSLDisplay) || IsEqualIID(riid, IID_IDispatch)) {
        found = static_cast<IPOSLDisplay*>(&m_owner);
    } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
        found = static_cast<IConnectionPointContainer*>(&m_owner);
    }
    *ppv = found;
    if (found == nullptr) {
        return E_NOINTERFACE;
    }
    found->AddRef();
    return S_OK;
}

ULONG PosLDisplayObject::InnerUnknown::AddRef() {
    return ++m_owner.m_refs;
}

// The last reference may go inside the Control Object's status handler, which runs on the port
// monitor thread: that thread still has to unwind out of the handler through this object (the
// event adapter, the core), so the object then lives until the thread's very end and is
// destroyed there as its last action.
ULONG PosLDisplayObject::InnerUnknown::Release() {
    const ULONG left = --m_owner.m_refs;
    if (left == 0) {
        PosLDisplayObject* const owner = &m_owner;
        if (!owner->m_core.DeferDestructionToMonitorEnd([owner] { delete owner; })) {
            delete owner;
        }
    }
    return left;
}

HRESULT PosLDisplayObject::QueryInterface(REFIID riid, void** ppv) {
    return m_controlling->QueryInterface(riid, ppv);
}
ULONG PosLDisplayObject::AddRef() {
    return m_controlling->AddRef();
}
ULONG PosLDisplayObject::Release() {
    return m_controlling->Release();
}

// ---- IDispatch ----

HRESULT PosLDisplayObject::TypeInfo(TypeInfoHalf half, ComPtr<ITypeInfo>* out) {
    std::lock_guard lock(m_typeInfoMutex);
    if (!m_typeInfo) {
        ComPtr<ITypeInfo> info;
        HRESULT hr = LoadPosLDisplayTypeInfo(&info);
        if (FAILED(hr)) {
            return hr;
        }
        // A dual interface is described twice; dispatching through the vtable half makes the
        // type library call our methods directly and turn [out, retval] into the result.
        HREFTYPE vtableHalf = 0;
        ComPtr<ITypeInfo> vtableInfo;
        if (FAILED(info->GetRefTypeOfImplType(-1, &vtableHalf)) ||
            FAILED(info->GetRefTypeInfo(vtableHalf, vtableInfo.Put()))) {
            vtableInfo = info;
        }
        m_typeInfo = info;
        m_vtableTypeInfo = vtableInfo;
    }
    *out = half == TypeInfoHalf::Vtable ? m_vtableTypeInfo : m_typeInfo;
    return S_OK;
}

HRESULT PosLDisplayObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT PosLDisplayObject::GetTypeInfo(UINT index, LCID /*lcid*/, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    return Guarded([&]() -> HRESULT {
        // Clients describing the object expect the dispinterface that partners a dual
        // interface, not its vtable half.
        ComPtr<ITypeInfo> typeInfo;
        const HRESULT hr = TypeInfo(TypeInfoHalf::Dispatch, &typeInfo);
        if (SUCCEEDED(hr)) {
            *info = typeInfo.Detach();
        }
        return hr;
    });
}

HRESULT PosLDisplayObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID /*lcid*/,
                                         DISPID* dispids) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (names == nullptr || dispids == nullptr) {
        return E_POINTER;
    }
    return Guarded([&]() -> HRESULT {
        ComPtr<ITypeInfo> typeInfo;
        const HRESULT hr = TypeInfo(TypeInfoHalf::Vtable, &typeInfo);
        return FAILED(hr) ? hr : DispGetIDsOfNames(typeInfo.Get(), names, count, dispids);
    });
}

HRESULT PosLDisplayObject::Invoke(DISPID dispid, REFIID riid, LCID /*lcid*/, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                  UINT* argErr) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    return Guarded([&]() -> HRESULT {
        ComPtr<ITypeInfo> typeInfo;
        const HRESULT hr = TypeInfo(TypeInfoHalf::Vtable, &typeInfo);
        if (FAILED(hr)) {
            return hr;
        }
        return DispInvoke(static_cast<IPOSLDisplay*>(this), typeInfo.Get(), dispid, flags, params,
                          result, excepInfo, argErr);
    });
}

// ---- IPOSLDisplay ----

IEventTarget* PosLDisplayObject::AdapterFor(IDispatch* dispatch) {
    if (dispatch == nullptr) {
        return nullptr;
    }
    for (const auto& adapter : m_adapters) {
        if (adapter->Target() == dispatch) {
            return adapter.get();
        }
    }
    return m_adapters.emplace_back(std::make_unique<EventTargetAdapter>(dispatch)).get();
}

HRESULT PosLDisplayObject::OpenService(BSTR DeviceClass, BSTR DeviceName, IDispatch* pDispatch,
                                       LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) {
        return m_core.OpenService(BstrText(DeviceClass), BstrText(DeviceName),
                                  AdapterFor(pDispatch), rc);
    });
}

HRESULT PosLDisplayObject::CloseService(LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.CloseService(rc); });
}

HRESULT PosLDisplayObject::ClaimDevice(LONG Timeout, LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.ClaimDevice(Timeout, rc); });
}

HRESULT PosLDisplayObject::ReleaseDevice(LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.ReleaseDevice(rc); });
}

HRESULT PosLDisplayObject::CheckHealth(LONG Level, LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.CheckHealth(Level, rc); });
}

HRESULT PosLDisplayObject::DirectIO(LONG Command, LONG* pData, BSTR* pString, LONG* pRC) {
    if (pData == nullptr || pString == nullptr) {
        return E_POINTER;
    }
    return ThroughLong(pRC, [&](int32_t* rc) -> HRESULT {
        int32_t data = static_cast<int32_t>(*pData);
        std::u16string text(BstrText(*pString));
        const HRESULT hr = m_core.DirectIO(Command, &data, &text, rc);
        *pData = data;
        // The caller's BSTR is kept unless the text really changed.
        if (text != BstrText(*pString) &&
            !SysReAllocStringLen(pString, reinterpret_cast<const OLECHAR*>(text.data()),
                                 static_cast<UINT>(text.size()))) {
            return E_OUTOFMEMORY;
        }
        return hr;
    });
}

HRESULT PosLDisplayObject::DisplayText(BSTR Data, LONG Attribute, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.DisplayText(BstrText(Data), Attribute, rc); });
}

HRESULT PosLDisplayObject::DisplayTextAt(LONG Row, LONG Column, BSTR Data, LONG Attribute,
                                         LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) {
        return m_core.DisplayTextAt(Row, Column, BstrText(Data), Attribute, rc);
    });
}

HRESULT PosLDisplayObject::ClearText(LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.ClearText(rc); });
}

HRESULT PosLDisplayObject::ScrollText(LONG Direction, LONG Units, LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.ScrollText(Direction, Units, rc); });
}

HRESULT PosLDisplayObject::SetDescriptor(LONG Descriptor, LONG Attribute, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.SetDescriptor(Descriptor, Attribute, rc); });
}

HRESULT PosLDisplayObject::ClearDescriptors(LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.ClearDescriptors(rc); });
}

HRESULT PosLDisplayObject::RefreshWindow(LONG Window, LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.RefreshWindow(Window, rc); });
}

// The core leaves pChar alone when the cursor lies outside the window storage; the caller
// then reads 0 rather than whatever its variable held.
HRESULT PosLDisplayObject::ReadCharacterAtCursor(LONG* pChar, LONG* pRC) {
    if (pChar == nullptr) {
        return E_POINTER;
    }
    return ThroughLong(pRC, [&](int32_t* rc) {
        int32_t character = 0;
        const HRESULT hr = m_core.ReadCharacterAtCursor(&character, rc);
        *pChar = character;
        return hr;
    });
}

HRESULT PosLDisplayObject::DefineGlyph(LONG GlyphCode, BSTR Glyph, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.DefineGlyph(GlyphCode, BstrText(Glyph), rc); });
}

HRESULT PosLDisplayObject::GetPropertyNumber(LONG PropIndex, LONG* pNumber) {
    return ThroughLong(
        pNumber, [&](int32_t* number) { return m_core.GetPropertyNumber(PropIndex, number); });
}

HRESULT PosLDisplayObject::SetPropertyNumber(LONG PropIndex, LONG Number) {
    return Guarded([&]() -> HRESULT { return m_core.SetPropertyNumber(PropIndex, Number); });
}

// An index outside the string table gives the empty (null) BSTR.
HRESULT PosLDisplayObject::GetPropertyString(LONG PropIndex, BSTR* pString) {
    if (pString == nullptr) {
        return E_POINTER;
    }
    *pString = nullptr;
    return Guarded([&]() -> HRESULT {
        std::optional<std::u16string> text;
        const HRESULT hr = m_core.GetPropertyString(PropIndex, &text);
        const HRESULT stored = StoreBstr(text, pString);
        return FAILED(stored) ? stored : hr;
    });
}

HRESULT PosLDisplayObject::SetPropertyString(LONG PropIndex, BSTR String) {
    return Guarded(
        [&]() -> HRESULT { return m_core.SetPropertyString(PropIndex, BstrText(String)); });
}

HRESULT PosLDisplayObject::COFreezeEvents(VARIANT_BOOL Freeze, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.COFreezeEvents(Freeze != VARIANT_FALSE, rc); });
}

HRESULT PosLDisplayObject::CreateWindow(LONG ViewportRow, LONG ViewportColumn, LONG ViewportHeight,
                                        LONG ViewportWidth, LONG WindowHeight, LONG WindowWidth,
                                        LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) {
        return m_core.CreateWindow(ViewportRow, ViewportColumn, ViewportHeight, ViewportWidth,
                                   WindowHeight, WindowWidth, rc);
    });
}

HRESULT PosLDisplayObject::DestroyWindow(LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) { return m_core.DestroyWindow(rc); });
}

HRESULT PosLDisplayObject::StatusUpdateEvent(LONG Status) {
    return Guarded([&]() -> HRESULT { return m_core.StatusUpdateEvent(Status); });
}

HRESULT PosLDisplayObject::CompareFirmwareVersion(BSTR FirmwareFileName, LONG* pResult) {
    return ThroughLong(pResult, [&](int32_t* result) {
        return m_core.CompareFirmwareVersion(BstrText(FirmwareFileName), result);
    });
}

HRESULT PosLDisplayObject::ResetStatistics(BSTR StatisticsBuffer, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.ResetStatistics(BstrText(StatisticsBuffer), rc); });
}

// Statistics are not kept, so the caller gets the empty (null) BSTR unless the core fills it.
HRESULT PosLDisplayObject::RetrieveStatistics(BSTR* pStatisticsBuffer) {
    if (pStatisticsBuffer == nullptr) {
        return E_POINTER;
    }
    *pStatisticsBuffer = nullptr;
    return Guarded([&]() -> HRESULT {
        std::u16string buffer;
        const HRESULT hr = m_core.RetrieveStatistics(&buffer);
        const HRESULT stored = StoreBstr(buffer, pStatisticsBuffer);
        return FAILED(stored) ? stored : hr;
    });
}

HRESULT PosLDisplayObject::UpdateFirmware(BSTR FirmwareFileName, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.UpdateFirmware(BstrText(FirmwareFileName), rc); });
}

HRESULT PosLDisplayObject::UpdateStatistics(BSTR StatisticsBuffer, LONG* pRC) {
    return ThroughLong(
        pRC, [&](int32_t* rc) { return m_core.UpdateStatistics(BstrText(StatisticsBuffer), rc); });
}

HRESULT PosLDisplayObject::DisplayBitmap(BSTR FileName, LONG Width, LONG AlignmentX,
                                         LONG AlignmentY, LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) {
        return m_core.DisplayBitmap(BstrText(FileName), Width, AlignmentX, AlignmentY, rc);
    });
}

HRESULT PosLDisplayObject::SetBitmap(LONG BitmapNumber, BSTR FileName, LONG Width, LONG AlignmentX,
                                     LONG AlignmentY, LONG* pRC) {
    return ThroughLong(pRC, [&](int32_t* rc) {
        return m_core.SetBitmap(BitmapNumber, BstrText(FileName), Width, AlignmentX, AlignmentY,
                                rc);
    });
}

// ---- IConnectionPointContainer ----

HRESULT PosLDisplayObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return CreateEmptyConnectionPointEnum(points);
}

HRESULT PosLDisplayObject::FindConnectionPoint(REFIID /*riid*/, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    return CONNECT_E_NOCONNECTION;
}

}  // namespace miraxld::com
