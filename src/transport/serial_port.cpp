#include "transport/serial_port.h"

namespace miraxld {

SerialPort::SerialPort(std::unique_ptr<ISerialDevice> device, IClock& clock)
    : m_device(std::move(device)), m_clock(clock) {}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::IsOpen() const {
    return m_open.load() != 0;
}

int SerialPort::Open(int portNumber, uint32_t baudRate) {
    std::lock_guard device(m_deviceLock);
    if (m_open.load() != 0) {
        return 1;  // already open: port and baud rate stay as they are
    }
    if (!m_device || !m_device->Open(portNumber, baudRate)) {
        return 0;
    }
    m_open.store(1);
    return 1;
}

int SerialPort::Close() {
    std::lock_guard device(m_deviceLock);
    if (m_open.exchange(0) != 0) {
        m_device->Close();
    }
    return 1;
}

int SerialPort::WriteByte(uint8_t byte) {
    m_device->WriteByte(byte);
    return 1;  // write failures are never reported: the monitor thread notices a dead display
}

int SerialPort::Write(const uint8_t* bytes, int count) {
    if (!IsOpen()) {
        return 0;
    }
    std::lock_guard write(m_writeLock);
    std::lock_guard device(m_deviceLock);
    if (m_open.load() == 0) {
        return 0;  // closed by another thread while this one waited for the lock
    }
    for (int i = 0; i < count; ++i) {
        WriteByte(bytes[i]);
    }
    return count > 0 ? count : 0;
}

int SerialPort::Read(uint8_t* buffer, int max) {
    std::lock_guard device(m_deviceLock);
    if (m_open.load() == 0 || max <= 0) {
        return 0;
    }
    return m_device->Read(buffer, max);
}

int SerialPort::InputCount() {
    std::lock_guard device(m_deviceLock);
    if (m_open.load() == 0) {
        return 0;
    }
    return m_device->InputCount();
}

int SerialPort::WaitForInput(int polls) {
    if (!IsOpen()) {
        return 0;
    }
    int count = InputCount();
    if (polls == 0) {
        return count;
    }
    for (int i = 0; count == 0 && i <= polls; ++i) {
        m_clock.SleepMs(1);
        if (i < polls) {
            count = InputCount();
        }
    }
    return count;
}

int SerialPort::IsLineActive() {
    if (!IsOpen()) {
        return 0;
    }
    const int64_t start = m_clock.NowMs();
    uint32_t bits = 0;
    for (int pass = 0; pass < 4 && m_clock.NowMs() - start < 300; ++pass) {
        {
            std::lock_guard device(m_deviceLock);
            if (m_open.load() == 0 || !m_device->ModemStatus(&bits)) {
                bits = 0;
            }
        }
        m_clock.SleepMs(10);
        {
            std::lock_guard device(m_deviceLock);
            if (m_open.load() == 0 || !m_device->ModemStatus(&bits)) {
                bits = 0;
            }
        }
        m_clock.SleepMs(10);
    }
    if (bits & kModemDsrOn) {
        return 1;
    }
    return (bits & kModemCtsOn) ? 1 : 0;
}

}  // namespace miraxld
