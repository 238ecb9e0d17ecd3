// The window stack (CreateWindow, DestroyWindow, RefreshWindow), ScrollText, and the timer step
// shared by the emulated marquee and blink.
#include <algorithm>

#include "display/cell_grid.h"
#include "display/commands.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int kDestroySettleMs = 27;  // lets a running step end after the timers go
constexpr int kRefreshSettleMs = 10;
constexpr int kScreenCopyPollMs = 5;
constexpr int32_t kHebrew = 1255;
constexpr int32_t kArabic = 1256;

enum ScrollDirection : int32_t {
    kScrollUp = 1,
    kScrollDown = 2,
    kScrollLeft = 3,
    kScrollRight = 4
};

bool HasTimers(int32_t window) {
    return window >= 1 && window <= 3;
}

// Geometry that the window pictures, the screen picture and the strips can all hold. Windows
// that do not fit are refused (106) instead of being clipped, so that every later copy between
// window, strip and screen stays inside the display.
bool FitsStorageAndDisplay(const CPOSLDisplay& so, int32_t viewportRow, int32_t viewportColumn,
                           int32_t viewportHeight, int32_t viewportWidth, int32_t windowHeight,
                           int32_t windowWidth) {
    if (viewportHeight < 1 || viewportWidth < 1) {
        return false;
    }
    if (windowHeight < viewportHeight || windowWidth < viewportWidth) {
        return false;  // a viewport shows part of its window, never more
    }
    if (windowHeight > kWindowMaxRows || windowWidth > kWindowMaxColumns) {
        return false;
    }
    if (viewportRow < 0 || viewportColumn < 0) {
        return false;
    }
    // 64-bit sums: the arguments come straight from the application.
    const int64_t bottom = int64_t{viewportRow} + viewportHeight;
    const int64_t right = int64_t{viewportColumn} + viewportWidth;
    return bottom <= std::min(so.m_deviceRows, kScreenRows) &&
           right <= std::min(so.m_deviceColumns, kScreenColumns);
}

void InitialiseWindow(WindowRecord& w, int32_t viewportRow, int32_t viewportColumn,
                      int32_t viewportHeight, int32_t viewportWidth, int32_t windowHeight,
                      int32_t windowWidth) {
    w.active = 1;
    w.cursorRow = 0;
    w.cursorColumn = 0;
    w.viewportRow = viewportRow;
    w.viewportColumn = viewportColumn;
    w.viewportHeight = viewportHeight;
    w.viewportWidth = viewportWidth;
    w.height = windowHeight;
    w.width = windowWidth;
    w.windowProperty = 0;
    w.marqueeType = kMarqueeNone;
    w.marqueeUnitWait = 300;
    w.marqueeRepeatWait = 300;
    w.blinkRate = 300;
    w.marqueeFormat = 0;
    w.rowOffset = 0;
    w.columnOffset = 0;
    w.ltrRunStart = -1;
    w.ltrRunEnd = -1;
    // Rows 8 to 11 keep what an earlier window of this number left there.
    std::fill_n(w.cells.begin(), kScreenRows * kWindowMaxColumns, Cell::Blank());
}

// How far the window can scroll in `direction`; 0 for an unknown direction.
int32_t ScrollLimit(const WindowRecord& w, int32_t direction) {
    const bool fullHeight = w.height == w.viewportHeight;
    const bool fullWidth = w.width == w.viewportWidth;
    switch (direction) {
        case kScrollUp:
            return fullHeight ? w.height - w.rowOffset : w.height - w.rowOffset - w.viewportHeight;
        case kScrollDown:
            return fullHeight ? w.rowOffset + w.height : w.rowOffset;
        case kScrollLeft:
            return fullWidth ? w.width - w.columnOffset
                             : w.width - w.columnOffset - w.viewportWidth;
        case kScrollRight:
            return fullWidth ? w.columnOffset + w.width : w.columnOffset;
        default:
            return 0;
    }
}

// The strip column shown in viewport column vc at step s of a left marquee under a
// right-to-left character set: the latest left-to-right run [a, e] is held still while it
// passes, so that it reads in its own order.
int LeftToRightRunColumn(const WindowRecord& w, int s, int vc) {
    const int a = w.ltrRunStart;
    const int e = w.ltrRunEnd;
    const int v = w.viewportWidth;
    if (a < s && s <= e) {
        return vc < a - s + v ? s + vc : e + 1 + vc;
    }
    if (s <= a + v || s > v + e || vc > e - s + v) {
        return s + vc;
    }
    return a + v + vc;
}

}  // namespace

HResult CPOSLDisplay::CreateWindow(int32_t viewportRow, int32_t viewportColumn,
                                   int32_t viewportHeight, int32_t viewportWidth,
                                   int32_t windowHeight, int32_t windowWidth, int32_t* pRC) {
    if (m_claimed == 0) {
        return Finish(OPOS_E_NOTCLAIMED, pRC);
    }
    if (m_deviceEnabled == 0) {
        return Finish(OPOS_E_DISABLED, pRC);
    }
    if (windowHeight > viewportHeight && windowWidth > viewportWidth) {
        return Finish(OPOS_E_ILLEGAL, pRC);  // larger than the viewport one way only
    }
    if (viewportWidth > m_columns || viewportHeight > m_rows) {
        return Finish(OPOS_E_ILLEGAL, pRC);
    }
    // The stack holds windows 0 to 4; a fifth created window has no record.
    if (m_currentWindow < 0 || m_currentWindow >= kWindowCount - 1) {
        return Finish(OPOS_E_ILLEGAL, pRC);
    }
    if (!FitsStorageAndDisplay(*this, viewportRow, viewportColumn, viewportHeight, viewportWidth,
                               windowHeight, windowWidth)) {
        return Finish(OPOS_E_ILLEGAL, pRC);
    }
    const int32_t window = m_currentWindow + 1;
    // The record may be one whose blink or marquee still ticks (CurrentWindow was set below
    // it): those timers would paint the old text into the new window.
    DeleteMarqueeTimer(window);
    DeleteBlinkTimer(window);
    {
        // A late tick of a timer deleted earlier may still read this record.
        BusyFlagGuard stepping(m_stepping, Clock());
        InitialiseWindow(m_windows[window], viewportRow, viewportColumn, viewportHeight,
                         viewportWidth, windowHeight, windowWidth);
        m_currentWindow = window;
    }
    {
        BusyFlagGuard busy(m_commandBusy, Clock());
        Send(m_port, SetCursor(viewportColumn, viewportRow));
    }
    return Finish(OPOS_SUCCESS, pRC);
}

HResult CPOSLDisplay::DestroyWindow(int32_t* pRC) {
    if (m_currentWindow > 0 && m_currentWindow < kWindowCount) {
        const int32_t window = m_currentWindow;
        DeleteMarqueeTimer(window);
        DeleteBlinkTimer(window);
        Clock().SleepMs(kDestroySettleMs);
        {
            BusyFlagGuard stepping(m_stepping, Clock());
            m_windows[window].marqueeTick = 0;
            m_windows[window].marqueeSteps = 0;
        }
        m_currentWindow = window - 1;
    } else if (m_currentWindow != 0) {
        m_currentWindow = 0;  // an index outside the stack can only fall back to the display
    }
    const WindowRecord& whole = m_windows[0];
    m_rows = whole.height;
    m_columns = whole.width;
    m_cursorRow = whole.cursorRow;
    m_cursorColumn = whole.cursorColumn;
    m_marqueeType = whole.marqueeType;
    m_interCharacterWait = whole.windowProperty;
    m_marqueeRepeatWait = whole.marqueeRepeatWait;
    m_marqueeUnitWait = whole.marqueeUnitWait;
    m_marqueeFormat = whole.marqueeFormat;
    return Finish(OPOS_SUCCESS, pRC);
}

HResult CPOSLDisplay::RefreshWindow(int32_t window, int32_t* pRC) {
    // Only windows that exist can be shown; anything else would compose from a record that
    // was never set up.
    if (window < 0 || window >= kWindowCount || m_windows[window].active != 1) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    m_currentWindow = window;
    UpdateScreenFromWindow(window);
    Clock().SleepMs(kRefreshSettleMs);
    RefreshScreen(m_currentWindow, 0, true);
    return Fail(OPOS_SUCCESS, 0, pRC);
}

HResult CPOSLDisplay::ScrollText(int32_t direction, int32_t units, int32_t* pRC) {
    if (m_marqueeType != kMarqueeNone) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    // Unknown directions and Units below 1 would leave the offsets outside their limits.
    if (direction < kScrollUp || direction > kScrollRight || units < 1) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    if (m_currentWindow < 0 || m_currentWindow >= kWindowCount) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    const int32_t window = m_currentWindow;
    WindowRecord& w = m_windows[window];
    const int32_t limit = ScrollLimit(w, direction);
    if (limit <= 0) {
        // Nothing left to scroll: the picture is already at its edge, which is not an error.
        return Fail(OPOS_SUCCESS, 0, pRC);
    }
    const int32_t n = std::min(units, limit);
    switch (direction) {
        case kScrollUp:
            w.rowOffset += n;
            w.cursorRow += w.height == w.viewportHeight ? n : 0;
            break;
        case kScrollDown:
            w.rowOffset -= n;
            w.cursorRow -= w.height == w.viewportHeight ? n : 0;
            break;
        case kScrollLeft:
            w.columnOffset += n;
            w.cursorColumn += w.width == w.viewportWidth ? n : 0;
            break;
        default:
            w.columnOffset -= n;
            w.cursorColumn -= w.width == w.viewportWidth ? n : 0;
            break;
    }
    m_cursorRow = w.cursorRow - w.rowOffset + w.viewportRow;
    m_cursorColumn = w.cursorColumn - w.columnOffset + w.viewportColumn;
    m_screenCopyBusy.WaitClear(Clock(), kScreenCopyPollMs);
    UpdateScreenFromWindow(window);
    RefreshScreen(window, 0, true);
    return Fail(OPOS_SUCCESS, 0, pRC);
}

// Entered from a timer callback that holds m_stepping; every path lets it go.
int32_t CPOSLDisplay::StepEffects(int32_t window) {
    struct StepDone {
        BusyFlag& flag;
        ~StepDone() { flag.Release(); }
    } done{m_stepping};
    if (!HasTimers(window)) {
        return 0;
    }
    WindowRecord& w = m_windows[window];
    if ((w.active != 1 || w.marqueeType == kMarqueeNone) && w.blinkPhase == w.blinkPhaseShown) {
        return 0;
    }
    if (w.marqueeTick == 1) {
        if (w.marqueeType >= kMarqueeUp && w.marqueeType <= kMarqueeRight) {
            MarqueeStep(window);
        }
        SemaphoreGuard output(m_outputLock);
        if (m_marqueeTimer[window] != 0 || m_blinkTimer[window] != 0) {
            RefreshScreen(window, 0, true);
        }
    }
    if (w.blinkPhase != w.blinkPhaseShown) {
        BlinkStep(window);
    }
    return 0;
}

void CPOSLDisplay::MarqueeStep(int32_t window) {
    if (!HasTimers(window)) {
        return;
    }
    WindowRecord& w = m_windows[window];
    {
        TwoFlagGuard locks(m_screenLock, m_stripLock, Clock());
        if (m_marqueeTimer[window] != 0 || m_blinkTimer[window] != 0) {
            Strip& strip = m_marqueeBuffer[window];
            const int s = w.marqueeSteps;
            const bool rightToLeft = m_characterSet == kHebrew || m_characterSet == kArabic;
            const int rows = std::clamp(w.viewportHeight, 0, kScreenRows);
            const int columns = std::clamp(w.viewportWidth, 0, kScreenColumns);
            for (int vr = 0; vr < rows; ++vr) {
                for (int vc = 0; vc < columns; ++vc) {
                    int r = vr;
                    int c = vc;
                    switch (w.marqueeType) {
                        case kMarqueeUp:
                            r = s + vr;
                            break;
                        case kMarqueeDown:
                            r = w.height - s + vr;
                            break;
                        case kMarqueeLeft:
                            c = rightToLeft ? LeftToRightRunColumn(w, s, vc) : s + vc;
                            break;
                        default:
                            c = w.width - s + vc;
                            break;
                    }
                    Cell* target = ScreenCell(m_screen, w.viewportRow + vr, w.viewportColumn + vc);
                    if (target == nullptr) {
                        continue;
                    }
                    const Cell* source = StripCell(strip, r, c);
                    *target = source != nullptr ? *source : Cell::Blank();
                }
            }
            const bool vertical = w.marqueeType == kMarqueeUp || w.marqueeType == kMarqueeDown;
            const int cycle = vertical ? w.height : w.width;
            if (cycle > 0) {
                w.marqueeSteps = s % cycle;
            }
        }
    }
    w.marqueeTick = 0;
}

}  // namespace miraxld
