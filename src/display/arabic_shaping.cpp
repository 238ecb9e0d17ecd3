#include "display/arabic_shaping.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace miraxld {

namespace {

// Every letter of U+0600..U+06FF that has presentation forms: letter, isolated, final, initial,
// medial (from the Arabic Presentation Forms-A and -B blocks).
constexpr ArabicLetterForms kLetters[] = {
    {0x0621, 0xFE80, 0x0000, 0x0000, 0x0000},  // hamza
    {0x0622, 0xFE81, 0xFE82, 0x0000, 0x0000},  // alef with madda above
    {0x0623, 0xFE83, 0xFE84, 0x0000, 0x0000},  // alef with hamza above
    {0x0624, 0xFE85, 0xFE86, 0x0000, 0x0000},  // waw with hamza above
    {0x0625, 0xFE87, 0xFE88, 0x0000, 0x0000},  // alef with hamza below
    {0x0626, 0xFE89, 0xFE8A, 0xFE8B, 0xFE8C},  // yeh with hamza above
    {0x0627, 0xFE8D, 0xFE8E, 0x0000, 0x0000},  // alef
    {0x0628, 0xFE8F, 0xFE90, 0xFE91, 0xFE92},  // beh
    {0x0629, 0xFE93, 0xFE94, 0x0000, 0x0000},  // teh marbuta
    {0x062A, 0xFE95, 0xFE96, 0xFE97, 0xFE98},  // teh
    {0x062B, 0xFE99, 0xFE9A, 0xFE9B, 0xFE9C},  // theh
    {0x062C, 0xFE9D, 0xFE9E, 0xFE9F, 0xFEA0},  // jeem
    {0x062D, 0xFEA1, 0xFEA2, 0xFEA3, 0xFEA4},  // hah
    {0x062E, 0xFEA5, 0xFEA6, 0xFEA7, 0xFEA8},  // khah
    {0x062F, 0xFEA9, 0xFEAA, 0x0000, 0x0000},  // dal
    {0x0630, 0xFEAB, 0xFEAC, 0x0000, 0x0000},  // thal
    {0x0631, 0xFEAD, 0xFEAE, 0x0000, 0x0000},  // reh
    {0x0632, 0xFEAF, 0xFEB0, 0x0000, 0x0000},  // zain
    {0x0633, 0xFEB1, 0xFEB2, 0xFEB3, 0xFEB4},  // seen
    {0x0634, 0xFEB5, 0xFEB6, 0xFEB7, 0xFEB8},  // sheen
    {0x0635, 0xFEB9, 0xFEBA, 0xFEBB, 0xFEBC},  // sad
    {0x0636, 0xFEBD, 0xFEBE, 0xFEBF, 0xFEC0},  // dad
    {0x0637, 0xFEC1, 0xFEC2, 0xFEC3, 0xFEC4},  // tah
    {0x0638, 0xFEC5, 0xFEC6, 0xFEC7, 0xFEC8},  // zah
    {0x0639, 0xFEC9, 0xFECA, 0xFECB, 0xFECC},  // ain
    {0x063A, 0xFECD, 0xFECE, 0xFECF, 0xFED0},  // ghain
    {0x0641, 0xFED1, 0xFED2, 0xFED3, 0xFED4},  // feh
    {0x0642, 0xFED5, 0xFED6, 0xFED7, 0xFED8},  // qaf
    {0x0643, 0xFED9, 0xFEDA, 0xFEDB, 0xFEDC},  // kaf
    {0x0644, 0xFEDD, 0xFEDE, 0xFEDF, 0xFEE0},  // lam
    {0x0645, 0xFEE1, 0xFEE2, 0xFEE3, 0xFEE4},  // meem
    {0x0646, 0xFEE5, 0xFEE6, 0xFEE7, 0xFEE8},  // noon
    {0x0647, 0xFEE9, 0xFEEA, 0xFEEB, 0xFEEC},  // heh
    {0x0648, 0xFEED, 0xFEEE, 0x0000, 0x0000},  // waw
    {0x0649, 0xFEEF, 0xFEF0, 0xFBE8, 0xFBE9},  // alef maksura
    {0x064A, 0xFEF1, 0xFEF2, 0xFEF3, 0xFEF4},  // yeh
    {0x0671, 0xFB50, 0xFB51, 0x0000, 0x0000},  // alef wasla
    {0x0677, 0xFBDD, 0x0000, 0x0000, 0x0000},  // u with hamza above
    {0x0679, 0xFB66, 0xFB67, 0xFB68, 0xFB69},  // tteh
    {0x067A, 0xFB5E, 0xFB5F, 0xFB60, 0xFB61},  // tteheh
    {0x067B, 0xFB52, 0xFB53, 0xFB54, 0xFB55},  // beeh
    {0x067E, 0xFB56, 0xFB57, 0xFB58, 0xFB59},  // peh
    {0x067F, 0xFB62, 0xFB63, 0xFB64, 0xFB65},  // teheh
    {0x0680, 0xFB5A, 0xFB5B, 0xFB5C, 0xFB5D},  // beheh
    {0x0683, 0xFB76, 0xFB77, 0xFB78, 0xFB79},  // nyeh
    {0x0684, 0xFB72, 0xFB73, 0xFB74, 0xFB75},  // dyeh
    {0x0686, 0xFB7A, 0xFB7B, 0xFB7C, 0xFB7D},  // tcheh
    {0x0687, 0xFB7E, 0xFB7F, 0xFB80, 0xFB81},  // tcheheh
    {0x0688, 0xFB88, 0xFB89, 0x0000, 0x0000},  // ddal
    {0x068C, 0xFB84, 0xFB85, 0x0000, 0x0000},  // dahal
    {0x068D, 0xFB82, 0xFB83, 0x0000, 0x0000},  // ddahal
    {0x068E, 0xFB86, 0xFB87, 0x0000, 0x0000},  // dul
    {0x0691, 0xFB8C, 0xFB8D, 0x0000, 0x0000},  // rreh
    {0x0698, 0xFB8A, 0xFB8B, 0x0000, 0x0000},  // jeh
    {0x06A4, 0xFB6A, 0xFB6B, 0xFB6C, 0xFB6D},  // veh
    {0x06A6, 0xFB6E, 0xFB6F, 0xFB70, 0xFB71},  // peheh
    {0x06A9, 0xFB8E, 0xFB8F, 0xFB90, 0xFB91},  // keheh
    {0x06AD, 0xFBD3, 0xFBD4, 0xFBD5, 0xFBD6},  // ng
    {0x06AF, 0xFB92, 0xFB93, 0xFB94, 0xFB95},  // gaf
    {0x06B1, 0xFB9A, 0xFB9B, 0xFB9C, 0xFB9D},  // ngoeh
    {0x06B3, 0xFB96, 0xFB97, 0xFB98, 0xFB99},  // gueh
    {0x06BA, 0xFB9E, 0xFB9F, 0x0000, 0x0000},  // noon ghunna
    {0x06BB, 0xFBA0, 0xFBA1, 0xFBA2, 0xFBA3},  // rnoon
    {0x06BE, 0xFBAA, 0xFBAB, 0xFBAC, 0xFBAD},  // heh doachashmee
    {0x06C0, 0xFBA4, 0xFBA5, 0x0000, 0x0000},  // heh with yeh above
    {0x06C1, 0xFBA6, 0xFBA7, 0xFBA8, 0xFBA9},  // heh goal
    {0x06C5, 0xFBE0, 0xFBE1, 0x0000, 0x0000},  // kirghiz oe
    {0x06C6, 0xFBD9, 0xFBDA, 0x0000, 0x0000},  // oe
    {0x06C7, 0xFBD7, 0xFBD8, 0x0000, 0x0000},  // u
    {0x06C8, 0xFBDB, 0xFBDC, 0x0000, 0x0000},  // yu
    {0x06C9, 0xFBE2, 0xFBE3, 0x0000, 0x0000},  // kirghiz yu
    {0x06CB, 0xFBDE, 0xFBDF, 0x0000, 0x0000},  // ve
    {0x06CC, 0xFBFC, 0xFBFD, 0xFBFE, 0xFBFF},  // farsi yeh
    {0x06D0, 0xFBE4, 0xFBE5, 0xFBE6, 0xFBE7},  // e
    {0x06D2, 0xFBAE, 0xFBAF, 0x0000, 0x0000},  // yeh barree
    {0x06D3, 0xFBB0, 0xFBB1, 0x0000, 0x0000},  // yeh barree with hamza above
};

constexpr uint16_t kFormsAFirst = 0xFB50;
constexpr uint16_t kFormsALast = 0xFBFF;
constexpr uint16_t kFormsBFirst = 0xFE80;
constexpr uint16_t kFormsBLast = 0xFEFF;

template <size_t N>
constexpr std::array<PresentationForm, N> BuildReverse(uint16_t first) {
    std::array<PresentationForm, N> table{};
    auto put = [&](uint16_t code, uint16_t letter, ArabicForm form) {
        if (code >= first && code - first < static_cast<int>(N)) {
            table[code - first] = PresentationForm{letter, form};
        }
    };
    for (const auto& l : kLetters) {
        put(l.isolated, l.letter, kArabicIsolated);
        put(l.final, l.letter, kArabicFinal);
        put(l.initial, l.letter, kArabicInitial);
        put(l.medial, l.letter, kArabicMedial);
    }
    return table;
}

constexpr auto kReverseA = BuildReverse<kFormsALast - kFormsAFirst + 1>(kFormsAFirst);
constexpr auto kReverseB = BuildReverse<kFormsBLast - kFormsBFirst + 1>(kFormsBFirst);

constexpr uint16_t kSpace = 0x0020;

// The isolated form when there is one, else the character unchanged.
uint16_t Isolated(const ArabicLetterForms* forms, uint16_t c) {
    return forms != nullptr && forms->isolated != 0 ? forms->isolated : c;
}

}  // namespace

const ArabicLetterForms* FindArabicLetter(uint16_t letter) {
    const auto* it = std::lower_bound(
        std::begin(kLetters), std::end(kLetters), letter,
        [](const ArabicLetterForms& entry, uint16_t value) { return entry.letter < value; });
    return it != std::end(kLetters) && it->letter == letter ? it : nullptr;
}

PresentationForm ClassifyPresentationForm(uint16_t code) {
    if (code >= kFormsAFirst && code <= kFormsALast) {
        return kReverseA[code - kFormsAFirst];
    }
    if (code >= kFormsBFirst && code <= kFormsBLast) {
        return kReverseB[code - kFormsBFirst];
    }
    return PresentationForm{0, kArabicNoForm};
}

void ShapeArabic(uint16_t* previous, uint16_t& next) {
    const PresentationForm before =
        previous != nullptr ? ClassifyPresentationForm(*previous) : PresentationForm{};
    const ArabicLetterForms* nextForms = FindArabicLetter(next);
    const ArabicLetterForms* beforeForms =
        before.letter != 0 ? FindArabicLetter(before.letter) : nullptr;
    const bool nextHasFinal = nextForms != nullptr && nextForms->final != 0;

    if (before.form == kArabicNoForm || *previous == kSpace) {
        next = Isolated(nextForms, next);
        return;
    }
    switch (before.form) {
        case kArabicIsolated:
            if (beforeForms != nullptr && beforeForms->initial != 0 && nextHasFinal) {
                *previous = beforeForms->initial;
                next = nextForms->final;
            } else {
                next = Isolated(nextForms, next);
            }
            break;
        case kArabicFinal:
            if (beforeForms != nullptr && beforeForms->medial != 0 && nextHasFinal) {
                *previous = beforeForms->medial;
                next = nextForms->final;
            } else {
                next = Isolated(nextForms, next);
            }
            break;
        default:  // initial and medial forms already join onwards: nothing changes
            break;
    }
}

}  // namespace miraxld
