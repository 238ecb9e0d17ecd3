// Wall time of a complete firmware update through each loader against the in-process simulator
// on the real clock, next to the time its bytes take on the wire at the loader's baud rate and
// to the protocol's own sleeps (the same update counted on a virtual clock). The simulator
// answers at once and the in-process link does not pace bytes, so wall time minus the sleeps
// is what the host adds: its work plus the overshoot of the system's sleeps.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

constexpr char16_t kFile[] = u"C:\\firmware\\display.bin";

class LoaderBenchPlatform : public TestPlatform {
  public:
    explicit LoaderBenchPlatform(bool realClock) : m_realClock(realClock) {}
    IClock& Clock() override { return m_realClock ? SystemPlatform().Clock() : sleeps; }
    SleepOnlyClock sleeps;

  private:
    bool m_realClock;
};

struct UpdateRun {
    double ms = 0;
    int32_t rc = -1;
    uint64_t bytesSent = 0;
};

// One update of a display of `model` (its link open at 9600 baud, as a claim leaves it).
UpdateRun UpdateOnce(const std::string& model, size_t imageSize, bool realClock) {
    LoaderBenchPlatform platform(realClock);
    std::vector<uint8_t> image(imageSize);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    }
    platform.files.Put(kFile, image);
    displaysim::SimConfig config;
    config.model = model;
    config.latencyMs = 0;
    auto sim = std::make_shared<displaysim::DisplaySimulator>(config);
    platform.serialFactory = [&] { return displaysim::MakeDevice(sim, platform.Clock()); };

    CPOSLDisplay so(platform);
    so.m_commandFamily = model == "KT910" ? 1 : 2;
    so.m_portNumber = 3;
    so.m_port.Open(3, 9600);
    sim->ClearReceived();

    UpdateRun run;
    const auto wallStart = std::chrono::steady_clock::now();
    const int64_t virtualStart = platform.sleeps.NowMs();
    so.UpdateFirmware(kFile, &run.rc);
    run.ms = realClock ? std::chrono::duration<double, std::milli>(
                             std::chrono::steady_clock::now() - wallStart)
                             .count()
                       : static_cast<double>(platform.sleeps.NowMs() - virtualStart);
    run.bytesSent = sim->Received().size();
    return run;
}

// Arguments: family, image size, loader baud rate.
void FirmwareUpdate(benchmark::State& state) {
    const std::string model = state.range(0) == 1 ? "KT910" : "RMX910";
    const auto imageSize = static_cast<size_t>(state.range(1));
    const auto baud = static_cast<double>(state.range(2));
    const UpdateRun sleeps = UpdateOnce(model, imageSize, false);
    if (sleeps.rc != 0) {
        state.SkipWithError("the update failed on the virtual clock");
        return;
    }
    UpdateRun wall;
    for (auto _ : state) {
        wall = UpdateOnce(model, imageSize, true);
        if (wall.rc != 0) {
            state.SkipWithError("the update failed on the real clock");
            return;
        }
        state.SetIterationTime(wall.ms / 1000.0);
    }
    // Ten bit times per byte: start, eight data bits, stop.
    const double wireMs = static_cast<double>(wall.bytesSent) * 10.0 / baud * 1000.0;
    const double hostMs = wall.ms - sleeps.ms;
    state.counters["bytes"] = static_cast<double>(wall.bytesSent);
    state.counters["wire_ms"] = wireMs;
    state.counters["sleeps_ms"] = sleeps.ms;
    state.counters["host_ms"] = hostMs;
    state.counters["host_%_of_wire"] = hostMs / wireMs * 100.0;
}

BENCHMARK(FirmwareUpdate)
    ->Args({1, 58368, 115200})
    ->Args({2, 0x80000, 115200})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace miraxld::testing
