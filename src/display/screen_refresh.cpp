#include "service_object/pos_ldisplay.h"

namespace miraxld {

int32_t CPOSLDisplay::RefreshScreen(int32_t, int32_t, bool) { return 0; }

int32_t CPOSLDisplay::UpdateScreenFromWindow(int32_t) { return 0; }

}  // namespace miraxld
