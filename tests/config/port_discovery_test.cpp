// Choosing the port of a USB display by the search in catalogue order.
#include <gtest/gtest.h>

#include "config/model_catalogue.h"
#include "config/port_discovery.h"
#include "platform/registry_tree.h"

namespace miraxld {
namespace {

constexpr char16_t kDevice[] = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\Front";

void AddUsbInstance(RegistryTree& tree, std::u16string_view vid, std::u16string_view pid,
                    std::u16string_view instance, std::u16string_view portName) {
    tree.SetString(u"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_" + std::u16string(vid) + u"&Pid_" +
                       std::u16string(pid) + u"\\" + std::u16string(instance) +
                       u"\\Device Parameters",
                   u"PortName", portName);
}

void Attach(RegistryTree& tree, std::u16string_view portName) {
    tree.SetString(u"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                   u"\\Device\\Serial" + std::u16string(portName), portName);
}

TEST(PortDiscovery, UsbSearchTakesTheFirstAttachedInstanceInCatalogueOrder) {
    struct Row {
        const char* what;
        std::function<void(RegistryTree&)> setup;
        std::u16string_view model;
        int32_t port;
        std::u16string_view vidPid;
    };
    const Row rows[] = {
        {"second instance attached",
         [](RegistryTree& t) {
             AddUsbInstance(t, u"1d9c", u"0a01", u"A", u"COM4");
             AddUsbInstance(t, u"1d9c", u"0a01", u"B", u"COM8");
             Attach(t, u"COM8");
         },
         u"KT110", 8, u"1d9c_0a01"},
        {"nothing attached: the last key tried stays",
         [](RegistryTree& t) { AddUsbInstance(t, u"1d9c", u"0a01", u"A", u"COM4"); }, u"KT110", 0,
         u"1d9c_0a02"},
        {"Normal prefers the bridge chip",
         [](RegistryTree& t) {
             AddUsbInstance(t, u"067b", u"2303", u"A", u"COM3");
             AddUsbInstance(t, u"1d9c", u"0a07", u"A", u"COM6");
             Attach(t, u"COM3");
             Attach(t, u"COM6");
         },
         u"Normal", 3, u"067b_2303"},
        {"Normal falls back to the second key",
         [](RegistryTree& t) {
             AddUsbInstance(t, u"067b", u"2303", u"A", u"COM3");
             AddUsbInstance(t, u"1d9c", u"0a07", u"A", u"COM6");
             Attach(t, u"COM6");
         },
         u"Normal", 6, u"1d9c_0a07"},
        {"a model without USB identities tries nothing",
         [](RegistryTree& t) { Attach(t, u"COM3"); }, u"KT310", 0, u"start"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RegistryTree tree;
        tree.SetString(kDevice, u"BaudRate", u"115200");
        row.setup(tree);
        RegistryReader reader(tree);
        PortChoice choice;
        choice.vidPid = u"start";
        EXPECT_EQ(ChoosePort(reader, u"Front", kBrandOem, row.model, choice),
                  PortChoiceOutcome::kDone);
        EXPECT_EQ(choice.portNumber, row.port);
        EXPECT_EQ(choice.vidPid, row.vidPid);
        EXPECT_EQ(choice.portListed, row.port != 0 ? 1 : 0);
        if (row.port != 0) {
            EXPECT_EQ(choice.baudRate, 9600u);  // USB displays always run at 9600
            EXPECT_EQ(choice.portName, u"COM" + Utf16Decimal(row.port));
        }
    }
}

}  // namespace
}  // namespace miraxld
