// The dot area of the graphic models and the two bitmap commands that draw on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace displaysim {

// One byte per dot (1 = lit), row 0 at the top. Text-only models have an empty area.
class GraphicArea {
  public:
    static GraphicArea ForModel(const std::string& model);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Empty() const { return m_dots.empty(); }
    bool Lit(int x, int y) const;
    void Clear();

    // A graphic bitmap: rows top to bottom, ceil(w / 8) bytes each, leftmost dot in bit 7;
    // every dot becomes scale x scale dots (the scale byte; 0 counts as 1). Drawn from the
    // area's top-left corner on a cleared area, clipped at its edges.
    void DrawRows(const uint8_t* image, int w, int h, int scale);
    // A raster bitmap: `length` bytes of columns left to right, each `RasterBands(length)`
    // bytes from the bottom band up, a band's top dot in bit 0. Drawn like DrawRows.
    void DrawRaster(const uint8_t* image, size_t length);

  private:
    void Set(int x, int y);

    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_dots;
};

// The raster command carries no length: `data` are the bytes after its two-byte opener.
// Returns the length of its image when the raster is complete: the end mark 0D is taken at the
// first image length a sender can produce (a band count of 4 to 16 times 1 to 512 columns, at
// most 8191 bytes) whose next byte opens a command (0B, 0C, 1B, 1C, 1D, 1F). A 0D followed by
// anything else is picture data. Sets `waiting` when the data so far end in such a 0D with
// nothing after it yet: the raster may be complete, and the picture is shown meanwhile.
std::optional<size_t> FindRasterEnd(const uint8_t* data, size_t n, bool* waiting);
// True when nothing in `n` bytes can end a raster any more.
bool RasterOverlong(size_t n);
// Bytes per column of a raster image of `length` bytes: 4, the display's own 32 dots, whenever
// the length allows it; otherwise the smallest band count that divides it. The length alone
// cannot tell a 4-band raster from a taller picture of fewer columns, so a picture taller than
// 32 dots whose length is a multiple of 4 draws as 4-band columns.
int RasterBands(size_t length);

}  // namespace displaysim
