// The command line of miraxld-setup: one verb, its operands and its options.
//
//   miraxld-setup list [--json]
//   miraxld-setup add NAME --model M --port COMn --baud N [...] [--view 32|64]
//   miraxld-setup remove NAME [--view 32|64]
//   miraxld-setup ports [--json]
//   miraxld-setup test NAME [--json]
//   miraxld-setup export FILE.reg [NAME...]
//   miraxld-setup import FILE.reg [--view 32|64]
//
// Every verb takes --help. Options take their value as the next argument or after '='.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/setup_host.h"

namespace miraxld::setup {

enum class Verb { kNone, kList, kAdd, kRemove, kPorts, kTest, kExport, kImport };

// Exit codes: 0 success; 1 the work failed (an entry missing, the registry refused, the display
// test failed); 2 refused before anything was done (bad command line, value or file).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitRefused = 2;

struct Command {
    Verb verb = Verb::kNone;
    bool help = false;
    bool json = false;
    std::optional<View> view;
    std::vector<std::u16string> operands;  // NAME; or FILE, then NAMEs
    // add's value options in the order given: value name and text ("" removes the value).
    std::vector<std::pair<std::u16string, std::u16string>> values;
};

struct ParsedCommand {
    Command command;
    std::string error;  // one line; empty when the command line is good
};

ParsedCommand ParseArguments(const std::vector<std::u16string>& arguments);

// The help of one verb, or of the program for Verb::kNone.
std::string HelpText(Verb verb);

}  // namespace miraxld::setup
