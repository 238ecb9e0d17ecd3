// Reading the device's OPOS registry key and the system's serial-port and USB keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace miraxld {

inline constexpr std::u16string_view kLineDisplayBranch =
    u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay";
inline constexpr std::u16string_view kSerialCommKey = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";

class RegistryReader {
  public:
    explicit RegistryReader(IRegistry& registry) : m_registry(registry) {}

    // The text of one value of the device key; empty when the key or value is missing.
    std::u16string ReadDeviceValue(std::u16string_view deviceName, std::u16string_view valueName);
    // The same, with the key path formatted from the branch and the device name.
    std::u16string ReadDeviceValueFormatted(std::u16string_view deviceName,
                                            std::u16string_view valueName);

    // Subkeys of SYSTEM\CurrentControlSet\Enum\USB\Vid_vvvv&Pid_pppp; 0 when missing.
    int CountUsbInstances(std::u16string_view vidPid);
    // The i-th instance key name and its "Device Parameters"\"PortName" (empty when missing).
    void ReadUsbPortName(std::u16string_view vidPid, int index, std::u16string* instanceName,
                         std::u16string* portName);
    // The number of the SERIALCOMM value whose data equals `portName`; 0 when none does.
    int FindSerialCommPort(std::u16string_view portName);

    long LastStatus() const { return m_lastStatus; }
    IRegistry& Registry() { return m_registry; }

  private:
    IRegistry& m_registry;
    std::u16string m_keyPath;
    long m_lastStatus = 0;
    uint32_t m_dataLength = 0;
};

// Decimal text as the C run-time reads it: leading blanks, an optional sign, digits up to the
// first other character; 0 without digits.
int32_t ParseDecimal(std::u16string_view text);
// "COM12" -> 12: the decimal value of what follows the first three characters; 0 for "COM".
int32_t ParsePortNumber(std::u16string_view portName);

}  // namespace miraxld
