// The Win32 platform services against the real APIs under Wine; the serial link against the echo
// pty the suite runner links as a COM port, where every byte written comes back unchanged.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "eventually.h"
#include "platform/platform.h"
#include "transport/serial_port.h"

namespace {

using namespace miraxld;

TEST(Win32Registry, ReadsTextUpToTheFirstNulAndEnumeratesKeysAndValues) {
    const std::wstring key = L"SOFTWARE\\MIRAXLD-platform-test";
    const std::u16string path(key.begin(), key.end());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    for (const wchar_t* name : {L"\\KT110", L"\\A-second-display-with-a-long-name"}) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, (key + name).c_str(), nullptr, REG_SZ, L"", 2);
    }
    const std::wstring longText(3000, L'x');
    const struct {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD bytes;
        const char16_t* read;
        std::u16string expected;
    } rows[] = {
        {L"", REG_SZ, L"MIRAXLD", 16, u"", u"MIRAXLD"},
        {L"Port", REG_SZ, L"COM3", 10, u"port", u"COM3"},
        {L"Empty", REG_SZ, L"", 2, u"Empty", u""},
        {L"Unterminated", REG_SZ, L"9600", 8, u"Unterminated", u"9600"},
        {L"Embedded", REG_SZ, L"AB\0C", 10, u"Embedded", u"AB"},
        {L"Odd", REG_BINARY, "X\0Y", 3, u"Odd", u"X"},  // one whole character and a stray byte
        {L"Long", REG_SZ, longText.c_str(), 6002, u"Long", std::u16string(3000, u'x')},
    };
    IRegistry& registry = SystemPlatform().Registry();
    for (const auto& row : rows) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), row.name, row.type, row.data, row.bytes);
        std::u16string data = u"unchanged";
        EXPECT_EQ(registry.QueryString(path, row.read, &data), 0);
        EXPECT_EQ(data, row.expected);
    }
    std::u16string data = u"unchanged";
    EXPECT_EQ((std::pair{registry.QueryString(path, u"Missing", &data), data}),
              std::pair(ERROR_FILE_NOT_FOUND, std::u16string(u"unchanged")));

    std::vector<std::u16string> names;
    ASSERT_EQ(registry.EnumSubKeys(path, &names), 0);
    std::sort(names.begin(), names.end());  // the order is the registry's own
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A-second-display-with-a-long-name", u"KT110"}));
    names = {u"stale"};
    EXPECT_EQ((std::pair{registry.EnumSubKeys(path + u"\\KT110", &names), names.size()}),
              std::pair(0L, size_t{0}));
    std::vector<RegistryValue> values;
    ASSERT_EQ(registry.EnumValues(path, &values), 0);
    EXPECT_EQ(values.size(), 7u);
    EXPECT_TRUE(std::ranges::any_of(
        values, [](const RegistryValue& v) { return v.name == u"Port" && v.data == u"COM3"; }));
    EXPECT_EQ(registry.QueryString(path + u"\\Nope", u"Port", &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.EnumSubKeys(path + u"\\Nope", &names), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.EnumValues(path + u"\\Nope", &values), ERROR_FILE_NOT_FOUND);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
}

// A deleted timer's callback may still run after the test has returned: what it touches is
// shared with it, never on the test's stack.
struct TimerTicks {
    std::atomic<int> ticks{0};
    std::atomic<DWORD> thread{0};
    std::atomic<TimerHandle> self{0};
};

TEST(Win32TimersAndThreads, TimersStopAfterDeleteEvenFromTheirCallbackThreadsRunDetached) {
    IClock& clock = SystemPlatform().Clock();
    const int64_t before = clock.NowMs();
    clock.SleepMs(20);
    EXPECT_GE(clock.NowMs() - before, 15);

    ITimerService& timers = SystemPlatform().Timers();
    const auto outside = std::make_shared<TimerTicks>(), inside = std::make_shared<TimerTicks>();
    const TimerHandle timer = timers.Create(10, 10, [outside] {
        outside->thread = GetCurrentThreadId();
        ++outside->ticks;
    });
    // This callback owns a large capture so a use-after-free would show in the count it reads.
    const std::vector<int> payload(1000, 7);
    inside->self = timers.Create(5, 5, [inside, payload] {
        while (inside->self.load() == 0) {
            Sleep(1);
        }
        inside->ticks += payload[999] == 7 ? 1 : 100;
        SystemPlatform().Timers().Delete(inside->self.load());
    });
    ASSERT_TRUE(Eventually([&] { return outside->ticks >= 3 && inside->ticks >= 1; }));
    EXPECT_NE(outside->thread.load(), GetCurrentThreadId());
    timers.Delete(timer);
    Sleep(50);  // lets a tick that had already started finish
    const int afterDelete = outside->ticks.load();
    Sleep(100);
    EXPECT_EQ(std::pair(outside->ticks.load(), inside->ticks.load()), std::pair(afterDelete, 1));
    timers.Delete(timer);  // a second delete of the same timer is harmless

    std::atomic<DWORD> bodyThread{0};
    const auto token = std::make_shared<int>(42);
    ASSERT_TRUE(SystemPlatform().Threads().Start(
        [&bodyThread, token] { bodyThread = *token == 42 ? GetCurrentThreadId() : 1; }));
    ASSERT_TRUE(Eventually([&] { return bodyThread.load() != 0; }));
    EXPECT_NE(bodyThread.load(), GetCurrentThreadId());
    EXPECT_TRUE(Eventually([&] { return token.use_count() == 1; }));  // its copy freed at its end
}

TEST(Win32CodePages, ConvertAsTheSystemDoes) {
    const struct {
        int codePage;
        std::u16string text;
        std::string bytes;
    } rows[] = {{1252, u"A\u00e9\u20ac\u00a3\u3042", "A\xe9\x80\xa3?"},
                {932, u"\u3042A", "\x82\xa0\x41"},
                {99999, u"A", ""},
                {1252, u"", ""}};
    ICodePages& pages = SystemPlatform().CodePages();
    for (const auto& row : rows) {
        EXPECT_EQ(pages.ToMultiByte(row.codePage, row.text), row.bytes) << row.codePage;
    }
    EXPECT_EQ(pages.AnsiCodePage(), static_cast<int>(GetACP()));
    EXPECT_EQ(pages.OemCodePage(), static_cast<int>(GetOEMCP()));
}

TEST(Win32Files, ReadWholeFilesAndRefuseWhatIsNotThere) {
    const std::filesystem::path directory = std::filesystem::temp_directory_path();
    const std::filesystem::path path = directory / L"miraxld-files-\u00e9.bin";
    std::vector<uint8_t> content(70000);
    std::iota(content.begin(), content.end(), uint8_t{0});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(content.data()), 70000);
    IFileSystem& files = SystemPlatform().Files();
    EXPECT_TRUE(files.Exists(path.u16string()));
    EXPECT_EQ(files.ReadAll(path.u16string()), content);
    std::filesystem::remove(path);
    EXPECT_FALSE(files.Exists(path.u16string()));
    EXPECT_FALSE(files.ReadAll(path.u16string()).has_value());
    EXPECT_FALSE(files.Exists(directory.u16string()));
}

struct EchoPort : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(m_port.Open(5, 9600), 1);
        Sleep(20);
        for (uint8_t buffer[256]; m_port.Read(buffer, sizeof buffer) > 0;) {
        }
    }

    std::string Collect(size_t count) {
        std::string got;
        Eventually([&] {
            uint8_t buffer[256];
            const int read = m_port.Read(buffer, sizeof buffer);
            got.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(read));
            return got.size() >= count;
        });
        return got;
    }
    int Send(const std::string& text) {
        return m_port.Write(reinterpret_cast<const uint8_t*>(text.data()),
                            static_cast<int>(text.size()));
    }

    SerialPort m_port{SystemPlatform().CreateSerialDevice(), SystemPlatform().Clock()};
};

TEST_F(EchoPort, BytesComeBackUnchangedOverAReopenedLinkReadsDoNotWaitAClosedLinkSendsNothing) {
    EXPECT_EQ(m_port.Open(6, 115200), 1) << "open while open keeps the link";
    const std::string bytes("Total 12.50\x1b\x40\x0c\x0b\x00\xff\x80\x7f\x0d\x0a\x11\x13", 23);
    EXPECT_EQ(Send(bytes), 23);
    EXPECT_EQ(Collect(23), bytes);
    EXPECT_EQ(m_port.IsLineActive(), 0) << "a pty has no modem lines";
    EXPECT_EQ((std::pair{m_port.Close(), m_port.Close()}), std::pair(1, 1));  // twice is harmless
    uint8_t buffer[16] = {};
    EXPECT_EQ((std::tuple{Send("lost"), m_port.Read(buffer, 4), m_port.InputCount()}),
              std::tuple(0, 0, 0));
    // The same object opens again, as the monitor thread and the firmware loader need, and
    // reads only what is queued, without waiting.
    ASSERT_EQ(m_port.Open(5, 19200), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(m_port.InputCount(), 0);
    EXPECT_EQ(m_port.WaitForInput(5), 0);
    // A blocking read would sit in its 2000 ms pending wait; this bound only catches that.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));

    ASSERT_EQ(Send("0123456789"), 10);
    Eventually([&] { return m_port.InputCount() >= 10; });
    EXPECT_EQ(m_port.WaitForInput(0), 10);
    ASSERT_EQ(m_port.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "0123");
    EXPECT_EQ(m_port.InputCount(), 6);
    EXPECT_EQ(Collect(6), "456789");
}

TEST_F(EchoPort, ConcurrentWritesStayWhole) {
    constexpr size_t kRun = 32, kTotal = 2 * 20 * kRun;  // two writers of 20 runs each
    const auto writer = [this](char fill) {
        for (size_t sent = 0; sent < kTotal / 2; sent += kRun) {
            Send(std::string(kRun, fill));
        }
    };
    std::string echoed;
    {
        std::jthread reader([&] { echoed = Collect(kTotal); }), a(writer, 'A'), b(writer, 'B');
    }
    ASSERT_EQ(echoed.size(), kTotal);
    for (size_t start = 0; start < kTotal; start += kRun) {
        EXPECT_EQ(echoed.substr(start, kRun), std::string(kRun, echoed[start])) << start;
    }
}

}  // namespace
