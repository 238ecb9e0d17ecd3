// CPU cost of one DisplayText call: conversion, placement, screen copy and the full resend
// through SerialPort::Write to an in-process device that discards the bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_rig.h"

namespace miraxld::testing {
namespace {

void DisplayTwentyCharacters(benchmark::State& state) {
    BenchPlatform platform;
    CPOSLDisplay so(platform);
    SetUpEnabledDisplay(so, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));

    const std::u16string text = u"Total      12.50 EUR";  // 20 characters
    int32_t rc = 0;
    for (auto _ : state) {
        so.DisplayText(text, 0, &rc);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["bytes/call"] = benchmark::Counter(static_cast<double>(platform.bytes.load()) /
                                                      static_cast<double>(state.iterations()));
}

BENCHMARK(DisplayTwentyCharacters)->Args({2, 20})->Args({4, 32})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace miraxld::testing
