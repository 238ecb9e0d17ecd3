// Claims against the simulator; the three seconds of a silent display pass on the virtual clock.
#include <array>
#include <tuple>

#include "service_object/claim_fixture.h"

namespace miraxld::testing {
namespace {

using Slot = std::tuple<int, int32_t, int32_t>;  // index, code page, command table

struct FamilyRow {
    const char* what;
    Values values;                  // further device values
    std::u16string usb;             // OEM display attached on COM5; empty for the own brand on COM3
    displaysim::SimConfig display;  // its model names the device key
    int32_t firmware;               // and what the claim learns
    std::vector<Slot> slots;
    std::u16string characterSetList;
    int32_t characterSet, codePage, unicode, rows, columns;
    Bytes wire;
    int64_t minMs;  // virtual time the claim takes at least
};

const std::u16string kWideList =
    u"437,9320,850,860,863,865,851,853,857,737,1252,866,852,858,874,720,775,855,861,862,864,869,"
    u"1250,1251,1253,1254,1255,1256,1257,1258,950,936,949,932,";
const std::vector<Slot> kWideSlots = {{1, 9320, 1}, {30, 950, 241}, {33, 932, 244}, {34, -1, -1}};
const std::vector<Slot> kSimSlots = {{0, 437, 0}, {1, 850, 2}, {2, 1252, 16}, {3, -1, -1}};
const std::u16string kSimList = u"437,850,1252,";

// A display's answer of `bytes`, `gapMs` apart.
std::vector<std::pair<int, uint8_t>> Spaced(const Bytes& bytes, int gapMs) {
    std::vector<std::pair<int, uint8_t>> out;
    for (uint8_t b : bytes) {
        out.emplace_back(gapMs, b);
    }
    return out;
}

TEST(Claim, EachFamilyLearnsVersionCodePagesAndGeometry) {
    const Bytes kListed = Cat({CMD_INITIALIZE, CMD_QUERY_CODEPAGES, CMD_LIST_ACK, CMD_LIST_ACK,
                               CMD_INITIALIZE, CMD_INITIALIZE});
    const Bytes kSetup = Cat({CMD_INITIALIZE, CMD_INITIALIZE});
    const Bytes kOem = Cat({kSetup, CMD_INITIALIZE});  // after the version query
    const Bytes kKt310 = Cat({CMD_QUERY_VERSION_EX, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, kSetup,
                              CMD_QUERY_SCREEN_MODES, QueryParameter(0x01), QueryParameter(0x02),
                              QueryParameter(0x1F), CMD_INITIALIZE});
    const Bytes kKt910 = Cat({CMD_QUERY_VERSION, kListed, CMD_QUERY_CODEPAGES_EX, CMD_INITIALIZE});
    const Values k2x20 = {{u"DeviceRows", u"2"}, {u"DeviceColumns", u"20"}};
    displaysim::SimConfig kt910 = Sim("KT910", 226000), kt310 = Sim("KT310", 102), listed, silent;
    silent.silent = true;
    kt910.activeTable = 2;
    displaysim::SimConfig kt910Font = kt910, kt310Unlisted = kt310, gq310 = Sim("GQ310", 18300);
    kt910Font.doubleByteFont = 4;
    kt310Unlisted.activeScreenMode = 9, kt310Unlisted.parameterCodePage = 'e';
    kt310.activeScreenMode = 2, kt310.parameterCodePage = '2';
    kt310.screenModes = {{1, 3, 32}, {2, 12, 100}, {3, 2, 20}};  // more than the storage holds
    listed.codePages = {{0, "CP437 "}, {5, "932"},  {6, "936"}, {7, "949"},
                        {8, "950"},    {9, "1001"}, {0x16, "k"}};
    displaysim::SimConfig unended = Sim("KT110", 13000);
    unended.answer = [](const std::string& kind, const Bytes& usual) {
        return Spaced(kind == "codepages" ? Bytes{0, ',', '4', '3', '7'} : usual, 2);
    };
    gq310.screenModes = {{4, 2, 40}};
    // clang-format off
    const FamilyRow rows[] = {
        {"KT110", {}, u"", Sim("KT110", 13000), 13000, kSimSlots, kSimList, 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, kListed, CMD_INITIALIZE}), 300},
        {"KT110 list: other bytes ignored, double-byte tables, K", {}, u"",
         listed, 13000, {{0, 437, 0}, {1, 932, 244}, {2, 936, 242}, {3, 949, 243}, {4, 950, 241},
                 {5, 9320, 244}, {6, 9320, 22}, {7, -1, -1}},
         u"437,932,936,949,950,9320,9320,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, CMD_LIST_ACK, CMD_LIST_ACK,
              CMD_LIST_ACK, CMD_LIST_ACK, CMD_LIST_ACK, CMD_LIST_ACK, kSetup, CMD_INITIALIZE}), 300},
        {"KT110 list that stops without its end mark", {}, u"", unended, 13000, {{0, 437, 0}, {1, -1, -1}},
         u"437,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, kSetup, CMD_INITIALIZE}), 1200},
        // 1 ms sleeps end the version wait at 288 ms: short enough to ask for the list.
        {"silent KT110: nothing learnt", {}, u"", silent, 0, {{0, -1, -1}}, u"", 1252,
         1252, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_INITIALIZE, CMD_QUERY_CODEPAGES, kSetup, CMD_INITIALIZE}), 800},
        {"KT110 early firmware: built-in table after the readiness answer", {}, u"1d9c_0a01",
         Sim("KT110", 12999), 12999, {{4, 0, 4}, {10, 9320, 10}, {12, -1, -1}},
         u"437,858,865,866,863,852,1255,1257,1253,9320,1252,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, CMD_READY_QUERY, kOem}), 300},
        {"KT110 later firmware", {}, u"1d9c_0a02", Sim("KT110", 13000),
         13000, {{1, 9320, 1}, {13, 1258, 52}, {14, -1, -1}},
         u"437,9320,850,860,863,865,1252,866,852,858,1253,1255,1257,1258,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"KT910 below 227000: early table and the double-byte slots", {}, u"1d9c_0a03",
         Sim("KT910", 226999), 226999,
         {{3, -1, -1}, {22, 9320, 22}, {39, 950, 252}, {42, 932, 255}, {43, -1, -1}},
         u"437,1252,852,1257,863,1253,1255,9320,865,866,858,1258,874,950,936,949,932,",
         437, 437, 0, 2, 20, Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"KT910 at 227000: wide table, no Unicode yet", {}, u"1d9c_0a04", Sim("KT910", 227000),
         227000, kWideSlots, kWideList, 437, 437, 0, 2, 20, Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"KT910 above 227000 switches to Unicode", {}, u"1d9c_0a03", Sim("KT910", 236000),
         236000, kWideSlots, kWideList, 437, 997, 1, 2, 20, Cat({CMD_QUERY_VERSION, kOem}), 300},
        {"own-brand KT910 asks for the active table", {}, u"", kt910, 226000, kSimSlots, kSimList, 437, 850, 0, 2, 20, kKt910, 300},
        {"own-brand KT910 with a double-byte font", {}, u"", kt910Font, 226000, kSimSlots, kSimList, 437, 932, 0, 2, 20, kKt910, 300},
        {"RMX910 early", {}, u"1d9c_0a06", Sim("RMX910", 127999),
         127999, {{3, 1251, 3}, {30, 866, 30}, {31, -1, -1}},
         u"437,1252,852,1251,1257,863,1253,1255,9320,865,866,", 437, 437, 0, 2, 20,
         Cat({CMD_QUERY_VERSION_EX, kOem}), 300},
        {"RMX910 above 150000", {}, u"1d9c_0a06", Sim("RMX910", 150001),
         150001, kWideSlots, kWideList, 437, 997, 1, 2, 20, Cat({CMD_QUERY_VERSION_EX, kOem}), 300},
        {"KT310: no acknowledgements, screen modes and parameters", k2x20, u"", kt310, 102, kSimSlots, kSimList, 437, 850, 0, 8, 64, kKt310, 300},
        {"KT310 in an unlisted mode keeps its size", k2x20, u"", kt310Unlisted, 102, kSimSlots, kSimList, 437, 997, 0, 2, 20, kKt310, 300},
        {"GQ310: screen modes, no parameters", {{u"DeviceRows", u"3"}, {u"DeviceColumns", u"32"}},
         u"", gq310, 18300, kSimSlots, kSimList, 437, 437, 0, 3, 32,
         Cat({CMD_QUERY_VERSION_EX, kListed, CMD_QUERY_SCREEN_MODES, CMD_INITIALIZE}), 300},
        {"ZN610 from the registry texts", {{u"DeviceModel", u"ZN610"},
         {u"CodepageList", u"437,,1252,997,850"}, {u"CodepageCmdIndex", u"0,5,16"}}, u"",
         Sim("ZN610", 236000),
         236000, {{0, 437, 0}, {1, 0, 5}, {2, 1252, 16}, {3, 0, -1}, {4, 850, 4}, {5, -1, -1}},
         u"437,1252,850,", 437, 437, 0, 3, 32,
         Cat({CMD_QUERY_VERSION_EX, CMD_INITIALIZE, kSetup, CMD_INITIALIZE}), 300},
        {"KT710: no version query, readiness check, list text kept", {{u"CodepageList", u"850,437"}},
         u"", Sim("KT710", 0), 0, {{0, 850, 0}, {1, 437, 1}, {2, -1, -1}}, u"850,437", 850, 850, 0,
         2, 20, Cat({CMD_READY_QUERY, CMD_INITIALIZE, CMD_INITIALIZE}), 3000},
    };
    // clang-format on
    for (const FamilyRow& row : rows) {
        SCOPED_TRACE(row.what);
        ClaimRig rig;
        Values values = row.values;
        if (row.usb.empty()) {
            values.insert(values.end(), {{u"Port", u"COM3"}, {u"BaudRate", u"19200"}});
        } else {
            rig.AttachUsb(row.usb, u"COM5");
        }
        rig.Setup(row.display, row.usb.empty() ? kOwnProgId : kOemProgId, values);
        ASSERT_EQ(rig.Claim(), 0);
        EXPECT_GE(rig.claimMs, row.minMs);
        EXPECT_LT(rig.claimMs, row.minMs + 200);

        const CPOSLDisplay& so = *rig.so;
        std::vector<Slot> slots;
        for (const auto& [index, codePage, table] : row.slots) {
            slots.emplace_back(index, so.m_codepageList[index], so.m_codepageCmdIndex[index]);
        }
        const PortOpen port = row.usb.empty() ? PortOpen{3, 19200} : PortOpen{5, 9600};
        EXPECT_EQ(
            std::tuple(rig.opens, so.m_firmwareVersion, so.m_claimed,
                       rig.platform.threads.Started(), slots, so.m_characterSetList),
            std::tuple(std::vector{port}, row.firmware, 1, 1, row.slots, row.characterSetList));
        const WindowRecord& whole = so.m_windows[0];
        EXPECT_EQ((std::array<int32_t, 7>{so.m_characterSet, so.m_codePage, so.m_unicodeMode,
                                          so.m_deviceRows, so.m_deviceColumns, whole.viewportHeight,
                                          whole.viewportWidth}),
                  (std::array{row.characterSet, row.codePage, row.unicode, row.rows, row.columns,
                              row.rows, row.columns}));
        EXPECT_EQ(rig.sim->Received(), row.wire);
    }
}

TEST(ClaimFailure, EachCauseLeavesTheLinkAsDocumented) {
    struct Row {
        const char* what;
        const char16_t* progId;
        Values values;
        bool attached;  // a USB instance of 1d9c_0a01 on COM5
        displaysim::SimConfig display;
        bool portMissing, unsetBrand;
        int32_t extended;
        Bytes wire;      // nothing sent: the link is closed
        int64_t minMs;   // virtual time the claim takes at least, and less than 150 ms more
        int tickMs = 1;  // sleeps rounded up to this timer resolution
    };
    const Values kCom3 = {{u"Port", u"COM3"}, {u"BaudRate", u"9600"}};
    displaysim::SimConfig silent;
    silent.silent = true;
    // clang-format off
    const Row rows[] = {
        {"no Port", kOwnProgId, {{u"BaudRate", u"9600"}}, false, {}, false, false, 10002, {}, 0},
        {"no BaudRate", kOwnProgId, {{u"Port", u"COM3"}}, false, {}, false, false, 10003, {}, 0},
        {"COM7 not present", kOwnProgId, {{u"Port", u"COM7"}, {u"BaudRate", u"9600"}}, false, {},
         true, false, 10004, {}, 0},
        {"USB display not attached", kOemProgId, {}, false, {}, false, false, 10004, {}, 0},
        {"no readiness answer", kOemProgId, {}, true, Sim("KT110", 12999, {"ready"}), false, false,
         10005, Cat({CMD_QUERY_VERSION, CMD_READY_QUERY}), 400},
        // No version query: the readiness check runs from the claim's start.
        {"KT710 without readiness answer", kOwnProgId, kCom3, false, Sim("KT710", 0, {"ready"}),
         false, false, 10006, Cat({CMD_READY_QUERY, CMD_INITIALIZE}), 3000},
        // 15 ms ticks stretch a silent display's version wait to 300 ms: the registry route.
        {"silent KT110 on a coarse timer", kOwnProgId, kCom3, false, silent, false, false,
         10006, Cat({CMD_QUERY_VERSION, CMD_READY_QUERY, CMD_INITIALIZE}), 3000, 15},
        {"no brand", kOwnProgId, {}, true, {}, false, true, 10007, Cat({CMD_QUERY_VERSION}), 300},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClaimRig rig;
        rig.platform.tickMs = row.tickMs;
        if (row.attached) {
            rig.AttachUsb(u"1d9c_0a01", u"COM5");
        }
        rig.Setup(row.display, row.progId, row.values, row.portMissing);
        rig.so->m_brand = row.unsetBrand ? 0xFFFF : rig.so->m_brand;  // as if never assigned
        const int32_t rc = rig.Claim(0);
        EXPECT_GE(rig.claimMs, row.minMs);
        EXPECT_LT(rig.claimMs, row.minMs + 150);  // a silent wait's last samples sleep longest
        EXPECT_EQ(
            std::tuple(rc, rig.so->m_resultCode, rig.so->m_resultCodeExtended, rig.so->m_claimed,
                       rig.platform.threads.Started(), rig.LinkOpen(), rig.sim->Received()),
            std::tuple(111, 111, row.extended, 0, 0, !row.wire.empty(), row.wire));
        const auto shown = rig.platform.messages.Shown();
        EXPECT_EQ(shown.size(), row.unsetBrand ? 1u : 0u);
        for (const auto& message : shown) {
            EXPECT_EQ(message.caption + u": " + message.text, u"SO:Claim: GetCodepageList=0");
        }
    }
}

TEST(ClaimLifecycle, ClaimedObjectSendsNothingAndReleaseClosesTheLink) {
    ClaimRig rig;
    rig.OwnBrandOnCom3(Sim("KT110", 13000));
    ASSERT_EQ(rig.Claim(-1), 0);
    const Bytes firstClaim = rig.sim->Received();

    auto claimSendsNothing = [&](int32_t timeout, bool linkOpen) {
        rig.sim->ClearReceived();
        const int32_t rc = rig.Claim(timeout);
        EXPECT_EQ(std::tuple(rc, rig.claimMs, rig.sim->Received(), rig.LinkOpen()),
                  std::tuple(0, int64_t{0}, Bytes{}, linkOpen));
    };
    claimSendsNothing(0, true);
    claimSendsNothing(-1, true);

    for (int release = 0; release < 2; ++release) {
        rig.so->m_resultCodeExtended = 10006;
        int32_t rc = -1;
        EXPECT_EQ(rig.so->ReleaseDevice(&rc), 0);
        EXPECT_EQ(std::tuple(rc, rig.so->m_resultCodeExtended, rig.so->m_claimed, rig.LinkOpen()),
                  std::tuple(0, 0, 1, false));
    }
    claimSendsNothing(1000, false);  // still claimed: no probe

    // After a new OpenService the next claim probes again, on a new monitor thread.
    rig.platform.Release();
    rig.so->CloseService(nullptr);
    rig.sim->ClearReceived();
    ASSERT_EQ(rig.so->OpenService(u"LineDisplay", u"KT110", nullptr, nullptr), 0);
    ASSERT_EQ(rig.Claim(0), 0);  // probes as Timeout -1 did
    EXPECT_EQ(std::pair(rig.sim->Received(), rig.platform.threads.Started()),
              std::pair(firstClaim, 2));
}

// The replies the simulator never gives: the edge cases of each reply form.
TEST(DisplayProbe, FirmwareVersionFromEachReplyForm) {
    const Bytes kQuery = Cat({CMD_QUERY_VERSION}), kQueryEx = Cat({CMD_QUERY_VERSION_EX});
    const struct {
        std::string model;
        uint16_t family;
        Bytes request, reply;
        int32_t version;
    } rows[] = {
        // clang-format off
        {"KT110", 0, kQuery, Ascii("2.36"), 1836},  // every byte counts, the dot too
        {"GQ310", 2, kQueryEx, Ascii(std::string_view("VER 1.83 0\0" "7", 12)), 18300},
        {"RMX910", 2, kQueryEx, Ascii("ABCD15.0001"), 150001},
        {"ZN610", 2, kQueryEx, Ascii(std::string_view("ZN\x1F" "2.3 6\0", 9)), 2306},
        {"ZN610", 2, kQueryEx, Ascii("236000"), 0},  // no 0x1F: no digits taken
        {"KT110", 4, {}, {}, 0},                 // no request for this family
        {"KT710", 0, {}, {}, 0},                 // no version query at all
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.reply));
        ClaimRig rig;
        displaysim::SimConfig display = Sim(row.model, 0);
        display.answer = [&](const std::string&, const Bytes&) { return Spaced(row.reply, 0); };
        rig.Display(display);
        CPOSLDisplay so(rig.platform);
        so.m_deviceName = so.m_deviceModel = std::u16string(row.model.begin(), row.model.end());
        so.m_commandFamily = row.family;
        so.m_port.Open(1, 9600);
        int64_t reference = 77;
        const int32_t waited = so.ProbeFirmwareVersion(&reference);
        EXPECT_EQ(std::pair(so.m_firmwareVersion, rig.sim->Received()),
                  std::pair(row.version, row.request));
        if (row.model == "KT710") {
            EXPECT_EQ(std::pair(waited, reference), std::pair(0, int64_t{77}));
            continue;
        }
        EXPECT_GE(rig.platform.clock.NowMs() - reference, 280);
        // Without a version, short enough that the display's code pages are still listed.
        EXPECT_TRUE(row.version != 0 ? waited == 0 : waited >= 280 && waited < 300) << waited;
    }
}

}  // namespace
}  // namespace miraxld::testing
