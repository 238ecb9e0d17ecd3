// The service object's own picture of the display: cells, window records and buffer bounds.
#pragma once

#include <array>
#include <cstdint>

namespace miraxld {

// One character position: the character, up to two combining marks (or the second byte of a
// double-byte character) and the reverse-video mark.
struct Cell {
    uint16_t code[3] = {0x0020, 0, 0};
    uint16_t reverse = 0;

    static constexpr Cell Blank() { return Cell{}; }
    friend bool operator==(const Cell&, const Cell&) = default;
};

inline constexpr int kWindowCount = 5;     // window 0 is the whole display
inline constexpr int kWindowMaxRows = 12;  // storage bounds of one window picture
inline constexpr int kWindowMaxColumns = 64;
inline constexpr int kScreenRows = 8;  // storage bounds of the screen picture
inline constexpr int kScreenColumns = 128;
inline constexpr int kStripRows = 24;  // one marquee/blink strip per window
inline constexpr int kStripColumns = 384;
inline constexpr int kTextCells = 256;  // conversion area of one DisplayText call

struct WindowRecord {
    int32_t height = 0;
    int32_t width = 0;
    int32_t viewportRow = 0;
    int32_t viewportColumn = 0;
    int32_t viewportWidth = 0;
    int32_t viewportHeight = 0;
    int32_t cursorRow = 0;
    int32_t cursorColumn = 0;  // == width: pending wrap after the row's last column
    int32_t windowProperty = 0;
    int32_t marqueeType = 0;  // 0 none, 1 up, 2 down, 3 left, 4 right, 5 init
    int32_t marqueeUnitWait = 300;
    int32_t marqueeRepeatWait = 300;
    int32_t marqueeFormat = 0;
    int32_t lastAttribute = 0;
    int32_t blinkRate = 300;
    std::array<Cell, kWindowMaxRows * kWindowMaxColumns> cells{};  // row stride 64
    uint8_t marqueeTick = 0;
    int32_t ltrRunStart = -1;
    int32_t ltrRunEnd = -1;
    uint8_t blinkPhase = 0;
    uint8_t blinkPhaseShown = 0;
    int32_t marqueeSteps = 0;
    int32_t rowOffset = 0;
    int32_t columnOffset = 0;
    uint8_t active = 0;

    Cell& At(int row, int column) { return cells[row * kWindowMaxColumns + column]; }
    const Cell& At(int row, int column) const { return cells[row * kWindowMaxColumns + column]; }
};

using ScreenPicture = std::array<Cell, kScreenRows * kScreenColumns>;  // row r, col c: r*128+c
using Strip = std::array<Cell, kStripRows * kStripColumns>;

// The display commands' direction/attribute constants of the Line Display class.
enum DisplayTextAttribute : int32_t {
    kDispDtNormal = 0,
    kDispDtBlink = 1,
    kDispDtReverse = 2,
    kDispDtBlinkReverse = 3,
};

enum MarqueeType : int32_t {
    kMarqueeNone = 0,
    kMarqueeUp = 1,
    kMarqueeDown = 2,
    kMarqueeLeft = 3,
    kMarqueeRight = 4,
    kMarqueeInit = 5,
};

}  // namespace miraxld
