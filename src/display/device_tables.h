// Device character tables that the text conversion needs beyond the system code pages: the
// Japanese single-byte symbols, the Vietnamese (VISCII) device table and the Hebrew device table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace miraxld {

// The single byte that the display's Japanese single-byte table (CharacterSet 9320) shows for a
// two-byte Shift-JIS code, or nothing when the code is not one of its symbols.
std::optional<uint8_t> JapaneseSingleByte(uint16_t shiftJis);

// Index = device byte, value = Unicode code point (the VISCII assignment).
extern const std::array<uint16_t, 256> kVietnameseDeviceTable;
// Index = device byte - 0x80, value = Unicode code point (Windows-1255 with Hebrew presentation
// forms at the display's own positions).
extern const std::array<uint16_t, 128> kHebrewDeviceTable;

// The device byte of the last table entry equal to `c`, or nothing.
std::optional<uint8_t> VietnameseDeviceByte(char16_t c);
// 0x80 plus the index of the last Hebrew table entry equal to `c`, or nothing.
std::optional<uint8_t> HebrewDeviceByte(char16_t c);

}  // namespace miraxld
