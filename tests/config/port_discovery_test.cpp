#include <gtest/gtest.h>

#include "config/model_catalogue.h"
#include "config/port_discovery.h"
#include "config/registry_reader.h"
#include "platform/registry_tree.h"

namespace miraxld {
namespace {

TEST(RegistryReader, ConvertsNumbersAndPorts) {
    const struct {
        std::u16string_view text;
        int32_t decimal, port;
    } rows[] = {
        {u"20x", 20, 0}, {u"  -5", -5, 5},  {u"abc", 0, 0}, {u"", 0, 0},
        {u"COM3", 0, 3}, {u"COM12", 0, 12}, {u"COM", 0, 0}, {u"99999999999", INT32_MAX, 99999999},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseDecimal(row.text), row.decimal);
        EXPECT_EQ(ParsePortNumber(row.text), row.port);
    }
}

TEST(PortDiscovery, UsbSearchTakesTheFirstAttachedInstanceInCatalogueOrder) {
    using Instances = std::vector<std::pair<std::u16string, std::u16string>>;  // USB key, port
    const Instances kKt110 = {{u"Vid_1d9c&Pid_0a01\\A", u"COM4"},
                              {u"Vid_1d9c&Pid_0a01\\B", u"COM8"}};
    const Instances kNormal = {{u"Vid_067b&Pid_2303\\A", u"COM3"},
                               {u"Vid_1d9c&Pid_0a07\\A", u"COM6"}};
    const struct {
        const char* what;
        Instances instances;
        std::vector<std::u16string> attached;
        std::u16string_view model;
        int32_t port;
        std::u16string_view vidPid;
    } rows[] = {
        {"second instance attached", kKt110, {u"COM8"}, u"KT110", 8, u"1d9c_0a01"},
        {"nothing attached: the last key tried stays", kKt110, {}, u"KT110", 0, u"1d9c_0a02"},
        {"Normal prefers the bridge chip", kNormal, {u"COM3", u"COM6"}, u"Normal", 3, u"067b_2303"},
        {"Normal falls back to the second key", kNormal, {u"COM6"}, u"Normal", 6, u"1d9c_0a07"},
        {"a model without USB identities tries nothing", {}, {u"COM3"}, u"KT310", 0, u"start"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        RegistryTree tree;
        tree.SetString(u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\Front", u"BaudRate",
                       u"115200");
        for (const auto& [key, port] : row.instances) {
            tree.SetString(u"SYSTEM\\CurrentControlSet\\Enum\\USB\\" + key + u"\\Device Parameters",
                           u"PortName", port);
        }
        for (const std::u16string& port : row.attached) {
            tree.SetString(u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"\\Device\\Serial" + port, port);
        }
        RegistryReader reader(tree);
        PortChoice choice;
        choice.vidPid = u"start";
        EXPECT_EQ(ChoosePort(reader, u"Front", kBrandOem, row.model, choice),
                  PortChoiceOutcome::kDone);
        EXPECT_EQ(std::tuple(choice.portNumber, choice.vidPid, choice.portListed),
                  std::tuple(row.port, row.vidPid, row.port != 0 ? 1 : 0));
        if (row.port != 0) {  // USB displays always run at 9600
            EXPECT_EQ(std::pair(choice.baudRate, choice.portName),
                      std::pair(9600u, u"COM" + Utf16Decimal(row.port)));
        }
    }
}

}  // namespace
}  // namespace miraxld
