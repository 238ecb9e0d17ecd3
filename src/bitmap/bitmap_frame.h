// Where a picture lands on the display's dot area, the scale byte, and the aligned dot buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "bitmap/bmp_reader.h"

namespace miraxld {

// AlignmentX / AlignmentY values; every other value (a dot position too) means left or top.
inline constexpr int32_t kBitmapAlignEnd = -3;     // right, bottom
inline constexpr int32_t kBitmapAlignCentre = -2;  // centre

// The picture's offset in the dot buffer and the width W and height H sent from here on.
struct BitmapFrame {
    int shiftX = 0;
    int shiftY = 0;
    int width = 0;
    int height = 0;
};

// Places a picture of w x h dots (both 1 or more, within the dot buffer) on a display of
// maximumX x maximumY dots. Left and top keep the picture where it is (W = w, H = h), even
// when it is larger than the display. Right/bottom end it at the display's edge (W = maximumX,
// H = maximumY) and centre moves it by half the free space (W = w + shift). Those two need the
// picture to fit the display on that axis and the display to fit the dot buffer; otherwise
// there is nothing sensible to move and the result is empty, so the caller refuses the call.
std::optional<BitmapFrame> FrameBitmap(int w, int h, int32_t maximumX, int32_t maximumY,
                                       int32_t alignmentX, int32_t alignmentY);

// The scale byte of the family 2 command: Width / w rounded up (truncating division, so a
// negative Width gives 0 or 1), modulo 256; when h times the byte read as signed exceeds
// maximumY, maximumY / h instead. The dots themselves are never scaled here.
uint8_t BitmapScale(int32_t requestedWidth, int w, int h, int32_t maximumY);

// The aligned picture: one byte per dot (1 = lit), the size of the dot buffer, all dark
// outside the placed picture.
class DotBuffer {
  public:
    void Place(const MonoBitmap& bitmap, const BitmapFrame& frame);
    uint8_t At(int row, int column) const {
        return m_dots[static_cast<size_t>(row) * kBitmapMaxWidth + static_cast<size_t>(column)];
    }

  private:
    std::array<uint8_t, static_cast<size_t>(kBitmapMaxWidth) * kBitmapMaxHeight> m_dots{};
};

}  // namespace miraxld
