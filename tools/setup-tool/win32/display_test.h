// The test command: drives the device's display through the service object as a POS
// application's Control Object does (by ProgID, GetIDsOfNames and Invoke) and reports each step.
#pragma once

#include <string_view>

#include "core/test_report.h"

namespace miraxld::setup {

TestReport RunDisplayTest(std::u16string_view deviceName);

}  // namespace miraxld::setup
