// The whole claim of each display family against the simulator: what the object learns and
// the bytes the display receives, in order.
#include <string>
#include <utility>
#include <vector>

#include "service_object/claim_fixture.h"

namespace miraxld::testing {
namespace {

struct Slot {
    int index;
    int32_t codePage;
    int32_t table;
};

struct FamilyRow {
    const char* what;
    std::u16string device;
    std::u16string progId;  // the device key's default value
    std::vector<std::pair<std::u16string, std::u16string>> values;
    std::u16string usb;  // attached USB identity, on COM5; empty for the own brand on COM3
    displaysim::SimConfig display;
    // What the claim learns.
    int32_t firmware;
    std::vector<Slot> slots;
    std::u16string characterSetList;
    int32_t characterSet, codePage, unicode, rows, columns;
    Bytes wire;
    int64_t minMs;  // virtual time the claim takes at least
};

displaysim::SimConfig Sim(std::string model, int firmware) {
    displaysim::SimConfig c;
    c.model = std::move(model);
    c.firmware = firmware;
    return c;
}

const std::u16string kWideList =
    u"437,9320,850,860,863,865,851,853,857,737,1252,866,852,858,874,720,775,855,861,862,864,869,"
    u"1250,1251,1253,1254,1255,1256,1257,1258,950,936,949,932,";
const std::vector<Slot> kWideSlots = {{1, 9320, 1}, {30, 950, 241}, {33, 932, 244}, {34, -1, -1}};
const std::vector<Slot> kSimSlots = {{0, 437, 0}, {1, 850, 2}, {2, 1252, 16}, {3, -1, -1}};

TEST(Claim, EachFamilyLearnsVersionCodePagesAndGeometry) {
    const Bytes kListed = Cat({CMD_INITIALIZE, CMD_QUERY_CODEPAGES, CMD_LIST_ACK, CMD_LIST_ACK,
                               CMD_INITIALIZE, CMD_INITIALIZE});
    const Bytes kSetup = Cat({CMD_INITIALIZE, CMD_INITIALIZE});
    displaysim::SimConfig kt910 = Sim("KT910", 226000);
    kt910.activeTable = 2;
    displaysim::SimConfig kt910Font = kt910;
    kt910Font.doubleByteFont = 4;
    displaysim::SimConfig kt310Unlisted = Sim("KT310", 102);
    kt310Unlisted.activeScreenMode = 9;
    kt310Unlisted.parameterCodePage = 'e';
    displaysim::SimConfig kt310 = Sim("KT310", 102);
    kt310.activeScreenMode = 2;
    kt310.screenModes = {{1, 3, 32}, {2, 12, 100}, {3, 2, 20}};  // more than the storage holds
    kt310.parameterCodePage = '2';
    displaysim::SimConfig listed = Sim("KT110", 13000);
    listed.codePages = {{0, "CP437 "}, {5, "932"},  {6, "936"}, {7, "949"},
                        {8, "950"},    {9, "1001"}, {0x16, "k"}};
    displaysim::SimConfig silent = Sim("KT110", 13000);
    silent.silent = true;
    displaysim::SimConfig gq310 = Sim("GQ310", 18300);
    gq310.screenModes = {{4, 2, 40}};

    const Bytes kOem = Cat({kSetup, CMD_INITIALIZE});  // after the version query
    // clang-format off
    const FamilyRow rows[] = {
        {"KT110", u"KT110", kOwnProgId, {}, u"", Sim("KT110", 13000),
         13000, kSimSlots, u"437,850,1252,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, kListed, CMD_INITIALIZE}), 300},
        {"KT110 list: other bytes ignored, double-byte tables, K", u"KT110", kOwnProgId, {}, u"",
         listed, 13000, {{0, 437, 0}, {1, 932, 244}, {2, 936, 242}, {3, 949, 243}, {4, 950, 241},
                         {5, 9320, 244}, {6, 9320, 22}, {7, -1, -1}},
         u"437,932,936,949,950,9320,9320,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, CMD_LIST_ACK, CMD_LIST_ACK,
              CMD_LIST_ACK, CMD_LIST_ACK, CMD_LIST_ACK, CMD_LIST_ACK, kSetup, CMD_INITIALIZE}), 300},
        // 1 ms sleeps end the version wait at 288 ms: short enough to ask for the list.
        {"silent KT110: nothing learnt", u"KT110", kOwnProgId, {}, u"", silent,
         0, {{0, -1, -1}}, u"", 1252, 1252, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, kSetup, CMD_INITIALIZE}), 800},
        {"KT110 early firmware: built-in table after the readiness answer", u"KT110", kOemProgId,
         {}, u"1d9c_0a01", Sim("KT110", 12999),
         12999, {{4, 0, 4}, {10, 9320, 10}, {12, -1, -1}},
         u"437,858,865,866,863,852,1255,1257,1253,9320,1252,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_READY_QUERY, kOem}), 300},
        {"KT110 later firmware", u"KT110", kOemProgId, {}, u"1d9c_0a02", Sim("KT110", 13000),
         13000, {{1, 9320, 1}, {13, 1258, 52}, {14, -1, -1}},
         u"437,9320,850,860,863,865,1252,866,852,858,1253,1255,1257,1258,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"KT910 below 227000: early table and the double-byte slots", u"KT910", kOemProgId, {},
         u"1d9c_0a03", Sim("KT910", 226999),
         226999, {{3, -1, -1}, {22, 9320, 22}, {39, 950, 252}, {42, 932, 255}, {43, -1, -1}},
         u"437,1252,852,1257,863,1253,1255,9320,865,866,858,1258,874,950,936,949,932,",
         437, 437, 0, 2, 20, Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"KT910 at 227000: wide table, no Unicode yet", u"KT910", kOemProgId, {}, u"1d9c_0a04",
         Sim("KT910", 227000),
         227000, kWideSlots, kWideList, 437, 437, 0, 2, 20, Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"KT910 above 227000 switches to Unicode", u"KT910", kOemProgId, {}, u"1d9c_0a03",
         Sim("KT910", 236000),
         236000, kWideSlots, kWideList, 437, 997, 1, 2, 20, Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"own-brand KT910 asks for the active table", u"KT910", kOwnProgId, {}, u"", kt910,
         226000, kSimSlots, u"437,850,1252,", 437, 850, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, kListed, CMD_QUERY_CODEPAGES_EX, CMD_INITIALIZE}), 300},
        {"own-brand KT910 with a double-byte font", u"KT910", kOwnProgId, {}, u"", kt910Font,
         226000, kSimSlots, u"437,850,1252,", 437, 932, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, kListed, CMD_QUERY_CODEPAGES_EX, CMD_INITIALIZE}), 300},
        {"RMX910 early", u"RMX910", kOemProgId, {}, u"1d9c_0a06", Sim("RMX910", 127999),
         127999, {{3, 1251, 3}, {30, 866, 30}, {31, -1, -1}},
         u"437,1252,852,1251,1257,863,1253,1255,9320,865,866,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION_EX, kOem}), 300},
        {"RMX910 above 150000", u"RMX910", kOemProgId, {}, u"1d9c_0a06", Sim("RMX910", 150001),
         150001, kWideSlots, kWideList, 437, 997, 1, 2, 20, Cat({CMD_QUERY_VERSION_EX, kOem}), 300},
        {"KT310: no acknowledgements, screen modes and parameters", u"KT310", kOwnProgId,
         {{u"DeviceRows", u"2"}, {u"DeviceColumns", u"20"}}, u"", kt310,
         102, kSimSlots, u"437,850,1252,", 437, 850, 0, 8, 64,
         Cat({CMD_QUERY_VERSION_EX, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, kSetup,
              CMD_QUERY_SCREEN_MODES, QueryParameter(0x01), QueryParameter(0x02),
              QueryParameter(0x1F), CMD_INITIALIZE}), 300},
        {"KT310 in an unlisted mode keeps its size", u"KT310", kOwnProgId,
         {{u"DeviceRows", u"2"}, {u"DeviceColumns", u"20"}}, u"", kt310Unlisted,
         102, kSimSlots, u"437,850,1252,", 437, 997, 0, 2, 20,
         Cat({CMD_QUERY_VERSION_EX, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, kSetup,
              CMD_QUERY_SCREEN_MODES, QueryParameter(0x01), QueryParameter(0x02),
              QueryParameter(0x1F), CMD_INITIALIZE}), 300},
        {"GQ310: screen modes, no parameters", u"GQ310", kOwnProgId,
         {{u"DeviceRows", u"3"}, {u"DeviceColumns", u"32"}}, u"", gq310,
         18300, kSimSlots, u"437,850,1252,", 437, 437, 0, 3, 32,
         Cat({CMD_QUERY_VERSION_EX, kListed, CMD_QUERY_SCREEN_MODES, CMD_INITIALIZE}), 300},
        {"ZN610 from the registry texts", u"ZN610", kOwnProgId,
         {{u"DeviceModel", u"ZN610"}, {u"CodepageList", u"437,,1252,997,850"},
          {u"CodepageCmdIndex", u"0,5,16"}}, u"", Sim("ZN610", 236000),
         236000, {{0, 437, 0}, {1, 0, 5}, {2, 1252, 16}, {3, 0, -1}, {4, 850, 4}, {5, -1, -1}},
         u"437,1252,850,", 437, 437, 0, 3, 32,
         Cat({CMD_QUERY_VERSION_EX, CMD_INITIALIZE, kSetup, CMD_INITIALIZE}), 300},
        {"KT710: no version query, readiness check, list text kept", u"KT710", kOwnProgId,
         {{u"CodepageList", u"850,437"}}, u"", Sim("KT710", 0),
         0, {{0, 850, 0}, {1, 437, 1}, {2, -1, -1}}, u"850,437", 850, 850, 0, 2, 20,
         Cat({CMD_READY_QUERY, CMD_INITIALIZE, CMD_INITIALIZE}), 3000},
    };
    // clang-format on
    for (const FamilyRow& row : rows) {
        SCOPED_TRACE(row.what);
        ClaimRig rig;
        rig.Key(row.device, u"", row.progId);
        if (row.usb.empty()) {
            rig.Key(row.device, u"Port", u"COM3");
            rig.Key(row.device, u"BaudRate", u"19200");
        } else {
            rig.AttachUsb(row.usb, u"COM5");
        }
        for (const auto& [name, value] : row.values) {
            rig.Key(row.device, name, value);
        }
        rig.Display(row.display);
        rig.Open(row.device);
        const int64_t start = rig.platform.clock.NowMs();
        ASSERT_EQ(rig.Claim(), 0);
        const int64_t took = rig.platform.clock.NowMs() - start;
        EXPECT_GE(took, row.minMs);
        EXPECT_LT(took, row.minMs + 200);

        const CPOSLDisplay& so = *rig.so;
        EXPECT_EQ(rig.opens, (std::vector<PortOpen>{row.usb.empty() ? PortOpen{3, 19200}
                                                                    : PortOpen{5, 9600}}));
        EXPECT_EQ(so.m_firmwareVersion, row.firmware);
        for (const Slot& s : row.slots) {
            EXPECT_EQ(so.m_codepageList[s.index], s.codePage) << "slot " << s.index;
            EXPECT_EQ(so.m_codepageCmdIndex[s.index], s.table) << "slot " << s.index;
        }
        EXPECT_EQ(so.m_characterSetList, row.characterSetList);
        EXPECT_EQ(so.m_characterSet, row.characterSet);
        EXPECT_EQ(so.m_codePage, row.codePage);
        EXPECT_EQ(so.m_unicodeMode, row.unicode);
        EXPECT_EQ(std::pair(so.m_deviceRows, so.m_deviceColumns), std::pair(row.rows, row.columns));
        const WindowRecord& whole = so.m_windows[0];
        EXPECT_EQ(std::pair(whole.viewportHeight, whole.viewportWidth),
                  std::pair(row.rows, row.columns));
        EXPECT_EQ(rig.sim->Received(), row.wire);
        EXPECT_EQ(so.m_claimed, 1);
        EXPECT_EQ(rig.platform.threads.Started(), 1);
    }
}

}  // namespace
}  // namespace miraxld::testing
