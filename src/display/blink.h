// Emulated blinking of windows 1 to 3 (window 0 blinks in the display itself).
#pragma once

#include <cstdint>

namespace miraxld {

class CPOSLDisplay;

// Takes the window's blink copy (what the blink restores) and starts its blink timer unless it
// already runs. Window 0 and windows above 3 get the copy but no timer.
void StartWindowBlink(CPOSLDisplay& so, int32_t window);

}  // namespace miraxld
