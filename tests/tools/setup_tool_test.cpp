#include <gtest/gtest.h>

#include <map>

#include "core/entry_commands.h"
#include "core/port_listing.h"
#include "core/reg_file.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {
namespace {

// Device keys per view in memory; a refusal must leave `views` and `files` as they were.
struct MemoryHost : ISetupHost {
    std::map<View, std::vector<DeviceEntry>> views{{View::k32, {}}, {View::k64, {}}};
    std::map<View, bool> registered{{View::k32, true}, {View::k64, true}};
    std::map<std::u16string, std::string> files;

    std::vector<View> Views() override { return {View::k32, View::k64}; }
    bool ServiceRegistered(View view) override { return registered[view]; }
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
Outcome Type(ISetupHost& host, std::string_view line) {
    std::vector<std::u16string> args;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ') {
            continue;
        }
        const char end = line[i] == '\'' ? '\'' : ' ';
        const size_t from = i + (end == '\'');
        i = std::min(line.find(end, from), line.size());
        args.push_back(Utf8ToUtf16(line.substr(from, i - from)));
    }
    const ParsedCommand parsed = ParseArguments(args);
    if (!parsed.error.empty()) {
        return Outcome{kExitRefused, {}, parsed.error};
    }
    return RunEntryCommand(host, parsed.command);
}

// name:value;name:value... of an entry, the default value as "@".
std::string Values(const DeviceEntry& entry) {
    std::string text;
    for (const EntryValue& v : entry.values) {
        text += (v.name.empty() ? "@" : Utf16ToUtf8(v.name)) + ":" + Utf16ToUtf8(v.data) + ";";
    }
    return text;
}

DeviceEntry Entry(std::u16string name, std::vector<EntryValue> values) {
    return DeviceEntry{std::move(name), std::move(values)};
}

MemoryHost HostWithEntries() {
    MemoryHost host;
    for (View view : {View::k32, View::k64}) {
        host.views[view] = {
            Entry(u"KT110", {{u"", u"MIRAXLD.POSLDisplay.1"},
                             {u"DeviceModel", u"KT110"},
                             {u"Port", u"COM3"},
                             {u"BaudRate", u"9600"}}),
            Entry(u"Other", {{u"", u"Other.LineDisplay.1"}, {u"Port", u"COM4"}}),
        };
    }
    return host;
}

TEST(SetupTool, RefusedCommandsNameTheValueAndWriteNothing) {
    const struct {
        const char* line;
        const char* message;
    } rows[] = {
        {"add X --model KT999 --port COM3 --baud 9600", "\"KT999\" is not a known model"},
        {"add X --model KT110 --port COMX --baud 9600", "Port (--port) \"COMX\" is not a serial"},
        {"add X --model KT110 --port COM257 --baud 9600", "(COM1 to COM256)"},
        {"add X --model KT110 --port COM3 --baud 9601", "\"9601\" is not a supported baud rate"},
        {"add X --model KT310 --rows 9 --columns 20 --port COM3 --baud 9600",
         "DeviceRows (--rows) \"9\" is not a number from 1 to 8"},
        {"add X --model KT310 --columns 20 --port COM3 --baud 9600", "no DeviceRows (--rows)"},
        {"add X --model KT110 --rows 4 --port COM3 --baud 9600", "4 does not apply"},
        {"add X --model KT910 --max-x 480 --port COM3 --baud 9600", "always has 320"},
        {"add X --model KT110 --port COM3 --baud 9600 --codepages 437,850 --code-tables 0",
         "has 1 numbers for 2 code pages"},
        {"add X --model KT110 --port COM3 --baud 9600 --code-tables 0", "has 1 numbers for 0"},
        {"add X --model KT110 --port COM3 --baud 9600 --codepages 437,,850",
         "an item \"\" that is not"},
        {"add X --model KT110 --port COM3 --baud 9600 --codepages 437 --code-tables 256",
         "from 0 to 255"},
        {"add KT910 --model KT110 --port COM3 --baud 9600", "\"KT910\" means a KT910"},
        {"add X --model KT110 --usb 1d9c_0a03 --port COM3 --baud 9600",
         "1d9c_0a03 (--usb) means a KT910"},
        {"add X --model KT110 --usb 1234_5678 --port COM3 --baud 9600", "not the USB identity"},
        {"add X --port COM3 --baud 9600", "no model"},
        {"add X --model KT110 --baud 9600", "no Port (--port)"},
        {"add X --model KT110 --port COM3", "no BaudRate (--baud)"},
        {"add X --service QV.POSLDisplay.1 --model KT310 --rows 2 --columns 20",
         "a KT310 has no USB identity"},
        {"add X --service Other.SO --model KT110 --port COM3 --baud 9600", "\"Other.SO\" is not"},
        {"add 'A\\B' --model KT110 --port COM3 --baud 9600", "contains a backslash"},
        {"add KT110 --port COM3 --port COM4", "--port is given twice"},
        {"add KT110 --colour red", "unknown option --colour"},
        {"add KT110 --port", "--port needs a value (COMn)"},
        {"add KT110 --baud 9600 --view 48", "\"48\" is not a registry view"},
        {"add", "add needs NAME"},
        {"list extra", "unexpected \"extra\""},
        {"frobnicate", "unknown command \"frobnicate\""},
        {"add Other --port COM5", "served by \"Other.LineDisplay.1\""},
        {"remove Other", "served by \"Other.LineDisplay.1\""},
        {"import missing.reg", "cannot read missing.reg"},
    };
    for (const auto& row : rows) {
        MemoryHost host = HostWithEntries();
        const auto before = host.views;
        const Outcome outcome = Type(host, row.line);
        EXPECT_EQ(outcome.exitCode, kExitRefused) << row.line;
        EXPECT_NE(outcome.error.find(row.message), std::string::npos)
            << row.line << "\n  " << outcome.error;
        EXPECT_EQ(outcome.error.find('\n'), std::string::npos) << row.line;
        EXPECT_TRUE(host.views == before) << row.line;
    }
}

TEST(SetupTool, AddWritesTheValuesTheServiceObjectComparesExactly) {
    const struct {
        const char* line;
        const char* name;
        const char* values;
    } rows[] = {
        {"add Front --model kt120 --port com3 --baud 09600", "Front",
         "@:MIRAXLD.POSLDisplay.1;DeviceModel:KT110;Port:COM3;BaudRate:9600;"},
        {"add Z --model ZN610 --port COM4 --baud 115200", "Z",
         "@:MIRAXLD.POSLDisplay.1;DeviceModel:ZN610;Port:COM4;BaudRate:115200;"},
        {"add 'QV POS Pole Display' --service qv.posldisplay.1 --model KT910 --usb 1D9C_0A04",
         "QV POS Pole Display", "@:QV.POSLDisplay.1;DeviceModel:KT910;Vid_Pid:1d9c_0a04;"},
        {"add Pole --model KT310 --rows 4 --columns 32 --port COM2 --baud 9600 --codepages "
         "'437, 850' --code-tables 0,2",
         "Pole",
         "@:MIRAXLD.POSLDisplay.1;DeviceModel:KT310;Port:COM2;BaudRate:9600;DeviceRows:4;"
         "DeviceColumns:32;CodepageList:437,850;CodepageCmdIndex:0,2;"},
        {"add kt110 --baud 19200 --codepages 437", "KT110",
         "@:MIRAXLD.POSLDisplay.1;DeviceModel:KT110;Port:COM3;BaudRate:19200;CodepageList:437;"},
        {"add KT110 --model ''", "KT110", "@:MIRAXLD.POSLDisplay.1;Port:COM3;BaudRate:9600;"},
    };
    for (const auto& row : rows) {
        MemoryHost host = HostWithEntries();
        EXPECT_EQ(Type(host, row.line).exitCode, kExitOk) << row.line;
        for (View view : {View::k32, View::k64}) {
            const auto& entries = host.views[view];
            const auto at = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                return e.name == Utf8ToUtf16(row.name);
            });
            ASSERT_NE(at, entries.end()) << row.line;
            EXPECT_EQ(Values(*at), row.values) << row.line;
        }
    }
}

TEST(SetupTool, EntriesGoToTheViewsWhereTheServiceObjectIsRegistered) {
    const struct {
        bool registered32, registered64;
        const char* option;
        int exitCode;
        size_t in32, in64;
    } rows[] = {
        {true, true, "", kExitOk, 1, 1},
        {false, true, "", kExitOk, 0, 1},
        {true, false, "", kExitOk, 1, 0},
        {false, false, "", kExitFailed, 0, 0},
        {false, false, " --view 32", kExitOk, 1, 0},
    };
    for (const auto& row : rows) {
        MemoryHost host;
        host.registered = {{View::k32, row.registered32}, {View::k64, row.registered64}};
        const std::string line = "add KT110 --port COM3 --baud 9600" + std::string(row.option);
        EXPECT_EQ(Type(host, line).exitCode, row.exitCode) << line;
        EXPECT_EQ(host.views[View::k32].size(), row.in32) << line;
        EXPECT_EQ(host.views[View::k64].size(), row.in64) << line;
    }
}

TEST(SetupTool, ExportRemoveImportRoundTrip) {
    MemoryHost host = HostWithEntries();
    ASSERT_EQ(
        Type(host, "add Pole --model GQ310 --rows 4 --columns 32 --port COM2 --baud 9600").exitCode,
        kExitOk);
    const auto before = host.views;
    EXPECT_EQ(Type(host, "export none.reg KT110 Nobody").exitCode, kExitFailed);
    EXPECT_TRUE(host.files.empty());
    ASSERT_EQ(Type(host, "export all.reg").out, "2 device entries written to all.reg\n");
    const std::string bytes = host.files[u"all.reg"];
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4));  // regedit's UTF-16LE
    for (const char* name : {"KT110", "Pole"}) {
        EXPECT_EQ(Type(host, "remove " + std::string(name)).exitCode, kExitOk);
    }
    EXPECT_EQ(Type(host, "remove Pole").exitCode, kExitFailed);
    EXPECT_EQ(Type(host, "import all.reg").exitCode, kExitOk);
    for (View view : {View::k32, View::k64}) {
        auto sorted = [](std::vector<DeviceEntry> v) {
            std::sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.name < b.name; });
            return v;
        };
        EXPECT_TRUE(sorted(host.views[view]) == sorted(before.at(view)));
    }
}

TEST(SetupTool, RefusedImportWritesNothing) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string good =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\A]\n"
        "@=\"MIRAXLD.POSLDisplay.1\"\n\"DeviceModel\"=\"KT110\"\n\"Port\"=\"COM3\"\n"
        "\"BaudRate\"=\"9600\"\n";
    const std::string device = "[HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\B]\n";
    const struct {
        std::string text;
        const char* message;
    } rows[] = {
        {"REGEDIT5\n" + good, "line 1: not a .reg file"},
        {header + good + device + "\"Port\"=dword:00000003\n", "line 8: Port is not a text value"},
        {header + good + device + "\"Colour\"=\"red\"\n", "\"Colour\" is not a value"},
        {header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\A]\n", "is not a device key"},
        {header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\A]\n",
         "deleting keys is not supported"},
        {header + good + good, "device A appears twice"},
        {header + good + device + "@=\"MIRAXLD.POSLDisplay.1\"\n\"Port\"=\"COM3\"\n",
         "device B: no model"},
        {header, "the file holds no device entry"},
    };
    for (const auto& row : rows) {
        MemoryHost host;
        host.files[u"in.reg"] = row.text;
        const Outcome outcome = Type(host, "import in.reg");
        EXPECT_EQ(outcome.exitCode, kExitRefused) << row.message;
        EXPECT_NE(outcome.error.find(row.message), std::string::npos) << outcome.error;
        EXPECT_TRUE(host.views[View::k32].empty() && host.views[View::k64].empty());
    }
}

TEST(SetupTool, ListShowsThisServiceObjectsEntriesOncePerViewSetWithTheirProblems) {
    MemoryHost host = HostWithEntries();
    host.views[View::k64].push_back(
        Entry(u"Hand", {{u"", u"QV.POSLDisplay.1"}, {u"DeviceModel", u"KT310"}}));
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

TEST(SetupTool, PortsListsTheAttachedUsbDisplayThePortSearchChooses) {
    RegistryTree registry = RegistryTree::Parse(
        "[HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"\\\\Device\\\\Serial0\"=\"COM1\"\n"
        "\"\\\\Device\\\\VCP0\"=\"COM5\"\n"
        "[HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1D9C&PID_0A01\\a\\Device Parameters]\n"
        "\"PortName\"=\"COM7\"\n"
        "[HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1D9C&PID_0A01\\b\\Device Parameters]\n"
        "\"PortName\"=\"COM5\"\n");
    Command command;
    command.json = true;
    EXPECT_EQ(RunPorts(registry, command).out,
              "{\"serialPorts\":[{\"port\":\"COM1\",\"device\":\"\\\\Device\\\\Serial0\"},"
              "{\"port\":\"COM5\",\"device\":\"\\\\Device\\\\VCP0\"}],\"usbDisplays\":["
              "{\"model\":\"KT110\",\"usbIdentity\":\"1d9c_0a01\",\"instance\":\"a\",\"port\":"
              "\"COM7\",\"attached\":false,\"chosen\":false},"
              "{\"model\":\"KT110\",\"usbIdentity\":\"1d9c_0a01\",\"instance\":\"b\",\"port\":"
              "\"COM5\",\"attached\":true,\"chosen\":true}]}\n");
}

}  // namespace
}  // namespace miraxld::setup
