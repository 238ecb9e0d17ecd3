#include "core/port_listing.h"

#include <algorithm>

#include "config/model_catalogue.h"
#include "config/port_discovery.h"
#include "config/registry_reader.h"
#include "core/json_writer.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

struct UsbDisplay {
    std::u16string_view model;
    std::u16string_view vidPid;
    std::u16string instance;
    std::u16string port;
    bool attached = false;  // its port is in the serial-port list
    bool chosen = false;    // the port search of its model takes this one
};

std::vector<UsbDisplay> FindUsbDisplays(RegistryReader& reader) {
    std::vector<UsbDisplay> found;
    for (const UsbIdentity& row : kModelCatalogue) {
        const int instances = reader.CountUsbInstances(row.vidPid);
        for (int i = 0; i < instances; ++i) {
            UsbDisplay display{row.model, row.vidPid, {}, {}};
            reader.ReadUsbPortName(row.vidPid, i, &display.instance, &display.port);
            display.attached = reader.FindSerialCommPort(display.port) != 0;
            found.push_back(std::move(display));
        }
    }
    // What ClaimDevice would choose for each model: the OEM-brand search itself.
    for (const UsbIdentity& row : kModelCatalogue) {
        PortChoice choice;
        ChoosePort(reader, u"", kBrandOem, row.model, choice);
        const auto at = std::find_if(found.begin(), found.end(), [&](const UsbDisplay& d) {
            return d.model == row.model && d.vidPid == choice.vidPid && d.attached &&
                   d.port == choice.portName;
        });
        if (choice.portListed != 0 && at != found.end()) {
            at->chosen = true;
        }
    }
    return found;
}

std::string Pad(std::u16string_view text, size_t width) {
    std::string out = Utf16ToUtf8(text);
    out.resize(std::max(out.size() + 1, width), ' ');
    return out;
}

}  // namespace

Outcome RunPorts(IRegistry& registry, const Command& command) {
    RegistryReader reader(registry);
    std::vector<RegistryValue> serial;
    registry.EnumValues(kSerialCommKey, &serial);
    const std::vector<UsbDisplay> usb = FindUsbDisplays(reader);

    if (command.json) {
        JsonWriter json;
        json.BeginObject().Key("serialPorts").BeginArray();
        for (const RegistryValue& port : serial) {
            json.BeginObject().Key("port").String(port.data).Key("device").String(port.name);
            json.EndObject();
        }
        json.EndArray().Key("usbDisplays").BeginArray();
        for (const UsbDisplay& d : usb) {
            json.BeginObject().Key("model").String(d.model).Key("usbIdentity").String(d.vidPid);
            json.Key("instance").String(d.instance).Key("port").String(d.port);
            json.Key("attached").Bool(d.attached).Key("chosen").Bool(d.chosen).EndObject();
        }
        return Outcome{kExitOk, json.EndArray().EndObject().Text(), {}};
    }
    std::string text = "Serial ports (HKLM\\" + Utf16ToUtf8(kSerialCommKey) + "):\n";
    for (const RegistryValue& port : serial) {
        text += "  " + Pad(port.data, 8) + Utf16ToUtf8(port.name) + "\n";
    }
    text += serial.empty() ? "  none\n" : "";
    text += "USB displays (HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB):\n";
    for (const UsbDisplay& d : usb) {
        text += "  " + Pad(d.model, 8) + Pad(d.vidPid, 11) +
                Pad(d.port.empty() ? u"-" : d.port, 8) +
                (d.attached ? "attached" : "not attached") +
                (d.chosen ? ", the port search's choice for " + Utf16ToUtf8(d.model) : "") + "  (" +
                Utf16ToUtf8(d.instance) + ")\n";
    }
    text += usb.empty() ? "  none\n" : "";
    return Outcome{kExitOk, text, {}};
}

}  // namespace miraxld::setup
