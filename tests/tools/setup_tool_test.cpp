#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <map>
#include <sstream>

#include "core/entry_commands.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {
namespace {

const std::vector<DeviceEntry> kEntries = {
    {u"KT110",
     {{u"", u"MIRAXLD.POSLDisplay.1"},
      {u"DeviceModel", u"KT110"},
      {u"Port", u"COM3"},
      {u"BaudRate", u"9600"}}},
    {u"Other", {{u"", u"Other.LineDisplay.1"}, {u"Port", u"COM4"}}},
};

// Device keys per view in memory; a refusal must leave `views` and `files` as they were.
struct MemoryHost : ISetupHost {
    std::map<View, std::vector<DeviceEntry>> views{{View::k32, kEntries}, {View::k64, kEntries}};
    std::map<std::u16string, std::string> files;

    std::vector<View> Views() override { return {View::k32, View::k64}; }
    bool ServiceRegistered(View) override { return true; }
    std::vector<DeviceEntry> Entries(View view) override { return views[view]; }
    std::string Write(View view, const DeviceEntry& entry) override {
        Remove(view, entry.name);
        views[view].push_back(entry);
        return {};
    }
    std::string Remove(View view, std::u16string_view name) override {
        std::erase_if(views[view], [&](const DeviceEntry& e) { return e.name == name; });
        return {};
    }
    std::optional<std::string> ReadFile(std::u16string_view path) override {
        const auto at = files.find(std::u16string(path));
        return at == files.end() ? std::nullopt : std::optional(at->second);
    }
    std::string WriteFile(std::u16string_view path, std::string_view bytes) override {
        files[std::u16string(path)] = bytes;
        return {};
    }
};

// "add 'QV POS Pole Display' --model KT910": words, with single quotes around blanks.
Outcome Type(ISetupHost& host, const std::string& line) {
    std::vector<std::u16string> args;
    std::istringstream words(line);
    for (std::string word; words >> std::quoted(word, '\'', '\0');) {
        args.push_back(Utf8ToUtf16(word));
    }
    const ParsedCommand parsed = ParseArguments(args);
    return parsed.error.empty() ? RunEntryCommand(host, parsed.command)
                                : Outcome{kExitRefused, {}, parsed.error};
}

// The entries written, each once with the views holding it: "32,64 Name @:service;Port:COM3;".
std::string Written(const MemoryHost& before, const MemoryHost& after) {
    std::map<std::u16string, std::string> views;
    for (const auto& [view, entries] : after.views) {
        for (const DeviceEntry& entry : entries) {
            std::u16string text = entry.name + u" ";
            for (const EntryValue& v : entry.values) {
                text += (v.name.empty() ? u"@" : v.name) + u":" + v.data + u";";
            }
            if (std::ranges::count(before.views.at(view), entry) == 0) {
                views[text] += (views[text].empty() ? "" : ",") + std::to_string(int(view));
            }
        }
    }
    std::string text;
    for (const auto& [entry, in] : views) {
        text += in + " " + Utf16ToUtf8(entry) + "\n";
    }
    return text;
}

// Every value the service object reads, as the tool checks and writes it. A refused command
// names the value in one line and writes nothing; `file` is in.reg's content.
TEST(SetupTool, ValuesAreCheckedAndWrittenAsTheServiceObjectReadsThem) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string good =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\A]\n"
        "@=\"MIRAXLD.POSLDisplay.1\"\n\"DeviceModel\"=\"KT110\"\n\"Port\"=\"COM3\"\n"
        "\"BaudRate\"=\"9600\"\n";
    const std::string device = "[HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\B]\n";
    const struct {
        const char* line;
        int exitCode;          // 0 written, 1 failed, 2 refused
        std::string expected;  // in the message of a refusal, else what was written
        std::string file = {};
    } rows[] = {
        {"add Front --model kt120 --port com3 --baud 09600", 0,
         "32,64 Front @:MIRAXLD.POSLDisplay.1;DeviceModel:KT110;Port:COM3;BaudRate:9600;\n"},
        {"add Z --model ZN610 --port COM4 --baud 115200", 0,
         "32,64 Z @:MIRAXLD.POSLDisplay.1;DeviceModel:ZN610;Port:COM4;BaudRate:115200;\n"},
        {"add 'QV POS Pole Display' --service qv.posldisplay.1 --model KT910 --usb 1D9C_0A04", 0,
         "32,64 QV POS Pole Display @:QV.POSLDisplay.1;DeviceModel:KT910;Vid_Pid:1d9c_0a04;\n"},
        {"add Pole --model KT310 --rows 4 --columns 32 --port COM2 --baud 9600 --codepages "
         "'437, 850' --code-tables 0,2",
         0,
         "32,64 Pole @:MIRAXLD.POSLDisplay.1;DeviceModel:KT310;Port:COM2;BaudRate:9600;"
         "DeviceRows:4;DeviceColumns:32;CodepageList:437,850;CodepageCmdIndex:0,2;\n"},
        {"add kt110 --baud 19200 --codepages 437 --view 32", 0,
         "32 KT110 @:MIRAXLD.POSLDisplay.1;DeviceModel:KT110;Port:COM3;BaudRate:19200;"
         "CodepageList:437;\n"},
        {"add KT110 --model ''", 0,
         "32,64 KT110 @:MIRAXLD.POSLDisplay.1;Port:COM3;BaudRate:9600;\n"},
        {"add X --model KT999 --port COM3 --baud 9600", 2, "\"KT999\" is not a known model"},
        {"add X --model KT110 --port COMX", 2, "Port (--port) \"COMX\" is not a serial"},
        {"add X --model KT110 --port COM257 --baud 9600", 2, "(COM1 to COM256)"},
        {"add X --model KT110 --port COM3 --baud 9601", 2, "\"9601\" is not a supported baud rate"},
        {"add X --model KT310 --rows 9 --columns 20", 2,
         "DeviceRows (--rows) \"9\" is not a number from 1 to 8"},
        {"add X --model KT310 --columns 20 --port COM3 --baud 9600", 2, "no DeviceRows (--rows)"},
        {"add X --model KT110 --rows 4 --port COM3 --baud 9600", 2, "4 does not apply"},
        {"add X --model KT910 --max-x 480 --port COM3 --baud 9600", 2, "always has 320"},
        {"add X --model KT110 --port COM3 --baud 9600 --codepages 437,850 --code-tables 0", 2,
         "has 1 numbers for 2 code pages"},
        {"add X --model KT110 --port COM3 --baud 9600 --code-tables 0", 2, "has 1 numbers for 0"},
        {"add X --model KT110 --codepages 437,,850", 2, "an item \"\" that is not"},
        {"add X --model KT110 --codepages 437 --code-tables 256", 2, "from 0 to 255"},
        {"add KT910 --model KT110 --port COM3 --baud 9600", 2, "\"KT910\" means a KT910"},
        {"add X --model KT110 --usb 1d9c_0a03", 2, "1d9c_0a03 (--usb) means a KT910"},
        {"add X --model KT110 --usb 1234_5678 --port COM3 --baud 9600", 2, "not the USB identity"},
        {"add X --port COM3 --baud 9600", 2, "no model"},
        {"add X --model KT110 --baud 9600", 2, "no Port (--port)"},
        {"add X --model KT110 --port COM3", 2, "no BaudRate (--baud)"},
        {"add X --service QV.POSLDisplay.1 --model KT310", 2, "a KT310 has no USB identity"},
        {"add X --service Other.SO --model KT110", 2, "\"Other.SO\" is not"},
        {"add 'A\\B' --model KT110 --port COM3 --baud 9600", 2, "contains a backslash"},
        {"add KT110 --port COM3 --port COM4", 2, "--port is given twice"},
        {"add KT110 --colour red", 2, "unknown option --colour"},
        {"add KT110 --port", 2, "--port needs a value (COMn)"},
        {"add KT110 --baud 9600 --view 48", 2, "\"48\" is not a registry view"},
        {"add", 2, "add needs NAME"},
        {"list extra", 2, "unexpected \"extra\""},
        {"frobnicate", 2, "unknown command \"frobnicate\""},
        {"add Other --model KT110 --port COM3 --baud 9600", 2, "served by \"Other.LineDisplay.1\""},
        {"remove Other", 2, "served by \"Other.LineDisplay.1\""},
        {"remove Nobody", 1, "no device entry Nobody"},
        {"export none.reg KT110 Nobody", 1, "no device entry Nobody"},
        {"import missing.reg", 2, "cannot read missing.reg"},
        {"import in.reg", 2, "line 1: not a .reg file", "REGEDIT5\n" + good},
        {"import in.reg", 2, "line 8: Port is not a text value",
         header + good + device + "\"Port\"=dword:00000003\n"},
        {"import in.reg", 2, "\"Colour\" is not a value",
         header + good + device + "\"Colour\"=\"red\"\n"},
        {"import in.reg", 2, "is not a device key",
         header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\A]\n"},
        {"import in.reg", 2, "deleting keys is not supported",
         header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\A]\n"},
        {"import in.reg", 2, "device A appears twice", header + good + good},
        {"import in.reg", 2, "device B: no model",
         header + good + device + "@=\"MIRAXLD.POSLDisplay.1\"\n\"Port\"=\"COM3\"\n"},
        {"import in.reg", 2, "the file holds no device entry", header},
    };
    for (const auto& row : rows) {
        MemoryHost host;
        host.files[u"in.reg"] = row.file;
        const MemoryHost before = host;
        SCOPED_TRACE(row.line);
        const Outcome outcome = Type(host, row.line);
        EXPECT_EQ(outcome.exitCode, row.exitCode) << outcome.error;
        if (row.exitCode == 0) {
            EXPECT_EQ(Written(before, host), row.expected);
            continue;
        }
        EXPECT_NE(outcome.error.find(row.expected), std::string::npos) << outcome.error;
        EXPECT_EQ(outcome.error.find('\n'), std::string::npos);
        EXPECT_TRUE(host.views == before.views && host.files == before.files);
    }
}

TEST(SetupTool, ListShowsThisServiceObjectsEntriesOncePerViewSetWithTheirProblems) {
    MemoryHost host;
    host.views[View::k64].push_back(
        DeviceEntry{u"Hand", {{u"", u"QV.POSLDisplay.1"}, {u"DeviceModel", u"KT310"}}});
    EXPECT_EQ(Type(host, "list").out,
              "Hand (64-bit view)\n"
              "    service           QV.POSLDisplay.1\n"
              "    DeviceModel       KT310\n"
              "    problem: a KT310 has no USB identity for QV.POSLDisplay.1 to search (device "
              "name \"Hand\"); use MIRAXLD.POSLDisplay.1 with --port and --baud\n"
              "KT110 (32-bit and 64-bit views)\n"
              "    service           MIRAXLD.POSLDisplay.1\n"
              "    DeviceModel       KT110\n"
              "    Port              COM3\n"
              "    BaudRate          9600\n");
}

}  // namespace
}  // namespace miraxld::setup
