// A registry held in memory and its text form.
//
// The text form is the subset of the Windows .reg export format that the service object's keys
// need, so one file serves both as the POSIX registry and as an import file on Windows:
//
//   Windows Registry Editor Version 5.00
//   ; comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\KT110]
//   @="MIRAXLD.POSLDisplay.1"
//   "Port"="COM3"
//
// Key paths start with HKEY_LOCAL_MACHINE\ (or HKLM\); only string values ("text", with \\ and
// \" escapes) are held; a line "[-path]" deletes a key and "name"=- deletes a value. Names
// compare case-insensitively, as on Windows; keys and values enumerate in the order they were
// first written. The text is UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace miraxld {

class RegistryTree : public IRegistry {
  public:
    // Parses the text form; lines it does not understand are skipped.
    static RegistryTree Parse(std::string_view text);

    void SetString(std::u16string_view keyPath, std::u16string_view valueName,
                   std::u16string_view data);
    void CreateKey(std::u16string_view keyPath);  // and its parents
    void DeleteKey(std::u16string_view keyPath);  // with everything below it
    void DeleteValue(std::u16string_view keyPath, std::u16string_view valueName);

    long QueryString(std::u16string_view keyPath, std::u16string_view valueName,
                     std::u16string* data) override;
    long EnumSubKeys(std::u16string_view keyPath, std::vector<std::u16string>* names) override;
    long EnumValues(std::u16string_view keyPath, std::vector<RegistryValue>* values) override;

  private:
    struct Key {
        std::u16string path;  // as first written, without the root
        std::vector<RegistryValue> values;
    };
    Key* Find(std::u16string_view keyPath);
    const Key* Find(std::u16string_view keyPath) const;
    Key& FindOrCreate(std::u16string_view keyPath);

    std::vector<Key> m_keys;  // in creation order; parents before children
};

// Pieces of the text form, shared with the setup tool's .reg import and export.
namespace regtext {
// Calls `take(line, number)` for each line that carries something, trimmed of spaces and CR
// (empty lines and ";" comments are skipped; `number` counts every line from 1), until `take`
// returns false; false when it did.
bool ForEachLine(std::u16string_view text,
                 const std::function<bool(std::u16string_view line, size_t number)>& take);
// Reads a quoted text (\\ and \" escapes) at text[pos] == '"' and moves `pos` past it; false when
// there is none there or it has no end.
bool ReadQuoted(std::u16string_view text, size_t& pos, std::u16string* out);
std::u16string Quote(std::u16string_view text);
}  // namespace regtext

// UTF-8 <-> UTF-16 for the text form and the POSIX layer.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace miraxld
