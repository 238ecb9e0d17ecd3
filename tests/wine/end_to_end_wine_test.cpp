// The whole path as a POS application drives it: the test Control Object creates the
// registered DLL, opens and claims the KT110 on the simulator's port, enables it, writes text
// and closes; the simulator's byte log shows what reached the display.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "com/com_owners.h"
#include "control_object.h"
#include "dll_exports.h"

namespace {

std::string SimLogPath() {
    const char* value = std::getenv("MIRAXLD_TEST_SIM_LOG");
    return value != nullptr ? value : "";
}

// The simulator's log from byte `offset` on: one decoded line per command or text run.
std::vector<std::string> LogLinesFrom(std::streamoff offset) {
    std::ifstream file(SimLogPath(), std::ios::binary);
    std::vector<std::string> lines;
    if (!file || !file.seekg(offset)) {
        return lines;
    }
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// The characters of the logged text runs, joined: what was written as text, whatever runs
// the pty delivered it in.
std::string TextOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        const size_t start = line.find(" text \"");
        if (start != std::string::npos && line.size() > start + 7 && line.back() == '"') {
            text += line.substr(start + 7, line.size() - start - 8);
        }
    }
    return text;
}

// Index of the first line at or after `from` that contains `what`; lines.size() when none.
size_t FindLine(const std::vector<std::string>& lines, std::string_view what, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(what) != std::string::npos) {
            return i;
        }
    }
    return lines.size();
}

// An entry of the system's serial-port list for the simulator's port, removed on scope exit;
// the port monitor keeps the link open only while the port is listed.
class ListedPort {
  public:
    explicit ListedPort(int port) : m_port(L"COM" + std::to_wstring(port)) {
        // HARDWARE is volatile, so a key created below it must be too.
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, m_key.Put(), nullptr);
    }
    ~ListedPort() { Remove(); }
    bool Add() {
        return RegSetValueExW(
                   m_key.Get(), kName, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_port.c_str()),
                   static_cast<DWORD>((m_port.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    void Remove() { RegDeleteValueW(m_key.Get(), kName); }

  private:
    static constexpr const wchar_t* kName = L"\\Device\\MiraxldEndToEnd";
    std::wstring m_port;
    miraxld::com::UniqueHkey m_key;
};

int SimPort() {
    const char* port = std::getenv("MIRAXLD_TEST_SIM_PORT");
    return port != nullptr ? std::atoi(port) : 0;
}

TEST(EndToEnd, ClaimEnableAndTextReachTheDisplay) {
    if (SimPort() == 0) {
        GTEST_SKIP() << "MIRAXLD_TEST_SIM_PORT is not set";
    }
    ListedPort listed(SimPort());
    ASSERT_TRUE(listed.Add());
    const std::streamoff start = std::max<std::streamoff>(
        0, std::ifstream(SimLogPath(), std::ios::binary | std::ios::ate).tellg());

    miraxld::testco::ComApartment apartment;
    miraxld::testco::ControlObject co;
    ASSERT_EQ(co.Create(), S_OK);
    const std::pair<std::wstring, std::vector<std::wstring>> calls[] = {
        {L"OpenService", {L"LineDisplay", L"KT110"}}, {L"ClaimDevice", {L"1000"}},
        {L"SetPropertyNumber", {L"3", L"1"}},  // DeviceEnabled
        {L"DisplayText", {L"Total 12.50", L"0"}},     {L"CloseService", {}},
    };
    for (const auto& [method, arguments] : calls) {
        const miraxld::testco::CallResult result = co.Call(method, arguments);
        EXPECT_EQ(result.hr, S_OK) << std::string(method.begin(), method.end());
        EXPECT_EQ(result.number.value_or(0), 0) << std::string(method.begin(), method.end());
    }
    listed.Remove();

    // The simulator logs what it received in its own time; wait for the text to show.
    std::vector<std::string> lines;
    for (int i = 0; i < 150 && TextOf(lines).find("Total 12.50") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        lines = LogLinesFrom(start);
    }
    std::ostringstream log;
    for (const std::string& line : lines) {
        log << "\n  " << line;
    }
    SCOPED_TRACE("simulator log:" + log.str());
    // The claim asks for the version, then the code-page list, and initialises the display
    // last; the text follows it.
    const size_t version = FindLine(lines, "CMD_QUERY_VERSION");
    const size_t codePages = FindLine(lines, "CMD_QUERY_CODEPAGES", version);
    size_t initialize = FindLine(lines, "CMD_INITIALIZE", codePages);
    for (size_t next; (next = FindLine(lines, "CMD_INITIALIZE", initialize + 1)) < lines.size();) {
        initialize = next;
    }
    const size_t text = FindLine(lines, " text \"", initialize);
    EXPECT_LT(version, codePages);
    EXPECT_LT(codePages, initialize);
    EXPECT_LT(initialize, lines.size());
    EXPECT_LT(initialize, text);
    EXPECT_NE(TextOf(lines).find("Total 12.50"), std::string::npos);
}

// The application may let go of the service object without CloseService while the port
// monitor is about to report a change, or from inside its status handler on the monitor thread,
// where it may also close the service: every call returns, the change is reported once and the
// object is destroyed.
TEST(EndToEnd, TheObjectMayBeClosedOrDroppedWhileTheMonitorReports) {
    if (SimPort() == 0) {
        GTEST_SKIP() << "MIRAXLD_TEST_SIM_PORT is not set";
    }
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    miraxld::testco::ComApartment apartment;
    enum class Way { kDropAtOnce, kCloseInHandler, kDropInHandler };
    for (const Way way : {Way::kDropAtOnce, Way::kCloseInHandler, Way::kDropInHandler}) {
        SCOPED_TRACE(static_cast<int>(way));
        ListedPort listed(SimPort());
        ASSERT_TRUE(listed.Add());
        {
            miraxld::testco::ControlObject co;
            ASSERT_EQ(co.Create(), S_OK);
            std::atomic<bool> armed{false};
            std::atomic<bool> returned{false};
            co.Events().handler = [&] {
                if (!armed.exchange(false)) {
                    return;
                }
                if (way == Way::kCloseInHandler) {
                    co.Call(L"CloseService", {});
                } else if (way == Way::kDropInHandler) {
                    co.Drop();
                }
                returned = true;
            };
            ASSERT_EQ(co.Call(L"OpenService", {L"LineDisplay", L"KT110"}).number, 0);
            ASSERT_EQ(co.Call(L"ClaimDevice", {L"1000"}).number, 0);
            // The first pass finds a pty without modem lines: off. The next one runs 200 ms on.
            for (int i = 0; i < 150 && co.Events().Take().empty(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            armed = true;
            listed.Remove();
            if (way == Way::kDropAtOnce) {
                co.Drop();
            }
            for (int i = 0; i < 150 && !returned; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            EXPECT_TRUE(returned);
            const std::vector<miraxld::testco::EventRecord> events = co.Events().Take();
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].arguments, std::vector<std::wstring>{L"2003"});
        }
        const auto canUnload = miraxld::testco::ExportOf<CanUnloadFn>(
            GetModuleHandleW(L"MIRAXLD.dll"), "DllCanUnloadNow");
        ASSERT_NE(canUnload, nullptr);
        HRESULT unload = S_FALSE;
        for (int i = 0; i < 150 && (unload = canUnload()) != S_OK; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(unload, S_OK) << "the object was never destroyed";
    }
}

}  // namespace
