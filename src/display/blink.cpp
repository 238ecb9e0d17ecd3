#include "display/blink.h"

#include <algorithm>

#include "display/cell_grid.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {
bool HasBlinkTimerSlot(int32_t window) {
    return window >= 1 && window <= 3;
}
}  // namespace

// The strip row holds blanks for the viewport's width, then the window row: the same layout
// the left marquee scrolls through, so one copy serves both.
void StartWindowBlink(CPOSLDisplay& so, int32_t window) {
    if (window < 0 || window >= kWindowCount) {
        return;
    }
    WindowRecord& w = so.m_windows[window];
    {
        BusyFlagGuard strip(so.m_stripLock, so.Clock());
        Strip& copy = so.m_marqueeBuffer[window];
        const int lead = std::clamp(w.viewportWidth, 0, kStripColumns);
        for (int r = 0; r < StoredRows(w); ++r) {
            std::fill_n(StripCell(copy, r, 0), lead, Cell::Blank());
            for (int c = 0; c < StoredColumns(w); ++c) {
                if (Cell* target = StripCell(copy, r, lead + c)) {
                    *target = w.At(r, c);
                }
            }
        }
    }
    if (HasBlinkTimerSlot(window) && so.m_blinkTimer[window] == 0) {
        so.m_blinkPeriod = std::max(so.m_blinkPeriodFloor, w.blinkRate);
        so.CreateBlinkTimer(window);
    }
}

void CPOSLDisplay::BlinkStep(int32_t window) {
    if (!HasBlinkTimerSlot(window)) {
        return;
    }
    WindowRecord& w = m_windows[window];
    if (w.blinkPhase == w.blinkPhaseShown) {
        return;
    }
    {
        TwoFlagGuard locks(m_screenLock, m_stripLock, Clock());
        if (m_marqueeTimer[window] != 0 || m_blinkTimer[window] != 0) {
            Strip& strip = m_marqueeBuffer[window];
            // A left marquee shows the strip from its current step, everything else from the
            // start of the window copy.
            const int first = w.marqueeType == kMarqueeLeft ? w.marqueeSteps : w.viewportWidth;
            const int rows = std::clamp(w.viewportHeight, 0, kScreenRows);
            const int columns = std::clamp(w.viewportWidth, 0, kScreenColumns);
            for (int vr = 0; vr < rows; ++vr) {
                for (int vc = 0; vc < columns; ++vc) {
                    Cell* target = ScreenCell(m_screen, w.viewportRow + vr, w.viewportColumn + vc);
                    if (target == nullptr) {
                        continue;
                    }
                    const Cell* source =
                        w.blinkPhase == 1 ? nullptr : StripCell(strip, vr, first + vc);
                    *target = source != nullptr ? *source : Cell::Blank();
                }
            }
        }
    }
    w.blinkPhaseShown = w.blinkPhase;
    SemaphoreGuard output(m_outputLock);
    RefreshScreen(window, 0, true);
}

}  // namespace miraxld
