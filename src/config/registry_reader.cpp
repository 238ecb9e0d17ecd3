#include "config/registry_reader.h"

#include <algorithm>
#include <climits>

namespace miraxld {

namespace {

constexpr std::u16string_view kUsbBranch = u"SYSTEM\\CurrentControlSet\\Enum\\USB\\";

// "1d9c_0a01" -> "SYSTEM\CurrentControlSet\Enum\USB\Vid_1d9c&Pid_0a01"
std::u16string UsbKeyPath(std::u16string_view vidPid) {
    const std::u16string_view vendor = vidPid.substr(0, 4);
    const std::u16string_view product = vidPid.size() >= 4 ? vidPid.substr(vidPid.size() - 4) : u"";
    return std::u16string(kUsbBranch) + u"Vid_" + std::u16string(vendor) + u"&Pid_" +
           std::u16string(product);
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

std::u16string RegistryReader::ReadDeviceValue(std::u16string_view deviceName,
                                               std::u16string_view valueName) {
    m_keyPath = std::u16string(kLineDisplayBranch) + u"\\" + std::u16string(deviceName);
    std::u16string data;
    m_lastStatus = m_registry.QueryString(m_keyPath, valueName, &data);
    if (m_lastStatus != 0) {
        m_dataLength = 0;
        return {};
    }
    m_dataLength = static_cast<uint32_t>((data.size() + 1) * sizeof(char16_t));
    return data;
}

// Same key, same result: the path is built the same way the formatted form would give it.
std::u16string RegistryReader::ReadDeviceValueFormatted(std::u16string_view deviceName,
                                                        std::u16string_view valueName) {
    return ReadDeviceValue(deviceName, valueName);
}

int RegistryReader::CountUsbInstances(std::u16string_view vidPid) {
    std::vector<std::u16string> names;
    m_keyPath = UsbKeyPath(vidPid);
    m_lastStatus = m_registry.EnumSubKeys(m_keyPath, &names);
    return m_lastStatus == 0 ? static_cast<int>(names.size()) : 0;
}

void RegistryReader::ReadUsbPortName(std::u16string_view vidPid, int index,
                                     std::u16string* instanceName, std::u16string* portName) {
    instanceName->clear();
    portName->clear();
    std::vector<std::u16string> names;
    m_keyPath = UsbKeyPath(vidPid);
    m_lastStatus = m_registry.EnumSubKeys(m_keyPath, &names);
    if (m_lastStatus != 0 || index < 0 || index >= static_cast<int>(names.size())) {
        return;
    }
    *instanceName = names[index].substr(0, 255);
    m_keyPath += u"\\" + *instanceName + u"\\Device Parameters";
    std::u16string data;
    m_lastStatus = m_registry.QueryString(m_keyPath, u"PortName", &data);
    if (m_lastStatus == 0) {
        *portName = data;
    }
}

int RegistryReader::FindSerialCommPort(std::u16string_view portName) {
    std::vector<RegistryValue> values;
    m_lastStatus = m_registry.EnumValues(kSerialCommKey, &values);
    if (m_lastStatus != 0) {
        return 0;
    }
    for (const RegistryValue& value : values) {
        if (value.data == portName) {
            std::u16string_view number = value.data;
            while (!number.empty() &&
                   (number.front() == u'C' || number.front() == u'O' || number.front() == u'M')) {
                number.remove_prefix(1);
            }
            return ParseDecimal(number);
        }
    }
    return 0;
}

int32_t ParseDecimal(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        // Saturate instead of overflowing on absurd registry texts.
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t(INT32_MAX) + 1);
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

int32_t ParsePortNumber(std::u16string_view portName) {
    return portName.size() > 3 ? ParseDecimal(portName.substr(3)) : 0;
}

}  // namespace miraxld
