// The port monitor thread: watches whether the configured COM port is listed by the system and
// whether the display asserts its modem lines, keeps PowerState current and reports every
// change with one SOStatusUpdate.
#include "transport/port_monitor.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "config/model_catalogue.h"
#include "config/registry_reader.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int kPassSleepMs = 200;

thread_local MonitorThreadState* t_monitorThread = nullptr;
// A KT310 with this firmware drives neither DSR nor CTS, so a listed port means online.
constexpr int32_t kLinelessKT310Firmware = 102;

// What the thread needs of the claim. ClaimDevice settles these before it starts the thread;
// copying them once keeps the thread off fields that a later OpenService on the method thread
// rewrites.
struct MonitoredPort {
    int32_t number = 0;
    uint32_t baudRate = 0;
    bool linesUnused = false;
};

enum class Listing { kListed, kNotListed, kUnreadable };

// The decimal number after the first three characters of a port name ("COM12" gives 12);
// -1 when there is none or it does not fit, so that it never matches a configured port.
int32_t PortNumberOf(std::u16string_view portName) {
    if (portName.size() <= 3) {
        return -1;
    }
    int64_t n = 0;
    bool any = false;
    for (char16_t c : portName.substr(3)) {
        if (c < u'0' || c > u'9') {
            break;
        }
        n = n * 10 + (c - u'0');
        any = true;
        if (n > INT32_MAX) {
            return -1;
        }
    }
    return any ? static_cast<int32_t>(n) : -1;
}

Listing FindInSerialComm(IRegistry& registry, int32_t portNumber,
                         std::vector<RegistryValue>* scratch) {
    scratch->clear();
    if (registry.EnumValues(kSerialCommKey, scratch) != 0) {
        return Listing::kUnreadable;
    }
    for (const RegistryValue& value : *scratch) {
        if (PortNumberOf(value.data) == portNumber) {
            return Listing::kListed;
        }
    }
    return Listing::kNotListed;
}

// One pass's work on the link: the listing, closing or reopening, the line sample. Returns the
// power state the pass found, or nothing when the loader owns the link.
std::optional<int32_t> CheckLink(CPOSLDisplay& so, const MonitoredPort& port,
                                 std::vector<RegistryValue>* scratch) {
    // The loader sets the flag and then takes this lock once: a pass either sees the flag or
    // finishes its link work before the loader closes the link, never in between.
    std::lock_guard onLink(so.m_monitorLinkWork);
    if (so.m_loaderOwnsLink.load() != 0) {
        // The loader closes the link and reopens it at its own baud rates after short pauses;
        // a reopen at the claim's rate would make its own open find the port already open, and
        // a line sample would only see its pauses. Such a pass leaves the link, PowerState and
        // the listed flag as the last pass left them.
        return std::nullopt;
    }

    so.m_portListed = 0;
    const Listing listing = FindInSerialComm(so.Platform().Registry(), port.number, scratch);
    if (listing == Listing::kNotListed) {
        if (so.m_port.IsOpen()) {
            so.m_port.Close();
        }
    } else if (listing == Listing::kListed) {
        so.m_portListed = 1;
        if (!so.m_port.IsOpen()) {
            // A failed reopen is not reported: the closed link samples as 0 (off) below and the
            // next pass tries again.
            so.m_port.Open(port.number, port.baudRate);
        }
    }
    // An unreadable list leaves the link open or closed as it was, but counts as not listed.
    if (listing != Listing::kListed) {
        return OPOS_PS_OFFLINE;
    }
    if (port.linesUnused) {
        return OPOS_PS_ONLINE;
    }
    return so.m_port.IsLineActive() == 1 ? OPOS_PS_ONLINE : OPOS_PS_OFF;
}

}  // namespace

MonitorThreadState* CurrentMonitorThread() {
    return t_monitorThread;
}

LoaderLinkHold::LoaderLinkHold(CPOSLDisplay& so) : m_so(so) {
    m_so.m_loaderOwnsLink.fetch_add(1);
    // Waits for a pass that read the flag before it was set to finish with the link.
    std::lock_guard passDone(m_so.m_monitorLinkWork);
}

LoaderLinkHold::~LoaderLinkHold() {
    m_so.m_loaderOwnsLink.fetch_sub(1);
}

// Lifetime: the thread runs on the object, which its owner keeps until StopBackgroundWork has
// seen the thread end, with one exception. The Control Object's event handler runs on this
// thread and may stop it (CloseService, OpenService) or destroy the object from inside; the
// thread then counts as ended at once, and once the handler returns it reads only its own
// state, which it shares, never the object.
void CPOSLDisplay::PortMonitorThread(const std::shared_ptr<MonitorThreadState>& self) {
    t_monitorThread = self.get();
    m_monitorEnded = 0;
    m_linkPowerState = OPOS_PS_ONLINE;
    m_reportedPowerState = OPOS_PS_ONLINE;
    if (m_monitorRun.load() == 0) {
        t_monitorThread = nullptr;
        m_monitorEnded = 1;
        return;
    }

    MonitoredPort port;
    port.number = m_portNumber;
    port.baudRate = m_baudRate;
    port.linesUnused = m_deviceName == kModelKT310 && m_firmwareVersion == kLinelessKT310Firmware;
    std::vector<RegistryValue> scratch;

    do {
        Clock().SleepMs(kPassSleepMs);
        const std::optional<int32_t> found = CheckLink(*this, port, &scratch);
        if (!found) {
            continue;
        }
        // PowerState is written once per pass, after the sample, so that a reader never sees a
        // switched-off display flicker online for the length of the sample.
        m_powerState = *found;
        m_linkPowerState = *found;
        // Every change is reported, whatever PowerNotify and CapPowerReporting say. The event
        // is fired outside the link lock: the Control Object's handler may call back into the
        // service object, even into the firmware loader.
        if (*found != m_reportedPowerState.load()) {
            m_eventSink.FireStatusUpdate(*found);
            if (self->released) {
                t_monitorThread = nullptr;
                const std::function<void()> last = std::move(self->last);
                if (last) {
                    last();
                }
                return;
            }
            m_reportedPowerState = *found;
        }
    } while (m_monitorRun.load() != 0);

    t_monitorThread = nullptr;
    // The last access to the object: its owner may destroy it as soon as it reads this.
    m_monitorEnded = 1;
}

}  // namespace miraxld
