// The display command set: every byte sequence the service object sends to a pole display.
//
// Fixed commands are constant byte strings (`CMD_HOME`, `CMD_REVERSE_ON`, ...). Commands with
// parameters are assembled by the builders below into one `Command` value, so that a command and
// its parameter bytes always go out in one `SerialPort::Write` (the display sees the same bytes
// as a prefix write followed by a parameter write, but nothing can slip in between).
//
// Three ways to send:
//   Send(port, CMD_CLEAR);                      // one fixed command
//   Send(port, SetCursor(column, row));         // one assembled command
//   CommandBuffer out; out.Append(CMD_HOME).Append(Blink(n)).Byte('A'); out.SendTo(port);
//                                               // a whole sequence as one write
// Callers that must keep a sequence apart from other senders still hold `m_commandBusy`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "transport/serial_port.h"

namespace miraxld {

// A read-only view of command bytes.
using CommandBytes = std::span<const uint8_t>;

// One assembled command of at most kCapacity bytes, held by value.
class Command {
  public:
    static constexpr size_t kCapacity = 16;

    constexpr Command() = default;
    constexpr Command(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) {
            Push(b);
        }
    }
    // Appends a byte; bytes beyond the capacity are dropped (no builder ever needs them).
    constexpr Command& Push(uint8_t b) {
        if (m_size < kCapacity) {
            m_bytes[m_size++] = b;
        }
        return *this;
    }
    constexpr Command& Push(CommandBytes bytes) {
        for (uint8_t b : bytes) {
            Push(b);
        }
        return *this;
    }
    constexpr CommandBytes Bytes() const { return CommandBytes(m_bytes.data(), m_size); }
    constexpr size_t Size() const { return m_size; }
    constexpr operator CommandBytes() const { return Bytes(); }  // NOLINT: used as a view

  private:
    std::array<uint8_t, kCapacity> m_bytes{};
    size_t m_size = 0;
};

// ---- Fixed commands ----
inline constexpr std::array<uint8_t, 2> CMD_INITIALIZE{0x1B, 0x40};
inline constexpr std::array<uint8_t, 1> CMD_CLEAR{0x0C};
inline constexpr std::array<uint8_t, 1> CMD_HOME{0x0B};
inline constexpr std::array<uint8_t, 3> CMD_REVERSE_ON{0x1F, 0x72, 0x01};
inline constexpr std::array<uint8_t, 3> CMD_REVERSE_OFF{0x1F, 0x72, 0x00};
inline constexpr std::array<uint8_t, 2> CMD_KANJI_CANCEL{0x1C, 0x2E};
// Selects the 16-bit table; the text run after it opens with a direction mark (UnicodeRunStart).
inline constexpr std::array<uint8_t, 3> CMD_UNICODE_MODE{0x1B, 0x74, 0xFF};
inline constexpr std::array<uint8_t, 2> CMD_UNICODE_TEXT_END{0x00, 0x00};
inline constexpr std::array<uint8_t, 1> CMD_MARQUEE_TEXT_END{0x0D};
inline constexpr std::array<uint8_t, 4> CMD_QUERY_SCREEN_MODES{0x1D, 0x49, 0x10, 0x00};
inline constexpr std::array<uint8_t, 3> CMD_QUERY_VERSION{0x1D, 0x49, 0x04};
inline constexpr std::array<uint8_t, 7> CMD_QUERY_VERSION_EX{0x1F, 0x28, 0x42, 0x02,
                                                             0x00, 0x30, 0x41};
inline constexpr std::array<uint8_t, 3> CMD_QUERY_CODEPAGES{0x1D, 0x49, 0x70};
inline constexpr std::array<uint8_t, 1> CMD_LIST_ACK{0xAA};
inline constexpr std::array<uint8_t, 2> CMD_QUERY_CODEPAGES_EX{0x1B, 0xEC};
inline constexpr std::array<uint8_t, 2> CMD_READY_QUERY{0x1B, 0xEE};
inline constexpr std::array<uint8_t, 13> CMD_ISP_UNLOCK{0x1D, 0x49, 0x80, 'K', 'E', 'S', 'T',
                                                        'R',  'E',  'L',  'V', 'A', 'N'};
inline constexpr std::array<uint8_t, 12> CMD_ISP_UNLOCK_EX{0x1B, 0xEA, 'K', 'E', 'S', 'T',
                                                           'R',  'E',  'L', 'V', 'A', 'N'};
inline constexpr std::array<uint8_t, 3> CMD_ISP_ENTER{0x1C, 0x3E, 0x03};
inline constexpr std::array<uint8_t, 3> CMD_ISP_SYNC{0x02, 0x55, 0xAA};
inline constexpr std::array<uint8_t, 3> CMD_ISP_ERASE{0x00, 0x55, 0xAA};
inline constexpr std::array<uint8_t, 3> CMD_ISP_FINISH{0x05, 0x55, 0xAA};

// ---- Prefixes of the assembled commands (the parameter bytes follow) ----
inline constexpr std::array<uint8_t, 2> CMD_SET_CURSOR{0x1F, 0x24};           // x y
inline constexpr std::array<uint8_t, 2> CMD_BRIGHTNESS{0x1F, 0x58};           // n
inline constexpr std::array<uint8_t, 2> CMD_BLINK{0x1F, 0x45};                // n x 50 ms
inline constexpr std::array<uint8_t, 2> CMD_SELECT_CHARSET{0x1B, 0x52};       // n
inline constexpr std::array<uint8_t, 2> CMD_SELECT_CODE_TABLE{0x1B, 0x74};    // n
inline constexpr std::array<uint8_t, 2> CMD_KANJI_CODE{0x1C, 0x43};           // 0 leave, 1 select
inline constexpr std::array<uint8_t, 3> CMD_MARQUEE_START{0x1B, 0x77, 0x02};  // line
inline constexpr std::array<uint8_t, 3> CMD_MARQUEE_STOP{0x1B, 0x77, 0x00};   // line
inline constexpr std::array<uint8_t, 2> CMD_MARQUEE_LEGACY_LINE1{0x1B, 0x07};
inline constexpr std::array<uint8_t, 2> CMD_MARQUEE_LEGACY_LINE2{0x1B, 0x0B};
inline constexpr std::array<uint8_t, 2> CMD_MARQUEE_LEGACY_STOP{0x1B, 0x61};  // 02 / 04
inline constexpr std::array<uint8_t, 2> CMD_MARQUEE_LINE_LEFT{0x1B, 0x75};    // 44 / 4A / 4B
inline constexpr std::array<uint8_t, 4> CMD_SELECT_SCREEN_MODE{0x1D, 0x49, 0x10, 0x01};  // id
inline constexpr std::array<uint8_t, 3> CMD_QUERY_PARAMETER{0x1D, 0x49, 0x15};           // n
inline constexpr std::array<uint8_t, 3> CMD_ISP_WRITE{0x01, 0x55, 0xAA};  // address, data
inline constexpr std::array<uint8_t, 3> CMD_BITMAP_GRAPHIC{0x1F, 0x28, 0x46};
inline constexpr std::array<uint8_t, 2> CMD_BITMAP_RASTER{0x1C, 0x37};  // image, then 0D

// The catalogue as data: every command by name, fixed bytes or the prefix of an assembled one.
struct CommandRecord {
    std::string_view name;
    CommandBytes bytes;
    int parameterBytes;  // parameter bytes that follow the prefix; -1 = variable length
};
// The record of `name`, or null.
const CommandRecord* FindCommand(std::string_view name);

// ---- Builders of the assembled commands ----
// Cursor from 0-based column and row; the wire is 1-based, column before row.
Command SetCursor(int column, int row);
Command Brightness(uint8_t level);
// n = blinkRateMs / 50 (integer division), sent as one byte.
Command Blink(int blinkRateMs);
Command SelectCharset(uint8_t n);
Command SelectCodeTable(uint8_t n);
Command KanjiCode(uint8_t n);
// Lines 1 and 2 of the display's own scrolling.
Command MarqueeStart(uint8_t line);
Command MarqueeStop(uint8_t line);
// Legacy start of line 1 or 2 (1B 07 / 1B 0B) and stop (1B 61 02 / 1B 61 04). Other lines give
// an empty command: nothing is sent.
Command MarqueeLegacyStart(int line);
Command MarqueeLegacyStop(int line);
// The KT310's left scrolling of line 1, 2 or 3 (1B 75 44 / 4A / 4B); other lines: empty.
Command MarqueeLineLeft(int line);
Command SelectScreenMode(uint8_t id);
Command QueryParameter(uint8_t n);
// The opening of a Unicode text run: CMD_UNICODE_MODE then U+200E (left to right) or U+200F
// U+000B (right to left), each UTF-16LE.
Command UnicodeRunStart(bool leftToRight);

// A command sequence built in one buffer and sent with one write.
class CommandBuffer {
  public:
    CommandBuffer() = default;
    explicit CommandBuffer(size_t reserve) { m_bytes.reserve(reserve); }

    CommandBuffer& Append(CommandBytes bytes) {
        // Byte by byte: GCC 12 misreads a range insert into freshly reserved storage as an
        // overflow, and commands are a few bytes long.
        for (uint8_t b : bytes) {
            m_bytes.push_back(b);
        }
        return *this;
    }
    CommandBuffer& Byte(uint8_t b) {
        m_bytes.push_back(b);
        return *this;
    }
    // A UTF-16 code unit, low byte first.
    CommandBuffer& Unit16(uint16_t unit) {
        m_bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(unit >> 8));
        return *this;
    }
    // CMD_ISP_WRITE: prefix, the address as three bytes (most significant first), the data.
    CommandBuffer& IspWrite(uint32_t address, CommandBytes data);
    // CMD_BITMAP_GRAPHIC header: prefix, pL, pH, 04 30, scale twice, width and height (low
    // byte first). The caller appends the image bytes.
    CommandBuffer& BitmapGraphicHeader(uint8_t pL, uint8_t pH, uint8_t scale, uint16_t width,
                                       uint16_t height);

    CommandBytes Bytes() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }
    bool Empty() const { return m_bytes.empty(); }
    void Clear() { m_bytes.clear(); }
    // One SerialPort::Write of everything appended; returns what Write returns. Keeps the bytes.
    int SendTo(SerialPort& port) const;

  private:
    std::vector<uint8_t> m_bytes;
};

// One SerialPort::Write of the command's bytes; returns what Write returns (0 when empty).
int Send(SerialPort& port, CommandBytes bytes);

}  // namespace miraxld
