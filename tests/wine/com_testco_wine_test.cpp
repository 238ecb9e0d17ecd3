// The test Control Object's script lines and argument checks: what the end-to-end scripts
// rely on to reach the service object with the intended values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_object.h"
#include "script.h"

namespace {

using miraxld::testco::ParseScriptLine;

TEST(TestcoScript, SplitsLinesIntoCommandAndArguments) {
    struct Row {
        const wchar_t* line;
        std::vector<std::wstring> words;  // command first; empty: no call on this line
        bool malformed;
    };
    const Row rows[] = {
        {L"OpenService LineDisplay KT110", {L"OpenService", L"LineDisplay", L"KT110"}, false},
        {L"  ClaimDevice\t1000  ", {L"ClaimDevice", L"1000"}, false},
        {L"DisplayText \"Total 12.50\" 0", {L"DisplayText", L"Total 12.50", L"0"}, false},
        {L"DisplayText \"\" 0", {L"DisplayText", L"", L"0"}, false},
        {L"DisplayText \"a\\\"b\\\\c\" 0", {L"DisplayText", L"a\"b\\c", L"0"}, false},
        {L"DisplayText \"\\x1B\\u05D0\\n\" 0", {L"DisplayText", L"\x1B\u05D0\n", L"0"}, false},
        {L"DisplayText x#y", {L"DisplayText", L"x#y"}, false},
        {L"# a comment", {}, false},
        {L"", {}, false},
        {L"   ", {}, false},
        {L"DisplayText \"open", {}, true},
        {L"DisplayText \"bad \\q\"", {}, true},
        {L"DisplayText \"short \\x4\"", {}, true},
    };
    for (const Row& row : rows) {
        std::wstring error;
        const auto parsed = ParseScriptLine(row.line, &error);
        EXPECT_EQ(!error.empty(), row.malformed)
            << std::string(row.line, row.line + wcslen(row.line));
        std::vector<std::wstring> words;
        if (parsed) {
            words.push_back(parsed->command);
            words.insert(words.end(), parsed->arguments.begin(), parsed->arguments.end());
        }
        EXPECT_EQ(words, row.words);
    }
}

TEST(TestcoScript, QuotedOutputReadsBackAsTheSameText) {
    const std::wstring texts[] = {L"plain", L"with \"quotes\" and \\", L"\x01\x1B\x7F end",
                                  L"\u00e9\u05d0"};
    for (const std::wstring& text : texts) {
        std::wstring error;
        const auto parsed = ParseScriptLine(L"X " + miraxld::testco::QuoteText(text), &error);
        ASSERT_TRUE(parsed.has_value());
        ASSERT_EQ(parsed->arguments.size(), 1u);
        EXPECT_EQ(parsed->arguments[0], text);
    }
}

TEST(TestcoCalls, ArgumentsAreCheckedBeforeAnyInvoke) {
    miraxld::testco::ComApartment apartment;
    miraxld::testco::ControlObject co;
    ASSERT_EQ(co.Create(), S_OK);
    struct Row {
        const wchar_t* method;
        std::vector<std::wstring> arguments;
        bool refused;
    };
    const Row rows[] = {
        {L"ClaimDevice", {}, true},
        {L"ClaimDevice", {L"10", L"20"}, true},
        {L"ClaimDevice", {L"ten"}, true},
        {L"ClaimDevice", {L"99999999999"}, true},
        {L"COFreezeEvents", {L"maybe"}, true},
        {L"NoSuchMethod", {}, true},
        {L"OpenService", {L"LineDisplay", L"KT110"}, false},  // pDispatch is supplied
        {L"COFreezeEvents", {L"TRUE"}, false},
        {L"CheckHealth", {L"0x10"}, false},
        {L"CheckHealth", {L"-1"}, false},
    };
    for (const Row& row : rows) {
        const auto result = co.Call(row.method, row.arguments);
        EXPECT_EQ(!result.error.empty(), row.refused)
            << std::string(row.method, row.method + wcslen(row.method));
    }
}

}  // namespace
