// Turning application text (UTF-16) into display cells: character classes, the right-to-left
// pre-ordering, the device character remapping and the per-character conversion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/screen_model.h"
#include "platform/platform.h"

namespace miraxld {

inline constexpr int kCodePageUnicode = 997;
inline constexpr int kCharacterSetJapaneseSingleByte = 9320;

// Thai vowel and tone marks and Hebrew points: they share the cell of the character before.
bool IsCombiningMark(char16_t c);
// Strong right-to-left characters (Hebrew, Arabic, Syriac, Thaana, N'Ko, ... and U+200F).
bool IsStrongRtl(char16_t c);

// Reverses, in place, every run of characters that are not strong right-to-left, so that such
// runs read left to right when the row is sent right to left.
void PreorderRightToLeft(std::u16string& text);

// Replaces characters by the display's own codes (Vietnamese and Hebrew device tables), then
// the comma-below letters U+0218..U+021B by their cedilla forms.
void RemapDeviceCharacters(std::u16string& text, int characterSet);

// Class of a character under code page 1258: 3 = sent as EE plus its low byte, 2 = sent as its
// two bytes, 1 and 0 = converted with the code page.
int ClassifyVietnamese(char16_t c);

struct ConversionSettings {
    int codePage = 0;      // the conversion code page; 997 = UTF-16 cells
    int characterSet = 0;  // the CharacterSet property
    // Code page 1255 on displays whose text is already in device codes: a character below
    // U+0100 is stored as it is instead of being converted.
    bool hebrewDeviceCodes = false;
};

// Converts `text` into cells, one per displayed character (combining marks and the second byte
// of a double-byte character share a cell). Never drops a character: one the code page cannot
// represent becomes the conversion's default character, and a code page the system does not
// know gives "?".
std::vector<Cell> ConvertText(std::u16string_view text, const ConversionSettings& settings,
                              ICodePages& codePages);

}  // namespace miraxld
