// Wall time of the whole claim of a responsive KT110 against the in-process simulator on the
// real clock, next to the sleeps the same claim makes when counted on a virtual clock. The
// difference is what the host adds to the waits the display needs: polling, the sleeps' own
// overshoot and the probe's work.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

// No monitor thread: it is not part of the claim, and without it CloseService returns at once.
class NoThreads : public IThreadStarter {
  public:
    bool Start(std::function<void()>) override { return false; }
};

class ClaimBenchPlatform : public TestPlatform {
  public:
    explicit ClaimBenchPlatform(bool realClock) : m_realClock(realClock) {}
    IClock& Clock() override { return m_realClock ? SystemPlatform().Clock() : clock; }
    IThreadStarter& Threads() override { return noThreads; }
    NoThreads noThreads;

  private:
    bool m_realClock;
};

// Milliseconds one ClaimDevice takes, on the real clock or on the virtual one.
double ClaimOnce(bool realClock, int32_t* rc) {
    ClaimBenchPlatform platform(realClock);
    const std::u16string key = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\KT110";
    platform.registry.SetString(key, u"", u"MIRAXLD.POSLDisplay.1");
    platform.registry.SetString(key, u"Port", u"COM3");
    platform.registry.SetString(key, u"BaudRate", u"9600");
    auto sim = std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
    platform.serialFactory = [&] { return displaysim::MakeDevice(sim, platform.Clock()); };

    CPOSLDisplay so(platform);
    so.OpenService(u"LineDisplay", u"KT110", nullptr, nullptr);
    double ms = 0;
    if (realClock) {
        const auto start = std::chrono::steady_clock::now();
        so.ClaimDevice(1000, rc);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count();
    } else {
        const int64_t start = platform.clock.NowMs();
        so.ClaimDevice(1000, rc);
        ms = static_cast<double>(platform.clock.NowMs() - start);
    }
    so.ReleaseDevice(nullptr);
    so.CloseService(nullptr);
    return ms;
}

void ClaimResponsiveKT110(benchmark::State& state) {
    int32_t rc = -1;
    const double waitsMs = ClaimOnce(false, &rc);
    if (rc != 0) {
        state.SkipWithError("the claim failed on the virtual clock");
        return;
    }
    double worstMs = 0;
    for (auto _ : state) {
        const double ms = ClaimOnce(true, &rc);
        if (rc != 0) {
            state.SkipWithError("the claim failed on the real clock");
            return;
        }
        worstMs = ms > worstMs ? ms : worstMs;
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["waits_ms"] = waitsMs;
    state.counters["worst_ms"] = worstMs;
    state.counters["worst_over_waits_%"] = (worstMs / waitsMs - 1.0) * 100.0;
}

BENCHMARK(ClaimResponsiveKT110)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace miraxld::testing
