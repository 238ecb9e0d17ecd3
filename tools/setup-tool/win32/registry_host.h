// The setup commands' system on Windows: device keys in the 32-bit and 64-bit registry views,
// the service object's registration in each, and files.
#pragma once

#include <memory>

#include "core/setup_host.h"

namespace miraxld::setup {

std::unique_ptr<ISetupHost> CreateRegistryHost();

}  // namespace miraxld::setup
