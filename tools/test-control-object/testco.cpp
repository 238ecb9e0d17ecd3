// testco: runs a script of IPOSLDisplay calls against the service object through IDispatch,
// as an OPOS Control Object would, and prints every call with its result and every event.
//
//     testco [--progid NAME] [SCRIPT | -]
//
// SCRIPT is a UTF-8 text file (stdin when absent or "-"); its syntax is described in script.h.
// Output, one line each (UTF-8):
//     ClaimDevice 1000 -> 0                the long [out, retval] of the call
//     GetPropertyString 4 -> "text"        a BSTR [out, retval]
//     SetPropertyNumber 3 1 -> done        a method without retval
//     DirectIO 1 5 "x" -> 0 pData=5 pString="x"   by-reference parameters after the call
//     ClaimDevice 1000 -> FAILED 0x80020009       Invoke failed
//     event SOStatusUpdate 2001            an event the service object fired
// Exit status: 0 when every call could be invoked, 1 when a line was malformed or a call
// failed, 2 when the service object could not be created.
#include <cstdio>
#include <string>
#include <vector>

#include "control_object.h"

#include <shellapi.h>
#include "script.h"

using miraxld::testco::CallResult;
using miraxld::testco::ControlObject;

namespace {

void Print(const std::wstring& line) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

bool ReadAll(const wchar_t* path, std::string* bytes) {
    FILE* file = path == nullptr ? stdin : _wfopen(path, L"rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->append(buffer, n);
    }
    if (file != stdin) {
        std::fclose(file);
    }
    return true;
}

std::wstring FromUtf8(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        size);
    return text;
}

void PrintEvents(ControlObject& co) {
    for (const auto& event : co.Events().Take()) {
        std::wstring line = L"event " + event.name;
        for (const auto& argument : event.arguments) {
            line += L" " + argument;
        }
        Print(line);
    }
}

std::wstring Describe(const CallResult& r) {
    if (!r.error.empty()) {
        return L"ERROR " + r.error + (FAILED(r.hr) ? L" " + Hex(r.hr) : L"");
    }
    if (FAILED(r.hr)) {
        return L"FAILED " + Hex(r.hr);
    }
    std::wstring text = r.number ? std::to_wstring(*r.number)
                        : r.text ? miraxld::testco::QuoteText(*r.text)
                                 : L"done";
    for (const auto& [name, value] : r.outputs) {
        const bool isText = name == L"pString";
        text += L" " + name + L"=" + (isText ? miraxld::testco::QuoteText(value) : value);
    }
    return text;
}

// Runs the script; returns the process exit status.
int Run(const std::wstring& script, const wchar_t* progId) {
    ControlObject co;
    const HRESULT created = co.Create(progId);
    if (FAILED(created)) {
        Print(L"cannot create " + std::wstring(progId) + L": " + Hex(created));
        return 2;
    }
    int status = 0;
    size_t start = 0;
    while (start <= script.size()) {
        size_t end = script.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = script.size();
        }
        std::wstring line = script.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        std::wstring error;
        const auto parsed = miraxld::testco::ParseScriptLine(line, &error);
        if (!parsed) {
            if (!error.empty()) {
                Print(line + L" -> ERROR " + error);
                status = 1;
            }
            continue;
        }
        if (parsed->command == L"Sleep" && parsed->arguments.size() == 1) {
            Sleep(static_cast<DWORD>(_wtoi(parsed->arguments[0].c_str())));
        } else if (parsed->command != L"Events") {
            const CallResult result = co.Call(parsed->command, parsed->arguments);
            Print(line + L" -> " + Describe(result));
            if (!result.error.empty() || FAILED(result.hr)) {
                status = 1;
            }
        }
        PrintEvents(co);
    }
    PrintEvents(co);
    return status;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t* progId = L"MIRAXLD.POSLDisplay.1";
    const wchar_t* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--progid" && i + 1 < argc) {
            progId = argv[++i];
        } else if (arg != L"-") {
            path = argv[i];
        }
    }
    std::string bytes;
    if (!ReadAll(path, &bytes)) {
        Print(L"cannot read " + std::wstring(path));
        LocalFree(argv);
        return 1;
    }
    int status = 2;
    {
        miraxld::testco::ComApartment apartment;
        if (SUCCEEDED(apartment.Status())) {
            status = Run(FromUtf8(bytes), progId);
        }
    }
    LocalFree(argv);
    return status;
}
