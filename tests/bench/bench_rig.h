// What the benchmarks share: a link that discards its bytes, a cheap code page, and a service
// object set up as a claim and enable leave it, without the probe.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

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

}  // namespace miraxld::testing
