#include "display/commands.h"

#include <algorithm>

namespace miraxld {

namespace {

constexpr CommandRecord kCatalogue[] = {
    {"CMD_INITIALIZE", CMD_INITIALIZE, 0},
    {"CMD_CLEAR", CMD_CLEAR, 0},
    {"CMD_HOME", CMD_HOME, 0},
    {"CMD_SET_CURSOR", CMD_SET_CURSOR, 2},
    {"CMD_BRIGHTNESS", CMD_BRIGHTNESS, 1},
    {"CMD_REVERSE_ON", CMD_REVERSE_ON, 0},
    {"CMD_REVERSE_OFF", CMD_REVERSE_OFF, 0},
    {"CMD_BLINK", CMD_BLINK, 1},
    {"CMD_SELECT_CHARSET", CMD_SELECT_CHARSET, 1},
    {"CMD_SELECT_CODE_TABLE", CMD_SELECT_CODE_TABLE, 1},
    {"CMD_KANJI_CODE", CMD_KANJI_CODE, 1},
    {"CMD_KANJI_CANCEL", CMD_KANJI_CANCEL, 0},
    {"CMD_UNICODE_MODE", CMD_UNICODE_MODE, 0},
    {"CMD_UNICODE_TEXT_END", CMD_UNICODE_TEXT_END, 0},
    {"CMD_MARQUEE_TEXT_END", CMD_MARQUEE_TEXT_END, 0},
    {"CMD_MARQUEE_START", CMD_MARQUEE_START, 1},
    {"CMD_MARQUEE_STOP", CMD_MARQUEE_STOP, 1},
    {"CMD_MARQUEE_LEGACY_LINE1", CMD_MARQUEE_LEGACY_LINE1, 0},
    {"CMD_MARQUEE_LEGACY_LINE2", CMD_MARQUEE_LEGACY_LINE2, 0},
    {"CMD_MARQUEE_LEGACY_STOP", CMD_MARQUEE_LEGACY_STOP, 1},
    {"CMD_MARQUEE_LINE_LEFT", CMD_MARQUEE_LINE_LEFT, 1},
    {"CMD_SELECT_SCREEN_MODE", CMD_SELECT_SCREEN_MODE, 1},
    {"CMD_QUERY_SCREEN_MODES", CMD_QUERY_SCREEN_MODES, 0},
    {"CMD_QUERY_PARAMETER", CMD_QUERY_PARAMETER, 1},
    {"CMD_QUERY_VERSION", CMD_QUERY_VERSION, 0},
    {"CMD_QUERY_VERSION_EX", CMD_QUERY_VERSION_EX, 0},
    {"CMD_QUERY_CODEPAGES", CMD_QUERY_CODEPAGES, 0},
    {"CMD_LIST_ACK", CMD_LIST_ACK, 0},
    {"CMD_QUERY_CODEPAGES_EX", CMD_QUERY_CODEPAGES_EX, 0},
    {"CMD_READY_QUERY", CMD_READY_QUERY, 0},
    {"CMD_BITMAP_GRAPHIC", CMD_BITMAP_GRAPHIC, -1},
    {"CMD_BITMAP_RASTER", CMD_BITMAP_RASTER, -1},
    {"CMD_ISP_UNLOCK", CMD_ISP_UNLOCK, 0},
    {"CMD_ISP_UNLOCK_EX", CMD_ISP_UNLOCK_EX, 0},
    {"CMD_ISP_ENTER", CMD_ISP_ENTER, 0},
    {"CMD_ISP_SYNC", CMD_ISP_SYNC, 0},
    {"CMD_ISP_ERASE", CMD_ISP_ERASE, 0},
    {"CMD_ISP_WRITE", CMD_ISP_WRITE, -1},
    {"CMD_ISP_FINISH", CMD_ISP_FINISH, 0},
};

Command WithParameter(CommandBytes prefix, uint8_t n) {
    return Command{}.Push(prefix).Push(n);
}

// Parameter byte per display line (index = line); 0 = the line has no such command.
constexpr uint8_t kLegacyStopLine[] = {0, 0x02, 0x04};
constexpr uint8_t kLineLeft[] = {0, 0x44, 0x4A, 0x4B};

template <size_t N>
uint8_t LineParameter(const uint8_t (&table)[N], int line) {
    return line >= 0 && static_cast<size_t>(line) < N ? table[line] : 0;
}

}  // namespace

const CommandRecord* FindCommand(std::string_view name) {
    const auto* it = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                                  [name](const CommandRecord& r) { return r.name == name; });
    return it == std::end(kCatalogue) ? nullptr : it;
}

Command SetCursor(int column, int row) {
    return Command{}
        .Push(CMD_SET_CURSOR)
        .Push(static_cast<uint8_t>(column + 1))
        .Push(static_cast<uint8_t>(row + 1));
}

Command Brightness(uint8_t level) {
    return WithParameter(CMD_BRIGHTNESS, level);
}

Command Blink(int blinkRateMs) {
    return WithParameter(CMD_BLINK, static_cast<uint8_t>(blinkRateMs / 50));
}

Command SelectCharset(uint8_t n) {
    return WithParameter(CMD_SELECT_CHARSET, n);
}
Command SelectCodeTable(uint8_t n) {
    return WithParameter(CMD_SELECT_CODE_TABLE, n);
}
Command KanjiCode(uint8_t n) {
    return WithParameter(CMD_KANJI_CODE, n);
}
Command MarqueeStart(uint8_t line) {
    return WithParameter(CMD_MARQUEE_START, line);
}
Command MarqueeStop(uint8_t line) {
    return WithParameter(CMD_MARQUEE_STOP, line);
}

Command MarqueeLegacyStart(int line) {
    if (line == 1) {
        return Command{}.Push(CMD_MARQUEE_LEGACY_LINE1);
    }
    if (line == 2) {
        return Command{}.Push(CMD_MARQUEE_LEGACY_LINE2);
    }
    return Command{};
}

Command MarqueeLegacyStop(int line) {
    const uint8_t n = LineParameter(kLegacyStopLine, line);
    return n == 0 ? Command{} : WithParameter(CMD_MARQUEE_LEGACY_STOP, n);
}

Command MarqueeLineLeft(int line) {
    const uint8_t n = LineParameter(kLineLeft, line);
    return n == 0 ? Command{} : WithParameter(CMD_MARQUEE_LINE_LEFT, n);
}

Command SelectScreenMode(uint8_t id) {
    return WithParameter(CMD_SELECT_SCREEN_MODE, id);
}
Command QueryParameter(uint8_t n) {
    return WithParameter(CMD_QUERY_PARAMETER, n);
}

Command UnicodeRunStart(bool leftToRight) {
    Command c;
    c.Push(CMD_UNICODE_MODE);
    if (leftToRight) {
        return c.Push(0x0E).Push(0x20);
    }
    return c.Push(0x0F).Push(0x20).Push(0x0B).Push(0x00);
}

CommandBuffer& CommandBuffer::IspWrite(uint32_t address, CommandBytes data) {
    Append(CMD_ISP_WRITE);
    Byte(static_cast<uint8_t>(address >> 16));
    Byte(static_cast<uint8_t>(address >> 8));
    Byte(static_cast<uint8_t>(address));
    return Append(data);
}

CommandBuffer& CommandBuffer::BitmapGraphicHeader(uint8_t pL, uint8_t pH, uint8_t scale,
                                                  uint16_t width, uint16_t height) {
    Append(CMD_BITMAP_GRAPHIC).Byte(pL).Byte(pH).Byte(0x04).Byte(0x30).Byte(scale).Byte(scale);
    Byte(static_cast<uint8_t>(width & 0xFF)).Byte(static_cast<uint8_t>(width >> 8));
    return Byte(static_cast<uint8_t>(height & 0xFF)).Byte(static_cast<uint8_t>(height >> 8));
}

int CommandBuffer::SendTo(SerialPort& port) const {
    return Send(port, m_bytes);
}

int Send(SerialPort& port, CommandBytes bytes) {
    if (bytes.empty()) {
        return 0;
    }
    return port.Write(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace miraxld
