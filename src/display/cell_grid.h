// Bounds-checked access to the window pictures, the screen picture and the strips. Geometry
// fields may hold any value (they come from application calls and the registry); every access
// goes through these helpers, which clip to the storage bounds, so no value can index outside a
// buffer.
#pragma once

#include <algorithm>

#include "display/screen_model.h"

namespace miraxld {

// Rows and columns of a window picture that exist in storage.
inline int StoredRows(const WindowRecord& w) {
    return std::clamp(w.height, 0, kWindowMaxRows);
}
inline int StoredColumns(const WindowRecord& w) {
    return std::clamp(w.width, 0, kWindowMaxColumns);
}

// The window cell at (row, column), or null outside the window's stored height x width.
inline Cell* WindowCell(WindowRecord& w, int row, int column) {
    if (row < 0 || row >= StoredRows(w) || column < 0 || column >= StoredColumns(w)) {
        return nullptr;
    }
    return &w.At(row, column);
}

// The window storage cell at (row, column), or null outside the 12 x 64 storage. Reads through
// a viewport may reach beyond the window's own size; they see what the storage holds there.
inline const Cell* StorageCell(const WindowRecord& w, int row, int column) {
    if (row < 0 || row >= kWindowMaxRows || column < 0 || column >= kWindowMaxColumns) {
        return nullptr;
    }
    return &w.At(row, column);
}

inline Cell* ScreenCell(ScreenPicture& screen, int row, int column) {
    if (row < 0 || row >= kScreenRows || column < 0 || column >= kScreenColumns) {
        return nullptr;
    }
    return &screen[row * kScreenColumns + column];
}

inline Cell* StripCell(Strip& strip, int row, int column) {
    if (row < 0 || row >= kStripRows || column < 0 || column >= kStripColumns) {
        return nullptr;
    }
    return &strip[row * kStripColumns + column];
}

// Blanks rows 0 .. height-1, columns 0 .. width-1 of the window picture.
inline void BlankWindow(WindowRecord& w) {
    for (int r = 0; r < StoredRows(w); ++r) {
        std::fill_n(&w.At(r, 0), StoredColumns(w), Cell::Blank());
    }
}

}  // namespace miraxld
