#include "platform/registry_tree.h"

#include <algorithm>

namespace miraxld {

namespace {

char16_t Fold(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

// Drops a trailing backslash so that "A\B\" and "A\B" name the same key.
std::u16string_view Trim(std::u16string_view path) {
    while (!path.empty() && path.back() == u'\\') {
        path.remove_suffix(1);
    }
    return path;
}

bool IsBelow(std::u16string_view child, std::u16string_view parent) {
    return child.size() > parent.size() + 1 && child[parent.size()] == u'\\' &&
           SameName(child.substr(0, parent.size()), parent);
}

std::u16string_view StripRoot(std::u16string_view path) {
    for (std::u16string_view root :
         {std::u16string_view(u"HKEY_LOCAL_MACHINE\\"), std::u16string_view(u"HKLM\\")}) {
        if (path.size() >= root.size() && SameName(path.substr(0, root.size()), root)) {
            return path.substr(root.size());
        }
    }
    return {};
}

}  // namespace

namespace regtext {

bool ForEachLine(std::u16string_view text,
                 const std::function<bool(std::u16string_view line, size_t number)>& take) {
    size_t number = 0;
    for (size_t start = 0; start <= text.size();) {
        ++number;
        const size_t end = std::min(text.find(u'\n', start), text.size());
        std::u16string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == u'\r' || line.back() == u' ')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && line.front() == u' ') {
            line.remove_prefix(1);
        }
        if (!line.empty() && line.front() != u';' && !take(line, number)) {
            return false;
        }
    }
    return true;
}

bool ReadQuoted(std::u16string_view text, size_t& pos, std::u16string* out) {
    if (pos >= text.size() || text[pos] != u'"') {
        return false;
    }
    out->clear();
    for (++pos; pos < text.size(); ++pos) {
        if (text[pos] == u'\\' && pos + 1 < text.size()) {
            out->push_back(text[++pos]);
        } else if (text[pos] == u'"') {
            ++pos;
            return true;
        } else {
            out->push_back(text[pos]);
        }
    }
    return false;
}

std::u16string Quote(std::u16string_view text) {
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"') {
            out.push_back(u'\\');
        }
        out.push_back(c);
    }
    return out + u"\"";
}

}  // namespace regtext

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < text.size()) {
            cp = ((b & 0x1F) << 6) | (text[i + 1] & 0x3F);
            len = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < text.size()) {
            cp = ((b & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
            len = 3;
        } else if ((b & 0xF8) == 0xF0 && i + 3 < text.size()) {
            cp = ((b & 0x07) << 18) | ((text[i + 1] & 0x3F) << 12) | ((text[i + 2] & 0x3F) << 6) |
                 (text[i + 3] & 0x3F);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

RegistryTree RegistryTree::Parse(std::string_view utf8) {
    RegistryTree tree;
    const std::u16string text = Utf8ToUtf16(utf8);
    std::u16string current;
    bool inKey = false;
    regtext::ForEachLine(text, [&](std::u16string_view line, size_t) {
        if (line.front() == u'[' && line.back() == u']') {
            std::u16string_view inner = line.substr(1, line.size() - 2);
            const bool remove = !inner.empty() && inner.front() == u'-';
            std::u16string_view path = StripRoot(remove ? inner.substr(1) : inner);
            inKey = !remove && !path.empty();
            if (remove) {
                tree.DeleteKey(path);
            } else if (inKey) {
                current = std::u16string(Trim(path));
                tree.CreateKey(current);
            }
            return true;
        }
        if (!inKey) {
            return true;
        }
        std::u16string name;
        size_t pos = 0;
        if (line.front() == u'@') {
            pos = 1;
        } else if (!regtext::ReadQuoted(line, pos, &name)) {
            return true;
        }
        if (pos >= line.size() || line[pos] != u'=') {
            return true;
        }
        ++pos;
        if (pos < line.size() && line[pos] == u'-') {
            tree.DeleteValue(current, name);
            return true;
        }
        std::u16string data;
        if (regtext::ReadQuoted(line, pos, &data)) {
            tree.SetString(current, name, data);
        }
        return true;
    });
    return tree;
}

RegistryTree::Key* RegistryTree::Find(std::u16string_view keyPath) {
    keyPath = Trim(keyPath);
    for (Key& key : m_keys) {
        if (SameName(key.path, keyPath)) {
            return &key;
        }
    }
    return nullptr;
}

const RegistryTree::Key* RegistryTree::Find(std::u16string_view keyPath) const {
    return const_cast<RegistryTree*>(this)->Find(keyPath);
}

RegistryTree::Key& RegistryTree::FindOrCreate(std::u16string_view keyPath) {
    keyPath = Trim(keyPath);
    if (Key* key = Find(keyPath)) {
        return *key;
    }
    const size_t slash = keyPath.rfind(u'\\');
    if (slash != std::u16string_view::npos) {
        FindOrCreate(keyPath.substr(0, slash));
    }
    m_keys.push_back(Key{std::u16string(keyPath), {}});
    return m_keys.back();
}

void RegistryTree::CreateKey(std::u16string_view keyPath) {
    FindOrCreate(keyPath);
}

void RegistryTree::SetString(std::u16string_view keyPath, std::u16string_view valueName,
                             std::u16string_view data) {
    Key& key = FindOrCreate(keyPath);
    for (RegistryValue& value : key.values) {
        if (SameName(value.name, valueName)) {
            value.data = std::u16string(data);
            return;
        }
    }
    key.values.push_back(RegistryValue{std::u16string(valueName), std::u16string(data)});
}

void RegistryTree::DeleteKey(std::u16string_view keyPath) {
    keyPath = Trim(keyPath);
    std::erase_if(m_keys, [&](const Key& key) {
        return SameName(key.path, keyPath) || IsBelow(key.path, keyPath);
    });
}

void RegistryTree::DeleteValue(std::u16string_view keyPath, std::u16string_view valueName) {
    if (Key* key = Find(keyPath)) {
        std::erase_if(key->values,
                      [&](const RegistryValue& value) { return SameName(value.name, valueName); });
    }
}

long RegistryTree::QueryString(std::u16string_view keyPath, std::u16string_view valueName,
                               std::u16string* data) {
    const Key* key = Find(keyPath);
    if (key == nullptr) {
        return kRegistryNotFound;
    }
    for (const RegistryValue& value : key->values) {
        if (SameName(value.name, valueName)) {
            const size_t nul = value.data.find(u'\0');
            *data = value.data.substr(0, nul);
            return 0;
        }
    }
    return kRegistryNotFound;
}

long RegistryTree::EnumSubKeys(std::u16string_view keyPath, std::vector<std::u16string>* names) {
    names->clear();
    keyPath = Trim(keyPath);
    if (Find(keyPath) == nullptr) {
        return kRegistryNotFound;
    }
    for (const Key& key : m_keys) {
        if (IsBelow(key.path, keyPath)) {
            std::u16string_view rest = std::u16string_view(key.path).substr(keyPath.size() + 1);
            if (rest.find(u'\\') == std::u16string_view::npos) {
                names->emplace_back(rest);
            }
        }
    }
    return 0;
}

long RegistryTree::EnumValues(std::u16string_view keyPath, std::vector<RegistryValue>* values) {
    values->clear();
    const Key* key = Find(keyPath);
    if (key == nullptr) {
        return kRegistryNotFound;
    }
    *values = key->values;
    return 0;
}

}  // namespace miraxld
