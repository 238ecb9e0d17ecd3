// Reading monochrome Windows bitmap files from memory.
//
// The reader is a pure function over the file's bytes: it never reads outside them and refuses
// every file it cannot show as it is stored, before the caller touches a buffer or the link.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace miraxld {

// The dot buffer of the bitmap path: no picture is wider or taller.
inline constexpr int kBitmapMaxWidth = 512;
inline constexpr int kBitmapMaxHeight = 128;

enum class BmpStatus {
    kOk,
    kTruncated,      // shorter than its headers or than the rows they describe
    kNotBitmap,      // no "BM" signature, an older header form, or pixel data at 256 or beyond
    kNotMonochrome,  // bits per pixel other than 1
    kTopDown,        // negative height: rows stored top row first
    kEmpty,          // width or height 0 (or a negative width)
    kTooLarge,       // wider than kBitmapMaxWidth or taller than kBitmapMaxHeight
};

// A picture of width x height dots, top row first, one byte per dot: 1 = lit.
struct MonoBitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> dots;

    uint8_t At(int row, int column) const {
        return dots[static_cast<size_t>(row) * static_cast<size_t>(width) +
                    static_cast<size_t>(column)];
    }
};

struct BmpReadResult {
    BmpStatus status = BmpStatus::kTruncated;
    MonoBitmap bitmap;  // empty unless status is kOk
};

// Bytes of one stored row of a 1-bit bitmap `width` dots wide (rows are padded to 4 bytes).
int BmpRowStride(int width);

// Parses a whole BMP file. The colour table is not read: a 0 bit is a lit dot, a 1 bit a dark
// one, as the displays' own tools store their pictures.
BmpReadResult ReadMonochromeBmp(std::span<const uint8_t> file);

}  // namespace miraxld
