#include "display_fixture.h"

namespace miraxld::testing {
namespace {

const Bytes kCharset0{0x1B, 0x52, 0x00};

using CharacterSetTest = DisplayTest;

TEST_F(CharacterSetTest, SendsTheCommandsOfEachDisplayVariant) {
    const struct {
        const char* name;
        std::u16string model, vidPid;
        int32_t firmware, oldSet, oldTable, mapCharacterSet, number;
        Bytes expected;
        int32_t characterSet, codePage, table;
    } cases[] = {
        {"map unset: the system code page's table", u"KT110", u"", 20000, 1252, 7, 0, 1255,
         Concat({kCharset0, {0x1B, 0x74, 16}}), 1255, 1252, 16},
        {"map set: the written code page's table", u"KT110", u"", 20000, 1252, 7, 1, 1255,
         Concat({kCharset0, {0x1B, 0x74, 49}}), 1255, 1255, 49},
        {"0 takes the first listed code page", u"KT110", u"", 20000, 1252, 7, 1, 0,
         Concat({kCharset0, {0x1B, 0x74, 2}}), 437, 850, 2},
        {"unlisted code page keeps the table", u"KT110", u"", 20000, 1252, 7, 1, 866,
         Concat({kCharset0, {0x1B, 0x74, 7}}), 866, 866, 7},
        {"an empty slot is no match", u"KT110", u"", 20000, 1252, 7, 1, -1,
         Concat({kCharset0, {0x1B, 0x74, 7}}), -1, -1, 7},
        {"Unicode value selects no table", u"KT110", u"", 20000, 1252, 16, 1, 997, kCharset0, 997,
         997, 16},
        {"0a01 below 13000, Japanese single-byte", u"KT110", u"1d9c_0a01", 12000, 1252, 7, 1, 9320,
         Concat({kCharset0, {0x1C, 0x2E}, {0x1B, 0x74, 1}, {0x1B, 0x52, 0x07}}), 9320, 9320, 1},
        {"0a02 from 13000, Japanese single-byte", u"KT110", u"1d9c_0a02", 13000, 1252, 7, 1, 9320,
         Concat({kCharset0, {0x1C, 0x2E}, {0x1B, 0x74, 1}, {0x1B, 0x52, 0x08}}), 9320, 9320, 1},
        {"0a05 from 13000, Vietnamese", u"RMX110", u"1d9c_0a05", 13000, 1252, 7, 1, 1258,
         Concat({kCharset0, {0x1B, 0x74, 52}, {0x1B, 0x52, 0x10}}), 1258, 1258, 52},
        {"0a06 below 12800, Japanese single-byte", u"RMX910", u"1d9c_0a06", 12000, 1252, 7, 1, 9320,
         Concat({kCharset0, {0x1B, 0x74, 1}, {0x1B, 0x52, 0x16}}), 9320, 9320, 1},
        {"RMX910 from 12800: table 22", u"RMX910", u"1d9c_0a06", 13000, 1252, 7, 1, 9320,
         Concat({kCharset0, {0x1B, 0x74, 22}, {0x1B, 0x52, 0x08}}), 9320, 9320, 22},
        {"KT910 below 23600: table 22", u"KT910", u"", 20000, 1252, 7, 1, 9320,
         Concat({kCharset0, {0x1B, 0x74, 22}}), 9320, 9320, 22},
        {"0a03 below 236000, Vietnamese", u"KT910", u"1d9c_0a03", 220000, 1252, 7, 1, 1258,
         Concat({kCharset0, {0x1B, 0x74, 52}, {0x1B, 0x52, 0x24}}), 1258, 1258, 52},
        {"0a04 below 236000, Arabic", u"KT910", u"1d9c_0a04", 220000, 1252, 7, 1, 1256,
         Concat({kCharset0, {0x1B, 0x74, 50}, {0x1B, 0x52, 0x25}}), 1256, 1256, 50},
        {"0a03 Japanese: double-byte code system", u"KT910", u"1d9c_0a03", 220000, 1252, 7, 1, 932,
         Concat({kCharset0, {0x1C, 0x43, 0x01}, {0x1B, 0x52, 0x16}}), 932, 932, 255},
        {"leaving Japanese on an old 0a03", u"KT910", u"1d9c_0a03", 220000, 932, 255, 1, 437,
         Concat({{0x1C, 0x43, 0x00}, {0x1B, 0x40}, kCharset0, {0x1B, 0x74, 2}}), 437, 850, 2},
        {"Japanese without a USB key", u"KT110", u"", 20000, 1252, 7, 1, 932,
         Concat({kCharset0, {0x1B, 0x74, 0xFF}, {0x1B, 0x52, 0x16}}), 932, 932, 255},
        {"KT310 Japanese: the listed table", u"KT310", u"", 150, 1252, 7, 1, 932,
         Concat({kCharset0, {0x1B, 0x74, 244}, {0x1B, 0x52, 0x16}}), 932, 932, 244},
        {"Unicode firmware sends nothing", u"KT910", u"1d9c_0a03", 236000, 1252, 7, 0, 1256,
         Bytes(), 1256, 997, 7},
        {"Unicode firmware leaving Japanese", u"KT910", u"1d9c_0a03", 236000, 932, 7, 0, 1252,
         Bytes{0x1C, 0x43, 0x00}, 1252, 997, 7},
        {"the same value does nothing", u"KT110", u"", 20000, 1252, 7, 1, 1252, Bytes(), 1252, 1252,
         7},
        {"RMX910 Unicode firmware", u"RMX910", u"1d9c_0a06", 150001, 1252, 7, 0, 864, Bytes(), 864,
         997, 7},
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
        EXPECT_EQ(Take(), c.expected);
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
