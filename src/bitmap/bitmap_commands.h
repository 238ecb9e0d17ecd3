// Packing an aligned picture into the two bitmap commands of the graphic displays.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap/bitmap_frame.h"
#include "display/commands.h"

namespace miraxld {

// The packed-data area of the bitmap path; a command whose image bytes exceed it is refused.
inline constexpr size_t kBitmapMaxPackedBytes = 8191;

// CMD_BITMAP_GRAPHIC (family 2): rows top to bottom, ceil(W / 8) bytes each, leftmost dot in
// bit 7; k = ceil(W / 8) x H.
size_t GraphicImageBytes(const BitmapFrame& frame);
CommandBuffer GraphicBitmapCommand(const DotBuffer& dots, const BitmapFrame& frame, uint8_t scale);

// CMD_BITMAP_RASTER (family 1): bands of 8 rows, ceil(h / 8) of them but at least 4, counted
// from the file's height h; per column (left to right) the bands from the bottom one up, each
// byte with its band's bottom row in bit 7. Ends with CMD_MARQUEE_TEXT_END.
int RasterBands(int bitmapHeight);
size_t RasterImageBytes(const BitmapFrame& frame, int bitmapHeight);
CommandBuffer RasterBitmapCommand(const DotBuffer& dots, const BitmapFrame& frame,
                                  int bitmapHeight);

}  // namespace miraxld
