#include <functional>

#include "service_object/claim_fixture.h"

namespace miraxld::testing {
namespace {

class OpenServiceTest : public ::testing::Test {
  protected:
    ClaimRig rig;
    CPOSLDisplay so{rig.platform};
};

TEST_F(OpenServiceTest, RefusesKeysThatDoNotNameThisServiceObject) {
    rig.Key(u"KT910", u"", u"MIRAXLD.POSLDisplay");  // the version-independent ProgID is not enough
    for (std::u16string_view device : {u"KT910", u"Missing"}) {
        int32_t rc = -1;
        EXPECT_EQ(so.OpenService(u"LineDisplay", device, nullptr, &rc), 106);
        EXPECT_EQ(std::tuple(rc, so.m_resultCodeExtended, so.m_brand),
                  std::tuple(106, 10001, 0xFFFF));
    }
}

TEST_F(OpenServiceTest, OpensWithTheModelGeometryAndEveryOpeningValue) {
    rig.Key(u"Front", u"", u"QV.POSLDisplay.1");
    rig.Key(u"Front", u"Vid_Pid", u"1d9c_0a03");
    rig.Key(u"Front", u"DeviceRows", u"4");
    so.m_characterSetList = u"437,850,";  // as an earlier claim left it
    int32_t rc = -1;
    EXPECT_EQ(so.OpenService(u"", u"Front", nullptr, &rc), 0);  // DeviceClass is not examined
    EXPECT_EQ(std::tuple(rc, so.m_deviceModel, so.m_brand), std::tuple(0, u"KT910", 1));

    // clang-format off
    const std::pair<int32_t, int32_t> numbers[] = {
        {1, 0}, {3, 0}, {4, 0}, {6, 0}, {7, 0}, {8, 1013059}, {9, 2}, {11, 0}, {13, 0},
        {14, 2000}, {501, 1}, {5001, 1252}, {5002, 20}, {5003, 0}, {5004, 0}, {5005, 0},
        {5006, 1}, {5008, 20}, {5009, 0}, {5010, 2}, {5011, 4}, {5012, 0}, {5013, 300}, {5014, 0},
        {5015, 300}, {5016, 2}, {5017, 0}, {5018, 300}, {5019, 0}, {5020, 7}, {5021, 5},
        {5023, 320}, {5024, 32}, {5501, 1}, {5502, 1}, {5503, 998}, {5504, 1}, {5505, 1},
        {5506, 1}, {5507, 0}, {5508, 1}, {5509, 0}, {5510, 0}, {5511, 1}, {5512, 1},
        {2, -12345}, {5022, -12345}, {5025, -12345}, {999, -12345},  // not readable
    };
    const std::pair<int32_t, std::optional<std::u16string>> texts[] = {
        {1000003, u"Front"}, {1005003, u"2x20"}, {1005001, u""}, {1005002, u""}, {1000001, u""},
        {1000004, u"LineDisplay OPOS SO version 5.0.5.10 [by MIRAX 2015.02.25]"},
        {1000002, u"KT910[ver.0]-1d9c_0a03"}, {12, std::nullopt}};
    // clang-format on
    for (auto [index, expected] : numbers) {
        EXPECT_EQ(Read(so, index), expected) << "index " << index;
    }
    for (const auto& [index, expected] : texts) {
        std::optional<std::u16string> text;
        so.GetPropertyString(index, &text);
        EXPECT_EQ(text, expected) << "index " << index;
    }
}

TEST_F(OpenServiceTest, ReadsFollowTheCurrentWindowAndColumnsNeverReadsMoreThanTwenty) {
    // A model the catalogue does not know keeps the registry's geometry.
    rig.Key(u"Front", u"", kOwnProgId);
    rig.Key(u"Front", u"DeviceModel", u"Mystery");
    rig.Key(u"Front", u"DeviceRows", u"2");
    rig.Key(u"Front", u"DeviceColumns", u"20");
    ASSERT_EQ(so.OpenService(u"LineDisplay", u"Front", nullptr, nullptr), 0);
    const struct { int32_t width, reads; } rows[] = {{40, 20}, {21, 20}, {20, 20}, {7, 7}, {0, 0}};
    ASSERT_EQ(so.SetPropertyNumber(5003, 3), 0);
    for (const auto& row : rows) {
        so.m_windows[3].width = row.width;
        EXPECT_EQ(std::pair(Read(so, 5002), so.m_windows[3].width),
                  std::pair(row.reads, row.reads));
    }
    EXPECT_EQ(so.m_windows[0].width, 20) << "only the current window narrows";
    so.m_firmwareVersion = 236000;
    EXPECT_EQ(std::pair(Read(so, 5009), so.m_deviceDescriptors), std::pair(236000, 236000));
    EXPECT_EQ(so.SetPropertyNumber(5003, 5), 0);  // only five window records
    EXPECT_EQ(std::pair(Read(so, 6), Read(so, 5003)), std::pair(106, 3));
    EXPECT_EQ(so.SetPropertyNumber(2, 7), 106);  // no such property to write
    so.m_currentWindow = 77;                     // out of range: reads stay inside the window table
    EXPECT_EQ(Read(so, 5016), 2);
}

TEST_F(OpenServiceTest, MethodsThatOnlyReportSuccessSetTheResultCodes) {
    int32_t data = 7, character = 0;
    std::u16string text = u"keep";
    so.m_windows[1].At(2, 3).code[0] = u'Q';
    so.m_currentWindow = 1, so.m_cursorRow = 2, so.m_cursorColumn = 3;
    const struct {
        const char* name;
        std::function<HResult(CPOSLDisplay&, int32_t*)> call;
        bool clearsExtended;
    } rows[] = {
        {"CheckHealth", [](auto& s, auto rc) { return s.CheckHealth(1, rc); }, false},
        {"COFreezeEvents", [](auto& s, auto rc) { return s.COFreezeEvents(true, rc); }, false},
        {"ClearDescriptors", [](auto& s, auto rc) { return s.ClearDescriptors(rc); }, false},
        {"DefineGlyph", [](auto& s, auto rc) { return s.DefineGlyph(1, u"x", rc); }, false},
        {"DirectIO", [&](auto& s, auto rc) { return s.DirectIO(1, &data, &text, rc); }, false},
        {"SetDescriptor", [](auto& s, auto rc) { return s.SetDescriptor(1, 1, rc); }, true},
        {"ResetStatistics", [](auto& s, auto rc) { return s.ResetStatistics(u"", rc); }, true},
        {"SetBitmap", [](auto& s, auto rc) { return s.SetBitmap(1, u"a.bmp", 1, 1, 1, rc); }, true},
        {"ReadCharacterAtCursor",
         [&](auto& s, auto rc) { return s.ReadCharacterAtCursor(&character, rc); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        so.m_resultCode = 111;
        so.m_resultCodeExtended = 10004;
        int32_t rc = -1;
        const HResult hr = row.call(so, &rc);
        EXPECT_EQ(std::tuple(hr, rc, so.m_resultCode, so.m_resultCodeExtended),
                  std::tuple(0, 0, 0, row.clearsExtended ? 0 : 10004));
    }
    // DirectIO leaves its data alone; the character read is the one under the cursor.
    EXPECT_EQ(std::tuple(data, text, character), std::tuple(7, u"keep", u'Q'));
    // The statistics and the firmware comparison leave their outputs, even ResultCode, alone.
    so.m_resultCode = 106;
    int32_t rc = -5, result = -9;
    std::u16string buffer = u"untouched";
    EXPECT_EQ(so.UpdateStatistics(u"x", &rc), 0);
    EXPECT_EQ(so.RetrieveStatistics(&buffer), 0);
    EXPECT_EQ(std::tuple(rc, so.m_resultCode, buffer), std::tuple(-5, 106, u"untouched"));
    EXPECT_EQ(so.CompareFirmwareVersion(u"fw.bin", &result), 0);
    EXPECT_EQ(std::pair(result, so.m_resultCode), std::pair(-9, 0));
}

}  // namespace
}  // namespace miraxld::testing
