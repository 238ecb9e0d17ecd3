// The time a serial line takes: ten bit times per byte (start bit, eight data bits, stop bit).
//
// Slots are counted from an anchor, so the rounding of each slot and the wake-up delay of
// whoever waits for it never add up over a burst: byte n ends at anchor + n * 10 / baud
// seconds, however late each wait returned.
#pragma once

#include <algorithm>
#include <cstdint>

namespace displaysim {

class WireSchedule {
  public:
    // `slackUs`: a byte offered less than this after the previous one's end is queued behind it
    // without a gap, as a transmit buffer would take it. At least one byte time; more for a
    // clock that reads in whole milliseconds.
    explicit WireSchedule(uint32_t baud, int64_t slackUs = 0) { Reset(baud, slackUs); }

    void Reset(uint32_t baud, int64_t slackUs = 0) {
        m_baud = baud > 0 ? baud : 9600;
        m_slackUs = std::max(slackUs, ByteUs());
        m_count = 0;
        m_anchorUs = 0;
    }

    // Takes one byte offered at `offeredUs`; returns the time its stop bit has left the line.
    // The one offering it says when it would have offered it: a writer that waited for the
    // previous byte and woke late counts from that byte's end, not from its own waking.
    int64_t Take(int64_t offeredUs) {
        if (m_count == 0 || offeredUs > EndUs(m_count) + m_slackUs) {
            m_anchorUs = offeredUs;  // the line was idle
            m_count = 0;
        }
        return EndUs(++m_count);
    }

    // The end of the latest byte's slot (0 before the first).
    int64_t LastEndUs() const { return m_count == 0 ? 0 : EndUs(m_count); }
    int64_t ByteUs() const { return (10'000'000 + m_baud - 1) / m_baud; }
    uint32_t Baud() const { return m_baud; }

  private:
    int64_t EndUs(int64_t bytes) const {
        return m_anchorUs + (bytes * 10'000'000 + m_baud - 1) / m_baud;
    }

    uint32_t m_baud = 9600;
    int64_t m_slackUs = 0;
    int64_t m_anchorUs = 0;
    int64_t m_count = 0;  // bytes since the anchor
};

}  // namespace displaysim
