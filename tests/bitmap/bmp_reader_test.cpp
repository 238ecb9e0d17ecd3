// The BMP reader refuses every file it cannot show; the bitmap tests read the good ones.
#include "bitmap/bmp_reader.h"

#include "display/display_fixture.h"

namespace miraxld::testing {
namespace {

void Put32(std::vector<uint8_t>& b, size_t at, int64_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

TEST(BmpReader, RefusesWhatItCannotShow) {
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    const char* diagonal = "diagonal_8x8.bmp";
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
        {diagonal, [](auto& b) { b.clear(); }, BmpStatus::kTruncated},
        {diagonal, [](auto& b) { b.resize(53); }, BmpStatus::kTruncated},
        {diagonal, [](auto& b) { b.pop_back(); }, BmpStatus::kTruncated},
        {diagonal, [](auto& b) { Put32(b, 10, 250), b.resize(250); }, BmpStatus::kTruncated},
        {diagonal, [](auto& b) { b[1] = 'A'; }, BmpStatus::kNotBitmap},
        {diagonal, [](auto& b) { Put32(b, 14, 12); }, BmpStatus::kNotBitmap},  // old header
        {diagonal, [](auto& b) { Put32(b, 10, 256); }, BmpStatus::kNotBitmap},
        {diagonal, [](auto& b) { Put32(b, 10, 0x10003E); }, BmpStatus::kNotBitmap},
        {diagonal, [](auto& b) { b[28] = 0; }, BmpStatus::kNotMonochrome},
        {diagonal, [](auto& b) { b[29] = 1; }, BmpStatus::kNotMonochrome},  // 257
        {diagonal, [](auto& b) { Put32(b, 18, 0); }, BmpStatus::kEmpty},
        {diagonal, [](auto& b) { Put32(b, 18, -8); }, BmpStatus::kEmpty},
        {diagonal, [](auto& b) { Put32(b, 22, 0); }, BmpStatus::kEmpty},
        {diagonal, [](auto& b) { Put32(b, 18, 65544); }, BmpStatus::kTooLarge},  // low half 8
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

}  // namespace
}  // namespace miraxld::testing
