#include "graphic_area.h"

#include <algorithm>
#include <bitset>

namespace displaysim {

namespace {

struct AreaSize {
    const char* model;
    int width;
    int height;
};
constexpr AreaSize kAreas[] = {{"KT910", 320, 32}, {"RMX910", 320, 32}, {"ZN610", 480, 120}};

constexpr int kBandDots = 8;
constexpr int kMinBands = 4;
constexpr int kMaxBands = 16;
constexpr size_t kMaxColumns = 512;
constexpr size_t kMaxImageBytes = 8191;
constexpr uint8_t kEndMark = 0x0D;
constexpr uint8_t kCommandOpeners[] = {0x0B, 0x0C, 0x1B, 0x1C, 0x1D, 0x1F};

// Every image length a sender can produce, worked out once: the parse asks for each 0D it meets.
bool IsRasterLength(size_t length) {
    static const std::bitset<kMaxImageBytes + 1> lengths = [] {
        std::bitset<kMaxImageBytes + 1> set;
        for (size_t bands = kMinBands; bands <= kMaxBands; ++bands) {
            for (size_t columns = 1; columns <= kMaxColumns && bands * columns <= kMaxImageBytes;
                 ++columns) {
                set.set(bands * columns);
            }
        }
        return set;
    }();
    return length <= kMaxImageBytes && lengths.test(length);
}

bool OpensCommand(uint8_t b) {
    return std::find(std::begin(kCommandOpeners), std::end(kCommandOpeners), b) !=
           std::end(kCommandOpeners);
}

}  // namespace

GraphicArea GraphicArea::ForModel(const std::string& model) {
    GraphicArea area;
    for (const AreaSize& a : kAreas) {
        if (model == a.model) {
            area.m_width = a.width;
            area.m_height = a.height;
            area.m_dots.assign(size_t(a.width * a.height), 0);
        }
    }
    return area;
}

bool GraphicArea::Lit(int x, int y) const {
    return x >= 0 && y >= 0 && x < m_width && y < m_height && m_dots[size_t(y * m_width + x)] != 0;
}

void GraphicArea::Clear() {
    std::fill(m_dots.begin(), m_dots.end(), 0);
}

void GraphicArea::Set(int x, int y) {
    if (x < m_width && y < m_height) {
        m_dots[size_t(y * m_width + x)] = 1;
    }
}

void GraphicArea::DrawRows(const uint8_t* image, int w, int h, int scale) {
    Clear();
    const int s = std::max(scale, 1);
    const int rowBytes = (w + 7) / 8;
    for (int r = 0; r < h && r * s < m_height; ++r) {
        for (int c = 0; c < w && c * s < m_width; ++c) {
            if ((image[r * rowBytes + c / 8] & (0x80 >> (c % 8))) == 0) {
                continue;
            }
            for (int dy = 0; dy < s; ++dy) {
                for (int dx = 0; dx < s; ++dx) {
                    Set(c * s + dx, r * s + dy);
                }
            }
        }
    }
}

void GraphicArea::DrawRaster(const uint8_t* image, size_t length) {
    Clear();
    const int bands = RasterBands(length);
    const int columns = int(length / size_t(bands));
    for (int c = 0; c < columns && c < m_width; ++c) {
        for (int band = 0; band < bands; ++band) {
            const uint8_t byte = image[size_t(c * bands + bands - 1 - band)];
            for (int bit = 0; bit < kBandDots && band * kBandDots + bit < m_height; ++bit) {
                if (byte & (1 << bit)) {
                    Set(c, band * kBandDots + bit);
                }
            }
        }
    }
}

std::optional<size_t> FindRasterEnd(const uint8_t* data, size_t n, bool* waiting) {
    *waiting = false;
    for (size_t length = kMinBands; length < n && length <= kMaxImageBytes; ++length) {
        if (data[length] != kEndMark || !IsRasterLength(length)) {
            continue;
        }
        if (length + 1 == n) {
            *waiting = true;
        } else if (OpensCommand(data[length + 1])) {
            return length;
        }
    }
    return std::nullopt;
}

bool RasterOverlong(size_t n) {
    return n > kMaxImageBytes + 2;  // the longest image, its end mark and the next byte
}

int RasterBands(size_t length) {
    for (int bands = kMinBands; bands <= kMaxBands; ++bands) {
        if (length % size_t(bands) == 0 && length / size_t(bands) <= kMaxColumns) {
            return bands;
        }
    }
    return kMinBands;
}

}  // namespace displaysim
