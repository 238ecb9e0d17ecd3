#include "core/entry_checks.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "bitmap/bmp_reader.h"
#include "config/model_catalogue.h"
#include "display/screen_model.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

// What a technician may type as a model: the catalogue's names and the KT110's aliases, which
// are written as the model they stand for.
constexpr std::u16string_view kModelNames[] = {u"KT110", u"KT120",  u"KT130", u"KT140",
                                               u"KT710", u"RMX110", u"KT910", u"RMX910",
                                               u"KT310", u"GQ310",  u"ZN610", u"Normal"};
constexpr std::u16string_view kServiceIds[] = {kProgIdOwn, kProgIdOem};
constexpr int64_t kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int64_t kLastComPort = 256;
constexpr size_t kCodePageSlots = 256;
constexpr size_t kMaxNameLength = 255;  // a registry key name

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == u' ') {
        text.remove_suffix(1);
    }
    return text;
}

// Decimal digits only (blanks around them allowed), at most nine.
std::optional<int64_t> StrictNumber(std::u16string_view text) {
    text = Trim(text);
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

std::u16string Decimal(int64_t value) {
    return Utf8ToUtf16(std::to_string(value));
}

template <typename List>
std::string Join(const List& items) {
    std::string text;
    for (const auto& item : items) {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(item)>>) {
            text += (text.empty() ? "" : ", ") + std::to_string(item);
        } else {
            text += (text.empty() ? "" : ", ") + Utf16ToUtf8(item);
        }
    }
    return text;
}

// One value's form. `check` brings the text into its canonical form or says what is wrong
// ("is not ..."); `min` and `max` bound numbers and list items.
struct ValueForm {
    std::u16string_view valueName;
    std::string (*check)(std::u16string& text, const ValueForm& form);
    int64_t min;
    int64_t max;
};

template <size_t N>
std::string OneOf(std::u16string& text, const std::u16string_view (&allowed)[N],
                  std::string_view what) {
    for (std::u16string_view name : allowed) {
        if (EqualsIgnoringCase(name, Trim(text))) {
            text = name;
            return {};
        }
    }
    return "is not " + std::string(what) + " (" + Join(allowed) + ")";
}

std::string CheckService(std::u16string& text, const ValueForm&) {
    return OneOf(text, kServiceIds, "a service identity of this service object");
}

std::string CheckModel(std::u16string& text, const ValueForm&) {
    std::string problem = OneOf(text, kModelNames, "a known model");
    if (problem.empty()) {
        text = SettleModel(text, u"", text);  // an alias becomes its family's model
    }
    return problem;
}

std::string CheckNumber(std::u16string& text, const ValueForm& form) {
    const auto value = StrictNumber(text);
    if (!value || *value < form.min || *value > form.max) {
        return "is not a number from " + std::to_string(form.min) + " to " +
               std::to_string(form.max);
    }
    text = Decimal(*value);
    return {};
}

std::string CheckBaudRate(std::u16string& text, const ValueForm&) {
    const auto value = StrictNumber(text);
    if (!value ||
        std::find(std::begin(kBaudRates), std::end(kBaudRates), *value) == std::end(kBaudRates)) {
        return "is not a supported baud rate (" + Join(kBaudRates) + ")";
    }
    text = Decimal(*value);
    return {};
}

std::string CheckPort(std::u16string& text, const ValueForm& form) {
    const std::u16string_view port = Trim(text);
    const auto number = port.size() > 3 && EqualsIgnoringCase(port.substr(0, 3), u"COM")
                            ? StrictNumber(port.substr(3))
                            : std::nullopt;
    if (!number || *number < form.min || *number > form.max) {
        return "is not a serial port name (COM1 to COM" + std::to_string(form.max) + ")";
    }
    text = u"COM" + Decimal(*number);
    return {};
}

std::string CheckUsbIdentity(std::u16string& text, const ValueForm&) {
    std::u16string lower(Trim(text));
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; });
    std::vector<std::u16string_view> known;
    for (const UsbIdentity& row : kModelCatalogue) {
        known.push_back(row.vidPid);
    }
    if (std::find(known.begin(), known.end(), lower) == known.end()) {
        return "is not the USB identity of a known display (" + Join(known) + ")";
    }
    text = lower;
    return {};
}

std::string CheckList(std::u16string& text, const ValueForm& form) {
    std::u16string canonical;
    size_t count = 0;
    for (size_t start = 0; start <= text.size(); ++count) {
        size_t end = std::min(text.find(u',', start), text.size());
        const std::u16string_view item = std::u16string_view(text).substr(start, end - start);
        const auto value = StrictNumber(item);
        if (!value || *value < form.min || *value > form.max) {
            return "has an item " + Quoted(item) + " that is not a number from " +
                   std::to_string(form.min) + " to " + std::to_string(form.max);
        }
        canonical += (count == 0 ? u"" : u",") + Decimal(*value);
        start = end + 1;
    }
    if (count > kCodePageSlots) {
        return "has " + std::to_string(count) + " items; the display has " +
               std::to_string(kCodePageSlots) + " code-page slots";
    }
    text = canonical;
    return {};
}

constexpr ValueForm kValueForms[] = {
    {kServiceValue, CheckService, 0, 0},
    {u"DeviceModel", CheckModel, 0, 0},
    {u"Port", CheckPort, 1, kLastComPort},
    {u"BaudRate", CheckBaudRate, 0, 0},
    {u"DeviceRows", CheckNumber, 1, kScreenRows},
    {u"DeviceColumns", CheckNumber, 1, kWindowMaxColumns},
    {u"MaximumX", CheckNumber, 1, kBitmapMaxWidth},
    {u"MaximumY", CheckNumber, 1, kBitmapMaxHeight},
    {u"Vid_Pid", CheckUsbIdentity, 0, 0},
    {u"CodepageList", CheckList, 1, 65535},
    {u"CodepageCmdIndex", CheckList, 0, 255},
};

std::string CheckName(std::u16string_view name) {
    if (name.empty()) {
        return "the device name is empty";
    }
    if (name.size() > kMaxNameLength) {
        return "device name " + Quoted(name) + " is longer than 255 characters";
    }
    if (std::any_of(name.begin(), name.end(), [](char16_t c) { return c == u'\\' || c < 0x20; })) {
        return "device name " + Quoted(name) + " contains a backslash or a control character";
    }
    return {};
}

// The device name, the USB identity and DeviceModel may each name a model; those that do must
// agree, or the display would be driven as another model than the technician chose.
std::string CheckModelSources(const DeviceEntry& entry) {
    const std::u16string vidPid = entry.Get(u"Vid_Pid");
    const std::pair<std::u16string, std::string> sources[] = {
        {SettleModel(entry.name, u"", u""), "device name " + Quoted(entry.name)},
        {SettleModel(u"", vidPid, u""), "USB identity " + Utf16ToUtf8(vidPid) + " (--usb)"},
        {entry.Get(u"DeviceModel"), ValueLabel(u"DeviceModel")},
    };
    const std::pair<std::u16string, std::string>* first = nullptr;
    for (const auto& source : sources) {
        if (source.first.empty()) {
            continue;
        }
        if (first == nullptr) {
            first = &source;
        } else if (source.first != first->first) {
            return first->second + " means a " + Utf16ToUtf8(first->first) + ", " + source.second +
                   " a " + Utf16ToUtf8(source.first) + ": they must agree";
        }
    }
    if (first == nullptr) {
        return "no model: give " + ValueLabel(u"DeviceModel") + ", one of " + Join(kModelNames);
    }
    return {};
}

// Own brand: the port and speed come from the key. OEM brand: the port search walks the
// catalogue's USB identities of the model, so the model must have some.
std::string CheckAttachment(const DeviceEntry& entry, std::u16string_view model) {
    if (SettleBrand(entry.Get(kServiceValue), entry.name) == kBrandOwn) {
        for (std::u16string_view needed : {u"Port", u"BaudRate"}) {
            if (!entry.Has(needed)) {
                return "no " + ValueLabel(needed) + ": the display's port needs it";
            }
        }
        return {};
    }
    const bool searchable = std::any_of(kModelCatalogue.begin(), kModelCatalogue.end(),
                                        [&](const UsbIdentity& row) { return row.model == model; });
    if (!searchable) {
        return "a " + Utf16ToUtf8(model) + " has no USB identity for " + Utf16ToUtf8(kProgIdOem) +
               " to search (device name " + Quoted(entry.name) + "); use " +
               Utf16ToUtf8(kProgIdOwn) + " with --port and --baud";
    }
    return {};
}

// Geometry the model fixes must not be contradicted; geometry it leaves to the key must be
// there when the model has no default for it.
std::string CheckGeometry(const DeviceEntry& entry, std::u16string_view model) {
    struct Geometry {
        std::u16string_view valueName;
        int32_t ModelSettings::*field;
        bool neededWithoutDefault;
    };
    static constexpr Geometry kGeometry[] = {
        {u"DeviceRows", &ModelSettings::deviceRows, true},
        {u"DeviceColumns", &ModelSettings::deviceColumns, true},
        {u"MaximumX", &ModelSettings::maximumX, false},
        {u"MaximumY", &ModelSettings::maximumY, false},
    };
    constexpr int32_t kUnset = -7;  // no model sets this, so a change shows a fixed value
    for (const Geometry& g : kGeometry) {
        ModelSettings probe;
        probe.*g.field = kUnset;
        ApplyModelSettings(model, probe);
        const std::u16string given = entry.Get(g.valueName);
        if (probe.*g.field != kUnset) {
            if (!given.empty() && given != Decimal(probe.*g.field)) {
                return ValueLabel(g.valueName) + " " + Utf16ToUtf8(given) + " does not apply: a " +
                       Utf16ToUtf8(model) + " always has " + std::to_string(probe.*g.field);
            }
            continue;
        }
        ModelSettings unset;
        ApplyModelSettings(model, unset);
        if (g.neededWithoutDefault && given.empty() && unset.*g.field == 0) {
            return "no " + ValueLabel(g.valueName) + ": a " + Utf16ToUtf8(model) + " needs it";
        }
    }
    return {};
}

size_t ItemCount(std::u16string_view list) {
    return list.empty() ? 0 : size_t(std::count(list.begin(), list.end(), u',')) + 1;
}

std::string CheckCodePageLists(const DeviceEntry& entry) {
    const size_t pages = ItemCount(entry.Get(u"CodepageList"));
    const size_t tables = ItemCount(entry.Get(u"CodepageCmdIndex"));
    if (tables != 0 && tables != pages) {
        return ValueLabel(u"CodepageCmdIndex") + " has " + std::to_string(tables) +
               " numbers for " + std::to_string(pages) + " code pages of " +
               ValueLabel(u"CodepageList") + ": give one code-table number per code page";
    }
    return {};
}

}  // namespace

std::u16string SettledModel(const DeviceEntry& entry) {
    return SettleModel(entry.name, entry.Get(u"Vid_Pid"), entry.Get(u"DeviceModel"));
}

std::string CheckEntry(DeviceEntry& entry) {
    std::string problem = CheckName(entry.name);
    for (const ValueForm& form : kValueForms) {
        if (!problem.empty()) {
            return problem;
        }
        if (!entry.Has(form.valueName)) {
            continue;
        }
        std::u16string text = entry.Get(form.valueName);
        problem = form.check(text, form);
        if (!problem.empty()) {
            return ValueLabel(form.valueName) + " " + Quoted(entry.Get(form.valueName)) + " " +
                   problem;
        }
        entry.Set(form.valueName, text);
    }
    if (!entry.Has(kServiceValue)) {
        return "no " + ValueLabel(kServiceValue) + ": " + Join(kServiceIds);
    }
    problem = CheckModelSources(entry);
    const std::u16string model = SettledModel(entry);
    for (auto next : {CheckAttachment, CheckGeometry}) {
        if (problem.empty()) {
            problem = next(entry, model);
        }
    }
    return problem.empty() ? CheckCodePageLists(entry) : problem;
}

}  // namespace miraxld::setup
