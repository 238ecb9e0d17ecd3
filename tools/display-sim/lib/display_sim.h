// The display simulator: a pole display in software.
//
// It consumes the bytes a service object sends, interprets the display command set, keeps its
// own picture of what a person would see and renders it as text, answers the claim-time queries
// (firmware version, code-page list with its acknowledgement protocol, readiness, screen modes,
// parameters, the KT910 table query) and emulates both firmware loaders. Every byte received is
// logged in hex with the decoded command.
//
// Usage in-process (native tests):
//     auto sim = std::make_shared<displaysim::DisplaySimulator>(config);
//     platform.serialFactory = [&] { return displaysim::MakeDevice(sim, platform.clock); };
// Replies become readable `latencyMs` after the request on that clock; with the controls'
// `paced` set before the port opens, writes and replies also take the line's time. The program
// `display-sim` serves the same simulator on a pseudo-terminal.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graphic_area.h"
#include "platform/platform.h"
#include "wire_schedule.h"

namespace displaysim {

struct ScreenMode {
    int id = 0;
    int rows = 0;
    int columns = 0;
};

struct SimConfig {
    std::string model = "KT110";  // KT110, KT710, RMX110, KT910, RMX910, KT310, GQ310, ZN610
    int firmware = 13000;         // the version the display reports
    // The code-page list as the display reports it: (table number, code page text). A text
    // "K" stands for the Japanese single-byte table.
    std::vector<std::pair<int, std::string>> codePages = {{0, "437"}, {2, "850"}, {16, "1252"}};
    std::vector<ScreenMode> screenModes = {{1, 3, 32}, {2, 4, 32}, {3, 2, 20}};
    int activeScreenMode = 3;      // reported by the parameter query
    char parameterCodePage = '0';  // sixteenth byte of the parameter reply
    int activeTable = 0;           // fifth byte of the KT910 table reply
    int doubleByteFont = 0;        // thirteenth byte of the KT910 table reply
    int latencyMs = 2;             // delay of every reply
    bool silent = false;           // never answers
    bool garbage = false;          // answers every query with bytes of no known format
    std::set<std::string>
        silentQueries;  // "version", "codepages", "ready", "modes", "params", "table"
    // Loader failure injection: "unlock", "sync", "erase", "write", "finish", "enter",
    // "announce", "unlock-ex", "ack" make that step go unanswered; "unlock-late" answers the
    // unlock after 300 ms.
    std::set<std::string> loaderFailures;
    bool startInLoader = false;  // the display is already in its loader
    // Replaces every answer (fuzzing): called with the query's kind (as in silentQueries;
    // "codepages" again for each acknowledged list entry) and the bytes the display would
    // send; returns the bytes to send instead, each with its delay in ms after the request.
    std::function<std::vector<std::pair<int, uint8_t>>(const std::string& kind,
                                                       const std::vector<uint8_t>& usual)>
        answer;
};

// One character cell as the display shows it. A cell is under the picture when a bitmap was
// drawn after the cell was last written: the bitmap's dots show there instead of the character.
struct FaceCell {
    char32_t ch = U' ';
    bool reverse = false;
    bool underPicture = false;
};

// What the display's face shows at one moment, for pictures of it.
struct Face {
    int rows = 0;
    int columns = 0;
    std::vector<FaceCell> cells;  // row by row
    GraphicArea graphic;          // empty on text-only models
    bool dark = false;            // the dark half of a blink period
};

class DisplaySimulator {
  public:
    explicit DisplaySimulator(SimConfig config);
    ~DisplaySimulator();
    DisplaySimulator(const DisplaySimulator&) = delete;
    DisplaySimulator& operator=(const DisplaySimulator&) = delete;

    // Bytes from the host at time `nowMs`.
    void Receive(const uint8_t* data, size_t count, int64_t nowMs);
    // The port was (re)opened at `baudRate`.
    void Opened(uint32_t baudRate, int64_t nowMs);
    // Reply bytes readable at `nowMs`.
    size_t Available(int64_t nowMs) const;
    size_t Read(uint8_t* buffer, size_t max, int64_t nowMs);
    // Time of the next reply not yet readable, or -1.
    int64_t NextReplyTime() const;
    // The display restarts, as a USB-powered one does when its cable is plugged in again: the
    // picture is blank, half-received commands and unsent replies are gone. The selected
    // screen mode stays: the display keeps it.
    void PowerCycle();

    // What a person would see: one string per row (UTF-8).
    std::vector<std::string> ScreenLines() const;
    // The rows framed, with reversed cells in [brackets] when `attributes` is true.
    std::string Render(bool attributes = false) const;
    int Rows() const;
    int Columns() const;
    // The face at `nowMs` (the blink phase is taken from the time since CMD_BLINK).
    Face FaceAt(int64_t nowMs) const;

    std::vector<std::string> Log() const;   // one decoded line per command or text run
    std::vector<uint8_t> Received() const;  // every byte ever received
    void ClearReceived();
    uint32_t BaudRate() const;
    bool InLoader() const;
    // Firmware image received by the loaders: family 2 by address (0xFF where nothing was
    // written, 0x80000 bytes), family 1 as streamed.
    std::vector<uint8_t> LoadedImage() const;
    int LoaderBlocks() const;
    std::vector<uint32_t> LoaderAddresses() const;
    std::string ScrollingText(int line) const;  // display-side scrolling text of a line, or ""
    int Brightness() const;
    int SelectedTable() const;
    int SelectedCharset() const;
    bool BlinkOn() const;
    SimConfig& Config() { return m_config; }

  private:
    using Cell = FaceCell;
    enum class Mode { kText, kUnicode, kUpload, kUnicodeUpload, kLoaderStream };

    size_t TryCommand(const uint8_t* p, size_t n, int64_t now);  // bytes consumed, 0 = incomplete
    void PutChar(char32_t c);
    void Reply(const std::vector<uint8_t>& bytes, int64_t now, int delayMs = 0);
    void Query(const std::string& kind, const std::vector<uint8_t>& bytes, int64_t now);
    void Answer(const std::string& kind, const std::vector<uint8_t>& usual, int64_t now);
    void SendCodePageEntry(int64_t now);
    void LogLine(const uint8_t* p, size_t n, const std::string& what);
    void ClearScreen();
    void Resize(int rows, int columns);
    bool Fails(const std::string& step) const { return m_config.loaderFailures.count(step) != 0; }
    int Family() const;
    // The bitmap commands (sim_bitmaps.cpp): bytes consumed, 0 = incomplete.
    size_t TakeRaster(const uint8_t* p, size_t n);
    size_t TakeGraphic(const uint8_t* p, size_t n);
    void ShowPicture();

    mutable std::mutex m_mutex;
    SimConfig m_config;
    int m_rows = 2;
    int m_columns = 20;
    std::vector<Cell> m_cells;
    int m_cursor = 0;
    bool m_reverse = false;
    bool m_blink = false;
    int m_blinkPeriodMs = 0;
    int64_t m_blinkSince = 0;
    GraphicArea m_graphic;
    int m_brightness = 4;
    int m_table = 0;
    int m_charset = 0;
    Mode m_mode = Mode::kText;
    int m_uploadLine = 0;
    std::string m_upload;
    std::map<int, std::string> m_scrolling;
    std::vector<uint8_t> m_pending;
    std::vector<uint8_t> m_received;
    std::vector<std::string> m_log;
    std::vector<std::pair<int64_t, uint8_t>> m_replies;
    size_t m_nextEntry = 0;  // code-page list: the next entry to send after an acknowledgement
    bool m_listActive = false;
    uint32_t m_baud = 9600;
    bool m_loader = false;
    bool m_awaitBb = false;
    std::vector<uint8_t> m_image;
    std::vector<uint8_t> m_stream;
    std::vector<uint32_t> m_addresses;
    int m_blocks = 0;
};

// One character as UTF-8, as ScreenLines gives it.
std::string Utf8(char32_t c);

// A serial device bound to a simulator, for plugging into a service object in-process.
class SimulatedSerialDevice : public miraxld::ISerialDevice {
  public:
    SimulatedSerialDevice(std::shared_ptr<DisplaySimulator> sim, miraxld::IClock& clock);
    bool Open(int portNumber, uint32_t baudRate) override;
    void Close() override;
    bool WriteByte(uint8_t byte) override;
    int Read(uint8_t* buffer, int max) override;
    int InputCount() override;
    bool ModemStatus(uint32_t* bits) override;

    // Test controls, shared by every device made for the same simulator through MakeDevice.
    struct Controls {
        std::mutex mutex;
        bool portMissing = false;  // Open fails
        // Cable pulls so far: a device opened before the latest pull stays dead (writes go
        // nowhere, nothing to read, no modem status) until it is closed and opened again.
        int unplugs = 0;
        bool modemAvailable = true;  // false: like a pty
        uint32_t modemBits = miraxld::kModemDsrOn | miraxld::kModemCtsOn;
        int opens = 0;
        uint32_t lastBaud = 0;
        // Devices opened from now on run at the line's speed (see Paced below).
        bool paced = false;
    };
    static Controls& ControlsOf(const DisplaySimulator* sim);
    // Pulls the display's cable: its port vanishes and every open device of it dies.
    static void Unplug(const DisplaySimulator& sim);
    // Plugs it back in: the display restarts (PowerCycle) and its port can be opened again.
    static void Replug(DisplaySimulator& sim);

  private:
    bool Alive();
    // Paced: a write returns once its byte has left the line at the rate the port was opened
    // with, and reply bytes become readable one byte time apart, as they arrive. Time is the
    // device's clock, so a virtual clock is advanced by the device's own sleeps.
    void WaitUntil(int64_t us);
    int Arrived(int64_t nowMs);  // reply bytes whose stop bit is in

    std::shared_ptr<DisplaySimulator> m_sim;
    miraxld::IClock& m_clock;
    Controls& m_controls;
    bool m_open = false;
    int m_unplugs = 0;  // Controls::unplugs when this device was opened
    bool m_paced = false;
    WireSchedule m_sending{9600};
    int64_t m_returnedUs = 0;   // when the latest paced write returned
    std::mutex m_receiveMutex;  // the monitor thread may poll while the claim reads
    WireSchedule m_receiving{9600};
    std::deque<int64_t> m_arrivals;  // of the replies the display has sent and nobody read yet
    int64_t m_lookedMs = 0;          // when the replies were last looked at
};

std::unique_ptr<miraxld::ISerialDevice> MakeDevice(std::shared_ptr<DisplaySimulator> sim,
                                                   miraxld::IClock& clock);

}  // namespace displaysim
