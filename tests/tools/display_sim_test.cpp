// The display simulator: its pictures through the PNG encoder and back, against reference PNGs
// under tests/data, pixel for pixel (after a deliberate change of the drawing, rewrite them with
// MIRAXLD_UPDATE_PNG=1 build/native/tests/miraxld_tests --gtest_filter='DisplayPng*' and look
// at them before committing), and its line paced at the baud rate.
#include <cstdlib>
#include <tuple>

#include "display/display_fixture.h"
#include "png_render.h"

namespace miraxld::testing {
namespace {

using DisplayPngTest = DisplayTest;
using Text = std::tuple<int32_t, std::u16string, int32_t>;  // row, text, attribute

TEST_F(DisplayPngTest, FaceMatchesTheReferencePicture) {
    // clang-format off
    const struct {
        const char* reference;
        std::string model;
        int rows, columns, maximumX, maximumY, family;
        std::vector<Text> texts;
        const char* bitmap;  // shown after the texts, or nullptr
        int alignX, alignY, msLater;  // msLater: after the last byte; the blink period is 300 ms
    } rows[] = {
        {"face_kt110_text.png", "KT110", 2, 20, 0, 0, 0,
         {{0, u"TOTAL      12.50", 2}, {1, u"Merci, \u00e0 bient\u00f4t!", 0}}, nullptr, 0, 0, 0},
        {"face_blink_dark.png", "KT110", 2, 20, 0, 0, 0, {{0, u"SALE", 1}}, nullptr, 0, 0, 150},
        {"face_kt910_raster.png", "KT910", 2, 20, 320, 32, 1, {{0, u"covered", 0}},
         "frame_120x32.bmp", -2, -1, 0},
        {"face_zn610_graphic.png", "ZN610", 3, 32, 480, 120, 2, {}, "frame_120x32.bmp", -3, -3, 0},
    };
    // clang-format on
    const bool update = std::getenv("MIRAXLD_UPDATE_PNG") != nullptr;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reference);
        displaysim::SimConfig config;
        config.model = row.model;
        config.screenModes = {{3, row.rows, row.columns}};
        sim = std::make_shared<displaysim::DisplaySimulator>(config);
        Open(std::u16string(row.model.begin(), row.model.end()), row.rows, row.columns);
        so->m_maximumX = row.maximumX;
        so->m_maximumY = row.maximumY;
        so->m_commandFamily = row.family;
        for (const auto& [at, text, attribute] : row.texts) {
            so->DisplayTextAt(at, 0, text, attribute, nullptr);
        }
        if (row.bitmap) {
            platform.files.Put(u"C:\\logo.bmp", ReadTestFile(row.bitmap));
            int32_t rc = -1;
            so->DisplayBitmap(u"C:\\logo.bmp", 120, row.alignX, row.alignY, &rc);
            ASSERT_EQ(rc, 0);
        }
        const std::string reference = MIRAXLD_TEST_DATA_DIR "/" + std::string(row.reference);
        const std::string written = update ? reference : ::testing::TempDir() + row.reference;
        const auto face = displaysim::RenderFace(sim->FaceAt(platform.clock.NowMs() + row.msLater));
        std::string error;
        displaysim::Picture actual, expected;
        ASSERT_TRUE(displaysim::WritePng(face, written, &error)) << error;
        ASSERT_TRUE(displaysim::ReadPng(written, &actual, &error)) << error;
        ASSERT_TRUE(displaysim::ReadPng(reference, &expected, &error)) << error;
        EXPECT_EQ(std::pair(actual.width, actual.height),
                  std::pair(expected.width, expected.height));
        EXPECT_TRUE(actual.rgb == expected.rgb) << "differs from the reference; see " << written;
    }
}

TEST_F(DisplayPngTest, RasterEndsAtTheMarkBeforeTheNextCommand) {
    const struct {
        Bytes sent;
        std::vector<std::pair<int, int>> lit, dark;  // (x, y) of the graphic area
        std::string line0;
    } rows[] = {
        // A 0D inside the picture at a possible length, followed by picture data: 3 columns.
        {{0x1C, 0x37, 0, 0, 0, 1, 0x0D, 0, 0, 1, 0, 0, 0, 1, 0x0D, 0x0B, 'O', 'K'},
         {{0, 0}, {1, 0}, {1, 24}, {1, 26}, {1, 27}, {2, 0}},
         {{3, 0}, {1, 25}},
         "OK"},
        // 5 bands x 3 columns (a picture taller than the display): the top band is drawn.
        {{0x1C, 0x37, 0x80, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x0B},
         {{0, 0}, {1, 24}},
         {{0, 31}, {1, 0}, {1, 31}},
         "                    "},
    };
    for (const auto& row : rows) {
        displaysim::SimConfig config;
        config.model = "KT910";
        displaysim::DisplaySimulator kt910(config);
        kt910.Receive(row.sent.data(), row.sent.size(), 0);
        const auto face = kt910.FaceAt(0);
        for (const bool lit : {true, false}) {
            for (const auto& [x, y] : lit ? row.lit : row.dark) {
                EXPECT_EQ(face.graphic.Lit(x, y), lit) << x << "," << y;
            }
        }
        EXPECT_EQ(kt910.ScreenLines()[0].substr(0, row.line0.size()), row.line0);
    }
}

// A burst of writes takes the wire's time, on the virtual clock and on the real one, and a reply
// is readable only once its bytes could have arrived.
TEST(DisplaySimPacing, BurstTakesTenBitTimesPerByteAndAReplyItsBytesTime) {
    const struct {
        bool realClock;
        int baud, bytes;
        double tolerance;
        int64_t replyMs;  // the version query's "13000" readable this long after it; 0: not asked
    } rows[] = {
        {false, 9600, 960, 0.01, 8},  // the reply after 2 ms, then five bytes of 1.04 ms each
        {false, 115200, 5760, 0.01, 0},
        {false, 1200, 60, 0.01, 0},
        {true, 9600, 960, 0.03, 0},  // a loaded machine's scheduling is inside the few percent
    };
    for (const auto& row : rows) {
        VirtualClock virtualClock;
        IClock& clock = row.realClock ? SystemPlatform().Clock() : virtualClock;
        auto sim = std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
        displaysim::SimulatedSerialDevice::ControlsOf(sim.get()).paced = true;
        auto device = displaysim::MakeDevice(sim, clock);
        device->Open(1, row.baud);
        const int64_t start = clock.NowMs();
        for (int i = 0; i < row.bytes; ++i) {
            device->WriteByte('A' + i % 20);
        }
        const double wireMs = row.bytes * 10.0 * 1000.0 / row.baud;
        EXPECT_NEAR(static_cast<double>(clock.NowMs() - start), wireMs, wireMs * row.tolerance)
            << row.baud << " baud, real clock " << row.realClock;
        EXPECT_EQ(sim->Received().size(), static_cast<size_t>(row.bytes));
        if (row.replyMs == 0) {
            continue;
        }
        for (uint8_t b : CMD_QUERY_VERSION) {
            device->WriteByte(b);
        }
        const int64_t asked = clock.NowMs();
        while (device->InputCount() < 5 && clock.NowMs() - asked < 100) {
            clock.SleepMs(1);
        }
        uint8_t reply[8] = {};
        EXPECT_EQ((std::tuple{clock.NowMs() - asked, device->Read(reply, 8),
                              std::string(reply, reply + 5)}),
                  std::tuple(row.replyMs, 5, std::string("13000")));
    }
}

}  // namespace
}  // namespace miraxld::testing
