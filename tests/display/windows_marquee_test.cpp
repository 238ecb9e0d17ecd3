// The window stack, ScrollText and the emulated marquee, stepped by firing the timers by hand.
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

}  // namespace
}  // namespace miraxld::testing
