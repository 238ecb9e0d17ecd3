#include "firmware/loader_link.h"

namespace miraxld {

namespace {
constexpr int kReopenPauseMs = 50;
// A display that never stops sending must not hold the loader forever: a few driver queues'
// worth is far more than any display answers in one go.
constexpr int kDrainLimit = 8 * 1600;
}  // namespace

bool LoaderLink::OpenWithRetry(uint32_t baudRate) {
    if (Open(baudRate)) {
        return true;
    }
    Sleep(kReopenPauseMs);
    return Open(baudRate);
}

void LoaderLink::CloseIfOpen(int sleepMs) {
    if (IsOpen()) {
        Close();
        Sleep(sleepMs);
    }
}

void LoaderLink::Send(CommandBytes bytes) {
    miraxld::Send(m_port, bytes);
}

std::optional<uint8_t> LoaderLink::TakeByte() {
    uint8_t byte = 0;
    if (m_port.InputCount() > 0 && m_port.Read(&byte, 1) == 1) {
        return byte;
    }
    return std::nullopt;
}

std::optional<PolledByte> LoaderLink::Poll(int polls, int sleepMs) {
    for (int poll = 0; poll < polls; ++poll) {
        if (const std::optional<uint8_t> byte = TakeByte()) {
            return PolledByte{*byte, poll};
        }
        Sleep(sleepMs);
    }
    return std::nullopt;
}

void LoaderLink::Drain(int sleepMs) {
    for (int n = 0; n < kDrainLimit && TakeByte(); ++n) {
        if (sleepMs > 0) {
            Sleep(sleepMs);
        }
    }
}

}  // namespace miraxld
