// The class factory and the module as a client sees them through the DLL's exports: class
// lookup, aggregation, the unload answer and the construction trace.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "com/com_owners.h"
#include "dll_exports.h"
#include "platform/platform.h"

namespace {

using miraxld::com::ComPtr;
using miraxld::testco::BesideThisProgram;
using miraxld::testco::ExportOf;

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

class Factory : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitialize(nullptr);
        m_module = LoadLibraryW(BesideThisProgram(L"MIRAXLD.dll").c_str());
        ASSERT_NE(m_module, nullptr);
        m_getClassObject = ExportOf<GetClassObjectFn>(m_module, "DllGetClassObject");
        m_canUnload = ExportOf<CanUnloadFn>(m_module, "DllCanUnloadNow");
        ASSERT_NE(m_getClassObject, nullptr);
        ASSERT_NE(m_canUnload, nullptr);
        ASSERT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, m_factory.PutVoid()),
                  S_OK);
    }
    void TearDown() override {
        m_factory.Reset();
        FreeLibrary(m_module);
        CoUninitialize();
    }

    HMODULE m_module = nullptr;
    GetClassObjectFn m_getClassObject = nullptr;
    CanUnloadFn m_canUnload = nullptr;
    ComPtr<IClassFactory> m_factory;
};

TEST_F(Factory, ClassObjectLookup) {
    const struct {
        const CLSID& clsid;  // the interface id is no class
        const IID& iid;
        HRESULT expected;
    } rows[] = {{CLSID_POSLDisplay, IID_IClassFactory, S_OK},
                {CLSID_POSLDisplay, IID_IUnknown, S_OK},
                {IID_IPOSLDisplay, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
                {CLSID_POSLDisplay, IID_IDispatch, E_NOINTERFACE}};
    for (const auto& row : rows) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_getClassObject(row.clsid, row.iid, &out), row.expected);
        if (SUCCEEDED(row.expected)) {
            static_cast<IUnknown*>(out)->Release();
        } else {
            EXPECT_EQ(out, nullptr);
        }
    }
    EXPECT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, nullptr), E_POINTER);
}

// A minimal outer object that counts the calls the inner object delegates to it.
class Outer final : public IUnknown {
  public:
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

TEST_F(Factory, CreateInstanceAnswers) {
    Outer outer;
    const struct {
        IUnknown* outer;
        const IID& iid;
        HRESULT expected;
    } rows[] = {{nullptr, IID_IPOSLDisplay, S_OK},
                {nullptr, IID_IDispatch, S_OK},
                {nullptr, IID_IConnectionPointContainer, S_OK},
                {nullptr, IID_IPersist, E_NOINTERFACE},
                {&outer, IID_IPOSLDisplay, CLASS_E_NOAGGREGATION},
                {&outer, IID_IDispatch, CLASS_E_NOAGGREGATION},
                {&outer, IID_IUnknown, S_OK}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_factory->CreateInstance(rows[i].outer, rows[i].iid, &out), rows[i].expected)
            << i;
        if (SUCCEEDED(rows[i].expected)) {
            ASSERT_NE(out, nullptr);
            static_cast<IUnknown*>(out)->Release();
        } else {
            EXPECT_EQ(out, nullptr) << i;
        }
    }
    EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IPOSLDisplay, nullptr), E_POINTER);
    EXPECT_EQ(outer.refs.load(), 1u);  // a refused or released inner object holds nothing
}

TEST_F(Factory, AggregatedObjectDelegatesToTheOuterUnknown) {
    Outer outer;
    ComPtr<IUnknown> inner;
    ASSERT_EQ(m_factory->CreateInstance(&outer, IID_IUnknown, inner.PutVoid()), S_OK);

    // The inner IUnknown is the object's own; an interface of the object counts its references
    // on the outer object and asks it for other interfaces.
    ComPtr<IUnknown> again;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), inner.Get());
    again.Reset();
    ComPtr<IPOSLDisplay> display;
    ASSERT_EQ(inner->QueryInterface(IID_IPOSLDisplay, display.PutVoid()), S_OK);
    EXPECT_EQ(outer.refs.load(), 2u);
    void* other = nullptr;
    EXPECT_EQ(display->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(outer.queries.load(), 1);
    display.Reset();
    EXPECT_EQ(outer.refs.load(), 1u);
}

TEST_F(Factory, CanUnloadOnlyWithoutObjectsAndLocks) {
    m_factory->AddRef();  // a held factory keeps the module loaded, too
    EXPECT_EQ(m_canUnload(), S_FALSE);
    m_factory->Release();
    m_factory.Reset();
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, factory.PutVoid()), S_OK);
    IClassFactory* raw = factory.Detach();  // only the lock below must count from here on

    ComPtr<IPOSLDisplay> object;
    ASSERT_EQ(raw->CreateInstance(nullptr, IID_IPOSLDisplay, object.PutVoid()), S_OK);
    ComPtr<IEnumConnectionPoints> points;
    {
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(object.As(&container), S_OK);
        ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    }
    ASSERT_EQ(raw->LockServer(TRUE), S_OK);
    raw->Release();

    EXPECT_EQ(m_canUnload(), S_FALSE) << "object, enumerator and lock alive";
    object.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE) << "enumerator and lock alive";
    points.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE) << "lock held";
    ASSERT_EQ(m_getClassObject(CLSID_POSLDisplay, IID_IClassFactory, factory.PutVoid()), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(m_canUnload(), S_OK);
}

// Debug output reaches a process as a first-chance exception before any debugger sees it, so a
// vectored handler can record it. Windows raises the wide form and then the narrow one, Wine only
// the narrow one: the narrow one alone counts.
std::mutex g_printedMutex;
std::vector<std::string> g_printed;

LONG CALLBACK RecordPrint(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        std::lock_guard lock(g_printedMutex);
        g_printed.emplace_back(text, text + record->ExceptionInformation[0] - 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// The object's trace and, with MIRAXLD_MESSAGE_BOX=debug, the user messages go to the debugger.
TEST_F(Factory, OneObjectTracesItsConstructionAndDestructionAndMessagesGoToTheDebugger) {
    SetEnvironmentVariableW(L"MIRAXLD_MESSAGE_BOX", L"debug");
    PVOID handler = AddVectoredExceptionHandler(1, &RecordPrint);
    ComPtr<IPOSLDisplay> object;
    EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IPOSLDisplay, object.PutVoid()), S_OK);
    object.Reset();
    miraxld::SystemPlatform().UserMessages().Show(u"Firmware update finished", u"Line Display");
    RemoveVectoredExceptionHandler(handler);
    std::lock_guard lock(g_printedMutex);
    const std::vector<std::string> expected = {
        "CPOSLDisplay::CPOSLDisplay(): c-tor", "CPOSLDisplay::CPOSLDisplay(): d-tor",
        "MessageBox: Line Display: Firmware update finished"};
    EXPECT_EQ(g_printed, expected);
}

}  // namespace
