// Device entries as a .reg file, in regedit's own format: UTF-16LE with a byte-order mark,
// "Windows Registry Editor Version 5.00", one [HKEY_LOCAL_MACHINE\...\LineDisplay\NAME] key per
// entry with its text values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/device_entry.h"

namespace miraxld::setup {

// The file's bytes.
std::string WriteRegFile(const std::vector<DeviceEntry>& entries);

struct RegFileContent {
    std::vector<DeviceEntry> entries;
    std::string error;  // "line N: ...", or empty
};

// Reads UTF-16LE (with its byte-order mark, as regedit writes) or UTF-8 text. Only device keys of
// the Line Display branch with text values are accepted; the branch key itself may stand
// without values. Entries come back as written, unchecked.
RegFileContent ParseRegFile(std::string_view bytes);

}  // namespace miraxld::setup
