// The whole path as a POS application drives it: the test Control Object creates the
// registered DLL, opens and claims the KT110 on the simulator's port, enables it, writes text
// and closes; the simulator's byte log shows what reached the display. The port monitor's
// status events follow the port's entry in the system's serial-port list.
#include <gtest/gtest.h>

#include <windows.h>

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

using namespace std::chrono_literals;
using miraxld::com::UniqueHkey;
using miraxld::testco::CallResult;
using miraxld::testco::ComApartment;
using miraxld::testco::ControlObject;
using miraxld::testco::EventRecord;

constexpr const wchar_t* kSerialCommKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const wchar_t* kOurValue = L"\\Device\\MiraxldEndToEnd";
constexpr long kPowerStateIndex = 14;
constexpr long kDeviceEnabledIndex = 3;
constexpr long kResultCodeExtendedIndex = 7;
constexpr long kMarqueeTypeIndex = 5014;

int SimPort() {
    const char* value = std::getenv("MIRAXLD_TEST_SIM_PORT");
    return value != nullptr ? std::atoi(value) : 0;
}

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

std::streamoff LogSize() {
    std::ifstream file(SimLogPath(), std::ios::binary | std::ios::ate);
    return file ? static_cast<std::streamoff>(file.tellg()) : 0;
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

// The port's entry in HKLM\HARDWARE\DEVICEMAP\SERIALCOMM under the test's control: entries of
// the port that were there are taken out for the test and everything is put back afterwards.
class SerialCommEntry {
  public:
    explicit SerialCommEntry(int port) : m_portName(L"COM" + std::to_wstring(port)) {
        DWORD disposition = 0;
        // HARDWARE is volatile; a key created below it must be too.
        m_status =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, m_key.Put(), &disposition);
        if (m_status != ERROR_SUCCESS) {
            return;
        }
        m_created = disposition == REG_CREATED_NEW_KEY;
        for (DWORD index = 0;; ++index) {
            wchar_t name[16384];
            DWORD nameLength = 16384;
            wchar_t data[256] = {};
            DWORD dataBytes = sizeof data - sizeof(wchar_t);
            DWORD type = 0;
            if (RegEnumValueW(m_key.Get(), index, name, &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(data), &dataBytes) != ERROR_SUCCESS) {
                break;
            }
            if (type == REG_SZ && m_portName == data) {
                m_taken.emplace_back(name, data);
            }
        }
        for (const auto& [name, data] : m_taken) {
            RegDeleteValueW(m_key.Get(), name.c_str());
        }
    }
    ~SerialCommEntry() {
        if (m_status != ERROR_SUCCESS) {
            return;
        }
        Remove();
        for (const auto& [name, data] : m_taken) {
            Set(name, data);
        }
        if (m_created) {
            m_key.Reset();
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSerialCommKey);
        }
    }
    SerialCommEntry(const SerialCommEntry&) = delete;
    SerialCommEntry& operator=(const SerialCommEntry&) = delete;

    LONG Status() const { return m_status; }
    LONG Add() { return Set(kOurValue, m_portName); }
    LONG Remove() { return RegDeleteValueW(m_key.Get(), kOurValue); }

  private:
    LONG Set(const std::wstring& name, const std::wstring& data) {
        return RegSetValueExW(m_key.Get(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring m_portName;
    UniqueHkey m_key;
    LONG m_status = ERROR_INVALID_HANDLE;
    bool m_created = false;
    std::vector<std::pair<std::wstring, std::wstring>> m_taken;
};

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (SimPort() <= 0) {
            GTEST_SKIP() << "MIRAXLD_TEST_SIM_PORT is not set";
        }
        ASSERT_TRUE(SUCCEEDED(m_apartment.Status()));
        ASSERT_EQ(m_co.Create(), S_OK);
    }

    long Number(std::wstring_view method, const std::vector<std::wstring>& arguments) {
        const CallResult result = m_co.Call(method, arguments);
        EXPECT_EQ(result.hr, S_OK) << std::string(method.begin(), method.end()) << " "
                                   << std::string(result.error.begin(), result.error.end());
        return result.number.value_or(-1);
    }
    long PowerState() { return Number(L"GetPropertyNumber", {std::to_wstring(kPowerStateIndex)}); }

    void OpenClaimEnable() {
        ASSERT_EQ(Number(L"OpenService", {L"LineDisplay", L"KT110"}), 0);
        ASSERT_EQ(Number(L"ClaimDevice", {L"1000"}), 0);
        ASSERT_EQ(m_co.Call(L"SetPropertyNumber", {std::to_wstring(kDeviceEnabledIndex), L"1"}).hr,
                  S_OK);
        ASSERT_EQ(Number(L"GetPropertyNumber", {std::to_wstring(kDeviceEnabledIndex)}), 1);
    }

    // The power states of the status updates that arrive within `wait`, stopping early once
    // `expected` of them arrived. Other events are reported as failures.
    std::vector<std::wstring> StatusUpdates(size_t expected, std::chrono::milliseconds wait) {
        std::vector<std::wstring> states;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (states.size() < expected && std::chrono::steady_clock::now() < deadline) {
            for (const EventRecord& event : m_co.Events().Take()) {
                EXPECT_EQ(event.name, L"SOStatusUpdate");
                EXPECT_EQ(event.arguments.size(), 1u);
                if (!event.arguments.empty()) {
                    states.push_back(event.arguments[0]);
                }
            }
            std::this_thread::sleep_for(20ms);
        }
        return states;
    }

    ComApartment m_apartment;
    ControlObject m_co;
};

TEST_F(EndToEnd, ClaimEnableAndTextReachTheDisplay) {
    // Listed, so that the monitor keeps the link open behind the claim.
    SerialCommEntry entry(SimPort());
    ASSERT_EQ(entry.Status(), ERROR_SUCCESS);
    ASSERT_EQ(entry.Add(), ERROR_SUCCESS);
    const std::streamoff start = LogSize();
    OpenClaimEnable();
    EXPECT_EQ(Number(L"DisplayText", {L"Total 12.50", L"0"}), 0);
    EXPECT_EQ(Number(L"CloseService", {}), 0);

    // The simulator logs what it received in its own time; wait for the text to show.
    std::vector<std::string> lines;
    for (int i = 0; i < 150 && TextOf(lines).find("Total 12.50") == std::string::npos; ++i) {
        std::this_thread::sleep_for(20ms);
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

// The marquee steps on the system's timer queue, on threads of its own, while the
// application's calls go on; stopping it ends the redraws.
TEST_F(EndToEnd, MarqueeRunsOnTheTimerQueueUntilStopped) {
    SerialCommEntry entry(SimPort());
    ASSERT_EQ(entry.Status(), ERROR_SUCCESS);
    ASSERT_EQ(entry.Add(), ERROR_SUCCESS);
    OpenClaimEnable();
    EXPECT_EQ(Number(L"CreateWindow", {L"0", L"0", L"1", L"10", L"1", L"20"}), 0);
    EXPECT_EQ(Number(L"DisplayText", {L"Fresh bread daily", L"0"}), 0);
    std::this_thread::sleep_for(200ms);  // let the pty deliver what was written so far
    const std::streamoff start = LogSize();
    ASSERT_EQ(m_co.Call(L"SetPropertyNumber", {std::to_wstring(kMarqueeTypeIndex), L"3"}).hr, S_OK);
    std::this_thread::sleep_for(1500ms);  // about five steps of 300 ms
    EXPECT_EQ(Number(L"DisplayText", {L"refused", L"0"}), 106);
    EXPECT_EQ(Number(L"GetPropertyNumber", {std::to_wstring(kResultCodeExtendedIndex)}), 10009);
    ASSERT_EQ(m_co.Call(L"SetPropertyNumber", {std::to_wstring(kMarqueeTypeIndex), L"0"}).hr, S_OK);
    std::this_thread::sleep_for(300ms);
    const std::vector<std::string> running = LogLinesFrom(start);
    std::this_thread::sleep_for(700ms);
    const std::vector<std::string> stopped = LogLinesFrom(start);
    EXPECT_EQ(Number(L"CloseService", {}), 0);

    size_t redraws = 0;
    for (size_t i = FindLine(running, "CMD_HOME"); i < running.size();
         i = FindLine(running, "CMD_HOME", i + 1)) {
        ++redraws;
    }
    EXPECT_GE(redraws, 3u) << "one full redraw per step";
    EXPECT_LE(redraws, 7u);
    EXPECT_EQ(stopped.size(), running.size()) << "nothing is sent once the marquee stopped";
    EXPECT_EQ(TextOf(running).find("refused"), std::string::npos);
}

TEST_F(EndToEnd, StatusUpdatesFollowThePortInTheSerialPortList) {
    SerialCommEntry entry(SimPort());
    ASSERT_EQ(entry.Status(), ERROR_SUCCESS);
    const std::streamoff start = LogSize();
    OpenClaimEnable();

    // Not listed: the first pass reports offline and closes the link.
    EXPECT_EQ(StatusUpdates(1, 3s), std::vector<std::wstring>{L"2003"});
    EXPECT_EQ(PowerState(), 2003);

    // Listed: the link is reopened; a pty reports no modem status, which reads as off.
    ASSERT_EQ(entry.Add(), ERROR_SUCCESS);
    EXPECT_EQ(StatusUpdates(1, 3s), std::vector<std::wstring>{L"2002"});
    EXPECT_EQ(PowerState(), 2002);
    EXPECT_EQ(StatusUpdates(1, 1s), std::vector<std::wstring>{});  // one event per change
    EXPECT_EQ(Number(L"DisplayText", {L"back again", L"0"}), 0);   // over the reopened link

    ASSERT_EQ(entry.Remove(), ERROR_SUCCESS);
    EXPECT_EQ(StatusUpdates(1, 3s), std::vector<std::wstring>{L"2003"});
    EXPECT_EQ(PowerState(), 2003);
    EXPECT_EQ(StatusUpdates(1, 1s), std::vector<std::wstring>{});

    EXPECT_EQ(Number(L"CloseService", {}), 0);
    EXPECT_EQ(StatusUpdates(1, 500ms), std::vector<std::wstring>{});  // the thread has ended

    std::vector<std::string> lines;
    for (int i = 0; i < 150 && TextOf(lines).find("back again") == std::string::npos; ++i) {
        std::this_thread::sleep_for(20ms);
        lines = LogLinesFrom(start);
    }
    EXPECT_NE(TextOf(lines).find("back again"), std::string::npos);
}

// The application may let go of the service object without CloseService while the port
// monitor is about to report a change, or from inside its status handler on the monitor thread,
// where it may also close the service: every call returns, the change is reported once and the
// object is destroyed.
TEST_F(EndToEnd, TheObjectMayBeClosedOrDroppedWhileTheMonitorReports) {
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload =
        miraxld::testco::ExportOf<CanUnloadFn>(GetModuleHandleW(L"MIRAXLD.dll"), "DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    m_co.Drop();
    enum class Way { kDropAtOnce, kCloseInHandler, kDropInHandler };
    for (const Way way : {Way::kDropAtOnce, Way::kCloseInHandler, Way::kDropInHandler}) {
        SCOPED_TRACE(static_cast<int>(way));
        SerialCommEntry entry(SimPort());
        ASSERT_EQ(entry.Add(), ERROR_SUCCESS);
        {
            ControlObject co;
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
                std::this_thread::sleep_for(20ms);
            }
            armed = true;
            ASSERT_EQ(entry.Remove(), ERROR_SUCCESS);
            if (way == Way::kDropAtOnce) {
                co.Drop();
            }
            for (int i = 0; i < 150 && !returned; ++i) {
                std::this_thread::sleep_for(20ms);
            }
            EXPECT_TRUE(returned);
            const std::vector<EventRecord> events = co.Events().Take();
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].arguments, std::vector<std::wstring>{L"2003"});
        }
        HRESULT unload = S_FALSE;
        for (int i = 0; i < 150 && (unload = canUnload()) != S_OK; ++i) {
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(unload, S_OK) << "the object was never destroyed";
    }
}

}  // namespace
