// The serial link's polling on virtual time: WaitForInput sleeps N + 1 times at most; IsLineActive
// decides from the last sample of at most four passes, sleeping 10 ms after each sample.
#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "doubles/test_platform.h"
#include "transport/serial_port.h"

namespace miraxld {
namespace {

struct Script {
    const char* what;
    int polls;               // WaitForInput's; -1: IsLineActive
    std::deque<int> counts;  // the first sample is taken before any sleep
    std::deque<uint32_t> modem;
    int sampleMs, result;
    int64_t sleeps;
};

// Answers each InputCount and ModemStatus call with the next scripted value (0 once the script
// runs out); a modem sample may also let time pass, as a slow driver call would.
class ScriptedDevice : public testing::AbsentSerialDevice {
  public:
    ScriptedDevice(testing::VirtualClock& clock, Script script)
        : m_clock(clock), m_script(script) {}
    bool Open(int, uint32_t) override { return true; }
    int InputCount() override { return Next(m_script.counts); }
    bool ModemStatus(uint32_t* bits) override {
        ++samples;
        m_clock.Advance(m_script.sampleMs);
        *bits = Next(m_script.modem);
        return true;
    }
    int samples = 0;

  private:
    template <typename T>
    static T Next(std::deque<T>& script) {
        script.push_back(0);
        const T value = script.front();
        script.pop_front();
        return value;
    }
    testing::VirtualClock& m_clock;
    Script m_script;
};

TEST(SerialPort, PollsOnVirtualTime) {
    const uint32_t dsr = kModemDsrOn, cts = kModemCtsOn;
    const Script rows[] = {
        {"0 polls never sleep", 0, {}, {}, 0, 0, 0},
        {"0 polls, input there", 0, {3}, {}, 0, 3, 0},
        {"N sleeps with samples, then one more", 100, {}, {}, 0, 0, 101},
        {"the first non-zero count ends the wait", 10, {0, 0, 0, 7}, {}, 0, 7, 3},
        {"the N-th sample still counts", 2, {0, 0, 9}, {}, 0, 9, 2},
        {"nothing sampled after the last sleep", 2, {0, 0, 0, 9}, {}, 0, 0, 3},
        {"lines dropped at the last", -1, {}, {dsr, dsr, dsr, dsr, dsr, dsr, dsr, 0}, 0, 0, 8},
        {"CTS alone at the last sample", -1, {}, {0, 0, 0, 0, 0, 0, 0, cts}, 0, 1, 8},
        {"DSR alone at the last sample", -1, {}, {0, 0, 0, 0, 0, 0, 0, dsr}, 0, 1, 8},
        // 140 ms a pass: the third starts at 280 ms, a fourth would start past 300 ms.
        {"slow samples end the passes early", -1, {}, {0, 0, 0, 0, 0, dsr, 0, 0}, 60, 1, 6},
    };
    for (const Script& row : rows) {
        SCOPED_TRACE(row.what);
        testing::VirtualClock clock;
        auto device = std::make_unique<ScriptedDevice>(clock, row);
        ScriptedDevice& script = *device;
        SerialPort port(std::move(device), clock);
        const auto poll = [&] {
            return row.polls < 0 ? port.IsLineActive() : port.WaitForInput(row.polls);
        };
        const int closed = poll();  // nothing asked, no sleep
        EXPECT_EQ(std::pair(closed, clock.TotalSleeps()), std::pair(0, int64_t{0}));
        ASSERT_EQ(port.Open(3, 9600), 1);
        EXPECT_EQ(poll(), row.result);
        EXPECT_EQ(std::pair(clock.TotalSleeps(), script.samples),
                  std::pair(row.sleeps, row.polls < 0 ? static_cast<int>(row.sleeps) : 0));
    }
}

}  // namespace
}  // namespace miraxld
