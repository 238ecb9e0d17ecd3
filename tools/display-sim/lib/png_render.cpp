// How the face is drawn. Every dot of the display is a 3 x 3 pixel square on a 4-pixel pitch
// (a one-pixel gap, as on a dot-matrix tube), lit dots blue-green, unlit dots a dim grey-green
// on a near-black glass, with an 8-pixel margin. The graphic models (KT910, RMX910 320 x 32,
// ZN610 480 x 120 dots) show their whole dot area: each character cell is an equal share of it
// (16 x 16 dots for 2 x 20 on 320 x 32), the 5 x 7 glyph magnified by the largest whole factor
// that fits the cell with a one-dot gap and centred in it. A bitmap draws on that same area;
// a cell written after the bitmap shows its character there instead. The text-only models show
// 5 x 7 dot cells with an extra 4-pixel gap between cells. A reversed cell has its dots inverted
// over the whole cell; characters outside printable ASCII show as a hollow box. In the dark half
// of a blink period every dot is unlit. The PNG carries no time or text chunk, so the same face
// always gives the same file.
#include "png_render.h"

#include <png.h>

#include <algorithm>
#include <cstdio>

#include "font_5x7.h"

namespace displaysim {

namespace {

constexpr int kDotPixels = 3;
constexpr int kDotPitch = 4;
constexpr int kMargin = 8;
constexpr int kTextCellGap = 4;  // extra pixels between the cells of a text-only display
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kGlass = {0x10, 0x12, 0x12};
constexpr Rgb kUnlit = {0x1E, 0x2C, 0x28};
constexpr Rgb kLit = {0x5C, 0xFF, 0xD0};

// The face as a grid of dots, and where each cell sits on it.
struct Layout {
    int dotsWide = 0;
    int dotsHigh = 0;
    int cellWide = kGlyphWidth;
    int cellHigh = kGlyphHeight;
    int cellGap = kTextCellGap;
    int glyphScale = 1;
    int glyphX = 0;  // the glyph's offset inside its cell
    int glyphY = 0;
};

Layout LayoutOf(const Face& face) {
    Layout l;
    if (face.graphic.Empty()) {
        l.dotsWide = face.columns * kGlyphWidth;
        l.dotsHigh = face.rows * kGlyphHeight;
        return l;
    }
    l.dotsWide = face.graphic.Width();
    l.dotsHigh = face.graphic.Height();
    l.cellGap = 0;
    l.cellWide = std::max(1, l.dotsWide / std::max(face.columns, 1));
    l.cellHigh = std::max(1, l.dotsHigh / std::max(face.rows, 1));
    l.glyphScale =
        std::max(1, std::min(l.cellWide / (kGlyphWidth + 1), l.cellHigh / (kGlyphHeight + 1)));
    l.glyphX = std::max(0, (l.cellWide - kGlyphWidth * l.glyphScale) / 2);
    l.glyphY = std::max(0, (l.cellHigh - kGlyphHeight * l.glyphScale) / 2);
    return l;
}

bool CellDot(const FaceCell& cell, const Layout& l, int x, int y) {
    const int gx = (x - l.glyphX) / l.glyphScale;
    const int gy = (y - l.glyphY) / l.glyphScale;
    const bool inGlyph = x >= l.glyphX && y >= l.glyphY && gx < kGlyphWidth && gy < kGlyphHeight;
    const bool lit = inGlyph && (GlyphOf(cell.ch)[size_t(gx)] >> gy & 1) != 0;
    return lit != cell.reverse;
}

bool DotLit(const Face& face, const Layout& l, int x, int y) {
    if (face.dark) {
        return false;
    }
    const int column = x / l.cellWide;
    const int row = y / l.cellHigh;
    if (column >= face.columns || row >= face.rows) {
        return face.graphic.Lit(x, y);  // the area's edge beyond the last whole cell
    }
    const FaceCell& cell = face.cells[size_t(row * face.columns + column)];
    if (cell.underPicture) {
        return face.graphic.Lit(x, y);
    }
    return CellDot(cell, l, x % l.cellWide, y % l.cellHigh);
}

void Fill(Picture& p, int x0, int y0, int size, Rgb colour) {
    for (int y = y0; y < y0 + size; ++y) {
        for (int x = x0; x < x0 + size; ++x) {
            uint8_t* px = &p.rgb[size_t(y * p.width + x) * 3];
            px[0] = colour.r;
            px[1] = colour.g;
            px[2] = colour.b;
        }
    }
}

int PixelOf(int dot, int cellDots, int cellGap) {
    return kMargin + dot * kDotPitch + (dot / cellDots) * cellGap;
}

}  // namespace

Picture RenderFace(const Face& face) {
    const Layout l = LayoutOf(face);
    Picture p;
    p.width = 2 * kMargin + l.dotsWide * kDotPitch - (kDotPitch - kDotPixels) +
              (l.dotsWide / l.cellWide - 1) * l.cellGap;
    p.height = 2 * kMargin + l.dotsHigh * kDotPitch - (kDotPitch - kDotPixels) +
               (l.dotsHigh / l.cellHigh - 1) * l.cellGap;
    p.rgb.resize(size_t(p.width * p.height) * 3);
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        p.rgb[i] = kGlass.r;
        p.rgb[i + 1] = kGlass.g;
        p.rgb[i + 2] = kGlass.b;
    }
    for (int y = 0; y < l.dotsHigh; ++y) {
        for (int x = 0; x < l.dotsWide; ++x) {
            Fill(p, PixelOf(x, l.cellWide, l.cellGap), PixelOf(y, l.cellHigh, l.cellGap),
                 kDotPixels, DotLit(face, l, x, y) ? kLit : kUnlit);
        }
    }
    return p;
}

bool WritePng(const Picture& picture, const std::string& path, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGB;
    const std::string temporary = path + ".part";
    if (!png_image_write_to_file(&image, temporary.c_str(), 0, picture.rgb.data(), 0, nullptr)) {
        *error = "cannot write " + temporary + ": " + image.message;
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot rename " + temporary + " to " + path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, Picture* picture, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = "cannot read " + path + ": " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture->width = int(image.width);
    picture->height = int(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr)) {
        *error = "cannot decode " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace displaysim
