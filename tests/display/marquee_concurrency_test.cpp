// Two windows marquee at once on the real timer service: each has its own timer, and their
// steps never run at the same time, nor while a screen mode changes the display's size or the
// character set changes.
// Meant to be run under ThreadSanitizer as well.
#include "display_fixture.h"

namespace miraxld::testing {
namespace {

// Notes, inside the span in which a timer callback holds the step flag, how many steps run.
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
