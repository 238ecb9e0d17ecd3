// OpenService and CloseService.
#include <algorithm>

#include "config/model_catalogue.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int kMonitorPollMs = 200;

void BlankCells(Cell* cells, size_t count) {
    std::fill(cells, cells + count, Cell::Blank());
}

}  // namespace

HResult CPOSLDisplay::OpenService(std::u16string_view /*deviceClass*/,
                                  std::u16string_view deviceName, IEventTarget* dispatch,
                                  int32_t* pRC) {
    // An object opened again without a CloseService between: what the earlier open left
    // running would outlive the flags reset below, so it is stopped first, and the claim's link
    // with its monitor. This also leaves every timer handle cleared.
    StopBackgroundWork();
    m_deviceName = std::u16string(deviceName);
    // The two semaphores are members that live as long as the object; a timer step still
    // holding one from before keeps it valid and releases it normally, so nothing is recreated.
    m_commandBusy.Reset();
    m_commandFamily = 0;
    m_doubleByteMode = 0;
    m_serviceProgId.clear();
    m_vidPid.clear();
    m_deviceModel.clear();
    m_leftToRight = 1;
    m_unicodeMode = 0;
    m_deviceColumns = 0;
    m_deviceRows = 0;

    m_serviceProgId = m_registry.ReadDeviceValue(m_deviceName, u"");
    m_deviceColumns = ParseDecimal(m_registry.ReadDeviceValue(m_deviceName, u"DeviceColumns"));
    m_deviceRows = ParseDecimal(m_registry.ReadDeviceValue(m_deviceName, u"DeviceRows"));
    m_maximumX = ParseDecimal(m_registry.ReadDeviceValue(m_deviceName, u"MaximumX"));
    m_maximumY = ParseDecimal(m_registry.ReadDeviceValue(m_deviceName, u"MaximumY"));
    m_vidPid = m_registry.ReadDeviceValue(m_deviceName, u"Vid_Pid");
    m_deviceModel = m_registry.ReadDeviceValue(m_deviceName, u"DeviceModel");

    m_brand = kBrandUnset;
    if (m_serviceProgId == kProgIdOwn) {
        m_brand = kBrandOwn;
    } else if (m_serviceProgId == kProgIdOem) {
        m_brand = kBrandOem;
    } else {
        // The other properties keep their values, but a claim whose monitor and link are gone
        // is no claim: Claimed reads 0, and a later ClaimDevice probes the display again
        // instead of answering 0 over a closed link.
        m_claimed = 0;
        return Fail(OPOS_E_ILLEGAL, kExtUnknownServiceProgId, pRC);
    }

    m_deviceModel = SettleModel(m_deviceName, m_vidPid, m_deviceModel);
    ModelSettings settings;
    settings.deviceRows = m_deviceRows;
    settings.deviceColumns = m_deviceColumns;
    settings.maximumX = m_maximumX;
    settings.maximumY = m_maximumY;
    ApplyModelSettings(m_deviceModel, settings);
    SetDeviceSize(settings.deviceRows, settings.deviceColumns);
    m_maximumX = settings.maximumX;
    m_maximumY = settings.maximumY;
    if (settings.screenModeList) {
        m_screenModeList = *settings.screenModeList;
    }
    m_commandFamily = settings.commandFamily;
    m_marqueeWaitFloor = settings.marqueeWaitFloor;
    m_blinkPeriodFloor = settings.blinkPeriodFloor;
    m_doubleByteMode = settings.doubleByteMode;
    if (settings.firmwareVersion) {
        m_firmwareVersion = *settings.firmwareVersion;
    }
    m_brand = SettleBrand(m_serviceProgId, m_deviceName) == kBrandOem ? kBrandOem : m_brand;

    // Common properties and capabilities.
    m_claimed = 0;
    m_deviceEnabled = 0;
    m_freezeEvents = 0;
    m_state = OPOS_S_IDLE;
    m_serviceObjectVersion = 1013059;
    m_capPowerReporting = 1;
    m_powerNotify = 0;
    m_powerState = OPOS_PS_UNKNOWN;
    m_binaryConversion = 0;
    m_checkHealthText.clear();
    m_capBlink = 1;
    m_capBrightness = 1;
    m_capCharacterSet = 998;
    m_capDescriptors = 1;
    m_capHMarquee = 1;
    m_capICharWait = 1;
    m_capVMarquee = 0;
    m_capBlinkRate = 1;
    m_capCursorType = 0;
    m_capCustomGlyph = 0;
    m_capReadBack = 1;
    m_capReverse = 1;

    // Line Display properties.
    const int32_t ansi = m_platform.CodePages().AnsiCodePage();
    m_characterSet = ansi;
    m_codePage = ansi;
    m_defaultCodePage = 437;
    m_customGlyphList.clear();
    // The list of the previous claim: the next claim builds it again.
    m_characterSetList.clear();
    m_deviceDescription.clear();
    m_currentWindow = 0;
    m_cursorUpdate = 1;
    m_deviceWindows = 4;
    m_blinkRate = 300;
    m_cursorType = 0;
    m_glyphHeight = 7;
    m_glyphWidth = 5;
    m_screenMode = 0;
    m_columns = m_deviceColumns;
    m_rows = m_deviceRows;
    m_cursorRow = 0;
    m_cursorColumn = 0;
    m_marqueeType = 0;
    m_marqueeFormat = 0;
    m_interCharacterWait = 0;
    m_marqueeUnitWait = 300;
    m_marqueeRepeatWait = 300;
    m_portListed = 0;

    WindowRecord& whole = m_windows[0];
    whole.height = m_rows;
    whole.width = m_columns;
    whole.viewportRow = 0;
    whole.viewportColumn = 0;
    whole.viewportWidth = m_deviceColumns;
    whole.viewportHeight = m_deviceRows;
    whole.cursorRow = m_cursorRow;
    whole.cursorColumn = m_cursorColumn;
    whole.windowProperty = m_interCharacterWait;
    whole.marqueeType = m_marqueeType;
    whole.marqueeUnitWait = 300;
    whole.marqueeRepeatWait = 300;
    whole.marqueeFormat = 0;
    whole.blinkRate = 300;
    whole.ltrRunStart = -1;
    whole.ltrRunEnd = -1;
    whole.rowOffset = 0;
    whole.columnOffset = 0;
    whole.active = 1;
    for (int window = 1; window < kWindowCount; ++window) {
        WindowRecord& record = m_windows[window];
        record.active = 0;
        record.marqueeSteps = 0;
        record.cursorRow = 0;
        record.cursorColumn = 0;
        record.windowProperty = 0;
        record.marqueeType = m_marqueeType;
        record.marqueeUnitWait = 300;
        record.marqueeRepeatWait = 300;
        record.blinkRate = 300;
        record.lastAttribute = 0;
        record.blinkPhaseShown = 0;
    }

    m_screenCopyBusy.Reset();
    m_stepping.Reset();
    m_screenLock.Reset();
    m_stripLock.Reset();

    BlankCells(whole.cells.data(), 8 * kWindowMaxColumns);
    BlankCells(m_screen.data(), m_screen.size());
    for (Strip& strip : m_marqueeBuffer) {
        BlankCells(strip.data(), strip.size());
    }
    BlankCells(m_textCells.data(), m_textCells.size());

    m_eventSink.Attach(dispatch);
    m_monitorRun = 1;
    m_monitorEnded = 1;
    return Fail(OPOS_SUCCESS, 0, pRC);
}

HResult CPOSLDisplay::CloseService(int32_t* pRC) {
    if (m_port.IsOpen()) {
        m_port.Close();
    }
    StopBackgroundWork();
    return Finish(OPOS_SUCCESS, pRC);
}

void CPOSLDisplay::StopBackgroundWork() {
    DeleteAllWindowTimers();
    m_monitorRun = 0;
    const bool hadMonitor = m_monitorThread != nullptr;
    if (hadMonitor && m_monitorThread.get() == CurrentMonitorThread()) {
        m_monitorThread->released = true;
        m_monitorEnded = 1;
    }
    while (m_monitorEnded.load() != 1) {
        Clock().SleepMs(kMonitorPollMs);
    }
    m_monitorThread.reset();
    // The link was the thread's to keep open; its last pass may have reopened it.
    if (hadMonitor) {
        m_port.Close();
    }
}

bool CPOSLDisplay::DeferDestructionToMonitorEnd(std::function<void()> destroy) {
    MonitorThreadState* const current = CurrentMonitorThread();
    if (current == nullptr || current->owner != this) {
        return false;
    }
    StopBackgroundWork();
    current->released = true;
    current->last = std::move(destroy);
    return true;
}

}  // namespace miraxld
