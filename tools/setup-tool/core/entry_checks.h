// The checks every entry passes before the tool writes it, from the command line or from a
// .reg file alike.
#pragma once

#include <string>

#include "core/device_entry.h"

namespace miraxld::setup {

// Checks the entry and brings its values into the exact form the service object compares
// (canonical ProgID and model name, "COM3", decimal numbers, lists without blanks). Returns the
// first problem as a one-line message naming the value and what is allowed, or empty.
std::string CheckEntry(DeviceEntry& entry);

// The model the service object will settle for the entry (its device name and USB identity
// first, then DeviceModel), as OpenService does.
std::u16string SettledModel(const DeviceEntry& entry);

}  // namespace miraxld::setup
