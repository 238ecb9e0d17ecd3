// Fault-injection stress: service objects over simulated displays, each driven by its own
// thread (the Control Object's apartment thread) with seeded random calls, on the real timers
// and threads, while the cables are pulled and plugged back in and objects are released
// without CloseService. Invariants (a breach prints its schedule and the run exits 1):
// - no crash and no sanitizer report;
// - no call blocks beyond its bound: ClaimDevice 5 s (the 280 ms version wait, a readiness
//   check of up to 3 s, about 1 s per unanswered settled reply), the calls that stop the port
//   monitor 1.5 s (a pass of about 280 ms and the 200 ms stop poll), any other call 0.5 s (the
//   longest fixed sleep of a call is 100 ms);
// - one SOStatusUpdate per power change: never the same state twice in a row nor the assumed
//   start (2001); a cable state held kHeldMs (two 280 ms passes and slack) is the state last
//   reported by its end; the last one reported is PowerState;
// - once the display is back, the blink and marquee timers are stopped and a final refresh is
//   made, the display shows the object's screen picture, character for character (reverse
//   video is not compared: a resend starts from the display's current reverse state).
// A pull lasts kHeldMs at least and does not end while a claim runs or before two passes of
// the monitor it starts: a pull no pass sees leaves a link whose device has gone, and the
// monitor reopens only a port that left the list. Text is ASCII and character sets are not
// right-to-left ones, whose rows are sent mirrored.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

using displaysim::SimulatedSerialDevice;

constexpr int64_t kHeldMs = 800;
constexpr int64_t kCallBoundMs = 500;
constexpr int64_t kStopBoundMs = 1500;
constexpr int64_t kClaimBoundMs = 5000;
constexpr int64_t kHangMs = 10000;  // beyond its bound: the watchdog ends the run
constexpr int32_t kOnline = 2001;
constexpr int32_t kOffline = 2003;
constexpr char16_t kSerialComm[] = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr char16_t kDeviceKeys[] = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\";

int64_t Now() {
    static const auto start = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}
void SleepMs(int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::atomic<bool> g_stop{false};
std::atomic<int> g_failures{0};
std::atomic<int64_t> g_operations{0}, g_schedules{0}, g_unplugs{0}, g_drops{0};

struct Event {
    int64_t at;
    int32_t status;
};

class StressPlatform : public OnSystemTime<TestPlatform> {
  public:
    IRegistry& Registry() override { return shared; }
    SharedRegistry shared;
};

struct Display {
    const char* model;  // also the device name
    int firmware;
    const char16_t* usbKey;  // an OEM display's USB instance key, else null
};

// One display, its cable, its service object, the thread that calls the object and the
// Control Object's event target.
class Rig : public IEventTarget {
  public:
    Rig(const Display& d, int number)
        : display(d),
          device(d.model, d.model + std::strlen(d.model)),
          port(u"COM" + std::u16string(1, u'0' + number)) {
        displaysim::SimConfig config;
        config.model = d.model;
        config.firmware = d.firmware;
        const bool modes = config.model == "KT310";
        if (!modes) {
            config.screenModes.clear();  // only the KT310 selects screen modes
        }
        sim = std::make_shared<displaysim::DisplaySimulator>(config);
        const std::u16string key = kDeviceKeys + device;
        const std::u16string values[][2] = {
            {u"", d.usbKey ? u"QV.POSLDisplay.1" : u"MIRAXLD.POSLDisplay.1"},
            {u"Port", port},
            {u"BaudRate", u"9600"},
            {u"DeviceModel", device},
            {u"DeviceRows", modes ? u"2" : u""},
            {u"DeviceColumns", modes ? u"20" : u""}};
        for (const auto& [name, value] : values) {
            platform.shared.SetString(key, name, value);
        }
        platform.shared.SetString(kDeviceKeys + std::u16string(u"Foreign"), u"", u"Other.LD.1");
        if (d.usbKey != nullptr) {
            platform.shared.SetString(d.usbKey, u"PortName", port);
        }
        platform.serialFactory = [this] { return displaysim::MakeDevice(sim, platform.Clock()); };
        Plug(true);
    }

    // Pulled: the port leaves the system's list, then its device dies. Plugged: the display
    // restarts and can be opened, then its port is listed again. `mark`: the application
    // closed the link, which the monitor reopens, so the cable's state starts again.
    void Plug(bool in, bool mark = false) {
        const int64_t at = Now();  // before the change: what it causes comes later
        if (in && !mark) {
            SimulatedSerialDevice::Replug(*sim);
            platform.shared.SetString(kSerialComm, u"\\Device\\Stress0", port);
        } else if (!mark) {
            platform.shared.DeleteValue(kSerialComm, u"\\Device\\Stress0");
            SimulatedSerialDevice::Unplug(*sim);
            ++g_unplugs;
        }
        std::lock_guard lock(mutex);
        cable.push_back({at, in});
    }
    // Since when the display is attached and its link left alone; INT64_MAX while pulled.
    int64_t PluggedSince() {
        std::lock_guard lock(mutex);
        return cable.back().second ? cable.back().first : INT64_MAX;
    }

    long GetIDOfName(std::u16string_view name, int32_t* dispid) override {
        *dispid = name == u"SOStatusUpdate" ? 1 : 2;
        return 0;
    }
    long InvokeMethod(int32_t dispid, int32_t status) override {
        std::lock_guard lock(mutex);
        if (dispid == 1) {
            events.push_back({Now(), status});
        }
        return 0;
    }

    template <class F>
    int32_t Timed(const char* name, int64_t bound, F&& f) {
        callBound = bound;
        callStart = Now();
        call = name;
        const int32_t result = f();
        const int64_t took = Now() - callStart;
        call = nullptr;
        ++g_operations;
        if (took > bound) {
            Fail(std::string(name) + " blocked " + std::to_string(took) + " ms");
        }
        return result;
    }
    void Fail(const std::string& what) {
        if (g_failures++ < 10) {
            std::fprintf(stderr, "FAIL [%s, seed %llu, schedule %llu] %s\n", display.model,
                         static_cast<unsigned long long>(seed),
                         static_cast<unsigned long long>(schedule), what.c_str());
        }
        g_stop = true;
    }
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    // The operation's draws, taken before it, so that argument order does not matter.
    int Arg(int i, int lo, int hi) { return lo + static_cast<int>(args[i] % (hi - lo + 1)); }
    int32_t Set(const char* name, int32_t index, int32_t value) {
        return Timed(name, kCallBoundMs, [&] { return so->SetPropertyNumber(index, value); });
    }

    void Open(bool fresh) {
        if (fresh) {
            Drop();
            so = std::make_unique<CPOSLDisplay>(platform);
        }
        const int32_t rc = Timed("OpenService", kStopBoundMs, [&] {
            return so->OpenService(u"LineDisplay", device, this, nullptr);
        });
        if (rc == 0) {
            std::lock_guard lock(mutex);
            events.clear();  // what the monitor of the previous claim reported
            monitorStart = -1;
            foreign = false;
        }
    }
    void Drop() {
        if (so) {
            ++g_drops;
            Timed("~CPOSLDisplay", kStopBoundMs, [&] {
                so.reset();
                return 0;
            });
        }
    }
    void Release() {
        Timed("ReleaseDevice", kCallBoundMs, [&] { return so->ReleaseDevice(nullptr); });
        Plug(PluggedSince() != INT64_MAX, true);
    }
    bool Claim() {
        if (so->m_claimed != 0) {
            return true;
        }
        if (foreign) {
            Open(false);  // else the refused open's device name would be claimed
        }
        // A failed claim can leave a link whose device has gone since: an application that
        // tries again releases first.
        Release();
        int32_t rc = -1;
        replugAfter = INT64_MAX;
        Timed("ClaimDevice", kClaimBoundMs, [&] { return so->ClaimDevice(1000, &rc); });
        replugAfter = Now() + kHeldMs;
        if (rc == 0) {
            monitorStart = Now();
            modeLost = modeLost && so->m_firmwareVersion == 0;  // else it asked for the mode
            Set("DeviceEnabled", 3, 1);
        }
        return rc == 0;
    }
    int32_t CreateWindow() {
        const int rows = std::max(so->m_deviceRows, 1);
        const int columns = std::max(so->m_deviceColumns, 1);
        int a[6];
        a[0] = Arg(0, 0, rows - 1);
        a[1] = Arg(1, 0, columns - 1);
        a[2] = Arg(2, 1, rows - a[0]);
        a[3] = Arg(3, 1, columns - a[1]);
        a[4] = args[4] % 2 == 0 ? Arg(5, a[2], 12) : a[2];  // taller or wider than the viewport
        a[5] = args[4] % 2 == 1 ? Arg(5, a[3], 64) : a[3];
        return so->CreateWindow(a[0], a[1], a[2], a[3], a[4], a[5], nullptr);
    }

    void ChangeLife(int how) {
        switch (how) {
            case 0:
                return Release();
            case 1:  // opened again after CloseService
                Timed("CloseService", kStopBoundMs, [&] { return so->CloseService(nullptr); });
                [[fallthrough]];
            case 2:  // opened again without it
                Open(false);
                Claim();
                return;
            case 3:  // released without CloseService
                Open(true);
                Claim();
                return;
            default:  // a device whose key names another service object: refused
                foreign = true;
                Timed("OpenService", kStopBoundMs,
                      [&] { return so->OpenService(u"LineDisplay", u"Foreign", this, nullptr); });
        }
    }
    void Operate();
    void Check();
    void CheckEvents();

    void Run(uint64_t masterSeed, int64_t deadline) {
        Open(true);
        seed = masterSeed;
        for (; !g_stop && Now() < deadline; ++schedule, ++g_schedules) {
            std::seed_seq sequence{masterSeed, masterSeed >> 32, uint64_t(port.back()), schedule};
            rng.seed(sequence);
            // Calls for half a second to four seconds, now and then after a short pause, so
            // that cables are pulled and timers tick in between; what a change of the object's
            // life leaves is checked soon after it.
            int64_t change = Pick(0, 1) == 0 ? Now() + Pick(0, 3000) : INT64_MAX;
            for (int64_t end = Now() + Pick(500, 4000); Now() < end && !g_stop;) {
                if (so->m_claimed == 0 && Pick(0, 31) == 0) {
                    Claim();
                }
                if (Now() >= change) {
                    ChangeLife(Pick(0, 4));
                    change = INT64_MAX;
                    end = std::min(end, Now() + Pick(100, 600));
                }
                Operate();
                if (Pick(0, 3) == 0) {
                    SleepMs(Pick(1, 20));
                }
            }
            if (!g_stop) {
                Check();
            }
        }
        if (Pick(0, 1) == 0) {
            Timed("CloseService", kStopBoundMs, [&] { return so->CloseService(nullptr); });
        }
        Drop();
        finished = true;
    }

    const Display& display;
    const std::u16string device;
    const std::u16string port;
    StressPlatform platform;
    std::shared_ptr<displaysim::DisplaySimulator> sim;
    std::atomic<bool> hold{false};  // the check needs the display attached
    std::atomic<int64_t> replugAfter{0};
    std::mutex mutex;
    std::vector<std::pair<int64_t, bool>> cable;  // since the last check; first the state then
    std::vector<Event> events;                    // SOStatusUpdate since the open
    uint64_t seed = 0;
    uint64_t schedule = 0;
    std::mt19937_64 rng;
    uint32_t args[6] = {};
    std::u16string text;
    std::unique_ptr<CPOSLDisplay> so;
    int64_t monitorStart = -1;  // when the running monitor thread was started, -1 for none
    bool modeLost = false;      // a screen mode may not have reached the display
    bool foreign = false;       // the last OpenService was refused
    std::atomic<const char*> call{nullptr};
    std::atomic<int64_t> callStart{0};
    std::atomic<int64_t> callBound{0};
    std::atomic<bool> finished{false};
};

struct Operation {
    int weight;
    const char* name;  // one call, timed against kCallBoundMs; null: it times its own calls
    int32_t (*run)(Rig&, CPOSLDisplay&);
    int32_t property = 0, lo = 0, hi = 0;  // without `run`: a property write of lo to hi
};

constexpr int32_t kCharacterSets[] = {0, 437, 850, 858, 866, 1252};

const Operation kOperations[] = {
    {20, "DisplayText",
     [](Rig& d, CPOSLDisplay& so) { return so.DisplayText(d.text, d.Arg(0, 0, 3), nullptr); }},
    {10, "DisplayTextAt",
     [](Rig& d, CPOSLDisplay& so) {
         return so.DisplayTextAt(d.Arg(0, -1, 4), d.Arg(1, -1, 40), d.text, d.Arg(2, 0, 3),
                                 nullptr);
     }},
    {5, "ClearText", [](Rig&, CPOSLDisplay& so) { return so.ClearText(nullptr); }},
    {7, "CreateWindow", [](Rig& d, CPOSLDisplay&) { return d.CreateWindow(); }},
    {5, "DestroyWindow", [](Rig&, CPOSLDisplay& so) { return so.DestroyWindow(nullptr); }},
    {5, "RefreshWindow",
     [](Rig& d, CPOSLDisplay& so) { return so.RefreshWindow(d.Arg(0, 0, 4), nullptr); }},
    {3, "ScrollText",
     [](Rig& d, CPOSLDisplay& so) {
         return so.ScrollText(d.Arg(0, 1, 4), d.Arg(1, 1, 3), nullptr);
     }},
    {6, "CurrentWindow", nullptr, 5003, 0, 5},
    {9, "MarqueeType", nullptr, 5014, 0, 5},
    {2, "MarqueeUnitWait", nullptr, 5015, 100, 700},
    {1, "MarqueeRepeatWait", nullptr, 5013, 50, 700},
    {2, "BlinkRate", nullptr, 5018, 50, 700},
    {1, "MapCharacterSet", nullptr, 5022, 1, 1},
    {3, "CharacterSet",
     [](Rig& d, CPOSLDisplay& so) {
         return so.SetPropertyNumber(5001, kCharacterSets[d.Arg(0, 0, 5)]);
     }},
    {2, "ScreenMode",
     [](Rig& d, CPOSLDisplay& so) {
         // A screen mode written while the link is down never reaches the display.
         d.modeLost = d.modeLost || !so.m_port.IsOpen() || Now() - d.PluggedSince() < kHeldMs;
         return so.SetPropertyNumber(5025, d.Arg(0, 0, 4));
     }},
    {2, nullptr,
     [](Rig& d, CPOSLDisplay&) {
         d.Set("DeviceEnabled", 3, 0);
         return d.Set("DeviceEnabled", 3, 1);
     }},
};

void Rig::Operate() {
    // Letters, digits, '.' and '-', now and then a space, a carriage return or a line feed.
    static constexpr char16_t kChars[] =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.-  \r \n ";
    int total = 0;
    for (const Operation& op : kOperations) {
        total += op.weight;
    }
    int pick = Pick(0, total - 1);
    text.resize(static_cast<size_t>(Pick(0, 24)));
    for (char16_t& c : text) {
        c = kChars[Pick(0, std::size(kChars) - 2)];
    }
    for (uint32_t& a : args) {
        a = static_cast<uint32_t>(rng() >> 33);
    }
    for (const Operation& op : kOperations) {
        if ((pick -= op.weight) < 0) {
            if (op.name == nullptr) {
                op.run(*this, *so);
            } else if (op.run == nullptr) {
                Set(op.name, op.property, Arg(0, op.lo, op.hi));
            } else {
                Timed(op.name, kCallBoundMs, [&] { return op.run(*this, *so); });
            }
            return;
        }
    }
}

// The display back for good: the monitor's view, then the picture after the final refresh.
void Rig::Check() {
    hold = true;
    while (Now() - PluggedSince() < kHeldMs) {
        SleepMs(10);
    }
    if (foreign) {  // a refused OpenService leaves Claimed, the link and the monitor agreeing
        if (so->m_claimed != 0 && (!so->m_port.IsOpen() || so->m_monitorEnded != 0)) {
            Fail("a refused OpenService left Claimed 1 without a link or monitor");
        }
        Open(false);
    }
    // A claim that had no answer (firmware 0) learnt nothing of the display: it is claimed
    // again, as a technician would once the display is back.
    if (so->m_claimed != 0 && so->m_firmwareVersion == 0) {
        Timed("CloseService", kStopBoundMs, [&] { return so->CloseService(nullptr); });
        Open(false);
    }
    if (!Claim() || so->m_firmwareVersion == 0) {
        return Fail("ClaimDevice with the display attached: ResultCodeExtended " +
                    std::to_string(so->m_resultCodeExtended));
    }
    while (Now() - std::max(PluggedSince(), monitorStart) < kHeldMs) {
        SleepMs(10);
    }
    CheckEvents();
    for (const ScreenModeRecord& mode : so->m_screenModes) {
        if (modeLost && mode.rows > 0 && mode.id != so->m_screenMode) {
            Set("ScreenMode", 5025, mode.id);  // sent now, it reaches the display
            modeLost = false;
        }
    }
    Set("DeviceEnabled", 3, 0);  // stops every blink and marquee timer
    Set("DeviceEnabled", 3, 1);
    SleepMs(50);  // a step that was already running ends
    int32_t window = so->m_currentWindow;
    if (window < 0 || window >= kWindowCount || so->m_windows[window].active != 1) {
        window = 0;
    }
    Timed("RefreshWindow", kCallBoundMs, [&] { return so->RefreshWindow(window, nullptr); });

    const std::vector<std::string> shown = sim->ScreenLines();
    if (so->m_deviceRows != sim->Rows() || so->m_deviceColumns != sim->Columns()) {
        return Fail("DeviceRows x DeviceColumns " + std::to_string(so->m_deviceRows) + "x" +
                    std::to_string(so->m_deviceColumns) + ", the display " +
                    std::to_string(sim->Rows()) + "x" + std::to_string(sim->Columns()));
    }
    const bool unicode = so->m_codePage == 997 || so->m_unicodeMode == 1;
    BusyFlagGuard screen(so->m_screenLock, so->Clock());
    for (int r = 0; r < so->m_deviceRows; ++r) {
        std::string own;
        for (int c = 0; c < so->m_deviceColumns; ++c) {
            const uint16_t code = so->m_screen[r * kScreenColumns + c].code[0];
            own += displaysim::Utf8(unicode ? code : code & 0xFF);
        }
        if (own != shown[r]) {
            return Fail("row " + std::to_string(r) + " shows \"" + shown[r] +
                        "\", the screen picture \"" + own + "\"");
        }
    }
    sim->ClearReceived();
    hold = false;
}

void Rig::CheckEvents() {
    std::vector<Event> seen;
    std::vector<std::pair<int64_t, bool>> states;
    {
        std::lock_guard lock(mutex);
        seen = events;
        states.swap(cable);
        cable.push_back(states.back());
    }
    int32_t last = kOnline;  // the state the monitor assumes when it starts
    for (const Event& e : seen) {
        if (e.status == last) {
            Fail("SOStatusUpdate " + std::to_string(e.status) + " twice, at " +
                 std::to_string(e.at));
        }
        last = e.status;
    }
    for (size_t i = 0; i < states.size(); ++i) {
        const int64_t from = std::max(states[i].first, monitorStart);
        const int64_t to = i + 1 < states.size() ? states[i + 1].first : Now();
        int32_t reported = kOnline;
        for (const Event& e : seen) {
            reported = e.at < to ? e.status : reported;
        }
        if (to - from >= kHeldMs && reported != (states[i].second ? kOnline : kOffline)) {
            Fail(std::string(states[i].second ? "plugged" : "pulled") + " from " +
                 std::to_string(from) + " to " + std::to_string(to) + " ms, reported " +
                 std::to_string(reported));
        }
    }
    if (last != kOnline || so->m_powerState != kOnline) {
        Fail("display attached: last SOStatusUpdate " + std::to_string(last) + ", PowerState " +
             std::to_string(so->m_powerState.load()));
    }
}

// Pulls and plugs the cables: out for kHeldMs to twice that, in for 50 ms to 2.5 s.
void Cables(std::vector<std::unique_ptr<Rig>>& rigs, uint64_t seed, std::atomic<bool>& done) {
    std::mt19937_64 rng(seed);
    std::vector<int64_t> next(rigs.size(), 0);
    while (!done) {
        for (size_t i = 0; i < rigs.size(); ++i) {
            Rig& rig = *rigs[i];
            const bool plugged = rig.PluggedSince() != INT64_MAX;
            if (Now() < next[i] || (plugged && rig.hold) || (!plugged && Now() < rig.replugAfter)) {
                continue;
            }
            rig.Plug(!plugged);
            const int64_t lo = plugged ? kHeldMs : 50;
            const int64_t hi = plugged ? 2 * kHeldMs : 2500;
            next[i] = Now() + std::uniform_int_distribution<int64_t>(lo, hi)(rng);
        }
        SleepMs(5);
    }
}

int Run(int seconds, uint64_t seed) {
    static const Display kDisplays[] = {
        {"KT110", 13000, nullptr},
        {"KT910", 236000,
         u"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1d9c&Pid_0a03\\A\\Device Parameters"},
        {"KT310", 183000, nullptr},
        {"ZN610", 236000, nullptr},
    };
    std::vector<std::unique_ptr<Rig>> rigs;
    for (const Display& d : kDisplays) {
        rigs.push_back(std::make_unique<Rig>(d, int(rigs.size()) + 1));
    }
    const int64_t deadline = Now() + int64_t{seconds} * 1000;
    std::atomic<bool> cablesDone{false};
    std::thread cables(Cables, std::ref(rigs), seed, std::ref(cablesDone));
    std::vector<std::thread> threads;
    for (auto& rig : rigs) {
        threads.emplace_back([&rig, seed, deadline] { rig->Run(seed, deadline); });
    }
    // The watchdog: a call that never returns ends the run with its name.
    while (std::any_of(rigs.begin(), rigs.end(), [](auto& rig) { return !rig->finished; })) {
        SleepMs(100);
        for (const auto& rig : rigs) {
            const char* call = rig->call.load();
            if (call != nullptr && Now() - rig->callStart > rig->callBound + kHangMs) {
                rig->Fail(std::string(call) + " does not return");
                std::_Exit(1);
            }
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    cablesDone = true;
    cables.join();
    // Late timer callbacks of the released objects would run now, under the sanitizers' eyes;
    // the monitor threads end before the platforms they count on go.
    SleepMs(1000);
    for (auto& rig : rigs) {
        while (rig->platform.threads.Running() != 0) {
            SleepMs(10);
        }
    }
    std::printf(
        "miraxld_stress: seed %llu, %d s, %zu displays: %lld operations, %lld schedules, "
        "%lld cable pulls, %lld objects released; %s\n",
        static_cast<unsigned long long>(seed), seconds, rigs.size(),
        static_cast<long long>(g_operations), static_cast<long long>(g_schedules),
        static_cast<long long>(g_unplugs), static_cast<long long>(g_drops),
        g_failures == 0 ? "no failure" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace miraxld::testing

int main(int argc, char** argv) {
    unsigned long long values[2] = {10, 1};  // --seconds, --seed
    for (int i = 1; i < argc; i += 2) {
        const std::string arg = argv[i];
        char* end = nullptr;
        if ((arg == "--seconds" || arg == "--seed") && i + 1 < argc) {
            values[arg == "--seed"] = std::strtoull(argv[i + 1], &end, 10);
        }
        if (end == nullptr || *end != '\0' || values[0] < 1 || values[0] > 86400) {
            std::fprintf(stderr, "usage: miraxld_stress [--seconds N (1 to 86400)] [--seed S]\n");
            return 2;
        }
    }
    return miraxld::testing::Run(static_cast<int>(values[0]), values[1]);
}
