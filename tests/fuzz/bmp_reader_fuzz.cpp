// libFuzzer target: any bytes as a bitmap file, through the reader, the placement and both
// packings. A crash, a sanitizer report or a broken size invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "bitmap/bitmap_commands.h"
#include "bitmap/bitmap_frame.h"
#include "bitmap/bmp_reader.h"
#include "fuzz_check.h"

// MaximumX, MaximumY and the two alignments of each display.
constexpr int32_t kDisplays[][4] = {
    {320, 32, -1, -1}, {320, 32, -3, -3}, {480, 120, -2, -2}, {512, 128, -3, -2}, {0, 0, -2, -3},
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace miraxld;
    const BmpReadResult read = ReadMonochromeBmp(std::span<const uint8_t>(data, size));
    if (read.status != BmpStatus::kOk) {
        Check(read.bitmap.dots.empty());
        return 0;
    }
    const MonoBitmap& bitmap = read.bitmap;
    Check(bitmap.width >= 1 && bitmap.width <= kBitmapMaxWidth);
    Check(bitmap.height >= 1 && bitmap.height <= kBitmapMaxHeight);
    Check(bitmap.dots.size() == static_cast<size_t>(bitmap.width) * bitmap.height);

    auto dots = std::make_unique<DotBuffer>();
    for (const auto& [maximumX, maximumY, alignX, alignY] : kDisplays) {
        const auto frame =
            FrameBitmap(bitmap.width, bitmap.height, maximumX, maximumY, alignX, alignY);
        if (!frame) {
            continue;
        }
        Check(frame->width <= kBitmapMaxWidth && frame->height <= kBitmapMaxHeight);
        dots->Place(bitmap, *frame);
        if (GraphicImageBytes(*frame) <= kBitmapMaxPackedBytes) {
            const uint8_t scale = BitmapScale(static_cast<int32_t>(size) - 300, bitmap.width,
                                              bitmap.height, maximumY);
            const CommandBuffer graphic = GraphicBitmapCommand(*dots, *frame, scale);
            Check(graphic.Size() == 13 + GraphicImageBytes(*frame));
        }
        if (RasterImageBytes(*frame, bitmap.height) <= kBitmapMaxPackedBytes) {
            const CommandBuffer raster = RasterBitmapCommand(*dots, *frame, bitmap.height);
            Check(raster.Size() == 3 + RasterImageBytes(*frame, bitmap.height));
        }
    }
    return 0;
}
