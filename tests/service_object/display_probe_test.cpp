// The firmware version step with replies the simulator never gives: the edge cases of each
// reply form.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "display/commands.h"
#include "doubles/recording_serial_device.h"
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

// An opened object whose display has `reply` waiting before anything is asked.
struct Probe {
    explicit Probe(std::u16string model, const Bytes& reply = {}) {
        wire->QueueReply(reply);
        platform.serialFactory = [w = wire] { return std::make_unique<RecordingSerialDevice>(w); };
        so = std::make_unique<CPOSLDisplay>(platform);
        so->m_deviceName = so->m_deviceModel = std::move(model);
        so->m_port.Open(1, 9600);
    }
    TestPlatform platform;
    std::shared_ptr<WireRecord> wire = std::make_shared<WireRecord>();
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
        Probe p(row.model, row.reply);
        p.so->m_commandFamily = row.family;
        int64_t reference = -1;
        const int32_t waited = p.so->ProbeFirmwareVersion(&reference);
        EXPECT_EQ(p.so->m_firmwareVersion, row.version);
        EXPECT_EQ(p.wire->Written(), row.request);
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
    EXPECT_TRUE(kt710.wire->Written().empty());
}

}  // namespace
}  // namespace miraxld::testing
