// UpdateFirmware against the simulator's two loaders on the virtual clock: complete updates and
// the bytes they send, the display already in its loader, every failing step and its result,
// and the images and files refused before the link is touched.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "display/commands.h"
#include "display_sim.h"
#include "doubles/test_platform.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld::testing {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr char16_t kFile[] = u"C:\\firmware\\display.bin";
constexpr size_t kBlockImage = 0x80000;
constexpr size_t kStreamImage = 58368;

Bytes Image(size_t size) {
    Bytes image(size);
    for (size_t i = 0; i < size; ++i) {
        image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    }
    return image;
}

Bytes Cat(std::initializer_list<CommandBytes> parts) {
    Bytes out;
    for (CommandBytes part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

class LoaderPlatform : public TestPlatform {
  public:
    IClock& Clock() override { return quiet; }
    SleepOnlyClock quiet;
};

struct OpenAttempt {
    uint32_t baud;
    bool linkHeld;  // the port monitor was kept off the link
};

// A service object over a simulated display, its link open at 9600 baud as a claim leaves it.
class LoaderRig {
  public:
    explicit LoaderRig(const std::string& model, std::set<std::string> failures = {},
                       bool inLoader = false, std::set<int> failingOpens = {})
        : m_failingOpens(std::move(failingOpens)) {
        displaysim::SimConfig config;
        config.model = model;
        config.loaderFailures = std::move(failures);
        config.startInLoader = inLoader;
        sim = std::make_shared<displaysim::DisplaySimulator>(config);
        platform.serialFactory = [this] { return std::make_unique<Device>(*this); };
        so = std::make_unique<CPOSLDisplay>(platform);
        so->m_commandFamily = model == "KT910" ? 1 : model == "RMX910" ? 2 : 0;
        so->m_portNumber = 3;
        so->m_port.Open(3, 9600);
        attempts.clear();
        sim->ClearReceived();
    }
    // Returns the method's result; *rc and ResultCode start at -1 to show what was left alone.
    HResult Update(const Bytes& image, int32_t* rc) {
        platform.files.Put(kFile, image);
        *rc = -1;
        so->m_resultCode = -1;
        return so->UpdateFirmware(kFile, rc);
    }
    std::vector<uint32_t> Bauds() const {
        std::vector<uint32_t> bauds;
        for (const OpenAttempt& a : attempts) {
            bauds.push_back(a.baud);
        }
        return bauds;
    }
    bool AlwaysHeld() const {
        for (const OpenAttempt& a : attempts) {
            if (!a.linkHeld) {
                return false;
            }
        }
        return true;
    }
    std::vector<std::u16string> Messages() const {
        std::vector<std::u16string> texts;
        for (const auto& m : platform.messages.Shown()) {
            EXPECT_EQ(m.caption, u"SO:UpdateFirmware");
            texts.push_back(m.text);
        }
        return texts;
    }

    LoaderPlatform platform;
    std::shared_ptr<displaysim::DisplaySimulator> sim;
    std::unique_ptr<CPOSLDisplay> so;
    std::vector<OpenAttempt> attempts;

  private:
    class Device : public displaysim::SimulatedSerialDevice {
      public:
        explicit Device(LoaderRig& rig)
            : SimulatedSerialDevice(rig.sim, rig.platform.quiet), m_rig(rig) {}
        bool Open(int port, uint32_t baud) override {
            const int attempt = static_cast<int>(m_rig.attempts.size());
            m_rig.attempts.push_back({baud, m_rig.so && m_rig.so->m_loaderOwnsLink.load() != 0});
            return m_rig.m_failingOpens.count(attempt) == 0 &&
                   SimulatedSerialDevice::Open(port, baud);
        }

      private:
        LoaderRig& m_rig;
    };
    std::set<int> m_failingOpens;
};

TEST(FirmwareUpdate, BlockLoaderWritesTheImageFromTheTopAddressDown) {
    LoaderRig rig("RMX910");
    rig.so->m_currentWindow = 1;  // whose marquee runs
    rig.so->m_windows[1].marqueeType = rig.so->m_marqueeType = kMarqueeLeft;
    rig.so->CreateMarqueeTimer(1);
    const Bytes image = Image(kBlockImage);
    int32_t rc = 0;
    EXPECT_EQ(rig.Update(image, &rc), kS_OK);
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(rig.platform.timers.Active().empty());
    int32_t mirror = -1, record = -1;
    rig.so->GetPropertyNumber(5014, &mirror);
    ASSERT_EQ(rig.so->SetPropertyNumber(5003, 1), 0);  // reloads the mirrors from window 1
    rig.so->GetPropertyNumber(5014, &record);
    EXPECT_EQ(std::pair(mirror, record), std::pair(0, 0)) << "the update stopped the marquee";
    EXPECT_EQ(rig.so->m_resultCode, 0);
    EXPECT_EQ(rig.Messages(), std::vector<std::u16string>{u"ISP Success!!!"});

    std::vector<uint32_t> addresses;
    for (uint32_t a = 0x7FF00; a >= 0x4000; a -= 0x100) {
        addresses.push_back(a);
    }
    EXPECT_EQ(rig.sim->LoaderAddresses(), addresses);
    const Bytes loaded = rig.sim->LoadedImage();
    ASSERT_EQ(loaded.size(), kBlockImage);
    EXPECT_TRUE(std::equal(loaded.begin() + 0x4000, loaded.end(), image.begin() + 0x4000));
    EXPECT_EQ(Bytes(loaded.begin(), loaded.begin() + 0x4000), Bytes(0x4000, 0xFF));

    const Bytes sent = rig.sim->Received();
    const Bytes unlock = Cat({CMD_ISP_UNLOCK});
    EXPECT_NE(std::search(sent.begin(), sent.end(), unlock.begin(), unlock.end()), sent.end());
    EXPECT_EQ(rig.Bauds(), (std::vector<uint32_t>{115200, 9600, 115200, 9600}));
    EXPECT_TRUE(rig.AlwaysHeld());
    EXPECT_EQ(rig.so->m_loaderOwnsLink.load(), 0);
    EXPECT_TRUE(rig.so->m_port.IsOpen());
    EXPECT_EQ(rig.sim->BaudRate(), 9600u);
}

TEST(FirmwareUpdate, BlockLoaderAlreadyAnsweringSkipsTheUnlock) {
    LoaderRig rig("RMX910", {}, true);
    int32_t rc = 0;
    EXPECT_EQ(rig.Update(Image(kBlockImage), &rc), kS_OK);
    EXPECT_EQ(rc, 0);
    const Bytes sent = rig.sim->Received();
    // One sync, answered, then straight to the erase.
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 9),
              Cat({CMD_ISP_SYNC, CMD_ISP_ERASE, CMD_ISP_WRITE}));
    EXPECT_EQ(rig.sim->LoaderBlocks(), 1984);
    EXPECT_EQ(rig.Bauds(), (std::vector<uint32_t>{115200, 9600}));
}

TEST(FirmwareUpdate, BlockLoaderFailuresGiveTheirExtendedCodes) {
    struct Row {
        const char* what;
        std::set<std::string> failures;
        std::set<int> failingOpens;  // attempts: 0 at 115200, 1 at 9600, 2 at 115200, 3 at 9600
        int32_t extended;
    };
    const Row rows[] = {
        {"9600 baud before the unlock", {}, {1, 2}, 10012},
        {"no unlock answer", {"unlock"}, {}, 10015},
        {"unlock answer after 100 polls", {"unlock-late"}, {}, 10015},
        {"115200 baud after the unlock", {}, {2, 3}, 10013},
        {"no sync answer", {"sync"}, {}, 10014},
        {"no erase answer", {"erase"}, {}, 10016},
        {"9600 baud after the finish", {}, {3, 4}, 10017},
        {"no finish answer", {"finish"}, {}, 10018},
        {"unanswered blocks do not stop it", {"write"}, {}, 0},
        {"first open failing once is retried", {}, {1}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LoaderRig rig("RMX910", row.failures, false, row.failingOpens);
        int32_t rc = 0;
        const HResult result = rig.Update(Image(kBlockImage), &rc);
        const int32_t expected = row.extended == 0 ? 0 : 111;
        EXPECT_EQ(result, expected);
        EXPECT_EQ(rc, expected);
        EXPECT_EQ(rig.so->m_resultCode, expected);
        if (row.extended != 0) {
            EXPECT_EQ(rig.so->m_resultCodeExtended, row.extended);
            EXPECT_TRUE(rig.Messages().empty());
        }
    }
}

TEST(FirmwareUpdate, StreamLoaderSendsTheFirst58368BytesAfterItsHandshake) {
    struct Row {
        bool inLoader;
        Bytes before;  // everything sent ahead of the image
        std::vector<std::u16string> messages;
    };
    const Bytes probe(4, 0x00);
    const Row rows[] = {
        {false, Cat({probe, CMD_INITIALIZE, CMD_ISP_ENTER, CMD_ISP_UNLOCK_EX}), {}},
        {true, probe, {u"VFD was failed, Please restart the device then continue."}},
    };
    const Bytes image = Image(kStreamImage + 1000);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.inLoader ? "already in its loader" : "from normal mode");
        LoaderRig rig("KT910", {}, row.inLoader);
        int32_t rc = 0;
        EXPECT_EQ(rig.Update(image, &rc), kS_OK);
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(rig.so->m_resultCode, 0);
        Bytes expected = row.before;
        expected.insert(expected.end(), image.begin(), image.begin() + kStreamImage);
        EXPECT_EQ(rig.sim->Received(), expected);
        EXPECT_EQ(rig.Messages(), row.messages);
        EXPECT_TRUE(rig.AlwaysHeld());
        EXPECT_EQ(rig.sim->BaudRate(), 115200u);
    }
}

TEST(FirmwareUpdate, StreamLoaderStopsOrFailsWhereTheDisplayFallsSilent) {
    struct Row {
        const char* failure;
        HResult result;
        int32_t rc;  // -1: left as it was
    };
    const Row rows[] = {
        {"enter", kS_FALSE, -1},
        {"announce", kS_FALSE, -1},
        {"unlock-ex", kS_FALSE, -1},
        {"ack", kS_OK, 111},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failure);
        LoaderRig rig("KT910", {row.failure});
        rig.so->m_resultCodeExtended = -1;
        int32_t rc = 0;
        EXPECT_EQ(rig.Update(Image(kStreamImage), &rc), row.result);
        EXPECT_EQ(rc, row.rc);
        EXPECT_EQ(rig.so->m_resultCode, row.rc);
        EXPECT_EQ(rig.so->m_resultCodeExtended, row.rc == 111 ? 10020 : -1);
    }
}

TEST(FirmwareUpdate, RefusesBeforeTheLinkIsTouched) {
    struct Row {
        const char* model;
        size_t imageSize;  // 0: no file
        HResult result;
        int32_t rc;
        std::vector<std::u16string> messages;
    };
    const Row rows[] = {
        {"RMX910", kBlockImage - 1, 106, 106, {}},
        {"KT910", kStreamImage - 1, 106, 106, {}},
        {"RMX910", 0, kS_OK, -1, {u"File Not Found"}},
        {"KT110", kBlockImage, kS_OK, -1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.model << ", " << row.imageSize << " bytes");
        LoaderRig rig(row.model);
        int32_t rc = -1;
        HResult result = 0;
        if (row.imageSize == 0) {
            result = rig.so->UpdateFirmware(u"C:\\missing.bin", &rc);
        } else {
            result = rig.Update(Image(row.imageSize), &rc);
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(rc, row.rc);
        EXPECT_EQ(rig.Messages(), row.messages);
        EXPECT_TRUE(rig.sim->Received().empty());
        EXPECT_TRUE(rig.attempts.empty());
    }
}

}  // namespace
}  // namespace miraxld::testing
