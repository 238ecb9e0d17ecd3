// The built-in code-page tables of the OEM-brand displays, which cannot report their own list.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace miraxld {

struct CodePageSlot {
    int32_t codePage;  // 0 = none at this position
    int32_t table;     // the display's code-table number
};

// Tables whose table number is the position; 0 entries leave their slot empty.
std::span<const int32_t> Kt910EarlyCodePages();        // firmware below 227000, 38 entries
std::span<const CodePageSlot> Kt910EarlyDoubleByte();  // slots 39 to 42 of that table
std::span<const int32_t> Rmx910EarlyCodePages();       // firmware below 128000, 35 entries
std::span<const int32_t> Kt110EarlyCodePages();        // firmware below 13000, 12 entries
// Tables of (code page, table number) pairs, one slot each in order.
std::span<const CodePageSlot> WideCodePages();        // the later KT910 and RMX910, 34 pairs
std::span<const CodePageSlot> Kt110LaterCodePages();  // KT110 family from 13000, 14 pairs

}  // namespace miraxld
