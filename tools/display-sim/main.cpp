// display-sim: serves the display simulator on a pseudo-terminal.
//
//   display-sim [--model KT110] [--firmware 13000] [--codepages "0:437,2:850,16:1252"]
//               [--silent] [--late MS] [--garbage] [--log FILE] [--screen FILE] [--png FILE]
//               [--baud N|line]
//
// The first line on stdout is the path of the terminal's far end: link a Wine COM port to it
// (ln -s <path> $WINEPREFIX/dosdevices/com3). The byte log goes to --log, the rendered screen
// is rewritten to --screen after every change, and SIGTERM/SIGINT print the screen on stdout
// and end the program (SIGUSR1 prints it and goes on). With --png, each of those signals also
// writes a picture of the display's face, graphic area included, to FILE.
//
// --baud N takes bytes from the terminal no faster than a line of N baud carries them (ten bits
// a byte); --baud line does so at the speed the host last set on the terminal (SetCommState
// does under Wine). Without it bytes are taken as fast as they come. The display then sees the
// wire's timing, but the host does not: a Linux terminal holds some 17 KB, so a host's write
// does not wait for the line until that much is waiting, and only then keeps its pace.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <string>

#include "display_sim.h"
#include "png_render.h"

namespace {

std::atomic<int> g_signal{0};
void OnSignal(int signal) {
    g_signal = signal;
}

constexpr uint32_t kLineSpeed = UINT32_MAX;  // --baud line

int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t NowMs() {
    return NowUs() / 1000;
}

uint32_t BaudOf(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return 9600;
    switch (cfgetospeed(&tio)) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 9600;
    }
}

displaysim::SimConfig ParseArguments(int argc, char** argv, std::string* log, std::string* screen,
                                     std::string* png, uint32_t* pace) {
    displaysim::SimConfig config;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "display-sim: " << arg << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--model") {
            config.model = value();
        } else if (arg == "--firmware") {
            config.firmware = std::atoi(value().c_str());
        } else if (arg == "--codepages") {
            config.codePages.clear();
            const std::string list = value();
            size_t start = 0;
            while (start < list.size()) {
                size_t end = list.find(',', start);
                if (end == std::string::npos)
                    end = list.size();
                const std::string item = list.substr(start, end - start);
                const size_t colon = item.find(':');
                if (colon != std::string::npos) {
                    config.codePages.emplace_back(std::atoi(item.substr(0, colon).c_str()),
                                                  item.substr(colon + 1));
                }
                start = end + 1;
            }
        } else if (arg == "--silent") {
            config.silent = true;
        } else if (arg == "--garbage") {
            config.garbage = true;
        } else if (arg == "--late") {
            config.latencyMs = std::atoi(value().c_str());
        } else if (arg == "--log") {
            *log = value();
        } else if (arg == "--screen") {
            *screen = value();
        } else if (arg == "--png") {
            *png = value();
        } else if (arg == "--baud") {
            const std::string rate = value();
            const long n = std::atol(rate.c_str());
            if (rate != "line" && (n <= 0 || std::to_string(n) != rate)) {
                std::cerr << "display-sim: --baud \"" << rate
                          << "\" is neither a positive number nor \"line\"\n";
                std::exit(2);
            }
            *pace = rate == "line" ? kLineSpeed : static_cast<uint32_t>(n);
        } else {
            std::cerr << "display-sim: unknown option " << arg << "\n";
            std::exit(2);
        }
    }
    return config;
}

}  // namespace

int main(int argc, char** argv) {
    std::string logPath;
    std::string screenPath;
    std::string pngPath;
    uint32_t pace = 0;  // 0: as fast as bytes come
    displaysim::DisplaySimulator sim(
        ParseArguments(argc, argv, &logPath, &screenPath, &pngPath, &pace));

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("display-sim: pseudo-terminal");
        return 1;
    }
    const std::string slavePath = ptsname(master);
    // Holding the far end open keeps the terminal alive between the host's opens and closes.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave >= 0 && tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(slave, TCSANOW, &tio);
    }
    std::cout << slavePath << std::endl;

    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGUSR1, OnSignal);

    std::ofstream log;
    if (!logPath.empty())
        log.open(logPath, std::ios::app);
    size_t logged = 0;
    uint32_t baud = BaudOf(master);
    sim.Opened(baud, NowMs());
    displaysim::WireSchedule wire(pace == kLineSpeed ? baud : pace);
    std::deque<int64_t> slotEnds;  // of the bytes waiting in the terminal, once seen
    int64_t lookedUs = 0;

    for (;;) {
        const int signal = g_signal.exchange(0);
        if (signal != 0) {
            std::cout << sim.Render() << std::flush;
            std::string error;
            if (!pngPath.empty() &&
                !displaysim::WritePng(displaysim::RenderFace(sim.FaceAt(NowMs())), pngPath,
                                      &error)) {
                std::cerr << "display-sim: " << error << "\n";
            }
            if (signal != SIGUSR1)
                break;
        }
        // Paced with bytes already seen, sleep until the first is due: waiting input would
        // end a poll for it at once.
        int timeoutMs = 5;
        if (!slotEnds.empty())
            timeoutMs = int(std::clamp<int64_t>((slotEnds.front() - NowUs() + 999) / 1000, 0, 5));
        pollfd fd{master, short(slotEnds.empty() ? POLLIN : 0), 0};
        const int ready = poll(&fd, 1, timeoutMs);
        const uint32_t nowBaud = BaudOf(master);
        if (nowBaud != baud) {
            baud = nowBaud;
            sim.Opened(baud, NowMs());
            if (pace == kLineSpeed)
                wire.Reset(baud);
        }
        size_t take = 0;
        if (pace != 0) {
            int waiting = 0;
            ioctl(master, FIONREAD, &waiting);
            const int64_t now = NowUs();
            // Bytes new since the last look came behind a line still busy then, or else now.
            const int64_t offered = wire.LastEndUs() > lookedUs ? wire.LastEndUs() : now;
            while (slotEnds.size() < size_t(std::max(waiting, 0)))
                slotEnds.push_back(wire.Take(offered));
            lookedUs = now;
            while (take < slotEnds.size() && slotEnds[take] <= now)
                ++take;
        } else if (ready > 0 && (fd.revents & POLLIN)) {
            take = 4096;
        }
        bool changed = false;
        if (take > 0) {
            uint8_t buffer[4096];
            const ssize_t n = read(master, buffer, std::min(take, sizeof buffer));
            if (n > 0) {
                sim.Receive(buffer, size_t(n), NowMs());
                slotEnds.erase(
                    slotEnds.begin(),
                    slotEnds.begin() + std::min<ptrdiff_t>(n, ptrdiff_t(slotEnds.size())));
                changed = true;
            }
        }
        uint8_t reply[256];
        for (size_t n; (n = sim.Read(reply, sizeof reply, NowMs())) > 0;) {
            if (write(master, reply, n) < 0)
                break;
        }
        if (changed) {
            const auto lines = sim.Log();
            for (; logged < lines.size(); ++logged)
                log << lines[logged] << "\n";
            log.flush();
            if (!screenPath.empty()) {
                std::ofstream(screenPath, std::ios::trunc) << sim.Render();
            }
        }
    }
    if (slave >= 0)
        close(slave);
    close(master);
    return 0;
}
