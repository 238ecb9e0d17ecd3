// The serial link over the Win32 communications device, against the echo pty the suite runner
// links as a COM port: every byte written comes back unchanged.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "transport/serial_port.h"

namespace {

using miraxld::SerialPort;
using miraxld::SystemPlatform;

int PortFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : 0;
}

class EchoPort : public ::testing::Test {
  protected:
    void SetUp() override {
        m_portNumber = PortFromEnvironment("MIRAXLD_TEST_ECHO_PORT");
        if (m_portNumber <= 0) {
            GTEST_SKIP() << "MIRAXLD_TEST_ECHO_PORT is not set";
        }
        ASSERT_EQ(m_port.Open(m_portNumber, 9600), 1);
        Sleep(20);
        uint8_t buffer[256];
        while (m_port.Read(buffer, sizeof buffer) > 0) {
        }
    }

    // Reads until `count` bytes came back or a generous deadline passed (a stuck link fails
    // the comparison instead of hanging the suite).
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

TEST_F(EchoPort, BytesWrittenComeBackUnchanged) {
    const std::string rows[] = {
        "Total 12.50",
        std::string("\x1b\x40\x0c\x0b", 4),
        std::string("\x00\xff\x80\x7f\x0d\x0a\x11\x13", 8),
    };
    for (const std::string& bytes : rows) {
        EXPECT_EQ(Send(bytes), static_cast<int>(bytes.size()));
        EXPECT_EQ(Collect(bytes.size()), bytes);
    }
    EXPECT_EQ(m_port.IsLineActive(), 0) << "a pty has no modem lines";
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
    for (int i = 0; i < 10000 && m_port.InputCount() < 10; ++i) {
        Sleep(1);
    }
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

TEST_F(EchoPort, ReopenKeepsOrRestoresTheLinkAndAClosedLinkSendsNothing) {
    EXPECT_EQ(m_port.Open(m_portNumber + 1, 115200), 1) << "open while open keeps the link";
    EXPECT_EQ(Send("ok"), 2);
    EXPECT_EQ(Collect(2), "ok");
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

TEST(MissingPort, FailsToOpenAndSendsNothing) {
    const int missing = PortFromEnvironment("MIRAXLD_TEST_MISSING_PORT");
    if (missing <= 0) {
        GTEST_SKIP() << "MIRAXLD_TEST_MISSING_PORT is not set";
    }
    SerialPort port(SystemPlatform().CreateSerialDevice(), SystemPlatform().Clock());
    EXPECT_EQ(port.Open(missing, 9600), 0);
    EXPECT_FALSE(port.IsOpen());
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(port.Write(bytes, 5), 0);
    EXPECT_EQ(port.WaitForInput(3), 0);
}

}  // namespace
