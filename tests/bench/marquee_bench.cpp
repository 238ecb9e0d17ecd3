// The cost of the emulated marquee: one timer tick on 4 x 32 next to one full refresh of the
// same screen, and the CPU share of a process in which three marquee windows run on the real
// timer service at the fastest period an application can set.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "bench_rig.h"

namespace miraxld::testing {
namespace {

// Window 1 of 4 x 64 seen through the whole 4 x 32 screen, text on every row, marquee left.
void StartWideMarquee(CPOSLDisplay& so) {
    so.CreateWindow(0, 0, 4, 32, 4, 64, nullptr);
    for (int row = 0; row < 4; ++row) {
        so.DisplayTextAt(row, 0,
                         u"Fresh bread, cheese and fruit at the market stall   " +
                             std::u16string(1, static_cast<char16_t>(u'1' + row)),
                         0, nullptr);
    }
    so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft);
}

void MarqueeTickFourByThirtyTwo(benchmark::State& state) {
    BenchPlatform platform;  // manual timers: the tick runs only when called
    CPOSLDisplay so(platform);
    SetUpEnabledDisplay(so, 4, 32);
    StartWideMarquee(so);
    if (so.m_marqueeTimer[1] == 0) {
        state.SkipWithError("no marquee timer");
        return;
    }
    const uint64_t before = platform.bytes.load();
    for (auto _ : state) {
        so.MarqueeTimerTick(1, so.m_marqueeTimerId[1]);
    }
    state.counters["bytes/tick"] =
        benchmark::Counter(static_cast<double>(platform.bytes.load() - before) /
                           static_cast<double>(state.iterations()));
}

void FullRefreshFourByThirtyTwo(benchmark::State& state) {
    BenchPlatform platform;
    CPOSLDisplay so(platform);
    SetUpEnabledDisplay(so, 4, 32);
    StartWideMarquee(so);
    const uint64_t before = platform.bytes.load();
    for (auto _ : state) {
        so.RefreshScreen(1, 0, true);
    }
    state.counters["bytes/refresh"] =
        benchmark::Counter(static_cast<double>(platform.bytes.load() - before) /
                           static_cast<double>(state.iterations()));
}

BENCHMARK(MarqueeTickFourByThirtyTwo)->Unit(benchmark::kMicrosecond);
BENCHMARK(FullRefreshFourByThirtyTwo)->Unit(benchmark::kMicrosecond);

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Three one-row windows over rows 0 to 2, each 64 wide behind a 32-column viewport, marquee
// left at 200 ms (the shortest MarqueeUnitWait). Wall time is what it is; the figure is the
// process's CPU time over it, in percent of one core.
void ThreeMarqueesCpuShare(benchmark::State& state) {
    OnSystemTime<BenchPlatform> platform;
    StepCountingDisplay so(platform);
    SetUpEnabledDisplay(so, 4, 32);
    for (int32_t row = 0; row < 3; ++row) {
        so.CreateWindow(row, 0, 1, 32, 1, 64, nullptr);
        so.DisplayText(u"Window " + std::u16string(1, static_cast<char16_t>(u'1' + row)) +
                           u": today's offers on fresh fruit and vegetables, all week",
                       0, nullptr);
        so.SetPropertyNumber(kMarqueeUnitWaitIndex, 200);
        so.SetPropertyNumber(kMarqueeTypeIndex, kMarqueeLeft);
    }
    const auto seconds = std::chrono::seconds(state.range(0));
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = CpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(seconds);
        cpu += CpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    }
    const int steps = so.steps.load();
    StopMarquees(so, 3);
    state.counters["cpu_%_of_core"] = cpu / wall * 100.0;
    state.counters["steps"] = steps;
    state.counters["steps/s"] = steps / wall;
}

BENCHMARK(ThreeMarqueesCpuShare)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace miraxld::testing
