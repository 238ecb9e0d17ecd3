// What the result codes of the service object mean, in the README's words, for the display
// test's report.
#pragma once

#include <cstdint>
#include <string_view>

namespace miraxld::setup {

// "OPOS_SUCCESS: success"; "unknown result code" for a number outside the table.
std::string_view ResultCodeMeaning(int32_t resultCode);
// The extended code's meaning; empty for 0 and for numbers outside the table.
std::string_view ExtendedMeaning(int32_t resultCodeExtended);
// "online" for 2001 and the other power states; "unknown" outside them.
std::string_view PowerStateName(int32_t powerState);

}  // namespace miraxld::setup
