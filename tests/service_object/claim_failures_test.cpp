// Claims that fail and the state each leaves (the three seconds of a silent display pass on the
// virtual clock), repeated claims and ReleaseDevice.
#include <chrono>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/model_catalogue.h"
#include "service_object/claim_fixture.h"

namespace miraxld::testing {
namespace {

displaysim::SimConfig Sim(std::string model, int firmware, std::set<std::string> silent = {}) {
    displaysim::SimConfig c;
    c.model = std::move(model);
    c.firmware = firmware;
    c.silentQueries = std::move(silent);
    return c;
}

TEST(ClaimFailure, EachCauseLeavesTheLinkAsDocumented) {
    struct Row {
        const char* what;
        std::u16string device, progId;
        std::vector<std::pair<std::u16string, std::u16string>> values;
        bool attached;  // a USB instance of 1d9c_0a01 on COM5
        displaysim::SimConfig display;
        bool portMissing, unsetBrand;
        int32_t extended;
        bool linkOpen;
        Bytes wire;
        int tickMs;     // sleeps rounded up to this timer resolution
        int64_t minMs;  // virtual time the claim takes at least, and less than 150 ms more
    };
    const auto kt110 = Sim("KT110", 13000);
    auto silent = kt110;
    silent.silent = true;
    const std::vector<std::pair<std::u16string, std::u16string>> kCom3 = {{u"Port", u"COM3"},
                                                                          {u"BaudRate", u"9600"}};
    // clang-format off
    const Row rows[] = {
        {"no Port", u"KT110", kOwnProgId, {{u"BaudRate", u"9600"}}, false, kt110, false, false,
         10002, false, {}, 1, 0},
        {"no BaudRate", u"KT110", kOwnProgId, {{u"Port", u"COM3"}}, false, kt110, false, false,
         10003, false, {}, 1, 0},
        {"COM7 not present", u"KT110", kOwnProgId, {{u"Port", u"COM7"}, {u"BaudRate", u"9600"}},
         false, kt110, true, false, 10004, false, {}, 1, 0},
        {"USB display not attached", u"KT110", kOemProgId, {}, false, kt110, false, false,
         10004, false, {}, 1, 0},
        {"no readiness answer", u"KT110", kOemProgId, {}, true, Sim("KT110", 12999, {"ready"}),
         false, false, 10005, true, Cat({CMD_QUERY_VERSION, CMD_READY_QUERY}), 1, 400},
        // No version query: the readiness check runs from the claim's start.
        {"KT710 without readiness answer", u"KT710", kOwnProgId, kCom3, false,
         Sim("KT710", 0, {"ready"}), false, false, 10006, true,
         Cat({CMD_READY_QUERY, CMD_INITIALIZE}), 1, 3000},
        // 15 ms ticks stretch a silent display's version wait to 300 ms: the registry route.
        {"silent KT110 on a coarse timer", u"KT110", kOwnProgId, kCom3, false, silent, false,
         false, 10006, true, Cat({CMD_QUERY_VERSION, CMD_READY_QUERY, CMD_INITIALIZE}), 15, 3000},
        {"no brand", u"KT110", kOwnProgId, {}, true, kt110, false, true, 10007, true,
         Cat({CMD_QUERY_VERSION}), 1, 300},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClaimRig rig;
        rig.platform.ticking.tickMs = row.tickMs;
        rig.Key(row.device, u"", row.progId);
        for (const auto& [name, value] : row.values) {
            rig.Key(row.device, name, value);
        }
        if (row.attached) {
            rig.AttachUsb(u"1d9c_0a01", u"COM5");
        }
        rig.Display(row.display);
        {
            auto& controls = displaysim::SimulatedSerialDevice::ControlsOf(rig.sim.get());
            std::lock_guard lock(controls.mutex);
            controls.portMissing = row.portMissing;
        }
        rig.Open(row.device);
        if (row.unsetBrand) {
            rig.so->m_brand = kBrandUnset;  // as if OpenService had never assigned one
        }
        const auto realStart = std::chrono::steady_clock::now();
        const int64_t start = rig.platform.clock.NowMs();
        int32_t rc = -1;
        EXPECT_EQ(rig.so->ClaimDevice(0, &rc), 111);
        const int64_t took = rig.platform.clock.NowMs() - start;
        EXPECT_GE(took, row.minMs);
        EXPECT_LT(took, row.minMs + 150);  // a silent wait's last samples sleep longest
        EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(1));
        EXPECT_EQ(rc, 111);
        EXPECT_EQ(rig.so->m_resultCode, 111);
        EXPECT_EQ(rig.so->m_resultCodeExtended, row.extended);
        EXPECT_EQ(rig.so->m_claimed, 0);
        EXPECT_EQ(rig.LinkOpen(), row.linkOpen);
        EXPECT_EQ(rig.sim->Received(), row.wire);
        EXPECT_EQ(rig.platform.threads.Started(), 0);
        const auto shown = rig.platform.messages.Shown();
        ASSERT_EQ(shown.size(), row.unsetBrand ? 1u : 0u);
        if (row.unsetBrand) {
            EXPECT_EQ(shown[0].text, u"GetCodepageList=0");
            EXPECT_EQ(shown[0].caption, u"SO:Claim");
        }
    }
}

TEST(ClaimLifecycle, ClaimedObjectSendsNothingAndReleaseClosesTheLink) {
    ClaimRig rig;
    rig.Key(u"KT110", u"", kOwnProgId);
    rig.Key(u"KT110", u"Port", u"COM3");
    rig.Key(u"KT110", u"BaudRate", u"9600");
    rig.Display(Sim("KT110", 13000));
    rig.Open(u"KT110");
    ASSERT_EQ(rig.Claim(-1), 0);
    ASSERT_TRUE(rig.LinkOpen());
    const Bytes firstClaim = rig.sim->Received();

    auto claimSendsNothing = [&](int32_t timeout) {
        rig.sim->ClearReceived();
        const int64_t before = rig.platform.clock.NowMs();
        EXPECT_EQ(rig.Claim(timeout), 0);
        EXPECT_EQ(rig.platform.clock.NowMs(), before);
        EXPECT_TRUE(rig.sim->Received().empty());
    };
    claimSendsNothing(0);
    claimSendsNothing(-1);

    for (int release = 0; release < 2; ++release) {
        rig.so->m_resultCodeExtended = 10006;
        int32_t rc = -1;
        EXPECT_EQ(rig.so->ReleaseDevice(&rc), 0);
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(rig.so->m_resultCodeExtended, 0);
        EXPECT_FALSE(rig.LinkOpen());
        EXPECT_EQ(rig.so->m_claimed, 1);
    }
    claimSendsNothing(1000);  // still claimed: no probe, the link stays closed
    EXPECT_FALSE(rig.LinkOpen());
    EXPECT_EQ(rig.platform.threads.Started(), 1);

    // A new OpenService makes the next claim probe again, with a new monitor thread once the
    // old one has ended.
    rig.platform.held.Release();
    rig.so->CloseService(nullptr);
    EXPECT_EQ(rig.so->m_monitorEnded.load(), 1);
    rig.sim->ClearReceived();
    ASSERT_EQ(rig.so->OpenService(u"LineDisplay", u"KT110", nullptr, nullptr), 0);
    EXPECT_EQ(rig.Claim(0), 0);
    EXPECT_EQ(rig.sim->Received(), firstClaim);  // Timeout 0 probes as Timeout -1 did
    EXPECT_EQ(rig.platform.threads.Started(), 2);
}

}  // namespace
}  // namespace miraxld::testing
