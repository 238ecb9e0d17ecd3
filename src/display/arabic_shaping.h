// Contextual shaping of Arabic letters into their presentation forms, one letter at a time as
// text is written: the letter before the new one may change to its initial or medial form and
// the new letter takes its isolated or final form.
#pragma once

#include <cstdint>

namespace miraxld {

enum ArabicForm : uint8_t {
    kArabicNoForm = 0,
    kArabicIsolated = 1,
    kArabicFinal = 2,
    kArabicInitial = 3,
    kArabicMedial = 4,
};

// A letter of U+0600..U+06FF and its presentation forms (0 where a form does not exist).
struct ArabicLetterForms {
    uint16_t letter;
    uint16_t isolated;
    uint16_t final;
    uint16_t initial;
    uint16_t medial;
};

struct PresentationForm {
    uint16_t letter;  // 0 when the code point is no form of a single letter
    ArabicForm form;
};

// The joining entry of `letter`, or null when it has no presentation forms.
const ArabicLetterForms* FindArabicLetter(uint16_t letter);
// Which letter and form a code point of U+FB50..U+FBFF or U+FE80..U+FEFF is; kArabicNoForm for
// every other code point.
PresentationForm ClassifyPresentationForm(uint16_t code);

// Shapes the new character `next` against the character already written before it.
// `previous` is null when there is none (the window's first cell); it is then treated like a
// character that is no presentation form.
void ShapeArabic(uint16_t* previous, uint16_t& next);

}  // namespace miraxld
