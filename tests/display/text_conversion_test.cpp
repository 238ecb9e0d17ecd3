#include "display/text_conversion.h"
#include "display/arabic_shaping.h"
#include "display_fixture.h"

namespace miraxld::testing {
namespace {

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
        {"tab becomes a space", 1252, 1252, u"\tA", {{{' ', 0, 0}, 0}, {{'A', 0, 0}, 0}}},
        {"Unicode keeps units and marks", 997, 1255, u"א\u05B4\u05B0b",
         {{{0x05D0, 0x05B4, 0x05B0}, 0}, {{'b', 0, 0}, 0}}},
        {"Unicode yen under 932", 997, 932, u"\\", {{{0xFFE5, 0, 0}, 0}}},
        {"Unicode won under 949", 997, 949, u"\\", {{{0xFFE6, 0, 0}, 0}}},
        {"Unicode dong under 1258", 997, 1258, u"#", {{{0x20AB, 0, 0}, 0}}},
        {"Thai takes at most two marks", 874, 874, u"ก\u0E31\u0E48\u0E31",
         {{{0xA1, 0xD1, 0xE8}, 0}, {{0xD1, 0, 0}, 0}}},
        {"Hebrew takes one mark", 1255, 1255, u"א\u05B4\u05B4",
         {{{0xE0, 0xC4, 0}, 0}, {{0xC4, 0, 0}, 0}}},
        {"Vietnamese class 3", 1258, 1258, u"Ã", {{{0xEE, 0xC3, 0}, 0}}},
        {"Vietnamese class 2", 1258, 1258, u"\u1EA1", {{{0x1E, 0xA1, 0}, 0}}},
        {"Vietnamese class 1", 1258, 1258, u"\u0103", {{{0xE3, 0, 0}, 0}}},
        {"unrepresentable character", 1252, 1252, u"\u4E00", {{{'?', 0, 0}, 0}}},
        {"unknown code page", 12345, 12345, u"Z", {{{'?', 0, 0}, 0}}},
        {"Shift-JIS in one cell", 932, 932, u"あ", {{{0x82, 0xA0, 0}, 0}}},
        {"listed symbol under 9320", 932, 9320, u"《", {{{0xEC, 0, 0}, 0}}},
        {"Hebrew presentation form", 1255, 1255, u"\uFB2A", {{{0xFB, 0x2A, 0}, 0}}},
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
        {"after a space", 0x0020, 0x0628, 0x0020, 0xFE8F},
        {"isolated beh joins", 0xFE8F, 0x0628, 0xFE91, 0xFE90},
        {"final beh becomes medial", 0xFE90, 0x062A, 0xFE92, 0xFE96},
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
    uint16_t first = 0x0628;
    ShapeArabic(nullptr, first);
    EXPECT_EQ(first, 0xFE8F) << "the window's first cell";
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

}  // namespace
}  // namespace miraxld::testing
