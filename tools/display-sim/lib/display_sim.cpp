#include "display_sim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace displaysim {

namespace {

constexpr uint8_t kAck = 0xAA;
constexpr char kAccessCode[] = "KESTRELVAN";
constexpr size_t kAccessCodeLength = 10;
constexpr size_t kFamily2ImageSize = 0x80000;
constexpr size_t kFamily1ImageSize = 58368;

std::string Hex(const uint8_t* p, size_t n) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", p[i]);
        out += buf;
    }
    return out;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

bool Starts(const uint8_t* p, size_t n, std::initializer_list<uint8_t> prefix) {
    return n >= prefix.size() && std::equal(prefix.begin(), prefix.end(), p);
}

}  // namespace

std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
    return out;
}

DisplaySimulator::DisplaySimulator(SimConfig config)
    : m_config(std::move(config)), m_graphic(GraphicArea::ForModel(m_config.model)) {
    int rows = 2;
    int columns = 20;
    if (m_config.model == "ZN610") {
        rows = 3;
        columns = 32;
    } else if (m_config.model == "KT310" || m_config.model == "GQ310") {
        for (const ScreenMode& mode : m_config.screenModes) {
            if (mode.id == m_config.activeScreenMode) {
                rows = mode.rows;
                columns = mode.columns;
            }
        }
    }
    Resize(rows, columns);
    m_loader = m_config.startInLoader;
}

int DisplaySimulator::Family() const {
    const std::string& m = m_config.model;
    if (m == "KT910") {
        return 1;
    }
    if (m == "RMX910" || m == "KT310" || m == "GQ310" || m == "ZN610") {
        return 2;
    }
    return 0;
}

void DisplaySimulator::Resize(int rows, int columns) {
    m_rows = std::clamp(rows, 1, 16);
    m_columns = std::clamp(columns, 1, 128);
    ClearScreen();
}

void DisplaySimulator::ClearScreen() {
    m_cells.assign(size_t(m_rows * m_columns), Cell{});
    m_cursor = 0;
    m_graphic.Clear();
}

void DisplaySimulator::PutChar(char32_t c) {
    // Overwrite mode: the cursor advances and wraps to the next row, then back to the top.
    m_cells[size_t(m_cursor)] = Cell{c, m_reverse};
    m_cursor = (m_cursor + 1) % (m_rows * m_columns);
}

void DisplaySimulator::Reply(const std::vector<uint8_t>& bytes, int64_t now, int delayMs) {
    const int64_t at = now + m_config.latencyMs + delayMs;
    for (uint8_t b : bytes) {
        m_replies.emplace_back(at, b);
    }
}

void DisplaySimulator::Answer(const std::string& kind, const std::vector<uint8_t>& usual,
                              int64_t now) {
    int64_t at = m_replies.empty() ? now : m_replies.back().first;
    for (const auto& [delayMs, byte] : m_config.answer(kind, usual)) {
        at = std::max(at, now + m_config.latencyMs + delayMs);  // the line keeps their order
        m_replies.emplace_back(at, byte);
    }
}

void DisplaySimulator::Query(const std::string& kind, const std::vector<uint8_t>& bytes,
                             int64_t now) {
    if (m_config.answer) {
        Answer(kind, bytes, now);
        return;
    }
    if (m_config.silent || m_config.silentQueries.count(kind) != 0) {
        return;
    }
    if (m_config.garbage) {
        Reply({0x3F, 0x21, 0x7E}, now);
        return;
    }
    Reply(bytes, now);
}

void DisplaySimulator::SendCodePageEntry(int64_t now) {
    const bool more = m_nextEntry < m_config.codePages.size();
    if (!more && !m_config.answer) {
        m_listActive = false;
        return;
    }
    std::vector<uint8_t> entry;
    bool last = true;
    if (more) {
        const auto& [table, text] = m_config.codePages[m_nextEntry++];
        last = m_nextEntry == m_config.codePages.size();
        // Sized once and filled in place: growing a two-byte vector by insert trips a false
        // array-bounds warning in GCC 12.
        entry.resize(text.size() + 3);
        entry[0] = static_cast<uint8_t>(table);
        entry[1] = ':';
        std::copy(text.begin(), text.end(), entry.begin() + 2);
        entry.back() = last ? 0x0B : 0x0A;
    }
    if (m_config.answer) {
        Answer("codepages", entry, now);
        m_listActive = true;  // every acknowledgement asks for more
        return;
    }
    Reply(entry, now);
    m_listActive = !last;
    if (m_listActive && m_config.model == "KT310") {
        SendCodePageEntry(now);  // the KT310 sends its list without waiting for acknowledgements
    }
}

void DisplaySimulator::LogLine(const uint8_t* p, size_t n, const std::string& what) {
    m_log.push_back(Hex(p, n) + " " + what);
}

void DisplaySimulator::Opened(uint32_t baudRate, int64_t now) {
    std::lock_guard lock(m_mutex);
    m_baud = baudRate;
    m_pending.clear();
    m_log.push_back("-- port opened at " + std::to_string(baudRate) + " baud");
    if (m_awaitBb && baudRate == 115200) {
        m_awaitBb = false;
        if (!Fails("announce")) {
            Reply({0xBB}, now, 20);
        }
    }
}

void DisplaySimulator::PowerCycle() {
    std::lock_guard lock(m_mutex);
    ClearScreen();
    m_pending.clear();
    m_replies.clear();
    m_mode = Mode::kText;
    m_reverse = m_blink = m_listActive = false;
    m_scrolling.clear();
    m_log.push_back("-- power on");
}

void DisplaySimulator::Receive(const uint8_t* data, size_t count, int64_t now) {
    std::lock_guard lock(m_mutex);
    m_received.insert(m_received.end(), data, data + count);
    m_pending.insert(m_pending.end(), data, data + count);
    size_t pos = 0;
    while (pos < m_pending.size()) {
        const size_t used = TryCommand(m_pending.data() + pos, m_pending.size() - pos, now);
        if (used == 0) {
            break;  // an incomplete command: wait for more bytes
        }
        pos += used;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + long(pos));
}

// Interprets one command or character at p; returns the bytes it took, 0 when incomplete.
size_t DisplaySimulator::TryCommand(const uint8_t* p, size_t n, int64_t now) {
    // Family 1 loader: after the unlock, the image streams in, acknowledged every fourth byte.
    if (m_mode == Mode::kLoaderStream) {
        m_stream.push_back(p[0]);
        if (m_stream.size() % 4 == 0 && !Fails("ack")) {
            Reply({kAck}, now);
        }
        if (m_stream.size() >= kFamily1ImageSize) {
            m_log.push_back("-- stream loader: image complete");
            m_mode = Mode::kText;
            m_loader = false;
        }
        return 1;
    }
    if (m_loader && Family() == 2) {
        // Block loader frames.
        if (Starts(p, n, {0x02, 0x55, kAck})) {
            LogLine(p, 3, "CMD_ISP_SYNC");
            if (m_baud == 115200 && !Fails("sync")) {
                Reply({kAck}, now);
            }
            return 3;
        }
        if (Starts(p, n, {0x00, 0x55, kAck})) {
            LogLine(p, 3, "CMD_ISP_ERASE");
            if (!Fails("erase")) {
                Reply(std::vector<uint8_t>(5, kAck), now);
            }
            return 3;
        }
        if (Starts(p, n, {0x01, 0x55, kAck})) {
            if (n < 3 + 3 + 256) {
                return 0;
            }
            const uint32_t address = (uint32_t(p[3]) << 16) | (uint32_t(p[4]) << 8) | p[5];
            if (m_image.empty()) {
                m_image.assign(kFamily2ImageSize, 0xFF);  // most displays never load firmware
            }
            if (address + 256 <= m_image.size()) {
                std::copy(p + 6, p + 6 + 256, m_image.begin() + address);
            }
            m_addresses.push_back(address);
            ++m_blocks;
            char what[64];
            std::snprintf(what, sizeof what, "CMD_ISP_WRITE address=%05X", address);
            LogLine(p, 6, what);
            if (!Fails("write")) {
                Reply({kAck}, now);
            }
            return 3 + 3 + 256;
        }
        if (Starts(p, n, {0x05, 0x55, kAck})) {
            LogLine(p, 3, "CMD_ISP_FINISH");
            if (!Fails("finish")) {
                Reply({kAck}, now);
            }
            m_loader = false;
            return 3;
        }
        if (n < 3 && (p[0] <= 0x05)) {
            return 0;
        }
        LogLine(p, 1, "byte ignored by the loader");
        return 1;
    }
    if (m_loader && Family() == 1 && Starts(p, n, {0x00})) {
        if (n < 4) {
            return 0;
        }
        if (Starts(p, n, {0, 0, 0, 0})) {
            LogLine(p, 4, "loader probe");
            Reply({kAck}, now);
            m_mode = Mode::kLoaderStream;  // the loader resumes taking the image
            m_stream.clear();
            return 4;
        }
    }

    const uint8_t b = p[0];
    // Text runs in the 16-bit table: UTF-16LE code units until 00 00.
    if (m_mode == Mode::kUnicode || m_mode == Mode::kUnicodeUpload) {
        if (Starts(p, n, {0x1F, 0x72})) {
            if (n < 3)
                return 0;  // the rest of the reverse command is still on its way
            m_reverse = p[2] != 0;
            LogLine(p, 3, p[2] ? "CMD_REVERSE_ON" : "CMD_REVERSE_OFF");
            return 3;
        }
        if (n < 2) {
            return 0;
        }
        const char32_t unit = char32_t(p[0] | (p[1] << 8));
        if (unit == 0) {
            LogLine(p, 2, "CMD_UNICODE_TEXT_END");
            if (m_mode == Mode::kUnicodeUpload) {
                m_scrolling[m_uploadLine] = m_upload;
            }
            m_mode = Mode::kText;
            return 2;
        }
        if (unit == 0x200E || unit == 0x200F || unit == 0x000B) {
            LogLine(p, 2,
                    unit == 0x200E   ? "U+200E left-to-right mark"
                    : unit == 0x200F ? "U+200F right-to-left mark"
                                     : "U+000B");
            return 2;
        }
        if (m_mode == Mode::kUnicodeUpload) {
            m_upload += Utf8(unit);
        } else {
            PutChar(unit);
        }
        LogLine(p, 2, "text \"" + Utf8(unit) + "\"");
        return 2;
    }
    if (m_mode == Mode::kUpload) {
        if (b == 0x0D) {
            LogLine(p, 1, "CMD_MARQUEE_TEXT_END");
            m_scrolling[m_uploadLine] = m_upload;
            m_mode = Mode::kText;
        } else {
            m_upload += Utf8(b);
        }
        return 1;
    }

    switch (b) {
        case 0x0C:
            LogLine(p, 1, "CMD_CLEAR");
            ClearScreen();
            m_scrolling.clear();
            return 1;
        case 0x0B:
            LogLine(p, 1, "CMD_HOME");
            m_cursor = 0;
            return 1;
        case 0x0D:
            LogLine(p, 1, "CMD_MARQUEE_TEXT_END");
            return 1;
        case kAck:
            LogLine(p, 1, "CMD_LIST_ACK");
            if (m_listActive) {
                SendCodePageEntry(now);
            }
            return 1;
        default:
            break;
    }
    if (b == 0x1B) {
        if (n < 2) {
            return 0;
        }
        switch (p[1]) {
            case 0x40:
                LogLine(p, 2, "CMD_INITIALIZE");
                ClearScreen();
                m_reverse = false;
                m_blink = false;
                return 2;
            case 0x52:
                if (n < 3)
                    return 0;
                m_charset = p[2];
                LogLine(p, 3, "CMD_SELECT_CHARSET n=" + std::to_string(p[2]));
                return 3;
            case 0x74:
                if (n < 3)
                    return 0;
                if (p[2] == 0xFF) {
                    LogLine(p, 3, "CMD_UNICODE_MODE");
                    m_mode = Mode::kUnicode;
                } else {
                    m_table = p[2];
                    LogLine(p, 3, "CMD_SELECT_CODE_TABLE n=" + std::to_string(p[2]));
                }
                return 3;
            case 0x77:
                if (n < 4)
                    return 0;
                if (p[2] == 0x02) {
                    LogLine(p, 4, "CMD_MARQUEE_START line=" + std::to_string(p[3]));
                    m_uploadLine = p[3];
                    m_upload.clear();
                    m_mode = Mode::kUnicodeUpload;
                } else {
                    LogLine(p, 4, "CMD_MARQUEE_STOP line=" + std::to_string(p[3]));
                    m_scrolling.erase(p[3]);
                }
                return 4;
            case 0x07:
            case 0x0B:
                LogLine(p, 2, std::string("CMD_MARQUEE_LEGACY line=") + (p[1] == 0x07 ? "1" : "2"));
                m_uploadLine = p[1] == 0x07 ? 1 : 2;
                m_upload.clear();
                m_mode = Mode::kUpload;
                return 2;
            case 0x61:
                if (n < 3)
                    return 0;
                LogLine(p, 3, "CMD_MARQUEE_LEGACY stop n=" + std::to_string(p[2]));
                m_scrolling.erase(p[2] == 0x02 ? 1 : 2);
                return 3;
            case 0x75:
                if (n < 3)
                    return 0;
                m_uploadLine = p[2] == 0x44 ? 1 : p[2] == 0x4A ? 2 : 3;
                LogLine(p, 3, "CMD_MARQUEE_LINE_LEFT line=" + std::to_string(m_uploadLine));
                m_upload.clear();
                m_mode = Mode::kUpload;
                return 3;
            case 0xEE:
                LogLine(p, 2, "CMD_READY_QUERY");
                Query("ready", {kAck}, now);
                return 2;
            case 0xEC: {
                LogLine(p, 2, "CMD_QUERY_CODEPAGES_EX");
                std::vector<uint8_t> reply(16, 0);
                reply[4] = uint8_t(m_config.activeTable);
                reply[12] = uint8_t(m_config.doubleByteFont);
                Query("table", reply, now);
                return 2;
            }
            case 0xEA:
                if (n < 2 + kAccessCodeLength)
                    return 0;
                LogLine(p, 2 + kAccessCodeLength, "CMD_ISP_UNLOCK_EX");
                if (std::memcmp(p + 2, kAccessCode, kAccessCodeLength) == 0 &&
                    !Fails("unlock-ex")) {
                    Reply({kAck}, now);
                    m_mode = Mode::kLoaderStream;
                    m_stream.clear();
                }
                return 2 + kAccessCodeLength;
            default:
                LogLine(p, 2, "unknown ESC command");
                return 2;
        }
    }
    if (b == 0x1C) {
        if (n < 2)
            return 0;
        switch (p[1]) {
            case 0x43:
                if (n < 3)
                    return 0;
                LogLine(p, 3, "CMD_KANJI_CODE n=" + std::to_string(p[2]));
                return 3;
            case 0x2E:
                LogLine(p, 2, "CMD_KANJI_CANCEL");
                return 2;
            case 0x3E:
                if (n < 3)
                    return 0;
                LogLine(p, 3, "CMD_ISP_ENTER");
                if (!Fails("enter")) {
                    Reply({kAck}, now);
                    m_loader = true;
                    m_awaitBb = true;
                }
                return 3;
            case 0x37:
                return TakeRaster(p, n);
            default:
                LogLine(p, 2, "unknown FS command");
                return 2;
        }
    }
    if (b == 0x1D) {
        if (n < 3)
            return 0;
        if (p[1] != 0x49) {
            LogLine(p, 2, "unknown GS command");
            return 2;
        }
        switch (p[2]) {
            case 0x04: {
                LogLine(p, 3, "CMD_QUERY_VERSION");
                Query("version", Bytes(std::to_string(m_config.firmware)), now);
                return 3;
            }
            case 0x70:
                LogLine(p, 3, "CMD_QUERY_CODEPAGES");
                if (!m_config.silent && !m_config.silentQueries.count("codepages")) {
                    m_nextEntry = 0;
                    SendCodePageEntry(now);
                }
                return 3;
            case 0x10:
                if (n < 4)
                    return 0;
                if (p[3] == 0x00) {
                    LogLine(p, 4, "CMD_QUERY_SCREEN_MODES");
                    std::vector<uint8_t> reply;
                    for (const ScreenMode& mode : m_config.screenModes) {
                        if (!reply.empty())
                            reply.push_back(',');
                        reply.push_back(uint8_t(mode.id));
                        for (char c :
                             std::to_string(mode.rows) + "x" + std::to_string(mode.columns))
                            reply.push_back(uint8_t(c));
                    }
                    reply.push_back(0);
                    Query("modes", reply, now);
                    return 4;
                }
                if (n < 5)
                    return 0;
                LogLine(p, 5, "CMD_SELECT_SCREEN_MODE n=" + std::to_string(p[4]));
                for (const ScreenMode& mode : m_config.screenModes) {
                    if (mode.id == p[4]) {
                        Resize(mode.rows, mode.columns);
                        m_config.activeScreenMode = mode.id;  // what the parameters report
                    }
                }
                return 5;
            case 0x15:
                if (n < 4)
                    return 0;
                LogLine(p, 4, "CMD_QUERY_PARAMETER n=" + std::to_string(p[3]));
                if (p[3] == 0x1F) {
                    std::vector<uint8_t> reply(16, '0');
                    reply[13] = uint8_t('0' + m_config.activeScreenMode);
                    reply[15] = uint8_t(m_config.parameterCodePage);
                    Query("params", reply, now);
                }
                return 4;
            case 0x80:
                if (n < 3 + kAccessCodeLength)
                    return 0;
                LogLine(p, 3 + kAccessCodeLength, "CMD_ISP_UNLOCK");
                if (std::memcmp(p + 3, kAccessCode, kAccessCodeLength) == 0 && !Fails("unlock")) {
                    Reply({kAck}, now, Fails("unlock-late") ? 300 : 0);
                    m_loader = true;  // restarts into the loader
                }
                return 3 + kAccessCodeLength;
            default:
                LogLine(p, 3, "unknown GS I command");
                return 3;
        }
    }
    if (b == 0x1F) {
        if (n < 2)
            return 0;
        switch (p[1]) {
            case 0x24: {
                if (n < 4)
                    return 0;
                char what[48];
                std::snprintf(what, sizeof what, "CMD_SET_CURSOR x=%d y=%d", p[2], p[3]);
                LogLine(p, 4, what);
                const int x = std::clamp(int(p[2]) - 1, 0, m_columns - 1);
                const int y = std::clamp(int(p[3]) - 1, 0, m_rows - 1);
                m_cursor = y * m_columns + x;
                return 4;
            }
            case 0x58:
                if (n < 3)
                    return 0;
                m_brightness = p[2];
                LogLine(p, 3, "CMD_BRIGHTNESS n=" + std::to_string(p[2]));
                return 3;
            case 0x72:
                if (n < 3)
                    return 0;
                m_reverse = p[2] != 0;
                LogLine(p, 3, p[2] ? "CMD_REVERSE_ON" : "CMD_REVERSE_OFF");
                return 3;
            case 0x45:
                if (n < 3)
                    return 0;
                m_blink = p[2] != 0;
                m_blinkPeriodMs = p[2] * 50;
                m_blinkSince = now;
                LogLine(p, 3, "CMD_BLINK n=" + std::to_string(p[2]));
                return 3;
            case 0x28:
                if (n < 3)
                    return 0;
                if (p[2] == 0x42) {
                    if (n < 7)
                        return 0;
                    LogLine(p, 7, "CMD_QUERY_VERSION_EX");
                    std::string text = std::to_string(m_config.firmware);
                    std::vector<uint8_t> reply;
                    if (m_config.model == "GQ310" || m_config.model == "RMX910") {
                        reply = Bytes("VER " + text);
                        reply.push_back(0);
                    } else if (m_config.model == "ZN610") {
                        reply = Bytes("ZN610");
                        reply.push_back(0x1F);
                        for (char c : text)
                            reply.push_back(uint8_t(c));
                    } else {
                        reply = Bytes(text);
                    }
                    Query("version", reply, now);
                    return 7;
                }
                if (p[2] == 0x46) {
                    return TakeGraphic(p, n);
                }
                LogLine(p, 3, "unknown US ( command");
                return 3;
            default:
                LogLine(p, 2, "unknown US command");
                return 2;
        }
    }
    if (b >= 0x20) {
        // Consecutive characters are logged as one text run.
        size_t run = 1;
        while (run < n && p[run] >= 0x20 && p[run] != kAck && p[run] != 0x7F)
            ++run;
        std::string text;
        for (size_t i = 0; i < run; ++i) {
            // Bytes above 0x7F are shown as the Latin-1 character of the same number.
            PutChar(char32_t(p[i]));
            text += Utf8(char32_t(p[i]));
        }
        LogLine(p, run, "text \"" + text + "\"");
        return run;
    }
    LogLine(p, 1, "control byte");
    return 1;
}

size_t DisplaySimulator::Available(int64_t now) const {
    std::lock_guard lock(m_mutex);
    return size_t(std::count_if(m_replies.begin(), m_replies.end(),
                                [&](const auto& r) { return r.first <= now; }));
}

size_t DisplaySimulator::Read(uint8_t* buffer, size_t max, int64_t now) {
    std::lock_guard lock(m_mutex);
    size_t count = 0;
    while (count < max && count < m_replies.size() && m_replies[count].first <= now) {
        buffer[count] = m_replies[count].second;
        ++count;
    }
    m_replies.erase(m_replies.begin(), m_replies.begin() + long(count));
    return count;
}

int64_t DisplaySimulator::NextReplyTime() const {
    std::lock_guard lock(m_mutex);
    return m_replies.empty() ? -1 : m_replies.front().first;
}

std::vector<std::string> DisplaySimulator::ScreenLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (int r = 0; r < m_rows; ++r) {
        std::string line;
        for (int c = 0; c < m_columns; ++c)
            line += Utf8(m_cells[size_t(r * m_columns + c)].ch);
        lines.push_back(line);
    }
    return lines;
}

std::string DisplaySimulator::Render(bool attributes) const {
    std::lock_guard lock(m_mutex);
    // Built in place: "+" + string + "+\n" trips a false -Wrestrict warning in GCC 12.
    std::string frame(size_t(m_columns) + 3, '-');
    frame.front() = '+';
    frame[frame.size() - 2] = '+';
    frame.back() = '\n';
    std::string out = frame;
    for (int r = 0; r < m_rows; ++r) {
        out += "|";
        for (int c = 0; c < m_columns; ++c) {
            const Cell& cell = m_cells[size_t(r * m_columns + c)];
            out += (attributes && cell.reverse) ? "\x1b[7m" + Utf8(cell.ch) + "\x1b[0m"
                                                : Utf8(cell.ch);
        }
        out += "|\n";
    }
    out += frame;
    for (const auto& [line, text] : m_scrolling) {
        out += "scrolling line " + std::to_string(line) + ": " + text + "\n";
    }
    return out;
}

Face DisplaySimulator::FaceAt(int64_t nowMs) const {
    std::lock_guard lock(m_mutex);
    const int64_t since = nowMs - m_blinkSince;
    const bool dark = m_blink && m_blinkPeriodMs > 0 && since >= 0 &&
                      since % m_blinkPeriodMs >= m_blinkPeriodMs / 2;
    return Face{m_rows, m_columns, m_cells, m_graphic, dark};
}

int DisplaySimulator::Rows() const {
    std::lock_guard lock(m_mutex);
    return m_rows;
}
int DisplaySimulator::Columns() const {
    std::lock_guard lock(m_mutex);
    return m_columns;
}
std::vector<std::string> DisplaySimulator::Log() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}
std::vector<uint8_t> DisplaySimulator::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}
void DisplaySimulator::ClearReceived() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
    m_log.clear();
}
uint32_t DisplaySimulator::BaudRate() const {
    std::lock_guard lock(m_mutex);
    return m_baud;
}
bool DisplaySimulator::InLoader() const {
    std::lock_guard lock(m_mutex);
    return m_loader;
}
int DisplaySimulator::LoaderBlocks() const {
    std::lock_guard lock(m_mutex);
    return m_blocks;
}
std::vector<uint32_t> DisplaySimulator::LoaderAddresses() const {
    std::lock_guard lock(m_mutex);
    return m_addresses;
}
int DisplaySimulator::Brightness() const {
    std::lock_guard lock(m_mutex);
    return m_brightness;
}
int DisplaySimulator::SelectedTable() const {
    std::lock_guard lock(m_mutex);
    return m_table;
}
int DisplaySimulator::SelectedCharset() const {
    std::lock_guard lock(m_mutex);
    return m_charset;
}
bool DisplaySimulator::BlinkOn() const {
    std::lock_guard lock(m_mutex);
    return m_blink;
}

std::vector<uint8_t> DisplaySimulator::LoadedImage() const {
    std::lock_guard lock(m_mutex);
    if (Family() == 1) {
        return m_stream;
    }
    return m_image.empty() ? std::vector<uint8_t>(kFamily2ImageSize, 0xFF) : m_image;
}

std::string DisplaySimulator::ScrollingText(int line) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_scrolling.find(line);
    return it == m_scrolling.end() ? std::string() : it->second;
}

}  // namespace displaysim
