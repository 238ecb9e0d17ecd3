// One communications device opened in overlapped mode with the fixed link settings of the pole
// displays: reads that return at once, single-byte writes waited for up to a second.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

static_assert(sizeof(DCB) == 28, "the device control block length the drivers expect");

constexpr DWORD kWriteWaitMs = 1000;
constexpr DWORD kReadWaitMs = 2000;
constexpr DWORD kWriteTimeoutMs = 5000;
constexpr DWORD kQueueBytes = 1600;

class CommDevice : public ISerialDevice {
  public:
    ~CommDevice() override { Close(); }

    bool Open(int portNumber, uint32_t baudRate) override {
        if (m_device) {
            return true;  // already open: settings stay as they are
        }
        const std::wstring name = L"\\\\.\\COM" + std::to_wstring(portNumber);
        UniqueHandle device(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                                        nullptr));
        if (!device) {
            return false;
        }
        m_readOverlapped = OVERLAPPED{};
        m_writeOverlapped = OVERLAPPED{};

        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
        SetCommTimeouts(device.Get(), &timeouts);  // a failure here is not fatal to the link

        UniqueHandle readEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        UniqueHandle writeEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));

        // Only baud rate and byte size change; parity, stop bits, flow control and the rest stay
        // as the driver has them. A state that cannot be read is not written back as zeros.
        DCB dcb{};
        dcb.DCBlength = sizeof(DCB);
        bool configured = GetCommState(device.Get(), &dcb) != FALSE;
        if (configured) {
            dcb.BaudRate = baudRate;
            dcb.ByteSize = 8;
            configured = SetCommState(device.Get(), &dcb) != FALSE;
        }
        if (!configured || !SetupComm(device.Get(), kQueueBytes, kQueueBytes) || !readEvent ||
            !writeEvent) {
            return false;  // the owners close whatever was opened
        }
        m_readOverlapped.hEvent = readEvent.Get();
        m_writeOverlapped.hEvent = writeEvent.Get();
        m_readEvent = std::move(readEvent);
        m_writeEvent = std::move(writeEvent);
        m_device = std::move(device);
        return true;
    }

    void Close() override {
        // No request is left pending here: WriteByte and Read finish or cancel their own.
        m_readEvent.Reset();
        m_writeEvent.Reset();
        m_device.Reset();
        m_readOverlapped = OVERLAPPED{};
        m_writeOverlapped = OVERLAPPED{};
    }

    bool WriteByte(uint8_t byte) override {
        if (!m_device) {
            return false;
        }
        // The byte lives in the object, not on the stack, because the driver may read it after
        // WriteFile has returned.
        m_writeByte = byte;
        DWORD written = 0;
        if (WriteFile(m_device.Get(), &m_writeByte, 1, &written, &m_writeOverlapped)) {
            return true;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        if (WaitForSingleObject(m_writeEvent.Get(), kWriteWaitMs) != WAIT_OBJECT_0) {
            // Still pending after the wait: cancel it and wait for the cancellation, so the
            // OVERLAPPED and the byte are free before the next request uses them. The byte may
            // still have gone out; it is counted if the driver says so.
            CancelIoEx(m_device.Get(), &m_writeOverlapped);
            if (GetOverlappedResult(m_device.Get(), &m_writeOverlapped, &written, TRUE)) {
                m_writeOverlapped.Offset += written;
            }
            return false;
        }
        if (!GetOverlappedResult(m_device.Get(), &m_writeOverlapped, &written, FALSE)) {
            return false;
        }
        m_writeOverlapped.Offset += written;  // a running count; the driver ignores offsets
        return true;
    }

    int Read(uint8_t* buffer, int max) override {
        if (!m_device || buffer == nullptr || max <= 0) {
            return 0;
        }
        const int queued = InputCount();
        if (queued == 0) {
            return 0;
        }
        const DWORD wanted = static_cast<DWORD>(std::min(max, queued));
        DWORD read = 0;
        if (ReadFile(m_device.Get(), buffer, wanted, &read, &m_readOverlapped)) {
            return static_cast<int>(read);
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            return 0;
        }
        // A pending read is waited for, then its real count fetched. One still pending after
        // the wait is cancelled and waited for, since it would otherwise write into the
        // caller's buffer later; whatever it had read by then is returned.
        if (WaitForSingleObject(m_readEvent.Get(), kReadWaitMs) != WAIT_OBJECT_0) {
            CancelIoEx(m_device.Get(), &m_readOverlapped);
            if (!GetOverlappedResult(m_device.Get(), &m_readOverlapped, &read, TRUE)) {
                return 0;
            }
            return static_cast<int>(read);
        }
        if (!GetOverlappedResult(m_device.Get(), &m_readOverlapped, &read, FALSE)) {
            return 0;
        }
        return static_cast<int>(read);
    }

    int InputCount() override {
        if (!m_device) {
            return 0;
        }
        DWORD errors = 0;  // line errors are cleared and deliberately ignored
        COMSTAT status{};
        if (!ClearCommError(m_device.Get(), &errors, &status)) {
            return 0;
        }
        return static_cast<int>(std::min<DWORD>(status.cbInQue, INT_MAX));
    }

    bool ModemStatus(uint32_t* bits) override {
        DWORD status = 0;
        if (!m_device || !GetCommModemStatus(m_device.Get(), &status)) {
            return false;
        }
        if (bits != nullptr) {
            *bits = status;
        }
        return true;
    }

  private:
    UniqueHandle m_device;
    UniqueHandle m_readEvent;
    UniqueHandle m_writeEvent;
    OVERLAPPED m_readOverlapped{};
    OVERLAPPED m_writeOverlapped{};
    uint8_t m_writeByte = 0;
};

}  // namespace

std::unique_ptr<ISerialDevice> CreateSerialDevice() {
    return std::make_unique<CommDevice>();
}

}  // namespace miraxld::win32
