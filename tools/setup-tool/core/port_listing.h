// The ports command: the system's serial-port list and the USB displays the service object's
// port search knows, read through the same registry reader and search as ClaimDevice.
#pragma once

#include "core/arguments.h"
#include "core/entry_commands.h"
#include "platform/platform.h"

namespace miraxld::setup {

Outcome RunPorts(IRegistry& registry, const Command& command);

}  // namespace miraxld::setup
