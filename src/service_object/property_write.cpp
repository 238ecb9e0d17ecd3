#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::SetPropertyNumber(int32_t, int32_t) {
    m_resultCode = OPOS_E_ILLEGAL;
    return OPOS_E_ILLEGAL;
}

}  // namespace miraxld
