#include "core/reg_file.h"

#include <algorithm>

#include "config/registry_reader.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kOldHeader = u"REGEDIT4";
constexpr std::u16string_view kRoots[] = {u"HKEY_LOCAL_MACHINE\\", u"HKLM\\"};
// The branch as either view shows it; a 64-bit regedit exports the 32-bit view under
// WOW6432Node.
constexpr std::u16string_view kBranches[] = {
    kLineDisplayBranch, u"SOFTWARE\\WOW6432Node\\OLEforRetail\\ServiceOPOS\\LineDisplay"};

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::u16string Decode(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
        }
        return text;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return Utf8ToUtf16(bytes);
}

std::string Known() {
    std::string names = "@";
    for (size_t i = 1; i < kEntryValueNames.size(); ++i) {
        names += ", " + Utf16ToUtf8(kEntryValueNames[i]);
    }
    return names;
}

class Parser {
  public:
    // One line, trimmed; returns an error text or empty.
    std::string Line(std::u16string_view line) {
        if (!m_headerSeen) {
            m_headerSeen = line == kHeader || line == kOldHeader;
            return m_headerSeen
                       ? ""
                       : "not a .reg file (the first line must be " + Utf16ToUtf8(kHeader) + ")";
        }
        if (line.front() == u'[') {
            return Key(line);
        }
        return Value(line);
    }
    std::vector<DeviceEntry>& Entries() { return m_entries; }

  private:
    std::string Key(std::u16string_view line) {
        if (line.back() != u']') {
            return "a key line must end with ]";
        }
        std::u16string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == u'-') {
            return "deleting keys is not supported here (miraxld-setup remove does it)";
        }
        m_current = nullptr;
        for (std::u16string_view root : kRoots) {
            for (std::u16string_view branch : kBranches) {
                const std::u16string prefix = std::u16string(root) + std::u16string(branch);
                if (path.size() == prefix.size() && StartsWith(path, prefix)) {
                    return {};  // the branch key itself: no values
                }
                if (StartsWith(path, prefix + u"\\")) {
                    return Entry(path.substr(prefix.size() + 1));
                }
            }
        }
        return "key " + Quoted(path) + " is not a device key of " + Utf16ToUtf8(kRoots[0]) +
               Utf16ToUtf8(kLineDisplayBranch);
    }

    std::string Entry(std::u16string_view name) {
        if (name.empty() || name.find(u'\\') != std::u16string_view::npos) {
            return Quoted(name) + " is not a device name (one key below the branch)";
        }
        if (std::any_of(m_entries.begin(), m_entries.end(),
                        [&](const DeviceEntry& e) { return EqualsIgnoringCase(e.name, name); })) {
            return "device " + Utf16ToUtf8(name) + " appears twice";
        }
        m_entries.push_back(DeviceEntry{std::u16string(name), {}});
        m_current = &m_entries.back();
        return {};
    }

    std::string Value(std::u16string_view line) {
        std::u16string name;
        size_t pos = 0;
        if (line.front() == u'@') {
            pos = 1;
        } else if (!regtext::ReadQuoted(line, pos, &name)) {
            return "a value line must start with @ or a quoted name";
        }
        if (m_current == nullptr) {
            return "value outside a device key";
        }
        bool known = false;
        CanonicalValueName(name, &known);
        if (!known) {
            return Quoted(name) + " is not a value the service object reads (" + Known() + ")";
        }
        std::u16string data;
        const std::string label = name.empty() ? "@" : Utf16ToUtf8(name);
        if (pos >= line.size() || line[pos] != u'=') {
            return "= missing after " + label;
        }
        ++pos;
        if (!regtext::ReadQuoted(line, pos, &data) || pos != line.size()) {
            return label + " is not a text value (\"text\"); a device key holds only text";
        }
        if (std::any_of(m_current->values.begin(), m_current->values.end(),
                        [&](const EntryValue& v) { return EqualsIgnoringCase(v.name, name); })) {
            return label + " appears twice in " + Utf16ToUtf8(m_current->name);
        }
        m_current->Set(name, data);
        return {};
    }

    bool m_headerSeen = false;
    std::vector<DeviceEntry> m_entries;
    DeviceEntry* m_current = nullptr;  // points into m_entries, reset before it grows
};

}  // namespace

std::string WriteRegFile(const std::vector<DeviceEntry>& entries) {
    std::u16string text = std::u16string(kHeader) + u"\r\n";
    for (const DeviceEntry& entry : entries) {
        text += u"\r\n[" + std::u16string(kRoots[0]) + DeviceKeyPath(entry.name) + u"]\r\n";
        for (const EntryValue& value : entry.values) {
            text += (value.name.empty() ? u"@" : regtext::Quote(value.name)) + u"=" +
                    regtext::Quote(value.data) + u"\r\n";
        }
    }
    text += u"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char(c >> 8));
    }
    return bytes;
}

RegFileContent ParseRegFile(std::string_view bytes) {
    RegFileContent content;
    const std::u16string text = Decode(bytes);
    Parser parser;
    regtext::ForEachLine(text, [&](std::u16string_view line, size_t number) {
        const std::string error = parser.Line(line);
        if (!error.empty()) {
            content.error = "line " + std::to_string(number) + ": " + error;
        }
        return error.empty();
    });
    if (!content.error.empty()) {
        return content;
    }
    content.entries = std::move(parser.Entries());
    if (content.entries.empty()) {
        content.error = "the file holds no device entry";
    }
    return content;
}

}  // namespace miraxld::setup
