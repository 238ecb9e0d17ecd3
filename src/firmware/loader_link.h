// The serial link as the firmware loaders use it: reopening at a given rate, polling for one
// reply byte and draining, every wait through the platform clock.
#pragma once

#include <cstdint>
#include <optional>

#include "display/commands.h"
#include "platform/platform.h"
#include "transport/serial_port.h"

namespace miraxld {

inline constexpr uint8_t kLoaderAck = 0xAA;
inline constexpr uint8_t kLoaderAnnounce = 0xBB;
inline constexpr uint32_t kLoaderBaud = 115200;
inline constexpr uint32_t kDisplayBaud = 9600;

struct PolledByte {
    uint8_t value = 0;
    int poll = 0;  // 0-based number of the poll that found it
};

class LoaderLink {
  public:
    LoaderLink(SerialPort& port, IClock& clock, int32_t portNumber)
        : m_port(port), m_clock(clock), m_portNumber(portNumber) {}

    void Sleep(int ms) { m_clock.SleepMs(ms); }
    bool IsOpen() const { return m_port.IsOpen(); }
    bool Open(uint32_t baudRate) { return m_port.Open(m_portNumber, baudRate) == 1; }
    // Opens, and after a failure waits 50 ms and tries once more.
    bool OpenWithRetry(uint32_t baudRate);
    void Close() { m_port.Close(); }
    // Closes the link when it is open and then waits `sleepMs`; a closed link is left alone.
    void CloseIfOpen(int sleepMs);
    void Send(CommandBytes bytes);

    // One byte if one is waiting, without waiting.
    std::optional<uint8_t> TakeByte();
    // Up to `polls` times: takes a waiting byte (which ends the wait) or sleeps `sleepMs`.
    std::optional<PolledByte> Poll(int polls, int sleepMs);
    // Reads single bytes until none is waiting (or a bounded number were read), sleeping
    // `sleepMs` after each one read.
    void Drain(int sleepMs = 0);

  private:
    SerialPort& m_port;
    IClock& m_clock;
    int32_t m_portNumber;
};

}  // namespace miraxld
