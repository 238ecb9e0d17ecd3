// Polls `done` for up to `ms` of real time: a broken timer or a hung call fails, never hangs.
#pragma once

#include <windows.h>
#include <chrono>

inline bool Eventually(const auto& done, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        Sleep(5);
    }
    return done();
}
