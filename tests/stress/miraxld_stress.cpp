// Fault-injection stress: service objects over simulated displays, each called by its own thread
// with seeded random calls on the real timers and threads, while cables are pulled and plugged
// back and objects released without CloseService. A breach prints its schedule and exits 1:
// - a crash or sanitizer report; a call beyond its bound: ClaimDevice 5 s (280 ms version wait,
//   readiness up to 3 s, about 1 s per unanswered settled reply), calls that stop the port
//   monitor 1.5 s (a 280 ms pass, the 200 ms stop poll), any other 0.5 s (longest sleep 100 ms);
// - an SOStatusUpdate repeating the state before it or the assumed start (2001); a cable state
//   in which two monitor passes began (the first found it, the second began after it reported)
//   not the last one reported by its end; a PowerState other than the last one reported;
// - once the display is back, timers stopped and text written and refreshed, a display picture
//   other than the object's screen, character for character (not reverse video: a resend starts
//   from the display's current reverse state).
// A pull lasts kHeldMs at least, not ending while a claim runs nor, while a monitor runs, before
// two of its passes began since the pull and the last claim: a pull no pass sees leaves a link
// whose device has gone, and the monitor reopens only a port that left the list. Passes are
// counted, not timed, so a starved machine only slows the run. Text is ASCII; no character set
// is right-to-left (those rows are sent mirrored).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

constexpr int64_t kHeldMs = 800, kCallMs = 500, kStopMs = 1500, kClaimMs = 5000;
constexpr int64_t kHangMs = 10000, kNever = INT64_MAX;  // kHangMs beyond a bound ends the run
constexpr int32_t kOnline = 2001, kOffline = 2003;

int64_t Now() {
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}
void SleepMs(int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::atomic<bool> g_stop{false};
std::atomic<long long> g_failures{0}, g_operations{0}, g_schedules{0}, g_drops{0};

// Notes when each port-monitor pass begins: a pass lists SERIALCOMM once, on its own thread.
struct PassCountingRegistry : SharedRegistry {
    long EnumValues(std::u16string_view key, std::vector<RegistryValue>* values) override {
        if (key == kSerialCommKey && CurrentMonitorThread() != nullptr) {
            std::lock_guard lock(m_mutex);
            m_passes.push_back(Now());
        }
        return SharedRegistry::EnumValues(key, values);
    }
    // Passes begun after `from` and before `to` (whole milliseconds, so neither end counts).
    int64_t Passes(int64_t from, int64_t to) {
        std::lock_guard lock(m_mutex);
        const auto first = std::upper_bound(m_passes.begin(), m_passes.end(), from);
        return std::max<int64_t>(0, std::lower_bound(first, m_passes.end(), to) - first);
    }
    std::mutex m_mutex;
    std::vector<int64_t> m_passes;
};

struct StressPlatform : OnSystemTime<TestPlatform> {
    IRegistry& Registry() override { return shared; }
    PassCountingRegistry shared;
};

// One display, its cable, its service object, its calling thread and the Control Object's events.
struct Rig : IEventTarget {
    // `usbKey`: an OEM display's USB instance key, else null.
    Rig(std::string model, int firmware, const char16_t* usbKey, char16_t number)
        : device(model.begin(), model.end()), port(std::u16string(u"COM") + number) {
        displaysim::SimConfig config;
        config.model = model;
        config.firmware = firmware;
        const bool modes = model == "KT310";  // only the KT310 selects screen modes
        config.screenModes.resize(modes ? config.screenModes.size() : 0);
        sim = std::make_shared<displaysim::DisplaySimulator>(config);
        const std::u16string keys = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\";
        const std::u16string values[][3] = {
            {device, u"", usbKey ? u"QV.POSLDisplay.1" : u"MIRAXLD.POSLDisplay.1"},
            {device, u"Port", port},
            {device, u"BaudRate", u"9600"},
            {device, u"DeviceModel", device},
            {device, u"DeviceRows", modes ? u"2" : u""},
            {device, u"DeviceColumns", modes ? u"20" : u""},
            {u"Foreign", u"", u"Other.LD.1"}};
        for (const auto& [key, name, data] : values) {
            platform.shared.SetString(keys + key, name, data);
        }
        if (usbKey != nullptr) {
            platform.shared.SetString(usbKey, u"PortName", port);
        }
        platform.serialFactory = [this] { return displaysim::MakeDevice(sim, platform.Clock()); };
        Plug(true);
    }

    // Pulled: the port leaves the system's list, then its device dies; plugged: the reverse.
    void Plug(bool in) {
        const int64_t begun = Now();  // what the change causes comes later
        if (in) {
            displaysim::SimulatedSerialDevice::Replug(*sim);
            platform.shared.SetString(kSerialCommKey, u"\\Device\\Stress0", port);
        } else {
            ++pulls;  // before the device dies: a write that ends after this may be lost
            platform.shared.DeleteValue(kSerialCommKey, u"\\Device\\Stress0");
            displaysim::SimulatedSerialDevice::Unplug(*sim);
        }
        std::lock_guard lock(mutex);
        cable.push_back({begun, Now(), in});
    }
    // Since when the display is attached and its link left alone; kNever while pulled.
    int64_t PluggedSince() {
        std::lock_guard lock(mutex);
        return cable.back().in ? cable.back().done : kNever;
    }
    // Whether a pull may end: a running monitor has seen it, even one a claim in the pull started.
    bool PullSeen() {
        std::lock_guard lock(mutex);
        return platform.threads.Running() == 0 ||
               platform.shared.Passes(std::max(cable.back().done, claimedAt.load()), Now()) >= 2;
    }

    long GetIDOfName(std::u16string_view event, int32_t* dispid) override {
        *dispid = event == u"SOStatusUpdate" ? 1 : 2;
        return 0;
    }
    long InvokeMethod(int32_t dispid, int32_t status) override {
        std::lock_guard lock(mutex);
        if (dispid == 1) {
            events.push_back({Now(), status});
        }
        return 0;
    }

    int32_t Timed(const char* what, int64_t bound, const auto& f) {
        const int64_t start = Now();
        hangsAt = start + bound + kHangMs;
        call = what;
        const int32_t result = f();
        call = nullptr;
        ++g_operations;
        if (Now() - start > bound) {
            Fail(what, " blocked ", Now() - start, " ms");
        }
        return result;
    }
    void Fail(const auto&... parts) {
        std::ostringstream out;
        out << "FAIL [" << std::string(device.begin(), device.end()) << ", seed " << seed
            << ", schedule " << schedule << "] ";
        (out << ... << parts) << '\n';
        if (g_failures++ < 10) {
            std::fputs(out.str().c_str(), stderr);
        }
        g_stop = true;
    }
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    // The operation's draws, taken before it, so that argument order does not matter.
    int Arg(int i, int lo, int hi) { return lo + static_cast<int>(args[i] % (hi - lo + 1)); }
    int32_t Write(int32_t n, int lo, int hi) { return so->SetPropertyNumber(n, Arg(0, lo, hi)); }
    int32_t Enable(int32_t on) {
        return Timed("DeviceEnabled", kCallMs, [&] { return so->SetPropertyNumber(3, on); });
    }
    int32_t Close() {
        return Timed("CloseService", kStopMs, [&] { return so->CloseService(nullptr); });
    }
    void Drop() {
        ++g_drops;
        Timed("~CPOSLDisplay", kStopMs, [&] { return so.reset(), 0; });
    }
    // `fresh`: a new object, the one before released without CloseService.
    void Open(bool fresh, std::u16string_view name) {
        if (fresh) {
            Drop();
            so = std::make_unique<CPOSLDisplay>(platform);
        }
        foreign = foreign || name != device;
        if (Timed("OpenService", kStopMs,
                  [&] { return so->OpenService(u"LineDisplay", name, this, nullptr); }) == 0) {
            std::lock_guard lock(mutex);
            events.clear();  // what the monitor of the previous claim reported
            monitorStart = -1;
            foreign = false;
        }
    }
    // The application closed the link, which the monitor reopens: the cable's state starts again.
    void Release() {
        Timed("ReleaseDevice", kCallMs, [&] { return so->ReleaseDevice(nullptr); });
        std::lock_guard lock(mutex);
        cable.push_back({Now(), Now(), cable.back().in});
    }
    bool Claim() {
        if (so->m_claimed != 0) {
            return true;
        }
        if (foreign) {
            Open(false, device);  // else the refused open's device name would be claimed
        }
        // A failed claim can leave a link to a gone device: a retrying application releases.
        Release();
        int32_t rc = -1;
        claimedAt = kNever;
        Timed("ClaimDevice", kClaimMs, [&] { return so->ClaimDevice(1000, &rc); });
        claimedAt = Now();
        if (rc == 0) {
            monitorStart = Now();
            modeLost = modeLost && so->m_firmwareVersion == 0;  // else it asked for the mode
            Enable(1);
        }
        return rc == 0;
    }
    int32_t CreateWindow() {
        const int rows = std::max(so->m_deviceRows, 1), columns = std::max(so->m_deviceColumns, 1);
        const int row = Arg(0, 0, rows - 1), column = Arg(1, 0, columns - 1);
        const int height = Arg(2, 1, rows - row), width = Arg(3, 1, columns - column);
        const bool tall = args[4] % 2 == 0;  // taller or wider than the viewport
        return so->CreateWindow(row, column, height, width, tall ? Arg(5, height, 12) : height,
                                tall ? width : Arg(5, width, 64), nullptr);
    }
    // Released, reopened with or without CloseService or a new object, or refused an open of
    // a device whose key names another object.
    void ChangeLife(int how) {
        if (how == 0) {
            return Release();
        }
        if (how == 1) {
            Close();
        }
        Open(how == 3, how == 4 ? u"Foreign" : device);
        if (how != 4) {
            Claim();
        }
    }
    void Operate();
    void Check();

    void Run(uint64_t masterSeed, int64_t deadline) {
        so = std::make_unique<CPOSLDisplay>(platform);
        Open(false, device);
        seed = masterSeed;
        for (; !g_stop && Now() < deadline; ++schedule, ++g_schedules) {
            std::seed_seq sequence{masterSeed, masterSeed >> 32, uint64_t(port.back()), schedule};
            rng.seed(sequence);
            // Calls for 0.5 to 4 s, some after a short pause for cables and timers; what a
            // change of the object's life leaves is checked soon after it.
            int64_t change = Pick(0, 1) == 0 ? Now() + Pick(0, 3000) : kNever;
            for (int64_t end = Now() + Pick(500, 4000); Now() < end && !g_stop;) {
                if (so->m_claimed == 0 && Pick(0, 31) == 0) {
                    Claim();
                }
                if (Now() >= change) {
                    ChangeLife(Pick(0, 4));
                    change = kNever;
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
            Close();
        }
        Drop();
        finished = true;
    }

    const std::u16string device, port;
    StressPlatform platform;
    std::shared_ptr<displaysim::DisplaySimulator> sim;
    std::atomic<bool> hold{false}, finished{false};  // hold: the check needs the display attached
    std::atomic<int64_t> claimedAt{0}, hangsAt{0}, pulls{0};  // claimedAt: kNever in a claim
    std::atomic<const char*> call{nullptr};
    std::mutex mutex;
    struct CableState {
        int64_t begun, done;  // the change's start and end
        bool in;
    };
    std::vector<CableState> cable;                    // since the last check; first the state then
    std::vector<std::pair<int64_t, int32_t>> events;  // SOStatusUpdate since the open
    uint64_t seed = 0, schedule = 0;
    std::mt19937_64 rng;
    uint32_t args[6] = {};
    std::u16string text;
    std::unique_ptr<CPOSLDisplay> so;
    int64_t monitorStart = -1;  // when the running monitor thread was started, -1 for none
    bool modeLost = false;      // a screen mode may not have reached the display
    bool foreign = false;       // the last OpenService named the other object's device
};

constexpr int32_t kCharacterSets[] = {0, 437, 850, 858, 866, 1252};

const struct {
    int weight;
    const char* name;  // one call, timed against kCallMs; null: it times its own calls
    int32_t (*run)(Rig&);
} kOperations[] = {
    {20, "DisplayText", [](Rig& r) { return r.so->DisplayText(r.text, r.Arg(0, 0, 3), nullptr); }},
    {10, "DisplayTextAt",
     [](Rig& r) {
         return r.so->DisplayTextAt(r.Arg(0, -1, 4), r.Arg(1, -1, 40), r.text, r.Arg(2, 0, 3),
                                    nullptr);
     }},
    {5, "ClearText", [](Rig& r) { return r.so->ClearText(nullptr); }},
    {7, "CreateWindow", [](Rig& r) { return r.CreateWindow(); }},
    {5, "DestroyWindow", [](Rig& r) { return r.so->DestroyWindow(nullptr); }},
    {5, "RefreshWindow", [](Rig& r) { return r.so->RefreshWindow(r.Arg(0, 0, 4), nullptr); }},
    {3, "ScrollText",
     [](Rig& r) { return r.so->ScrollText(r.Arg(0, 1, 4), r.Arg(1, 1, 3), nullptr); }},
    {6, "CurrentWindow", [](Rig& r) { return r.Write(5003, 0, 5); }},
    {9, "MarqueeType", [](Rig& r) { return r.Write(5014, 0, 5); }},
    {2, "MarqueeUnitWait", [](Rig& r) { return r.Write(5015, 100, 700); }},
    {1, "MarqueeRepeatWait", [](Rig& r) { return r.Write(5013, 50, 700); }},
    {2, "BlinkRate", [](Rig& r) { return r.Write(5018, 50, 700); }},
    {1, "MapCharacterSet", [](Rig& r) { return r.Write(5022, 1, 1); }},
    {3, "CharacterSet",
     [](Rig& r) { return r.so->SetPropertyNumber(5001, kCharacterSets[r.Arg(0, 0, 5)]); }},
    {2, "ScreenMode",
     [](Rig& r) {
         // A mode written while the link is down, or cut by a pull, never reaches the display.
         const int64_t pulls = r.pulls;
         const bool down = !r.so->m_port.IsOpen() || Now() - r.PluggedSince() < kHeldMs;
         const int32_t rc = r.Write(5025, 0, 4);
         r.modeLost = r.modeLost || down || r.pulls != pulls;
         return rc;
     }},
    {2, nullptr, [](Rig& r) { return r.Enable(0), r.Enable(1); }},
};

void Rig::Operate() {
    static constexpr char16_t kChars[] =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.-  \r \n ";
    static const int total = std::accumulate(std::begin(kOperations), std::end(kOperations), 0,
                                             [](int t, auto& op) { return t + op.weight; });
    int pick = Pick(0, total - 1);
    text.resize(static_cast<size_t>(Pick(0, 24)));
    std::ranges::generate(text, [&] { return kChars[Pick(0, std::size(kChars) - 2)]; });
    std::ranges::generate(args, [&] { return static_cast<uint32_t>(rng() >> 33); });
    auto op = std::begin(kOperations);
    while ((pick -= op->weight) >= 0) {
        ++op;
    }
    if (op->name == nullptr) {
        op->run(*this);
    } else {
        Timed(op->name, kCallMs, [&] { return op->run(*this); });
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
        Open(false, device);
    }
    // A claim that had no answer (firmware 0) learnt nothing: claimed again, as a technician would.
    if (so->m_claimed != 0 && so->m_firmwareVersion == 0) {
        Close();
        Open(false, device);
    }
    if (!Claim() || so->m_firmwareVersion == 0) {
        return Fail("ClaimDevice with the display attached: ResultCodeExtended ",
                    so->m_resultCodeExtended);
    }
    const int64_t since = std::max(PluggedSince(), monitorStart);
    while (platform.shared.Passes(since, Now()) < 2) {
        if (Now() - since > kHangMs) {
            return Fail("the port monitor made no two passes in ", kHangMs, " ms");
        }
        SleepMs(10);
    }
    std::unique_lock lock(mutex);
    const auto seen = events;
    const auto states = std::exchange(cable, {cable.back()});
    lock.unlock();
    int32_t last = kOnline;  // the state the monitor assumes when it starts
    for (auto [at, status] : seen) {
        if (status == last) {
            Fail("SOStatusUpdate ", status, " twice, at ", at);
        }
        last = status;
    }
    for (size_t i = 0; i < states.size(); ++i) {
        const int64_t from = std::max(states[i].done, monitorStart);
        const int64_t to = i + 1 < states.size() ? states[i + 1].begun : Now();
        int32_t reported = kOnline;
        for (auto [at, status] : seen) {
            reported = at < to ? status : reported;
        }
        if (platform.shared.Passes(from, to) >= 2 &&
            reported != (states[i].in ? kOnline : kOffline)) {
            Fail(states[i].in ? "plugged" : "pulled", " from ", from, " to ", to, " ms, reported ",
                 reported);
        }
    }
    if (last != kOnline || so->m_powerState != kOnline) {
        Fail("display attached: last SOStatusUpdate ", last, ", PowerState ",
             so->m_powerState.load());
    }
    for (const ScreenModeRecord& mode : so->m_screenModes) {
        if (modeLost && mode.rows > 0 && mode.id != so->m_screenMode) {
            Timed("ScreenMode", kCallMs, [&] { return so->SetPropertyNumber(5025, mode.id); });
            modeLost = false;  // sent now, it reaches the display
        }
    }
    // Enabling again stops every timer and blanks both pictures; still text gives the comparison
    // something to see.
    Enable(0);
    Enable(1);
    SleepMs(50);  // a step that was already running ends
    Timed("CurrentWindow", kCallMs, [&] { return so->SetPropertyNumber(5003, 0); });
    Timed("MarqueeType", kCallMs, [&] { return so->SetPropertyNumber(5014, 0); });
    Timed("DisplayTextAt", kCallMs,
          [&] { return so->DisplayTextAt(0, 0, u"Check" + text, 0, nullptr); });
    Timed("RefreshWindow", kCallMs, [&] { return so->RefreshWindow(0, nullptr); });

    const std::vector<std::string> shown = sim->ScreenLines();
    if (so->m_deviceRows != sim->Rows() || so->m_deviceColumns != sim->Columns()) {
        return Fail("DeviceRows x DeviceColumns ", so->m_deviceRows, "x", so->m_deviceColumns,
                    ", the display ", sim->Rows(), "x", sim->Columns());
    }
    const int mask = so->m_codePage == 997 || so->m_unicodeMode == 1 ? 0xFFFF : 0xFF;
    BusyFlagGuard screen(so->m_screenLock, so->Clock());
    for (int r = 0; r < so->m_deviceRows; ++r) {
        std::string own;
        for (int c = 0; c < so->m_deviceColumns; ++c) {
            own += displaysim::Utf8(so->m_screen[r * kScreenColumns + c].code[0] & mask);
        }
        if (own != shown[r]) {
            return Fail("row ", r, " shows \"", shown[r], "\", the screen picture \"", own, "\"");
        }
    }
    sim->ClearReceived();
    hold = false;
}

void Cables(std::vector<std::unique_ptr<Rig>>& rigs, uint64_t seed, std::atomic<bool>& done) {
    std::mt19937_64 rng(seed);
    std::vector<int64_t> next(rigs.size(), 0);
    for (; !done; SleepMs(5)) {
        for (size_t i = 0; i < rigs.size(); ++i) {
            Rig& rig = *rigs[i];
            const bool plugged = rig.PluggedSince() != kNever;
            if (Now() < next[i] ||
                (plugged ? rig.hold.load() : rig.claimedAt == kNever || !rig.PullSeen())) {
                continue;
            }
            rig.Plug(!plugged);
            next[i] = Now() + std::uniform_int_distribution<int64_t>(
                                  plugged ? kHeldMs : 50, plugged ? 2 * kHeldMs : 2500)(rng);
        }
    }
}

int Run(int seconds, unsigned long long seed) {
    std::vector<std::unique_ptr<Rig>> rigs;
    rigs.push_back(std::make_unique<Rig>("KT110", 13000, nullptr, u'1'));
    rigs.push_back(std::make_unique<Rig>(
        "KT910", 236000,
        u"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1d9c&Pid_0a03\\A\\Device Parameters", u'2'));
    rigs.push_back(std::make_unique<Rig>("KT310", 183000, nullptr, u'3'));
    rigs.push_back(std::make_unique<Rig>("ZN610", 236000, nullptr, u'4'));
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
            if (call != nullptr && Now() > rig->hangsAt) {
                rig->Fail(call, " does not return");
                std::_Exit(1);
            }
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    cablesDone = true;
    cables.join();
    // Late timer callbacks of released objects run now, under the sanitizers; the monitor
    // threads end before their platforms go.
    SleepMs(1000);
    for (auto& rig : rigs) {
        while (rig->platform.threads.Running() != 0) {
            SleepMs(10);
        }
    }
    std::printf(
        "miraxld_stress: seed %llu, %d s, %zu displays: %lld operations, %lld schedules, "
        "%lld cable pulls, %lld objects released; %s\n",
        seed, seconds, rigs.size(), g_operations.load(), g_schedules.load(),
        std::accumulate(rigs.begin(), rigs.end(), 0LL,
                        [](long long n, auto& rig) { return n + rig->pulls; }),
        g_drops.load(), g_failures == 0 ? "no failure" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace miraxld::testing

int main(int argc, char** argv) {
    unsigned long long values[2] = {10, 1};  // --seconds, --seed
    bool usage = argc % 2 == 0;
    for (int i = 1; i + 1 < argc && !usage; i += 2) {
        const std::string arg = argv[i];
        char* end = nullptr;
        values[arg == "--seed"] = std::strtoull(argv[i + 1], &end, 10);
        usage = (arg != "--seconds" && arg != "--seed") || *end != '\0';
    }
    if (usage || values[0] < 1 || values[0] > 86400) {
        std::fprintf(stderr, "usage: miraxld_stress [--seconds N (1 to 86400)] [--seed S]\n");
        return 2;
    }
    return miraxld::testing::Run(static_cast<int>(values[0]), values[1]);
}
