// The COM server as clients reach it: through the DLL's exports, and as a Control Object that
// creates it by ProgID and calls it through IDispatch::Invoke, also against the simulator on COM6.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "com/com_owners.h"
#include "control_object.h"
#include "dll_exports.h"
#include "eventually.h"
#include "platform/platform.h"

namespace {

using namespace miraxld::com;
using namespace miraxld::testco;
using CanUnloadFn = decltype(&DllCanUnloadNow);

struct Factory : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(m_getClassObject && m_canUnload);
        ASSERT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, m_factory.PutVoid()),
                  S_OK);
    }
    ComApartment m_apartment;
    const std::unique_ptr<HINSTANCE__, decltype(&FreeLibrary)> m_module{
        LoadLibraryW(BesideThisProgram(L"MIRAXLD.dll").c_str()), &FreeLibrary};
    decltype(&DllGetClassObject) m_getClassObject =
        ExportOf<decltype(&DllGetClassObject)>(m_module.get(), "DllGetClassObject");
    CanUnloadFn m_canUnload = ExportOf<CanUnloadFn>(m_module.get(), "DllCanUnloadNow");
    ComPtr<IClassFactory> m_factory;
};

// A minimal outer object that counts the calls the inner object delegates to it.
struct Outer final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        ++queries;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    std::atomic<ULONG> refs{1};
    std::atomic<int> queries{0};
};

// An aggregated object's IUnknown is its own; its other interfaces count and query on the outer.
TEST_F(Factory, ClassObjectCreateInstanceAndAggregation) {
    Outer outer;
    const struct {
        const CLSID& clsid;  // to DllGetClassObject; CLSID_NULL: to the factory's CreateInstance
        IUnknown* outer;
        const IID& iid;
        HRESULT expected;
    } rows[] = {{CLSID_POSLDisplay, nullptr, IID_IUnknown, S_OK},
                {IID_IPOSLDisplay, nullptr, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
                {CLSID_POSLDisplay, nullptr, IID_IDispatch, E_NOINTERFACE},
                {CLSID_NULL, nullptr, IID_IPOSLDisplay, S_OK},
                {CLSID_NULL, nullptr, IID_IPersist, E_NOINTERFACE},
                {CLSID_NULL, &outer, IID_IPOSLDisplay, CLASS_E_NOAGGREGATION},
                {CLSID_NULL, &outer, IID_IUnknown, S_OK}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(row.clsid == CLSID_NULL ? m_factory->CreateInstance(row.outer, row.iid, &out)
                                          : m_getClassObject(row.clsid, row.iid, &out),
                  row.expected)
            << i;
        ASSERT_EQ(out != nullptr, SUCCEEDED(row.expected)) << i;
        if (out != nullptr) {
            static_cast<IUnknown*>(out)->Release();
        }
    }
    EXPECT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IPOSLDisplay, nullptr), E_POINTER);
    ComPtr<IUnknown> inner, again;
    ASSERT_EQ(m_factory->CreateInstance(&outer, IID_IUnknown, inner.PutVoid()), S_OK);
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), inner.Get());
    ComPtr<IPOSLDisplay> display;
    ASSERT_EQ(inner->QueryInterface(IID_IPOSLDisplay, display.PutVoid()), S_OK);
    EXPECT_EQ(outer.refs.load(), 2u);  // a refused or released inner object holds nothing
    void* other = nullptr;
    EXPECT_EQ(display->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(outer.queries.load(), 1);
    display.Reset();
    EXPECT_EQ(outer.refs.load(), 1u);
}

// Debug output reaches a vectored handler as a first-chance exception: Windows raises the wide
// form, then the narrow one; Wine only the narrow one, so the narrow one alone counts.
std::mutex g_printedMutex;
std::vector<std::string> g_printed;

TEST_F(Factory, OneObjectTracesItsLifeObjectsAndLocksKeepTheModuleMessagesGoToTheDebugger) {
    SetEnvironmentVariableW(L"MIRAXLD_MESSAGE_BOX", L"debug");
    PVOID handler = AddVectoredExceptionHandler(1, [](EXCEPTION_POINTERS* info) -> LONG {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
            const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
            std::lock_guard lock(g_printedMutex);
            g_printed.emplace_back(text, text + record->ExceptionInformation[0] - 1);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    });
    EXPECT_EQ(m_canUnload(), S_FALSE);  // a held factory keeps the module loaded, too
    ComPtr<IPOSLDisplay> object;
    ASSERT_EQ(m_factory->CreateInstance(nullptr, IID_IPOSLDisplay, object.PutVoid()), S_OK);
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(object.As(&container), S_OK);
    ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    container.Reset();
    ASSERT_EQ(m_factory->LockServer(TRUE), S_OK);
    m_factory.Reset();  // only the lock must count from here on
    EXPECT_EQ(m_canUnload(), S_FALSE) << "object, enumerator and lock alive";
    object.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE) << "enumerator and lock alive";
    points.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE) << "lock held";
    ASSERT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, m_factory.PutVoid()), S_OK);
    m_factory->LockServer(FALSE);
    m_factory.Reset();
    EXPECT_EQ(m_canUnload(), S_OK);
    miraxld::SystemPlatform().UserMessages().Show(u"Firmware update finished", u"Line Display");
    RemoveVectoredExceptionHandler(handler);
    std::lock_guard lock(g_printedMutex);
    EXPECT_EQ(g_printed,
              (std::vector<std::string>{"CPOSLDisplay::CPOSLDisplay(): c-tor",
                                        "CPOSLDisplay::CPOSLDisplay(): d-tor",
                                        "MessageBox: Line Display: Firmware update finished"}));
}

// The methods in the order of their fixed dispids, 1 to 30.
constexpr const wchar_t* kMethodNames =
    L"OpenService CloseService ClaimDevice ReleaseDevice CheckHealth DirectIO DisplayText "
    L"DisplayTextAt ClearText ScrollText SetDescriptor ClearDescriptors RefreshWindow "
    L"ReadCharacterAtCursor DefineGlyph GetPropertyNumber SetPropertyNumber GetPropertyString "
    L"SetPropertyString COFreezeEvents CreateWindow DestroyWindow StatusUpdateEvent "
    L"CompareFirmwareVersion ResetStatistics RetrieveStatistics UpdateFirmware UpdateStatistics "
    L"DisplayBitmap SetBitmap";

struct Dispatch : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(m_co.Create(), S_OK);
        ASSERT_EQ(m_co.ServiceObject()->QueryInterface(IID_IPOSLDisplay, m_vtable.PutVoid()), S_OK);
    }
    ComApartment m_apartment;
    ControlObject m_co;
    ComPtr<IPOSLDisplay> m_vtable;
};

TEST_F(Dispatch, BothProgIdsNamesResultsOutputsAndEventNamesCrossTheBoundary) {
    EXPECT_EQ(ControlObject().Create(L"MIRAXLD.POSLDisplay"), S_OK);  // the version-independent one
    DISPID id = -1, expected = 0;
    std::wistringstream names(kMethodNames);
    for (std::wstring name; names >> name;) {
        EXPECT_EQ((std::pair{m_co.DispIdOf(name, &id), id}), std::pair(S_OK, ++expected));
    }
    EXPECT_EQ(m_co.DispIdOf(L"cleartext", &id), S_OK);  // ignoring case, as OLE Automation does
    EXPECT_EQ(m_co.DispIdOf(L"ResultCode", &id), DISP_E_UNKNOWNNAME);  // a property: by number
    // A failing result code is a successful Invoke's retval, the vtable call's status itself;
    // by-reference parameters come back; OpenService looks up the five event names.
    const auto closed = m_co.Call(L"ClearText", {});
    EXPECT_EQ(std::pair(closed.hr, closed.number), std::pair(S_OK, std::optional(103L)));
    LONG rc = -1;
    EXPECT_EQ((std::pair{m_vtable->ClearText(&rc), rc}), std::pair(103L, 103L));
    using Outputs = decltype(closed.outputs);
    const std::wstring text = L"caf\u00e9 \u05e9\u05dc\u05d5\u05dd";
    const auto io = m_co.Call(L"DirectIO", {L"7", L"42", text});
    EXPECT_EQ(std::pair(io.hr, io.number), std::pair(S_OK, std::optional(0L)));
    EXPECT_EQ(io.outputs, (Outputs{{L"pData", L"42"}, {L"pString", text}}));
    ASSERT_EQ(m_co.Call(L"OpenService", {L"LineDisplay", L"KT110"}).hr, S_OK);
    // An out-only parameter: a freshly opened display holds spaces.
    EXPECT_EQ(m_co.Call(L"ReadCharacterAtCursor", {L"-5"}).outputs, (Outputs{{L"pChar", L"32"}}));
    std::vector<std::pair<std::wstring, LCID>> lookups;
    for (auto name :
         {L"SOData", L"SODirectIO", L"SOError", L"SOStatusUpdate", L"SOOutputComplete"}) {
        lookups.emplace_back(name, LOCALE_SYSTEM_DEFAULT);
    }
    EXPECT_EQ(m_co.Events().Lookups(), lookups);
}

// Refusals leave out pointers null; one pointer for IDispatch and the dual interface, no class
// info, connection points that accept no connection.
TEST_F(Dispatch, BadCallsAndAbsentInterfacesAreRefusedAtTheBoundary) {
    IPOSLDisplay* d = m_vtable.Get();
    EXPECT_EQ(static_cast<IDispatch*>(d), m_co.ServiceObject());
    const auto invoke = [d](DISPID id, const IID& iid) {  // 3: ClaimDevice, without its argument
        VARIANT result{};
        DISPPARAMS none{};
        return d->Invoke(id, iid, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
    };
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IEnumConnectionPoints> points, clone;
    ASSERT_EQ(m_vtable.As(&container), S_OK);
    ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    ASSERT_EQ(points->Clone(clone.Put()), S_OK);
    LONG n = 0;
    BSTR s = nullptr;
    UniqueBstr text(u"x");
    auto* const kSet = reinterpret_cast<IConnectionPoint*>(1);
    IConnectionPoint *events = kSet, *notify = kSet, *next = kSet;
    void* classInfo = kSet;
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(kSet);
    ULONG fetched = 7;
    UINT count = 0;
    const std::pair<HRESULT, HRESULT> answers[] = {
        {invoke(3, IID_NULL), DISP_E_BADPARAMCOUNT},
        {invoke(3, IID_IPOSLDisplay), DISP_E_UNKNOWNINTERFACE},
        {invoke(99, IID_NULL), DISP_E_MEMBERNOTFOUND},
        {d->OpenService(text.Get(), text.Get(), nullptr, nullptr), E_POINTER},
        {d->DirectIO(0, nullptr, &s, &n), E_POINTER},
        {d->DirectIO(0, &n, nullptr, &n), E_POINTER},
        {d->DirectIO(0, &n, &s, nullptr), E_POINTER},
        {d->GetPropertyNumber(1, nullptr), E_POINTER},
        {d->GetPropertyString(1, nullptr), E_POINTER},
        {d->GetTypeInfoCount(nullptr), E_POINTER},
        {d->GetTypeInfo(0, 0, nullptr), E_POINTER},
        {d->GetTypeInfoCount(&count), S_OK},
        {d->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX},
        {d->QueryInterface(IID_IProvideClassInfo, &classInfo), E_NOINTERFACE},
        {container->FindConnectionPoint(DIID__IPOSLDisplayEvents, &events), CONNECT_E_NOCONNECTION},
        {container->FindConnectionPoint(IID_IPropertyNotifySink, &notify), CONNECT_E_NOCONNECTION},
        {points->Next(1, &next, &fetched), S_FALSE},
        {clone->Next(1, &next, nullptr), S_FALSE}};
    for (size_t i = 0; i < std::size(answers); ++i) {
        EXPECT_EQ(answers[i].first, answers[i].second) << "row " << i;
    }
    EXPECT_EQ(std::tuple(count, fetched), std::tuple(1u, 0ul));
    EXPECT_EQ((std::vector<const void*>{info, classInfo, events, notify}),
              std::vector<const void*>(4, nullptr));
}

// A client that asks the object to describe itself gets the dual interface's dispatch half.
TEST_F(Dispatch, TypeLibraryDescribesTheClassWithItsDualInterfaceAndEventSource) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_MIRAXLDLib, 1, 0, 0x409, library.Put()), S_OK);
    UniqueBstr name;
    ASSERT_EQ(library->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name.Get(), L"MIRAXLDLib");
    const struct {
        const GUID* guid;  // null: the object's own
        const wchar_t* name;
        TYPEKIND kind;
        WORD flags;  // flags that must be set
    } rows[] = {
        {&DIID__IPOSLDisplayEvents, L"_IPOSLDisplayEvents", TKIND_DISPATCH, 0},
        {&CLSID_POSLDisplay, L"POSLDisplay", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        // widl marks the dispatch half of a dual interface dual and dispatchable only; the
        // oleautomation flag sits on the vtable half.
        {&IID_IPOSLDisplay, L"IPOSLDisplay", TKIND_DISPATCH,
         TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE},
        {nullptr, L"IPOSLDisplay", TKIND_DISPATCH, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE},
    };
    EXPECT_EQ(library->GetTypeInfoCount(), std::size(rows) - 1);
    for (const auto& row : rows) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(row.guid ? library->GetTypeInfoOfGuid(*row.guid, info.Put())
                           : m_co.ServiceObject()->GetTypeInfo(0, 0, info.Put()),
                  S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(std::pair(type->typekind, type->wTypeFlags & row.flags),
                  std::pair(row.kind, +row.flags));
        if (row.kind == TKIND_COCLASS) {
            INT impl[2] = {};
            info->GetImplTypeFlags(0, &impl[0]);
            info->GetImplTypeFlags(1, &impl[1]);
            EXPECT_EQ(
                std::tuple(type->cImplTypes, impl[0], impl[1]),
                std::tuple(2, IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE));
        }
        info->ReleaseTypeAttr(type);
        ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr),
                  S_OK);
        EXPECT_STREQ(name.Get(), row.name);
    }
}

// COM6 in the system's serial-port list while this lives; the port monitor keeps the link open
// only while the port is listed.
struct ListedPort {
    static constexpr const wchar_t* kList = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    static constexpr const wchar_t* kName = L"\\Device\\MiraxldEndToEnd";
    ListedPort() {
        UniqueHkey key;  // HARDWARE is volatile, so a key created below it must be too
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kList, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key.Put(), nullptr);
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kList, kName, REG_SZ, L"COM6", 10);
    }
    ~ListedPort() { Remove(); }
    void Remove() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kList, kName); }
};

// The application may drop the object without CloseService as the monitor is about to report,
// or drop or close it from its status handler on the monitor thread: every call returns, the
// change is reported once and the object is destroyed.
TEST(EndToEnd, TheObjectMayBeClosedOrDroppedWhileTheMonitorReports) {
    ComApartment apartment;
    enum class Way { kDropAtOnce, kCloseInHandler, kDropInHandler };
    for (const Way way : {Way::kDropAtOnce, Way::kCloseInHandler, Way::kDropInHandler}) {
        SCOPED_TRACE(static_cast<int>(way));
        ListedPort listed;
        {
            ControlObject co;
            ASSERT_EQ(co.Create(), S_OK);
            std::atomic<bool> armed{false}, returned{false};
            co.Events().handler = [&] {
                if (!armed.exchange(false)) {
                    return;
                }
                if (way == Way::kCloseInHandler) {
                    co.Call(L"CloseService", {});
                }
                if (way == Way::kDropInHandler) {
                    co.Drop();
                }
                returned = true;
            };
            ASSERT_EQ(co.Call(L"OpenService", {L"LineDisplay", L"KT110"}).number, 0);
            ASSERT_EQ(co.Call(L"ClaimDevice", {L"1000"}).number, 0);
            // The first pass finds a pty without modem lines: off. The next one runs 200 ms on.
            Eventually([&] { return !co.Events().Take().empty(); }, 3000);
            armed = true;
            listed.Remove();
            if (way == Way::kDropAtOnce) {
                co.Drop();
            }
            EXPECT_TRUE(Eventually([&] { return returned.load(); }, 3000));
            const std::vector<EventRecord> events = co.Events().Take();
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].arguments, std::vector<std::wstring>{L"2003"});
            EXPECT_EQ(events[0].locale, static_cast<LCID>(LOCALE_USER_DEFAULT));
            EXPECT_EQ(events[0].flags, DISPATCH_METHOD);
        }
        const auto canUnload =
            ExportOf<CanUnloadFn>(GetModuleHandleW(L"MIRAXLD.dll"), "DllCanUnloadNow");
        EXPECT_TRUE(Eventually([&] { return canUnload() == S_OK; }, 3000))
            << "the object was never destroyed";
    }
}

}  // namespace
