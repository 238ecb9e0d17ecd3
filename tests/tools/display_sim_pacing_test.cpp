// The simulated line at its baud rate: a burst of writes takes the wire's time, on the virtual
// clock and on the real one, and a reply is readable only once its bytes could have arrived.
#include <gtest/gtest.h>

#include <memory>

#include "display/commands.h"
#include "display_sim.h"
#include "doubles/test_platform.h"

namespace miraxld::testing {
namespace {

std::unique_ptr<ISerialDevice> PacedDevice(std::shared_ptr<displaysim::DisplaySimulator> sim,
                                           IClock& clock, uint32_t baud) {
    auto& c = displaysim::SimulatedSerialDevice::ControlsOf(sim.get());
    {
        std::lock_guard lock(c.mutex);
        c.paced = true;
    }
    auto device = displaysim::MakeDevice(sim, clock);
    device->Open(1, baud);
    return device;
}

TEST(DisplaySimPacing, BurstTakesTenBitTimesPerByte) {
    const struct {
        bool realClock;
        uint32_t baud;
        int bytes;
        double tolerance;
    } rows[] = {
        {false, 9600, 960, 0.01},
        {false, 115200, 5760, 0.01},
        {false, 1200, 60, 0.01},
        {true, 9600, 960, 0.03},  // a loaded machine's scheduling is inside the few percent
    };
    for (const auto& row : rows) {
        VirtualClock virtualClock;
        IClock& clock = row.realClock ? SystemPlatform().Clock() : virtualClock;
        auto sim = std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
        auto device = PacedDevice(sim, clock, row.baud);
        const int64_t start = clock.NowMs();
        for (int i = 0; i < row.bytes; ++i) {
            device->WriteByte('A' + i % 20);
        }
        const double wireMs = row.bytes * 10.0 * 1000.0 / row.baud;
        EXPECT_NEAR(static_cast<double>(clock.NowMs() - start), wireMs, wireMs * row.tolerance)
            << row.baud << " baud, real clock " << row.realClock;
        EXPECT_EQ(sim->Received().size(), static_cast<size_t>(row.bytes));
    }
}

TEST(DisplaySimPacing, ReplyReadableAsItsBytesArrive) {
    VirtualClock clock;
    auto sim = std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
    auto device = PacedDevice(sim, clock, 9600);
    for (uint8_t b : CMD_QUERY_VERSION) {
        device->WriteByte(b);
    }
    const int64_t asked = clock.NowMs();
    while (device->InputCount() < 5 && clock.NowMs() - asked < 100) {
        clock.SleepMs(1);
    }
    // The default display answers "13000" after 2 ms, then five bytes take 1.04 ms each.
    EXPECT_EQ(clock.NowMs() - asked, 8);
    uint8_t reply[8] = {};
    EXPECT_EQ((std::pair{device->Read(reply, 8), std::string(reply, reply + 5)}),
              std::pair(5, std::string("13000")));
}

}  // namespace
}  // namespace miraxld::testing
