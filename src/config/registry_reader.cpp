#include "config/registry_reader.h"

namespace miraxld {

std::u16string RegistryReader::ReadDeviceValue(std::u16string_view deviceName,
                                               std::u16string_view valueName) {
    m_keyPath = std::u16string(kLineDisplayBranch) + u"\\" + std::u16string(deviceName);
    std::u16string data;
    m_lastStatus = m_registry.QueryString(m_keyPath, valueName, &data);
    return m_lastStatus == 0 ? data : std::u16string();
}

std::u16string RegistryReader::ReadDeviceValueFormatted(std::u16string_view deviceName,
                                                        std::u16string_view valueName) {
    return ReadDeviceValue(deviceName, valueName);
}

int RegistryReader::CountUsbInstances(std::u16string_view) { return 0; }

void RegistryReader::ReadUsbPortName(std::u16string_view, int, std::u16string* instanceName,
                                     std::u16string* portName) {
    instanceName->clear();
    portName->clear();
}

int RegistryReader::FindSerialCommPort(std::u16string_view) { return 0; }

int32_t ParseDecimal(std::u16string_view) { return 0; }
int32_t ParsePortNumber(std::u16string_view) { return 0; }
std::vector<int32_t> ParseNumberList(std::u16string_view) { return {}; }

}  // namespace miraxld
