// The CharacterSet write: which code page text is converted with, which display code table is
// selected, and the model-specific commands that go with the change.
#include <algorithm>
#include <initializer_list>

#include "display/cell_grid.h"
#include "display/commands.h"
#include "display/display_rules.h"
#include "display/text_conversion.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int32_t kJapanese = 932;
constexpr int32_t kVietnamese = 1258;
constexpr int32_t kArabic = 1256;
// Table numbers from here up are the double-byte tables.
constexpr int32_t kFirstDoubleByteTable = 234;

bool OneOf(std::u16string_view value, std::initializer_list<std::u16string_view> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool OneOf(int32_t value, std::initializer_list<int32_t> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// The extra character-set selection that some USB identities need after the code table.
struct ExtraCharset {
    std::initializer_list<std::u16string_view> keys;
    int32_t characterSet;
    int32_t firmwareFrom;   // inclusive
    int32_t firmwareBelow;  // exclusive
    uint8_t n;
};

const ExtraCharset kExtraCharsets[] = {
    {{u"1d9c_0a01", u"1d9c_0a02", u"1d9c_0a05"},
     kCharacterSetJapaneseSingleByte,
     INT32_MIN,
     13000,
     0x07},
    {{u"1d9c_0a01", u"1d9c_0a02", u"1d9c_0a05"},
     kCharacterSetJapaneseSingleByte,
     13000,
     INT32_MAX,
     0x08},
    {{u"1d9c_0a01", u"1d9c_0a02", u"1d9c_0a05"}, kVietnamese, 13000, INT32_MAX, 0x10},
    {{u"1d9c_0a06"}, kCharacterSetJapaneseSingleByte, INT32_MIN, 13000, 0x16},
    {{u"1d9c_0a06"}, kCharacterSetJapaneseSingleByte, 13000, INT32_MAX, 0x08},
    {{u"1d9c_0a06"}, kVietnamese, 13000, INT32_MAX, 0x10},
    {{u"1d9c_0a03", u"1d9c_0a04"}, kArabic, INT32_MIN, 236000, 0x25},
    {{u"1d9c_0a03", u"1d9c_0a04"}, kVietnamese, INT32_MIN, 236000, 0x24},
    {{u"1d9c_0a03", u"1d9c_0a04"}, kCharacterSetJapaneseSingleByte, INT32_MIN, 236000, 0x16},
};

}  // namespace

void CPOSLDisplay::WriteCharacterSet(int32_t number) {
    if (number == m_characterSet) {
        return;
    }
    BusyFlagGuard busy(m_commandBusy, Clock());
    const int32_t firmware = m_firmwareVersion;
    const bool kt910 = m_deviceModel == u"KT910";
    const bool graphicKey = OneOf(m_vidPid, {u"1d9c_0a03", u"1d9c_0a04"});
    const bool kanjiCancelKey = OneOf(m_vidPid, {u"1d9c_0a01", u"1d9c_0a02"});
    CommandBuffer out;

    if (m_characterSet == kJapanese && kt910 && firmware < 250000) {
        out.Append(KanjiCode(0x00));
    }
    if (graphicKey && firmware < 232000 && m_selectedTable > 251) {
        out.Append(CMD_INITIALIZE);
    }
    // The pictures are blanked but not resent: the next output redraws with the new table.
    BlankWindow(m_windows[0]);
    {
        // A marquee step reads the set for its direction under these two flags, so the set
        // changes under them too.
        TwoFlagGuard pictures(m_screenLock, m_stripLock, Clock());
        m_characterSet = number == 0 ? m_codepageList[0] : number;
        m_screen.fill(Cell::Blank());
        for (Strip& s : m_marqueeBuffer) {
            s.fill(Cell::Blank());
        }
    }

    if (IsUnicodeCapableFirmware(*this)) {
        m_leftToRight = OneOf(m_characterSet, {720, 862, 864, 1255, 1256}) ? 0 : 1;
        m_codePage = kCodePageUnicode;
        m_unicodeMode = 1;
        out.SendTo(m_port);
        return;
    }

    m_codePage = m_mapCharacterSet == 1 ? m_characterSet : m_platform.CodePages().AnsiCodePage();

    if (m_characterSet == kJapanese && m_vidPid != u"1d9c_0a06" && m_deviceModel != u"KT310" &&
        firmware < 233000) {
        m_selectedTable = 255;
    } else if (m_characterSet == kCharacterSetJapaneseSingleByte &&
               ((m_deviceModel == u"RMX910" && firmware >= 12800) || (kt910 && firmware < 23600))) {
        m_selectedTable = 22;
    } else {
        if (m_codePage == m_codepageList[0]) {
            m_codePage = m_defaultCodePage;
        }
        // A code page the display does not list (a CharacterSet of 0 or below among them)
        // keeps the table in force.
        if (const int slot = SlotOfCodePage(m_codePage); slot >= 0) {
            m_selectedTable = m_codepageCmdIndex[slot];
        }
    }

    out.Append(SelectCharset(0x00));
    const uint8_t table = static_cast<uint8_t>(m_selectedTable);
    if (m_selectedTable < kFirstDoubleByteTable) {
        if (kanjiCancelKey) {
            out.Append(CMD_KANJI_CANCEL);
        }
        if (m_characterSet != kCodePageUnicode) {
            out.Append(SelectCodeTable(table));
        }
        for (const ExtraCharset& extra : kExtraCharsets) {
            if (OneOf(m_vidPid, extra.keys) && extra.characterSet == m_characterSet &&
                firmware >= extra.firmwareFrom && firmware < extra.firmwareBelow) {
                out.Append(SelectCharset(extra.n));
                break;
            }
        }
    } else if ((m_selectedTable == 255 || m_characterSet == kJapanese) && graphicKey &&
               firmware < 236000) {
        out.Append(KanjiCode(0x01)).Append(SelectCharset(0x16));
        if (m_deviceName == u"KT310") {
            out.Append(SelectCodeTable(table));
        }
    } else {
        if (m_characterSet != kCodePageUnicode) {
            out.Append(SelectCodeTable(table));
        }
        if (m_characterSet == kJapanese || (m_characterSet == kCharacterSetJapaneseSingleByte &&
                                            graphicKey && firmware <= 236000)) {
            out.Append(SelectCharset(0x16));
        }
    }
    out.SendTo(m_port);
}

}  // namespace miraxld
