// The Win32 platform services against the real APIs under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using miraxld::RegistryValue;
using miraxld::SystemPlatform;

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

constexpr wchar_t kTestKey[] = L"SOFTWARE\\MIRAXLD-platform-test";
constexpr char16_t kTestPath[] = u"SOFTWARE\\MIRAXLD-platform-test";

void SetRaw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
}

TEST(Win32Registry, ReadsTextUpToTheFirstNulAndEnumeratesKeysAndValues) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
    HKEY key = nullptr, sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    for (const wchar_t* name : {L"KT110", L"A-second-display-with-a-long-name"}) {
        ASSERT_EQ(RegCreateKeyExW(key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    SetRaw(key, L"", REG_SZ, L"MIRAXLD", 16);
    SetRaw(key, L"Port", REG_SZ, L"COM3", 10);
    SetRaw(key, L"Empty", REG_SZ, L"", 2);
    const wchar_t unterminated[] = {L'9', L'6', L'0', L'0'};
    SetRaw(key, L"Unterminated", REG_SZ, unterminated, sizeof unterminated);
    const wchar_t embedded[] = {L'A', L'B', L'\0', L'C', L'\0'};
    SetRaw(key, L"Embedded", REG_SZ, embedded, sizeof embedded);
    const char odd[] = {'X', '\0', 'Y'};  // one whole character and a stray byte
    SetRaw(key, L"Odd", REG_BINARY, odd, sizeof odd);
    const std::wstring longText(3000, L'x');
    SetRaw(key, L"Long", REG_SZ, longText.c_str(), 6002);
    RegCloseKey(key);

    miraxld::IRegistry& registry = SystemPlatform().Registry();
    const struct {
        const char16_t* name;
        long status;
        std::u16string data;
    } rows[] = {
        {u"", 0, u"MIRAXLD"},
        {u"Port", 0, u"COM3"},
        {u"port", 0, u"COM3"},
        {u"Empty", 0, u""},
        {u"Unterminated", 0, u"9600"},
        {u"Embedded", 0, u"AB"},
        {u"Odd", 0, u"X"},
        {u"Long", 0, std::u16string(3000, u'x')},
        {u"Missing", ERROR_FILE_NOT_FOUND, u"unchanged"},
    };
    for (const auto& row : rows) {
        std::u16string data = u"unchanged";
        EXPECT_EQ(registry.QueryString(kTestPath, row.name, &data), row.status);
        EXPECT_EQ(data, row.data);
    }

    std::vector<std::u16string> names;
    ASSERT_EQ(registry.EnumSubKeys(kTestPath, &names), 0);
    std::sort(names.begin(), names.end());  // the order is the registry's own
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A-second-display-with-a-long-name", u"KT110"}));
    names = {u"stale"};
    ASSERT_EQ(registry.EnumSubKeys(std::u16string(kTestPath) + u"\\KT110", &names), 0);
    EXPECT_TRUE(names.empty());
    std::vector<RegistryValue> values;
    ASSERT_EQ(registry.EnumValues(kTestPath, &values), 0);
    EXPECT_EQ(values.size(), 7u);
    EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](const RegistryValue& v) {
        return v.name == u"Port" && v.data == u"COM3";
    }));
    const std::u16string missing = std::u16string(kTestPath) + u"\\Nope";
    std::u16string data;
    EXPECT_EQ(registry.QueryString(missing, u"Port", &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.EnumSubKeys(missing, &names), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.EnumValues(missing, &values), ERROR_FILE_NOT_FOUND);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
}

TEST(Win32Timers, TickOnAnotherThreadAndStopAfterDelete) {
    miraxld::IClock& clock = SystemPlatform().Clock();
    const int64_t before = clock.NowMs();
    clock.SleepMs(20);
    EXPECT_GE(clock.NowMs() - before, 15);

    // A deleted timer's callback may still run after the test has returned: what the
    // callbacks touch is shared with them, never on the test's stack.
    struct Shared {
        std::atomic<int> ticks{0};
        std::atomic<DWORD> tickThread{0};
    };
    const auto shared = std::make_shared<Shared>();
    miraxld::ITimerService& timers = SystemPlatform().Timers();
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
    shared->self = SystemPlatform().Timers().Create(5, 5, [shared, payload] {
        while (!shared->ready.load()) {
            Sleep(1);
        }
        shared->ticks += payload[999] == 7 ? 1 : 100;
        SystemPlatform().Timers().Delete(shared->self.load());
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
    ASSERT_TRUE(SystemPlatform().Threads().Start(
        [&bodyThread, token] { bodyThread = *token == 42 ? GetCurrentThreadId() : 1; }));
    ASSERT_TRUE(Eventually([&] { return bodyThread.load() != 0; }));
    EXPECT_NE(bodyThread.load(), GetCurrentThreadId());
    // The thread frees its copy of the body when it ends.
    EXPECT_TRUE(Eventually([&] { return token.use_count() == 1; }));
}

TEST(Win32CodePages, ConvertAsTheSystemDoes) {
    const struct {
        int codePage;
        std::u16string text;
        std::string bytes;
    } rows[] = {
        {1252, u"A\u00e9\u20ac\u00a3", "A\xe9\x80\xa3"},
        {1252, u"\u3042", "?"},
        {437, u"\u00e9\u00c7\u2591", "\x82\x80\xb0"},
        {850, u"\u00e9\u00d8", "\x82\x9d"},
        {866, u"\u0416", "\x86"},
        {1251, u"\u0416", "\xc6"},
        {932, u"\u3042A", "\x82\xa0\x41"},
        {936, u"\u4e2d", "\xd6\xd0"},
        {949, u"\ud55c", "\xc7\xd1"},
        {950, u"\u4e2d", "\xa4\xa4"},
        {99999, u"A", ""},
        {1252, u"", ""},
    };
    miraxld::ICodePages& pages = SystemPlatform().CodePages();
    for (const auto& row : rows) {
        EXPECT_EQ(pages.ToMultiByte(row.codePage, row.text), row.bytes) << row.codePage;
    }
    EXPECT_EQ(pages.AnsiCodePage(), static_cast<int>(GetACP()));
    EXPECT_EQ(pages.OemCodePage(), static_cast<int>(GetOEMCP()));
}

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

    miraxld::IFileSystem& files = SystemPlatform().Files();
    const std::u16string path16(path.begin(), path.end());
    EXPECT_TRUE(files.Exists(path16));
    EXPECT_EQ(files.ReadAll(path16), content);
    DeleteFileW(path.c_str());
    EXPECT_FALSE(files.Exists(path16));
    EXPECT_FALSE(files.ReadAll(path16).has_value());
    EXPECT_FALSE(files.Exists(std::u16string(directory, directory + wcslen(directory))));
}

}  // namespace
