// A test Control Object: drives the service object through IDispatch the way the OPOS Common
// Control Objects do, and receives its events on a dispatch interface of its own.
//
// The service object is created by ProgID (CoCreateInstance, CLSCTX_INPROC_SERVER), each
// method is resolved by name with GetIDsOfNames and called with Invoke: arguments as VARIANTs
// in reverse order, the [out, retval] value in pVarResult, BSTRs for text, VT_BYREF variants
// for the in/out and plain out parameters (DirectIO, ReadCharacterAtCursor). The caller must
// have initialised COM on its thread (see ComApartment).
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "com/com_owners.h"

namespace miraxld::testco {

// COM initialised (single-threaded apartment) for the life of the object.
class ComApartment {
  public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_hr)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Status() const { return m_hr; }

  private:
    HRESULT m_hr;
};

// One event call received from the service object.
struct EventRecord {
    std::wstring name;
    std::vector<std::wstring> arguments;  // as text, in declaration order
    LCID locale = 0;                      // as the service object passed them to Invoke
    WORD flags = 0;
};

// The Control Object's own dispatch interface with the five event methods. Thread-safe: the
// service object fires from its port monitor thread without marshalling. Lives inside
// ControlObject; its reference count only reports, it never deletes itself.
class EventReceiver final : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

    std::vector<EventRecord> Take();
    // Work of the Control Object's own, run inside Invoke on the firing thread after each event
    // is recorded, as a Control Object that delivers events synchronously does. Set it while
    // no event can arrive.
    std::function<void()> handler;
    // Names looked up so far, with the locale of each lookup (what the service object asked).
    std::vector<std::pair<std::wstring, LCID>> Lookups();

  private:
    std::mutex m_mutex;
    std::vector<EventRecord> m_events;
    std::vector<std::pair<std::wstring, LCID>> m_lookups;
};

// What one Invoke gave back.
struct CallResult {
    HRESULT hr = E_FAIL;               // the status of Invoke (or of the name lookup)
    std::optional<long> number;        // a long [out, retval]
    std::optional<std::wstring> text;  // a BSTR [out, retval]
    std::vector<std::pair<std::wstring, std::wstring>> outputs;  // by-reference parameters
    std::wstring error;  // why the call could not be made, if it could not
};

class ControlObject {
  public:
    ControlObject() = default;
    // Closes the service if the caller left it open (as a Control Object does on release),
    // then releases the service object.
    ~ControlObject();
    ControlObject(const ControlObject&) = delete;
    ControlObject& operator=(const ControlObject&) = delete;

    HRESULT Create(const wchar_t* progId = L"MIRAXLD.POSLDisplay.1");
    // Lets go of the service object without CloseService, as a careless application does.
    void Drop() {
        m_open = false;
        m_service.Reset();
    }
    IDispatch* ServiceObject() const { return m_service.Get(); }
    EventReceiver& Events() { return m_events; }

    // Calls one method of IPOSLDisplay by name. `arguments` are the script's texts for the
    // parameters the caller supplies: all but the retval and OpenService's pDispatch (always
    // this Control Object's event receiver). By-reference parameters take their initial value
    // from the text and come back in `outputs`.
    CallResult Call(std::wstring_view method, const std::vector<std::wstring>& arguments);

    // The DISPID the service object gives `name`, or the lookup's failure.
    HRESULT DispIdOf(std::wstring_view name, DISPID* dispid) const;

  private:
    com::ComPtr<IDispatch> m_service;
    bool m_open = false;
    EventReceiver m_events;
};

}  // namespace miraxld::testco
