// A small JSON writer for the --json output: compact, one document per run, UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace miraxld::setup {

class JsonWriter {
  public:
    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    // The name of the next member of an object.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& String(std::u16string_view text);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    // The document, with a line end.
    std::string Text() const { return m_text + "\n"; }

  private:
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    void Separate();

    std::string m_text;
    std::vector<bool> m_first;  // per open bracket: nothing written in it yet
    bool m_afterKey = false;
};

}  // namespace miraxld::setup
