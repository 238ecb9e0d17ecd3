// The probe of ClaimDevice: the firmware version, the code pages the display offers and the
// code-table numbers that select them, the active table, and the KT310/GQ310 screen modes.
// Every wait goes through the platform clock.
#include <optional>
#include <vector>

#include "config/model_catalogue.h"
#include "config/port_discovery.h"
#include "display/commands.h"
#include "service_object/code_page_slot_tables.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr int kVersionWaitMs = 280;
constexpr int32_t kRegistryRouteWaitMs = 300;  // a version wait this long: nobody answered
constexpr int kReadyWaitMs = 3000;
constexpr int kReadyCountBound = 127;
constexpr int32_t kSetupWaitLimitMs = 1000;
constexpr int kListPolls = 500;
constexpr int kReadyPolls = 100;
constexpr uint8_t kReadyAnswer = 0xAA;
constexpr uint8_t kListEnd = 0x0B;
constexpr uint8_t kLineFeed = 0x0A;
constexpr int kCodePageUnicode = 997;
constexpr int kCodePageJapaneseSingleByte = 9320;
// A settled reply that never stops growing is given up after this many rounds, so that a
// display sending endless data cannot hold the claim forever.
constexpr int kSettleRoundsMax = 1000;

struct StableCount {
    int stable = 0;      // the last count seen twice in a row
    int lastSample = 0;  // the last count sampled
};

// Samples the input count until `limitMs` after `reference` (or until the stable count reaches
// `bound`); the sleep grows while the count keeps changing.
StableCount StabilisingWait(SerialPort& port, IClock& clock, int limitMs, int64_t reference,
                            int bound) {
    StableCount result;
    int sleep = 1;
    while (clock.NowMs() - reference < limitMs) {
        const int a = port.InputCount();
        clock.SleepMs(sleep);
        const int b = port.InputCount();
        result.lastSample = b;
        if (b != 0 && b == a) {
            result.stable = b;
        } else {
            ++sleep;
            clock.SleepMs(sleep);
        }
        if (bound > 0 && result.stable >= bound) {
            break;
        }
    }
    return result;
}

// Waits for a reply and reads it once its length has stopped changing; nothing when the
// display does not answer.
std::optional<std::vector<uint8_t>> SettledReply(SerialPort& port, IClock& clock) {
    int count = 0;
    for (int poll = 0; poll < 501 && count == 0; ++poll) {
        clock.SleepMs(2);
        count = port.InputCount();
    }
    if (count == 0) {
        return std::nullopt;
    }
    for (int round = 0; round < kSettleRoundsMax; ++round) {
        const int a = port.InputCount();
        clock.SleepMs(2);
        const int c = port.InputCount();
        if (c == a && c != 0) {
            std::vector<uint8_t> reply(static_cast<size_t>(c) + 1, 0);
            const int read = port.Read(reply.data(), c);
            reply.resize(static_cast<size_t>(read > 0 ? read : 0));
            return reply;
        }
        clock.SleepMs(2);
        if (c == 0) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Version digits to a number. The arithmetic is 32-bit and wraps, as the displays' version
// texts never come near it; a wrap cannot be undefined behaviour this way.
void Accumulate(uint32_t& v, uint8_t b) {
    v = v * 10u + static_cast<uint32_t>(b - 0x30);
}

int32_t ParseVersion(std::u16string_view model, const std::vector<uint8_t>& reply) {
    uint32_t v = 0;
    if (model == kModelGQ310 || model == kModelRMX910) {
        for (size_t i = 4; i < reply.size() && reply[i] != 0; ++i) {
            if (reply[i] == '.') {
                continue;
            }
            Accumulate(v, reply[i] == ' ' ? '0' : reply[i]);
        }
    } else if (model == kModelZN610) {
        size_t i = 0;
        while (i < reply.size() && reply[i] != 0x1F) {
            ++i;
        }
        for (++i; i < reply.size(); ++i) {
            if (reply[i] == '.' || reply[i] == 0) {
                continue;
            }
            Accumulate(v, reply[i] == ' ' ? '0' : reply[i]);
        }
    } else {
        for (uint8_t b : reply) {  // every byte counts, whatever it is
            Accumulate(v, b);
        }
    }
    return static_cast<int32_t>(v);
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

int32_t CPOSLDisplay::ProbeFirmwareVersion(int64_t* reference) {
    m_firmwareVersion = 0;
    if (m_deviceName == kModelKT710) {
        return 0;
    }
    switch (m_commandFamily) {
        case 0:
        case 1:
            Send(m_port, CMD_QUERY_VERSION);
            break;
        case 2:
        case 3:
            Send(m_port, CMD_QUERY_VERSION_EX);
            break;
        default:
            break;  // no request, but the wait still runs
    }
    *reference = Clock().NowMs();
    const StableCount count = StabilisingWait(m_port, Clock(), kVersionWaitMs, *reference, 0);
    if (count.stable != 0) {
        std::vector<uint8_t> reply(static_cast<size_t>(count.lastSample) + 1, 0);
        const int read = m_port.Read(reply.data(), count.lastSample);
        reply.resize(static_cast<size_t>(read > 0 ? read : 0));
        m_firmwareVersion = ParseVersion(m_deviceModel, reply);
    }
    return m_firmwareVersion != 0 ? 0 : static_cast<int32_t>(Clock().NowMs() - *reference);
}

int32_t CPOSLDisplay::LoadCodePageSlots(int32_t* waitMs, int64_t reference) {
    auto positional = [this](std::span<const int32_t> table) {
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i] != 0) {
                m_codepageList[i] = table[i];
                m_codepageCmdIndex[i] = static_cast<int32_t>(i);
            }
        }
    };
    auto paired = [this](std::span<const CodePageSlot> table, size_t first) {
        for (size_t k = 0; k < table.size(); ++k) {
            m_codepageList[first + k] = table[k].codePage;
            m_codepageCmdIndex[first + k] = table[k].table;
        }
    };

    if (m_brand == kBrandOem) {
        const bool kt110Family = m_deviceModel == kModelKT110 || m_deviceModel == kModelRMX110;
        if (kt110Family && m_firmwareVersion < 13000) {
            Send(m_port, CMD_READY_QUERY);
            const int n = m_port.WaitForInput(kReadyPolls);
            std::vector<uint8_t> discard(static_cast<size_t>(n) + 1);
            m_port.Read(discard.data(), n);
            if (n == 0) {
                return kExtNoReadyAnswer;
            }
            // Every entry, the "none" at position 4 included, takes the slot of its position.
            const std::span<const int32_t> table = Kt110EarlyCodePages();
            for (size_t c = 0; c < table.size(); ++c) {
                m_codepageList[c] = table[c];
                m_codepageCmdIndex[c] = static_cast<int32_t>(c);
            }
            *waitMs = 1;
        } else if (kt110Family) {
            paired(Kt110LaterCodePages(), 0);
        } else if (m_deviceModel == kModelKT910 && m_firmwareVersion < 227000) {
            positional(Kt910EarlyCodePages());
            paired(Kt910EarlyDoubleByte(), 39);
        } else if (m_deviceModel == kModelKT910) {
            paired(WideCodePages(), 0);
        } else if (m_deviceModel == kModelRMX910 && m_firmwareVersion < 128000) {
            positional(Rmx910EarlyCodePages());
        } else if (m_deviceModel == kModelRMX910) {
            paired(WideCodePages(), 0);
        }
        return 0;
    }
    if (m_brand != kBrandOwn) {
        return 0;  // FinishCharacterSetup reports the missing brand
    }

    const bool registryRoute = m_deviceName == kModelKT710 || m_deviceName == kModelZN610 ||
                               *waitMs >= kRegistryRouteWaitMs;
    if (registryRoute) {
        if (m_deviceName == kModelZN610) {
            *waitMs = 0;
        } else {
            Send(m_port, CMD_READY_QUERY);
            Clock().SleepMs(2);
            StabilisingWait(m_port, Clock(), kReadyWaitMs, reference, kReadyCountBound);
            *waitMs = static_cast<int32_t>(Clock().NowMs() - reference);
            uint8_t r = 0xFF;
            if (m_port.Read(&r, 1) <= 0) {
                r = 0xFF;
            }
            Send(m_port, CMD_INITIALIZE);
            if (*waitMs >= kReadyWaitMs && r != kReadyAnswer) {
                return kExtReadyTimeout;
            }
        }
        if (m_deviceName == kModelZN610) {
            Send(m_port, CMD_INITIALIZE);
        }
        FillSlotsFromRegistry();
        return 0;
    }

    // The device reports its list entry by entry.
    for (uint8_t stale = 0; m_port.Read(&stale, 1) > 0;) {
    }
    Send(m_port, CMD_INITIALIZE);
    Clock().SleepMs(2);
    Send(m_port, CMD_QUERY_CODEPAGES);
    if (m_port.WaitForInput(kListPolls) == 0) {
        return 0;
    }
    auto readByte = [this](uint8_t* b) {
        if (m_port.WaitForInput(kListPolls) == 0) {
            return false;
        }
        return m_port.Read(b, 1) == 1;
    };
    size_t k = 0;
    while (k < m_codepageList.size()) {
        uint8_t table = 0;
        if (!readByte(&table)) {
            break;
        }
        m_codepageCmdIndex[k] = table;
        if (m_port.WaitForInput(kListPolls) == 0) {
            // An entry of its table number alone: the end mark completes the list; otherwise
            // more input restarts this slot with its next byte.
            if (table == kListEnd || m_port.WaitForInput(kListPolls) == 0) {
                break;
            }
            continue;
        }
        uint8_t separator = 0;
        m_port.Read(&separator, 1);
        int32_t n = 0;
        uint8_t end = 0;
        for (uint8_t b = 0; readByte(&b);) {
            if (b == kLineFeed || b == kListEnd) {
                end = b;
                break;
            }
            if (b >= '0' && b <= '9') {
                n = (n % 100000000) * 10 + (b - '0');  // bounded: no display has such a page
            } else if (b == 'K' || b == 'k') {
                n = kCodePageJapaneseSingleByte;
            }
        }
        struct Replacement {
            int32_t reported, codePage, table;
        };
        static constexpr Replacement kReplacements[] = {
            {932, 932, 244}, {936, 936, 242}, {949, 949, 243}, {950, 950, 241}, {1001, 9320, 244}};
        m_codepageList[k] = n;
        for (const Replacement& r : kReplacements) {
            if (n == r.reported) {
                m_codepageList[k] = r.codePage;
                m_codepageCmdIndex[k] = r.table;
            }
        }
        ++k;
        if (end == kListEnd) {
            break;
        }
        if (end == kLineFeed && m_deviceModel != kModelKT310) {
            Send(m_port, CMD_LIST_ACK);
        }
        if (m_port.WaitForInput(kListPolls) == 0) {
            break;
        }
    }
    return 0;
}

void CPOSLDisplay::FillSlotsFromRegistry() {
    m_characterSetList = m_registry.ReadDeviceValue(m_deviceName, u"CodepageList");
    const std::u16string tables = m_registry.ReadDeviceValue(m_deviceName, u"CodepageCmdIndex");

    const std::u16string& list = m_characterSetList;
    if (!list.empty()) {
        size_t k = 0;
        int64_t n = 0;
        auto finishItem = [&] {
            if (k < m_codepageList.size() && n != 0 && n != kCodePageUnicode) {
                m_codepageList[k] = static_cast<int32_t>(n);
                m_codepageCmdIndex[k] = static_cast<int32_t>(k);
            }
        };
        for (size_t i = 0; i < list.size(); ++i) {
            const char16_t c = list[i];
            if (IsDigit(c)) {
                n = (n % 100000000) * 10 + (c - u'0');
            } else if (c == u',') {
                finishItem();
                if (i + 1 < list.size()) {
                    ++k;
                    n = 0;
                    if (k < m_codepageList.size()) {
                        m_codepageList[k] = 0;
                    }
                }
            }
        }
        finishItem();
    }
    if (!tables.empty()) {
        size_t k = 0;
        int64_t n = 0;
        auto store = [&] {
            if (k < m_codepageCmdIndex.size()) {
                m_codepageCmdIndex[k] = static_cast<int32_t>(n);
            }
            ++k;
            n = 0;
        };
        for (char16_t c : tables) {
            if (IsDigit(c)) {
                n = (n % 100000000) * 10 + (c - u'0');
            } else if (c == u',') {
                store();
            }
        }
        store();
    }
}

int32_t CPOSLDisplay::FinishCharacterSetup(int32_t waitMs) {
    if (waitMs < kSetupWaitLimitMs) {
        if (m_brand != kBrandOwn && m_brand != kBrandOem) {
            Platform().UserMessages().Show(u"GetCodepageList=0", u"SO:Claim");
            return kExtNoBrand;
        }
        std::u16string list;
        for (int32_t codePage : m_codepageList) {
            if (codePage > 0) {
                list += Utf16Decimal(codePage);
                list += u',';
            }
        }
        m_characterSetList = list;
        Send(m_port, CMD_INITIALIZE);
        Clock().SleepMs(5);
        Send(m_port, CMD_INITIALIZE);
    }
    if (m_codepageList[0] > 0) {
        m_characterSet = m_codepageList[0];
        m_codePage = m_codepageList[0];
    }
    if (m_deviceModel == kModelKT910 && m_brand != kBrandOem && waitMs < kSetupWaitLimitMs) {
        Send(m_port, CMD_QUERY_CODEPAGES_EX);
        Clock().SleepMs(20);
        if (const auto reply = SettledReply(m_port, Clock())) {
            if (reply->size() >= 5) {
                const int32_t active = static_cast<int8_t>((*reply)[4]);
                if (const int slot = SlotOfTable(active); slot >= 0) {
                    m_codePage = m_codepageList[slot];
                }
            }
            if (reply->size() >= 13) {
                static constexpr int32_t kDoubleByteFonts[] = {0, 950, 936, 949, 932};
                const uint8_t font = (*reply)[12];
                if (font >= 1 && font <= 4) {
                    m_codePage = kDoubleByteFonts[font];
                }
            }
        }
    }
    const bool unicodeFirmware = (m_deviceModel == kModelKT910 && m_firmwareVersion > 227000) ||
                                 (m_deviceModel == kModelRMX910 && m_firmwareVersion > 150000);
    if (unicodeFirmware) {
        // The right-to-left code pages keep their tables; everything else goes as UTF-16.
        static constexpr int32_t kTableCodePages[] = {720, 862, 864, 1255, 1256};
        bool keepsTable = false;
        for (int32_t cp : kTableCodePages) {
            keepsTable = keepsTable || m_characterSet == cp;
        }
        if (keepsTable) {
            m_unicodeMode = 0;
        } else {
            m_codePage = kCodePageUnicode;
            m_unicodeMode = 1;
        }
    }
    return 0;
}

void CPOSLDisplay::ProbeScreenModes() {
    m_screenModes.fill({});
    if (m_deviceModel != kModelKT310 && m_deviceModel != kModelGQ310) {
        return;
    }
    Send(m_port, CMD_QUERY_SCREEN_MODES);
    Clock().SleepMs(20);
    const auto reply = SettledReply(m_port, Clock());
    if (!reply) {
        return;
    }
    const std::vector<uint8_t>& b = *reply;
    size_t end = 0;
    while (end < b.size() && b[end] != 0) {
        ++end;
    }
    std::u16string text;
    size_t record = 0;
    size_t i = 0;
    while (i < end) {
        const int32_t id = static_cast<int8_t>(b[i++]);
        int32_t rows = 0;
        int32_t columns = 0;
        while (i < end && b[i] >= '0' && b[i] <= '9') {
            rows = (rows % 100000) * 10 + (b[i++] - '0');
        }
        if (i < end && b[i] == 'x') {
            ++i;
        }
        while (i < end && b[i] >= '0' && b[i] <= '9') {
            columns = (columns % 100000) * 10 + (b[i++] - '0');
        }
        while (i < end && b[i] != ',') {
            ++i;  // whatever else the entry holds
        }
        if (record < m_screenModes.size()) {
            m_screenModes[record++] = {id, rows, columns};
        }
        if (!text.empty()) {
            text += u',';
        }
        text += Utf16Decimal(rows) + u"x" + Utf16Decimal(columns);
        if (i < end) {
            ++i;  // the comma
        }
    }
    m_screenModeList = text;
}

void CPOSLDisplay::ProbeDisplayParameters() {
    if (m_deviceModel != kModelKT310) {
        return;
    }
    Send(m_port, QueryParameter(0x01));
    Clock().SleepMs(5);
    Send(m_port, QueryParameter(0x02));
    Clock().SleepMs(5);
    Send(m_port, QueryParameter(0x1F));
    Clock().SleepMs(20);
    const auto reply = SettledReply(m_port, Clock());
    if (!reply) {
        return;
    }
    const std::vector<uint8_t>& b = *reply;
    // A reply too short for a byte leaves what that byte would set.
    if (b.size() >= 14) {
        m_screenMode = static_cast<int32_t>(b[13]) - 0x30;
        if (const ScreenModeRecord* mode = ReportedScreenMode(m_screenMode)) {
            SetDeviceSize(mode->rows, mode->columns);
            m_windows[0].height = m_rows = m_deviceRows;
            m_windows[0].width = m_columns = m_deviceColumns;
        }
    }
    m_defaultCodePage = m_codepageList[0];
    if (b.size() >= 16) {
        struct Choice {
            uint8_t byte;
            int32_t codePage;
        };
        static constexpr Choice kChoices[] = {
            {'a', 950}, {'b', 936}, {'c', 949}, {'d', 932}, {'e', kCodePageUnicode}};
        const uint8_t selector = b[15];
        std::optional<int32_t> chosen;
        for (const Choice& c : kChoices) {
            if (c.byte == selector) {
                chosen = c.codePage;
            }
        }
        if (const int slot = SlotOfTable(static_cast<int32_t>(selector) - 0x30, 16);
            !chosen && slot >= 0) {
            chosen = m_codepageList[slot];
        }
        if (chosen) {
            m_codePage = *chosen;
            m_defaultCodePage = *chosen;
        }
    }
}

const ScreenModeRecord* CPOSLDisplay::ReportedScreenMode(int32_t id) const {
    for (const ScreenModeRecord& mode : m_screenModes) {
        if (mode.id == id && mode.rows > 0 && mode.columns > 0) {
            return &mode;
        }
    }
    return nullptr;
}

}  // namespace miraxld
