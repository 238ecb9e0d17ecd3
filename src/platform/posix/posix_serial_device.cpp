// A serial device over termios: raw 8N1 at the requested rate, reads that never block.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/posix/posix_services.h"

namespace miraxld::posix {

namespace {

constexpr int kWriteWaitMs = 1000;

struct BaudSetting {
    uint32_t rate;
    speed_t speed;
};

// The rates termios can name; any other rate fails Open rather than silently running at
// a different speed.
constexpr BaudSetting kBaudRates[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedFor(uint32_t rate, speed_t* speed) {
    for (const BaudSetting& setting : kBaudRates) {
        if (setting.rate == rate) {
            *speed = setting.speed;
            return true;
        }
    }
    return false;
}

// A file descriptor closed on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

  private:
    int m_fd = -1;
};

class TermiosDevice : public ISerialDevice {
  public:
    bool Open(int portNumber, uint32_t baudRate) override {
        if (m_fd.Valid()) {
            return true;  // already open: settings stay as they are
        }
        speed_t speed = 0;
        const std::string path = SerialDevicePath(portNumber);
        if (path.empty() || !SpeedFor(baudRate, &speed)) {
            return false;
        }
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.Valid()) {
            return false;
        }
        // No sharing, as with the Windows device: a second open of the same port fails.
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            return false;
        }
        termios settings{};
        if (::tcgetattr(fd.Get(), &settings) != 0) {
            return false;  // not a terminal
        }
        ::cfmakeraw(&settings);
        settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | CLOCAL | CREAD;
        settings.c_iflag &= ~(IXON | IXOFF | IXANY);
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
            ::tcsetattr(fd.Get(), TCSANOW, &settings) != 0) {
            return false;
        }
        m_fd = std::move(fd);
        return true;
    }

    void Close() override { m_fd.Reset(); }

    bool WriteByte(uint8_t byte) override {
        if (!m_fd.Valid()) {
            return false;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            const ssize_t written = ::write(m_fd.Get(), &byte, 1);
            if (written == 1) {
                return true;
            }
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                return false;
            }
            // Output queue full: wait for room as long as a Windows write request would.
            pollfd ready{m_fd.Get(), POLLOUT, 0};
            if (::poll(&ready, 1, kWriteWaitMs) <= 0) {
                return false;
            }
        }
        return false;
    }

    int Read(uint8_t* buffer, int max) override {
        if (!m_fd.Valid() || buffer == nullptr || max <= 0) {
            return 0;
        }
        const int queued = InputCount();
        if (queued == 0) {
            return 0;
        }
        const ssize_t read = ::read(m_fd.Get(), buffer, static_cast<size_t>(std::min(max, queued)));
        return read > 0 ? static_cast<int>(read) : 0;
    }

    int InputCount() override {
        int queued = 0;
        if (!m_fd.Valid() || ::ioctl(m_fd.Get(), FIONREAD, &queued) != 0 || queued < 0) {
            return 0;
        }
        return queued;
    }

    bool ModemStatus(uint32_t* bits) override {
        int lines = 0;
        if (!m_fd.Valid() || ::ioctl(m_fd.Get(), TIOCMGET, &lines) != 0) {
            return false;  // a pty has no modem lines
        }
        if (bits != nullptr) {
            *bits =
                ((lines & TIOCM_CTS) ? kModemCtsOn : 0) | ((lines & TIOCM_DSR) ? kModemDsrOn : 0);
        }
        return true;
    }

  private:
    UniqueFd m_fd;
};

}  // namespace

std::string SerialDevicePath(int portNumber) {
    if (portNumber < 1) {
        return {};
    }
    const char* directory = std::getenv("MIRAXLD_COM_DIR");
    if (directory != nullptr && *directory != '\0') {
        return std::string(directory) + "/com" + std::to_string(portNumber);
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::unique_ptr<ISerialDevice> CreateSerialDevice() {
    return std::make_unique<TermiosDevice>();
}

}  // namespace miraxld::posix
