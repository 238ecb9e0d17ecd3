// The port monitor thread: watches whether the configured COM port is listed by the system and
// whether the display asserts its modem lines, keeps PowerState current and reports every
// change with one SOStatusUpdate.
#include "config/model_catalogue.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int kPassSleepMs = 200;

// The decimal number after the first three characters of a port name ("COM12" gives 12);
// -1 when there is none, so that it never matches a configured port.
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

}  // namespace

void CPOSLDisplay::PortMonitorThread() {
    // ClaimDevice has already cleared m_monitorEnded before starting the thread, so that a
    // CloseService racing the start still waits for it.
    m_monitorEnded = 0;
    m_linkPowerState = OPOS_PS_ONLINE;
    m_reportedPowerState = OPOS_PS_ONLINE;
    if (m_monitorRun.load() == 0) {
        m_monitorEnded = 1;
        return;
    }

    IRegistry& registry = Platform().Registry();
    std::vector<RegistryValue> values;
    do {
        Clock().SleepMs(kPassSleepMs);
        m_portListed = 0;

        // While the firmware loader owns the link it closes and reopens it at its own baud
        // rates; this pass then neither reopens, closes nor samples the link and reports
        // nothing, so the loader's opens always find the port as it left it.
        if (m_loaderOwnsLink.load() != 0) {
            continue;
        }

        values.clear();
        const bool readable = registry.EnumValues(kSerialCommKey, &values) == 0;
        if (readable) {
            for (const RegistryValue& value : values) {
                if (PortNumberOf(value.data) == m_portNumber) {
                    m_portListed = 1;
                    m_powerState = OPOS_PS_ONLINE;
                    m_linkPowerState = OPOS_PS_ONLINE;
                    break;
                }
            }
            if (m_portListed.load() == 0) {
                if (m_port.IsOpen()) {
                    m_port.Close();
                }
                m_powerState = OPOS_PS_OFFLINE;
                m_linkPowerState = OPOS_PS_OFFLINE;
            } else if (!m_port.IsOpen()) {
                m_port.Open(m_portNumber, m_baudRate);  // a failure shows as 2002 below
            }
        }

        int32_t state = OPOS_PS_OFFLINE;
        if (m_portListed.load() != 0) {
            if (m_deviceName == kModelKT310 && m_firmwareVersion == 102) {
                state = OPOS_PS_ONLINE;  // this firmware drives no modem lines
            } else {
                state = m_port.IsLineActive() == 1 ? OPOS_PS_ONLINE : OPOS_PS_OFF;
            }
        }
        m_powerState = state;
        m_linkPowerState = state;

        if (m_linkPowerState.load() != m_reportedPowerState.load()) {
            m_eventSink.FireStatusUpdate(m_linkPowerState.load());
            m_reportedPowerState = m_linkPowerState.load();
        }
    } while (m_monitorRun.load() != 0);

    // The last access to the object: CloseService may destroy it as soon as it reads this.
    m_monitorEnded = 1;
}

}  // namespace miraxld
