#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::DisplayText(std::u16string_view, int32_t, int32_t* pRC) { return Finish(m_claimed ? OPOS_E_DISABLED : OPOS_E_NOTCLAIMED, pRC); }

HResult CPOSLDisplay::DisplayTextAt(int32_t, int32_t, std::u16string_view data, int32_t attribute, int32_t* pRC) { return DisplayText(data, attribute, pRC); }

HResult CPOSLDisplay::ClearText(int32_t* pRC) { return Finish(m_claimed ? OPOS_E_DISABLED : OPOS_E_NOTCLAIMED, pRC); }

int32_t CPOSLDisplay::PutCells(int32_t, int32_t, int32_t) { return 0; }

}  // namespace miraxld

namespace miraxld {
void CPOSLDisplay::BlinkStep(int32_t) {}
}  // namespace miraxld
namespace miraxld { void CPOSLDisplay::WriteCharacterSet(int32_t) {} }  // namespace miraxld
