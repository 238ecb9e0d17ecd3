// GetPropertyNumber and GetPropertyString: the property index tables.
#include <algorithm>
#include <array>
#include <string>

#include "config/port_discovery.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

using NumberReader = int32_t (*)(CPOSLDisplay&);

// Per-window properties read the current window's record; CurrentWindow is written without a
// range check elsewhere, so an out-of-range value reads window 0 rather than past the table.
WindowRecord& Current(CPOSLDisplay& so) {
    const int32_t w = so.m_currentWindow;
    return so.m_windows[(w >= 0 && w < kWindowCount) ? w : 0];
}

struct NumberProperty {
    int32_t index;
    NumberReader read;
};

constexpr int32_t kColumnsReadLimit = 20;

const std::array<NumberProperty, 46> kNumberProperties = {{
    {1, [](CPOSLDisplay& s) -> int32_t { return s.m_claimed; }},
    {3, [](CPOSLDisplay& s) -> int32_t { return s.m_deviceEnabled; }},
    {4, [](CPOSLDisplay& s) -> int32_t { return s.m_freezeEvents; }},
    {6, [](CPOSLDisplay& s) { return s.m_resultCode; }},
    {7, [](CPOSLDisplay& s) { return s.m_resultCodeExtended; }},
    {8, [](CPOSLDisplay& s) { return s.m_serviceObjectVersion; }},
    {9, [](CPOSLDisplay& s) { return s.m_state; }},
    {11, [](CPOSLDisplay& s) { return s.m_binaryConversion; }},
    {13, [](CPOSLDisplay& s) { return s.m_powerNotify; }},
    {14, [](CPOSLDisplay& s) { return s.m_powerState.load(); }},
    {501, [](CPOSLDisplay& s) { return s.m_capPowerReporting; }},
    {5001, [](CPOSLDisplay& s) { return s.m_characterSet; }},
    // A read never reports more than 20 columns, and narrows the window to match.
    {5002,
     [](CPOSLDisplay& s) {
         WindowRecord& w = Current(s);
         if (w.width > kColumnsReadLimit) {
             w.width = kColumnsReadLimit;
         }
         return w.width;
     }},
    {5003, [](CPOSLDisplay& s) { return s.m_currentWindow; }},
    {5004, [](CPOSLDisplay& s) { return Current(s).cursorColumn; }},
    {5005, [](CPOSLDisplay& s) { return Current(s).cursorRow; }},
    {5006, [](CPOSLDisplay& s) { return s.m_cursorUpdate; }},
    {5007, [](CPOSLDisplay& s) { return s.m_deviceBrightness; }},
    {5008, [](CPOSLDisplay& s) { return s.m_deviceColumns; }},
    {5009,
     [](CPOSLDisplay& s) {
         s.m_deviceDescriptors = s.m_firmwareVersion;
         return s.m_firmwareVersion;
     }},
    {5010, [](CPOSLDisplay& s) { return s.m_deviceRows; }},
    {5011, [](CPOSLDisplay& s) { return s.m_deviceWindows; }},
    {5012, [](CPOSLDisplay& s) { return Current(s).marqueeFormat; }},
    {5013, [](CPOSLDisplay& s) { return Current(s).marqueeRepeatWait; }},
    {5014, [](CPOSLDisplay& s) { return Current(s).marqueeType; }},
    {5015, [](CPOSLDisplay& s) { return Current(s).marqueeUnitWait; }},
    {5016, [](CPOSLDisplay& s) { return Current(s).height; }},
    {5017, [](CPOSLDisplay& s) { return Current(s).windowProperty; }},
    {5018, [](CPOSLDisplay& s) { return s.m_blinkRate; }},
    {5019, [](CPOSLDisplay& s) { return s.m_cursorType; }},
    {5020, [](CPOSLDisplay& s) { return s.m_glyphHeight; }},
    {5021, [](CPOSLDisplay& s) { return s.m_glyphWidth; }},
    {5023, [](CPOSLDisplay& s) { return s.m_maximumX; }},
    {5024, [](CPOSLDisplay& s) { return s.m_maximumY; }},
    {5501, [](CPOSLDisplay& s) { return s.m_capBlink; }},
    {5502, [](CPOSLDisplay& s) -> int32_t { return s.m_capBrightness; }},
    {5503, [](CPOSLDisplay& s) { return s.m_capCharacterSet; }},
    {5504, [](CPOSLDisplay& s) -> int32_t { return s.m_capDescriptors; }},
    {5505, [](CPOSLDisplay& s) -> int32_t { return s.m_capHMarquee; }},
    {5506, [](CPOSLDisplay& s) -> int32_t { return s.m_capICharWait; }},
    {5507, [](CPOSLDisplay& s) -> int32_t { return s.m_capVMarquee; }},
    {5508, [](CPOSLDisplay& s) -> int32_t { return s.m_capBlinkRate; }},
    {5509, [](CPOSLDisplay& s) { return s.m_capCursorType; }},
    {5510, [](CPOSLDisplay& s) { return s.m_capCustomGlyph; }},
    {5511, [](CPOSLDisplay& s) { return s.m_capReadBack; }},
    {5512, [](CPOSLDisplay& s) { return s.m_capReverse; }},
}};

constexpr std::u16string_view kServiceObjectDescription =
    u"LineDisplay OPOS SO version 5.0.5.10 [by MIRAX 2015.02.25]";

}  // namespace

HResult CPOSLDisplay::GetPropertyNumber(int32_t propIndex, int32_t* pNumber) {
    const auto it = std::find_if(kNumberProperties.begin(), kNumberProperties.end(),
                                 [&](const NumberProperty& p) { return p.index == propIndex; });
    if (it != kNumberProperties.end()) {
        const int32_t value = it->read(*this);
        if (pNumber != nullptr) {
            *pNumber = value;
        }
    }
    return kS_OK;  // unknown indices leave the output and ResultCode alone
}

HResult CPOSLDisplay::GetPropertyString(int32_t propIndex, std::optional<std::u16string>* pString) {
    // Rebuilt on every string read, whatever the index, so that it follows a later claim.
    m_deviceDescription =
        m_deviceModel + u"[ver." + Utf16Decimal(m_firmwareVersion) + u"]-" + m_vidPid;
    std::optional<std::u16string> value;
    switch (propIndex) {
        case 1000001:
            value = m_checkHealthText;
            break;
        case 1000002:
            value = m_deviceDescription;
            break;
        case 1000003:
            value = m_deviceName;
            break;
        case 1000004:
            value = std::u16string(kServiceObjectDescription);
            break;
        case 1005001:
            value = m_characterSetList;
            break;
        case 1005002:
            value = m_customGlyphList;
            break;
        case 1005003:
            value = m_screenModeList;
            break;
        default:
            break;
    }
    if (value && pString != nullptr) {
        *pString = std::move(value);
    }
    return kS_OK;
}

}  // namespace miraxld
