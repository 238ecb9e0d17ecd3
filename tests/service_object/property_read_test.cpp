// GetPropertyNumber and GetPropertyString: the indices that read nothing, the Columns narrowing,
// the reads that follow later changes and the indices that cannot be written.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {
namespace {

class PropertyReadTest : public ::testing::Test {
  protected:
    PropertyReadTest() {
        constexpr char16_t kKey[] = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\Front";
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
        const std::string version = std::to_string(firmware);
        EXPECT_EQ(so.m_deviceDescription,
                  u"KT910[ver." + std::u16string(version.begin(), version.end()) + u"]-1d9c_0a03");
    }
    EXPECT_EQ(so.m_resultCode, 111);
    EXPECT_EQ(so.m_resultCodeExtended, 10004);
}

TEST_F(PropertyReadTest, ReadsFollowTheCurrentWindowAndColumnsNeverReadsMoreThanTwenty) {
    const struct { int32_t width, reads; } rows[] = {{40, 20}, {21, 20}, {20, 20}, {7, 7}, {0, 0}};
    ASSERT_EQ(so.SetPropertyNumber(5003, 3), 0);
    for (const auto& row : rows) {
        so.m_windows[3].width = row.width;
        EXPECT_EQ(Number(5002), row.reads) << "width " << row.width;
        EXPECT_EQ(so.m_windows[3].width, row.reads) << "the read narrows the window";
    }
    EXPECT_EQ(so.m_windows[0].width, 20) << "only the current window narrows";
    so.m_windows[3].marqueeUnitWait = 555;
    EXPECT_EQ(Number(5015), 555);
    so.m_firmwareVersion = 236000;
    EXPECT_EQ(Number(5009), 236000);
    EXPECT_EQ(so.m_deviceDescriptors, 236000) << "the read copies the version";
    so.m_currentWindow = 77;  // out of range: reads stay inside the window table
    EXPECT_EQ(Number(5016), 2);
}

TEST_F(PropertyReadTest, WritesToIndicesThatCannotBeWrittenAreRefused) {
    for (int32_t index : {1,    2,    6,    7,    8,    9,    14,   501, 5002, 5008,   5009,
                          5010, 5011, 5016, 5020, 5023, 5501, 5512, 0,   -1,   1000001}) {
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
