// The Win32 platform services against the real APIs under Wine; the serial link against the echo
// pty the suite runner links as a COM port, where every byte written comes back unchanged.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "transport/serial_port.h"

namespace {

using miraxld::RegistryValue;
using miraxld::SerialPort;
using miraxld::SystemPlatform;

// Polls `done` for up to a few seconds of real time; a broken timer fails instead of hanging.
template <typename Predicate>
bool Eventually(Predicate done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
        Sleep(5);
    }
    return done();
}

TEST(Win32Registry, ReadsTextUpToTheFirstNulAndEnumeratesKeysAndValues) {
    const std::wstring key = L"SOFTWARE\\MIRAXLD-platform-test";
    const std::u16string path(key.begin(), key.end());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    for (const wchar_t* name : {L"\\KT110", L"\\A-second-display-with-a-long-name"}) {
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, (key + name).c_str(), nullptr, REG_SZ, L"", 2), 0);
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
    for (const auto& row : rows) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), row.name, row.type, row.data,
                                  row.bytes),
                  0);
    }
    miraxld::IRegistry& registry = SystemPlatform().Registry();
    for (const auto& row : rows) {
        std::u16string data = u"unchanged";
        EXPECT_EQ(registry.QueryString(path, row.read, &data), 0);
        EXPECT_EQ(data, row.expected);
    }
    std::u16string data = u"unchanged";
    EXPECT_EQ(registry.QueryString(path, u"Missing", &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(data, u"unchanged");

    std::vector<std::u16string> names;
    ASSERT_EQ(registry.EnumSubKeys(path, &names), 0);
    std::sort(names.begin(), names.end());  // the order is the registry's own
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A-second-display-with-a-long-name", u"KT110"}));
    names = {u"stale"};
    ASSERT_EQ(registry.EnumSubKeys(path + u"\\KT110", &names), 0);
    EXPECT_TRUE(names.empty());
    std::vector<RegistryValue> values;
    ASSERT_EQ(registry.EnumValues(path, &values), 0);
    EXPECT_EQ(values.size(), 7u);
    EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](const RegistryValue& v) {
        return v.name == u"Port" && v.data == u"COM3";
    }));
    EXPECT_EQ(registry.QueryString(path + u"\\Nope", u"Port", &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.EnumSubKeys(path + u"\\Nope", &names), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.EnumValues(path + u"\\Nope", &values), ERROR_FILE_NOT_FOUND);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
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
    } rows[] = {{1252, u"A\u00e9\u20ac\u00a3\u3042", "A\xe9\x80\xa3?"},
                {932, u"\u3042A", "\x82\xa0\x41"},
                {99999, u"A", ""},
                {1252, u"", ""}};
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
    std::iota(content.begin(), content.end(), uint8_t{0});
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

class EchoPort : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("MIRAXLD_TEST_ECHO_PORT");
        m_portNumber = port != nullptr ? std::atoi(port) : 0;
        if (m_portNumber <= 0) {
            GTEST_SKIP() << "MIRAXLD_TEST_ECHO_PORT is not set";
        }
        ASSERT_EQ(m_port.Open(m_portNumber, 9600), 1);
        Sleep(20);
        uint8_t buffer[256];
        while (m_port.Read(buffer, sizeof buffer) > 0) {
        }
    }

    // Reads until `count` bytes came back or a generous deadline passed.
    std::string Collect(size_t count) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        uint8_t buffer[256];
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            const int read = m_port.Read(buffer, sizeof buffer);
            if (read == 0) {
                Sleep(1);
            }
            got.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(read));
        }
        return got;
    }
    int Send(const std::string& text) {
        return m_port.Write(reinterpret_cast<const uint8_t*>(text.data()),
                            static_cast<int>(text.size()));
    }

    int m_portNumber = 0;
    SerialPort m_port{SystemPlatform().CreateSerialDevice(), SystemPlatform().Clock()};
};

TEST_F(EchoPort, BytesComeBackUnchangedOverAReopenedLinkAndAClosedLinkSendsNothing) {
    EXPECT_EQ(m_port.Open(m_portNumber + 1, 115200), 1) << "open while open keeps the link";
    const std::string bytes("Total 12.50\x1b\x40\x0c\x0b\x00\xff\x80\x7f\x0d\x0a\x11\x13", 23);
    EXPECT_EQ(Send(bytes), 23);
    EXPECT_EQ(Collect(23), bytes);
    EXPECT_EQ(m_port.IsLineActive(), 0) << "a pty has no modem lines";
    EXPECT_EQ(m_port.Close(), 1);
    EXPECT_EQ(m_port.Close(), 1);
    uint8_t buffer[4];
    EXPECT_EQ(Send("lost"), 0);
    EXPECT_EQ(m_port.Read(buffer, 4), 0);
    EXPECT_EQ(m_port.InputCount(), 0);
    // The same object opens again, as the monitor thread and the firmware loader need.
    ASSERT_EQ(m_port.Open(m_portNumber, 19200), 1);
    EXPECT_EQ(Send("back"), 4);
    EXPECT_EQ(Collect(4), "back");
}

TEST_F(EchoPort, ReadsWhatIsQueuedWithoutWaiting) {
    uint8_t buffer[16] = {};
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
    constexpr int kRun = 32;
    constexpr int kRunsPerWriter = 20;
    auto writer = [this](char fill) {
        for (int i = 0; i < kRunsPerWriter; ++i) {
            Send(std::string(kRun, fill));
        }
    };
    std::string echoed;
    std::thread reader([&] { echoed = Collect(2 * kRun * kRunsPerWriter); });
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
    a.join();
    b.join();
    reader.join();
    ASSERT_EQ(echoed.size(), static_cast<size_t>(2 * kRun * kRunsPerWriter));
    for (size_t start = 0; start < echoed.size(); start += kRun) {
        EXPECT_EQ(echoed.substr(start, kRun), std::string(kRun, echoed[start])) << start;
    }
}

}  // namespace
