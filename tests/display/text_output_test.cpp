#include "display_fixture.h"

namespace miraxld::testing {
namespace {

using TextOutputTest = DisplayTest;

TEST_F(TextOutputTest, PlacesTextWithWrapScrollAndControlCharacters) {
    const struct {
        const char* name;
        int height, width, startRow, startColumn;
        std::u16string text;
        std::vector<std::string> rows;
        int cursorRow, cursorColumn;
        int32_t codePage = 1252;  // 932: double-byte mode
    } cases[] = {
        // clang-format off
        {"full row leaves the cursor pending", 2, 5, 0, 0, u"ABCDE", {"ABCDE", "     "}, 0, 5},
        {"next character wraps", 2, 5, 0, 0, u"ABCDEF", {"ABCDE", "F    "}, 1, 1},
        {"wrap on the last row scrolls", 2, 5, 0, 0, u"ABCDEFGHIJK", {"FGHIJ", "K    "}, 1, 1},
        {"last row full stays pending", 2, 5, 0, 0, u"ABCDEFGHIJ", {"ABCDE", "FGHIJ"}, 1, 5},
        {"CR LF after a full row", 2, 5, 0, 0, u"ABCDE\r\nX", {"ABCDE", "X    "}, 1, 1},
        {"LF alone after a full row skips a row", 3, 5, 0, 0, u"ABCDE\nX",
         {"ABCDE", "     ", "X    "}, 2, 1},
        {"LF on the last row wraps through the top", 2, 5, 1, 2, u"\nZ", {" Z   ", "     "}, 0, 2},
        {"CR returns to column 0", 2, 5, 0, 0, u"ABC\rX", {"XBC  ", "     "}, 0, 1},
        {"CR on a later row", 2, 5, 1, 3, u"\rQ", {"     ", "Q    "}, 1, 1},
        {"TAB shows as a space", 2, 5, 0, 0, u"A\tB", {"A B  ", "     "}, 0, 3},
        {"empty text keeps the cursor", 2, 5, 1, 2, u"", {"     ", "     "}, 1, 2},
        {"one-row window scrolls in place", 1, 5, 0, 0, u"ABCDEFG", {"FG   "}, 0, 2},
        {"one-column window", 3, 1, 0, 0, u"ABCD", {"B", "C", "D"}, 2, 1},
        {"double-byte wraps whole; the last column keeps its content", 2, 5, 0, 0,
         u"12345\rABCDあ", {"ABCD5", "\x82\xA0   "}, 1, 2, 932},
        {"double-byte: no room on the last row, scroll first", 2, 5, 1, 0, u"あ  漢",
         {"\x82\xA0   ", "\x8A\xBF   "}, 1, 2, 932},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(u"KT110", c.height, c.width);
        so->m_doubleByteMode = c.codePage == 932 ? 1 : 0;
        so->m_characterSet = so->m_codePage = c.codePage;
        EXPECT_EQ(so->DisplayTextAt(c.startRow, c.startColumn, c.text, 0, nullptr), 0);
        for (int r = 0; r < c.height; ++r) {
            EXPECT_EQ((std::pair{WindowRow(r), ScreenRow(r)}), std::pair(c.rows[r], c.rows[r]));
        }
        EXPECT_EQ((std::array{Window().cursorRow, Window().cursorColumn, so->m_cursorRow,
                              so->m_cursorColumn}),
                  (std::array{c.cursorRow, c.cursorColumn, c.cursorRow, c.cursorColumn}));
    }
    // The cursor properties are in display coordinates: viewport origin and scroll offset.
    Open(u"KT310", 4, 20);
    MakeWindow(1, 2, 6, 2, 10);
    Window(1).rowOffset = 1;
    EXPECT_EQ(Display(u"ABC"), 0);
    EXPECT_EQ(std::pair(so->m_cursorRow, so->m_cursorColumn), std::pair(0 - 1 + 2, 3 + 6));
}

TEST_F(TextOutputTest, RefusalsChangeNothing) {
    const struct {
        const char* name;
        void (*setup)(CPOSLDisplay&);
        std::u16string text;
        int32_t rc, extended;
    } cases[] = {
        {"not claimed", [](CPOSLDisplay& so) { so.m_claimed = 0; }, u"A", 103, -1},
        {"not enabled", [](CPOSLDisplay& so) { so.m_deviceEnabled = 0; }, u"A", 105, -1},
        {"marquee running", [](CPOSLDisplay& so) { so.m_windows[0].marqueeType = kMarqueeLeft; },
         u"A", 106, 10009},
        {"257 characters", nullptr, std::u16string(257, u'x'), 106, 0},
        {"a very long text", nullptr, std::u16string(100000, u'x'), 106, 0},
        {"bad current window", [](CPOSLDisplay& so) { so.m_currentWindow = 7; }, u"A", 106, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(u"KT110", 2, 20);
        so->m_resultCodeExtended = -1;
        if (c.setup != nullptr) {
            c.setup(*so);
        }
        Take();
        EXPECT_EQ(Display(c.text, kDispDtBlinkReverse), c.rc);
        EXPECT_EQ(std::pair(so->m_resultCode, so->m_resultCodeExtended),
                  std::pair(c.rc, c.extended));
        EXPECT_EQ(WindowRow(0), std::string(20, ' '));
        EXPECT_EQ(std::pair(Window().cursorColumn, Window().lastAttribute), std::pair(0, 0));
        EXPECT_TRUE(Take().empty());
    }
    Open(u"KT310", 8, 64);
    Window().height = 12;  // room for 768 cells: 256 fit without scrolling
    EXPECT_EQ(Display(std::u16string(256, u'y')), 0);
    EXPECT_EQ(std::pair(Window().cursorRow, Window().cursorColumn), std::pair(3, 64))
        << "four full rows: pending at the end of row 3";
}

TEST_F(TextOutputTest, DisplayTextAtChecksThePosition) {
    // Unclaimed: a bad position is refused first, a good one goes on to DisplayText's checks.
    const struct {
        int32_t row, column, claimed, rc;
    } cases[] = {{0, 0, 1, 0},    {1, 19, 1, 0},   {2, 0, 1, 106}, {0, 20, 1, 106},
                 {-1, 0, 1, 106}, {0, -1, 1, 106}, {5, 5, 0, 106}, {1, 3, 0, 103}};
    for (const auto& c : cases) {
        Open(u"KT110", 2, 20);
        so->m_claimed = c.claimed;
        int32_t rc = -1;
        so->DisplayTextAt(c.row, c.column, u"Q", 0, &rc);
        EXPECT_EQ(rc, c.rc) << c.row << "," << c.column;
    }
    EXPECT_EQ(std::pair(Window().cursorRow, Window().cursorColumn), std::pair(1, 3));
}

// Arabic letters are shaped unless the firmware shapes them, right-to-left text is pre-ordered,
// the Japanese character sets pick their conversion.
TEST_F(TextOutputTest, ShapingOrderAndConversionFollowTheCharacterSet) {
    const struct {
        std::u16string model;
        int32_t firmware, characterSet, unicode;
        std::u16string text;
        std::vector<uint16_t> cells;
        int32_t codePage;
    } cases[] = {
        // clang-format off
        {u"KT910", 236000, 1256, 1, u"\u0628\u0628\u0628", {0xFE91, 0xFE92, 0xFE90}, 997},
        {u"KT910", 236000, 1256, 1, u"\u0628 \u0628", {0xFE8F, 0x0020, 0xFE8F}, 997},
        {u"KT910", 236000, 1256, 1, u"\u0644\u0627", {0xFEDF, 0xFE8E}, 997},  // lam alef
        {u"KT910", 300000, 1256, 1, u"\u0628\u0628", {0x0628, 0x0628}, 997},  // firmware shapes
        {u"KT110", 20000, 9320, 0, u"《あ", {0xEC, 0x82}, 932},  // a listed symbol in one byte
        {u"KT910", 240000, 932, 1, u"\\", {0xFFE5}, 997},
        {u"KT110", 20000, 1255, 0, u"ab12", {'2', '1', 'b', 'a', ' '}, 1252},
        // clang-format on
    };
    for (const auto& c : cases) {
        Open(c.model, 2, 20);
        so->m_firmwareVersion = c.firmware;
        so->m_characterSet = c.characterSet;
        so->m_unicodeMode = c.unicode;
        Display(c.text);
        EXPECT_EQ(so->m_codePage, c.codePage) << c.characterSet;
        for (size_t i = 0; i < c.cells.size(); ++i) {
            EXPECT_EQ(Window().At(0, static_cast<int>(i)).code[0], c.cells[i]) << "cell " << i;
        }
    }
    Open(u"KT110", 1, 10);
    so->m_characterSet = so->m_codePage = 1255;
    Display(u"א-b");  // pre-ordering leaves "-b" reversed: "b" lands in column 1
    EXPECT_EQ(std::pair(Window().ltrRunStart, Window().ltrRunEnd), std::pair(1, -1));
}

TEST_F(TextOutputTest, ClearTextTheInitMarqueeAndReverseVideo) {
    Display(u"Total 12.50");
    Take();
    EXPECT_EQ(so->ClearText(nullptr), 0);
    EXPECT_EQ(std::tuple(WindowRow(0), ScreenRow(0), Window().cursorColumn),
              std::tuple(std::string(20, ' '), std::string(20, ' '), 0));
    EXPECT_EQ(Take(), Bytes{0x0C}) << "window 0 clears in the display";

    MakeWindow(1, 1, 0, 1, 20);
    Display(u"x");
    Take();
    so->ClearText(nullptr);
    EXPECT_EQ(Take(), Concat({{0x0B}, Ascii(std::string(40, ' '))}));

    Window(1).marqueeType = kMarqueeDown;
    EXPECT_EQ(so->ClearText(nullptr), 106);
    EXPECT_EQ(so->m_resultCodeExtended, 10008);

    Window(1).marqueeType = kMarqueeInit;
    EXPECT_EQ(Display(u"Hi"), 0) << "stored without sending";
    EXPECT_EQ(WindowRow(0, 1).substr(0, 2), "Hi");
    EXPECT_TRUE(Take().empty());

    // Normal text keeps reverse video; only clearing resets it.
    Open(u"KT110", 1, 4);
    Display(u"AB", kDispDtReverse);
    Take();
    so->DisplayTextAt(0, 0, u"C", kDispDtNormal, nullptr);
    EXPECT_EQ(Take(),
              Concat({{0x0B, 0x1F, 0x72, 0x01}, Ascii("CB"), {0x1F, 0x72, 0x00}, Ascii("  ")}));
    so->ClearText(nullptr);
    EXPECT_EQ(Window().At(0, 0).reverse, 0);
}

}  // namespace
}  // namespace miraxld::testing
