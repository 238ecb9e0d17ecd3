// The simulator as the other tests rely on it: what it shows, what it answers, how it logs.
#include <gtest/gtest.h>

#include "display_sim.h"
#include "doubles/test_platform.h"

namespace displaysim {
namespace {

std::vector<uint8_t> B(std::initializer_list<int> bytes) {
    return {bytes.begin(), bytes.end()};
}

void Send(DisplaySimulator& sim, const std::vector<uint8_t>& bytes, int64_t now = 0) {
    sim.Receive(bytes.data(), bytes.size(), now);
}

std::vector<uint8_t> ReadAll(DisplaySimulator& sim, int64_t now) {
    std::vector<uint8_t> out(512);
    out.resize(sim.Read(out.data(), out.size(), now));
    return out;
}

TEST(DisplaySim, ShowsTextAsAPersonWouldSeeIt) {
    DisplaySimulator sim({});
    // Home, text, reverse run, a cursor jump to row 2, bytes split across writes.
    Send(sim, B({0x0B, 'T', 'o', 't', 0x1F, 0x72, 0x01, 'a', 'l', 0x1F, 0x72, 0x00, 0x1F}));
    Send(sim, B({0x24, 0x03, 0x02, 'O', 'K'}));
    EXPECT_EQ(sim.ScreenLines()[0], "Total               ");
    EXPECT_EQ(sim.ScreenLines()[1], "  OK                ");
    // Unicode run: home, 16-bit table, left-to-right mark, "A", reverse split, "B", end.
    Send(sim, B({0x0B, 0x1B, 0x74, 0xFF, 0x0E, 0x20, 'A', 0, 0x1F, 0x72}));
    Send(sim, B({0x01, 'B', 0, 0, 0, 'x'}));
    EXPECT_EQ(sim.ScreenLines()[0].substr(0, 5), "ABxal");
    Send(sim, B({0x0C}));
    EXPECT_EQ(sim.ScreenLines()[0], std::string(20, ' '));
    const auto log = sim.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "1F 24 03 02  CMD_SET_CURSOR x=3 y=2"), log.end());
}

TEST(DisplaySim, AnswersVersionQueriesInEachFamilysFormat) {
    struct Row {
        const char* model;
        std::vector<uint8_t> query;
        std::vector<uint8_t> reply;
    };
    const Row rows[] = {
        {"KT110", B({0x1D, 0x49, 0x04}), B({'1', '3', '0', '0', '0'})},
        {"GQ310", B({0x1F, 0x28, 0x42, 0x02, 0x00, 0x30, 0x41}),
         B({'V', 'E', 'R', ' ', '1', '3', '0', '0', '0', 0})},
        {"ZN610", B({0x1F, 0x28, 0x42, 0x02, 0x00, 0x30, 0x41}),
         B({'Z', 'N', '6', '1', '0', 0x1F, '1', '3', '0', '0', '0'})},
    };
    for (const Row& row : rows) {
        SimConfig config;
        config.model = row.model;
        config.latencyMs = 10;
        DisplaySimulator sim(config);
        Send(sim, row.query, 100);
        EXPECT_EQ(sim.Available(109), 0u) << row.model;  // not before the latency
        EXPECT_EQ(ReadAll(sim, 110), row.reply) << row.model;
    }
}

TEST(DisplaySim, SendsTheCodePageListOneAcknowledgedEntryAtATime) {
    DisplaySimulator sim({});
    Send(sim, B({0x1D, 0x49, 0x70}));
    EXPECT_EQ(ReadAll(sim, 100), B({0, ':', '4', '3', '7', 0x0A}));
    EXPECT_TRUE(ReadAll(sim, 100).empty());  // waits for the acknowledgement
    Send(sim, B({0xAA}));
    EXPECT_EQ(ReadAll(sim, 100), B({2, ':', '8', '5', '0', 0x0A}));
    Send(sim, B({0xAA}));
    EXPECT_EQ(ReadAll(sim, 100), B({16, ':', '1', '2', '5', '2', 0x0B}));
}

TEST(DisplaySim, BlockLoaderTakesTheImageByAddress) {
    SimConfig config;
    config.model = "RMX910";
    DisplaySimulator sim(config);
    std::vector<uint8_t> unlock = B({0x1D, 0x49, 0x80});
    for (char c : std::string("KESTRELVAN"))
        unlock.push_back(uint8_t(c));
    Send(sim, unlock);
    EXPECT_EQ(ReadAll(sim, 100), B({0xAA}));
    sim.Opened(115200, 100);
    Send(sim, B({0x02, 0x55, 0xAA}), 100);
    EXPECT_EQ(ReadAll(sim, 200), B({0xAA}));
    Send(sim, B({0x00, 0x55, 0xAA}), 200);
    EXPECT_EQ(ReadAll(sim, 300), std::vector<uint8_t>(5, 0xAA));
    std::vector<uint8_t> block = B({0x01, 0x55, 0xAA, 0x07, 0xFF, 0x00});
    block.resize(block.size() + 256, 0x5A);
    Send(sim, block, 300);
    EXPECT_EQ(sim.LoaderAddresses(), std::vector<uint32_t>{0x7FF00});
    EXPECT_EQ(sim.LoadedImage()[0x7FF00], 0x5A);
}

TEST(DisplaySim, InProcessDeviceDeliversRepliesOnTheTestClock) {
    miraxld::testing::VirtualClock clock;
    auto sim = std::make_shared<DisplaySimulator>(SimConfig{});
    auto device = MakeDevice(sim, clock);
    ASSERT_TRUE(device->Open(3, 9600));
    device->WriteByte(0x1B);
    device->WriteByte(0xEE);
    EXPECT_EQ(device->InputCount(), 0);
    clock.SleepMs(5);
    EXPECT_EQ(device->InputCount(), 1);
    uint8_t byte = 0;
    EXPECT_EQ(device->Read(&byte, 1), 1);
    EXPECT_EQ(byte, 0xAA);
    // A pulled cable kills the open device until it is reopened after the display is back.
    device->WriteByte('X');
    SimulatedSerialDevice::Unplug(*sim);
    EXPECT_FALSE(device->WriteByte('Y'));
    SimulatedSerialDevice::Replug(*sim);
    EXPECT_FALSE(device->WriteByte('Y'));
    EXPECT_EQ(sim->ScreenLines()[0], std::string(20, ' '));  // the display restarted
    device->Close();
    ASSERT_TRUE(device->Open(3, 9600));
    EXPECT_TRUE(device->WriteByte('Z'));
    EXPECT_EQ(sim->ScreenLines()[0].substr(0, 1), "Z");
    SimulatedSerialDevice::ControlsOf(sim.get()).portMissing = true;
    device->Close();
    EXPECT_FALSE(device->Open(3, 9600));
}

}  // namespace
}  // namespace displaysim
