// Moving cells towards the display: a window's picture into the screen picture through its
// viewport, and the screen picture onto the link as one command sequence.
#include <algorithm>

#include "display/cell_grid.h"
#include "display/commands.h"
#include "display/display_rules.h"
#include "display/text_conversion.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

enum class RefreshMode { Normal, RightToLeft, Unicode };

// Window-0 attribute commands: the display blinks and reverses the whole screen itself.
void AppendWindowAttribute(CommandBuffer& out, int32_t attribute, int32_t blinkRate) {
    switch (attribute) {
        case kDispDtBlink:
            out.Append(Blink(blinkRate));
            break;
        case kDispDtReverse:
            out.Append(CMD_REVERSE_ON);
            break;
        case kDispDtBlinkReverse:
            out.Append(CMD_REVERSE_ON).Append(Blink(blinkRate));
            break;
        default:
            break;
    }
}

bool SlotEmpty(uint16_t code, RefreshMode mode) {
    return mode == RefreshMode::Unicode ? code == 0 : (code & 0xFF) == 0;
}

}  // namespace

int32_t CPOSLDisplay::RefreshScreen(int32_t window, int32_t attribute, bool resend) {
    BusyFlagGuard busy(m_commandBusy, Clock());
    // A display larger than the screen picture is drawn as far as the picture reaches.
    const int rows = std::clamp(m_deviceRows, 0, kScreenRows);
    const int columns = std::clamp(m_deviceColumns, 0, kScreenColumns);

    CommandBuffer out(16 + static_cast<size_t>(rows * columns) * 4);
    out.Append(CMD_HOME);
    if (window == 0) {
        AppendWindowAttribute(out, attribute, m_blinkRate);
    }
    if (resend) {
        const RefreshMode mode = (m_codePage == kCodePageUnicode || m_unicodeMode == 1)
                                     ? RefreshMode::Unicode
                                 : SendsRowsRightToLeft(*this) ? RefreshMode::RightToLeft
                                                               : RefreshMode::Normal;
        // A consistent copy of the rows sent: timer steps write the picture meanwhile.
        ScreenPicture picture;
        {
            BusyFlagGuard screen(m_screenLock, Clock());
            std::copy_n(m_screen.begin(), rows * kScreenColumns, picture.begin());
        }
        if (mode == RefreshMode::Unicode) {
            out.Append(UnicodeRunStart(m_leftToRight == 1));
        }
        bool reverseSent = false;  // whatever the attribute commands did
        for (int r = 0; r < rows; ++r) {
            for (int k = 0; k < columns; ++k) {
                const int c = mode == RefreshMode::RightToLeft ? columns - 1 - k : k;
                const Cell& cell = picture[r * kScreenColumns + c];
                for (uint16_t code : cell.code) {
                    if (SlotEmpty(code, mode)) {
                        continue;
                    }
                    const bool reverse = cell.reverse != 0;
                    if (reverse != reverseSent) {
                        out.Append(reverse ? CMD_REVERSE_ON : CMD_REVERSE_OFF);
                        reverseSent = reverse;
                    }
                    if (mode == RefreshMode::Unicode) {
                        out.Unit16(code);
                    } else {
                        out.Byte(static_cast<uint8_t>(code & 0xFF));
                    }
                }
            }
        }
        if (mode == RefreshMode::Unicode) {
            out.Append(CMD_UNICODE_TEXT_END);
        }
    }
    out.SendTo(m_port);
    return 0;
}

int32_t CPOSLDisplay::UpdateScreenFromWindow(int32_t window) {
    SemaphoreGuard compose(m_composeLock);
    BusyFlagGuard copying(m_screenCopyBusy, Clock());
    // Window numbers outside the records do nothing, like negative ones.
    if (window < 0 || window >= kWindowCount) {
        return 0;
    }
    WindowRecord& w = m_windows[window];

    // Erase what a scroll moved out of the picture.
    for (int r = 0; r < StoredRows(w); ++r) {
        for (int c = 0; c < StoredColumns(w); ++c) {
            bool erase = false;
            if (w.height == w.viewportHeight) {
                erase = (w.rowOffset > 0 && r < w.rowOffset) ||
                        (w.rowOffset < 0 && r >= w.height + w.rowOffset);
            } else if (w.width == w.viewportWidth) {
                erase = (w.columnOffset > 0 && c < w.columnOffset) ||
                        (w.columnOffset < 0 && c >= w.width + w.columnOffset);
            }
            if (erase) {
                w.At(r, c) = Cell::Blank();
            }
        }
    }
    if (w.active != 1) {
        return 0;
    }

    const bool taller = w.height > w.viewportHeight;
    const bool sameWidth = w.width == w.viewportWidth;
    // Viewport cells that fall outside the screen picture are not drawn.
    const int viewRows = std::clamp(w.viewportHeight, 0, kScreenRows);
    const int viewColumns = std::clamp(w.viewportWidth, 0, kScreenColumns);
    for (int vr = 0; vr < viewRows; ++vr) {
        for (int vc = 0; vc < viewColumns; ++vc) {
            Cell* target = ScreenCell(m_screen, w.viewportRow + vr, w.viewportColumn + vc);
            if (target == nullptr) {
                continue;
            }
            const int sr = vr + w.rowOffset;
            const int sc = vc + w.columnOffset;
            bool blank;
            if (taller) {
                blank = (w.columnOffset < 0 && sc < 0) ||
                        (w.columnOffset > 0 && vc >= w.width - w.columnOffset);
            } else {
                blank = (w.rowOffset < 0 && sr < 0) ||
                        (w.rowOffset > 0 && vr >= w.height - w.rowOffset) ||
                        (sameWidth && w.columnOffset < 0 && sc < 0) ||
                        (sameWidth && w.columnOffset > 0 && vc >= w.width - w.columnOffset);
            }
            // A source outside the window storage shows blank.
            const Cell* source = blank ? nullptr : StorageCell(w, sr, sc);
            BusyFlagGuard screen(m_screenLock, Clock());
            *target = source != nullptr ? *source : Cell::Blank();
        }
    }
    return 0;
}

}  // namespace miraxld
