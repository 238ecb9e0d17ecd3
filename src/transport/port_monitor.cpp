#include "service_object/pos_ldisplay.h"

namespace miraxld {

void CPOSLDisplay::PortMonitorThread() { m_monitorEnded = 1; }

}  // namespace miraxld
