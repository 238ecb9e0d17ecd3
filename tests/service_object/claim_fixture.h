// Service objects over the in-process display simulator. Time is virtual; the monitor thread a
// claim starts is held before its first pass, so nothing else touches the clock, link or wire.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "display/commands.h"
#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<CommandBytes> parts) {
    Bytes out;
    for (CommandBytes p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline constexpr char16_t kDeviceBranch[] = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\";
inline constexpr char16_t kOwnProgId[] = u"MIRAXLD.POSLDisplay.1";
inline constexpr char16_t kOemProgId[] = u"QV.POSLDisplay.1";
inline constexpr int32_t kMarqueeTypeIndex = 5014;  // the MarqueeType property

// A display of `model` with `firmware` that leaves the `silent` queries unanswered.
inline displaysim::SimConfig Sim(std::string model, int firmware,
                                 std::set<std::string> silent = {}) {
    displaysim::SimConfig c;
    c.model = std::move(model);
    c.firmware = firmware;
    c.silentQueries = std::move(silent);
    return c;
}

// Controls are kept per simulator address, which a new simulator may reuse: each test sets them.
inline void SetPortMissing(displaysim::DisplaySimulator& sim, bool missing) {
    auto& c = displaysim::SimulatedSerialDevice::ControlsOf(&sim);
    std::lock_guard lock(c.mutex);
    c.portMissing = missing;
}

using PortOpen = std::pair<int, uint32_t>;                              // port number, baud rate
using Values = std::vector<std::pair<std::u16string, std::u16string>>;  // device key values

// The simulator's device, refusing port numbers that no system has (COM0) and recording opens.
class PortRecordingDevice : public displaysim::SimulatedSerialDevice {
  public:
    PortRecordingDevice(std::shared_ptr<displaysim::DisplaySimulator> sim, IClock& clock,
                        std::vector<PortOpen>* opens)
        : SimulatedSerialDevice(std::move(sim), clock), m_opens(opens) {}
    bool Open(int port, uint32_t baud) override {
        if (port < 1 || !SimulatedSerialDevice::Open(port, baud)) {
            return false;
        }
        m_opens->emplace_back(port, baud);
        return true;
    }

  private:
    std::vector<PortOpen>* m_opens;
};

// Monitor threads that start only once released; sleeps rounded up to whole ticks of `tickMs`,
// as on a system timer of coarse resolution.
class ClaimPlatform : public TestPlatform, public IClock, public IThreadStarter {
  public:
    IClock& Clock() override { return *this; }
    IThreadStarter& Threads() override { return *this; }
    int64_t NowMs() override { return clock.NowMs(); }
    void SleepMs(int ms) override { clock.SleepMs((ms + tickMs - 1) / tickMs * tickMs); }
    bool Start(std::function<void()> body) override {
        return threads.Start([this, body = std::move(body)] {
            released.wait(false);
            body();
        });
    }
    void Release() {
        released = true;
        released.notify_all();
    }
    int tickMs = 1;
    std::atomic<bool> released = false;
};

// A numeric property as GetPropertyNumber leaves it; -12345 if it is not written.
inline int32_t Read(CPOSLDisplay& so, int32_t index) {
    int32_t value = -12345;
    so.GetPropertyNumber(index, &value);
    return value;
}

// One service object, its platform and its display; tables build one rig per row.
template <class Platform>
class ClaimRigOn {
  public:
    ~ClaimRigOn() {
        platform.Release();
        if (so) {
            so->CloseService(nullptr);
        }
        // The starter's bookkeeping runs after the body; it ends before the platform goes.
        for (int i = 0; i < 2000 && platform.threads.Running() != 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void Display(displaysim::SimConfig config, bool portMissing = false) {
        sim = std::make_shared<displaysim::DisplaySimulator>(std::move(config));
        SetPortMissing(*sim, portMissing);
        platform.serialFactory = [this] {
            return std::make_unique<PortRecordingDevice>(sim, platform.clock, &opens);
        };
    }
    void Key(std::u16string_view device, std::u16string_view name, std::u16string_view value) {
        platform.registry.SetString(kDeviceBranch + std::u16string(device), name, value);
    }
    // A USB instance of `vidPid` on `port`, listed by the system as present.
    void AttachUsb(std::u16string_view vidPid, std::u16string_view port) {
        platform.registry.SetString(
            u"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_" + std::u16string(vidPid.substr(0, 4)) +
                u"&Pid_" + std::u16string(vidPid.substr(5)) + u"\\A\\Device Parameters",
            u"PortName", port);
        platform.registry.SetString(u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"\\Device\\VCP0", port);
    }
    // The device key of `display`'s model naming `progId`, with `values`; the object opened on it.
    void Setup(displaysim::SimConfig display, std::u16string_view progId, const Values& values,
               bool portMissing = false) {
        const std::u16string model(display.model.begin(), display.model.end());
        Key(model, u"", progId);
        for (const auto& [name, value] : values) {
            Key(model, name, value);
        }
        Display(std::move(display), portMissing);
        Open(model);
    }
    // An own-brand display of `model` on COM3 at 9600 baud, 2 x 20 unless it reports its size.
    void OwnBrandOnCom3(displaysim::SimConfig display) {
        Setup(std::move(display), kOwnProgId,
              {{u"Port", u"COM3"},
               {u"BaudRate", u"9600"},
               {u"DeviceRows", u"2"},
               {u"DeviceColumns", u"20"}});
    }
    void Open(std::u16string_view device) {
        so = std::make_unique<CPOSLDisplay>(platform);
        ASSERT_EQ(so->OpenService(u"LineDisplay", device, &target, nullptr), 0);
    }
    // The claim's result; the virtual time it took goes to claimMs.
    int32_t Claim(int32_t timeout = 1000) {
        int32_t rc = -1;
        const int64_t start = platform.clock.NowMs();
        EXPECT_EQ(so->ClaimDevice(timeout, &rc), rc);
        claimMs = platform.clock.NowMs() - start;
        return rc;
    }
    bool LinkOpen() const { return so->m_port.IsOpen(); }

    Platform platform;
    RecordingEventTarget target;
    std::shared_ptr<displaysim::DisplaySimulator> sim;
    std::vector<PortOpen> opens;
    std::unique_ptr<CPOSLDisplay> so;
    int64_t claimMs = 0;
};
using ClaimRig = ClaimRigOn<ClaimPlatform>;

}  // namespace miraxld::testing
