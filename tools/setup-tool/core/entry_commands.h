// The commands that read and write device entries: list, add, remove, export, import. Each
// checks everything first and writes only when nothing is refused.
#pragma once

#include <string>

#include "core/arguments.h"
#include "core/setup_host.h"

namespace miraxld::setup {

struct Outcome {
    int exitCode = kExitOk;
    std::string out;    // for stdout
    std::string error;  // one line for stderr, without the program's prefix
};

// Runs list, add, remove, export or import.
Outcome RunEntryCommand(ISetupHost& host, const Command& command);

}  // namespace miraxld::setup
