#include "bitmap/bmp_reader.h"

#include <cstddef>

namespace miraxld {

namespace {

// Offsets from the start of the file; multi-byte values are little-endian.
constexpr size_t kSignature = 0;
constexpr size_t kPixelOffset = 10;
constexpr size_t kInfoHeaderSize = 14;
constexpr size_t kWidth = 18;
constexpr size_t kHeight = 22;
constexpr size_t kBitsPerPixel = 28;
// File header (14) and the smallest header that carries the fields above (40).
constexpr size_t kMinimumFile = 54;
constexpr uint32_t kMinimumInfoHeader = 40;
// Only the low byte of the pixel offset is honoured by the display format's readers; data
// starting later is refused rather than read from the wrong place.
constexpr uint32_t kPixelOffsetLimit = 256;

uint32_t U16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8);
}
uint32_t U32(std::span<const uint8_t> b, size_t at) {
    return U16(b, at) | (U16(b, at + 2) << 16);
}
int32_t S32(std::span<const uint8_t> b, size_t at) {
    return static_cast<int32_t>(U32(b, at));
}

BmpReadResult Refuse(BmpStatus status) {
    return BmpReadResult{status, {}};
}

}  // namespace

int BmpRowStride(int width) {
    return width % 32 == 0 ? width / 8 : (width / 32) * 4 + 4;
}

BmpReadResult ReadMonochromeBmp(std::span<const uint8_t> file) {
    if (file.size() < kMinimumFile) {
        return Refuse(BmpStatus::kTruncated);
    }
    if (file[kSignature] != 'B' || file[kSignature + 1] != 'M' ||
        U32(file, kInfoHeaderSize) < kMinimumInfoHeader) {
        return Refuse(BmpStatus::kNotBitmap);
    }
    if (U16(file, kBitsPerPixel) != 1) {
        return Refuse(BmpStatus::kNotMonochrome);
    }
    const uint32_t pixelOffset = U32(file, kPixelOffset);
    if (pixelOffset >= kPixelOffsetLimit) {
        return Refuse(BmpStatus::kNotBitmap);
    }
    const int32_t width = S32(file, kWidth);
    const int32_t height = S32(file, kHeight);
    if (height < 0) {
        return Refuse(BmpStatus::kTopDown);
    }
    if (width <= 0 || height == 0) {
        return Refuse(BmpStatus::kEmpty);
    }
    if (width > kBitmapMaxWidth || height > kBitmapMaxHeight) {
        return Refuse(BmpStatus::kTooLarge);
    }
    const size_t stride = static_cast<size_t>(BmpRowStride(width));
    const size_t rows = static_cast<size_t>(height);
    if (file.size() < pixelOffset || file.size() - pixelOffset < stride * rows) {
        return Refuse(BmpStatus::kTruncated);
    }

    BmpReadResult result{BmpStatus::kOk, MonoBitmap{width, height, {}}};
    MonoBitmap& bitmap = result.bitmap;
    bitmap.dots.resize(static_cast<size_t>(width) * rows);
    // Rows are stored bottom-up: the last stored row is the top of the picture.
    for (size_t top = 0; top < rows; ++top) {
        const uint8_t* stored = file.data() + pixelOffset + (rows - 1 - top) * stride;
        uint8_t* dots = bitmap.dots.data() + top * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            const bool set = (stored[x / 8] >> (7 - x % 8)) & 1;
            dots[x] = set ? 0 : 1;
        }
    }
    return result;
}

}  // namespace miraxld
