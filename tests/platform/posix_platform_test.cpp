// The POSIX platform layer as the native build uses it: the registry file, termios ports over a
// pseudo-terminal, code-page conversion with the bytes Windows gives, timers and threads.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "platform/platform.h"

namespace miraxld {
namespace {

namespace fs = std::filesystem;

// A scratch directory that `variable` points the platform to.
fs::path ScratchDirectory(const std::string& name, const char* variable, const char* file) {
    const fs::path dir =
        fs::temp_directory_path() / ("miraxld-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    setenv(variable, (*file != 0 ? dir / file : dir).c_str(), 1);
    return dir;
}

bool Eventually(const auto& done, int tries = 400) {
    for (; tries > 0 && !done(); --tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return tries > 0;
}

TEST(PosixRegistry, ReadsTheFileAfreshOnEveryCall) {
    const fs::path dir = ScratchDirectory("registry", "MIRAXLD_REGISTRY", "registry.reg");
    const fs::path file = dir / "registry.reg";
    IRegistry& registry = SystemPlatform().Registry();
    std::u16string data;
    EXPECT_EQ(registry.QueryString(u"SOFTWARE\\X", u"", &data), kRegistryNotFound);

    std::ofstream(file)
        << "Windows Registry Editor Version 5.00\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\KT110]\n"
           "@=\"MIRAXLD.POSLDisplay.1\"\n"
           "\"Port\"=\"COM3\"\n"
           "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
           "\"\\\\Device\\\\Serial0\"=\"COM1\"\n";
    const std::u16string key = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\KT110";
    using Read = std::pair<long, std::u16string>;
    EXPECT_EQ((Read{registry.QueryString(key, u"", &data), data}),
              Read(0, u"MIRAXLD.POSLDisplay.1"));
    const std::u16string lowerCase = u"software\\oleforretail\\serviceopos\\linedisplay\\kt110";
    EXPECT_EQ((Read{registry.QueryString(lowerCase, u"PORT", &data), data}), Read(0, u"COM3"));
    EXPECT_EQ(registry.QueryString(key, u"BaudRate", &data), kRegistryNotFound);

    std::vector<std::u16string> names;
    ASSERT_EQ(registry.EnumSubKeys(u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay", &names), 0);
    EXPECT_EQ(names, std::vector<std::u16string>{u"KT110"});
    std::vector<RegistryValue> values;
    ASSERT_EQ(registry.EnumValues(u"HARDWARE\\DEVICEMAP\\SERIALCOMM", &values), 0);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name + u"=" + values[0].data, u"\\Device\\Serial0=COM1");
    // A value deleted in the file is gone at the next read.
    std::ofstream(file, std::ios::app) << "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
                                          "\"\\\\Device\\\\Serial0\"=-\n";
    ASSERT_EQ(registry.EnumValues(u"HARDWARE\\DEVICEMAP\\SERIALCOMM", &values), 0);
    EXPECT_TRUE(values.empty());
    fs::remove_all(dir);
    unsetenv("MIRAXLD_REGISTRY");
}

// A pseudo-terminal standing in for a COM port: the test holds the far end.
struct PosixSerial : public ::testing::Test {
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        fcntl(m_master, F_SETFL, O_NONBLOCK);
        m_dir = ScratchDirectory("com", "MIRAXLD_COM_DIR", "");
        fs::create_symlink(name, m_dir / "com5");
        m_device = SystemPlatform().CreateSerialDevice();
    }
    void TearDown() override {
        m_device.reset();
        unsetenv("MIRAXLD_COM_DIR");
        close(m_master);
        close(m_slave);
        fs::remove_all(m_dir);
    }
    std::string ReadFarEnd(size_t count, int tries = 200) {
        std::string bytes;
        const auto arrived = [&] {
            char buffer[64];
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            bytes.append(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0)));
            return bytes.size() >= count;
        };
        Eventually(arrived, tries);
        return bytes;
    }
    int m_master = -1, m_slave = -1;
    fs::path m_dir;
    std::unique_ptr<ISerialDevice> m_device;
};

TEST_F(PosixSerial, OpensRawAtTheBaudRateMovesBytesBothWaysAndClosedSendsNothing) {
    uint8_t buffer[16] = {};
    // COM9 does not exist; closed, nothing is written or read.
    EXPECT_EQ(
        std::tuple(m_device->Open(9, 9600), m_device->Open(0, 9600), m_device->WriteByte(0x41),
                   m_device->Read(buffer, 1), m_device->InputCount()),
        std::tuple(false, false, false, 0, 0));
    ASSERT_TRUE(m_device->Open(5, 9600));
    termios settings{};
    ASSERT_EQ(tcgetattr(m_slave, &settings), 0);
    // Raw: no echo, no line editing, and 0x0A must not become 0x0D 0x0A.
    EXPECT_EQ(std::tuple(cfgetospeed(&settings), settings.c_cflag & CSIZE,
                         settings.c_lflag & (ICANON | ECHO), settings.c_oflag & OPOST),
              std::tuple(speed_t{B9600}, tcflag_t{CS8}, tcflag_t{0}, tcflag_t{0}));

    for (uint8_t byte : {0x1B, 0x40, 0x0A, 0x0D, 0x00, 0xFF}) {
        EXPECT_TRUE(m_device->WriteByte(byte));
    }
    EXPECT_EQ(ReadFarEnd(6), std::string("\x1B\x40\x0A\x0D\x00\xFF", 6));

    EXPECT_EQ(m_device->Read(buffer, sizeof buffer), 0);  // nothing waiting: returns at once
    ASSERT_EQ(write(m_master, "\xAA\x01\x02", 3), 3);
    EXPECT_TRUE(Eventually([&] { return m_device->InputCount() == 3; }));
    EXPECT_EQ(m_device->Read(buffer, 2), 2);
    EXPECT_EQ(m_device->Read(buffer + 2, sizeof buffer - 2), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "\xAA\x01\x02");

    uint32_t bits = 0xDEAD;
    EXPECT_FALSE(m_device->ModemStatus(&bits));  // a pty has no modem lines

    m_device->Close();
    EXPECT_FALSE(m_device->WriteByte(0x41));
    EXPECT_EQ(ReadFarEnd(1, 10), "");
}

// As WideCharToMultiByte converts: "?" for what a code page lacks, nothing for an unknown page.
TEST(PosixCodePages, ConvertLikeTheWindowsTables) {
    ICodePages& pages = SystemPlatform().CodePages();
    const struct {
        int codePage;
        std::u16string text;
        std::string bytes;
    } rows[] = {{1252, u"A\u20AC\u00E9", "A\x80\xE9"},
                {437, u"\u00E9\u2591", "\x82\xB0"},
                {850, u"\u00D8", "\x9D"},
                {866, u"\u0416", "\x86"},
                {1255, u"\u05D0", "\xE0"},
                {1256, u"\u0628", "\xC8"},
                {932, u"\u30A2A", "\x83\x41\x41"},
                {936, u"\u4E2D", "\xD6\xD0"},
                {1252, u"\u4E2D", "?"},
                {437, u"\u20AC", "?"},
                {12345, u"A", ""},
                {1252, u"", ""}};
    for (const auto& row : rows) {
        EXPECT_EQ(pages.ToMultiByte(row.codePage, row.text), row.bytes) << row.codePage;
    }
}

TEST(PosixTimersAndThreads, TimersTickUntilDeletedAndThreadsRun) {
    IPlatform& platform = SystemPlatform();
    // Callbacks may run after this test returns: what they touch is shared, never on this stack.
    struct Shared {
        std::atomic<int> ticks{0}, selfTicks{0}, threadRuns{0};
        std::atomic<TimerHandle> self{0};
    };
    const auto shared = std::make_shared<Shared>();
    const TimerHandle timer = platform.Timers().Create(5, 5, [shared] { ++shared->ticks; });
    ASSERT_NE(timer, 0u);
    EXPECT_TRUE(Eventually([&] { return shared->ticks >= 3; }));
    platform.Timers().Delete(timer);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // a running callback ends
    const int after = shared->ticks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(shared->ticks.load(), after);
    // Deleting a timer from inside its own callback must neither hang nor crash.
    shared->self = platform.Timers().Create(1, 1, [shared] {
        ++shared->selfTicks;
        SystemPlatform().Timers().Delete(shared->self.load());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(shared->selfTicks.load(), 1);

    ASSERT_TRUE(platform.Threads().Start([shared] { ++shared->threadRuns; }));
    EXPECT_TRUE(Eventually([&] { return shared->threadRuns == 1; }));
}

}  // namespace
}  // namespace miraxld
