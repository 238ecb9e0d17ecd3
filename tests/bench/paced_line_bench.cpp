// What the wire decides: DisplayText from call to return on a 9600-baud line while software
// marquees share it, and a whole sale replayed on it. Every time is also given as a ratio to
// the wire's own time for the bytes concerned.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "bench_rig.h"

namespace miraxld::testing {
namespace {

constexpr int kShortestUnitWaitMs = 200;

// Marquee windows 1 .. `count` above the last row (side by side on row 0 of a 2-row display),
// each twice as wide as its viewport, then the cashier's window over the last row, current.
void CreateWindows(CPOSLDisplay& so, int rows, int columns, int count) {
    const int width = rows > 2 ? columns : columns / 3 - 1;
    for (int k = 0; k < count; ++k) {
        const int row = rows > 2 ? k : 0;
        const int column = rows > 2 ? 0 : k * (width + 1);
        so.CreateWindow(row, column, 1, width, 1, 2 * width, nullptr);
        so.DisplayText(u"Fresh fruit every day at the stall " + std::u16string(1, u'1' + k), 0,
                       nullptr);
    }
    so.CreateWindow(rows - 1, 0, 1, columns, 1, columns, nullptr);
}

void StartMarquees(CPOSLDisplay& so, int count) {
    for (int k = 1; k <= count; ++k) {
        so.SetPropertyNumber(kCurrentWindowIndex, k);
        so.SetPropertyNumber(kMarqueeUnitWaitIndex, kShortestUnitWaitMs);
        so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft);
    }
    so.SetPropertyNumber(kCurrentWindowIndex, count + 1);
}

// Arguments: rows, columns, marquee windows at the shortest unit wait.
void DisplayTextOnPacedLine(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    const int marquees = static_cast<int>(state.range(2));
    PacedLinePlatform platform;
    StepCountingDisplay so(platform);
    SetUpEnabledDisplay(so, rows, columns);
    CreateWindows(so, rows, columns, marquees);

    const std::u16string text = u"Total      12.50 EUR";
    const uint64_t before = platform.Received();
    so.DisplayText(text, 0, nullptr);  // the call's own bytes, on a quiet line
    const double ownBytes = static_cast<double>(platform.Received() - before);
    StartMarquees(so, marquees);

    double worstMs = 0;
    double totalMs = 0;
    int gap = 0;
    const int stepsBefore = so.steps.load();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        // A cashier's rhythm that does not lock onto the marquee's period.
        gap = (gap + 73) % 160;
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + gap));
        const auto call = std::chrono::steady_clock::now();
        int32_t rc = -1;
        so.DisplayText(text, 0, &rc);
        const double ms = MsSince(call);
        if (rc != 0) {
            state.SkipWithError("DisplayText failed");
            break;
        }
        worstMs = std::max(worstMs, ms);
        totalMs += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    const double seconds = MsSince(start) / 1000.0;
    const int steps = so.steps.load() - stepsBefore;
    StopMarquees(so, marquees);

    const double wireMs = WireMs(ownBytes);
    state.counters["bytes"] = ownBytes;
    state.counters["wire_ms"] = wireMs;
    state.counters["ratio_to_wire"] = totalMs / static_cast<double>(state.iterations()) / wireMs;
    state.counters["worst_ratio_to_wire"] = worstMs / wireMs;
    state.counters["steps/s_asked"] = marquees * 1000.0 / kShortestUnitWaitMs;
    state.counters["steps/s_done"] = steps / seconds;
}

BENCHMARK(DisplayTextOnPacedLine)
    ->ArgsProduct({{2}, {20}, {0, 1, 2, 3}})
    ->ArgsProduct({{4}, {32}, {0, 1, 2, 3}})
    ->UseManualTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);

// A sale on a 2 x 20 pole display as the POS application drives it: each item and the running
// subtotal, the total, the change, a thank-you, then an advert running as a marquee over the
// top row.
struct SaleLine {
    int32_t row;
    const char16_t* text;
};
constexpr SaleLine kSale[] = {
    {0, u"Milk 1L         1.29"}, {1, u"Subtotal        1.29"}, {0, u"Bread           2.49"},
    {1, u"Subtotal        3.78"}, {0, u"Apples 1kg      2.99"}, {1, u"Subtotal        6.77"},
    {0, u"Coffee 500g     5.49"}, {1, u"Subtotal       12.26"}, {0, u"TOTAL          12.26"},
    {1, u"Cash           20.00"}, {0, u"Change          7.74"}, {1, u"Thank you, goodbye! "},
};
constexpr int kAdvertMs = 4000;

void SaleOnPacedLine(benchmark::State& state) {
    PacedLinePlatform platform;
    StepCountingDisplay so(platform);
    SetUpEnabledDisplay(so, 2, 20);
    so.m_deviceModel = u"KT110";

    for (auto _ : state) {
        const uint64_t first = platform.Received();
        double callsMs = 0;
        for (const SaleLine& line : kSale) {
            const auto call = std::chrono::steady_clock::now();
            so.DisplayTextAt(line.row, 0, line.text, 0, nullptr);
            callsMs += MsSince(call);
        }
        const uint64_t calls = platform.Received() - first;

        const auto advert = std::chrono::steady_clock::now();
        so.CreateWindow(0, 0, 1, 20, 1, 60, nullptr);
        so.DisplayText(u"Fresh bread daily - open Sunday 8 to 12", 0, nullptr);
        so.SetPropertyNumber(kMarqueeUnitWaitIndex, kShortestUnitWaitMs);
        so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft);
        const int stepsBefore = so.steps.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(kAdvertMs));
        const int steps = so.steps.load() - stepsBefore;
        StopMarquees(so, 1);
        so.DestroyWindow(nullptr);
        const double advertMs = MsSince(advert);
        const uint64_t advertBytes = platform.Received() - first - calls;

        state.SetIterationTime(callsMs / 1000.0);
        state.counters["lines"] = std::size(kSale);
        state.counters["calls_bytes"] = static_cast<double>(calls);
        state.counters["calls_wire_ms"] = WireMs(static_cast<double>(calls));
        state.counters["calls_ratio_to_wire"] = callsMs / WireMs(static_cast<double>(calls));
        state.counters["advert_bytes"] = static_cast<double>(advertBytes);
        state.counters["advert_steps/s"] = steps * 1000.0 / kAdvertMs;
        state.counters["advert_line_busy_%"] =
            WireMs(static_cast<double>(advertBytes)) / advertMs * 100.0;
    }
}

BENCHMARK(SaleOnPacedLine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace miraxld::testing
