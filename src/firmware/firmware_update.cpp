// UpdateFirmware: a firmware image through the display's own loader, over the display link.
//
// While it runs the update owns the link: the port monitor neither reopens nor samples it
// (LoaderLinkHold), and blink and marquee stop sending. Their timers are deleted, as a
// firmware update restarts the display anyway, and m_stepping is held so that a callback
// already under way finishes first and a late one waits. The flag is let go while a message
// box is up, because a modal box lets calls into the object run on this same thread.
//
// The effects are not started again afterwards, whatever the outcome: the restarted display
// has lost its own scrolling, its code table and its picture, so a resumed marquee would
// resend a picture it no longer matches. Instead the settings say what runs: every window that
// scrolled reads MarqueeType 0 (and takes text again), and blinking windows have stopped.
#include <span>

#include "firmware/firmware_loaders.h"
#include "service_object/pos_ldisplay.h"
#include "transport/port_monitor.h"

namespace miraxld {

namespace {

constexpr uint16_t kFamilyStream = 1;
constexpr uint16_t kFamilyBlock = 2;
// No caption is prescribed for these boxes; the claim's box is captioned "SO:Claim".
constexpr char16_t kCaption[] = u"SO:UpdateFirmware";
constexpr char16_t kFileNotFound[] = u"File Not Found";
constexpr char16_t kStillInLoader[] = u"VFD was failed, Please restart the device then continue.";
constexpr char16_t kSuccess[] = u"ISP Success!!!";

// Keeps the blink and marquee steps off the link for one scope.
class EffectsPaused {
  public:
    explicit EffectsPaused(CPOSLDisplay& so) : m_so(so) {
        m_so.DeleteAllWindowTimers();
        m_so.m_stepping.Acquire(m_so.Clock());
        for (WindowRecord& w : m_so.m_windows) {
            if (w.marqueeType >= kMarqueeUp && w.marqueeType <= kMarqueeRight) {
                w.marqueeType = kMarqueeNone;
            }
        }
        const int32_t current = m_so.m_currentWindow;
        if (current >= 0 && current < kWindowCount) {
            m_so.m_marqueeType = m_so.m_windows[current].marqueeType;
        }
        m_so.m_marqueeRunning = 0;
    }
    ~EffectsPaused() { m_so.m_stepping.Release(); }
    EffectsPaused(const EffectsPaused&) = delete;
    EffectsPaused& operator=(const EffectsPaused&) = delete;

    void Show(std::u16string_view text) {
        m_so.m_stepping.Release();
        m_so.Platform().UserMessages().Show(text, kCaption);
        m_so.m_stepping.Acquire(m_so.Clock());
    }

  private:
    CPOSLDisplay& m_so;
};

}  // namespace

// No claim is required: the link is opened on the port number the last claim settled on.
HResult CPOSLDisplay::UpdateFirmware(std::u16string_view firmwareFileName, int32_t* pRC) {
    IFileSystem& files = Platform().Files();
    const std::optional<std::vector<uint8_t>> image = files.ReadAll(firmwareFileName);
    if (!image) {
        if (!files.Exists(firmwareFileName)) {
            Platform().UserMessages().Show(kFileNotFound, kCaption);
        }
        return kS_OK;
    }
    const uint16_t family = m_commandFamily;
    if (family != kFamilyStream && family != kFamilyBlock) {
        return kS_OK;
    }
    // The loaders read fixed offsets: a shorter image is refused before a byte is sent.
    const size_t needed = family == kFamilyBlock ? kBlockImageEnd : kStreamImageSize;
    if (image->size() < needed) {
        return Finish(OPOS_E_ILLEGAL, pRC);
    }

    int32_t blockFailure = 0;
    StreamOutcome streamOutcome = StreamOutcome::kDone;
    {
        LoaderLinkHold hold(*this);
        EffectsPaused paused(*this);
        LoaderLink link(m_port, Clock(), m_portNumber);
        if (family == kFamilyBlock) {
            blockFailure = RunBlockLoader(link, *image);
        } else {
            streamOutcome = RunStreamLoader(link, *image, [&] { paused.Show(kStillInLoader); });
        }
    }

    if (family == kFamilyBlock) {
        if (blockFailure != 0) {
            return Fail(OPOS_E_FAILURE, blockFailure, pRC);
        }
        Platform().UserMessages().Show(kSuccess, kCaption);
        return Finish(OPOS_SUCCESS, pRC);
    }
    switch (streamOutcome) {
        case StreamOutcome::kDone:
            Finish(OPOS_SUCCESS, pRC);
            return kS_OK;
        case StreamOutcome::kNoAck:
            Fail(OPOS_E_FAILURE, kExtIspNoAck, pRC);
            return kS_OK;
        case StreamOutcome::kStopped:
            break;
    }
    return kS_FALSE;  // ResultCode and pRC stay as they were
}

}  // namespace miraxld
