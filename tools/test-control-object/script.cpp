#include "script.h"

#include <cwctype>

namespace miraxld::testco {

namespace {

bool HexValue(std::wstring_view digits, wchar_t* value) {
    unsigned v = 0;
    for (wchar_t c : digits) {
        v <<= 4;
        if (c >= L'0' && c <= L'9') {
            v |= c - L'0';
        } else if (c >= L'a' && c <= L'f') {
            v |= c - L'a' + 10;
        } else if (c >= L'A' && c <= L'F') {
            v |= c - L'A' + 10;
        } else {
            return false;
        }
    }
    *value = static_cast<wchar_t>(v);
    return true;
}

// Reads a quoted argument starting after the opening quote; `at` ends after the closing one.
bool ReadQuoted(std::wstring_view line, size_t* at, std::wstring* out, std::wstring* error) {
    static constexpr std::pair<wchar_t, wchar_t> kSimpleEscapes[] = {
        {L'"', L'"'}, {L'\\', L'\\'}, {L'n', L'\n'}, {L'r', L'\r'}, {L't', L'\t'}};
    size_t i = *at;
    while (i < line.size()) {
        const wchar_t c = line[i++];
        if (c == L'"') {
            *at = i;
            return true;
        }
        if (c != L'\\') {
            out->push_back(c);
            continue;
        }
        if (i >= line.size()) {
            break;
        }
        const wchar_t e = line[i++];
        bool known = false;
        for (const auto& [letter, meaning] : kSimpleEscapes) {
            if (e == letter) {
                out->push_back(meaning);
                known = true;
            }
        }
        if (!known && (e == L'x' || e == L'u')) {
            const size_t digits = e == L'x' ? 2 : 4;
            wchar_t value = 0;
            if (i + digits <= line.size() && HexValue(line.substr(i, digits), &value)) {
                out->push_back(value);
                i += digits;
                known = true;
            }
        }
        if (!known) {
            *error = L"bad escape";
            return false;
        }
    }
    *error = L"unterminated quote";
    return false;
}

}  // namespace

std::optional<ScriptLine> ParseScriptLine(std::wstring_view line, std::wstring* error) {
    error->clear();
    std::vector<std::wstring> words;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && std::iswspace(line[i])) {
            ++i;
        }
        if (i >= line.size() || (words.empty() && line[i] == L'#')) {
            break;
        }
        std::wstring word;
        if (line[i] == L'"') {
            ++i;
            if (!ReadQuoted(line, &i, &word, error)) {
                return std::nullopt;
            }
        } else {
            while (i < line.size() && !std::iswspace(line[i])) {
                word.push_back(line[i++]);
            }
        }
        words.push_back(std::move(word));
    }
    if (words.empty()) {
        return std::nullopt;
    }
    ScriptLine parsed{std::move(words.front()), {}};
    parsed.arguments.assign(std::make_move_iterator(words.begin() + 1),
                            std::make_move_iterator(words.end()));
    return parsed;
}

std::wstring QuoteText(std::wstring_view text) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20 || c == 0x7F) {
            out += L"\\x";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    out += L'"';
    return out;
}

}  // namespace miraxld::testco
