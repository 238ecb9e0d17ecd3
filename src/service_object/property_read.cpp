#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::GetPropertyNumber(int32_t, int32_t*) { return kS_OK; }

HResult CPOSLDisplay::GetPropertyString(int32_t, std::optional<std::u16string>*) { return kS_OK; }

}  // namespace miraxld
