#include <condition_variable>
#include <deque>
#include <functional>
#include <tuple>

#include "service_object/claim_fixture.h"
#include "transport/port_monitor.h"
#include "transport/serial_port.h"

namespace miraxld::testing {
namespace {

// The serial link's polling on virtual time: WaitForInput sleeps N + 1 times at most; IsLineActive
// decides from the last sample of at most four passes, sleeping 10 ms after each sample.
struct Script {
    const char* what;
    int polls;               // WaitForInput's; -1: IsLineActive
    std::deque<int> counts;  // the first sample is taken before any sleep
    std::deque<uint32_t> modem;
    int sampleMs, result;
    int64_t sleeps;
};

// Answers each InputCount and ModemStatus call with the next scripted value (0 once the script
// runs out); a modem sample may also let time pass, as a slow driver call would.
class ScriptedDevice : public AbsentSerialDevice {
  public:
    ScriptedDevice(VirtualClock& clock, Script script) : m_clock(clock), m_script(script) {}
    bool Open(int, uint32_t) override { return true; }
    int InputCount() override { return Next(m_script.counts); }
    bool ModemStatus(uint32_t* bits) override {
        ++samples;
        m_clock.Advance(m_script.sampleMs);
        *bits = Next(m_script.modem);
        return true;
    }
    int samples = 0;

  private:
    template <typename T>
    static T Next(std::deque<T>& script) {
        script.push_back(0);
        const T value = script.front();
        script.pop_front();
        return value;
    }
    VirtualClock& m_clock;
    Script m_script;
};

TEST(SerialPort, PollsOnVirtualTime) {
    const uint32_t dsr = kModemDsrOn, cts = kModemCtsOn;
    const Script rows[] = {
        {"0 polls never sleep", 0, {}, {}, 0, 0, 0},
        {"0 polls, input there", 0, {3}, {}, 0, 3, 0},
        {"N sleeps with samples, then one more", 100, {}, {}, 0, 0, 101},
        {"the first non-zero count ends the wait", 10, {0, 0, 0, 7}, {}, 0, 7, 3},
        {"the N-th sample still counts", 2, {0, 0, 9}, {}, 0, 9, 2},
        {"nothing sampled after the last sleep", 2, {0, 0, 0, 9}, {}, 0, 0, 3},
        {"lines dropped at the last", -1, {}, {dsr, dsr, dsr, dsr, dsr, dsr, dsr, 0}, 0, 0, 8},
        {"CTS alone at the last sample", -1, {}, {0, 0, 0, 0, 0, 0, 0, cts}, 0, 1, 8},
        {"DSR alone at the last sample", -1, {}, {0, 0, 0, 0, 0, 0, 0, dsr}, 0, 1, 8},
        // 140 ms a pass: the third starts at 280 ms, a fourth would start past 300 ms.
        {"slow samples end the passes early", -1, {}, {0, 0, 0, 0, 0, dsr, 0, 0}, 60, 1, 6},
    };
    for (const Script& row : rows) {
        SCOPED_TRACE(row.what);
        VirtualClock clock;
        auto device = std::make_unique<ScriptedDevice>(clock, row);
        ScriptedDevice& script = *device;
        SerialPort port(std::move(device), clock);
        const auto poll = [&] {
            return row.polls < 0 ? port.IsLineActive() : port.WaitForInput(row.polls);
        };
        const int closed = poll();  // nothing asked, no sleep
        EXPECT_EQ(std::pair(closed, clock.TotalSleeps()), std::pair(0, int64_t{0}));
        ASSERT_EQ(port.Open(3, 9600), 1);
        EXPECT_EQ(poll(), row.result);
        EXPECT_EQ(std::pair(clock.TotalSleeps(), script.samples),
                  std::pair(row.sleeps, row.polls < 0 ? static_cast<int>(row.sleeps) : 0));
    }
}

// The port monitor over a claimed simulated display, its passes let go one at a time.
using namespace std::chrono_literals;
constexpr auto kPatience = 20s;  // only a broken build ever waits this long

// The monitor's thread waits before each pass (its 200 ms sleep) until the test grants one.
class MonitorPlatform : public ClaimPlatform {
  public:
    void SleepMs(int ms) override {
        if (ms == 200 && std::this_thread::get_id() == m_monitor.load()) {
            std::unique_lock lock(m_mutex);
            m_parked = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_open || !m_parked; });
        }
        ClaimPlatform::SleepMs(ms);
    }
    bool Start(std::function<void()> body) override {
        {
            std::lock_guard lock(m_mutex);
            m_parked = m_open = m_finished = false;
        }
        return threads.Start([this, body = std::move(body)] {
            m_monitor = std::this_thread::get_id();
            body();
            Raise(m_finished);
        });
    }

    // Lets one pass run; true once the thread waits before the next one or has ended.
    bool Step() {
        std::unique_lock lock(m_mutex);
        auto waiting = [&] { return m_finished || m_parked; };
        if (!m_changed.wait_for(lock, kPatience, waiting) || m_finished) {
            return false;
        }
        m_parked = false;
        m_changed.notify_all();
        return m_changed.wait_for(lock, kPatience, waiting);
    }
    void Release() { Raise(m_open); }  // lets every pass run
    bool WaitFinished() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kPatience, [&] { return m_finished; });
    }

  private:
    void Raise(bool& flag) {
        std::lock_guard lock(m_mutex);
        flag = true;
        m_changed.notify_all();
    }
    std::atomic<std::thread::id> m_monitor;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_parked = false, m_open = false, m_finished = false;
};

using Listing = std::vector<std::u16string>;  // the port names SERIALCOMM lists
const Listing kUnreadable = {u"<no key>"};

struct PortMonitorTest : public ::testing::Test {
    ~PortMonitorTest() override { Stop(); }

    template <typename F>
    auto Controls(F f) {
        auto& c = displaysim::SimulatedSerialDevice::ControlsOf(rig.sim.get());
        std::lock_guard lock(c.mutex);
        return f(c);
    }
    // With `listed` in SERIALCOMM, opens and claims the device named `model` on COM6 at 19200 baud.
    void Claim(std::string model = "KT110", int firmware = 13000, Listing listed = {u"COM6"}) {
        List(listed);
        rig.Setup(Sim(model, firmware), kOwnProgId, {{u"Port", u"COM6"}, {u"BaudRate", u"19200"}});
        // The controls outlive simulators and may be found again at a reused address.
        Lines(true, kModemDsrOn | kModemCtsOn);
        Controls([](auto& c) { c.opens = 0, c.lastBaud = 0; });
        ASSERT_EQ(rig.Claim(), 0);
    }

    int Opens() {
        return Controls([](auto& c) { return c.opens; });
    }
    void Lines(bool available, uint32_t bits) {
        Controls([&](auto& c) { c.modemAvailable = available, c.modemBits = bits; });
    }
    // Only called while the thread waits before a pass, so it never reads a half-written key.
    void List(const Listing& ports) {
        const std::u16string serialComm = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";
        platform.registry.DeleteKey(serialComm);
        if (ports == kUnreadable) {
            return;
        }
        platform.registry.CreateKey(serialComm);
        for (const std::u16string& port : ports) {
            platform.registry.SetString(serialComm, u"\\Device\\" + port, port);
        }
    }
    // The states the status updates since the last call reported; other events as -dispid.
    std::vector<int32_t> Events() {
        std::vector<int32_t> states;
        for (auto [dispid, argument] : rig.target.Take()) {
            states.push_back(dispid == 200 + kEventStatusUpdate ? argument : -dispid);
        }
        return states;
    }

    void Stop() {
        if (so) {
            platform.Release();
            so->CloseService(nullptr);
            EXPECT_TRUE(platform.WaitFinished());
            so.reset();
            rig.target.Take();  // a last pass may report the link the close shut
        }
    }

    ClaimRigOn<MonitorPlatform> rig;
    MonitorPlatform& platform = rig.platform;
    std::unique_ptr<CPOSLDisplay>& so = rig.so;
};

TEST_F(PortMonitorTest, FollowsThePortAndTheLinesWithOneEventPerChange) {
    struct Row {
        const char* what;
        Listing listed;
        bool portMissing, modemAvailable;
        uint32_t bits;
        int32_t state;
        std::vector<int32_t> events;
        bool open;
        int opens;
    };
    const uint32_t both = kModemDsrOn | kModemCtsOn;
    const struct {
        std::string model;
        int firmware;
        Listing listed;
        std::vector<Row> rows;
    } claims[] = {
        // clang-format off
        {"KT110", 13000, {u"COM1", u"COM6"}, {
            {"first pass, display on", {u"COM1", u"COM6"}, false, true, both, 2001, {}, true, 1},
            {"bridge pulled", {u"COM1"}, true, true, both, 2003, {2003}, false, 1},
            {"still pulled", {u"COM1"}, true, true, both, 2003, {}, false, 1},
            {"listed, not yet openable", {u"COM6"}, true, true, both, 2002, {2002}, false, 1},
            {"reopened", {u"COM6"}, false, true, both, 2001, {2001}, true, 2},
            {"switched off", {u"COM6"}, false, true, 0, 2002, {2002}, true, 2},
            {"CTS alone", {u"COM6"}, false, true, kModemCtsOn, 2001, {2001}, true, 2},
            {"DSR alone", {u"COM6"}, false, true, kModemDsrOn, 2001, {}, true, 2},
            {"list unreadable", kUnreadable, false, true, both, 2003, {2003}, true, 2},
            {"list back, link kept", {u"COM6"}, false, true, both, 2001, {2001}, true, 2},
            {"no modem status", {u"COM6"}, false, false, both, 2002, {2002}, true, 2},
            {"only COM16", {u"COM16"}, false, false, both, 2003, {2003}, false, 2},
            {"empty list", {}, false, true, both, 2003, {}, false, 2},
            {"number past int", {u"COM99999999999", u"COM"}, false, true, both, 2003, {}, false, 2},
            {"COM06 is port 6", {u"COM06"}, false, true, both, 2001, {2001}, true, 3}}},
        // A KT310 with firmware 102 is online whenever its port is listed.
        {"KT310", 102, {u"COM6"}, {{"lines off", {u"COM6"}, false, true, 0, 2001, {}, true, 1},
                                   {"unlisted", {}, false, true, 0, 2003, {2003}, false, 1}}},
        {"KT310", 103, {u"COM6"}, {{"lines off", {u"COM6"}, false, true, 0, 2002, {2002}, true, 1}}},
        {"KT110", 102, {u"COM6"}, {{"lines off", {u"COM6"}, false, true, 0, 2002, {2002}, true, 1}}},
        // clang-format on
    };
    for (const auto& claim : claims) {
        Claim(claim.model, claim.firmware, claim.listed);
        ASSERT_EQ(std::pair(so->m_firmwareVersion, Opens()), std::pair(claim.firmware, 1));
        for (const Row& row : claim.rows) {
            SCOPED_TRACE(claim.model + " " + std::to_string(claim.firmware) + ": " + row.what);
            List(row.listed);
            Controls([&](auto& c) { c.portMissing = row.portMissing; });
            Lines(row.modemAvailable, row.bits);
            ASSERT_TRUE(platform.Step());
            EXPECT_EQ(std::tuple(Read(*so, 14), so->m_linkPowerState.load(), Events(),
                                 so->m_port.IsOpen(), Opens()),
                      std::tuple(row.state, row.state, row.events, row.open, row.opens));
        }
        EXPECT_EQ(Controls([](auto& c) { return c.lastBaud; }), 19200u) << "the claim's rate";
        Stop();
    }
}

TEST_F(PortMonitorTest, PassesLeaveTheLinkAloneWhileTheLoaderHoldsIt) {
    Claim();
    ASSERT_TRUE(platform.Step());
    ASSERT_EQ(so->m_powerState.load(), 2001);
    {
        LoaderLinkHold hold(*so);
        LoaderLinkHold nested(*so);
        so->m_port.Close();  // the loader's pause between its close and its reopen
        Lines(true, 0);
        ASSERT_TRUE(platform.Step());
        EXPECT_EQ(std::pair(so->m_port.IsOpen(), Opens()), std::pair(false, 1)) << "reopened";
        ASSERT_TRUE(so->m_port.Open(6, 115200));  // the loader's own reopen
        List({});
        ASSERT_TRUE(platform.Step());
        // Not closed under the loader either.
        EXPECT_EQ(std::tuple(so->m_port.IsOpen(), so->m_powerState.load(), int(so->m_portListed),
                             Events()),
                  std::tuple(true, 2001, 1, std::vector<int32_t>{}));
    }
    ASSERT_TRUE(platform.Step());
    EXPECT_EQ(std::pair(so->m_port.IsOpen(), Events()), std::pair(false, std::vector{2003}));
}

// Closing or re-opening returns only after the monitor's last pass, which reopens the link the
// call closed, finds the display switched off and reports that before the thread ends.
TEST_F(PortMonitorTest, CloseOrOpeningAgainReturnsOnlyAfterTheMonitorsLastPass) {
    for (const bool closes : {true, false}) {
        SCOPED_TRACE(closes ? "CloseService" : "OpenService");
        Claim();
        ASSERT_TRUE(platform.Step());
        std::atomic<int> eventsAtReturn{-1};
        std::thread caller([&] {
            closes ? so->CloseService(nullptr)
                   : so->OpenService(u"LineDisplay", u"KT110", &rig.target, nullptr);
            eventsAtReturn = static_cast<int>(rig.target.Count());
        });
        for (int i = 0; i < 2000 && so->m_monitorRun.load() != 0; ++i) {
            std::this_thread::sleep_for(1ms);
        }
        if (so->m_monitorRun.load() != 0) {
            platform.Release();  // let the old thread run free, so that the test can end
            caller.join();
            FAIL() << "the claim's monitor still runs";
        }
        Lines(true, 0);
        EXPECT_EQ(eventsAtReturn, -1) << "returned before the monitor's last pass";
        ASSERT_TRUE(platform.Step());
        EXPECT_TRUE(platform.WaitFinished());  // the thread ended instead of waiting again
        caller.join();
        // The last pass's reopen does not outlive the service.
        EXPECT_EQ(
            std::tuple(eventsAtReturn.load(), Events(), int(so->m_monitorEnded),
                       so->m_port.IsOpen(), Opens(), int(so->m_claimed)),
            std::tuple(1, std::vector<int32_t>{2002}, 1, false, closes ? 2 : 1, closes ? 1 : 0));
        Stop();
    }
}

// A Control Object that delivers events synchronously may close, reopen or drop the object
// from inside its handler, on the monitor thread: the call returns, and so does the thread.
TEST_F(PortMonitorTest, TheEventHandlerMayCloseReopenOrDropTheObject) {
    const struct {
        std::function<void()> handler;
        int claimed;  // afterwards; -1: the object is gone
    } rows[] = {
        {[this] { so->CloseService(nullptr); }, 1},
        {[this] { so->OpenService(u"", u"KT110", &rig.target, nullptr); }, 0},
        {[this] {
             // Refused, the re-open has still stopped the claim's monitor and closed its link.
             platform.registry.SetString(kDeviceBranch + std::u16string(u"KT110"), u"",
                                         u"Other.SO");
             EXPECT_EQ(so->OpenService(u"", u"KT110", &rig.target, nullptr), 106);
         },
         0},
        {[this] { so.reset(); }, -1},
        {[this] {
             EXPECT_TRUE(so->DeferDestructionToMonitorEnd([this] { so.reset(); }));
             EXPECT_NE(so, nullptr);  // until the handler has returned
         },
         -1},
    };
    for (const auto& row : rows) {
        Claim();
        bool entered = false, returned = false;
        rig.target.handler = [&] {
            if (!std::exchange(entered, true)) {
                row.handler();
                returned = true;
            }
        };
        List({});
        ASSERT_TRUE(platform.Step());
        rig.target.handler = nullptr;
        EXPECT_TRUE(returned);
        EXPECT_TRUE(platform.WaitFinished());
        EXPECT_EQ(Events(), std::vector<int32_t>{2003});
        const auto left =
            so ? std::tuple(int(so->m_claimed), so->m_port.IsOpen(), int(so->m_monitorEnded))
               : std::tuple(-1, false, 1);
        EXPECT_EQ(left, std::tuple(row.claimed, false, 1));
        Stop();
    }
}

// A Control Object may release the object without CloseService; nothing may run on after it.
TEST_F(PortMonitorTest, ReleasingWithoutCloseServiceStopsTheMonitorAndTheTimers) {
    Claim();
    ASSERT_TRUE(platform.Step());
    ASSERT_EQ(so->SetPropertyNumber(3, 1), 0);  // DeviceEnabled
    ASSERT_EQ(so->CreateWindow(0, 0, 1, 10, 1, 20, nullptr), 0);
    ASSERT_EQ(so->DisplayText(u"a marquee that keeps going", 0, nullptr), 0);
    ASSERT_EQ(so->SetPropertyNumber(5014, 3), 0);  // MarqueeType left
    ASSERT_EQ(platform.timers.Active().size(), 1u);

    platform.Release();
    so.reset();
    EXPECT_TRUE(platform.WaitFinished()) << "the monitor thread outlived the object";
    EXPECT_TRUE(platform.timers.Active().empty()) << "a window timer outlived the object";
}

}  // namespace
}  // namespace miraxld::testing
