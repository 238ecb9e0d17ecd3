// What the benchmarks share: a link that discards its bytes, a cheap code page, and a service
// object set up as a claim and enable leave it, without the probe.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {

// Counts the bytes; timer threads write too, hence the atomic.
class DiscardingDevice : public ISerialDevice {
  public:
    explicit DiscardingDevice(std::atomic<uint64_t>* count) : m_count(count) {}
    bool Open(int, uint32_t) override { return true; }
    void Close() override {}
    bool WriteByte(uint8_t) override {
        // Writes come one at a time under the link's write lock: a plain load and store keep
        // the count without the price of a locked add per byte.
        m_count->store(m_count->load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        return true;
    }
    int Read(uint8_t*, int) override { return 0; }
    int InputCount() override { return 0; }
    bool ModemStatus(uint32_t*) override { return false; }

  private:
    std::atomic<uint64_t>* m_count;
};

// A single-byte code page in the manner of the system's: ASCII as it is, the rest "?".
class AsciiCodePages : public ICodePages {
  public:
    int AnsiCodePage() override { return 1252; }
    int OemCodePage() override { return 437; }
    std::string ToMultiByte(int, std::u16string_view text) override {
        std::string out;
        for (char16_t c : text) {
            out += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return out;
    }
};

class BenchPlatform : public TestPlatform {
  public:
    BenchPlatform() {
        serialFactory = [this] { return std::make_unique<DiscardingDevice>(&bytes); };
    }
    ICodePages& CodePages() override { return codePages; }
    AsciiCodePages codePages;
    std::atomic<uint64_t> bytes{0};
};

// A KT310 of `rows` x `columns`, claimed and enabled, window 0 blank and active, link open.
inline void SetUpEnabledDisplay(CPOSLDisplay& so, int rows, int columns) {
    so.m_deviceModel = u"KT310";
    so.m_deviceRows = so.m_rows = rows;
    so.m_deviceColumns = so.m_columns = columns;
    so.m_characterSet = so.m_codePage = 1252;
    WindowRecord& w = so.m_windows[0];
    w.height = w.viewportHeight = rows;
    w.width = w.viewportWidth = columns;
    w.active = 1;
    w.cells.fill(Cell::Blank());
    so.m_screen.fill(Cell::Blank());
    so.m_claimed = 1;
    so.m_deviceEnabled = 1;
    so.m_port.Open(1, 9600);
}

inline constexpr int32_t kCurrentWindowIndex = 5003;
inline constexpr int32_t kMarqueeTypeIndex = 5014;
inline constexpr int32_t kMarqueeUnitWaitIndex = 5015;

// Milliseconds a line of `baud` takes for `bytes`: ten bit times each.
inline double WireMs(double bytes, double baud = 9600) {
    return bytes * 10.0 * 1000.0 / baud;
}

inline double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The real clock and timers over a display simulator whose line runs at the port's baud rate:
// a write returns when its bytes have left the wire.
class PacedLinePlatform : public OnSystemTime<BenchPlatform> {
  public:
    explicit PacedLinePlatform(const displaysim::SimConfig& config = {})
        : sim(std::make_shared<displaysim::DisplaySimulator>(config)) {
        auto& c = displaysim::SimulatedSerialDevice::ControlsOf(sim.get());
        std::lock_guard lock(c.mutex);
        c.paced = true;
        serialFactory = [this] { return displaysim::MakeDevice(sim, Clock()); };
    }
    uint64_t Received() const { return sim->Received().size(); }
    std::shared_ptr<displaysim::DisplaySimulator> sim;
};

class StepCountingDisplay : public CPOSLDisplay {
  public:
    using CPOSLDisplay::CPOSLDisplay;
    ~StepCountingDisplay() override { m_lifeline->End(); }  // no step into a half-destroyed object
    int32_t StepEffects(int32_t window) override {
        steps.fetch_add(1, std::memory_order_relaxed);
        return CPOSLDisplay::StepEffects(window);
    }
    std::atomic<int> steps{0};
};

// Stops the marquee of windows `last` down to 1 and every window timer.
inline void StopMarquees(CPOSLDisplay& so, int32_t last) {
    for (int32_t window = last; window >= 1; --window) {
        so.SetPropertyNumber(kCurrentWindowIndex, window);
        so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeNone);
    }
    so.DeleteAllWindowTimers();
}

}  // namespace miraxld::testing
