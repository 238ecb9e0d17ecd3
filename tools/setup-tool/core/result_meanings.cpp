#include "core/result_meanings.h"

#include <algorithm>
#include <iterator>

#include "service_object/result_codes.h"

namespace miraxld::setup {

namespace {

struct Meaning {
    int32_t code;
    std::string_view text;
};

template <size_t N>
std::string_view Find(const Meaning (&table)[N], int32_t code, std::string_view otherwise) {
    const auto at = std::find_if(std::begin(table), std::end(table),
                                 [&](const Meaning& m) { return m.code == code; });
    return at == std::end(table) ? otherwise : at->text;
}

constexpr Meaning kResultCodes[] = {
    {OPOS_SUCCESS, "OPOS_SUCCESS: success"},
    {OPOS_E_NOTCLAIMED, "OPOS_E_NOTCLAIMED: the device must be claimed"},
    {OPOS_E_DISABLED, "OPOS_E_DISABLED: the device must be enabled"},
    {OPOS_E_ILLEGAL,
     "OPOS_E_ILLEGAL: bad argument, unsupported configuration, or not allowed while a marquee "
     "runs"},
    {OPOS_E_FAILURE, "OPOS_E_FAILURE: the display or its port is not reachable or did not answer"},
};

constexpr Meaning kExtendedCodes[] = {
    {kExtUnknownServiceProgId,
     "the device key's default value names another service object (or the key is missing)"},
    {kExtPortMissing, "no Port value"},
    {kExtBaudRateMissing, "no BaudRate value"},
    {kExtPortOpenFailed, "the serial port could not be opened (for USB displays: none attached)"},
    {kExtNoReadyAnswer, "the display did not answer the readiness query"},
    {kExtReadyTimeout, "the readiness answer was not 0xAA within 3000 ms"},
    {kExtNoBrand, "the device was opened under no known service identity"},
    {kExtClearTextInMarquee, "ClearText while the window's marquee runs"},
    {kExtDisplayTextInMarquee, "DisplayText while the window's marquee runs"},
    {kExtHMarqueeTooNarrow, "horizontal marquee on a window no wider than its viewport"},
    {kExtVMarqueeTooShort, "vertical marquee on a window no taller than its viewport"},
    {kExtIspReopen9600,
     "firmware update: reopening the port at 9600 baud before the unlock failed"},
    {kExtIspReopen115200,
     "firmware update: reopening the port at 115200 baud after the unlock failed"},
    {kExtIspNoSync, "firmware update: the loader did not answer the sync"},
    {kExtIspNoUnlock, "firmware update: the unlock was not acknowledged in time"},
    {kExtIspNoErase, "firmware update: the erase was not acknowledged"},
    {kExtIspReopenAfterFinish,
     "firmware update: reopening the port at 9600 baud after the finish failed"},
    {kExtIspNoFinish, "firmware update: the finish was not acknowledged"},
    {kExtIspNoAck, "firmware update: the stream loader stopped acknowledging"},
};

constexpr Meaning kPowerStates[] = {
    {OPOS_PS_UNKNOWN, "unknown"},
    {OPOS_PS_ONLINE, "online"},
    {OPOS_PS_OFF, "off"},
    {OPOS_PS_OFFLINE, "offline"},
};

}  // namespace

std::string_view ResultCodeMeaning(int32_t resultCode) {
    return Find(kResultCodes, resultCode, "unknown result code");
}

std::string_view ExtendedMeaning(int32_t resultCodeExtended) {
    return Find(kExtendedCodes, resultCodeExtended, "");
}

std::string_view PowerStateName(int32_t powerState) {
    return Find(kPowerStates, powerState, "unknown");
}

}  // namespace miraxld::setup
