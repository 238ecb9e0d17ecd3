// Self-registration of MIRAXLD.dll: exactly the class's keys under HKEY_CLASSES_ROOT and the
// type library, and nothing left of them after unregistration. The runner has registered the
// DLL beside this program; these tests leave it registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "com/com_owners.h"
#include "dll_exports.h"

namespace {

using miraxld::com::ComPtr;
using miraxld::com::UniqueHkey;
using miraxld::testco::BesideThisProgram;
using miraxld::testco::ExportOf;

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

std::wstring Text(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool KeyExists(const std::wstring& path) {
    UniqueHkey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// The value's text, or "<missing>".
std::wstring ValueOf(const std::wstring& path, const wchar_t* name) {
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS) {
        return L"<missing>";
    }
    return type == REG_SZ ? std::wstring(data) : L"<not text>";
}

// The names of the key's sub-keys, or of its values.
std::set<std::wstring> Names(const std::wstring& path, bool values) {
    std::set<std::wstring> names;
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return names;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if ((values ? RegEnumValueW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr)
                    : RegEnumKeyW(key.Get(), i, name, 256)) != ERROR_SUCCESS) {
            return names;
        }
        names.insert(name);
    }
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override {
        m_module = LoadLibraryW(BesideThisProgram(L"MIRAXLD.dll").c_str());
        ASSERT_NE(m_module, nullptr);
        m_register = ExportOf<EntryPoint>(m_module, "DllRegisterServer");
        m_unregister = ExportOf<EntryPoint>(m_module, "DllUnregisterServer");
        ASSERT_NE(m_register, nullptr);
        ASSERT_NE(m_unregister, nullptr);
        CoInitialize(nullptr);
    }
    void TearDown() override {
        // Whatever happened, the other tests need the class registered.
        EXPECT_EQ(m_register(), S_OK);
        CoUninitialize();
        FreeLibrary(m_module);
    }
    std::wstring ModulePath() const {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(m_module, path, MAX_PATH);
        return path;
    }

    HMODULE m_module = nullptr;
    EntryPoint m_register = nullptr;
    EntryPoint m_unregister = nullptr;
};

TEST_F(Registration, WritesExactlyTheClassKeys) {
    ASSERT_EQ(m_register(), S_OK);
    const std::wstring clsid = L"CLSID\\" + Text(CLSID_POSLDisplay);
    struct Row {
        std::wstring key;
        const wchar_t* value;  // nullptr: the default value
        std::wstring expected;
    };
    const Row rows[] = {
        {L"MIRAXLD.POSLDisplay.1", nullptr, L"POSLDisplay Class"},
        {L"MIRAXLD.POSLDisplay.1\\CLSID", nullptr, Text(CLSID_POSLDisplay)},
        {L"MIRAXLD.POSLDisplay", nullptr, L"POSLDisplay Class"},
        {L"MIRAXLD.POSLDisplay\\CLSID", nullptr, Text(CLSID_POSLDisplay)},
        {L"MIRAXLD.POSLDisplay\\CurVer", nullptr, L"MIRAXLD.POSLDisplay.1"},
        {clsid, nullptr, L"POSLDisplay Class"},
        {clsid + L"\\ProgID", nullptr, L"MIRAXLD.POSLDisplay.1"},
        {clsid + L"\\VersionIndependentProgID", nullptr, L"MIRAXLD.POSLDisplay"},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\TypeLib", nullptr, Text(LIBID_MIRAXLDLib)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ValueOf(row.key, row.value), row.expected)
            << std::string(row.key.begin(), row.key.end());
    }
    EXPECT_EQ(_wcsicmp(ValueOf(clsid + L"\\InprocServer32", nullptr).c_str(), ModulePath().c_str()),
              0);

    // Nothing beyond the table: the sub-keys and values of every key are exactly these.
    const std::set<std::wstring> none;
    EXPECT_EQ(Names(clsid, false),
              (std::set<std::wstring>{L"InprocServer32", L"ProgID", L"Programmable", L"TypeLib",
                                      L"VersionIndependentProgID"}));
    EXPECT_EQ(Names(L"MIRAXLD.POSLDisplay.1", false), std::set<std::wstring>{L"CLSID"});
    EXPECT_EQ(Names(L"MIRAXLD.POSLDisplay", false), (std::set<std::wstring>{L"CLSID", L"CurVer"}));
    EXPECT_EQ(Names(clsid + L"\\Programmable", false), none);
    EXPECT_EQ(Names(clsid + L"\\Programmable", true), none);
    EXPECT_EQ(Names(clsid + L"\\InprocServer32", true),
              (std::set<std::wstring>{L"", L"ThreadingModel"}));
    EXPECT_EQ(Names(clsid, true), std::set<std::wstring>{L""});

    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_MIRAXLDLib, 1, 0, 0x409, library.Put()), S_OK);
}

TEST_F(Registration, ReRegisteringClearsLeftoversAndUnregisteringRemovesTheKeys) {
    ASSERT_EQ(m_register(), S_OK);
    const std::wstring stale = L"CLSID\\" + Text(CLSID_POSLDisplay) + L"\\LocalServer32";
    {
        UniqueHkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, stale.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
    }
    ASSERT_EQ(m_register(), S_OK);
    EXPECT_FALSE(KeyExists(stale));
    EXPECT_TRUE(KeyExists(L"CLSID\\" + Text(CLSID_POSLDisplay) + L"\\InprocServer32"));

    ASSERT_EQ(m_unregister(), S_OK);
    const std::wstring gone[] = {L"MIRAXLD.POSLDisplay.1", L"MIRAXLD.POSLDisplay",
                                 L"CLSID\\" + Text(CLSID_POSLDisplay)};
    for (const std::wstring& key : gone) {
        EXPECT_FALSE(KeyExists(key)) << std::string(key.begin(), key.end());
    }
    EXPECT_TRUE(KeyExists(L"CLSID"));
    ComPtr<ITypeLib> library;
    EXPECT_NE(LoadRegTypeLib(LIBID_MIRAXLDLib, 1, 0, 0x409, library.Put()), S_OK);
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(L"MIRAXLD.POSLDisplay.1", &clsid), S_OK);
    // Unregistering what is not registered is no failure (an uninstaller may run twice).
    EXPECT_EQ(m_unregister(), S_OK);
}

}  // namespace
