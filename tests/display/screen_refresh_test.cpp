#include <functional>

#include "display/commands.h"
#include "display_fixture.h"

namespace miraxld::testing {
namespace {

void PutScreen(CPOSLDisplay& so, int row, int column, std::u16string_view text,
               bool reverse = false) {
    for (size_t i = 0; i < text.size(); ++i) {
        Cell& cell = so.m_screen[row * kScreenColumns + column + static_cast<int>(i)];
        cell.code[0] = text[i];
        cell.reverse = reverse ? 1 : 0;
    }
}

const Bytes kHome{0x0B};
const Bytes kOn{0x1F, 0x72, 0x01};
const Bytes kOff{0x1F, 0x72, 0x00};

struct RefreshCase {
    const char* name;
    std::function<void(CPOSLDisplay&)> setup;
    int32_t window;
    int32_t attribute;
    bool resend;
    Bytes expected;
};

class RefreshScreenTest : public DisplayTest {};

TEST_F(RefreshScreenTest, SendsHomeAttributesAndEveryCellSlot) {
    const RefreshCase cases[] = {
        {"plain picture", [](CPOSLDisplay& so) { PutScreen(so, 0, 0, u"AB"); }, 0, 0, true,
         Concat({kHome, Ascii("AB "), Ascii("   ")})},
        {"reverse cell switches on and back off",
         [](CPOSLDisplay& so) {
             PutScreen(so, 0, 0, u"AB");
             so.m_screen[1].reverse = 1;
         },
         0, 0, true, Concat({kHome, Ascii("A"), kOn, Ascii("B"), kOff, Ascii(" "), Ascii("   ")})},
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
        {"empty slots send nothing",
         [](CPOSLDisplay& so) {
             so.m_screen[0].code[0] = 0;
             so.m_screen[1].code[0] = 0x0100;  // low byte 0: empty in 8-bit mode
             so.m_screen[2] = Cell{{u'a', 0x0E48, 0x0E31}, 0};
         },
         0, 0, true, Concat({kHome, {'a', 0x48, 0x31}, Ascii("   ")})},
        {"right-to-left rows on a KT110 under 1255",
         [](CPOSLDisplay& so) {
             so.m_codePage = 1255;
             PutScreen(so, 0, 0, u"ABC");
             PutScreen(so, 1, 0, u"DE");
         },
         0, 0, true, Concat({kHome, Ascii("CBA"), Ascii(" ED")})},
        {"right-to-left on the 0a03 key below 212000",
         [](CPOSLDisplay& so) {
             so.m_deviceModel = u"KT910";
             so.m_vidPid = u"1d9c_0a03";
             so.m_firmwareVersion = 211999;
             so.m_codePage = 1256;
             PutScreen(so, 0, 0, u"AB");
         },
         0, 0, true, Concat({kHome, Ascii(" BA"), Ascii("   ")})},
        {"0a03 key at 212000 sends left to right",
         [](CPOSLDisplay& so) {
             so.m_deviceModel = u"KT910";
             so.m_vidPid = u"1d9c_0a03";
             so.m_firmwareVersion = 212000;
             so.m_codePage = 1256;
             PutScreen(so, 0, 0, u"AB");
         },
         0, 0, true, Concat({kHome, Ascii("AB "), Ascii("   ")})},
        {"unicode left to right",
         [](CPOSLDisplay& so) {
             so.m_unicodeMode = 1;
             PutScreen(so, 0, 0, u"AB");
         },
         0, 0, true,
         Concat({kHome,
                 {0x1B, 0x74, 0xFF, 0x0E, 0x20},
                 {'A', 0, 'B', 0, ' ', 0},
                 {' ', 0, ' ', 0, ' ', 0},
                 {0x00, 0x00}})},
        {"unicode right to left under 997, wide code unit",
         [](CPOSLDisplay& so) {
             so.m_codePage = 997;
             so.m_leftToRight = 0;
             PutScreen(so, 0, 0, u"א");
         },
         0, 0, true,
         Concat({kHome,
                 {0x1B, 0x74, 0xFF, 0x0F, 0x20, 0x0B, 0x00},
                 {0xD0, 0x05, ' ', 0, ' ', 0},
                 {' ', 0, ' ', 0, ' ', 0},
                 {0x00, 0x00}})},
        {"unicode mode skips zero units but keeps a zero low byte",
         [](CPOSLDisplay& so) {
             so.m_unicodeMode = 1;
             so.m_screen[0].code[0] = 0;
             so.m_screen[1].code[0] = 0x0100;
         },
         0, 0, true,
         Concat({kHome,
                 {0x1B, 0x74, 0xFF, 0x0E, 0x20},
                 {0x00, 0x01, ' ', 0},
                 {' ', 0, ' ', 0, ' ', 0},
                 {0x00, 0x00}})},
    };
    for (const RefreshCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(u"KT110", 2, 3);
        if (c.setup) {
            c.setup(*so);
        }
        wire->Take();
        EXPECT_EQ(so->RefreshScreen(c.window, c.attribute, c.resend), 0);
        EXPECT_EQ(wire->Take(), c.expected);
        EXPECT_FALSE(so->m_commandBusy.IsSet());
    }
}

TEST_F(RefreshScreenTest, GeometryBeyondThePictureIsClipped) {
    Open(u"KT110", 2, 20);
    so->m_deviceRows = 40;
    so->m_deviceColumns = 1000;
    wire->Take();
    so->RefreshScreen(0, 0, true);
    EXPECT_EQ(wire->Take().size(), 1u + kScreenRows * kScreenColumns);
    so->m_deviceRows = -3;
    so->RefreshScreen(0, 0, true);
    EXPECT_EQ(wire->Take(), kHome);
}

struct ViewportCase {
    const char* name;
    int rowOffset;
    int columnOffset;
    int windowHeight;  // the viewport is 2 x 4 at screen (1, 2)
    int windowWidth;
    uint8_t active;
    std::vector<std::string> windowAfter;  // rows of the window picture
    std::vector<std::string> screenAfter;  // screen rows 1 and 2, columns 2 .. 5
};

class UpdateScreenTest : public DisplayTest {};

TEST_F(UpdateScreenTest, CopiesTheViewportAndErasesScrolledOutCells) {
    const ViewportCase cases[] = {
        {"same size, no offset", 0, 0, 2, 4, 1, {"abcd", "efgh"}, {"abcd", "efgh"}},
        {"scrolled up one row", 1, 0, 2, 4, 1, {"    ", "efgh"}, {"efgh", "    "}},
        {"scrolled down one row", -1, 0, 2, 4, 1, {"abcd", "    "}, {"    ", "abcd"}},
        {"wide window shifted left", 0, 2, 2, 6, 1, {"abcdef", "ghijkl"}, {"cdef", "ijkl"}},
        {"same width scrolled right", 0, -1, 2, 4, 1, {"abcd", "efgh"}, {" abc", " efg"}},
        {"tall window shifted right", 1, -1, 3, 4, 1, {"abc ", "efg ", "ijk "}, {" efg", " ijk"}},
        {"inactive window only erases", 1, 0, 2, 4, 0, {"    ", "efgh"}, {"....", "...."}},
    };
    const std::string letters = "abcdefghijklmnop";
    for (const ViewportCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(u"KT310", 4, 8);
        for (int r = 0; r < 4; ++r) {
            PutScreen(*so, r, 0, u"........");
        }
        MakeWindow(1, 1, 2, c.windowHeight, c.windowWidth);
        WindowRecord& w = Window(1);
        w.viewportHeight = 2;
        w.viewportWidth = 4;
        w.rowOffset = c.rowOffset;
        w.columnOffset = c.columnOffset;
        w.active = c.active;
        for (int r = 0; r < c.windowHeight; ++r) {
            for (int col = 0; col < c.windowWidth; ++col) {
                w.At(r, col).code[0] = letters[r * c.windowWidth + col];
            }
        }
        so->UpdateScreenFromWindow(1);
        for (size_t r = 0; r < c.windowAfter.size(); ++r) {
            EXPECT_EQ(WindowRow(static_cast<int>(r), 1), c.windowAfter[r]) << "window row " << r;
        }
        EXPECT_EQ(ScreenRow(0, 8), "........");
        EXPECT_EQ(ScreenRow(1, 8).substr(2, 4), c.screenAfter[0]);
        EXPECT_EQ(ScreenRow(2, 8).substr(2, 4), c.screenAfter[1]);
        EXPECT_EQ(ScreenRow(1, 8).substr(6), "..");
        EXPECT_FALSE(so->m_screenCopyBusy.IsSet());
    }
}

TEST_F(UpdateScreenTest, BadGeometryStaysInsideTheBuffers) {
    const struct {
        int viewportRow, viewportColumn, viewportHeight, viewportWidth, height, width, rowOffset,
            columnOffset;
    } cases[] = {
        {6, 120, 5, 20, 5, 20, 0, 0},    // viewport reaching beyond the screen
        {-3, -5, 8, 8, 8, 8, 0, 0},      // viewport starting before it
        {0, 0, 30, 200, 30, 200, 0, 0},  // window beyond the storage
        {0, 0, 4, 4, 4, 4, 100, -100},   // offsets far outside
        {0, 0, 2, 2, 12, 64, -1000, 1000},
    };
    for (const auto& c : cases) {
        Open(u"KT310", 8, 128);
        WindowRecord& w = Window(0);
        w.viewportRow = c.viewportRow;
        w.viewportColumn = c.viewportColumn;
        w.viewportHeight = c.viewportHeight;
        w.viewportWidth = c.viewportWidth;
        w.height = c.height;
        w.width = c.width;
        w.rowOffset = c.rowOffset;
        w.columnOffset = c.columnOffset;
        EXPECT_EQ(so->UpdateScreenFromWindow(0), 0);
    }
    EXPECT_EQ(so->UpdateScreenFromWindow(-1), 0);
    EXPECT_EQ(so->UpdateScreenFromWindow(kWindowCount), 0);
}

}  // namespace
}  // namespace miraxld::testing
