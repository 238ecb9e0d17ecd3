// SetPropertyNumber: the writable numeric properties, as a table from index to writer.
#include <algorithm>
#include <array>

#include "config/model_catalogue.h"
#include "display/cell_grid.h"
#include "display/commands.h"
#include "display/text_conversion.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int32_t kMinimumRepeatWait = 100;
constexpr int32_t kMinimumBlinkRate = 100;
constexpr int32_t kMinimumUnitWait = 200;
constexpr int kStopSettleMs = 27;      // lets a running marquee step end after its timer goes
constexpr int kRestartSettleMs = 100;  // the same before a timer is re-created
constexpr int32_t kHebrew = 1255;
constexpr int32_t kArabic = 1256;

bool InStorage(int32_t window) {
    return window >= 0 && window < kWindowCount;
}

WindowRecord& Current(CPOSLDisplay& so) {
    return so.m_windows[InStorage(so.m_currentWindow) ? so.m_currentWindow : 0];
}

// The 16-bit code page in force or the Unicode flag: either way text goes as UTF-16.
bool InUnicodeMode(const CPOSLDisplay& so) {
    return so.m_codePage == kCodePageUnicode || so.m_unicodeMode != 0;
}

bool RightToLeftCharacterSet(const CPOSLDisplay& so) {
    return so.m_characterSet == kHebrew || so.m_characterSet == kArabic;
}

// The current window's cursor on the display's wire (1-based), sent under the command flag so
// that the four bytes never interleave with a screen resend.
void SendCursor(CPOSLDisplay& so) {
    const WindowRecord& w = Current(so);
    BusyFlagGuard busy(so.m_commandBusy, so.Clock());
    Send(so.m_port, SetCursor(w.cursorColumn, w.cursorRow));
}

// Cursor positions must stay inside the current window: rows 0 to height-1, columns 0 to
// width (width itself is the place after the last column, where the next character wraps).
// Anything else is refused with 106 and changes nothing.
bool RefuseCursor(CPOSLDisplay& so, int32_t value, int32_t highest) {
    if (value < 0 || value > highest) {
        so.m_resultCode = OPOS_E_ILLEGAL;
        return true;
    }
    return false;
}

void WriteDeviceEnabled(CPOSLDisplay& so, int32_t number) {
    if (so.m_claimed == 0) {
        // The flag keeps its value; a disabled object still loses the timers that a marquee
        // write (which needs no claim) may have left.
        so.m_resultCode = OPOS_E_NOTCLAIMED;
    } else {
        so.m_deviceEnabled = number != 0 ? 1 : 0;
    }
    if (so.m_deviceEnabled == 0) {
        for (int32_t w = 1; w <= 3; ++w) {
            so.DeleteMarqueeTimer(w);
            so.DeleteBlinkTimer(w);
        }
    }
}

void WriteCurrentWindow(CPOSLDisplay& so, int32_t number) {
    // Only the five window records exist; anything else is refused and changes nothing.
    if (!InStorage(number)) {
        so.m_resultCode = OPOS_E_ILLEGAL;
        return;
    }
    so.m_currentWindow = number;
    const WindowRecord& w = so.m_windows[number];
    so.m_rows = w.height;
    so.m_columns = w.width;
    so.m_cursorRow = w.cursorRow;
    so.m_cursorColumn = w.cursorColumn;
    so.m_blinkRate = w.blinkRate;
    so.m_marqueeFormat = w.marqueeFormat;
    so.m_interCharacterWait = w.windowProperty;
    so.m_marqueeRepeatWait = w.marqueeRepeatWait;
    so.m_marqueeType = w.marqueeType;
    so.m_marqueeUnitWait = w.marqueeUnitWait;
}

// The row of window cells as the display's own scrolling takes it: the cell's code slots,
// two bytes each in Unicode mode, else their low bytes; then the end mark.
void AppendFirstRow(CommandBuffer& out, const CPOSLDisplay& so, const WindowRecord& w,
                    bool unicodeEnd) {
    for (int c = 0; c < StoredColumns(w); ++c) {
        for (uint16_t unit : w.At(0, c).code) {
            if (unit == 0) {
                continue;
            }
            if (InUnicodeMode(so)) {
                out.Unit16(unit);
            } else {
                out.Byte(static_cast<uint8_t>(unit & 0xFF));
            }
        }
    }
    out.Append(unicodeEnd ? CommandBytes(CMD_UNICODE_TEXT_END)
                          : CommandBytes(CMD_MARQUEE_TEXT_END));
}

void BuildMarqueeStrip(CPOSLDisplay& so, int32_t window, int32_t type) {
    WindowRecord& w = so.m_windows[window];
    BusyFlagGuard strip(so.m_stripLock, so.Clock());
    Strip& s = so.m_marqueeBuffer[window];
    std::fill(s.begin(), s.end(), Cell::Blank());
    const int rows = StoredRows(w);
    const int columns = StoredColumns(w);
    const int leadRows = type == kMarqueeUp ? std::clamp(w.viewportHeight, 0, kStripRows) : 0;
    const int leadColumns =
        type == kMarqueeLeft ? std::clamp(w.viewportWidth, 0, kStripColumns) : 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (Cell* target = StripCell(s, leadRows + r, leadColumns + c)) {
                *target = w.At(r, c);
            }
        }
    }
    const bool vertical = type == kMarqueeUp || type == kMarqueeDown;
    so.m_scrollLength = vertical ? w.viewportHeight + w.height : w.viewportWidth + w.width;
}

void WriteMarqueeType(CPOSLDisplay& so, int32_t type) {
    const int32_t index = InStorage(so.m_currentWindow) ? so.m_currentWindow : 0;
    WindowRecord& w = so.m_windows[index];
    so.m_hwMarqueeLine = 0;
    const bool horizontal = type == kMarqueeLeft || type == kMarqueeRight;
    const bool vertical = type == kMarqueeUp || type == kMarqueeDown;
    if (horizontal && w.width == w.viewportWidth) {
        so.m_resultCode = OPOS_E_ILLEGAL;
        so.m_resultCodeExtended = kExtHMarqueeTooNarrow;
        return;
    }
    if (vertical && w.height == w.viewportHeight) {
        so.m_resultCode = OPOS_E_ILLEGAL;
        so.m_resultCodeExtended = kExtVMarqueeTooShort;
        return;
    }
    if (w.marqueeType == kMarqueeInit && type != kMarqueeInit) {
        so.RefreshScreen(index, 0, true);
    }
    so.m_previousMarqueeType = w.marqueeType;
    {
        // A running tick of this window reads its type and step state.
        BusyFlagGuard stepping(so.m_stepping, so.Clock());
        w.marqueeType = type;
        w.marqueeTick = 1;
    }
    so.m_marqueeType = type;
    so.m_marqueeRunning = (horizontal || vertical) ? 1 : 0;

    const bool kt910 = so.m_deviceModel == kModelKT910;
    const bool kt310 = so.m_deviceModel == kModelKT310;
    const bool displayScrolls =
        ((kt910 && so.m_firmwareVersion >= 300000 && RightToLeftCharacterSet(so)) ||
         (kt310 && so.m_firmwareVersion >= 183000)) &&
        w.viewportWidth == so.m_deviceColumns && w.viewportHeight == 1;
    if (displayScrolls && w.viewportRow >= 0 && w.viewportRow <= 2) {
        so.m_hwMarqueeLine = w.viewportRow + 1;
    }
    const int line = so.m_hwMarqueeLine;
    const bool unicodeKt910 = kt910 && so.m_firmwareVersion >= 300001 && InUnicodeMode(so);
    const bool wasStill =
        so.m_previousMarqueeType == kMarqueeNone || so.m_previousMarqueeType == kMarqueeInit;
    const bool wasMoving =
        so.m_previousMarqueeType >= kMarqueeUp && so.m_previousMarqueeType <= kMarqueeRight;
    const bool stopping = type == kMarqueeNone || type == kMarqueeInit;

    if (wasStill && so.m_marqueeRunning != 0 && line != 0) {
        // Start, text and end mark go as one write under the command flag: a timer resend
        // landing between them would be taken, and scrolled, as part of the text.
        CommandBuffer upload;
        if (line == 1 || line == 2) {
            if (type == kMarqueeRight || (type == kMarqueeLeft && RightToLeftCharacterSet(so))) {
                if (unicodeKt910) {
                    upload.Append(MarqueeStart(static_cast<uint8_t>(line)));
                } else {
                    upload.Append(MarqueeLegacyStart(line));
                }
            } else if (type == kMarqueeLeft && kt310) {
                upload.Append(MarqueeLineLeft(line));
            }
        } else if (line == 3 && type == kMarqueeLeft && kt310) {
            upload.Append(MarqueeLineLeft(3));
        }
        AppendFirstRow(upload, so, w, unicodeKt910);
        BusyFlagGuard busy(so.m_commandBusy, so.Clock());
        upload.SendTo(so.m_port);
        return;
    }
    if (wasMoving && stopping && line != 0) {
        if (kt910 && so.m_firmwareVersion > 300000 && InUnicodeMode(so)) {
            Send(so.m_port, MarqueeStop(static_cast<uint8_t>(line)));
        } else if (kt910) {
            Send(so.m_port, MarqueeLegacyStop(line));
        } else if (kt310) {
            Send(so.m_port, CMD_CLEAR);
        }
        return;
    }
    if (stopping) {
        if (index >= 1 && index <= 3 && so.m_marqueeTimer[index] != 0) {
            so.DeleteMarqueeTimer(index);
            {
                BusyFlagGuard stepping(so.m_stepping, so.Clock());
                so.m_windows[1].marqueeTick = 0;
                so.m_windows[1].marqueeSteps = 0;
            }
            so.Clock().SleepMs(kStopSettleMs);
        }
        return;
    }
    if (so.m_marqueeRunning == 0) {
        return;  // a type outside 0 to 5 is stored, but nothing moves
    }

    BuildMarqueeStrip(so, index, type);
    {
        // The step state a running tick reads changes only while no step runs.
        BusyFlagGuard stepping(so.m_stepping, so.Clock());
        w.marqueeSteps = 0;
        w.marqueeTick = 0;
    }
    so.m_marqueePeriod = std::max(so.m_marqueeWaitFloor, w.marqueeUnitWait);
    so.CreateMarqueeTimer(index);  // windows 1 to 3 only; an existing timer keeps its period
}

void WriteMarqueeUnitWait(CPOSLDisplay& so, int32_t number) {
    const int32_t index = so.m_currentWindow;
    if (index == 0 || !InStorage(index)) {
        return;
    }
    WindowRecord& w = so.m_windows[index];
    const int32_t v = std::max(number, kMinimumUnitWait);
    so.m_marqueeUnitWait = v;
    w.marqueeUnitWait = v;
    so.m_marqueePeriod = std::max(so.m_marqueeWaitFloor, v);
    if (index <= 3 && so.m_marqueeTimer[index] != 0) {
        // Only the handle goes: the step state survives the new period.
        so.m_marqueeTimerId[index] = 0;
        so.m_platform.Timers().Delete(so.m_marqueeTimer[index]);
        so.m_marqueeTimer[index] = 0;
        so.Clock().SleepMs(kRestartSettleMs);
        so.CreateMarqueeTimer(index);
    }
}

HResult WriteScreenMode(CPOSLDisplay& so, int32_t number) {
    if (so.m_claimed == 0) {
        so.m_resultCode = OPOS_E_NOTCLAIMED;
        return OPOS_E_NOTCLAIMED;
    }
    if (so.m_deviceEnabled == 0) {
        so.m_resultCode = OPOS_E_DISABLED;
        return OPOS_E_DISABLED;
    }
    const int32_t index = InStorage(so.m_currentWindow) ? so.m_currentWindow : 0;
    WindowRecord& w = so.m_windows[index];
    if (w.marqueeType != kMarqueeNone && w.marqueeType != kMarqueeInit) {
        so.DeleteMarqueeTimer(index);
    }
    so.DeleteBlinkTimer(index);
    if (number == so.m_screenMode) {
        return OPOS_SUCCESS;
    }
    so.m_screenMode = number;

    for (int r = 0; r < StoredRows(w); ++r) {
        for (int c = 0; c < StoredColumns(w); ++c) {
            w.At(r, c) = Cell::Blank();
        }
    }
    w.cursorRow = 0;
    w.cursorColumn = 0;
    {
        BusyFlagGuard strip(so.m_stripLock, so.Clock());
        Strip& s = so.m_marqueeBuffer[index];
        std::fill(s.begin(), s.end(), Cell::Blank());
    }
    so.m_screenCopyBusy.WaitClear(so.Clock());
    so.m_screenLock.WaitClear(so.Clock());
    so.UpdateScreenFromWindow(index);
    so.RefreshScreen(index, 0, true);

    so.m_currentWindow = 0;
    // An identifier the display did not report keeps the size; the display is still asked.
    if (const ScreenModeRecord* mode = so.ReportedScreenMode(number)) {
        so.SetDeviceSize(mode->rows, mode->columns);
        const int32_t rows = so.m_deviceRows;
        const int32_t columns = so.m_deviceColumns;
        WindowRecord& whole = so.m_windows[0];
        whole.height = whole.viewportHeight = rows;
        whole.width = whole.viewportWidth = columns;
        whole.viewportRow = whole.viewportColumn = 0;
        whole.cursorRow = whole.cursorColumn = 0;
        whole.rowOffset = whole.columnOffset = 0;
        whole.active = 1;
        so.m_rows = rows;
        so.m_columns = columns;
        so.m_cursorRow = 0;
        so.m_cursorColumn = 0;
    }
    Send(so.m_port, SelectScreenMode(static_cast<uint8_t>(number & 0xFF)));
    return OPOS_SUCCESS;
}

using Writer = void (*)(CPOSLDisplay&, int32_t);

struct WritableProperty {
    int32_t index;
    Writer write;
};

const std::array<WritableProperty, 19> kWritable = {{
    {3, WriteDeviceEnabled},
    {4, [](CPOSLDisplay& s, int32_t n) { s.m_freezeEvents = n != 0 ? 1 : 0; }},
    {11, [](CPOSLDisplay& s, int32_t n) { s.m_binaryConversion = n; }},
    {13, [](CPOSLDisplay& s, int32_t n) { s.m_powerNotify = n; }},
    {5001, [](CPOSLDisplay& s, int32_t n) { s.WriteCharacterSet(n); }},
    {5003, WriteCurrentWindow},
    {5004,
     [](CPOSLDisplay& s, int32_t n) {
         if (RefuseCursor(s, n, StoredColumns(Current(s)))) {
             return;
         }
         s.m_cursorColumn = n;
         Current(s).cursorColumn = n;
         SendCursor(s);
     }},
    {5005,
     [](CPOSLDisplay& s, int32_t n) {
         if (RefuseCursor(s, n, StoredRows(Current(s)) - 1)) {
             return;
         }
         s.m_cursorRow = n;
         Current(s).cursorRow = n;
         SendCursor(s);
     }},
    {5006, [](CPOSLDisplay& s, int32_t n) { s.m_cursorUpdate = static_cast<int16_t>(n & 0xFFFF); }},
    {5007,
     [](CPOSLDisplay& s, int32_t n) {
         s.m_deviceBrightness = n;
         Send(s.m_port, Brightness(static_cast<uint8_t>(n & 0xFF)));
     }},
    {5012,
     [](CPOSLDisplay& s, int32_t n) {
         s.m_marqueeFormat = n;
         Current(s).marqueeFormat = n;
     }},
    {5013,
     [](CPOSLDisplay& s, int32_t n) {
         const int32_t v = std::max(n, kMinimumRepeatWait);
         s.m_marqueeRepeatWait = v;
         Current(s).marqueeRepeatWait = v;
     }},
    {5014, WriteMarqueeType},
    {5015, WriteMarqueeUnitWait},
    // The value written back is the window's own, loaded at the last CurrentWindow change:
    // InterCharacterWait has no effect on output here.
    {5017, [](CPOSLDisplay& s, int32_t) { Current(s).windowProperty = s.m_interCharacterWait; }},
    {5018,
     [](CPOSLDisplay& s, int32_t n) {
         const int32_t v = std::max(n, kMinimumBlinkRate);
         s.m_blinkRate = v;
         Current(s).blinkRate = v;
     }},
    {5019, [](CPOSLDisplay& s, int32_t n) { s.m_cursorType = n; }},
    {5022,
     [](CPOSLDisplay& s, int32_t n) {
         if (n != 0) {
             s.m_mapCharacterSet = 1;
         }
     }},
    {5025, nullptr},  // ScreenMode returns its own status
}};

}  // namespace

HResult CPOSLDisplay::SetPropertyNumber(int32_t propIndex, int32_t number) {
    m_resultCode = OPOS_SUCCESS;
    const auto row = std::find_if(kWritable.begin(), kWritable.end(),
                                  [&](const WritableProperty& p) { return p.index == propIndex; });
    if (row == kWritable.end()) {
        m_resultCode = OPOS_E_ILLEGAL;
        return OPOS_E_ILLEGAL;
    }
    if (row->write == nullptr) {
        return WriteScreenMode(*this, number);
    }
    row->write(*this, number);
    return OPOS_SUCCESS;
}

}  // namespace miraxld
