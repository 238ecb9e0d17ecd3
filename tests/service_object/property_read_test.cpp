// GetPropertyNumber and GetPropertyString: which field each index reads, the indices that read
// nothing, the Columns narrowing and the indices that cannot be written.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {
namespace {

constexpr char16_t kKey[] = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\Front";
constexpr int32_t kAny = INT32_MIN;    // no fixed opening value
constexpr int32_t kPoked = INT32_MAX;  // reads the value the row placed

class PropertyReadTest : public ::testing::Test {
  protected:
    PropertyReadTest() {
        platform.registry.SetString(kKey, u"", u"QV.POSLDisplay.1");
        platform.registry.SetString(kKey, u"Vid_Pid", u"1d9c_0a03");
        EXPECT_EQ(so.OpenService(u"LineDisplay", u"Front", nullptr, nullptr), 0);
    }
    int32_t Number(int32_t index) {
        int32_t value = -777;
        EXPECT_EQ(so.GetPropertyNumber(index, &value), 0);
        return value;
    }
    std::optional<std::u16string> Text(int32_t index) {
        std::optional<std::u16string> value = u"untouched";
        EXPECT_EQ(so.GetPropertyString(index, &value), 0);
        return value;
    }
    testing::TestPlatform platform;
    CPOSLDisplay so{platform};
};

std::u16string Ascii16(const std::string& text) {
    return {text.begin(), text.end()};
}

using Poke = void (*)(CPOSLDisplay&, int32_t);
WindowRecord& Cur(CPOSLDisplay& s) {
    return s.m_windows[s.m_currentWindow];
}

// Every index after OpenService, then with every field it could read holding a value of its
// own at once, so that a read of the wrong field or of window 0 instead of the current window
// shows. Byte fields get values above 127: reads are zero-extended.
TEST_F(PropertyReadTest, EveryNumberIndexReadsItsOwnField) {
    const struct {
        int32_t index, opening;
        Poke poke;
        int32_t reads = kPoked;
    } rows[] = {
        {1, 0, [](CPOSLDisplay& s, int32_t v) { s.m_claimed = static_cast<uint8_t>(v); }},
        {3, 0, [](CPOSLDisplay& s, int32_t v) { s.m_deviceEnabled = static_cast<uint8_t>(v); }},
        {4, 0, [](CPOSLDisplay& s, int32_t v) { s.m_freezeEvents = static_cast<uint8_t>(v); }},
        {6, 0, [](CPOSLDisplay& s, int32_t v) { s.m_resultCode = v; }},
        {7, 0, [](CPOSLDisplay& s, int32_t v) { s.m_resultCodeExtended = v; }},
        {8, 1013059, [](CPOSLDisplay& s, int32_t v) { s.m_serviceObjectVersion = v; }},
        {9, 2, [](CPOSLDisplay& s, int32_t v) { s.m_state = v; }},
        {11, 0, [](CPOSLDisplay& s, int32_t v) { s.m_binaryConversion = v; }},
        {13, 0, [](CPOSLDisplay& s, int32_t v) { s.m_powerNotify = v; }},
        {14, 2000, [](CPOSLDisplay& s, int32_t v) { s.m_powerState = v; }},
        {501, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capPowerReporting = v; }},
        {5001, 1252, [](CPOSLDisplay& s, int32_t v) { s.m_characterSet = v; }},
        {5002, 20, [](CPOSLDisplay& s, int32_t v) { Cur(s).width = v; }, 20},
        {5003, 0, [](CPOSLDisplay& s, int32_t) { s.m_currentWindow = 2; }, 2},
        {5004, 0, [](CPOSLDisplay& s, int32_t v) { Cur(s).cursorColumn = v; }},
        {5005, 0, [](CPOSLDisplay& s, int32_t v) { Cur(s).cursorRow = v; }},
        {5006, 1, [](CPOSLDisplay& s, int32_t v) { s.m_cursorUpdate = v; }},
        {5007, kAny, [](CPOSLDisplay& s, int32_t v) { s.m_deviceBrightness = v; }},
        {5008, 20, [](CPOSLDisplay& s, int32_t v) { s.m_deviceColumns = v; }},
        {5009, 0, [](CPOSLDisplay& s, int32_t v) { s.m_firmwareVersion = v; }},
        {5010, 2, [](CPOSLDisplay& s, int32_t v) { s.m_deviceRows = v; }},
        {5011, 4, [](CPOSLDisplay& s, int32_t v) { s.m_deviceWindows = v; }},
        {5012, 0, [](CPOSLDisplay& s, int32_t v) { Cur(s).marqueeFormat = v; }},
        {5013, 300, [](CPOSLDisplay& s, int32_t v) { Cur(s).marqueeRepeatWait = v; }},
        {5014, 0, [](CPOSLDisplay& s, int32_t v) { Cur(s).marqueeType = v; }},
        {5015, 300, [](CPOSLDisplay& s, int32_t v) { Cur(s).marqueeUnitWait = v; }},
        {5016, 2, [](CPOSLDisplay& s, int32_t v) { Cur(s).height = v; }},
        {5017, 0, [](CPOSLDisplay& s, int32_t v) { Cur(s).windowProperty = v; }},
        {5018, 300, [](CPOSLDisplay& s, int32_t v) { s.m_blinkRate = v; }},
        {5019, 0, [](CPOSLDisplay& s, int32_t v) { s.m_cursorType = v; }},
        {5020, 7, [](CPOSLDisplay& s, int32_t v) { s.m_glyphHeight = v; }},
        {5021, 5, [](CPOSLDisplay& s, int32_t v) { s.m_glyphWidth = v; }},
        {5023, 320, [](CPOSLDisplay& s, int32_t v) { s.m_maximumX = v; }},
        {5024, 32, [](CPOSLDisplay& s, int32_t v) { s.m_maximumY = v; }},
        {5501, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capBlink = v; }},
        {5502, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capBrightness = static_cast<uint8_t>(v); }},
        {5503, 998, [](CPOSLDisplay& s, int32_t v) { s.m_capCharacterSet = v; }},
        {5504, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capDescriptors = static_cast<uint8_t>(v); }},
        {5505, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capHMarquee = static_cast<uint8_t>(v); }},
        {5506, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capICharWait = static_cast<uint8_t>(v); }},
        {5507, 0, [](CPOSLDisplay& s, int32_t v) { s.m_capVMarquee = static_cast<uint8_t>(v); }},
        {5508, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capBlinkRate = static_cast<uint8_t>(v); }},
        {5509, 0, [](CPOSLDisplay& s, int32_t v) { s.m_capCursorType = v; }},
        {5510, 0, [](CPOSLDisplay& s, int32_t v) { s.m_capCustomGlyph = v; }},
        {5511, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capReadBack = v; }},
        {5512, 1, [](CPOSLDisplay& s, int32_t v) { s.m_capReverse = v; }},
    };
    for (const auto& row : rows) {
        if (row.opening != kAny) {
            EXPECT_EQ(Number(row.index), row.opening) << "opening value of " << row.index;
        }
    }
    ASSERT_EQ(so.SetPropertyNumber(5003, 2), 0);
    int32_t value = 150;
    for (const auto& row : rows) {
        row.poke(so, value++);
    }
    value = 150;
    for (const auto& row : rows) {
        const int32_t placed = value++;
        EXPECT_EQ(Number(row.index), row.reads == kPoked ? placed : row.reads)
            << "index " << row.index;
    }
    EXPECT_EQ(so.m_deviceDescriptors, so.m_firmwareVersion) << "the read copies the version";
    EXPECT_EQ(so.m_windows[0].width, 20) << "only the current window narrows";
}

TEST_F(PropertyReadTest, EveryStringIndexReadsItsOwnText) {
    so.m_checkHealthText = u"health";
    so.m_deviceName = u"name";
    so.m_characterSetList = u"437,1252,";
    so.m_customGlyphList = u"glyphs";
    so.m_screenModeList = u"2x20,4x32";
    so.m_firmwareVersion = 300001;
    const struct {
        int32_t index;
        std::u16string text;
    } rows[] = {
        {1000001, u"health"},
        {1000002, u"KT910[ver.300001]-1d9c_0a03"},
        {1000003, u"name"},
        {1000004, u"LineDisplay OPOS SO version 5.0.5.10 [by MIRAX 2015.02.25]"},
        {1005001, u"437,1252,"},
        {1005002, u"glyphs"},
        {1005003, u"2x20,4x32"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Text(row.index), row.text) << "index " << row.index;
        EXPECT_EQ(Text(row.index), row.text) << "a second read of " << row.index;
    }
}

TEST_F(PropertyReadTest, UnknownIndicesLeaveTheOutputAndResultCodeAlone) {
    so.m_resultCode = 111;
    so.m_resultCodeExtended = 10004;
    for (int32_t index : {0, -1, 2, 5, 10, 12, 15, 500, 5022, 5025, 5026, 5513, 1000001}) {
        EXPECT_EQ(Number(index), -777) << "number index " << index;
    }
    // Any string read rebuilds the description, even one that returns nothing.
    int32_t firmware = 236000;
    for (int32_t index : {0, 1, 5002, 1000000, 1000005, 1005000, 1005004}) {
        so.m_firmwareVersion = ++firmware;
        EXPECT_EQ(Text(index), u"untouched") << "string index " << index;
        EXPECT_EQ(so.m_deviceDescription,
                  u"KT910[ver." + Ascii16(std::to_string(firmware)) + u"]-1d9c_0a03");
    }
    EXPECT_EQ(so.m_resultCode, 111);
    EXPECT_EQ(so.m_resultCodeExtended, 10004);
}

TEST_F(PropertyReadTest, ColumnsNeverReadsMoreThanTwentyAndNarrowsTheWindow) {
    const struct {
        int32_t width, reads;
    } rows[] = {{40, 20}, {64, 20}, {21, 20}, {20, 20}, {7, 7}, {0, 0}};
    ASSERT_EQ(so.SetPropertyNumber(5003, 3), 0);
    for (const auto& row : rows) {
        so.m_windows[3].width = row.width;
        EXPECT_EQ(Number(5002), row.reads) << "width " << row.width;
        EXPECT_EQ(so.m_windows[3].width, row.reads) << "width " << row.width;
        EXPECT_EQ(Number(5002), row.reads) << "read again";
    }
}

TEST_F(PropertyReadTest, WritesToIndicesThatCannotBeWrittenAreRefused) {
    const int32_t indices[] = {1,    2,    5,    6,    7,    8,    9,    10,   12,
                               14,   501,  5002, 5008, 5009, 5010, 5011, 5016, 5020,
                               5021, 5023, 5024, 5501, 5502, 5503, 5504, 5505, 5506,
                               5507, 5508, 5509, 5510, 5511, 5512, 0,    -1,   1000001};
    for (int32_t index : indices) {
        so.m_resultCodeExtended = 55;
        const int32_t before = Number(index);
        EXPECT_EQ(so.SetPropertyNumber(index, 7), 106) << "index " << index;
        EXPECT_EQ(Number(6), 106) << "ResultCode after index " << index;
        EXPECT_EQ(Number(7), 55) << "ResultCodeExtended after index " << index;
        EXPECT_EQ(Number(index), index == 6 ? 106 : before) << "index " << index;
    }
}

}  // namespace
}  // namespace miraxld
