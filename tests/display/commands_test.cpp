#include "display/commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace miraxld {
namespace {

using Bytes = std::vector<uint8_t>;

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
        {"marquee stop line 2", MarqueeStop(2), {0x1B, 0x77, 0x00, 0x02}},
        {"legacy stop line 2", MarqueeLegacyStop(2), {0x1B, 0x61, 0x04}},
        {"legacy line 3 does not exist", MarqueeLegacyStop(3), {}},
        {"left scroll line 3", MarqueeLineLeft(3), {0x1B, 0x75, 0x4B}},
        {"left scroll line 0 does not exist", MarqueeLineLeft(0), {}},
        {"screen mode", SelectScreenMode('1'), {0x1D, 0x49, 0x10, 0x01, '1'}},
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

}  // namespace
}  // namespace miraxld
