#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::ClaimDevice(int32_t, int32_t* pRC) { return Fail(OPOS_E_FAILURE, kExtPortMissing, pRC); }

HResult CPOSLDisplay::ReleaseDevice(int32_t* pRC) {
    m_port.Close();
    return Fail(OPOS_SUCCESS, 0, pRC);
}

}  // namespace miraxld
