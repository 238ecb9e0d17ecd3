// The display-sim program on a pseudo-terminal, pacing at the speed the host sets (--baud
// line), written to as the service object writes: one single-byte request per byte through
// this system's serial device. Two times per burst, each as a ratio to the wire's time: the
// writes' return (the terminal buffers, so the host sees little of the wire), and the moment
// the display has taken the burst (a version query behind it is answered).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench_rig.h"
#include "display/commands.h"

extern char** environ;

namespace miraxld::testing {
namespace {

// display-sim on its own terminal, linked as port 3 of a private port folder.
class SimulatorProcess {
  public:
    explicit SimulatorProcess(const char* baud) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char* argv[] = {const_cast<char*>(MIRAXLD_DISPLAY_SIM), const_cast<char*>("--baud"),
                        const_cast<char*>(baud), nullptr};
        if (posix_spawn(&m_pid, MIRAXLD_DISPLAY_SIM, &actions, nullptr, argv, environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::string path;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') {
            path += c;
        }
        close(out[0]);
        m_dir =
            std::filesystem::temp_directory_path() / ("miraxld-pty-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        std::filesystem::remove(m_dir / "com3");
        std::filesystem::create_symlink(path, m_dir / "com3");
        m_path = path;
        setenv("MIRAXLD_COM_DIR", m_dir.c_str(), 1);
    }
    ~SimulatorProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        std::filesystem::remove_all(m_dir);
    }
    bool Running() const { return m_pid > 0; }
    const std::string& Path() const { return m_path; }

  private:
    pid_t m_pid = -1;
    std::string m_path;
    std::filesystem::path m_dir;
};

// Argument: bytes in the burst (a 2 x 20 refresh, a 4 x 32 one, more than the terminal holds).
void PtyBurstAtNineSixHundred(benchmark::State& state) {
    SimulatorProcess simulator("line");
    auto device = SystemPlatform().CreateSerialDevice();
    if (!simulator.Running() || !device->Open(3, 9600)) {
        state.SkipWithError("no simulator on a terminal");
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // it sees the new speed
    const auto burst = static_cast<int>(state.range(0));
    double writeMs = 0;
    double takenMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < burst; ++i) {
            device->WriteByte(static_cast<uint8_t>('A' + i % 26));
        }
        writeMs = MsSince(start);
        for (uint8_t b : CMD_QUERY_VERSION) {
            device->WriteByte(b);
        }
        while (device->InputCount() == 0 && MsSince(start) < 60000) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        takenMs = MsSince(start);
        uint8_t drain[64];
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (device->Read(drain, sizeof drain) > 0) {
        }
        state.SetIterationTime(writeMs / 1000.0);
    }
    device->Close();
    const double wireMs = WireMs(burst);
    state.counters["wire_ms"] = wireMs;
    state.counters["write_ratio_to_wire"] = writeMs / wireMs;
    // The query's 3 bytes and the display's 2 ms answer delay are part of the second figure.
    state.counters["taken_ratio_to_wire"] = takenMs / (WireMs(burst + 3) + 2.0);
}

BENCHMARK(PtyBurstAtNineSixHundred)
    ->Arg(41)
    ->Arg(129)
    ->Arg(4096)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// How much the terminal holds before a writer waits: a display-sim reading at 300 baud takes
// next to nothing while a writer fills it without blocking.
void PtyHoldsBytes(benchmark::State& state) {
    SimulatorProcess simulator("300");
    const int fd = open(simulator.Path().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (!simulator.Running() || fd < 0) {
        state.SkipWithError("no simulator on a terminal");
        return;
    }
    double held = 0;
    for (auto _ : state) {
        const uint8_t block[256] = {'A'};
        for (ssize_t n; (n = write(fd, block, sizeof block)) > 0;) {
            held += static_cast<double>(n);
        }
    }
    close(fd);
    state.counters["bytes"] = held;
    state.counters["wire_ms_at_9600"] = WireMs(held);
}

BENCHMARK(PtyHoldsBytes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace miraxld::testing
