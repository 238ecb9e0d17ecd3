// ClaimDevice and ReleaseDevice: all contact with the hardware starts at the claim.
#include "config/port_discovery.h"
#include "display/commands.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int kSettleAfterDrainMs = 20;

}  // namespace

HResult CPOSLDisplay::ClaimDevice(int32_t /*timeout*/, int32_t* pRC) {
    // The Timeout argument is not used: every wait of the claim has its own fixed limit.
    if (m_claimed != 0) {
        return Finish(OPOS_SUCCESS, pRC);
    }
    const int64_t t0 = Clock().NowMs();

    PortChoice choice;
    choice.vidPid = m_vidPid;
    const PortChoiceOutcome outcome =
        ChoosePort(m_registry, m_deviceName, m_brand, m_deviceModel, choice);
    m_portName = choice.portName;
    m_portNumber = choice.portNumber;
    m_baudRate = choice.baudRate;
    m_vidPid = choice.vidPid;
    if (choice.portListed != 0) {
        m_portListed = 1;
    }
    if (outcome == PortChoiceOutcome::kPortMissing) {
        return Fail(OPOS_E_FAILURE, kExtPortMissing, pRC);
    }
    if (outcome == PortChoiceOutcome::kBaudRateMissing) {
        return Fail(OPOS_E_FAILURE, kExtBaudRateMissing, pRC);
    }
    if (m_port.Open(m_portNumber, m_baudRate) == 0) {
        return Fail(OPOS_E_FAILURE, kExtPortOpenFailed, pRC);
    }

    m_codepageList.fill(-1);
    m_codepageCmdIndex.fill(-1);

    // Whatever the display sent before the claim is not an answer to anything we ask.
    for (uint8_t stale = 0; m_port.Read(&stale, 1) > 0;) {
        Clock().SleepMs(1);
    }
    Clock().SleepMs(1);
    Clock().SleepMs(kSettleAfterDrainMs);

    int64_t reference = t0;
    int32_t waitMs = ProbeFirmwareVersion(&reference);
    if (const int32_t failure = LoadCodePageSlots(&waitMs, reference); failure != 0) {
        return Fail(OPOS_E_FAILURE, failure, pRC);
    }
    if (const int32_t failure = FinishCharacterSetup(waitMs); failure != 0) {
        return Fail(OPOS_E_FAILURE, failure, pRC);
    }
    ProbeScreenModes();
    ProbeDisplayParameters();

    WindowRecord& whole = m_windows[0];
    whole.height = m_rows;
    whole.width = m_columns;
    whole.viewportWidth = m_deviceColumns;
    whole.viewportHeight = m_deviceRows;
    whole.cursorRow = 0;
    whole.cursorColumn = 0;

    Send(m_port, CMD_INITIALIZE);

    m_commandBusy.Reset();
    m_monitorRun = 1;
    // Marked running before the thread exists, so that a CloseService right after the claim
    // waits for the thread instead of racing its start.
    m_monitorEnded = 0;
    m_monitorThread = std::make_shared<MonitorThreadState>(*this);
    if (!Platform().Threads().Start([this, self = m_monitorThread] { PortMonitorThread(self); })) {
        m_monitorThread.reset();
        m_monitorEnded = 1;  // no thread: nothing to wait for
    }

    m_claimed = 1;
    return Finish(OPOS_SUCCESS, pRC);
}

HResult CPOSLDisplay::ReleaseDevice(int32_t* pRC) {
    // The claimed state and the monitor thread are kept: a later ClaimDevice returns at once
    // without probing, and the thread reopens the link while the port is listed. Only one
    // monitor thread can therefore ever run per claim of an opened object.
    DeleteAllWindowTimers();
    if (m_port.IsOpen()) {
        m_port.Close();
    }
    return Fail(OPOS_SUCCESS, 0, pRC);
}

}  // namespace miraxld
