// MarqueeType on the displays that scroll by themselves: the start command, the text upload and
// the stop command as the simulator receives them, and the timer-driven marquee otherwise.
#include "display_fixture.h"

namespace miraxld::testing {
namespace {

displaysim::SimConfig ScrollSim(std::string model, int firmware, std::string firstCodePage = "437",
                                char parameterCodePage = '0', int screenMode = 3) {
    displaysim::SimConfig c = Sim(std::move(model), firmware);
    c.codePages[0].second = std::move(firstCodePage);
    c.parameterCodePage = parameterCodePage;
    c.activeScreenMode = screenMode;  // 3: 2 x 20; 1: 3 x 32
    return c;
}

// The window's first row as uploaded: "Sale" and blanks to the window's width.
Bytes RowText(int width, bool utf16) {
    Bytes out;
    for (char c : "Sale" + std::string(width - 4, ' ')) {
        out.push_back(static_cast<uint8_t>(c));
        if (utf16) {
            out.push_back(0);
        }
    }
    return out;
}

TEST(DisplayScrolling, MarqueeTypeStartsAndStopsTheDisplaysOwnScrolling) {
    const struct {
        const char* what;
        displaysim::SimConfig display;
        int32_t characterSet, viewportRow, type;  // the set written after the claim; 0: the claim's
        const char* start = nullptr;              // nullptr: the timer-driven marquee
        bool utf16 = false;
        bool scrolls = true;  // the display holds the text as the line's scrolling text
        const char *end = "0D", *stop = "0C";
        bool narrow = false;  // viewport narrower than the display
    } rows[] = {
        {"KT910 Unicode, right on line 1", ScrollSim("KT910", 300001), 1256, 0, kMarqueeRight,
         "1B 77 02 01", true, true, "00 00", "1B 77 00 01"},
        {"KT910 Unicode, left under 1255 on line 2", ScrollSim("KT910", 300001), 1255, 1,
         kMarqueeLeft, "1B 77 02 02", true, true, "00 00", "1B 77 00 02"},
        {"KT910 keeping its 1255 table: legacy on line 2", ScrollSim("KT910", 300001, "1255"), 0, 1,
         kMarqueeRight, "1B 0B", false, true, "0D", "1B 61 04"},
        {"KT910 300000 in Unicode: legacy commands", ScrollSim("KT910", 300000), 1256, 0,
         kMarqueeRight, "1B 07", true, false, "0D", "1B 61 02"},
        {"KT310 left on line 2", ScrollSim("KT310", 183000), 0, 1, kMarqueeLeft, "1B 75 4A"},
        {"KT310 right on line 1", ScrollSim("KT310", 183000), 0, 0, kMarqueeRight, "1B 07"},
        {"KT310 left on line 3", ScrollSim("KT310", 183000, "437", '0', 1), 0, 2, kMarqueeLeft,
         "1B 75 4B"},
        {"KT310 right on line 3: the text without a start",
         ScrollSim("KT310", 183000, "437", '0', 1), 0, 2, kMarqueeRight, "", false, false},
        {"KT310 up: the text without a start", ScrollSim("KT310", 183000), 0, 0, kMarqueeUp, "",
         false, false},
        {"KT310 in code page 997 uploads UTF-16", ScrollSim("KT310", 183000, "437", 'e'), 0, 0,
         kMarqueeRight, "1B 07", true, false},
        {"KT910 below 300000", ScrollSim("KT910", 299999), 1256, 0, kMarqueeRight},
        {"KT910 not right-to-left", ScrollSim("KT910", 300001), 1252, 0, kMarqueeLeft},
        {"KT310 below 183000", ScrollSim("KT310", 182999), 0, 1, kMarqueeLeft},
        {"KT310 viewport narrower than the display", ScrollSim("KT310", 183000), 0, 1, kMarqueeLeft,
         nullptr, false, true, "0D", "0C", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ClaimRig rig;
        rig.OwnBrandOnCom3(row.display);
        ASSERT_EQ(rig.Claim(), 0);
        CPOSLDisplay& so = *rig.so;
        ASSERT_EQ(so.SetPropertyNumber(3, 1), 0);
        if (row.characterSet != 0) {
            ASSERT_EQ(so.SetPropertyNumber(5001, row.characterSet), 0);
        }
        // An up marquee scrolls a taller window, the others a wider one.
        const bool tall = row.type == kMarqueeUp;
        const int viewportWidth = so.m_deviceColumns - (row.narrow ? 10 : 0);
        const int width = tall ? viewportWidth : viewportWidth + 4;
        ASSERT_EQ(
            so.CreateWindow(row.viewportRow, 0, 1, viewportWidth, tall ? 2 : 1, width, nullptr), 0);
        for (int c = 0; c < 4; ++c) {
            so.m_windows[1].At(0, c).code[0] = u"Sale"[c];
        }
        rig.sim->ClearReceived();

        ASSERT_EQ(so.SetPropertyNumber(kMarqueeTypeIndex, row.type), 0);
        const int line = row.viewportRow + 1;
        if (!row.start) {
            EXPECT_TRUE(rig.sim->Received().empty());
            EXPECT_EQ(rig.platform.timers.Active().at(0).periodMs, 300);
        } else {
            EXPECT_EQ(rig.sim->Received(),
                      Cat({Hex(row.start), RowText(width, row.utf16), Hex(row.end)}));
            EXPECT_TRUE(rig.platform.timers.Active().empty());
            if (row.scrolls) {
                EXPECT_EQ(rig.sim->ScrollingText(line), "Sale" + std::string(width - 4, ' '));
            }
        }

        rig.sim->ClearReceived();
        ASSERT_EQ(so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeNone), 0);
        EXPECT_EQ(rig.sim->Received(), row.start ? Hex(row.stop) : Bytes{});
        EXPECT_TRUE(rig.platform.timers.Active().empty());
        EXPECT_EQ(rig.sim->ScrollingText(line), "");
    }
}

// The moment the display has taken the scrolling start command, window 1's blink tick is fired
// on a thread of its own and given time to write: a resend let in there lands in the upload.
class TickAfterStart : public displaysim::SimulatedSerialDevice {
  public:
    explicit TickAfterStart(ClaimRig& rig)
        : SimulatedSerialDevice(rig.sim, rig.platform.clock), m_rig(rig) {}
    bool WriteByte(uint8_t byte) override {
        const bool written = SimulatedSerialDevice::WriteByte(byte);
        m_last = (m_last << 8 | byte) & 0xFFFFFF;
        if (armed && m_last == 0x1B754A) {
            armed = false;
            resendHeldOff = m_rig.so->m_commandBusy.IsSet();
            tick = std::thread([this] { m_rig.platform.timers.Fire(m_rig.so->m_blinkTimer[1]); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return written;
    }
    bool armed = false;
    bool resendHeldOff = false;  // the flag every resend takes is held across the upload
    std::thread tick;

  private:
    ClaimRig& m_rig;
    uint32_t m_last = 0;
};

TEST(DisplayScrolling, ATimerResendNeverSplitsTheUpload) {
    ClaimRig rig;
    rig.OwnBrandOnCom3(Sim("KT310", 183000));
    TickAfterStart* device = nullptr;
    rig.platform.serialFactory = [&] {
        auto made = std::make_unique<TickAfterStart>(rig);
        device = made.get();
        return made;
    };
    rig.Open(u"KT310");
    ASSERT_EQ(rig.Claim(), 0);
    CPOSLDisplay& so = *rig.so;
    ASSERT_EQ(so.SetPropertyNumber(3, 1), 0);
    ASSERT_EQ(so.CreateWindow(0, 0, 1, 20, 1, 20, nullptr), 0);
    ASSERT_EQ(so.DisplayText(u"Hi", kDispDtBlink, nullptr), 0);
    ASSERT_EQ(so.CreateWindow(1, 0, 1, 20, 1, 24, nullptr), 0);
    ASSERT_EQ(so.DisplayText(u"Sale", 0, nullptr), 0);
    rig.sim->ClearReceived();
    device->armed = true;

    ASSERT_EQ(so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft), 0);
    ASSERT_TRUE(device->tick.joinable());
    device->tick.join();
    EXPECT_TRUE(device->resendHeldOff);
    const Bytes upload = Cat({Hex("1B 75 4A"), RowText(24, false), Hex("0D")});
    const Bytes got = rig.sim->Received();
    ASSERT_GT(got.size(), upload.size()) << "the tick's resend follows";
    EXPECT_EQ(Bytes(got.begin(), got.begin() + upload.size()), upload);
    EXPECT_EQ(rig.sim->ScrollingText(2), "Sale" + std::string(20, ' '));
}

// Two windows marquee at once on the real timers (run under ThreadSanitizer too); the display
// counts the steps running inside the span in which a timer callback holds the step flag.
class CountingDisplay : public CPOSLDisplay {
  public:
    using CPOSLDisplay::CPOSLDisplay;
    ~CountingDisplay() override { m_lifeline->End(); }  // no step into a half-destroyed object
    int32_t StepEffects(int32_t window) override {
        const int inside = m_inside.fetch_add(1) + 1;
        m_mostInside = std::max(m_mostInside.load(), inside);
        std::this_thread::sleep_for(std::chrono::microseconds(200));  // widen any overlap
        m_steps[window].fetch_add(1);
        m_inside.fetch_sub(1);
        return CPOSLDisplay::StepEffects(window);
    }
    std::atomic<int> m_inside{0}, m_mostInside{0};
    std::array<std::atomic<int>, kWindowCount> m_steps{};
};

TEST(MarqueeConcurrency, TwoWindowsStepInTurnOnTheirOwnTimers) {
    OnSystemTime<TestPlatform> platform;
    auto sim = std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
    platform.serialFactory = [&] { return displaysim::MakeDevice(sim, platform.Clock()); };
    CountingDisplay so(platform);
    Prepare(so, u"KT110", 2, 20);
    so.m_marqueeWaitFloor = 1;  // fast ticks; the model floors are not under test here

    for (int32_t window = 1; window <= 2; ++window) {
        ASSERT_EQ(so.CreateWindow(window - 1, 0, 1, 10, 1, 20, nullptr), 0);
        ASSERT_EQ(so.DisplayText(window == 1 ? u"first window text" : u"second window", 0, nullptr),
                  0);
        so.m_windows[window].marqueeUnitWait = 3 + window;
        ASSERT_EQ(
            so.SetPropertyNumber(kMarqueeTypeIndex, window == 1 ? kMarqueeLeft : kMarqueeRight), 0);
    }

    // Screen modes and character sets change on window 0 while the steps resend the screen.
    so.m_screenModes[0] = {1, 2, 20};
    so.m_screenModes[1] = {2, 2, 20};
    so.SetPropertyNumber(5003, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (int32_t mode = 1;
         (so.m_steps[1] < 40 || so.m_steps[2] < 40) && std::chrono::steady_clock::now() < deadline;
         mode = 3 - mode) {
        EXPECT_EQ(so.SetPropertyNumber(5025, mode), 0);
        EXPECT_EQ(so.SetPropertyNumber(5001, mode == 1 ? 437 : 850), 0);  // a step reads it
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (int32_t window = 2; window >= 1; --window) {
        so.SetPropertyNumber(5003, window);
        so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeNone);  // deletes the timer, settles
    }
    const int afterStop = so.m_steps[1] + so.m_steps[2];
    std::this_thread::sleep_for(std::chrono::milliseconds(30));

    EXPECT_GE(std::min(so.m_steps[1].load(), so.m_steps[2].load()), 40);
    EXPECT_EQ(so.m_mostInside, 1) << "two steps ran at the same time";
    EXPECT_EQ(so.m_steps[1] + so.m_steps[2], afterStop) << "a step after the timers went";
    EXPECT_FALSE(so.m_stepping.IsSet() || so.m_commandBusy.IsSet());
}

}  // namespace
}  // namespace miraxld::testing
