// The serial link's polling primitives on virtual time: how long WaitForInput gives input to
// arrive, and which modem-status sample IsLineActive decides from.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "doubles/test_platform.h"
#include "transport/serial_port.h"

namespace miraxld {
namespace {

// Answers each InputCount and ModemStatus call with the next scripted value (0 once the script
// runs out); a modem sample may also let time pass, as a slow driver call would.
class ScriptedDevice : public testing::AbsentSerialDevice {
  public:
    ScriptedDevice(testing::VirtualClock& clock, std::deque<int> counts,
                   std::deque<uint32_t> modem = {}, int sampleMs = 0)
        : m_clock(clock), m_counts(counts), m_modem(modem), m_sampleMs(sampleMs) {}
    bool Open(int, uint32_t) override { return true; }
    int InputCount() override { return Next(m_counts); }
    bool ModemStatus(uint32_t* bits) override {
        ++samples;
        m_clock.Advance(m_sampleMs);
        *bits = Next(m_modem);
        return true;
    }
    int samples = 0;

  private:
    template <typename T>
    static T Next(std::deque<T>& script) {
        const T value = script.empty() ? 0 : script.front();
        if (!script.empty()) {
            script.pop_front();
        }
        return value;
    }
    testing::VirtualClock& m_clock;
    std::deque<int> m_counts;
    std::deque<uint32_t> m_modem;
    int m_sampleMs;
};

TEST(SerialPort, WaitForInputGivesUpAfterNPlusOneSleeps) {
    struct Row {
        int polls;
        std::deque<int> counts;  // the first sample is taken before any sleep
        int result;
        int64_t sleeps;
    };
    const Row rows[] = {
        {0, {}, 0, 0},  // never sleeps
        {0, {3}, 3, 0},
        {100, {}, 0, 101},         // N sleeps with samples, then one more
        {10, {0, 0, 0, 7}, 7, 3},  // the first non-zero count ends the wait
        {2, {0, 0, 9}, 9, 2},      // the N-th sample still counts
        {2, {0, 0, 0, 9}, 0, 3},   // nothing is sampled after the last sleep
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.polls);
        testing::VirtualClock clock;
        SerialPort port(std::make_unique<ScriptedDevice>(clock, row.counts), clock);
        EXPECT_EQ(port.WaitForInput(row.polls), 0);  // closed: nothing asked, no sleep
        EXPECT_EQ(clock.TotalSleeps(), 0);
        ASSERT_EQ(port.Open(3, 9600), 1);
        EXPECT_EQ(port.WaitForInput(row.polls), row.result);
        EXPECT_EQ(clock.TotalSleeps(), row.sleeps);
    }
}

TEST(SerialPort, IsLineActiveDecidesFromTheLastSampleOfAtMostFourPasses) {
    const uint32_t dsr = kModemDsrOn, cts = kModemCtsOn;
    struct Row {
        const char* what;
        std::deque<uint32_t> modem;
        int sampleMs;
        int result;
        int samples;
    };
    const Row rows[] = {
        {"lines dropped at the last sample", {dsr, dsr, dsr, dsr, dsr, dsr, dsr, 0}, 0, 0, 8},
        {"CTS alone at the last sample", {0, 0, 0, 0, 0, 0, 0, cts}, 0, 1, 8},
        {"DSR alone at the last sample", {0, 0, 0, 0, 0, 0, 0, dsr}, 0, 1, 8},
        // 140 ms a pass: the third starts at 280 ms, a fourth would start past 300 ms.
        {"slow samples end the passes early", {0, 0, 0, 0, 0, dsr, 0, 0}, 60, 1, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testing::VirtualClock clock;
        auto device =
            std::make_unique<ScriptedDevice>(clock, std::deque<int>{}, row.modem, row.sampleMs);
        ScriptedDevice& script = *device;
        SerialPort port(std::move(device), clock);
        EXPECT_EQ(port.IsLineActive(), 0);  // closed: no sample taken
        ASSERT_EQ(port.Open(3, 9600), 1);
        EXPECT_EQ(port.IsLineActive(), row.result);
        EXPECT_EQ(script.samples, row.samples);
        EXPECT_EQ(clock.TotalSleeps(), row.samples);  // 10 ms after every sample
    }
}

}  // namespace
}  // namespace miraxld
