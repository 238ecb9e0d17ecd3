// The thin layer between the portable service-object core and the operating system.
//
// Everything the core needs from the system goes through these interfaces: the serial device,
// the registry, the clock and sleeps, periodic timers, threads, code-page conversion, modal
// message boxes, debug output and file reading. There is one implementation per platform
// (platform/win32, platform/posix) and deterministic doubles for the unit tests
// (tests/doubles). No header in this folder includes a system header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace miraxld {

// Milliseconds and sleeps. Every wait in the core goes through this, so that tests can run the
// long fixed waits of a claim on a virtual clock.
class IClock {
  public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary origin (the C run-time clock() on Windows).
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};

// One raw communications device: the operations of the Win32 comm API that the serial link is
// built from. `SerialPort` (transport/) adds the open flag, the write lock and the polling loops.
class ISerialDevice {
  public:
    virtual ~ISerialDevice() = default;
    // Opens port `portNumber` (1 = COM1) with the fixed link settings: 8 data bits at `baudRate`,
    // reads that return at once, 5000 ms write time-out, 1600-byte driver queues. False on any
    // failure, leaving nothing open.
    virtual bool Open(int portNumber, uint32_t baudRate) = 0;
    virtual void Close() = 0;
    // One single-byte write request, waited for up to 1000 ms. The result is informational only.
    virtual bool WriteByte(uint8_t byte) = 0;
    // Reads at most `max` bytes of what has already arrived; never blocks. Returns the count read.
    virtual int Read(uint8_t* buffer, int max) = 0;
    // Bytes waiting in the input queue (clears pending line errors as a side effect).
    virtual int InputCount() = 0;
    // Samples the modem status lines. False when the device cannot report them (a pty, say).
    virtual bool ModemStatus(uint32_t* bits) = 0;
};

inline constexpr uint32_t kModemCtsOn = 0x10;  // MS_CTS_ON
inline constexpr uint32_t kModemDsrOn = 0x20;  // MS_DSR_ON

struct RegistryValue {
    std::u16string name;
    std::u16string data;  // text up to the first NUL; non-text data is read as if it were text
};

// Read access to HKEY_LOCAL_MACHINE. Paths are relative to it, with backslashes
// ("SOFTWARE\\OLEforRetail\\..."). Every call returns the platform's status code: 0 on
// success, ERROR_FILE_NOT_FOUND (2) for a missing key or value.
class IRegistry {
  public:
    virtual ~IRegistry() = default;
    // The value `valueName` of key `keyPath`; an empty name reads the key's default value.
    virtual long QueryString(std::u16string_view keyPath, std::u16string_view valueName,
                             std::u16string* data) = 0;
    // Names of the direct subkeys, in enumeration order.
    virtual long EnumSubKeys(std::u16string_view keyPath, std::vector<std::u16string>* names) = 0;
    // Every value of the key, in enumeration order.
    virtual long EnumValues(std::u16string_view keyPath, std::vector<RegistryValue>* values) = 0;
};

inline constexpr long kRegistryNotFound = 2;

// Periodic timers in the manner of the default timer queue: the callback runs on a pool thread,
// first after `dueMs`, then every `periodMs`. Delete does not wait for a running callback.
using TimerHandle = uint64_t;  // 0 = no timer
class ITimerService {
  public:
    virtual ~ITimerService() = default;
    virtual TimerHandle Create(int dueMs, int periodMs, std::function<void()> callback) = 0;
    virtual void Delete(TimerHandle timer) = 0;
};

// Detached threads, like the C run-time _beginthread.
class IThreadStarter {
  public:
    virtual ~IThreadStarter() = default;
    virtual bool Start(std::function<void()> body) = 0;
};

// Code pages: the system's ANSI and OEM code page numbers and UTF-16 to multibyte conversion.
class ICodePages {
  public:
    virtual ~ICodePages() = default;
    virtual int AnsiCodePage() = 0;  // GetACP
    virtual int OemCodePage() = 0;   // GetOEMCP
    // Converts `text` with `codePage` as WideCharToMultiByte does with the default flags and the
    // code page's own default character for what cannot be represented. Returns the bytes
    // without a terminating zero; empty when the code page is unknown.
    virtual std::string ToMultiByte(int codePage, std::u16string_view text) = 0;
};

// Modal message boxes with an OK button and no owner window.
class IUserMessages {
  public:
    virtual ~IUserMessages() = default;
    virtual void Show(std::u16string_view text, std::u16string_view caption) = 0;
};

// The debug-output channel (OutputDebugStringW): one line per call.
class IDebugOutput {
  public:
    virtual ~IDebugOutput() = default;
    virtual void Write(std::u16string_view line) = 0;
};

// Whole-file reading.
class IFileSystem {
  public:
    virtual ~IFileSystem() = default;
    virtual bool Exists(std::u16string_view path) = 0;
    // The whole content, or nothing when the file cannot be opened or read.
    virtual std::optional<std::vector<uint8_t>> ReadAll(std::u16string_view path) = 0;
};

// Everything together. A service object keeps a reference for its whole life.
class IPlatform {
  public:
    virtual ~IPlatform() = default;
    virtual IClock& Clock() = 0;
    virtual IRegistry& Registry() = 0;
    virtual ITimerService& Timers() = 0;
    virtual IThreadStarter& Threads() = 0;
    virtual ICodePages& CodePages() = 0;
    virtual IUserMessages& UserMessages() = 0;
    virtual IDebugOutput& DebugOutput() = 0;
    virtual IFileSystem& Files() = 0;
    // A new, closed serial device; each service object owns one.
    virtual std::unique_ptr<ISerialDevice> CreateSerialDevice() = 0;
};

// The platform of the running process: the Win32 one in the DLL, the POSIX one natively.
IPlatform& SystemPlatform();

}  // namespace miraxld
