// UpdateFirmware against the simulator's two loaders on the virtual clock.
#include "service_object/claim_fixture.h"

namespace miraxld::testing {
namespace {

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

class LoaderPlatform : public TestPlatform {
  public:
    IClock& Clock() override { return quiet; }
    SleepOnlyClock quiet;
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
        bauds.clear();
        monitorOnLink = false;
    }
    // Returns the method's result; *rc and ResultCode start at -1 to show what was left alone.
    HResult Update(const Bytes& image, int32_t* rc) {
        if (!image.empty()) {
            platform.files.Put(kFile, image);
        }
        *rc = -1;
        so->m_resultCode = -1;
        return so->UpdateFirmware(kFile, rc);
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
    std::vector<uint32_t> bauds;  // of every open of the link
    bool monitorOnLink = false;   // an open without the port monitor kept off the link

  private:
    class Device : public displaysim::SimulatedSerialDevice {
      public:
        explicit Device(LoaderRig& rig)
            : SimulatedSerialDevice(rig.sim, rig.platform.quiet), m_rig(rig) {}
        bool Open(int port, uint32_t baud) override {
            const int attempt = static_cast<int>(m_rig.bauds.size());
            m_rig.bauds.push_back(baud);
            m_rig.monitorOnLink |= !m_rig.so || m_rig.so->m_loaderOwnsLink.load() == 0;
            return m_rig.m_failingOpens.count(attempt) == 0 &&
                   SimulatedSerialDevice::Open(port, baud);
        }

      private:
        LoaderRig& m_rig;
    };
    std::set<int> m_failingOpens;
};

// A display already in its loader (an update cut short) answers the first sync: no unlock.
TEST(FirmwareUpdate, BlockLoaderWritesTheImageFromTheTopAddressDown) {
    const struct {
        bool inLoader;
        Bytes start;
        std::vector<uint32_t> bauds;
    } rows[] = {
        {false, Cat({CMD_ISP_SYNC, CMD_ISP_SYNC, CMD_ISP_SYNC}), {115200, 9600, 115200, 9600}},
        {true, Cat({CMD_ISP_SYNC, CMD_ISP_ERASE, CMD_ISP_WRITE}), {115200, 9600}}};
    std::vector<uint32_t> addresses;
    for (uint32_t a = 0x7FF00; a >= 0x4000; a -= 0x100) {
        addresses.push_back(a);
    }
    const Bytes image = Image(kBlockImage);
    for (const auto& row : rows) {
        LoaderRig rig("RMX910", {}, row.inLoader);
        rig.so->m_currentWindow = 1;  // whose marquee runs
        rig.so->m_windows[1].marqueeType = rig.so->m_marqueeType = kMarqueeLeft;
        rig.so->CreateMarqueeTimer(1);
        int32_t rc = 0;
        EXPECT_EQ(rig.Update(image, &rc), kS_OK);
        EXPECT_EQ(std::pair(rc, rig.so->m_resultCode), std::pair(0, 0));
        EXPECT_TRUE(rig.platform.timers.Active().empty());
        const int32_t mirror = Read(*rig.so, kMarqueeTypeIndex);
        ASSERT_EQ(rig.so->SetPropertyNumber(5003, 1), 0);  // reloads the mirrors from window 1
        EXPECT_EQ(std::pair(mirror, Read(*rig.so, kMarqueeTypeIndex)), std::pair(0, 0))
            << "the update stopped the marquee";
        EXPECT_EQ(rig.Messages(), std::vector<std::u16string>{u"ISP Success!!!"});
        const Bytes sent = rig.sim->Received();
        EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 9), row.start);
        EXPECT_EQ(rig.sim->LoaderAddresses(), addresses);
        const Bytes loaded = rig.sim->LoadedImage();
        ASSERT_EQ(loaded.size(), kBlockImage);
        EXPECT_TRUE(std::equal(loaded.begin() + 0x4000, loaded.end(), image.begin() + 0x4000));
        EXPECT_EQ(rig.bauds, row.bauds);
        EXPECT_EQ(
            std::tuple(rig.monitorOnLink, rig.so->m_loaderOwnsLink.load(), rig.so->m_port.IsOpen()),
            std::tuple(false, 0, true));
    }
}

TEST(FirmwareUpdate, StreamLoaderSendsTheFirst58368BytesAfterItsHandshake) {
    const Bytes probe(4, 0x00);
    const struct {
        bool inLoader;
        Bytes before;  // everything sent ahead of the image
        std::vector<std::u16string> messages;
        int64_t waitedMs;  // the loader's waits and the display's answers, on the virtual clock
    } rows[] = {
        {false, Cat({probe, CMD_INITIALIZE, CMD_ISP_ENTER, CMD_ISP_UNLOCK_EX}), {}, 29944},
        {true, probe, {u"VFD was failed, Please restart the device then continue."}, 29214},
    };
    const Bytes image = Image(kStreamImage + 1000);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.inLoader ? "already in its loader" : "from normal mode");
        LoaderRig rig("KT910", {}, row.inLoader);
        int32_t rc = 0;
        EXPECT_EQ(rig.Update(image, &rc), kS_OK);
        EXPECT_EQ(std::pair(rc, rig.so->m_resultCode), std::pair(0, 0));
        EXPECT_EQ(rig.sim->Received(), Cat({row.before, std::span(image).first(kStreamImage)}));
        EXPECT_EQ(rig.Messages(), row.messages);
        EXPECT_FALSE(rig.bauds.empty() || rig.monitorOnLink);
        EXPECT_EQ(rig.sim->BaudRate(), 115200u);
        EXPECT_EQ(rig.platform.quiet.NowMs() - 1000, row.waitedMs);
    }
}

// The block loader fails with an extended code at each step; the stream loader gives up
// quietly until the image is under way. Images and files it cannot use never touch the link.
TEST(FirmwareUpdate, EachFailingStepGivesItsResult) {
    const std::vector<std::u16string> kNone, kNotFound{u"File Not Found"},
        kSuccess{u"ISP Success!!!"};
    const struct {
        const char* what;
        std::string model;
        std::set<std::string> failures;
        std::set<int> failingOpens;  // attempts: 0 at 115200, 1 at 9600, 2 at 115200, 3 at 9600
        HResult result;
        int32_t rc, extended;  // -1: left as it was
        const std::vector<std::u16string>& messages;
        size_t imageSize = 0;  // 0: the loader's image size; 1: no file
    } rows[] = {
        {"9600 baud before the unlock", "RMX910", {}, {1, 2}, 111, 111, 10012, kNone},
        {"no unlock answer", "RMX910", {"unlock"}, {}, 111, 111, 10015, kNone},
        {"unlock answer after 100 polls", "RMX910", {"unlock-late"}, {}, 111, 111, 10015, kNone},
        {"115200 baud after the unlock", "RMX910", {}, {2, 3}, 111, 111, 10013, kNone},
        {"no sync answer", "RMX910", {"sync"}, {}, 111, 111, 10014, kNone},
        {"no erase answer", "RMX910", {"erase"}, {}, 111, 111, 10016, kNone},
        {"9600 baud after the finish", "RMX910", {}, {3, 4}, 111, 111, 10017, kNone},
        {"no finish answer", "RMX910", {"finish"}, {}, 111, 111, 10018, kNone},
        {"unanswered blocks do not stop it", "RMX910", {"write"}, {}, 0, 0, -1, kSuccess},
        {"first open failing once is retried", "RMX910", {}, {1}, 0, 0, -1, kSuccess},
        {"no enter answer", "KT910", {"enter"}, {}, kS_FALSE, -1, -1, kNone},
        {"no announce answer", "KT910", {"announce"}, {}, kS_FALSE, -1, -1, kNone},
        {"no unlock answer", "KT910", {"unlock-ex"}, {}, kS_FALSE, -1, -1, kNone},
        {"no acknowledgement", "KT910", {"ack"}, {}, kS_OK, 111, 10020, kNone},
        {"block image one byte short", "RMX910", {}, {}, 106, 106, -1, kNone, kBlockImage - 1},
        {"stream image one byte short", "KT910", {}, {}, 106, 106, -1, kNone, kStreamImage - 1},
        {"no file", "RMX910", {}, {}, kS_OK, -1, -1, kNotFound, 1},
        {"a display without a loader", "KT110", {}, {}, kS_OK, -1, -1, kNone, kBlockImage},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LoaderRig rig(row.model, row.failures, false, row.failingOpens);
        rig.so->m_resultCodeExtended = -1;
        int32_t rc = 0;
        const size_t size = row.imageSize != 0     ? row.imageSize
                            : row.model == "KT910" ? kStreamImage
                                                   : kBlockImage;
        EXPECT_EQ(rig.Update(Image(size == 1 ? 0 : size), &rc), row.result);
        EXPECT_EQ(std::tuple(rc, rig.so->m_resultCode, rig.so->m_resultCodeExtended),
                  std::tuple(row.rc, row.rc, row.extended));
        EXPECT_EQ(rig.Messages(), row.messages);
        if (row.imageSize != 0) {
            EXPECT_TRUE(rig.sim->Received().empty());
            EXPECT_TRUE(rig.bauds.empty());
        }
    }
}

}  // namespace
}  // namespace miraxld::testing
