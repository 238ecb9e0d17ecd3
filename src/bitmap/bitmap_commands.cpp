#include "bitmap/bitmap_commands.h"

#include <algorithm>

namespace miraxld {

namespace {
constexpr int kBandRows = 8;
constexpr int kMinimumBands = 4;
constexpr size_t kGraphicHeaderBytes = 13;
int BytesPerRow(int width) {
    return (width + 7) / 8;
}
}  // namespace

size_t GraphicImageBytes(const BitmapFrame& frame) {
    return static_cast<size_t>(BytesPerRow(frame.width)) * static_cast<size_t>(frame.height);
}

CommandBuffer GraphicBitmapCommand(const DotBuffer& dots, const BitmapFrame& frame, uint8_t scale) {
    const int W = frame.width;
    const int H = frame.height;
    const size_t k = GraphicImageBytes(frame);
    // The length bytes as the displays expect them: pL from k, pH from the dot count, which
    // differ from a plain 16-bit length when W is not a multiple of 8.
    const auto pL = static_cast<uint8_t>((k + 8) & 0xFF);
    const auto pH = static_cast<uint8_t>(((H * W) / 8 + 8) / 256);
    CommandBuffer out(kGraphicHeaderBytes + k);
    out.BitmapGraphicHeader(pL, pH, scale, static_cast<uint16_t>(W), static_cast<uint16_t>(H));
    for (int r = 0; r < H; ++r) {
        for (int byte = 0; byte < BytesPerRow(W); ++byte) {
            uint8_t packed = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int c = byte * 8 + bit;
                if (c < W && dots.At(r, c) != 0) {
                    packed |= static_cast<uint8_t>(0x80 >> bit);
                }
            }
            out.Byte(packed);
        }
    }
    return out;
}

int RasterBands(int bitmapHeight) {
    return std::max(kMinimumBands, (bitmapHeight + kBandRows - 1) / kBandRows);
}

size_t RasterImageBytes(const BitmapFrame& frame, int bitmapHeight) {
    return static_cast<size_t>(RasterBands(bitmapHeight)) * static_cast<size_t>(frame.width);
}

CommandBuffer RasterBitmapCommand(const DotBuffer& dots, const BitmapFrame& frame,
                                  int bitmapHeight) {
    const int bands = RasterBands(bitmapHeight);
    CommandBuffer out(CMD_BITMAP_RASTER.size() + RasterImageBytes(frame, bitmapHeight) + 1);
    out.Append(CMD_BITMAP_RASTER);
    for (int c = 0; c < frame.width; ++c) {
        for (int band = bands - 1; band >= 0; --band) {
            uint8_t packed = 0;
            for (int i = 0; i < kBandRows; ++i) {
                if (dots.At(band * kBandRows + i, c) != 0) {
                    packed |= static_cast<uint8_t>(1 << i);
                }
            }
            out.Byte(packed);
        }
    }
    out.Append(CMD_MARQUEE_TEXT_END);
    return out;
}

}  // namespace miraxld
