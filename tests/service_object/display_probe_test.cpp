// The probe steps one at a time, against a display that answers each expected request with a
// scripted reply: reply formats and edge cases the simulator never produces.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "display/commands.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

using namespace std::literals;
using Bytes = std::vector<uint8_t>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}
Bytes B(CommandBytes bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

struct Script {
    std::deque<std::pair<Bytes, Bytes>> steps;  // request, reply
    Bytes written;
    std::deque<uint8_t> input;
};

class ScriptedDisplay : public ISerialDevice {
  public:
    explicit ScriptedDisplay(std::shared_ptr<Script> s) : m_s(std::move(s)) {}
    bool Open(int, uint32_t) override { return true; }
    void Close() override {}
    bool WriteByte(uint8_t b) override {
        m_s->written.push_back(b);
        if (!m_s->steps.empty()) {
            const auto& [request, reply] = m_s->steps.front();
            if (m_s->written.size() >= request.size() &&
                std::equal(request.rbegin(), request.rend(), m_s->written.rbegin())) {
                m_s->input.insert(m_s->input.end(), reply.begin(), reply.end());
                m_s->steps.pop_front();
            }
        }
        return true;
    }
    int Read(uint8_t* buffer, int max) override {
        int n = 0;
        for (; n < max && !m_s->input.empty(); ++n) {
            buffer[n] = m_s->input.front();
            m_s->input.pop_front();
        }
        return n;
    }
    int InputCount() override { return static_cast<int>(m_s->input.size()); }
    bool ModemStatus(uint32_t*) override { return false; }

  private:
    std::shared_ptr<Script> m_s;
};

struct Probe {
    explicit Probe(std::u16string model, std::deque<std::pair<Bytes, Bytes>> steps = {}) {
        script->steps = std::move(steps);
        platform.serialFactory = [s = script] { return std::make_unique<ScriptedDisplay>(s); };
        so = std::make_unique<CPOSLDisplay>(platform);
        so->m_deviceName = so->m_deviceModel = std::move(model);
        so->m_brand = 0;
        so->m_codepageList.fill(-1);
        so->m_codepageCmdIndex.fill(-1);
        so->m_port.Open(1, 9600);
    }
    void Slots(std::vector<std::pair<int32_t, int32_t>> slots) {
        for (size_t k = 0; k < slots.size(); ++k) {
            std::tie(so->m_codepageList[k], so->m_codepageCmdIndex[k]) = slots[k];
        }
    }
    std::vector<std::pair<int32_t, int32_t>> SlotsUpTo(size_t n) const {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (size_t k = 0; k < n; ++k) {
            out.emplace_back(so->m_codepageList[k], so->m_codepageCmdIndex[k]);
        }
        return out;
    }
    TestPlatform platform;
    std::shared_ptr<Script> script = std::make_shared<Script>();
    std::unique_ptr<CPOSLDisplay> so;
};

TEST(DisplayProbe, FirmwareVersionFromEachReplyForm) {
    struct Row {
        std::u16string model;
        uint16_t family;
        Bytes request, reply;
        int32_t version;
    };
    const Bytes kQuery = B(CMD_QUERY_VERSION), kQueryEx = B(CMD_QUERY_VERSION_EX);
    // clang-format off
    const Row rows[] = {
        {u"KT110", 0, kQuery, B("236000"), 236000},
        {u"KT110", 0, kQuery, B("2.36"), 1836},  // every byte counts, the dot too
        {u"KT910", 1, kQuery, B("227000"), 227000},
        {u"KT310", 3, kQueryEx, B("102"), 102},
        {u"GQ310", 2, kQueryEx, B(std::string_view("VER 1.83 0\0" "7", 12)), 18300},
        {u"RMX910", 2, kQueryEx, B("ABCD15.0001"), 150001},
        {u"ZN610", 2, kQueryEx, B(std::string_view("ZN\x1F" "2.3 6\0", 9)), 2306},
        {u"ZN610", 2, kQueryEx, B("236000"), 0},  // no 0x1F: no digits taken
        {u"KT110", 4, {}, {}, 0},                 // no request for this family
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.reply));
        Probe p(row.model, {{row.request, row.reply}});
        p.so->m_commandFamily = row.family;
        int64_t reference = -1;
        const int32_t waited = p.so->ProbeFirmwareVersion(&reference);
        EXPECT_EQ(p.so->m_firmwareVersion, row.version);
        EXPECT_EQ(p.script->written, row.request);
        EXPECT_GE(p.platform.clock.NowMs() - reference, 280);
        if (row.version != 0) {
            EXPECT_EQ(waited, 0);
        } else {
            EXPECT_GE(waited, 280);
            EXPECT_LT(waited, 300);  // short enough that a display without a version is listed
        }
    }
    Probe kt710(u"KT710");
    int64_t reference = 77;
    EXPECT_EQ(kt710.so->ProbeFirmwareVersion(&reference), 0);
    EXPECT_EQ(reference, 77);  // the claim's start stays the reference
    EXPECT_TRUE(kt710.script->written.empty());
}

TEST(DisplayProbe, CodePageListEntriesAndAcknowledgements) {
    using Slots = std::vector<std::pair<int32_t, int32_t>>;
    struct Row {
        const char* what;
        std::u16string model;
        std::deque<std::pair<Bytes, Bytes>> steps;
        Slots slots;  // slots 0 to 4
        int acks;
    };
    const Bytes kList = B(CMD_QUERY_CODEPAGES), kAck = B(CMD_LIST_ACK);
    const Slots kRest = {{-1, -1}, {-1, -1}, {-1, -1}};
    // clang-format off
    const Row rows[] = {
        {"other bytes ignored", u"KT110", {{kList, B("\x00:CP437 \n"sv)}, {kAck, B("\x10:1252\x0B")}},
         {{437, 0}, {1252, 16}, {-1, -1}, {-1, -1}, {-1, -1}}, 1},
        {"double-byte pages get fixed tables", u"KT110",
         {{kList, B("\x05:932\n"sv)}, {kAck, B("\x06:936\n")}, {kAck, B("\x07:949\n")},
          {kAck, B("\x08:950\n")}, {kAck, B("\x09:1001\x0B")}},
         {{932, 244}, {936, 242}, {949, 243}, {950, 241}, {9320, 244}}, 4},
        {"K is the Japanese single-byte table; silence ends the list", u"KT110",
         {{kList, B("\x16:k\n")}}, {{9320, 22}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}, 1},
        {"a lone end mark", u"KT110", {{kList, B("\x00:437\n"sv)}, {kAck, B("\x0B")}},
         {{437, 0}, {-1, 11}, {-1, -1}, {-1, -1}, {-1, -1}}, 1},
        {"the KT310 is not acknowledged", u"KT310", {{kList, B("\x00:437\n\x02:850\x0B"sv)}},
         {{437, 0}, {850, 2}, {-1, -1}, {-1, -1}, {-1, -1}}, 0},
        {"no answer", u"KT110", {}, {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}, 0},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Probe p(row.model, row.steps);
        int32_t waited = 0;
        EXPECT_EQ(p.so->LoadCodePageSlots(&waited, 0), 0);
        EXPECT_EQ(p.SlotsUpTo(5), row.slots);
        Bytes expected = B(CMD_INITIALIZE);
        expected.insert(expected.end(), kList.begin(), kList.end());
        expected.insert(expected.end(), row.acks, CMD_LIST_ACK[0]);
        EXPECT_EQ(p.script->written, expected);
    }
}

TEST(DisplayProbe, RegistryTextsFillSlotsInOrder) {
    using Slots = std::vector<std::pair<int32_t, int32_t>>;
    struct Row {
        std::u16string list, tables;
        Slots slots;  // slots 0 to 2
    };
    const Row rows[] = {
        {u"", u"", {{-1, -1}, {-1, -1}, {-1, -1}}},
        {u"437,", u"", {{437, 0}, {-1, -1}, {-1, -1}}},
        {u"1a2b5,858", u",9", {{125, 0}, {858, 9}, {-1, -1}}},  // other characters ignored
        {u"997,850", u"", {{-1, -1}, {850, 1}, {-1, -1}}},      // 997 is no slot's code page
        {u"", u"7,8", {{-1, 7}, {-1, 8}, {-1, -1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.list));
        Probe p(u"ZN610");
        const std::u16string key = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\ZN610";
        if (!row.list.empty()) {
            p.platform.registry.SetString(key, u"CodepageList", row.list);
        }
        p.platform.registry.SetString(key, u"CodepageCmdIndex", row.tables);
        p.so->FillSlotsFromRegistry();
        EXPECT_EQ(p.SlotsUpTo(3), row.slots);
        EXPECT_EQ(p.so->m_characterSetList, row.list);
    }
}

TEST(DisplayProbe, Kt910TableReplyPicksTheActiveCodePage) {
    struct Row {
        Bytes reply;
        int32_t codePage;
    };
    auto reply = [](size_t size, uint8_t table, uint8_t font) {
        Bytes r(size, 0);
        r[4] = table;
        if (size > 12) {
            r[12] = font;
        }
        return r;
    };
    const Row rows[] = {
        {reply(16, 2, 0), 850},    {reply(16, 2, 3), 949},  {reply(16, 0x63, 4), 932},
        {reply(16, 0x63, 5), 437}, {reply(5, 16, 0), 1252}, {{}, 437},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.reply));
        Probe p(u"KT910", {{B(CMD_QUERY_CODEPAGES_EX), row.reply}});
        p.Slots({{437, 0}, {850, 2}, {1252, 16}});
        EXPECT_EQ(p.so->FinishCharacterSetup(0), 0);
        EXPECT_EQ(p.so->m_characterSet, 437);
        EXPECT_EQ(p.so->m_codePage, row.codePage);
        EXPECT_EQ(p.so->m_characterSetList, u"437,850,1252,");
    }
    // After a long wait the list text stays and nothing is sent.
    Probe late(u"KT910");
    late.so->m_characterSetList = u"from the registry";
    late.Slots({{850, 2}});
    EXPECT_EQ(late.so->FinishCharacterSetup(1000), 0);
    EXPECT_EQ(late.so->m_characterSetList, u"from the registry");
    EXPECT_EQ(late.so->m_characterSet, 850);
    EXPECT_TRUE(late.script->written.empty());
}

TEST(DisplayProbe, UnicodeFirmwareKeepsTablesOnlyForRightToLeftPages) {
    struct Row {
        std::u16string model;
        int32_t firmware, slot0, codePage, unicode;
    };
    const Row rows[] = {
        {u"KT910", 227001, 437, 997, 1},   {u"KT910", 227001, 1255, 1255, 0},
        {u"RMX910", 150000, 437, 437, 0},  {u"RMX910", 150001, 862, 862, 0},
        {u"RMX910", 150001, 1252, 997, 1},
    };
    for (const Row& row : rows) {
        Probe p(row.model);
        p.so->m_firmwareVersion = row.firmware;
        p.Slots({{row.slot0, 0}});
        EXPECT_EQ(p.so->FinishCharacterSetup(1000), 0);
        EXPECT_EQ(p.so->m_codePage, row.codePage) << row.firmware << " " << row.slot0;
        EXPECT_EQ(p.so->m_unicodeMode, row.unicode) << row.firmware << " " << row.slot0;
    }
}

TEST(DisplayProbe, Kt310ScreenModesAndParameters) {
    struct Row {
        char mode, codePageByte;
        int32_t rows, columns, codePage;
    };
    const Row rows[] = {
        {'2', 'c', 4, 32, 949},  // a listed mode; a double-byte font
        {'9', '2', 2, 20, 850},  // no such mode: sizes stay; table 2's code page
        {'1', 'e', 3, 32, 997},
        {'1', 'z', 3, 32, 437},  // no table matches: unchanged
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(1, row.mode) + row.codePageByte);
        Bytes parameters(16, '0');
        parameters[13] = static_cast<uint8_t>(row.mode);
        parameters[15] = static_cast<uint8_t>(row.codePageByte);
        Probe p(u"KT310", {{B(CMD_QUERY_SCREEN_MODES), B("\x01"
                                                         "3x32,\x02"
                                                         "4x32")},
                           {B(QueryParameter(0x1F)), parameters}});
        p.Slots({{437, 0}, {850, 2}});
        p.so->m_codePage = 437;
        p.so->m_deviceRows = p.so->m_rows = 2;
        p.so->m_deviceColumns = p.so->m_columns = 20;
        p.so->m_windows[0].height = 2;
        p.so->m_windows[0].width = 20;
        p.so->ProbeScreenModes();
        p.so->ProbeDisplayParameters();
        EXPECT_EQ(p.so->m_screenModeList, u"3x32,4x32");
        EXPECT_EQ(p.so->m_screenMode, row.mode - '0');
        EXPECT_EQ(std::pair(p.so->m_deviceRows, p.so->m_deviceColumns),
                  std::pair(row.rows, row.columns));
        EXPECT_EQ(std::pair(p.so->m_windows[0].height, p.so->m_windows[0].width),
                  std::pair(row.rows, row.columns));
        EXPECT_EQ(p.so->m_codePage, row.codePage);
        EXPECT_EQ(p.so->m_defaultCodePage, row.codePage);
    }
}

}  // namespace
}  // namespace miraxld::testing
