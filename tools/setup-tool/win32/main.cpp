// miraxld-setup: creates, lists, tests, exports and imports the device entries of the MIRAXLD
// Line Display service object, as a technician types them or a deployment script runs them.
// miraxld-setup --help lists the commands; each takes --help.
#include <cstdio>
#include <string>
#include <vector>

#include "com/com_headers.h"
#include "core/arguments.h"
#include "core/entry_commands.h"
#include "core/port_listing.h"
#include "platform/registry_tree.h"
#include "platform/win32/win32_services.h"
#include "win32/display_test.h"
#include "win32/registry_host.h"

namespace {

using namespace miraxld::setup;

// UTF-8 text to a stream: as wide characters on a console, whose code page may not be UTF-8;
// as UTF-8 bytes into a pipe or file.
void Print(FILE* stream, DWORD handleId, const std::string& text) {
    const HANDLE handle = GetStdHandle(handleId);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::u16string wide = miraxld::Utf8ToUtf16(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

Outcome RunTest(const Command& command) {
    const TestReport report = RunDisplayTest(command.operands[0]);
    return Outcome{report.passed ? kExitOk : kExitFailed,
                   command.json ? ReportJson(report) : ReportText(report),
                   {}};
}

Outcome Dispatch(const Command& command) {
    if (command.verb == Verb::kPorts) {
        return RunPorts(miraxld::win32::Registry(), command);
    }
    if (command.verb == Verb::kTest) {
        return RunTest(command);
    }
    return RunEntryCommand(*CreateRegistryHost(), command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i], argv[i] + wcslen(argv[i]));
    }
    const ParsedCommand parsed = ParseArguments(arguments);
    if (!parsed.error.empty()) {
        Print(stderr, STD_ERROR_HANDLE, "miraxld-setup: " + parsed.error + "\n");
        return kExitRefused;
    }
    if (parsed.command.help) {
        Print(stdout, STD_OUTPUT_HANDLE, HelpText(parsed.command.verb));
        return kExitOk;
    }
    const Outcome outcome = Dispatch(parsed.command);
    Print(stdout, STD_OUTPUT_HANDLE, outcome.out);
    if (!outcome.error.empty()) {
        Print(stderr, STD_ERROR_HANDLE, "miraxld-setup: " + outcome.error + "\n");
    }
    return outcome.exitCode;
}
