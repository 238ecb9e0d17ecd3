// The COM object POSLDisplay: the IPOSLDisplay dual interface over one CPOSLDisplay.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "com/com_headers.h"
#include "com/com_owners.h"
#include "com/event_target_adapter.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::com {

class PosLDisplayObject final : public IPOSLDisplay, public IConnectionPointContainer {
  public:
    // The factory's instance creator. With an outer unknown (aggregation) `riid` must be
    // IID_IUnknown and the object's own, non-delegating IUnknown is returned.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    PosLDisplayObject(const PosLDisplayObject&) = delete;
    PosLDisplayObject& operator=(const PosLDisplayObject&) = delete;

    // IUnknown: delegates to the controlling unknown (the outer object when aggregated).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, driven by IPOSLDisplay's type information.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

    // IPOSLDisplay.
    HRESULT STDMETHODCALLTYPE OpenService(BSTR DeviceClass, BSTR DeviceName, IDispatch* pDispatch,
                                          LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE CloseService(LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE ClaimDevice(LONG Timeout, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE ReleaseDevice(LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE CheckHealth(LONG Level, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE DirectIO(LONG Command, LONG* pData, BSTR* pString,
                                       LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE DisplayText(BSTR Data, LONG Attribute, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE DisplayTextAt(LONG Row, LONG Column, BSTR Data, LONG Attribute,
                                            LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE ClearText(LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE ScrollText(LONG Direction, LONG Units, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE SetDescriptor(LONG Descriptor, LONG Attribute, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE ClearDescriptors(LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE RefreshWindow(LONG Window, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE ReadCharacterAtCursor(LONG* pChar, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE DefineGlyph(LONG GlyphCode, BSTR Glyph, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE GetPropertyNumber(LONG PropIndex, LONG* pNumber) override;
    HRESULT STDMETHODCALLTYPE SetPropertyNumber(LONG PropIndex, LONG Number) override;
    HRESULT STDMETHODCALLTYPE GetPropertyString(LONG PropIndex, BSTR* pString) override;
    HRESULT STDMETHODCALLTYPE SetPropertyString(LONG PropIndex, BSTR String) override;
    HRESULT STDMETHODCALLTYPE COFreezeEvents(VARIANT_BOOL Freeze, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE CreateWindow(LONG ViewportRow, LONG ViewportColumn,
                                           LONG ViewportHeight, LONG ViewportWidth,
                                           LONG WindowHeight, LONG WindowWidth, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE DestroyWindow(LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE StatusUpdateEvent(LONG Status) override;
    HRESULT STDMETHODCALLTYPE CompareFirmwareVersion(BSTR FirmwareFileName, LONG* pResult) override;
    HRESULT STDMETHODCALLTYPE ResetStatistics(BSTR StatisticsBuffer, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE RetrieveStatistics(BSTR* pStatisticsBuffer) override;
    HRESULT STDMETHODCALLTYPE UpdateFirmware(BSTR FirmwareFileName, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE UpdateStatistics(BSTR StatisticsBuffer, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE DisplayBitmap(BSTR FileName, LONG Width, LONG AlignmentX,
                                            LONG AlignmentY, LONG* pRC) override;
    HRESULT STDMETHODCALLTYPE SetBitmap(LONG BitmapNumber, BSTR FileName, LONG Width,
                                        LONG AlignmentX, LONG AlignmentY, LONG* pRC) override;

    // IConnectionPointContainer: no connection points.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

  private:
    // The object's own IUnknown: the real reference count and interface map. Separate from the
    // delegating one so that an aggregating outer object can own it.
    class InnerUnknown final : public IUnknown {
      public:
        explicit InnerUnknown(PosLDisplayObject& owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

      private:
        PosLDisplayObject& m_owner;
    };

    explicit PosLDisplayObject(IUnknown* outer);
    ~PosLDisplayObject();

    // The adapter for `dispatch` (null for null). Adapters live as long as this object: the
    // port monitor thread may still fire through an earlier one while OpenService re-attaches.
    IEventTarget* AdapterFor(IDispatch* dispatch);
    // IPOSLDisplay's type information, loaded on first use: the dispinterface half that
    // GetTypeInfo hands out, or the vtable half that GetIDsOfNames and Invoke dispatch through.
    enum class TypeInfoHalf { Dispatch, Vtable };
    HRESULT TypeInfo(TypeInfoHalf half, ComPtr<ITypeInfo>* out);

    InnerUnknown m_inner;
    IUnknown* const m_controlling;
    std::atomic<ULONG> m_refs{0};
    // Members go in reverse order: the adapters the core's monitor thread fires through are
    // declared before the core, so that they outlive it.
    std::vector<std::unique_ptr<EventTargetAdapter>> m_adapters;
    CPOSLDisplay m_core;
    std::mutex m_typeInfoMutex;
    ComPtr<ITypeInfo> m_typeInfo;
    ComPtr<ITypeInfo> m_vtableTypeInfo;
};

}  // namespace miraxld::com
