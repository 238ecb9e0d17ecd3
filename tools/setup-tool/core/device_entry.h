// One device entry of the service object: the name of a device key under the Line Display
// branch and the text values the service object reads from it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace miraxld::setup {

// The values of a device key the service object reads, in the order the tool writes and shows
// them. The empty name is the key's default value, the service identity (a ProgID).
inline constexpr std::u16string_view kServiceValue = u"";
inline constexpr std::array<std::u16string_view, 11> kEntryValueNames = {
    kServiceValue,      u"DeviceModel", u"Port",     u"BaudRate", u"DeviceRows",
    u"DeviceColumns",   u"MaximumX",    u"MaximumY", u"Vid_Pid",  u"CodepageList",
    u"CodepageCmdIndex"};

// The options of `add` that set the values, with what each takes; messages name both.
struct EntryOption {
    std::string_view option;
    std::u16string_view valueName;
    std::string_view placeholder;
    std::string_view help;
};
inline constexpr std::array<EntryOption, 11> kEntryOptions = {{
    {"--service", kServiceValue, "PROGID",
     "MIRAXLD.POSLDisplay.1 (default for a new entry) or QV.POSLDisplay.1 (USB displays, port "
     "found by USB identity)"},
    {"--model", u"DeviceModel", "MODEL",
     "KT110 (aliases KT120 KT130 KT140 KT710), RMX110, KT910, RMX910, KT310, GQ310, ZN610, Normal"},
    {"--port", u"Port", "COMn", "serial port, COM1 to COM256"},
    {"--baud", u"BaudRate", "N", "1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200"},
    {"--rows", u"DeviceRows", "N", "rows, 1 to 8 (KT310, GQ310, Normal; ZN610 default 3)"},
    {"--columns", u"DeviceColumns", "N",
     "columns, 1 to 64 (KT310, GQ310, Normal; ZN610 default 32)"},
    {"--max-x", u"MaximumX", "DOTS", "graphic width, 1 to 512 (fixed for KT910, RMX910, ZN610)"},
    {"--max-y", u"MaximumY", "DOTS", "graphic height, 1 to 128 (fixed for KT910, RMX910, ZN610)"},
    {"--usb", u"Vid_Pid", "vvvv_pppp", "USB identity, 067b_2303 or 1d9c_0a01 to 1d9c_0a07"},
    {"--codepages", u"CodepageList", "LIST", "code pages, e.g. 437,850,1252"},
    {"--code-tables", u"CodepageCmdIndex", "LIST",
     "the display's code-table number (0 to 255) of each code page, e.g. 0,2,16"},
}};

// "DeviceRows (--rows)", "the service identity (--service)": how messages name a value.
std::string ValueLabel(std::u16string_view valueName);

struct EntryValue {
    std::u16string name;
    std::u16string data;
    bool operator==(const EntryValue&) const = default;
};

struct DeviceEntry {
    std::u16string name;
    std::vector<EntryValue> values;  // only names of kEntryValueNames, in that order

    // The value's text; empty when it is not set.
    std::u16string Get(std::u16string_view valueName) const;
    bool Has(std::u16string_view valueName) const;
    // Sets a value of kEntryValueNames (matched without regard to case); empty text removes it.
    void Set(std::u16string_view valueName, std::u16string_view text);

    bool operator==(const DeviceEntry&) const = default;
};

// The entry's value name as the tool writes it, or empty for a name the service object does
// not read. `*known` tells the two empties apart.
std::u16string_view CanonicalValueName(std::u16string_view valueName, bool* known);

// Whether the entry's service identity is one of the two this service object answers to.
bool IsServedHere(const DeviceEntry& entry);

// Registry key and value names compare without regard to case; so do the tool's own words.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

// The text in double quotes, as messages show values.
std::string Quoted(std::u16string_view text);

// The key path below HKEY_LOCAL_MACHINE.
std::u16string DeviceKeyPath(std::u16string_view deviceName);

}  // namespace miraxld::setup
