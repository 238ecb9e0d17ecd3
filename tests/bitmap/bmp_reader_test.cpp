// The BMP reader: row padding, bottom-up rows and the dot sense of the test files, and every
// header it must refuse.
#include "bitmap/bmp_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "bitmap/test_files.h"

namespace miraxld::testing {
namespace {

using Dot = std::pair<int, int>;  // row (0 = top), column

TEST(BmpReader, ReadsTheDotsOfEveryRowPadding) {
    struct Row {
        const char* file;
        int width, height, litCount;
        std::vector<Dot> lit, dark;  // a flipped, mirrored or mis-padded read moves one of them
    };
    const Row rows[] = {
        {"diagonal_8x8.bmp", 8, 8, 8, {{0, 0}, {7, 7}}, {{0, 7}, {7, 0}}},
        {"frame_120x32.bmp", 120, 32, 301, {{2, 2}, {0, 119}, {31, 119}}, {{29, 2}, {2, 117}}},
        {"column_8x40.bmp", 8, 40, 41, {{0, 7}, {39, 0}}, {{39, 7}}},
        {"corner_511x128.bmp", 511, 128, 1, {{0, 0}}, {{127, 0}, {0, 510}}},
        {"corner_512x128.bmp", 512, 128, 1, {{0, 0}}, {{127, 0}, {0, 511}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const BmpReadResult read = ReadMonochromeBmp(ReadTestFile(row.file));
        ASSERT_EQ(read.status, BmpStatus::kOk);
        ASSERT_EQ(read.bitmap.width, row.width);
        ASSERT_EQ(read.bitmap.height, row.height);
        int lit = 0;
        for (uint8_t dot : read.bitmap.dots) {
            lit += dot;
        }
        EXPECT_EQ(lit, row.litCount);
        for (auto [r, c] : row.lit) {
            EXPECT_EQ(read.bitmap.At(r, c), 1) << r << "," << c;
        }
        for (auto [r, c] : row.dark) {
            EXPECT_EQ(read.bitmap.At(r, c), 0) << r << "," << c;
        }
    }
}

void Put32(std::vector<uint8_t>& b, size_t at, int64_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

TEST(BmpReader, RefusesWhatItCannotShow) {
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    struct Row {
        const char* file;
        Edit edit;  // applied to the file's bytes, when set
        BmpStatus status;
    };
    const char* diagonal = "diagonal_8x8.bmp";
    const Row rows[] = {
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
    for (const Row& row : rows) {
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
