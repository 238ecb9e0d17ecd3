// Result codes: the OPOS values the service object stores and its own extended codes.
#pragma once

#include <cstdint>

namespace miraxld {

// The COM status a method returns. A failing OPOS call returns its positive result code, which
// the dispatch layer treats as success.
using HResult = int32_t;
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kS_FALSE = 1;

inline constexpr int32_t OPOS_SUCCESS = 0;
inline constexpr int32_t OPOS_E_NOTCLAIMED = 103;
inline constexpr int32_t OPOS_E_DISABLED = 105;
inline constexpr int32_t OPOS_E_ILLEGAL = 106;
inline constexpr int32_t OPOS_E_FAILURE = 111;

inline constexpr int32_t OPOS_S_IDLE = 2;
inline constexpr int32_t OPOS_PS_UNKNOWN = 2000;
inline constexpr int32_t OPOS_PS_ONLINE = 2001;
inline constexpr int32_t OPOS_PS_OFF = 2002;
inline constexpr int32_t OPOS_PS_OFFLINE = 2003;

// ResultCodeExtended values, each stored together with 106 or 111.
enum ExtendedResult : int32_t {
    kExtUnknownServiceProgId = 10001,  // 106: the device key names another service object
    kExtPortMissing = 10002,           // 111: no "Port" value
    kExtBaudRateMissing = 10003,       // 111: no "BaudRate" value
    kExtPortOpenFailed = 10004,        // 111: the serial port could not be opened
    kExtNoReadyAnswer = 10005,         // 111: no answer to the readiness query
    kExtReadyTimeout = 10006,          // 111: readiness answer not AA within 3000 ms
    kExtNoBrand = 10007,               // 111: the code-page step found no brand
    kExtClearTextInMarquee = 10008,    // 106: ClearText while a marquee runs
    kExtDisplayTextInMarquee = 10009,  // 106: DisplayText while a marquee runs
    kExtHMarqueeTooNarrow = 10010,  // 106: horizontal marquee on a window as wide as its viewport
    kExtVMarqueeTooShort = 10011,   // 106: vertical marquee on a window as tall as its viewport
    kExtIspReopen9600 = 10012,      // 111: firmware update steps
    kExtIspReopen115200 = 10013,
    kExtIspNoSync = 10014,
    kExtIspNoUnlock = 10015,
    kExtIspNoErase = 10016,
    kExtIspReopenAfterFinish = 10017,
    kExtIspNoFinish = 10018,
    kExtIspNoAck = 10020,
};

}  // namespace miraxld
