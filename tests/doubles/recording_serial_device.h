// A serial device that always opens and records every byte written, for tests that check the
// bytes on the wire. The record outlives the device (the service object owns the device).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/platform.h"

namespace miraxld::testing {

class WireRecord {
  public:
    void Append(uint8_t byte) {
        std::lock_guard lock(m_mutex);
        m_written.push_back(byte);
    }
    std::vector<uint8_t> Written() const {
        std::lock_guard lock(m_mutex);
        return m_written;
    }
    // The bytes written since the last call.
    std::vector<uint8_t> Take() {
        std::lock_guard lock(m_mutex);
        std::vector<uint8_t> out;
        out.swap(m_written);
        return out;
    }
    // Bytes the display "answers"; Read hands them out in order.
    void QueueReply(const std::vector<uint8_t>& bytes) {
        std::lock_guard lock(m_mutex);
        m_replies.insert(m_replies.end(), bytes.begin(), bytes.end());
    }
    int Read(uint8_t* buffer, int max) {
        std::lock_guard lock(m_mutex);
        int n = 0;
        while (n < max && !m_replies.empty()) {
            buffer[n++] = m_replies.front();
            m_replies.pop_front();
        }
        return n;
    }
    int Pending() const {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_replies.size());
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<uint8_t> m_written;
    std::deque<uint8_t> m_replies;
};

class RecordingSerialDevice : public ISerialDevice {
  public:
    explicit RecordingSerialDevice(std::shared_ptr<WireRecord> record)
        : m_record(std::move(record)) {}
    bool Open(int, uint32_t) override { return true; }
    void Close() override {}
    bool WriteByte(uint8_t byte) override {
        m_record->Append(byte);
        return true;
    }
    int Read(uint8_t* buffer, int max) override { return m_record->Read(buffer, max); }
    int InputCount() override { return m_record->Pending(); }
    bool ModemStatus(uint32_t* bits) override {
        *bits = kModemDsrOn | kModemCtsOn;
        return true;
    }

  private:
    std::shared_ptr<WireRecord> m_record;
};

}  // namespace miraxld::testing
