// The simulator as a person and the other tests read it: what it shows and how it logs.
#include <gtest/gtest.h>

#include "display_sim.h"

namespace displaysim {
namespace {

std::vector<uint8_t> B(std::initializer_list<int> bytes) {
    return {bytes.begin(), bytes.end()};
}

void Send(DisplaySimulator& sim, const std::vector<uint8_t>& bytes, int64_t now = 0) {
    sim.Receive(bytes.data(), bytes.size(), now);
}

TEST(DisplaySim, ShowsTextAsAPersonWouldSeeIt) {
    DisplaySimulator sim({});
    // Home, text, reverse run, a cursor jump to row 2, bytes split across writes.
    Send(sim, B({0x0B, 'T', 'o', 't', 0x1F, 0x72, 0x01, 'a', 'l', 0x1F, 0x72, 0x00, 0x1F}));
    Send(sim, B({0x24, 0x03, 0x02, 'O', 'K'}));
    EXPECT_EQ(sim.ScreenLines()[0], "Total               ");
    EXPECT_EQ(sim.ScreenLines()[1], "  OK                ");
    // Unicode run: home, 16-bit table, left-to-right mark, "AB", end.
    Send(sim, B({0x0B, 0x1B, 0x74, 0xFF, 0x0E, 0x20, 'A', 0, 'B', 0, 0, 0, 'x'}));
    EXPECT_EQ(sim.ScreenLines()[0].substr(0, 5), "ABxal");
    Send(sim, B({0x0C}));
    EXPECT_EQ(sim.ScreenLines()[0], std::string(20, ' '));
    const auto log = sim.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "1F 24 03 02  CMD_SET_CURSOR x=3 y=2"), log.end());
}

}  // namespace
}  // namespace displaysim
