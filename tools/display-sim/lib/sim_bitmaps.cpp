// The display's two bitmap commands: the graphic command with its size header and the raster
// without one. Both draw on the graphic area of the models that have one; elsewhere they are
// taken off the line and logged, as the display ignores them.
#include <string>

#include "display_sim.h"

namespace displaysim {

namespace {
constexpr size_t kRasterOpener = 2;
constexpr size_t kGraphicHeader = 13;
}  // namespace

void DisplaySimulator::ShowPicture() {
    // The picture covers the characters until they are written again.
    for (Cell& cell : m_cells) {
        cell.underPicture = true;
    }
}

size_t DisplaySimulator::TakeRaster(const uint8_t* p, size_t n) {
    const uint8_t* image = p + kRasterOpener;
    bool waiting = false;
    const auto length = FindRasterEnd(image, n - kRasterOpener, &waiting);
    if (length || waiting) {
        // A raster that may still go on is shown as it stands; a longer end redraws it.
        const size_t shown = length ? *length : n - kRasterOpener - 1;
        if (!m_graphic.Empty()) {
            m_graphic.DrawRaster(image, shown);
            ShowPicture();
        }
    }
    if (length) {
        LogLine(p, kRasterOpener,
                "CMD_BITMAP_RASTER " + std::to_string(*length) + " bytes, " +
                    std::to_string(RasterBands(*length)) + " bands");
        return kRasterOpener + *length + 1;
    }
    if (RasterOverlong(n - kRasterOpener)) {
        LogLine(p, kRasterOpener, "CMD_BITMAP_RASTER without an end mark");
        return kRasterOpener;
    }
    return 0;
}

size_t DisplaySimulator::TakeGraphic(const uint8_t* p, size_t n) {
    if (n < kGraphicHeader) {
        return 0;
    }
    const int scale = p[7];
    const int w = p[9] | (p[10] << 8);
    const int h = p[11] | (p[12] << 8);
    // The header's own length bytes are not a plain length; the size follows from w and h.
    const size_t length = kGraphicHeader + size_t((w + 7) / 8) * size_t(h);
    if (n < length) {
        return 0;
    }
    LogLine(p, kGraphicHeader,
            "CMD_BITMAP_GRAPHIC w=" + std::to_string(w) + " h=" + std::to_string(h) +
                " scale=" + std::to_string(scale));
    if (!m_graphic.Empty()) {
        m_graphic.DrawRows(p + kGraphicHeader, w, h, scale);
        ShowPicture();
    }
    return length;
}

}  // namespace displaysim
