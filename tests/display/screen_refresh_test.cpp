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

const Bytes kHome{0x0B}, kOn{0x1F, 0x72, 0x01}, kOff{0x1F, 0x72, 0x00};

using RefreshScreenTest = DisplayTest;

TEST_F(RefreshScreenTest, SendsHomeAttributesAndEveryCellSlot) {
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

TEST_F(RefreshScreenTest, GeometryBeyondTheBuffersIsClipped) {
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
