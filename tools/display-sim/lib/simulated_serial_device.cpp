// The in-process serial device bound to a simulator, and the test controls its devices share.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "display_sim.h"

namespace displaysim {

namespace {

struct ControlsTable {
    std::mutex mutex;
    std::map<const DisplaySimulator*, std::unique_ptr<SimulatedSerialDevice::Controls>> byDisplay;
};

ControlsTable& Controls() {
    static ControlsTable table;
    return table;
}

}  // namespace

// The devices of a simulator hold it, so its controls are no longer used once it goes.
DisplaySimulator::~DisplaySimulator() {
    std::lock_guard lock(Controls().mutex);
    Controls().byDisplay.erase(this);
}

SimulatedSerialDevice::Controls& SimulatedSerialDevice::ControlsOf(const DisplaySimulator* sim) {
    std::lock_guard lock(displaysim::Controls().mutex);
    auto& slot = displaysim::Controls().byDisplay[sim];
    if (!slot)
        slot = std::make_unique<Controls>();
    return *slot;
}

void SimulatedSerialDevice::Unplug(const DisplaySimulator& sim) {
    Controls& c = ControlsOf(&sim);
    std::lock_guard lock(c.mutex);
    c.portMissing = true;
    ++c.unplugs;
}

void SimulatedSerialDevice::Replug(DisplaySimulator& sim) {
    sim.PowerCycle();
    Controls& c = ControlsOf(&sim);
    std::lock_guard lock(c.mutex);
    c.portMissing = false;
}

SimulatedSerialDevice::SimulatedSerialDevice(std::shared_ptr<DisplaySimulator> sim,
                                             miraxld::IClock& clock)
    : m_sim(std::move(sim)), m_clock(clock), m_controls(ControlsOf(m_sim.get())) {}

bool SimulatedSerialDevice::Alive() {
    std::lock_guard lock(m_controls.mutex);
    return m_open && m_unplugs == m_controls.unplugs;
}

bool SimulatedSerialDevice::Open(int, uint32_t baudRate) {
    Controls& c = m_controls;
    {
        std::lock_guard lock(c.mutex);
        if (c.portMissing)
            return false;
        ++c.opens;
        c.lastBaud = baudRate;
        m_unplugs = c.unplugs;
        m_paced = c.paced;
    }
    // The clock reads whole milliseconds: a byte offered within one of them of the previous
    // one's end is taken as queued behind it.
    m_sending.Reset(baudRate, 1000);
    m_returnedUs = 0;
    {
        std::lock_guard lock(m_receiveMutex);
        m_receiving.Reset(baudRate, 1000);
        m_arrivals.clear();
        m_lookedMs = m_clock.NowMs();
    }
    m_open = true;
    m_sim->Opened(baudRate, m_clock.NowMs());
    return true;
}

void SimulatedSerialDevice::Close() {
    m_open = false;
}

void SimulatedSerialDevice::WaitUntil(int64_t us) {
    for (int64_t now = m_clock.NowMs() * 1000; now < us; now = m_clock.NowMs() * 1000)
        m_clock.SleepMs(static_cast<int>((us - now + 999) / 1000));
}

int SimulatedSerialDevice::Arrived(int64_t nowMs) {
    const size_t sent = m_sim->Available(nowMs);
    while (m_arrivals.size() > sent)  // the display restarted and dropped its replies
        m_arrivals.pop_back();
    while (m_arrivals.size() < sent) {
        // The display sent the next byte at the first moment it was readable: found between
        // the previous look and now, so that a host that looks rarely does not delay it.
        int64_t from = std::min(m_lookedMs, nowMs);
        for (int64_t to = nowMs; from < to;) {
            const int64_t mid = from + (to - from) / 2;
            if (m_sim->Available(mid) > m_arrivals.size())
                to = mid;
            else
                from = mid + 1;
        }
        m_arrivals.push_back(m_receiving.Take(from * 1000));
    }
    m_lookedMs = nowMs;
    return static_cast<int>(std::count_if(m_arrivals.begin(), m_arrivals.end(),
                                          [&](int64_t at) { return at <= nowMs * 1000; }));
}

bool SimulatedSerialDevice::WriteByte(uint8_t byte) {
    if (!Alive())
        return false;
    if (m_paced) {
        // Writes come one at a time under the link's write lock.
        // The writer's own time since the previous byte's write returned is a gap on the line;
        // how late that return came after the byte's end is not.
        const int64_t now = m_clock.NowMs() * 1000;
        const int64_t last = m_sending.LastEndUs();
        WaitUntil(
            m_sending.Take(last == 0 ? now : last + std::max<int64_t>(now - m_returnedUs, 0)));
        m_returnedUs = m_clock.NowMs() * 1000;
    }
    m_sim->Receive(&byte, 1, m_clock.NowMs());
    return true;
}

int SimulatedSerialDevice::Read(uint8_t* buffer, int max) {
    if (!Alive() || max <= 0)
        return 0;
    const int64_t now = m_clock.NowMs();
    if (!m_paced)
        return int(m_sim->Read(buffer, size_t(max), now));
    std::lock_guard lock(m_receiveMutex);
    const size_t n = m_sim->Read(buffer, size_t(std::min(max, Arrived(now))), now);
    m_arrivals.erase(m_arrivals.begin(), m_arrivals.begin() + std::ptrdiff_t(n));
    return int(n);
}

int SimulatedSerialDevice::InputCount() {
    if (!Alive())
        return 0;
    const int64_t now = m_clock.NowMs();
    if (!m_paced)
        return int(m_sim->Available(now));
    std::lock_guard lock(m_receiveMutex);
    return Arrived(now);
}

bool SimulatedSerialDevice::ModemStatus(uint32_t* bits) {
    if (!Alive())
        return false;
    Controls& c = m_controls;
    std::lock_guard lock(c.mutex);
    if (!c.modemAvailable)
        return false;
    *bits = c.modemBits;
    return true;
}

std::unique_ptr<miraxld::ISerialDevice> MakeDevice(std::shared_ptr<DisplaySimulator> sim,
                                                   miraxld::IClock& clock) {
    return std::make_unique<SimulatedSerialDevice>(std::move(sim), clock);
}

}  // namespace displaysim
