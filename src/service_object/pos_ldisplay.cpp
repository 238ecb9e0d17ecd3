#include "service_object/pos_ldisplay.h"

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

}  // namespace miraxld
