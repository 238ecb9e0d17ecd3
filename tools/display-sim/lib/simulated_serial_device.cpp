// The in-process serial device bound to a simulator, and the test controls its devices share.
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
    }
    m_open = true;
    m_sim->Opened(baudRate, m_clock.NowMs());
    return true;
}

void SimulatedSerialDevice::Close() {
    m_open = false;
}

bool SimulatedSerialDevice::WriteByte(uint8_t byte) {
    if (!Alive())
        return false;
    m_sim->Receive(&byte, 1, m_clock.NowMs());
    return true;
}

int SimulatedSerialDevice::Read(uint8_t* buffer, int max) {
    if (!Alive() || max <= 0)
        return 0;
    return int(m_sim->Read(buffer, size_t(max), m_clock.NowMs()));
}

int SimulatedSerialDevice::InputCount() {
    return Alive() ? int(m_sim->Available(m_clock.NowMs())) : 0;
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
