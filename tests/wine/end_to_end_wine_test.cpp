// The whole path as a POS application drives it, against the simulator on a listed port.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "com/com_owners.h"
#include "control_object.h"
#include "dll_exports.h"

namespace {

int SimPort() {
    const char* port = std::getenv("MIRAXLD_TEST_SIM_PORT");
    return port != nullptr ? std::atoi(port) : 0;
}

// The simulator's port in the system's serial-port list; the port monitor keeps the link open
// only while the port is listed.
class ListedPort {
  public:
    ListedPort() {
        // HARDWARE is volatile, so a key created below it must be too.
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, m_key.Put(), nullptr);
        const std::wstring port = L"COM" + std::to_wstring(SimPort());
        added = RegSetValueExW(m_key.Get(), kName, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(port.c_str()),
                               static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t))) == 0;
    }
    ~ListedPort() { Remove(); }
    void Remove() { RegDeleteValueW(m_key.Get(), kName); }
    bool added = false;

  private:
    static constexpr const wchar_t* kName = L"\\Device\\MiraxldEndToEnd";
    miraxld::com::UniqueHkey m_key;
};

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (SimPort() == 0) {
            GTEST_SKIP() << "MIRAXLD_TEST_SIM_PORT is not set";
        }
    }
    miraxld::testco::ComApartment m_apartment;
};

TEST_F(EndToEnd, ClaimEnableAndTextReachTheDisplay) {
    ListedPort listed;
    ASSERT_TRUE(listed.added);
    const char* logPath = std::getenv("MIRAXLD_TEST_SIM_LOG");
    std::ifstream file(logPath != nullptr ? logPath : "", std::ios::binary | std::ios::ate);
    const std::streamoff start = std::max<std::streamoff>(0, file.tellg());

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

    // The simulator logs what it received in its own time, one line per command or text run;
    // the text may reach it in several runs.
    std::string log, text;
    for (int i = 0; i < 150 && text.find("Total 12.50") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        file.clear();
        file.seekg(start);
        log.clear();
        text.clear();
        for (std::string line; std::getline(file, line);) {
            log += line + "\n";
            if (const size_t at = line.find(" text \""); at != std::string::npos) {
                text += line.substr(at + 7, line.size() - at - 8);
            }
        }
    }
    EXPECT_NE(text.find("Total 12.50"), std::string::npos) << "simulator log:\n" << log;
}

// The application may let go of the service object without CloseService while the port
// monitor is about to report a change, or from inside its status handler on the monitor thread,
// where it may also close the service: every call returns, the change is reported once and the
// object is destroyed.
TEST_F(EndToEnd, TheObjectMayBeClosedOrDroppedWhileTheMonitorReports) {
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    enum class Way { kDropAtOnce, kCloseInHandler, kDropInHandler };
    for (const Way way : {Way::kDropAtOnce, Way::kCloseInHandler, Way::kDropInHandler}) {
        SCOPED_TRACE(static_cast<int>(way));
        ListedPort listed;
        ASSERT_TRUE(listed.added);
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
