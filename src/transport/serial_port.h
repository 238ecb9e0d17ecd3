// The serial link to the pole display: the only path for bytes in either direction.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/platform.h"

namespace miraxld {

class SerialPort {
  public:
    SerialPort(std::unique_ptr<ISerialDevice> device, IClock& clock);
    ~SerialPort();  // closes the port
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // 1 when the port is open (also when it already was), 0 on failure.
    int Open(int portNumber, uint32_t baudRate);
    int Close();  // always 1
    // Sends `count` bytes as one uninterrupted run under the write lock; returns `count`
    // (0 when count <= 0 or the link is closed). Write failures are not reported.
    int Write(const uint8_t* bytes, int count);
    int Read(uint8_t* buffer, int max);
    int InputCount();
    int WaitForInput(int polls);
    int IsLineActive();
    bool IsOpen() const;

  private:
    int WriteByte(uint8_t byte);

    std::unique_ptr<ISerialDevice> m_device;
    IClock& m_clock;
    std::atomic<int32_t> m_open{0};
    std::mutex m_writeLock;
    // Guards the device against Open/Close racing a Write on another thread.
    std::mutex m_deviceLock;
};

}  // namespace miraxld
