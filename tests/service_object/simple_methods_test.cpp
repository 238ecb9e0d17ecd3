// The methods that only report success: what they do to ResultCode and ResultCodeExtended.
#include <gtest/gtest.h>

#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {
namespace {

class SimpleMethodsTest : public ::testing::Test {
  protected:
    testing::TestPlatform platform;
    CPOSLDisplay so{platform};
};

TEST_F(SimpleMethodsTest, EachMethodSetsResultCodesAsDocumented) {
    struct Row {
        const char* name;
        std::function<HResult(CPOSLDisplay&, int32_t*)> call;
        bool clearsExtended;
    };
    const std::vector<Row> rows = {
        {"CheckHealth", [](CPOSLDisplay& s, int32_t* rc) { return s.CheckHealth(1, rc); }, false},
        {"COFreezeEvents", [](CPOSLDisplay& s, int32_t* rc) { return s.COFreezeEvents(true, rc); },
         false},
        {"ClearDescriptors", [](CPOSLDisplay& s, int32_t* rc) { return s.ClearDescriptors(rc); },
         false},
        {"DefineGlyph", [](CPOSLDisplay& s, int32_t* rc) { return s.DefineGlyph(1, u"x", rc); },
         false},
        {"DirectIO",
         [](CPOSLDisplay& s, int32_t* rc) {
             int32_t data = 7;
             std::u16string text = u"keep";
             HResult hr = s.DirectIO(1, &data, &text, rc);
             EXPECT_EQ(data, 7);
             EXPECT_EQ(text, u"keep");
             return hr;
         },
         false},
        {"SetDescriptor", [](CPOSLDisplay& s, int32_t* rc) { return s.SetDescriptor(1, 1, rc); },
         true},
        {"ResetStatistics", [](CPOSLDisplay& s, int32_t* rc) { return s.ResetStatistics(u"", rc); },
         true},
        {"SetBitmap",
         [](CPOSLDisplay& s, int32_t* rc) { return s.SetBitmap(1, u"a.bmp", 1, 1, 1, rc); }, true},
        {"ReadCharacterAtCursor",
         [](CPOSLDisplay& s, int32_t* rc) {
             s.m_windows[1].At(2, 3).code[0] = u'Q';
             s.m_currentWindow = 1, s.m_cursorRow = 2, s.m_cursorColumn = 3;
             int32_t character = 0;
             const HResult hr = s.ReadCharacterAtCursor(&character, rc);
             EXPECT_EQ(character, u'Q');
             return hr;
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        so.m_resultCode = 111;
        so.m_resultCodeExtended = 10004;
        int32_t rc = -1;
        EXPECT_EQ(row.call(so, &rc), 0);
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(so.m_resultCode, 0);
        EXPECT_EQ(so.m_resultCodeExtended, row.clearsExtended ? 0 : 10004);
    }
}

TEST_F(SimpleMethodsTest, StatisticsAndFirmwareComparisonLeaveTheirOutputsAlone) {
    so.m_resultCode = 106;
    int32_t rc = -5;
    EXPECT_EQ(so.UpdateStatistics(u"x", &rc), 0);
    EXPECT_EQ(rc, -5);
    EXPECT_EQ(so.m_resultCode, 106);  // not even ResultCode changes

    std::u16string buffer = u"untouched";
    EXPECT_EQ(so.RetrieveStatistics(&buffer), 0);
    EXPECT_EQ(buffer, u"untouched");

    int32_t result = -9;
    EXPECT_EQ(so.CompareFirmwareVersion(u"fw.bin", &result), 0);
    EXPECT_EQ(result, -9);
    EXPECT_EQ(so.m_resultCode, 0);
}

// Failing calls in between add nothing to the trace.
TEST_F(SimpleMethodsTest, ConstructionAndDestructionTraceExactlyTwoLines) {
    testing::TestPlatform own;
    {
        CPOSLDisplay object(own);
        int32_t rc = 0;
        EXPECT_EQ(object.OpenService(u"LineDisplay", u"NoSuchDevice", nullptr, &rc), 106);
        EXPECT_EQ(object.ClaimDevice(0, &rc), 111);
    }
    EXPECT_EQ(own.debugOutput.Lines(),
              (std::vector<std::u16string>{u"CPOSLDisplay::CPOSLDisplay(): c-tor",
                                           u"CPOSLDisplay::CPOSLDisplay(): d-tor"}));
}

}  // namespace
}  // namespace miraxld
