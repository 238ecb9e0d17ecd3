#include "service_object/pos_ldisplay.h"

#include <algorithm>

#include "trace/trace.h"

namespace miraxld {

// Only the members are built here; every property gets its value from OpenService.
CPOSLDisplay::CPOSLDisplay(IPlatform& platform)
    : m_platform(platform),
      m_port(platform.CreateSerialDevice(), platform.Clock()),
      m_registry(platform.Registry()) {
    m_eventSink.Attach(nullptr);
    TraceConstructed(platform.DebugOutput());
}

// A Control Object that releases the object without CloseService would leave the window
// timers and the monitor thread running on freed memory: they are stopped here as CloseService
// stops them (nothing to do after a CloseService). A timer callback already under way (deleting
// its timer does not wait for it) is waited for at the lifeline; later ones touch nothing.
// Destroying m_port closes the link.
CPOSLDisplay::~CPOSLDisplay() {
    TraceDestroyed(m_platform.DebugOutput());
    StopBackgroundWork();
    m_lifeline->End();
}

int CPOSLDisplay::SlotOfCodePage(int32_t codePage) const {
    for (size_t k = 0; k < m_codepageList.size(); ++k) {
        if (m_codepageList[k] > 0 && m_codepageList[k] == codePage) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

int CPOSLDisplay::SlotOfTable(int32_t table, int limit) const {
    const int slots = std::min(limit, static_cast<int>(m_codepageCmdIndex.size()));
    for (int k = 0; k < slots; ++k) {
        if (m_codepageList[k] > 0 && m_codepageCmdIndex[k] == table) {
            return k;
        }
    }
    return -1;
}

void CPOSLDisplay::SetDeviceSize(int32_t rows, int32_t columns) {
    // Timer steps resend the screen under the command flag and read the size meanwhile.
    BusyFlagGuard busy(m_commandBusy, Clock());
    m_deviceRows = std::clamp(rows, 0, kScreenRows);
    m_deviceColumns = std::clamp(columns, 0, kWindowMaxColumns);
}

}  // namespace miraxld
