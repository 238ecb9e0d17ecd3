#include "config/port_discovery.h"

#include "config/model_catalogue.h"

namespace miraxld {

namespace {

constexpr uint32_t kUsbBaudRate = 9600;

// Walks the model's USB identities in catalogue order; the first attached instance wins.
void SearchUsb(RegistryReader& registry, std::u16string_view deviceModel, PortChoice& choice) {
    for (const UsbIdentity& row : kModelCatalogue) {
        if (row.model != deviceModel) {
            continue;
        }
        choice.vidPid = std::u16string(row.vidPid);
        const int instances = registry.CountUsbInstances(choice.vidPid);
        for (int i = 0; i < instances; ++i) {
            std::u16string instance;
            std::u16string portName;
            registry.ReadUsbPortName(choice.vidPid, i, &instance, &portName);
            choice.portNumber = registry.FindSerialCommPort(portName);
            if (choice.portNumber != 0) {
                choice.portName = u"COM" + Utf16Decimal(choice.portNumber);
                choice.baudRate = kUsbBaudRate;
                choice.portListed = 1;
                return;
            }
        }
    }
}

}  // namespace

std::u16string Utf16Decimal(int32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

PortChoiceOutcome ChoosePort(RegistryReader& registry, std::u16string_view deviceName,
                             uint16_t brand, std::u16string_view deviceModel, PortChoice& choice) {
    choice.portName = registry.ReadDeviceValueFormatted(deviceName, u"Port");
    if (brand == kBrandOwn) {
        if (choice.portName.empty()) {
            return PortChoiceOutcome::kPortMissing;
        }
        choice.portNumber = ParsePortNumber(choice.portName);
        const std::u16string baud = registry.ReadDeviceValueFormatted(deviceName, u"BaudRate");
        if (baud.empty()) {
            return PortChoiceOutcome::kBaudRateMissing;
        }
        choice.baudRate = static_cast<uint32_t>(ParseDecimal(baud));
        return PortChoiceOutcome::kDone;
    }
    // A failed search leaves port number 0, which the following open refuses.
    choice.portNumber = 0;
    SearchUsb(registry, deviceModel, choice);
    return PortChoiceOutcome::kDone;
}

}  // namespace miraxld
