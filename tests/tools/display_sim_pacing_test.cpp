// The simulated line at its baud rate: a burst of writes takes the wire's time, on the virtual
// clock and on the real one, and a reply is readable only once its bytes could have arrived.
#include <gtest/gtest.h>

#include <memory>

#include "display/commands.h"
#include "display_sim.h"
#include "doubles/test_platform.h"

namespace miraxld::testing {
namespace {

TEST(DisplaySimPacing, BurstTakesTenBitTimesPerByteAndAReplyItsBytesTime) {
    const struct {
        bool realClock;
        uint32_t baud;
        int bytes;
        double tolerance;
        int64_t replyMs;  // the version query's "13000" readable this long after it; 0: not asked
    } rows[] = {
        {false, 9600, 960, 0.01, 8},  // the reply after 2 ms, then five bytes of 1.04 ms each
        {false, 115200, 5760, 0.01, 0},
        {false, 1200, 60, 0.01, 0},
        {true, 9600, 960, 0.03, 0},  // a loaded machine's scheduling is inside the few percent
    };
    for (const auto& row : rows) {
        VirtualClock virtualClock;
        IClock& clock = row.realClock ? SystemPlatform().Clock() : virtualClock;
        auto sim = std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
        displaysim::SimulatedSerialDevice::ControlsOf(sim.get()).paced = true;
        auto device = displaysim::MakeDevice(sim, clock);
        device->Open(1, row.baud);
        const int64_t start = clock.NowMs();
        for (int i = 0; i < row.bytes; ++i) {
            device->WriteByte('A' + i % 20);
        }
        const double wireMs = row.bytes * 10.0 * 1000.0 / row.baud;
        EXPECT_NEAR(static_cast<double>(clock.NowMs() - start), wireMs, wireMs * row.tolerance)
            << row.baud << " baud, real clock " << row.realClock;
        EXPECT_EQ(sim->Received().size(), static_cast<size_t>(row.bytes));
        if (row.replyMs == 0) {
            continue;
        }
        for (uint8_t b : CMD_QUERY_VERSION) {
            device->WriteByte(b);
        }
        const int64_t asked = clock.NowMs();
        while (device->InputCount() < 5 && clock.NowMs() - asked < 100) {
            clock.SleepMs(1);
        }
        uint8_t reply[8] = {};
        EXPECT_EQ((std::tuple{clock.NowMs() - asked, device->Read(reply, 8),
                              std::string(reply, reply + 5)}),
                  std::tuple(row.replyMs, 5, std::string("13000")));
    }
}

}  // namespace
}  // namespace miraxld::testing
