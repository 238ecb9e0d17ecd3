// The Win32 platform services against the real APIs under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

using miraxld::IPlatform;
using miraxld::RegistryValue;
using miraxld::SystemPlatform;

IPlatform& Platform() {
    return SystemPlatform();
}

// Polls `done` for up to a few seconds of real time; a broken timer fails instead of hanging.
template <typename Predicate>
bool Eventually(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

// --- registry -----------------------------------------------------------------------------

constexpr wchar_t kTestKey[] = L"SOFTWARE\\MIRAXLD-platform-test";

class RegistryFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
    }
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        ASSERT_EQ(RegSetValueExW(m_key, name, 0, type, static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
    }
    void SetText(const wchar_t* name, const std::wstring& text) {
        SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
    }
    void AddSubKey(const wchar_t* name) {
        HKEY sub = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(m_key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
        RegCloseKey(sub);
    }

    HKEY m_key = nullptr;
    const std::u16string m_path = u"SOFTWARE\\MIRAXLD-platform-test";
};

TEST_F(RegistryFixture, QueryStringReadsTextUpToTheFirstNul) {
    SetText(L"", L"MIRAXLD.POSLDisplay.1");
    SetText(L"Port", L"COM3");
    SetText(L"Empty", L"");
    const wchar_t unterminated[] = {L'9', L'6', L'0', L'0'};
    SetRaw(L"Unterminated", REG_SZ, unterminated, sizeof unterminated);
    const wchar_t embedded[] = {L'A', L'B', L'\0', L'C', L'\0'};
    SetRaw(L"Embedded", REG_SZ, embedded, sizeof embedded);
    const char odd[] = {'X', '\0', 'Y'};  // one whole character and a stray byte
    SetRaw(L"Odd", REG_BINARY, odd, sizeof odd);
    const std::wstring longText(3000, L'x');
    SetText(L"Long", longText);

    struct Row {
        const char16_t* name;
        long status;
        std::u16string data;
    };
    const Row rows[] = {
        {u"", 0, u"MIRAXLD.POSLDisplay.1"},
        {u"Port", 0, u"COM3"},
        {u"port", 0, u"COM3"},
        {u"Empty", 0, u""},
        {u"Unterminated", 0, u"9600"},
        {u"Embedded", 0, u"AB"},
        {u"Odd", 0, u"X"},
        {u"Long", 0, std::u16string(3000, u'x')},
        {u"Missing", ERROR_FILE_NOT_FOUND, u"unchanged"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(
            std::string(row.name, row.name + std::char_traits<char16_t>::length(row.name)));
        std::u16string data = u"unchanged";
        EXPECT_EQ(Platform().Registry().QueryString(m_path, row.name, &data), row.status);
        EXPECT_EQ(data, row.data);
    }
}

TEST_F(RegistryFixture, MissingKeyIsNotFoundForEveryCall) {
    const std::u16string missing = m_path + u"\\Nope";
    std::u16string data;
    std::vector<std::u16string> names;
    std::vector<RegistryValue> values;
    EXPECT_EQ(Platform().Registry().QueryString(missing, u"Port", &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Platform().Registry().EnumSubKeys(missing, &names), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Platform().Registry().EnumValues(missing, &values), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFixture, EnumeratesSubKeysAndValues) {
    AddSubKey(L"KT110");
    AddSubKey(L"A-second-display-with-a-long-name");
    SetText(L"Vid_Pid", L"0416_5011");
    SetText(L"BaudRate", L"9600");

    std::vector<std::u16string> names;
    ASSERT_EQ(Platform().Registry().EnumSubKeys(m_path, &names), 0);
    std::sort(names.begin(), names.end());  // the order is the registry's own
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A-second-display-with-a-long-name", u"KT110"}));

    std::vector<RegistryValue> values;
    ASSERT_EQ(Platform().Registry().EnumValues(m_path, &values), 0);
    ASSERT_EQ(values.size(), 2u);
    std::sort(values.begin(), values.end(),
              [](const RegistryValue& a, const RegistryValue& b) { return a.name < b.name; });
    EXPECT_EQ(values[0].name, u"BaudRate");
    EXPECT_EQ(values[0].data, u"9600");
    EXPECT_EQ(values[1].name, u"Vid_Pid");
    EXPECT_EQ(values[1].data, u"0416_5011");

    names = {u"stale"};
    ASSERT_EQ(Platform().Registry().EnumSubKeys(m_path + u"\\KT110", &names), 0);
    EXPECT_TRUE(names.empty());
}

// --- timers and threads ---------------------------------------------------------------------

// A deleted timer's callback may still run after the test has returned: what the callbacks
// touch is shared with them, never on the test's stack.
TEST(Win32Timers, TickOnAnotherThreadAndStopAfterDelete) {
    struct Shared {
        std::atomic<int> ticks{0};
        std::atomic<DWORD> tickThread{0};
    };
    const auto shared = std::make_shared<Shared>();
    miraxld::ITimerService& timers = Platform().Timers();
    const miraxld::TimerHandle timer = timers.Create(10, 10, [shared] {
        shared->tickThread = GetCurrentThreadId();
        ++shared->ticks;
    });
    ASSERT_NE(timer, 0u);
    ASSERT_TRUE(Eventually([&] { return shared->ticks.load() >= 3; }));
    EXPECT_NE(shared->tickThread.load(), GetCurrentThreadId());
    timers.Delete(timer);
    Sleep(50);  // lets a tick that had already started finish
    const int afterDelete = shared->ticks.load();
    Sleep(100);
    EXPECT_EQ(shared->ticks.load(), afterDelete);
    timers.Delete(timer);  // a second delete of the same timer is harmless
}

TEST(Win32Timers, DeleteFromInsideItsOwnCallbackIsSafe) {
    struct Shared {
        std::atomic<miraxld::TimerHandle> self{0};
        std::atomic<int> ticks{0};
        std::atomic<bool> ready{false};
    };
    const auto shared = std::make_shared<Shared>();
    // The callback owns a large capture so a use-after-free would show in the count it reads.
    const std::vector<int> payload(1000, 7);
    shared->self = Platform().Timers().Create(5, 5, [shared, payload] {
        while (!shared->ready.load()) {
            Sleep(1);
        }
        shared->ticks += payload[999] == 7 ? 1 : 100;
        Platform().Timers().Delete(shared->self.load());
    });
    ASSERT_NE(shared->self.load(), 0u);
    shared->ready = true;
    ASSERT_TRUE(Eventually([&] { return shared->ticks.load() >= 1; }));
    Sleep(60);
    EXPECT_EQ(shared->ticks.load(), 1);
}

TEST(Win32Threads, StartRunsTheBodyDetached) {
    std::atomic<DWORD> bodyThread{0};
    const auto token = std::make_shared<int>(42);
    ASSERT_TRUE(Platform().Threads().Start(
        [&bodyThread, token] { bodyThread = *token == 42 ? GetCurrentThreadId() : 1; }));
    ASSERT_TRUE(Eventually([&] { return bodyThread.load() != 0; }));
    EXPECT_NE(bodyThread.load(), GetCurrentThreadId());
    // The thread frees its copy of the body when it ends.
    EXPECT_TRUE(Eventually([&] { return token.use_count() == 1; }));
}

// --- code pages -----------------------------------------------------------------------------

TEST(Win32CodePages, ConvertAsTheSystemDoes) {
    struct Row {
        int codePage;
        std::u16string text;
        std::string bytes;
    };
    const Row rows[] = {
        {1252, u"Total 12.50", "Total 12.50"},
        {1252, u"\u00e9\u20ac\u00a3", "\xe9\x80\xa3"},
        {1252, u"\u3042", "?"},
        {437, u"\u00e9\u00c7\u2591", "\x82\x80\xb0"},
        {850, u"\u00e9\u00d8", "\x82\x9d"},
        {866, u"\u0416", "\x86"},
        {1251, u"\u0416", "\xc6"},
        {932, u"\u3042A",
         "\x82\xa0"
         "A"},
        {936, u"\u4e2d", "\xd6\xd0"},
        {949, u"\ud55c", "\xc7\xd1"},
        {950, u"\u4e2d", "\xa4\xa4"},
        {99999, u"A", ""},
        {1252, u"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.codePage);
        EXPECT_EQ(Platform().CodePages().ToMultiByte(row.codePage, row.text), row.bytes);
    }
    EXPECT_EQ(Platform().CodePages().AnsiCodePage(), static_cast<int>(GetACP()));
    EXPECT_EQ(Platform().CodePages().OemCodePage(), static_cast<int>(GetOEMCP()));
}

// --- files and message boxes ----------------------------------------------------------------

TEST(Win32Files, ReadWholeFilesAndRefuseWhatIsNotThere) {
    wchar_t directory[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, directory), 0u);
    const std::wstring path = std::wstring(directory) + L"miraxld-files-\u00e9.bin";
    std::vector<uint8_t> content(70000);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<uint8_t>(i * 7);
    }
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);

    const std::u16string path16(path.begin(), path.end());
    const std::u16string dir16(directory, directory + wcslen(directory));
    EXPECT_TRUE(Platform().Files().Exists(path16));
    EXPECT_EQ(Platform().Files().ReadAll(path16), content);
    DeleteFileW(path.c_str());
    EXPECT_FALSE(Platform().Files().Exists(path16));
    EXPECT_FALSE(Platform().Files().ReadAll(path16).has_value());
    EXPECT_FALSE(Platform().Files().Exists(dir16));
}

// OutputDebugStringW raises a debug-print exception that a vectored handler can observe
// before the system swallows it; that is how a debugger sees the text.
std::mutex g_printedLock;
std::vector<std::wstring> g_printed;

LONG CALLBACK CapturePrint(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    std::lock_guard lock(g_printedLock);
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
        g_printed.emplace_back(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]));
    } else if (record->ExceptionCode == DBG_PRINTEXCEPTION_C) {
        // Systems without the wide exception pass the text on converted to the ANSI code page.
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        g_printed.emplace_back(text, text + strlen(text));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(Win32Messages, DebugModeWritesTheMessageInsteadOfShowingIt) {
    SetEnvironmentVariableW(L"MIRAXLD_MESSAGE_BOX", L"debug");
    PVOID handler = AddVectoredExceptionHandler(1, &CapturePrint);
    Platform().UserMessages().Show(u"Firmware update finished", u"Line Display");
    Platform().DebugOutput().Write(u"CPOSLDisplay::CPOSLDisplay(): c-tor");
    RemoveVectoredExceptionHandler(handler);
    std::lock_guard lock(g_printedLock);
    if (g_printed.empty()) {
        GTEST_SKIP() << "this Wine does not raise debug-print exceptions";
    }
    EXPECT_EQ(g_printed,
              (std::vector<std::wstring>{L"MessageBox: Line Display: Firmware update finished",
                                         L"CPOSLDisplay::CPOSLDisplay(): c-tor"}));
}

}  // namespace
