#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::CreateWindow(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t* pRC) { return Finish(m_claimed ? OPOS_E_DISABLED : OPOS_E_NOTCLAIMED, pRC); }

HResult CPOSLDisplay::DestroyWindow(int32_t* pRC) { return Finish(OPOS_SUCCESS, pRC); }

HResult CPOSLDisplay::RefreshWindow(int32_t, int32_t* pRC) { return Fail(OPOS_SUCCESS, 0, pRC); }

HResult CPOSLDisplay::ScrollText(int32_t, int32_t, int32_t* pRC) { return Fail(OPOS_SUCCESS, 0, pRC); }

int32_t CPOSLDisplay::StepEffects(int32_t) {
    m_stepping.Release();
    return 0;
}

void CPOSLDisplay::MarqueeStep(int32_t) {}

}  // namespace miraxld
