#include "bitmap/bitmap_frame.h"

#include <algorithm>

namespace miraxld {

namespace {

struct AxisPlacement {
    int shift = 0;
    int extent = 0;
};

std::optional<AxisPlacement> PlaceAxis(int size, int32_t area, int limit, int32_t alignment) {
    if (alignment != kBitmapAlignEnd && alignment != kBitmapAlignCentre) {
        return AxisPlacement{0, size};
    }
    if (area > limit || size > area) {
        return std::nullopt;
    }
    const int space = static_cast<int>(area) - size;
    if (alignment == kBitmapAlignEnd) {
        return AxisPlacement{space, static_cast<int>(area)};
    }
    return AxisPlacement{space / 2, size + space / 2};
}

}  // namespace

std::optional<BitmapFrame> FrameBitmap(int w, int h, int32_t maximumX, int32_t maximumY,
                                       int32_t alignmentX, int32_t alignmentY) {
    const auto x = PlaceAxis(w, maximumX, kBitmapMaxWidth, alignmentX);
    const auto y = PlaceAxis(h, maximumY, kBitmapMaxHeight, alignmentY);
    if (!x || !y) {
        return std::nullopt;
    }
    return BitmapFrame{x->shift, y->shift, x->extent, y->extent};
}

uint8_t BitmapScale(int32_t requestedWidth, int w, int h, int32_t maximumY) {
    int64_t quotient = requestedWidth / w;
    if (requestedWidth % w != 0) {
        ++quotient;
    }
    auto scale = static_cast<uint8_t>(quotient & 0xFF);
    if (static_cast<int64_t>(h) * static_cast<int8_t>(scale) > maximumY) {
        scale = static_cast<uint8_t>((maximumY / h) & 0xFF);
    }
    return scale;
}

void DotBuffer::Place(const MonoBitmap& bitmap, const BitmapFrame& frame) {
    m_dots.fill(0);
    // The whole picture moves, every row by the same shift, so that it is never torn; the frame
    // guarantees that the shifted picture stays inside the buffer.
    const int rows = std::min(bitmap.height, kBitmapMaxHeight - frame.shiftY);
    const int columns = std::min(bitmap.width, kBitmapMaxWidth - frame.shiftX);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            m_dots[static_cast<size_t>(r + frame.shiftY) * kBitmapMaxWidth +
                   static_cast<size_t>(c + frame.shiftX)] = bitmap.At(r, c);
        }
    }
}

}  // namespace miraxld
