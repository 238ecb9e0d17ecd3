#include "core/device_entry.h"

#include <algorithm>

#include "config/model_catalogue.h"
#include "config/registry_reader.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

char16_t Fold(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
}

size_t Rank(std::u16string_view valueName) {
    const auto at = std::find(kEntryValueNames.begin(), kEntryValueNames.end(), valueName);
    return static_cast<size_t>(at - kEntryValueNames.begin());
}

}  // namespace

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](auto x, auto y) { return Fold(x) == Fold(y); });
}

std::u16string_view CanonicalValueName(std::u16string_view valueName, bool* known) {
    for (std::u16string_view name : kEntryValueNames) {
        if (EqualsIgnoringCase(name, valueName)) {
            *known = true;
            return name;
        }
    }
    *known = false;
    return {};
}

std::u16string DeviceEntry::Get(std::u16string_view valueName) const {
    for (const EntryValue& value : values) {
        if (EqualsIgnoringCase(value.name, valueName)) {
            return value.data;
        }
    }
    return {};
}

bool DeviceEntry::Has(std::u16string_view valueName) const {
    return !Get(valueName).empty();
}

void DeviceEntry::Set(std::u16string_view valueName, std::u16string_view text) {
    bool known = false;
    const std::u16string_view name = CanonicalValueName(valueName, &known);
    if (!known) {
        return;
    }
    std::erase_if(values, [&](const EntryValue& v) { return v.name == name; });
    if (text.empty()) {
        return;
    }
    const auto at = std::find_if(values.begin(), values.end(),
                                 [&](const EntryValue& v) { return Rank(v.name) > Rank(name); });
    values.insert(at, EntryValue{std::u16string(name), std::u16string(text)});
}

bool IsServedHere(const DeviceEntry& entry) {
    const std::u16string service = entry.Get(kServiceValue);
    return service == kProgIdOwn || service == kProgIdOem;
}

std::string ValueLabel(std::u16string_view valueName) {
    for (const EntryOption& o : kEntryOptions) {
        if (o.valueName == valueName) {
            return valueName.empty() ? "the service identity (" + std::string(o.option) + ")"
                                     : Utf16ToUtf8(valueName) + " (" + std::string(o.option) + ")";
        }
    }
    return Utf16ToUtf8(valueName);
}

std::string Quoted(std::u16string_view text) {
    std::string quoted(1, '"');  // built by appending: GCC 12 misreads "x" + std::string&&
    quoted += Utf16ToUtf8(text);
    quoted += '"';
    return quoted;
}

std::u16string DeviceKeyPath(std::u16string_view deviceName) {
    return std::u16string(kLineDisplayBranch) + u"\\" + std::u16string(deviceName);
}

}  // namespace miraxld::setup
