// CPOSLDisplay: the OPOS Line Display service object.
//
// The class is portable C++: it knows nothing about COM. The COM layer (com/) wraps it in the
// dual interface IPOSLDisplay, converts BSTRs to UTF-16 strings and passes results back as the
// methods' retvals. Every method returns the COM status the Control Object sees (0 = S_OK; a
// failing OPOS call returns its positive result code).
//
// The methods are implemented in one file per concern:
//   service_object/simple_methods.cpp   the methods that only report success, ReadCharacterAtCursor
//   service_object/open_close.cpp       OpenService, CloseService, timer teardown
//   service_object/claim_release.cpp    ClaimDevice, ReleaseDevice
//   service_object/display_probe.cpp    the probe steps of the claim
//   service_object/property_read.cpp    GetPropertyNumber, GetPropertyString
//   service_object/property_write.cpp   SetPropertyNumber
//   display/screen_refresh.cpp          RefreshScreen, UpdateScreenFromWindow
//   display/text_output.cpp             DisplayText, DisplayTextAt, ClearText, PutCells, blink
//   display/character_set.cpp           the CharacterSet write
//   display/windows_marquee.cpp         CreateWindow, DestroyWindow, RefreshWindow, ScrollText,
//                                       StepEffects, the marquee
//   bitmap/display_bitmap.cpp           DisplayBitmap
//   firmware/firmware_update.cpp        UpdateFirmware
//   transport/port_monitor.cpp          PortMonitorThread
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "config/registry_reader.h"
#include "display/screen_model.h"
#include "events/event_sink.h"
#include "platform/platform.h"
#include "service_object/busy_flag.h"
#include "service_object/lifeline.h"
#include "service_object/result_codes.h"
#include "transport/port_monitor.h"
#include "transport/serial_port.h"

namespace miraxld {

struct ScreenModeRecord {
    int32_t id = 0;
    int32_t rows = 0;
    int32_t columns = 0;
};

class CPOSLDisplay {
  public:
    explicit CPOSLDisplay(IPlatform& platform);
    virtual ~CPOSLDisplay();
    CPOSLDisplay(const CPOSLDisplay&) = delete;
    CPOSLDisplay& operator=(const CPOSLDisplay&) = delete;

    // ---- IPOSLDisplay, in dispatch-identifier order (1 to 30). Out-pointers may be null. ----
    HResult OpenService(std::u16string_view deviceClass, std::u16string_view deviceName,
                        IEventTarget* dispatch, int32_t* pRC);
    HResult CloseService(int32_t* pRC);
    HResult ClaimDevice(int32_t timeout, int32_t* pRC);
    HResult ReleaseDevice(int32_t* pRC);
    HResult CheckHealth(int32_t level, int32_t* pRC);
    HResult DirectIO(int32_t command, int32_t* pData, std::u16string* pString, int32_t* pRC);
    HResult DisplayText(std::u16string_view data, int32_t attribute, int32_t* pRC);
    HResult DisplayTextAt(int32_t row, int32_t column, std::u16string_view data, int32_t attribute,
                          int32_t* pRC);
    HResult ClearText(int32_t* pRC);
    HResult ScrollText(int32_t direction, int32_t units, int32_t* pRC);
    HResult SetDescriptor(int32_t descriptor, int32_t attribute, int32_t* pRC);
    HResult ClearDescriptors(int32_t* pRC);
    HResult RefreshWindow(int32_t window, int32_t* pRC);
    HResult ReadCharacterAtCursor(int32_t* pChar, int32_t* pRC);
    HResult DefineGlyph(int32_t glyphCode, std::u16string_view glyph, int32_t* pRC);
    HResult GetPropertyNumber(int32_t propIndex, int32_t* pNumber);
    HResult SetPropertyNumber(int32_t propIndex, int32_t number);
    // Stores a new string into *pString for the indices of the string table, else leaves it.
    HResult GetPropertyString(int32_t propIndex, std::optional<std::u16string>* pString);
    HResult SetPropertyString(int32_t propIndex, std::u16string_view value);
    HResult COFreezeEvents(bool freeze, int32_t* pRC);
    HResult CreateWindow(int32_t viewportRow, int32_t viewportColumn, int32_t viewportHeight,
                         int32_t viewportWidth, int32_t windowHeight, int32_t windowWidth,
                         int32_t* pRC);
    HResult DestroyWindow(int32_t* pRC);
    HResult StatusUpdateEvent(int32_t status);
    HResult CompareFirmwareVersion(std::u16string_view firmwareFileName, int32_t* pResult);
    HResult ResetStatistics(std::u16string_view statisticsBuffer, int32_t* pRC);
    HResult RetrieveStatistics(std::u16string* pStatisticsBuffer);
    HResult UpdateFirmware(std::u16string_view firmwareFileName, int32_t* pRC);
    HResult UpdateStatistics(std::u16string_view statisticsBuffer, int32_t* pRC);
    HResult DisplayBitmap(std::u16string_view fileName, int32_t width, int32_t alignmentX,
                          int32_t alignmentY, int32_t* pRC);
    HResult SetBitmap(int32_t bitmapNumber, std::u16string_view fileName, int32_t width,
                      int32_t alignmentX, int32_t alignmentY, int32_t* pRC);

    // ---- The object's own virtual operations, in slot order. Each returns 0. A class that
    // overrides one ends m_lifeline in its own destructor, so that no timer step enters it
    // half-destroyed. ----
    virtual int32_t RefreshScreen(int32_t window, int32_t attribute, bool resend);
    virtual int32_t UpdateScreenFromWindow(int32_t window);
    virtual int32_t StepEffects(int32_t window);
    virtual int32_t PutCells(int32_t window, int32_t count, int32_t attribute);

    // The port monitor thread's body (transport/port_monitor.cpp), with the thread's own state.
    void PortMonitorThread(const std::shared_ptr<MonitorThreadState>& self);

    // ---- The probe steps of ClaimDevice (service_object/display_probe.cpp), in claim order.
    // W is the version wait time; `reference` the clock reading the waits are measured from. ----
    // Reads m_firmwareVersion; returns W. `reference` is left alone when no request is sent
    // for a KT710 (the claim's start time stays the reference).
    int32_t ProbeFirmwareVersion(int64_t* reference);
    // Fills the code-page slots; returns 0 or the extended code that fails the claim. May
    // replace *waitMs.
    int32_t LoadCodePageSlots(int32_t* waitMs, int64_t reference);
    // CharacterSetList, the initialisations, CharacterSet, the Unicode switch; returns 0 or
    // the extended code that fails the claim.
    int32_t FinishCharacterSetup(int32_t waitMs);
    // Clears the records of any earlier display, then fills them from this display's reply.
    void ProbeScreenModes();
    void ProbeDisplayParameters();
    // The mode the display reported under `id`, or null. Records never filled, or filled with
    // a size that has no text area, match no identifier.
    const ScreenModeRecord* ReportedScreenMode(int32_t id) const;
    // The registry route's slots from "CodepageList" and "CodepageCmdIndex".
    void FillSlotsFromRegistry();

    // ---- Window timers (service_object/window_timers.cpp). Deleting never waits for a running
    // callback. Only windows 1 to 3 ever get a timer; other numbers are ignored. ----
    // Creates the window's marquee timer (due 10 ms, period m_marqueePeriod) unless it has one.
    void CreateMarqueeTimer(int32_t window);
    // Creates the window's blink timer (due 10 ms, period m_blinkPeriod) unless it has one.
    void CreateBlinkTimer(int32_t window);
    // Deletes the marquee timer; clears the handle, marqueeTick and marqueeSteps.
    void DeleteMarqueeTimer(int32_t window);
    // Deletes the blink timer; clears the handle and, once a step under way is done,
    // lastAttribute.
    void DeleteBlinkTimer(int32_t window);
    // The teardown of ReleaseDevice and CloseService: both timers of windows 1 to 4.
    void DeleteAllWindowTimers();
    // The window timers and the monitor thread stopped, and the link the thread kept closed;
    // returns once the thread will touch the object no more. From the Control Object's event
    // handler, on the monitor thread itself, that is at once: the thread ends as soon as the
    // handler returns, and waiting for it there would wait for ever.
    void StopBackgroundWork();
    // For an owner about to destroy the object. When the last reference goes inside the
    // Control Object's event handler, on this object's monitor thread, the object must outlive
    // the handler's return through it: the background work is stopped, `destroy` is kept for
    // the thread to run as its very last action, and the call answers true. On any other
    // thread it answers false and keeps nothing: destroy at once.
    bool DeferDestructionToMonitorEnd(std::function<void()> destroy);
    // Timer callbacks. Each takes m_stepping, updates the window's step state and runs
    // StepEffects, which releases m_stepping when it is done; `id` names the timer that ticks.
    void MarqueeTimerTick(int32_t window, uint32_t id);
    void BlinkTimerTick(int32_t window, uint32_t id);
    // The two halves of StepEffects: one marquee step (display/windows_marquee.cpp) and the
    // blink step (display/blink.cpp).
    void MarqueeStep(int32_t window);
    void BlinkStep(int32_t window);

    // The first code-page slot (of the first `limit`) that holds `codePage`, or whose table
    // number is `table`; -1 if none. A slot without a code page (0 or -1) never matches: its
    // table number (-1, or a registry text's) selects nothing the display offered.
    int SlotOfCodePage(int32_t codePage) const;
    int SlotOfTable(int32_t table, int limit = 256) const;

    // DeviceRows and DeviceColumns, from the registry, a claim or a ScreenMode write, bounded
    // to what the screen picture and a window record hold (8 rows, 64 columns), so that no
    // later copy between them can leave the buffers.
    void SetDeviceSize(int32_t rows, int32_t columns);

    // The CharacterSet write (display/character_set.cpp); SetPropertyNumber(5001) calls it.
    void WriteCharacterSet(int32_t number);

    IPlatform& Platform() { return m_platform; }
    IClock& Clock() { return m_platform.Clock(); }

    // Stores `rc` as the result code (and into *pRC) and returns it as the COM status.
    HResult Finish(int32_t rc, int32_t* pRC) {
        m_resultCode = rc;
        if (pRC != nullptr) {
            *pRC = rc;
        }
        return rc;
    }
    // The same, with an extended result code.
    HResult Fail(int32_t rc, int32_t extended, int32_t* pRC) {
        m_resultCodeExtended = extended;
        return Finish(rc, pRC);
    }

    // ==== Data model. Public so that the files of each concern and the tests can reach it. ====
    IPlatform& m_platform;

    // OPOS common properties.
    int32_t m_binaryConversion = 0;
    std::u16string m_checkHealthText;
    uint8_t m_claimed = 0;
    uint8_t m_deviceEnabled = 0;
    uint8_t m_freezeEvents = 0;
    int32_t m_state = 0;
    int32_t m_serviceObjectVersion = 0;
    int32_t m_capPowerReporting = 0;
    int32_t m_powerNotify = 0;
    std::atomic<int32_t> m_powerState{0};
    int32_t m_resultCode = 0;
    int32_t m_resultCodeExtended = 0;

    // Line Display capabilities.
    int32_t m_capBlink = 0;
    uint8_t m_capBrightness = 0;
    int32_t m_capCharacterSet = 0;
    uint8_t m_capDescriptors = 0;
    uint8_t m_capHMarquee = 0;
    uint8_t m_capICharWait = 0;
    uint8_t m_capVMarquee = 0;
    uint8_t m_capBlinkRate = 0;
    int32_t m_capCursorType = 0;
    int32_t m_capCustomGlyph = 0;
    int32_t m_capReadBack = 0;
    int32_t m_capReverse = 0;

    // Line Display properties and geometry.
    int32_t m_characterSet = 0;
    int32_t m_codePage = 0;
    int32_t m_defaultCodePage = 0;
    int32_t m_selectedTable = 0;
    uint8_t m_unicodeMode = 0;
    uint8_t m_leftToRight = 1;
    uint8_t m_doubleByteMode = 0;
    uint8_t m_mapCharacterSet = 0;
    int32_t m_currentWindow = 0;
    int32_t m_cursorRow = 0;
    int32_t m_cursorColumn = 0;
    int32_t m_cursorUpdate = 0;
    int32_t m_deviceBrightness = 0;
    int32_t m_deviceColumns = 0;
    int32_t m_deviceRows = 0;
    int32_t m_deviceWindows = 0;
    int32_t m_deviceDescriptors = 0;
    int32_t m_blinkRate = 0;
    int32_t m_cursorType = 0;
    int32_t m_glyphHeight = 0;
    int32_t m_glyphWidth = 0;
    int32_t m_maximumX = 0;
    int32_t m_maximumY = 0;
    std::u16string m_customGlyphList;
    std::u16string m_screenModeList;
    int32_t m_screenMode = 0;
    std::array<ScreenModeRecord, 8> m_screenModes{};
    std::u16string m_characterSetList;
    std::u16string m_deviceDescription;
    std::array<int32_t, 256> m_codepageList{};
    std::array<int32_t, 256> m_codepageCmdIndex{};

    // Object-level mirrors of the current window's properties.
    int32_t m_columns = 0;
    int32_t m_rows = 0;
    int32_t m_marqueeType = 0;
    int32_t m_marqueeFormat = 0;
    int32_t m_interCharacterWait = 0;
    int32_t m_marqueeUnitWait = 0;
    int32_t m_marqueeRepeatWait = 0;

    // Configuration and model.
    std::u16string m_deviceName;
    std::u16string m_serviceProgId;
    std::u16string m_vidPid;
    std::u16string m_deviceModel;
    uint16_t m_brand = kBrandUnsetValue;
    uint16_t m_commandFamily = 0;
    int32_t m_firmwareVersion = 0;
    int32_t m_marqueeWaitFloor = 100;
    int32_t m_marqueePeriod = 0;
    int32_t m_blinkPeriodFloor = 300;
    int32_t m_blinkPeriod = 0;
    std::u16string m_portName;
    int32_t m_portNumber = 0;
    uint32_t m_baudRate = 0;
    std::atomic<uint8_t> m_portListed{0};
    uint16_t m_modelVariant = 0;

    // Concurrency members.
    BusyFlag m_commandBusy;
    BusyFlag m_screenCopyBusy;
    BusyFlag m_screenLock;
    BusyFlag m_stripLock;
    BusyFlag m_stepping;
    BinarySemaphore m_composeLock;
    BinarySemaphore m_outputLock;
    std::atomic<uint8_t> m_monitorRun{1};
    std::atomic<uint8_t> m_monitorEnded{1};
    std::atomic<int32_t> m_linkPowerState{0};
    std::atomic<int32_t> m_reportedPowerState{0};
    // The running claim's monitor thread, or none.
    std::shared_ptr<MonitorThreadState> m_monitorThread;
    // Held by the firmware loader while it owns the link; the monitor does not reopen it then.
    std::atomic<uint8_t> m_loaderOwnsLink{0};
    // Held by the monitor thread while a pass works on the link, so that taking the link for
    // the loader (LoaderLinkHold, transport/port_monitor.h) can wait out a pass under way.
    std::mutex m_monitorLinkWork;

    // Member objects and buffers.
    SerialPort m_port;
    RegistryReader m_registry;
    EventSink m_eventSink;
    std::array<WindowRecord, kWindowCount> m_windows{};
    ScreenPicture m_screen{};
    std::array<Strip, kWindowCount> m_marqueeBuffer{};
    std::array<Cell, kTextCells> m_textCells{};
    // Timers per window number 0 to 4; only windows 1 to 3 ever get one. They all live on the
    // default timer queue, so no queue handle is kept.
    // Atomic because the timer callbacks read them while the method thread creates and deletes.
    std::array<std::atomic<TimerHandle>, kWindowCount> m_marqueeTimer{};
    std::array<std::atomic<TimerHandle>, kWindowCount> m_blinkTimer{};
    // Which timer of each window is live: its id from m_nextTimerId, 0 once deleted. A tick
    // whose id is no longer live does nothing (window_timers.cpp).
    std::array<std::atomic<uint32_t>, kWindowCount> m_marqueeTimerId{};
    std::array<std::atomic<uint32_t>, kWindowCount> m_blinkTimerId{};
    std::atomic<uint32_t> m_nextTimerId{0};
    // Shared with every timer callback, which may outlive its timer and the object; the
    // destructor ends it before any member goes.
    std::shared_ptr<Lifeline> m_lifeline = std::make_shared<Lifeline>();

    // Work fields of single operations.
    int32_t m_previousMarqueeType = 0;
    uint8_t m_marqueeRunning = 0;
    int32_t m_hwMarqueeLine = 0;
    int32_t m_scrollLength = 0;
    uint8_t m_commandByte = 0;
    int32_t m_textLength = 0;

  private:
    static constexpr uint16_t kBrandUnsetValue = 0xFFFF;
};

}  // namespace miraxld
