// Creating and deleting the blink and marquee timers of windows 1 to 3, and their callbacks.
//
// A callback may run after its timer was deleted, even after the object is gone: it holds the
// object's lifeline (service_object/lifeline.h) and enters the object only through it. A tick
// that reaches m_stepping after its timer was deleted does nothing: the deleting thread waited
// only for the steps already under way, and may be resetting the object (OpenService, the
// claim) under it. It does what the tick would have done had the deletion come a moment
// earlier and cancelled it.
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {
constexpr int kFirstTickMs = 10;
bool HasTimers(int32_t window) {
    return window >= 1 && window <= 3;
}
bool IsWindow(int32_t window) {
    return window >= 0 && window < kWindowCount;
}
// Ids wrap after 2^32 timers; 0 means none and is never given.
uint32_t NextTimerId(std::atomic<uint32_t>& counter) {
    uint32_t id = 0;
    while (id == 0) {
        id = ++counter;
    }
    return id;
}
}  // namespace

void CPOSLDisplay::CreateMarqueeTimer(int32_t window) {
    if (!HasTimers(window) || m_marqueeTimer[window] != 0) {
        return;  // a running timer keeps its period
    }
    const uint32_t id = NextTimerId(m_nextTimerId);
    m_marqueeTimerId[window] = id;  // before the first tick can look
    m_marqueeTimer[window] = m_platform.Timers().Create(
        kFirstTickMs, m_marqueePeriod, [lifeline = m_lifeline, this, window, id] {
            if (const Lifeline::Pass pass{*lifeline}) {
                MarqueeTimerTick(window, id);
            }
        });
}

void CPOSLDisplay::CreateBlinkTimer(int32_t window) {
    if (!HasTimers(window) || m_blinkTimer[window] != 0) {
        return;
    }
    const uint32_t id = NextTimerId(m_nextTimerId);
    m_blinkTimerId[window] = id;
    m_blinkTimer[window] = m_platform.Timers().Create(
        kFirstTickMs, m_blinkPeriod, [lifeline = m_lifeline, this, window, id] {
            if (const Lifeline::Pass pass{*lifeline}) {
                BlinkTimerTick(window, id);
            }
        });
}

void CPOSLDisplay::DeleteMarqueeTimer(int32_t window) {
    if (!IsWindow(window) || m_marqueeTimer[window] == 0) {
        return;
    }
    m_marqueeTimerId[window] = 0;
    m_platform.Timers().Delete(m_marqueeTimer[window]);
    m_marqueeTimer[window] = 0;
    // A tick already under way still reads the step state.
    BusyFlagGuard stepping(m_stepping, Clock());
    m_windows[window].marqueeTick = 0;
    m_windows[window].marqueeSteps = 0;
}

void CPOSLDisplay::DeleteBlinkTimer(int32_t window) {
    if (!IsWindow(window) || m_blinkTimer[window] == 0) {
        return;
    }
    m_blinkTimerId[window] = 0;
    m_platform.Timers().Delete(m_blinkTimer[window]);
    m_blinkTimer[window] = 0;
    // A tick already under way may still put the blink copy on the screen; once it is done,
    // later ticks of the deleted timer find their id gone and do nothing.
    BusyFlagGuard stepping(m_stepping, Clock());
    m_windows[window].lastAttribute = 0;
}

void CPOSLDisplay::DeleteAllWindowTimers() {
    for (int32_t window = 1; window < kWindowCount; ++window) {
        DeleteMarqueeTimer(window);
        DeleteBlinkTimer(window);
    }
}

// The step state is changed only while m_stepping is held, so a tick never races another
// window's step or the method thread's resets that also take the flag.
void CPOSLDisplay::MarqueeTimerTick(int32_t window, uint32_t id) {
    m_stepping.Acquire(Clock());
    if (m_marqueeTimerId[window] != id) {
        return m_stepping.Release();
    }
    m_windows[window].marqueeSteps += 1;
    m_windows[window].marqueeTick = 1;
    StepEffects(window);
}

void CPOSLDisplay::BlinkTimerTick(int32_t window, uint32_t id) {
    m_stepping.Acquire(Clock());
    if (m_blinkTimerId[window] != id) {
        return m_stepping.Release();
    }
    m_windows[window].blinkPhase ^= 1;
    StepEffects(window);
}

}  // namespace miraxld
