#include "display_fixture.h"

namespace miraxld::testing {
namespace {

// A 2 x 5 display with window 1 over its second row.
class BlinkTest : public DisplayTest {
  protected:
    void SetUpWindow() { Open(u"KT110", 2, 5), MakeWindow(1, 1, 0, 1, 5); }
};

TEST_F(BlinkTest, BlinkingTextStartsOneTimerOfTheModelPeriodOutsideWindowZero) {
    const struct {
        int32_t floor, blinkRate, period;
    } cases[] = {{300, 200, 300}, {300, 500, 500}, {600, 300, 600}};
    for (const auto& c : cases) {
        SetUpWindow();
        so->m_blinkPeriodFloor = c.floor;
        MakeWindow(2, 0, 0, 1, 5);
        Window(2).blinkRate = c.blinkRate;
        EXPECT_EQ(Display(u"Sale", kDispDtBlinkReverse), 0);
        const TimerHandle first = so->m_blinkTimer[2];
        EXPECT_EQ(Display(u"!", kDispDtBlink), 0) << "a running blink keeps its timer";
        const auto active = platform.timers.Active();
        ASSERT_EQ(active.size(), 1u);
        EXPECT_EQ(std::tuple(active[0].handle, active[0].dueMs, active[0].periodMs),
                  std::tuple(first, 10, c.period));
        EXPECT_EQ(Window(2).lastAttribute, kDispDtBlink);

        EXPECT_EQ(Display(u"?", kDispDtNormal), 0);
        EXPECT_TRUE(platform.timers.Active().empty());
    }
    // Window 0 blinks in the display itself.
    Open(u"KT110", 2, 20);
    Take();
    EXPECT_EQ(Display(u"A", kDispDtBlink), 0);
    EXPECT_TRUE(platform.timers.Active().empty());
    EXPECT_EQ(Take(), Concat({{0x0B, 0x1F, 0x45, 0x06}, Ascii("A" + std::string(39, ' '))}));
}

TEST_F(BlinkTest, StepAlternatesBlankAndTheCopyTakenWhenTheBlinkStarted) {
    SetUpWindow();
    Display(u"AB", kDispDtBlink);
    Take();
    // Each tick of the window's timer flips the phase and runs the shared timer step.
    const std::pair<uint8_t, std::string> steps[] = {
        {1, "     "}, {0, "AB   "}, {1, "     "}, {0, "AB   "}};
    for (const auto& step : steps) {
        ASSERT_TRUE(platform.timers.Fire(so->m_blinkTimer[1]));
        EXPECT_EQ(Window(1).blinkPhaseShown, step.first);
        EXPECT_EQ(Take(), Concat({{0x0B}, Ascii("     "), Ascii(step.second)}));
        EXPECT_FALSE(so->m_stepping.IsSet() || so->m_screenLock.IsSet() || so->m_stripLock.IsSet());
    }
    so->BlinkStep(1);
    EXPECT_TRUE(Take().empty()) << "a phase already shown is not redrawn";

    const auto stepTo = [this](uint8_t phase) { Window(1).blinkPhase = phase, so->BlinkStep(1); };
    so->DisplayTextAt(0, 0, u"X", kDispDtNormal, nullptr);  // stops the blink
    Display(u"Y", kDispDtBlink);                            // new copy "XY"
    stepTo(1), stepTo(0);
    EXPECT_EQ(ScreenRow(1), "XY   ");

    EXPECT_EQ(so->ClearText(nullptr), 0);  // stops the blink
    EXPECT_TRUE(platform.timers.Active().empty());
    EXPECT_EQ(Window(1).lastAttribute, 0);
    Display(u"Z", kDispDtBlink);
    so->DeleteBlinkTimer(1);
    stepTo(1);  // a tick that was already running finds no timer: nothing is drawn
    EXPECT_EQ(ScreenRow(1), "Z    ");
}

// A tick that comes while DisplayText stops the blink must not bring the earlier text back.
TEST_F(BlinkTest, NormalTextOverABlinkIsWhatTheDisplayShows) {
    for (const uint8_t phaseShown : {0, 1}) {
        SetUpWindow();
        Display(u"AB", kDispDtBlink);
        Window(1).blinkPhase = Window(1).blinkPhaseShown = phaseShown;
        platform.timers.beforeDelete = [this](TimerHandle timer) { platform.timers.Fire(timer); };
        so->DisplayTextAt(0, 0, u"XY", kDispDtNormal, nullptr);
        platform.timers.beforeDelete = nullptr;
        EXPECT_EQ(ScreenRow(1), "XY   ") << int(phaseShown);
        const Bytes sent = Take();
        EXPECT_EQ(Bytes(sent.end() - 5, sent.end()), Ascii("XY   ")) << int(phaseShown);
    }
}

// The queue may already have started a tick when the timer is deleted; it may reach the step
// only after the deleting call has returned, while the object is reset, or after it is gone.
TEST_F(BlinkTest, ATickOfADeletedTimerTouchesNothing) {
    for (const bool objectGone : {false, true}) {
        SetUpWindow();
        Display(u"AB", kDispDtBlink);
        const std::function<void()> lateTick = platform.timers.Active().at(0).callback;
        if (objectGone) {
            so.reset();
        } else {
            so->ClearText(nullptr);  // stops the blink
        }
        Take();
        lateTick();
        EXPECT_TRUE(Take().empty()) << objectGone;
    }
}

}  // namespace
}  // namespace miraxld::testing
