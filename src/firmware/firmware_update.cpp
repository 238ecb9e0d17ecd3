#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::UpdateFirmware(std::u16string_view, int32_t*) { return kS_OK; }

}  // namespace miraxld
