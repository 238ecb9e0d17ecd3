#include "core/json_writer.h"

#include <cstdio>

#include "platform/registry_tree.h"

namespace miraxld::setup {

void JsonWriter::Separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) {
            m_text += ',';
        }
        m_first.back() = false;
    }
}

JsonWriter& JsonWriter::Open(char bracket) {
    Separate();
    m_text += bracket;
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    m_text += bracket;
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    String(name);
    m_text += ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    Separate();
    m_text += '"';
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            m_text += '\\';
            m_text += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            m_text += escape;
        } else {
            m_text += c;
        }
    }
    m_text += '"';
    return *this;
}

JsonWriter& JsonWriter::String(std::u16string_view text) {
    return String(Utf16ToUtf8(text));
}

JsonWriter& JsonWriter::Number(int64_t value) {
    Separate();
    m_text += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    Separate();
    m_text += value ? "true" : "false";
    return *this;
}

}  // namespace miraxld::setup
