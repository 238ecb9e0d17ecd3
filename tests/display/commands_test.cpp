#include "display/commands.h"

#include <set>

#include "display_fixture.h"

namespace miraxld::testing {
namespace {

Bytes Of(CommandBytes bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

TEST(CommandsTest, AssembledCommandsHaveTheirWireForm) {
    const struct {
        const char* name;
        Command command;
        Bytes bytes;
    } cases[] = {
        {"cursor home position is 1-based", SetCursor(0, 0), {0x1F, 0x24, 0x01, 0x01}},
        {"cursor column before row", SetCursor(19, 1), {0x1F, 0x24, 0x14, 0x02}},
        {"blink 120 ms", Blink(120), {0x1F, 0x45, 0x02}},
        {"blink 49 ms", Blink(49), {0x1F, 0x45, 0x00}},
        {"brightness", Brightness(0x04), {0x1F, 0x58, 0x04}},
        {"code table", SelectCodeTable(0xF4), {0x1B, 0x74, 0xF4}},
        {"charset", SelectCharset(0x16), {0x1B, 0x52, 0x16}},
        {"kanji code", KanjiCode(1), {0x1C, 0x43, 0x01}},
        {"marquee start line 1", MarqueeStart(1), {0x1B, 0x77, 0x02, 0x01}},
        {"marquee stop line 2", MarqueeStop(2), {0x1B, 0x77, 0x00, 0x02}},
        {"legacy start line 2", MarqueeLegacyStart(2), {0x1B, 0x0B}},
        {"legacy stop line 1", MarqueeLegacyStop(1), {0x1B, 0x61, 0x02}},
        {"legacy stop line 2", MarqueeLegacyStop(2), {0x1B, 0x61, 0x04}},
        {"legacy line 3 does not exist", MarqueeLegacyStop(3), {}},
        {"left scroll line 3", MarqueeLineLeft(3), {0x1B, 0x75, 0x4B}},
        {"left scroll line 0 does not exist", MarqueeLineLeft(0), {}},
        {"screen mode", SelectScreenMode('1'), {0x1D, 0x49, 0x10, 0x01, '1'}},
        {"query parameter", QueryParameter(0x1F), {0x1D, 0x49, 0x15, 0x1F}},
        {"Unicode run left to right", UnicodeRunStart(true), {0x1B, 0x74, 0xFF, 0x0E, 0x20}},
        {"Unicode run right to left",
         UnicodeRunStart(false),
         {0x1B, 0x74, 0xFF, 0x0F, 0x20, 0x0B, 0x00}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Of(c.command), c.bytes) << c.name;
    }
}

TEST(CommandsTest, FramesBuiltInOneBuffer) {
    CommandBuffer isp;
    const uint8_t data[] = {0xAB, 0xCD};
    isp.IspWrite(0x7FF00, data);
    EXPECT_EQ(Of(isp.Bytes()), (Bytes{0x01, 0x55, 0xAA, 0x07, 0xFF, 0x00, 0xAB, 0xCD}));

    CommandBuffer bitmap;
    bitmap.BitmapGraphicHeader(0xE8, 0x01, 0x01, 120, 32);
    EXPECT_EQ(Of(bitmap.Bytes()), (Bytes{0x1F, 0x28, 0x46, 0xE8, 0x01, 0x04, 0x30, 0x01, 0x01, 0x78,
                                         0x00, 0x20, 0x00}));
}

TEST(CommandsTest, CatalogueNamesAreUniqueAndFound) {
    std::set<std::string_view> names;
    for (const CommandRecord& record : CommandCatalogue()) {
        EXPECT_TRUE(names.insert(record.name).second) << record.name;
        EXPECT_FALSE(record.bytes.empty()) << record.name;
        EXPECT_EQ(FindCommand(record.name), &record);
    }
    EXPECT_EQ(Of(FindCommand("CMD_QUERY_VERSION_EX")->bytes),
              (Bytes{0x1F, 0x28, 0x42, 0x02, 0x00, 0x30, 0x41}));
    EXPECT_EQ(FindCommand("CMD_NOTHING"), nullptr);
}

class CommandSendTest : public DisplayTest {};

TEST_F(CommandSendTest, EachSendIsOneWriteOfTheWholeCommand) {
    wire->Take();
    EXPECT_EQ(Send(so->m_port, SetCursor(2, 1)), 4);
    EXPECT_EQ(Send(so->m_port, MarqueeLegacyStop(7)), 0) << "an empty command sends nothing";
    EXPECT_EQ(wire->Take(), (Bytes{0x1F, 0x24, 0x03, 0x02}));
    so->m_port.Close();
    EXPECT_EQ(Send(so->m_port, CMD_CLEAR), 0);
    EXPECT_TRUE(wire->Take().empty());
}

}  // namespace
}  // namespace miraxld::testing
