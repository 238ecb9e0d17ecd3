// CPU cost of one DisplayText call: conversion, placement, screen copy and the full resend
// through SerialPort::Write to an in-process device that discards the bytes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

class DiscardingDevice : public ISerialDevice {
  public:
    explicit DiscardingDevice(uint64_t* count) : m_count(count) {}
    bool Open(int, uint32_t) override { return true; }
    void Close() override {}
    bool WriteByte(uint8_t) override {
        ++*m_count;
        return true;
    }
    int Read(uint8_t*, int) override { return 0; }
    int InputCount() override { return 0; }
    bool ModemStatus(uint32_t*) override { return false; }

  private:
    uint64_t* m_count;
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
    ICodePages& CodePages() override { return codePages; }
    AsciiCodePages codePages;
};

void DisplayTwentyCharacters(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    BenchPlatform platform;
    uint64_t bytes = 0;
    platform.serialFactory = [&bytes] { return std::make_unique<DiscardingDevice>(&bytes); };
    CPOSLDisplay so(platform);
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

    const std::u16string text = u"Total      12.50 EUR";  // 20 characters
    int32_t rc = 0;
    for (auto _ : state) {
        so.DisplayText(text, 0, &rc);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["bytes/call"] =
        benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}

BENCHMARK(DisplayTwentyCharacters)->Args({2, 20})->Args({4, 32})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace miraxld::testing
