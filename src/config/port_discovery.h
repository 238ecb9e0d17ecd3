// Finding the COM port and baud rate of a display: from the device key (own brand) or by
// walking the USB enumeration keys for the model's USB identities (OEM brand).
#pragma once

#include <cstdint>
#include <string>

#include "config/registry_reader.h"

namespace miraxld {

struct PortChoice {
    std::u16string portName;
    int32_t portNumber = 0;
    uint32_t baudRate = 0;
    std::u16string vidPid;  // in: the key OpenService read; out: the last catalogue key tried
    uint8_t portListed = 0;
};

enum class PortChoiceOutcome { kDone, kPortMissing, kBaudRateMissing };

PortChoiceOutcome ChoosePort(RegistryReader& registry, std::u16string_view deviceName,
                             uint16_t brand, std::u16string_view deviceModel, PortChoice& choice);

}  // namespace miraxld

namespace miraxld {
// Decimal text of a number, as UTF-16.
std::u16string Utf16Decimal(int32_t value);
}  // namespace miraxld
