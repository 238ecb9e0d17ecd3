// The BMP reader refuses every file it cannot show; the display tests show the good ones.
#include "bitmap/bmp_reader.h"
#include "display/display_fixture.h"

namespace miraxld::testing {
namespace {

constexpr char kDiagonal[] = "diagonal_8x8.bmp", kFrame[] = "frame_120x32.bmp";

void Put32(std::vector<uint8_t>& b, size_t at, int64_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

TEST(BmpReader, RefusesWhatItCannotShow) {
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    const struct {
        const char* file;
        Edit edit;  // applied to the file's bytes, when set
        BmpStatus status;
    } rows[] = {
        {"truncated_120x32.bmp", nullptr, BmpStatus::kTruncated},
        {"top_down_8x8.bmp", nullptr, BmpStatus::kTopDown},
        {"too_wide_513x8.bmp", nullptr, BmpStatus::kTooLarge},
        {"too_tall_8x129.bmp", nullptr, BmpStatus::kTooLarge},
        {"colour4_8x8.bmp", nullptr, BmpStatus::kNotMonochrome},
        {"colour24_8x8.bmp", nullptr, BmpStatus::kNotMonochrome},
        {kDiagonal, [](auto& b) { b.clear(); }, BmpStatus::kTruncated},
        {kDiagonal, [](auto& b) { b.resize(53); }, BmpStatus::kTruncated},
        {kDiagonal, [](auto& b) { b.pop_back(); }, BmpStatus::kTruncated},
        {kDiagonal, [](auto& b) { Put32(b, 10, 250), b.resize(250); }, BmpStatus::kTruncated},
        {kDiagonal, [](auto& b) { b[1] = 'A'; }, BmpStatus::kNotBitmap},
        {kDiagonal, [](auto& b) { Put32(b, 14, 12); }, BmpStatus::kNotBitmap},  // old header
        {kDiagonal, [](auto& b) { Put32(b, 10, 256); }, BmpStatus::kNotBitmap},
        {kDiagonal, [](auto& b) { Put32(b, 10, 0x10003E); }, BmpStatus::kNotBitmap},
        {kDiagonal, [](auto& b) { b[28] = 0; }, BmpStatus::kNotMonochrome},
        {kDiagonal, [](auto& b) { b[29] = 1; }, BmpStatus::kNotMonochrome},  // 257
        {kDiagonal, [](auto& b) { Put32(b, 18, 0); }, BmpStatus::kEmpty},
        {kDiagonal, [](auto& b) { Put32(b, 18, -8); }, BmpStatus::kEmpty},
        {kDiagonal, [](auto& b) { Put32(b, 22, 0); }, BmpStatus::kEmpty},
        {kDiagonal, [](auto& b) { Put32(b, 18, 65544); }, BmpStatus::kTooLarge},  // low half 8
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> file = ReadTestFile(row.file);
        if (row.edit) {
            row.edit(file);
        }
        const BmpReadResult read = ReadMonochromeBmp(file);
        EXPECT_EQ(read.status, row.status) << row.file << ", row " << (&row - rows);
        EXPECT_TRUE(read.bitmap.dots.empty());
    }
}

Bytes Slice(const Bytes& bytes, size_t from, size_t count) {
    return from + count <= bytes.size() ? Bytes(bytes.begin() + from, bytes.begin() + from + count)
                                        : Bytes{};
}

class DisplayBitmapTest : public DisplayTest {
  protected:
    // The bytes sent to show file `name` on a display of `family` with a dot area of
    // maximumX x maximumY; the method must end with `rc`.
    Bytes Show(int32_t rc, uint16_t family, int32_t maximumX, int32_t maximumY,
               const std::string& name, int32_t width, int32_t alignX = -1, int32_t alignY = -1) {
        std::tie(so->m_commandFamily, so->m_maximumX, so->m_maximumY) =
            std::tuple(family, maximumX, maximumY);
        Take();
        const std::u16string path = u"C:\\pictures\\" + std::u16string(name.begin(), name.end());
        if (name != "missing.bmp") {
            platform.files.Put(path, ReadTestFile(name));
        }
        int32_t result = -1;
        EXPECT_EQ(so->DisplayBitmap(path, width, alignX, alignY, &result), kS_OK);
        EXPECT_EQ(std::pair(result, so->m_resultCode), std::pair(rc, rc));
        return Take();
    }
};

TEST_F(DisplayBitmapTest, ScaleByteFollowsTheRequestedWidth) {
    // The last four: h x s above MaximumY gives MaximumY / h instead.
    const struct {
        int32_t width, maximumY;
        uint8_t scale;
    } rows[] = {{120, 128, 1}, {121, 128, 2},     {240, 128, 2},     {360, 128, 3},   {-11, 128, 1},
                {0, 128, 0},   {-240, 128, 0xFE}, {24000, 128, 200}, {30720, 128, 0}, {240, 32, 1},
                {360, 120, 3}, {600, 120, 3},     {600, 128, 4}};
    for (const auto& row : rows) {
        EXPECT_EQ(Slice(Show(0, 2, 480, row.maximumY, kFrame, row.width), 7, 2),
                  Bytes(2, row.scale))
            << "Width " << row.width;
    }
}

TEST_F(DisplayBitmapTest, Family1SendsAtLeastFourBandsPerColumnBottomBandFirst) {
    // The 8 x 8 diagonal on a 320 x 32 display: dot (r, r) lands at (r + dy, r + dx).
    // clang-format off
    const struct {
        const char* file;
        int32_t alignX, alignY;
        size_t width, bands;  // W and B sent
        std::vector<std::pair<size_t, Bytes>> columns;
    } rows[] = {
        {kDiagonal, -1, -1, 8, 4,
         {{0, {0, 0, 0, 0x01}}, {3, {0, 0, 0, 0x08}}, {7, {0, 0, 0, 0x80}}}},
        {"column_8x40.bmp", -1, -1, 8, 5,
         {{0, Bytes(5, 0xFF)}, {1, Bytes(5, 0)}, {7, {0, 0, 0, 0, 1}}}},
        {kDiagonal, 40, 7, 8, 4, {{0, {0, 0, 0, 0x01}}}},  // dot positions count as left and top
        {kDiagonal, -3, -1, 320, 4, {{311, Bytes(4, 0)}, {312, {0, 0, 0, 0x01}}}},
        {kDiagonal, -2, -1, 164, 4, {{155, Bytes(4, 0)}, {156, {0, 0, 0, 0x01}}}},
        {kDiagonal, -1, -3, 8, 4, {{0, {0x01, 0, 0, 0}}, {7, {0x80, 0, 0, 0}}}},
        {kDiagonal, -1, -2, 8, 4, {{0, {0, 0, 0x10, 0}}}},
        {kDiagonal, -3, -3, 320, 4, {{319, {0x80, 0, 0, 0}}}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.file << " " << row.alignX << "/" << row.alignY);
        const Bytes sent = Show(0, 1, 320, 32, row.file, 8, row.alignX, row.alignY);
        ASSERT_EQ(sent.size(), 2 + row.bands * row.width + 1);
        EXPECT_EQ(Slice(sent, 0, 2), (Bytes{0x1C, 0x37}));
        EXPECT_EQ(sent.back(), 0x0D);
        for (const auto& [column, bytes] : row.columns) {
            EXPECT_EQ(Slice(sent, 2 + column * row.bands, row.bands), bytes) << column;
        }
    }
}

TEST_F(DisplayBitmapTest, Family2AlignmentChangesTheSizeItSends) {
    const Bytes centred =
        Concat({Bytes(12, 0), {0x0F}, Bytes(14, 0xFF), {0xF0}});  // dots 100 to 219
    const Bytes ended = Concat({Bytes(25, 0), Bytes(15, 0xFF)});  // dots 200 to 319
    const struct {
        int32_t alignX, alignY, maximumY;
        Bytes header;  // pL pH 04 30 s s wL wH hL hH
        size_t topRow, bytesPerRow;
        Bytes top;  // the frame's top row as sent
    } rows[] = {
        // W = 220: k = 28 x 32 = 896, pL from k + 8, pH from W x H / 8 + 8.
        {-2, -1, 32, {0x88, 0x03, 0x04, 0x30, 1, 1, 0xDC, 0x00, 0x20, 0x00}, 0, 28, centred},
        // W = 320, H = 120, the frame from row 88 on: k = 40 x 120 = 4800.
        {-3, -3, 120, {0xC8, 0x12, 0x04, 0x30, 1, 1, 0x40, 0x01, 0x78, 0x00}, 88, 40, ended},
    };
    for (const auto& row : rows) {
        const Bytes sent = Show(0, 2, 320, row.maximumY, kFrame, 120, row.alignX, row.alignY);
        EXPECT_EQ(Slice(sent, 3, 10), row.header);
        EXPECT_EQ(Slice(sent, 13 + row.topRow * row.bytesPerRow, row.bytesPerRow), row.top);
        if (row.topRow > 0) {
            EXPECT_EQ(Slice(sent, 13 + (row.topRow - 1) * row.bytesPerRow, row.bytesPerRow),
                      Bytes(row.bytesPerRow, 0));
        }
    }
}

TEST_F(DisplayBitmapTest, RefusesBeforeSendingAnything) {
    const struct {
        const char* file;
        uint16_t family;
        int32_t maximumX, maximumY, alignX, alignY, rc;
        size_t sent;
    } rows[] = {
        {"missing.bmp", 2, 320, 32, -1, -1, 111, 0},
        {"colour4_8x8.bmp", 2, 320, 32, -1, -1, 106, 0},
        {"colour24_8x8.bmp", 1, 320, 32, -1, -1, 106, 0},
        {"top_down_8x8.bmp", 2, 320, 32, -1, -1, 106, 0},
        {"truncated_120x32.bmp", 2, 320, 32, -1, -1, 106, 0},
        {"too_wide_513x8.bmp", 2, 512, 128, -1, -1, 106, 0},
        {"too_tall_8x129.bmp", 1, 512, 128, -1, -1, 106, 0},
        // 64 bytes x 128 rows and 16 bands x 512 columns: one byte over the packed-data area.
        {"corner_511x128.bmp", 2, 512, 128, -1, -1, 106, 0},
        {"corner_512x128.bmp", 1, 512, 128, -1, -1, 106, 0},
        {"corner_511x128.bmp", 1, 512, 128, -1, -1, 0, 2 + 16 * 511 + 1},
        // Right, bottom and centre need the picture inside the display and the display inside
        // the dot buffer; left and top send a picture larger than the display as it is.
        {kFrame, 2, 100, 32, -3, -1, 106, 0},
        {kFrame, 2, 320, 16, -1, -3, 106, 0},
        {kFrame, 2, 100, 32, -2, -1, 106, 0},
        {kFrame, 2, 600, 32, -3, -1, 106, 0},
        {kFrame, 1, 320, 200, -1, -2, 106, 0},
        {kFrame, 2, 100, 16, -1, -1, 0, 13 + 480},
        // The character-only families have no bitmap command: a file the graphic models would
        // show succeeds without a byte sent, the others are refused as there.
        {kFrame, 0, 320, 32, -1, -1, 0, 0},
        {kFrame, 3, 320, 32, -1, -1, 0, 0},
        {"colour4_8x8.bmp", 0, 320, 32, -1, -1, 106, 0},
        {"missing.bmp", 3, 320, 32, -1, -1, 111, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.file << " on family " << row.family);
        const Bytes sent = Show(row.rc, row.family, row.maximumX, row.maximumY, row.file, 120,
                                row.alignX, row.alignY);
        EXPECT_EQ(sent.size(), row.sent);
    }
}

}  // namespace
}  // namespace miraxld::testing
