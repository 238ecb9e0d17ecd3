#include "display/text_conversion.h"

#include <algorithm>
#include <iterator>

#include "display/device_tables.h"

namespace miraxld {

namespace {

struct CodeRange {
    char16_t first;
    char16_t last;
};

constexpr CodeRange kCombiningMarks[] = {
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},  // Thai
    {0x05B0, 0x05BD}, {0x05BF, 0x05BF}, {0x05C0, 0x05C1},  // Hebrew points
};

constexpr CodeRange kStrongRtl[] = {
    {0x05BE, 0x05BE}, {0x05C0, 0x05C0}, {0x05C3, 0x05C3}, {0x05C6, 0x05C6}, {0x05D0, 0x05F4},
    {0x0608, 0x0608}, {0x060B, 0x060B}, {0x060D, 0x060D}, {0x061B, 0x064A}, {0x066D, 0x066F},
    {0x0671, 0x06D5}, {0x06E5, 0x06E6}, {0x06EE, 0x06EF}, {0x06FA, 0x0710}, {0x0712, 0x072F},
    {0x074D, 0x07A5}, {0x07B1, 0x07EA}, {0x07F4, 0x07F5}, {0x07FA, 0x0815}, {0x081A, 0x081A},
    {0x0824, 0x0824}, {0x0828, 0x0828}, {0x0830, 0x0858}, {0x085E, 0x08AC}, {0x200F, 0x200F},
    {0xFB1D, 0xFB1D}, {0xFB1F, 0xFB28}, {0xFB2A, 0xFD3D}, {0xFD50, 0xFDFC}, {0xFE70, 0xFEFC},
};

template <size_t N>
bool InRanges(const CodeRange (&ranges)[N], char16_t c) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const CodeRange& r) { return c >= r.first && c <= r.last; });
}

// Comma-below letters the displays do not have, and the cedilla letters they show instead.
constexpr std::pair<char16_t, char16_t> kCommaBelowToCedilla[] = {
    {0x0218, 0x015E}, {0x0219, 0x015F}, {0x021A, 0x0162}, {0x021B, 0x0163}};

// Unicode-mode substitutions of the Asian and Vietnamese currency signs.
struct Substitution {
    int characterSet;
    char16_t from;
    char16_t to;
};
constexpr Substitution kUnicodeSubstitutions[] = {
    {932, u'\\', 0xFFE5}, {949, u'\\', 0xFFE6}, {936, u'$', 0x04B0}, {1258, u'#', 0x20AB}};

constexpr uint8_t kVietnameseClass3Low[] = {0xC3, 0xCC, 0xD2, 0xD5, 0xDD,
                                            0xE3, 0xEC, 0xF2, 0xF5, 0xFD};

constexpr char16_t kTab = 0x0009;
constexpr uint8_t kUnknownCodePageByte = '?';

class Converter {
  public:
    Converter(std::u16string_view text, const ConversionSettings& settings, ICodePages& codePages)
        : m_text(text), m_settings(settings), m_codePages(codePages) {}

    std::vector<Cell> Run() {
        std::vector<Cell> cells;
        cells.reserve(m_text.size());
        while (m_index < m_text.size()) {
            cells.push_back(Next());
        }
        return cells;
    }

  private:
    char16_t Take() {
        const char16_t c = m_text[m_index++];
        return c == kTab ? u' ' : c;
    }
    bool MarkFollows() const { return m_index < m_text.size() && IsCombiningMark(m_text[m_index]); }

    // The code-page bytes of one character; "?" when the code page is unknown to the system.
    std::string Bytes(int codePage, char16_t c) {
        std::string bytes = m_codePages.ToMultiByte(codePage, std::u16string_view(&c, 1));
        if (bytes.empty()) {
            bytes.push_back(static_cast<char>(kUnknownCodePageByte));
        }
        return bytes;
    }
    uint16_t FirstByte(int codePage, char16_t c) {
        return static_cast<uint8_t>(Bytes(codePage, c)[0]);
    }

    Cell Next() {
        switch (m_settings.codePage) {
            case 874:
                return Thai();
            case kCodePageUnicode:
                return Unicode();
            case 1255:
                return Hebrew();
            case 1258:
                return Vietnamese();
            default:
                return Other();
        }
    }

    Cell Thai() {
        Cell cell;
        cell.code[0] = FirstByte(874, Take());
        for (int slot = 1; slot <= 2 && MarkFollows(); ++slot) {
            cell.code[slot] = FirstByte(874, Take());
        }
        return cell;
    }

    Cell Unicode() {
        char16_t c = Take();
        for (const auto& s : kUnicodeSubstitutions) {
            if (s.characterSet == m_settings.characterSet && s.from == c) {
                c = s.to;
            }
        }
        Cell cell;
        cell.code[0] = c;
        for (int slot = 1; slot <= 2 && MarkFollows(); ++slot) {
            cell.code[slot] = Take();
        }
        return cell;
    }

    uint16_t HebrewByte(char16_t c) {
        if (m_settings.hebrewDeviceCodes && c < 0x100) {
            return c;  // already a device code (or ASCII)
        }
        return FirstByte(1255, c);
    }

    Cell Hebrew() {
        const char16_t c = Take();
        Cell cell;
        if (c > 0xFB00) {  // presentation forms go out as their two bytes
            cell.code[0] = static_cast<uint16_t>(c >> 8);
            cell.code[1] = static_cast<uint16_t>(c & 0xFF);
            return cell;
        }
        cell.code[0] = HebrewByte(c);
        if (MarkFollows()) {
            cell.code[1] = HebrewByte(Take());
        }
        return cell;
    }

    Cell Vietnamese() {
        const char16_t c = Take();
        Cell cell;
        switch (ClassifyVietnamese(c)) {
            case 2:
                cell.code[0] = static_cast<uint16_t>(c >> 8);
                cell.code[1] = static_cast<uint16_t>(c & 0xFF);
                break;
            case 3:
                cell.code[0] = 0xEE;
                cell.code[1] = static_cast<uint16_t>(c & 0xFF);
                break;
            default:
                cell.code[0] = FirstByte(1258, c);
                break;
        }
        return cell;
    }

    Cell Other() {
        const std::string bytes = Bytes(m_settings.codePage, Take());
        Cell cell;
        cell.code[0] = static_cast<uint8_t>(bytes[0]);
        if (bytes.size() >= 2) {
            const uint8_t lead = static_cast<uint8_t>(bytes[0]);
            const uint8_t trail = static_cast<uint8_t>(bytes[1]);
            const auto single = m_settings.characterSet == kCharacterSetJapaneseSingleByte
                                    ? JapaneseSingleByte(static_cast<uint16_t>(lead << 8 | trail))
                                    : std::nullopt;
            if (single) {
                cell.code[0] = *single;
            } else {
                cell.code[1] = trail;
            }
        }
        return cell;
    }

    std::u16string_view m_text;
    const ConversionSettings& m_settings;
    ICodePages& m_codePages;
    size_t m_index = 0;
};

}  // namespace

bool IsCombiningMark(char16_t c) {
    return InRanges(kCombiningMarks, c);
}

bool IsStrongRtl(char16_t c) {
    return InRanges(kStrongRtl, c);
}

void PreorderRightToLeft(std::u16string& text) {
    auto it = text.begin();
    while (it != text.end()) {
        auto runEnd = std::find_if(it, text.end(), IsStrongRtl);
        std::reverse(it, runEnd);
        it = runEnd == text.end() ? runEnd : std::next(runEnd);
    }
}

void RemapDeviceCharacters(std::u16string& text, int characterSet) {
    for (char16_t& c : text) {
        const char16_t original = c;
        if (characterSet == 1258) {
            if (const auto b = VietnameseDeviceByte(c)) {
                c = *b;
            }
        } else if (characterSet == 1255) {
            if (const auto b = HebrewDeviceByte(c)) {
                c = *b;
            }
        }
        for (const auto& [from, to] : kCommaBelowToCedilla) {
            if (original == from) {
                c = to;
            }
        }
    }
}

int ClassifyVietnamese(char16_t c) {
    const uint8_t high = static_cast<uint8_t>(c >> 8);
    const uint8_t low = static_cast<uint8_t>(c & 0xFF);
    const bool class3Low =
        std::find(std::begin(kVietnameseClass3Low), std::end(kVietnameseClass3Low), low) !=
        std::end(kVietnameseClass3Low);
    if ((high == 0 && class3Low) || high == 0xEE) {
        return 3;
    }
    if ((high == 0x01 && (low == 0x28 || low == 0x29 || low == 0x68 || low == 0x69)) ||
        high == 0x1E) {
        return 2;
    }
    return high == 0x01 ? 1 : 0;
}

std::vector<Cell> ConvertText(std::u16string_view text, const ConversionSettings& settings,
                              ICodePages& codePages) {
    return Converter(text, settings, codePages).Run();
}

}  // namespace miraxld
