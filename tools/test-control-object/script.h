// The test Control Object's script language.
//
// One call per line: the method name, then its arguments separated by blanks, e.g.
//     OpenService LineDisplay KT110
//     ClaimDevice 1000
//     SetPropertyNumber 3 1
//     DisplayText "Total 12.50" 0
//     GetPropertyNumber 6
//     DirectIO 7 0 "in"            (by-reference arguments give their initial value)
//     ReadCharacterAtCursor 0
//     CloseService
// Every parameter except the [out, retval] one and OpenService's pDispatch is given. Numbers
// are decimal or 0x-hexadecimal; booleans 0/1/true/false. An argument in double quotes may hold
// blanks and the escapes \" \\ \n \r \t \xHH and \uHHHH (a UTF-16 code unit). Lines starting
// with # and blank lines are skipped. Two words are not methods:
//     Sleep 500                     waits 500 ms (lets port-monitor events arrive)
//     Events                        prints the events received so far
// Events are also printed after every call and at the end of the script.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace miraxld::testco {

struct ScriptLine {
    std::wstring command;
    std::vector<std::wstring> arguments;
};

// Splits one line; nothing for a blank or comment line; `error` is set for a malformed one
// (an unterminated quote or a bad escape).
std::optional<ScriptLine> ParseScriptLine(std::wstring_view line, std::wstring* error);

// A text in the script's quoted form, for printing results (non-printable units escaped).
std::wstring QuoteText(std::wstring_view text);

}  // namespace miraxld::testco
