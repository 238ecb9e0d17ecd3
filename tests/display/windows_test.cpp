// Windows, their marquee and blink (timers fired by hand) and the screen picture they resend.
#include "display_fixture.h"

namespace miraxld::testing {
namespace {

class WindowsTest : public DisplayTest {
  protected:
    int32_t Create(int32_t row, int32_t column, int32_t viewportHeight, int32_t viewportWidth,
                   int32_t height, int32_t width) {
        return so->CreateWindow(row, column, viewportHeight, viewportWidth, height, width, nullptr);
    }
    bool Tick(int window) { return platform.timers.Fire(so->m_marqueeTimer[window]); }
    // A 2 x 5 display with window 1 over its second row.
    void BlinkWindow() { Open(u"KT110", 2, 5), MakeWindow(1, 1, 0, 1, 5); }
};

TEST_F(WindowsTest, CreateWindowAcceptsOnlyWindowsTheDisplayCanHold) {
    const struct {
        const char* what;
        int32_t args[6];  // viewport row, column, height, width; window height, width
        int32_t rc, claimed = 1, enabled = 1;
    } rows[] = {
        {"not claimed", {0, 0, 1, 5, 1, 5}, 103, 0},
        {"not enabled", {0, 0, 1, 5, 1, 5}, 105, 1, 0},
        {"wider than its viewport", {0, 0, 1, 10, 1, 30}, 0},
        {"taller than its viewport", {0, 5, 1, 10, 4, 10}, 0},
        {"the whole display", {0, 0, 2, 20, 2, 20}, 0},
        {"larger both ways", {0, 0, 1, 10, 3, 30}, 106},
        {"viewport wider than Columns", {0, 0, 1, 21, 1, 21}, 106},
        {"viewport taller than Rows", {0, 0, 3, 10, 3, 10}, 106},
        {"viewport beyond the right edge", {1, 15, 1, 10, 1, 10}, 106},
        {"viewport below the last row", {2, 0, 1, 10, 1, 10}, 106},
        {"negative column", {0, -1, 1, 10, 1, 10}, 106},
        {"empty viewport", {0, 0, 0, 10, 1, 10}, 106},
        {"window smaller than its viewport", {0, 0, 1, 10, 1, 5}, 106},
        {"more than 64 columns", {0, 0, 1, 10, 1, 65}, 106},
        {"more than 12 rows", {0, 0, 1, 10, 13, 10}, 106},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Open(u"KT110", 2, 20);
        so->m_resultCodeExtended = 77;
        so->m_claimed = row.claimed, so->m_deviceEnabled = row.enabled;
        Take();
        const auto& a = row.args;
        EXPECT_EQ(Create(a[0], a[1], a[2], a[3], a[4], a[5]), row.rc);
        EXPECT_EQ(std::pair(so->m_resultCode, so->m_resultCodeExtended), std::pair(row.rc, 77));
        EXPECT_EQ(so->m_currentWindow, row.rc == 0 ? 1 : 0);
        EXPECT_EQ(Take(), row.rc == 0 ? Cat({SetCursor(a[1], a[0]).Bytes()}) : Bytes{});
        const WindowRecord& w = Window(1);  // a refused window keeps its empty record
        EXPECT_EQ((std::array{w.viewportRow, w.viewportColumn, w.viewportHeight, w.viewportWidth,
                              w.height, w.width, int32_t{w.active}}),
                  (row.rc == 0 ? std::array{a[0], a[1], a[2], a[3], a[4], a[5], 1}
                               : std::array<int32_t, 7>{}));
    }
}

TEST_F(WindowsTest, TheStackHoldsFourWindowsAboveTheDisplay) {
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Create(0, 5 * (n - 1), 1, 5, 1, 5), 0);
        EXPECT_EQ(so->m_currentWindow, n);
    }
    EXPECT_EQ(Create(1, 0, 1, 5, 1, 5), 106) << "a fifth window has no record";
    EXPECT_EQ(so->m_currentWindow, 4);

    // Window 1 runs a marquee; destroying it deletes the timer and the mirrors follow window 0.
    Window(0).cursorColumn = 7;
    so->SetPropertyNumber(5003, 1);
    Window(1).width = 15;
    ASSERT_EQ(Display(u"marquee text"), 0);
    ASSERT_EQ(so->SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft), 0);
    ASSERT_EQ(platform.timers.Active().size(), 1u);
    so->m_rows = so->m_columns = 99;
    EXPECT_EQ(so->DestroyWindow(nullptr), 0);
    EXPECT_TRUE(platform.timers.Active().empty());
    EXPECT_EQ((std::array{so->m_currentWindow, int32_t(so->m_marqueeTimer[1]), so->m_rows,
                          so->m_columns, so->m_cursorColumn, so->m_marqueeType}),
              (std::array{0, 0, 2, 20, 7, 0}));
    EXPECT_EQ(so->DestroyWindow(nullptr), 0) << "window 0 only reloads the mirrors";
    EXPECT_EQ(so->m_currentWindow, 0);

    EXPECT_EQ(std::pair(so->RefreshWindow(5, nullptr), so->RefreshWindow(-1, nullptr)),
              std::pair(106, 106));
    EXPECT_EQ(so->RefreshWindow(3, nullptr), 0) << "an earlier window keeps its record";
    EXPECT_EQ(so->m_currentWindow, 3);
}

// CurrentWindow 0, then CreateWindow: window 1's record is made again while its blink or
// marquee still ticks.
TEST_F(WindowsTest, AWindowMadeAgainStartsWithoutTheOldTimers) {
    for (int32_t attribute : {kDispDtBlink, kDispDtNormal}) {
        SCOPED_TRACE(attribute == kDispDtBlink ? "blink" : "marquee");
        Open(u"KT110", 2, 20);
        ASSERT_EQ(Create(0, 0, 1, 10, 1, 15), 0);
        ASSERT_EQ(Display(u"old", attribute), 0);
        if (attribute == kDispDtNormal) {
            ASSERT_EQ(so->SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft), 0);
        }
        const TimerHandle old = platform.timers.Active().at(0).handle;
        ASSERT_EQ(so->SetPropertyNumber(5003, 0), 0);
        ASSERT_EQ(Create(0, 0, 1, 10, 1, 10), 0);
        Take();
        EXPECT_TRUE(platform.timers.Active().empty());
        EXPECT_FALSE(platform.timers.Fire(old));
        EXPECT_TRUE(Take().empty()) << "nothing paints the old text into the new window";
    }
}

TEST_F(WindowsTest, ScrollTextStaysWithinTheWindowPicture) {
    const struct {
        const char* what;
        int32_t viewportHeight, viewportWidth, height, width, direction, units;
        int32_t rc, rowOffset, columnOffset;
    } rows[] = {
        {"full height: up moves the content out", 2, 10, 2, 10, 1, 5, 0, 2, 0},
        {"taller window: up to its last rows", 2, 10, 5, 10, 1, 9, 0, 3, 0},
        {"taller window: down at the top edge", 2, 10, 5, 10, 2, 1, 0, 0, 0},
        {"full height: down brings it back in", 2, 10, 2, 10, 2, 1, 0, -1, 0},
        {"wider window: left to its last columns", 1, 10, 1, 25, 3, 40, 0, 0, 15},
        {"full width: right", 1, 10, 1, 10, 4, 3, 0, 0, -3},
        {"wider window: right at the left edge", 1, 10, 1, 25, 4, 2, 0, 0, 0},
        {"no units", 2, 10, 5, 10, 1, 0, 106, 0, 0},
        {"unknown direction", 2, 10, 5, 10, 5, 1, 106, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Open(u"KT110", 2, 20);
        ASSERT_EQ(Create(0, 0, row.viewportHeight, row.viewportWidth, row.height, row.width), 0);
        EXPECT_EQ(so->ScrollText(row.direction, row.units, nullptr), row.rc);
        EXPECT_EQ(std::pair(Window(1).rowOffset, Window(1).columnOffset),
                  std::pair(row.rowOffset, row.columnOffset));
        EXPECT_EQ(std::pair(so->m_cursorRow, so->m_cursorColumn),
                  std::pair(Window(1).cursorRow - row.rowOffset,
                            Window(1).cursorColumn - row.columnOffset));
    }
    so->m_marqueeType = kMarqueeLeft;
    EXPECT_EQ(so->ScrollText(3, 1, nullptr), 106) << "no scrolling under a marquee";

    Open(u"KT110", 2, 20);  // the display shows the scrolled part of the window
    ASSERT_EQ(Create(0, 0, 1, 10, 1, 25), 0);
    ASSERT_EQ(Display(u"0123456789ABCDEF", kDispDtNormal), 0);
    ASSERT_EQ(so->ScrollText(3, 2, nullptr), 0);
    EXPECT_EQ(ScreenRow(0, 10), "23456789AB");
}

TEST_F(WindowsTest, MarqueeStepsThroughTheStripInEachDirection) {
    const struct {
        const char* what;
        int32_t type, viewportHeight, height, width;
        std::vector<std::u16string_view> text;
        std::vector<std::string> shown;  // viewport row 0 at ticks 1, 2, ...
    } rows[] = {
        // clang-format off
        {"left", kMarqueeLeft, 1, 1, 12, {u"ABCDEFGHIJKL"},
         {"    A", "   AB", "  ABC", " ABCD", "ABCDE", "BCDEF", "CDEFG", "DEFGH", "EFGHI", "FGHIJ",
          "GHIJK", "HIJKL", "    A"}},
        {"right", kMarqueeRight, 1, 1, 7, {u"ABCDEFG"},
         {"G    ", "FG   ", "EFG  ", "DEFG ", "CDEFG", "BCDEF", "ABCDE", "G    "}},
        {"up", kMarqueeUp, 1, 3, 5, {u"one", u"two", u"six"}, {"one  ", "two  ", "six  ", "one  "}},
        {"down", kMarqueeDown, 1, 3, 5, {u"one", u"two", u"six"},
         {"six  ", "two  ", "one  ", "six  "}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Open(u"KT110", 2, 20);
        ASSERT_EQ(Create(1, 2, row.viewportHeight, 5, row.height, row.width), 0);
        for (size_t r = 0; r < row.text.size(); ++r) {
            ASSERT_EQ(so->DisplayTextAt(static_cast<int32_t>(r), 0, row.text[r], 0, nullptr), 0);
        }
        ASSERT_EQ(so->SetPropertyNumber(kMarqueeTypeIndex, row.type), 0);
        EXPECT_EQ(platform.timers.Active().at(0).periodMs, 300);
        for (size_t t = 0; t < row.shown.size(); ++t) {
            Take();
            ASSERT_TRUE(Tick(1));
            EXPECT_EQ(ScreenRow(1).substr(2, 5), row.shown[t]) << "tick " << t + 1;
            EXPECT_EQ(ScreenRow(0), std::string(20, ' ')) << "outside the viewport";
            EXPECT_FALSE(Take().empty()) << "each tick redraws the display";
            EXPECT_FALSE(so->m_stepping.IsSet());
        }
        EXPECT_EQ(so->DisplayText(u"x", 0, nullptr), 106);
        ASSERT_EQ(so->SetPropertyNumber(kMarqueeTypeIndex, kMarqueeNone), 0);
        EXPECT_TRUE(platform.timers.Active().empty()) << "stopping deletes the timer";
        EXPECT_EQ(std::pair(so->m_marqueeTimer[1].load(), Window(1).marqueeSteps),
                  std::pair(TimerHandle{0}, 0));
        EXPECT_EQ(so->DisplayText(u"x", 0, nullptr), 0);
        // The other types are stored, but start no timer-driven redraws.
        for (int32_t type : {int32_t{kMarqueeInit}, 6, -1}) {
            EXPECT_EQ(so->SetPropertyNumber(kMarqueeTypeIndex, type), 0);
            EXPECT_EQ(std::tuple(so->m_resultCode, Window(1).marqueeType,
                                 platform.timers.Active().size()),
                      std::tuple(0, type, size_t{0}));
        }
    }
}

// Under a right-to-left character set the latest left-to-right run is held still while it
// passes, so that it reads in its own order.
TEST_F(WindowsTest, RightToLeftLeftMarqueeHoldsTheLeftToRightRun) {
    Open(u"KT110", 1, 20);
    so->m_characterSet = 1255;
    ASSERT_EQ(Create(0, 0, 1, 4, 1, 8), 0);
    // The cells as the text placement leaves them, with the run it noted.
    for (int c = 0; c < 8; ++c) {
        Window(1).At(0, c).code[0] = u"ab12cdef"[c];
    }
    Window(1).ltrRunStart = 2, Window(1).ltrRunEnd = 3;
    ASSERT_EQ(so->SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft), 0);
    // Strip: "    ab12cdef"; V = 4, a = 2, e = 3.
    const char* shown[] = {"   a", "  ab", " ab2", "ab12", "b12c", "12cd", "1cde", "cdef"};
    for (int s = 1; s <= 8; ++s) {
        ASSERT_TRUE(Tick(1));
        EXPECT_EQ(ScreenRow(0, 4), shown[s - 1]) << "step " << s;
    }
}

TEST_F(WindowsTest, BlinkingTextStartsOneTimerOfTheModelPeriodOutsideWindowZero) {
    const struct {
        int32_t floor, blinkRate, period;
    } cases[] = {{300, 200, 300}, {300, 500, 500}, {600, 300, 600}};
    for (const auto& c : cases) {
        BlinkWindow();
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

TEST_F(WindowsTest, StepAlternatesBlankAndTheCopyTakenWhenTheBlinkStarted) {
    BlinkWindow();
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
TEST_F(WindowsTest, NormalTextOverABlinkIsWhatTheDisplayShows) {
    for (const uint8_t phaseShown : {0, 1}) {
        BlinkWindow();
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
TEST_F(WindowsTest, ATickOfADeletedTimerTouchesNothing) {
    for (const bool objectGone : {false, true}) {
        BlinkWindow();
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

void PutScreen(CPOSLDisplay& so, int row, int column, std::u16string_view text,
               bool reverse = false) {
    for (size_t i = 0; i < text.size(); ++i) {
        Cell& cell = so.m_screen[row * kScreenColumns + column + static_cast<int>(i)];
        cell.code[0] = text[i];
        cell.reverse = reverse ? 1 : 0;
    }
}

const Bytes kHome{0x0B}, kOn{0x1F, 0x72, 0x01}, kOff{0x1F, 0x72, 0x00};

TEST_F(WindowsTest, RefreshScreenSendsHomeAttributesAndEveryCellSlot) {
    using Setup = std::function<void(CPOSLDisplay&)>;
    const Setup ab = [](CPOSLDisplay& so) { PutScreen(so, 0, 0, u"AB"); };
    auto on0a03 = [ab](int32_t firmware) {
        return [ab, firmware](CPOSLDisplay& so) {
            so.m_deviceModel = u"KT910", so.m_vidPid = u"1d9c_0a03";
            so.m_firmwareVersion = firmware, so.m_codePage = 1256;
            ab(so);
        };
    };
    const Bytes kUnicodeLtr{0x1B, 0x74, 0xFF, 0x0E, 0x20}, kBlanks16{' ', 0, ' ', 0, ' ', 0};
    const struct {
        const char* name;
        Setup setup;
        int32_t window, attribute;
        bool resend;
        Bytes expected;
    } cases[] = {
        // clang-format off
        {"plain picture", ab, 0, 0, true, Concat({kHome, Ascii("AB "), Ascii("   ")})},
        {"reverse cell switches on and back off",
         [ab](CPOSLDisplay& so) { ab(so), so.m_screen[1].reverse = 1; }, 0, 0, true,
         Concat({kHome, Ascii("A"), kOn, Ascii("B"), kOff, Ascii(" "), Ascii("   ")})},
        {"reverse run ending the picture needs no off",
         [](CPOSLDisplay& so) { PutScreen(so, 1, 1, u"XY", true); }, 0, 0, true,
         Concat({kHome, Ascii("   "), Ascii(" "), kOn, Ascii("XY")})},
        {"window 0 blink", nullptr, 0, kDispDtBlink, true,
         Concat({kHome, {0x1F, 0x45, 0x06}, Ascii("      ")})},
        {"window 0 reverse: remembered state starts off", nullptr, 0, kDispDtReverse, true,
         Concat({kHome, kOn, Ascii("      ")})},
        {"window 0 blink and reverse", [](CPOSLDisplay& so) { so.m_blinkRate = 120; }, 0,
         kDispDtBlinkReverse, true, Concat({kHome, kOn, {0x1F, 0x45, 0x02}, Ascii("      ")})},
        {"other windows get no attribute command", nullptr, 2, kDispDtBlinkReverse, true,
         Concat({kHome, Ascii("      ")})},
        {"attributes only", nullptr, 0, kDispDtBlink, false, Concat({kHome, {0x1F, 0x45, 0x06}})},
        {"empty slots send nothing; low byte 0 is empty in 8-bit mode",
         [](CPOSLDisplay& so) {
             so.m_screen[0].code[0] = 0, so.m_screen[1].code[0] = 0x0100;
             so.m_screen[2] = Cell{{u'a', 0x0E48, 0x0E31}, 0};
         }, 0, 0, true, Concat({kHome, {'a', 0x48, 0x31}, Ascii("   ")})},
        {"right-to-left rows on a KT110 under 1255",
         [](CPOSLDisplay& so) {
             so.m_codePage = 1255;
             PutScreen(so, 0, 0, u"ABC"), PutScreen(so, 1, 0, u"DE");
         }, 0, 0, true, Concat({kHome, Ascii("CBA"), Ascii(" ED")})},
        {"right-to-left on the 0a03 key below 212000", on0a03(211999), 0, 0, true,
         Concat({kHome, Ascii(" BA"), Ascii("   ")})},
        {"0a03 key at 212000 sends left to right", on0a03(212000), 0, 0, true,
         Concat({kHome, Ascii("AB "), Ascii("   ")})},
        {"unicode left to right", [ab](CPOSLDisplay& so) { so.m_unicodeMode = 1, ab(so); }, 0, 0,
         true, Concat({kHome, kUnicodeLtr, {'A', 0, 'B', 0, ' ', 0}, kBlanks16, {0x00, 0x00}})},
        {"unicode right to left under 997, wide code unit",
         [](CPOSLDisplay& so) {
             so.m_codePage = 997, so.m_leftToRight = 0;
             PutScreen(so, 0, 0, u"א");
         }, 0, 0, true,
         Concat({kHome, {0x1B, 0x74, 0xFF, 0x0F, 0x20, 0x0B, 0x00}, {0xD0, 0x05, ' ', 0, ' ', 0},
                 kBlanks16, {0x00, 0x00}})},
        {"unicode mode skips zero units but keeps a zero low byte",
         [](CPOSLDisplay& so) {
             so.m_unicodeMode = 1;
             so.m_screen[0].code[0] = 0, so.m_screen[1].code[0] = 0x0100;
         }, 0, 0, true,
         Concat({kHome, kUnicodeLtr, {0x00, 0x01, ' ', 0}, kBlanks16, {0x00, 0x00}})},
        {"a display larger than the screen buffer is clipped to it",
         [](CPOSLDisplay& so) { so.m_deviceRows = 40, so.m_deviceColumns = 1000; }, 0, 0, true,
         Concat({kHome, Ascii(std::string(kScreenRows * kScreenColumns, ' '))})},
        {"no rows", [](CPOSLDisplay& so) { so.m_deviceRows = -3; }, 0, 0, true, kHome},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(u"KT110", 2, 3);
        if (c.setup) {
            c.setup(*so);
        }
        Take();
        EXPECT_EQ(so->RefreshScreen(c.window, c.attribute, c.resend), 0);
        EXPECT_EQ(Take(), c.expected);
        EXPECT_FALSE(so->m_commandBusy.IsSet());
    }
}

TEST_F(WindowsTest, GeometryBeyondTheBuffersIsClipped) {
    const std::array<int, 8> cases[] = {
        // viewport row, column, height, width; window height, width; row, column offset
        {6, 120, 5, 20, 5, 20, 0, 0},    // viewport reaching beyond the screen
        {-3, -5, 8, 8, 8, 8, 0, 0},      // viewport starting before it
        {0, 0, 30, 200, 30, 200, 0, 0},  // window beyond the storage
        {0, 0, 4, 4, 4, 4, 100, -100},   // offsets far outside
        {0, 0, 2, 2, 12, 64, -1000, 1000},
    };
    for (const auto& c : cases) {
        Open(u"KT310", 8, 128);
        WindowRecord& w = Window(0);
        std::tie(w.viewportRow, w.viewportColumn, w.viewportHeight, w.viewportWidth, w.height,
                 w.width, w.rowOffset, w.columnOffset) =
            std::tie(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
        EXPECT_EQ(so->UpdateScreenFromWindow(0), 0);
    }
    EXPECT_EQ(std::pair(so->UpdateScreenFromWindow(-1), so->UpdateScreenFromWindow(kWindowCount)),
              std::pair(0, 0));

    // An inactive window puts nothing on the screen.
    Open(u"KT310", 2, 8);
    PutScreen(*so, 0, 0, u"........");
    MakeWindow(1, 0, 2, 1, 4);
    Window(1).At(0, 0).code[0] = u'a';
    Window(1).active = 0;
    EXPECT_EQ(so->UpdateScreenFromWindow(1), 0);
    EXPECT_EQ(ScreenRow(0, 8), "........");
}

}  // namespace
}  // namespace miraxld::testing
