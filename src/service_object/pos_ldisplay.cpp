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

// Timers and the monitor thread are CloseService's business; destroying m_port closes the link.
CPOSLDisplay::~CPOSLDisplay() {
    TraceDestroyed(m_platform.DebugOutput());
}

}  // namespace miraxld
