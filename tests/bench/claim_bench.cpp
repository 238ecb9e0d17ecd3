// Wall time of the whole claim of a responsive display of each command family against the
// in-process simulator on a 9600-baud line at its real speed, next to the sleeps the same claim
// makes (counted on a virtual clock over an unpaced line) and to the wire's time for the bytes
// both ways. What is left beyond the sleeps is the wire and what the host adds: polling, the
// sleeps' own overshoot and the probe's work.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "bench_rig.h"

namespace miraxld::testing {
namespace {

// No monitor thread: it is not part of the claim, and without it CloseService returns at once.
class NoThreads : public IThreadStarter {
  public:
    bool Start(std::function<void()>) override { return false; }
};

// Counts the reply bytes the host reads.
class ReadCountingDevice : public ISerialDevice {
  public:
    ReadCountingDevice(std::unique_ptr<ISerialDevice> inner, std::atomic<uint64_t>* count)
        : m_inner(std::move(inner)), m_count(count) {}
    bool Open(int port, uint32_t baud) override { return m_inner->Open(port, baud); }
    void Close() override { m_inner->Close(); }
    bool WriteByte(uint8_t byte) override { return m_inner->WriteByte(byte); }
    int Read(uint8_t* buffer, int max) override {
        const int n = m_inner->Read(buffer, max);
        *m_count += static_cast<uint64_t>(n > 0 ? n : 0);
        return n;
    }
    int InputCount() override { return m_inner->InputCount(); }
    bool ModemStatus(uint32_t* bits) override { return m_inner->ModemStatus(bits); }

  private:
    std::unique_ptr<ISerialDevice> m_inner;
    std::atomic<uint64_t>* m_count;
};

class ClaimBenchPlatform : public TestPlatform {
  public:
    ClaimBenchPlatform(bool realTime, const std::string& model) : m_realTime(realTime) {
        displaysim::SimConfig config;
        config.model = model;
        sim = std::make_shared<displaysim::DisplaySimulator>(config);
        auto& c = displaysim::SimulatedSerialDevice::ControlsOf(sim.get());
        std::lock_guard lock(c.mutex);
        c.paced = realTime;
        serialFactory = [this] {
            return std::make_unique<ReadCountingDevice>(displaysim::MakeDevice(sim, Clock()),
                                                        &repliesRead);
        };
    }
    IClock& Clock() override { return m_realTime ? SystemPlatform().Clock() : clock; }
    IThreadStarter& Threads() override { return noThreads; }
    NoThreads noThreads;
    std::shared_ptr<displaysim::DisplaySimulator> sim;
    std::atomic<uint64_t> repliesRead{0};

  private:
    bool m_realTime;
};

struct Claim {
    double ms = 0;
    int32_t rc = -1;
    uint64_t bytes = 0;  // both ways
};

// One ClaimDevice: on the real clock over a paced line, or on the virtual one, unpaced.
Claim ClaimOnce(const std::string& model, bool realTime) {
    ClaimBenchPlatform platform(realTime, model);
    const std::u16string name(model.begin(), model.end());
    const std::u16string key = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\" + name;
    platform.registry.SetString(key, u"", u"MIRAXLD.POSLDisplay.1");
    platform.registry.SetString(key, u"Port", u"COM3");
    platform.registry.SetString(key, u"BaudRate", u"9600");

    CPOSLDisplay so(platform);
    so.OpenService(u"LineDisplay", name, nullptr, nullptr);
    Claim claim;
    if (realTime) {
        const auto start = std::chrono::steady_clock::now();
        so.ClaimDevice(1000, &claim.rc);
        claim.ms = MsSince(start);
    } else {
        const int64_t start = platform.clock.NowMs();
        so.ClaimDevice(1000, &claim.rc);
        claim.ms = static_cast<double>(platform.clock.NowMs() - start);
    }
    claim.bytes = platform.sim->Received().size() + platform.repliesRead.load();
    so.ReleaseDevice(nullptr);
    so.CloseService(nullptr);
    return claim;
}

// Argument: command family (0 KT110, 1 KT910, 2 KT310).
void ClaimOnPacedLine(benchmark::State& state) {
    static const char* const kModels[] = {"KT110", "KT910", "KT310"};
    const std::string model = kModels[state.range(0)];
    const Claim sleeps = ClaimOnce(model, false);
    if (sleeps.rc != 0) {
        state.SkipWithError("the claim failed on the virtual clock");
        return;
    }
    double worstMs = 0;
    double totalMs = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const Claim claim = ClaimOnce(model, true);
        if (claim.rc != 0) {
            state.SkipWithError("the claim failed on the paced line");
            return;
        }
        worstMs = claim.ms > worstMs ? claim.ms : worstMs;
        totalMs += claim.ms;
        bytes = claim.bytes;
        state.SetIterationTime(claim.ms / 1000.0);
    }
    const double wireMs = WireMs(static_cast<double>(bytes));
    state.SetLabel(model);
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["wire_ms"] = wireMs;
    state.counters["sleeps_ms"] = sleeps.ms;
    state.counters["sleeps_ratio_to_wire"] = sleeps.ms / wireMs;
    state.counters["ratio_to_wire"] = totalMs / static_cast<double>(state.iterations()) / wireMs;
    state.counters["worst_over_sleeps_%"] = (worstMs / sleeps.ms - 1.0) * 100.0;
}

BENCHMARK(ClaimOnPacedLine)
    ->DenseRange(0, 2)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace miraxld::testing
