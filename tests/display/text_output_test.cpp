#include "display/arabic_shaping.h"
#include "display/text_conversion.h"
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

TEST(TextConversionTest, DeviceRemapping) {
    const struct {
        int32_t characterSet;
        char16_t in, out;
    } cases[] = {
        {1258, u'ạ', 0xD5},  // VISCII position of a-dot-below
        {1258, u'Õ', 0xA0},  // the last matching entry wins over none
        {1258, u'A', u'A'},
        {1255, 0xFB2A, 0x81},  // presentation form at the display's own byte
        {1255, 0xFB3B, 0xA0},
        {1255, u'א', 0xE0},
        {1255, 0x0218, 0x015E},  // no table entry: comma-below becomes cedilla
        {852, 0x021B, 0x0163},
        {852, u'a', u'a'},
    };
    for (const auto& c : cases) {
        std::u16string text(1, c.in);
        RemapDeviceCharacters(text, c.characterSet);
        EXPECT_EQ(static_cast<int>(text[0]), static_cast<int>(c.out)) << c.characterSet;
    }
}

TEST(TextConversionTest, ConvertsPerCodePage) {
    const struct {
        const char* name;
        int32_t codePage, characterSet;
        std::u16string text;
        std::vector<Cell> cells;
    } cases[] = {
        // clang-format off
        {"tab becomes a space", 1252, 1252, u"\tA", {{{' '}}, {{'A'}}}},
        {"Unicode keeps units and marks", 997, 1255, u"א\u05B4\u05B0b",
         {{{0x05D0, 0x05B4, 0x05B0}}, {{'b'}}}},
        {"Unicode won under 949", 997, 949, u"\\", {{{0xFFE6}}}},
        {"Unicode dong under 1258", 997, 1258, u"#", {{{0x20AB}}}},
        {"Thai takes at most two marks", 874, 874, u"ก\u0E31\u0E48\u0E31",
         {{{0xA1, 0xD1, 0xE8}}, {{0xD1}}}},
        {"Hebrew takes one mark", 1255, 1255, u"א\u05B4\u05B4", {{{0xE0, 0xC4}}, {{0xC4}}}},
        {"Vietnamese class 3", 1258, 1258, u"Ã", {{{0xEE, 0xC3}}}},
        {"Vietnamese class 2", 1258, 1258, u"\u1EA1", {{{0x1E, 0xA1}}}},
        {"Vietnamese class 1", 1258, 1258, u"\u0103", {{{0xE3}}}},
        {"unrepresentable character", 1252, 1252, u"\u4E00", {{{'?'}}}},
        {"unknown code page", 12345, 12345, u"Z", {{{'?'}}}},
        {"Shift-JIS in one cell", 932, 932, u"あ", {{{0x82, 0xA0}}}},
        {"Hebrew presentation form", 1255, 1255, u"\uFB2A", {{{0xFB, 0x2A}}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            ConvertText(c.text, {c.codePage, c.characterSet, false}, SystemPlatform().CodePages()),
            c.cells);
    }
}

TEST(ArabicShapingTest, JoinsWithTheLetterBefore) {
    const struct {
        const char* name;
        uint16_t previous, next, previousAfter, nextAfter;
    } cases[] = {
        {"after a non-letter", u'x', 0x0628, u'x', 0xFE8F},
        {"isolated alef does not join", 0xFE8D, 0x0628, 0xFE8D, 0xFE8F},
        {"final dal does not join", 0xFEAA, 0x0628, 0xFEAA, 0xFE8F},
        {"hamza has no final form", 0xFE8F, 0x0621, 0xFE8F, 0xFE80},
        {"alef maksura initial from Forms-A", 0xFEEF, 0x0628, 0xFBE8, 0xFE90},
        {"initial form: nothing changes", 0xFE91, 0x0628, 0xFE91, 0x0628},
        {"Farsi yeh", 0xFE8F, 0x06CC, 0xFE91, 0xFBFD},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uint16_t previous = c.previous, next = c.next;
        ShapeArabic(&previous, next);
        EXPECT_EQ(std::pair(previous, next), std::pair(c.previousAfter, c.nextAfter));
    }
}

// Each letter's forms are its own and classify back to it, and no presentation form is claimed
// by a letter that does not list it: a slip in the joining table shapes a letter wrongly.
TEST(ArabicShapingTest, LettersAndTheirFormsAgree) {
    for (uint16_t letter = 0x0600; letter <= 0x06FF; ++letter) {
        const ArabicLetterForms* e = FindArabicLetter(letter);
        if (e == nullptr) {
            continue;
        }
        EXPECT_EQ(e->letter, letter);
        const uint16_t forms[] = {e->isolated, e->final, e->initial, e->medial};
        for (int f = 0; f < 4; ++f) {
            const PresentationForm p = ClassifyPresentationForm(forms[f]);
            if (forms[f] != 0) {
                EXPECT_EQ(std::pair(p.letter, int(p.form)), std::pair(letter, f + 1)) << forms[f];
            }
        }
    }
    for (uint32_t code = 0xFB50; code <= 0xFEFF; ++code) {
        const PresentationForm p = ClassifyPresentationForm(static_cast<uint16_t>(code));
        const ArabicLetterForms* e = p.form == kArabicNoForm ? nullptr : FindArabicLetter(p.letter);
        if (p.form != kArabicNoForm) {
            ASSERT_NE(e, nullptr) << code;
            const uint16_t forms[] = {0, e->isolated, e->final, e->initial, e->medial};
            EXPECT_EQ(forms[p.form], code);
        }
    }
}

TEST_F(TextOutputTest, CharacterSetSendsTheCommandsOfEachDisplayVariant) {
    const struct {
        const char* name;
        int32_t number;
        const char* sent;
        int32_t characterSet, codePage, table;
        std::u16string model = u"KT110", vidPid = u"";
        int32_t firmware = 20000, mapCharacterSet = 1, oldSet = 1252, oldTable = 7;
    } cases[] = {
        {"map unset: the system code page's table", 1255, "1B 52 00 1B 74 10", 1255, 1252, 16,
         u"KT110", u"", 20000, 0},
        {"map set: the written code page's table", 1255, "1B 52 00 1B 74 31", 1255, 1255, 49},
        {"0 takes the first listed code page", 0, "1B 52 00 1B 74 02", 437, 850, 2},
        {"unlisted code page keeps the table", 866, "1B 52 00 1B 74 07", 866, 866, 7},
        {"an empty slot is no match", -1, "1B 52 00 1B 74 07", -1, -1, 7},
        {"Unicode value selects no table", 997, "1B 52 00", 997, 997, 16, u"KT110", u"", 20000, 1,
         1252, 16},
        {"0a01 below 13000, Japanese single-byte", 9320, "1B 52 00 1C 2E 1B 74 01 1B 52 07", 9320,
         9320, 1, u"KT110", u"1d9c_0a01", 12000},
        {"0a02 from 13000, Japanese single-byte", 9320, "1B 52 00 1C 2E 1B 74 01 1B 52 08", 9320,
         9320, 1, u"KT110", u"1d9c_0a02", 13000},
        {"0a05 from 13000, Vietnamese", 1258, "1B 52 00 1B 74 34 1B 52 10", 1258, 1258, 52,
         u"RMX110", u"1d9c_0a05", 13000},
        {"0a06 below 12800, Japanese single-byte", 9320, "1B 52 00 1B 74 01 1B 52 16", 9320, 9320,
         1, u"RMX910", u"1d9c_0a06", 12000},
        {"RMX910 from 12800: table 22", 9320, "1B 52 00 1B 74 16 1B 52 08", 9320, 9320, 22,
         u"RMX910", u"1d9c_0a06", 13000},
        {"KT910 below 23600: table 22", 9320, "1B 52 00 1B 74 16", 9320, 9320, 22, u"KT910"},
        {"0a03 below 236000, Vietnamese", 1258, "1B 52 00 1B 74 34 1B 52 24", 1258, 1258, 52,
         u"KT910", u"1d9c_0a03", 220000},
        {"0a04 below 236000, Arabic", 1256, "1B 52 00 1B 74 32 1B 52 25", 1256, 1256, 50, u"KT910",
         u"1d9c_0a04", 220000},
        {"0a03 Japanese: double-byte code system", 932, "1B 52 00 1C 43 01 1B 52 16", 932, 932, 255,
         u"KT910", u"1d9c_0a03", 220000},
        {"leaving Japanese on an old 0a03", 437, "1C 43 00 1B 40 1B 52 00 1B 74 02", 437, 850, 2,
         u"KT910", u"1d9c_0a03", 220000, 1, 932, 255},
        {"Japanese without a USB key", 932, "1B 52 00 1B 74 FF 1B 52 16", 932, 932, 255},
        {"KT310 Japanese: the listed table", 932, "1B 52 00 1B 74 F4 1B 52 16", 932, 932, 244,
         u"KT310", u"", 150},
        {"Unicode firmware sends nothing", 1256, "", 1256, 997, 7, u"KT910", u"1d9c_0a03", 236000,
         0},
        {"Unicode firmware leaving Japanese", 1252, "1C 43 00", 1252, 997, 7, u"KT910",
         u"1d9c_0a03", 236000, 0, 932},
        {"the same value does nothing", 1252, "", 1252, 1252, 7},
        {"RMX910 Unicode firmware", 864, "", 864, 997, 7, u"RMX910", u"1d9c_0a06", 150001, 0},
    };
    const int32_t pages[] = {437, 9320, 850, 1252, 1255, 1256, 1258, 932};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.model, 2, 20);
        so->m_deviceName = c.model;
        so->m_codepageList.fill(-1);  // empty, as the claim leaves the slots it does not fill
        std::copy(std::begin(pages), std::end(pages), so->m_codepageList.begin());
        so->m_codepageCmdIndex = {0, 1, 2, 16, 49, 50, 52, 244};
        so->m_defaultCodePage = 850, so->m_vidPid = c.vidPid, so->m_firmwareVersion = c.firmware;
        so->m_characterSet = c.oldSet, so->m_selectedTable = c.oldTable;
        so->m_mapCharacterSet = c.mapCharacterSet;
        Display(u"old text");
        Take();

        so->WriteCharacterSet(c.number);
        EXPECT_EQ(Take(), Hex(c.sent));
        EXPECT_EQ(std::tuple(so->m_characterSet, so->m_codePage, so->m_selectedTable),
                  std::tuple(c.characterSet, c.codePage, c.table));
        const std::string shown(c.number == c.oldSet ? "old text" : "");
        EXPECT_EQ(ScreenRow(0), shown + std::string(20 - shown.size(), ' ')) << "pictures blanked";
        EXPECT_EQ(WindowRow(0), ScreenRow(0));
        EXPECT_EQ(so->m_unicodeMode, c.codePage == 997 && c.number != 997 ? 1 : 0);
        EXPECT_FALSE(so->m_commandBusy.IsSet());
    }
    EXPECT_EQ(so->m_leftToRight, 0) << "864 runs right to left";
}

}  // namespace
}  // namespace miraxld::testing
