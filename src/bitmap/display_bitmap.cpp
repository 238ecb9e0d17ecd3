#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::DisplayBitmap(std::u16string_view, int32_t, int32_t, int32_t, int32_t* pRC) { return Finish(OPOS_E_ILLEGAL, pRC); }

}  // namespace miraxld
