#include <array>
#include <functional>
#include <tuple>

#include "service_object/claim_fixture.h"

namespace miraxld::testing {
namespace {

struct OpenServiceTest : public ::testing::Test {
    ClaimRig rig;
    CPOSLDisplay so{rig.platform};
};

TEST_F(OpenServiceTest, RefusesKeysThatDoNotNameThisServiceObject) {
    rig.Key(u"KT910", u"", u"MIRAXLD.POSLDisplay");  // the version-independent ProgID is not enough
    for (std::u16string_view device : {u"KT910", u"Missing"}) {
        int32_t rc = -1;
        EXPECT_EQ(so.OpenService(u"LineDisplay", device, nullptr, &rc), 106);
        EXPECT_EQ(std::tuple(rc, so.m_resultCodeExtended, so.m_brand),
                  std::tuple(106, 10001, 0xFFFF));
    }
}

TEST_F(OpenServiceTest, OpensWithTheModelGeometryAndEveryOpeningValue) {
    rig.Key(u"Front", u"", u"QV.POSLDisplay.1");
    rig.Key(u"Front", u"Vid_Pid", u"1d9c_0a03");
    rig.Key(u"Front", u"DeviceRows", u"4");
    so.m_characterSetList = u"437,850,";  // as an earlier claim left it
    int32_t rc = -1;
    EXPECT_EQ(so.OpenService(u"", u"Front", nullptr, &rc), 0);  // DeviceClass is not examined
    EXPECT_EQ(std::tuple(rc, so.m_deviceModel, so.m_brand), std::tuple(0, u"KT910", 1));

    // clang-format off
    const std::pair<int32_t, int32_t> numbers[] = {
        {1, 0}, {3, 0}, {4, 0}, {6, 0}, {7, 0}, {8, 1013059}, {9, 2}, {11, 0}, {13, 0},
        {14, 2000}, {501, 1}, {5001, 1252}, {5002, 20}, {5003, 0}, {5004, 0}, {5005, 0},
        {5006, 1}, {5008, 20}, {5009, 0}, {5010, 2}, {5011, 4}, {5012, 0}, {5013, 300}, {5014, 0},
        {5015, 300}, {5016, 2}, {5017, 0}, {5018, 300}, {5019, 0}, {5020, 7}, {5021, 5},
        {5023, 320}, {5024, 32}, {5501, 1}, {5502, 1}, {5503, 998}, {5504, 1}, {5505, 1},
        {5506, 1}, {5507, 0}, {5508, 1}, {5509, 0}, {5510, 0}, {5511, 1}, {5512, 1},
        {2, -12345}, {5022, -12345}, {5025, -12345}, {999, -12345},  // not readable
    };
    const std::pair<int32_t, std::optional<std::u16string>> texts[] = {
        {1000003, u"Front"}, {1005003, u"2x20"}, {1005001, u""}, {1005002, u""}, {1000001, u""},
        {1000004, u"LineDisplay OPOS SO version 5.0.5.10 [by MIRAX 2015.02.25]"},
        {1000002, u"KT910[ver.0]-1d9c_0a03"}, {12, std::nullopt}};
    // clang-format on
    for (auto [index, expected] : numbers) {
        EXPECT_EQ(Read(so, index), expected) << "index " << index;
    }
    for (const auto& [index, expected] : texts) {
        std::optional<std::u16string> text;
        so.GetPropertyString(index, &text);
        EXPECT_EQ(text, expected) << "index " << index;
    }
}

TEST_F(OpenServiceTest, ReadsFollowTheCurrentWindowAndColumnsNeverReadsMoreThanTwenty) {
    // A model the catalogue does not know keeps the registry's geometry.
    rig.Key(u"Front", u"", kOwnProgId);
    rig.Key(u"Front", u"DeviceModel", u"Mystery");
    rig.Key(u"Front", u"DeviceRows", u"2");
    rig.Key(u"Front", u"DeviceColumns", u"20");
    ASSERT_EQ(so.OpenService(u"LineDisplay", u"Front", nullptr, nullptr), 0);
    const struct { int32_t width, reads; } rows[] = {{40, 20}, {21, 20}, {20, 20}, {7, 7}, {0, 0}};
    ASSERT_EQ(so.SetPropertyNumber(5003, 3), 0);
    for (const auto& row : rows) {
        so.m_windows[3].width = row.width;
        EXPECT_EQ(std::pair(Read(so, 5002), so.m_windows[3].width),
                  std::pair(row.reads, row.reads));
    }
    EXPECT_EQ(so.m_windows[0].width, 20) << "only the current window narrows";
    so.m_firmwareVersion = 236000;
    EXPECT_EQ(std::pair(Read(so, 5009), so.m_deviceDescriptors), std::pair(236000, 236000));
    EXPECT_EQ(so.SetPropertyNumber(5003, 5), 0);  // only five window records
    EXPECT_EQ(std::pair(Read(so, 6), Read(so, 5003)), std::pair(106, 3));
    EXPECT_EQ(so.SetPropertyNumber(2, 7), 106);  // no such property to write
    so.m_currentWindow = 77;                     // out of range: reads stay inside the window table
    EXPECT_EQ(Read(so, 5016), 2);
}

TEST_F(OpenServiceTest, MethodsThatOnlyReportSuccessSetTheResultCodes) {
    int32_t data = 7, character = 0;
    std::u16string text = u"keep";
    so.m_windows[1].At(2, 3).code[0] = u'Q';
    so.m_currentWindow = 1, so.m_cursorRow = 2, so.m_cursorColumn = 3;
    const struct {
        const char* name;
        std::function<HResult(CPOSLDisplay&, int32_t*)> call;
        bool clearsExtended;
    } rows[] = {
        {"CheckHealth", [](auto& s, auto rc) { return s.CheckHealth(1, rc); }, false},
        {"COFreezeEvents", [](auto& s, auto rc) { return s.COFreezeEvents(true, rc); }, false},
        {"ClearDescriptors", [](auto& s, auto rc) { return s.ClearDescriptors(rc); }, false},
        {"DefineGlyph", [](auto& s, auto rc) { return s.DefineGlyph(1, u"x", rc); }, false},
        {"DirectIO", [&](auto& s, auto rc) { return s.DirectIO(1, &data, &text, rc); }, false},
        {"SetDescriptor", [](auto& s, auto rc) { return s.SetDescriptor(1, 1, rc); }, true},
        {"ResetStatistics", [](auto& s, auto rc) { return s.ResetStatistics(u"", rc); }, true},
        {"SetBitmap", [](auto& s, auto rc) { return s.SetBitmap(1, u"a.bmp", 1, 1, 1, rc); }, true},
        {"ReadCharacterAtCursor",
         [&](auto& s, auto rc) { return s.ReadCharacterAtCursor(&character, rc); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        so.m_resultCode = 111;
        so.m_resultCodeExtended = 10004;
        int32_t rc = -1;
        const HResult hr = row.call(so, &rc);
        EXPECT_EQ(std::tuple(hr, rc, so.m_resultCode, so.m_resultCodeExtended),
                  std::tuple(0, 0, 0, row.clearsExtended ? 0 : 10004));
    }
    // DirectIO leaves its data alone; the character read is the one under the cursor.
    EXPECT_EQ(std::tuple(data, text, character), std::tuple(7, u"keep", u'Q'));
    // The statistics and the firmware comparison leave their outputs, even ResultCode, alone.
    so.m_resultCode = 106;
    int32_t rc = -5, result = -9;
    std::u16string buffer = u"untouched";
    EXPECT_EQ(so.UpdateStatistics(u"x", &rc), 0);
    EXPECT_EQ(so.RetrieveStatistics(&buffer), 0);
    EXPECT_EQ(std::tuple(rc, so.m_resultCode, buffer), std::tuple(-5, 106, u"untouched"));
    EXPECT_EQ(so.CompareFirmwareVersion(u"fw.bin", &result), 0);
    EXPECT_EQ(std::pair(result, so.m_resultCode), std::pair(-9, 0));
}

// A claimed, enabled display on COM3; `claim` false leaves it opened only.
std::unique_ptr<ClaimRig> Rig(displaysim::SimConfig display, bool claim = true) {
    auto rig = std::make_unique<ClaimRig>();
    rig->OwnBrandOnCom3(std::move(display));
    if (claim) {
        EXPECT_EQ(rig->Claim(), 0);
        EXPECT_EQ(rig->so->SetPropertyNumber(3, 1), 0);
    }
    rig->sim->ClearReceived();
    return rig;
}

TEST(PropertyWrite, DisablingDeletesEveryWindowTimer) {
    const struct {
        const char* what;
        bool claimed;
        int32_t number, resultCode, enabled;
        size_t timersLeft;
    } rows[] = {
        {"enabled again", true, 5, 0, 1, 6},
        {"disabled", true, 0, 0, 0, 0},
        {"not claimed: refused, still disabled", false, 1, 103, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto rig = Rig({}, row.claimed);
        CPOSLDisplay& so = *rig->so;
        so.m_marqueePeriod = so.m_blinkPeriod = 300;
        for (int w = 1; w <= 3; ++w) {
            so.CreateMarqueeTimer(w);
            so.CreateBlinkTimer(w);
            so.m_windows[w].marqueeSteps = 4;
            so.m_windows[w].lastAttribute = 1;
        }
        EXPECT_EQ(so.SetPropertyNumber(3, row.number), 0);
        EXPECT_EQ(std::tuple(so.m_resultCode, Read(so, 3), rig->platform.timers.Active().size(),
                             rig->sim->Received()),
                  std::tuple(row.resultCode, row.enabled, row.timersLeft, Bytes{}));
        for (int w = 1; w <= 3 && row.timersLeft == 0; ++w) {
            EXPECT_EQ(so.m_marqueeTimer[w] | so.m_blinkTimer[w], 0u) << "window " << w;
            EXPECT_EQ(so.m_windows[w].marqueeSteps, 0);
            EXPECT_EQ(so.m_windows[w].lastAttribute, 0);
        }
    }
}

// Window 0 of 2 x 20: rows 0 and 1, columns 0 to 20 (20: after the last, where text wraps).
TEST(PropertyWrite, CursorWritesMoveTheDisplayCursorInsideTheWindow) {
    auto rig = Rig({});
    CPOSLDisplay& so = *rig->so;
    const struct {
        int32_t index, number, resultCode, row, column;
    } rows[] = {
        {5004, 0, 0, 0, 0},    {5005, 1, 0, 1, 0},     {5004, 19, 0, 1, 19},
        {5004, 20, 0, 1, 20},  {5004, 21, 106, 1, 20}, {5004, -1, 106, 1, 20},
        {5005, 2, 106, 1, 20}, {5005, -1, 106, 1, 20}, {5005, 0, 0, 0, 20},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.index << " = " << row.number);
        rig->sim->ClearReceived();
        EXPECT_EQ(so.SetPropertyNumber(row.index, row.number), 0);
        EXPECT_EQ((std::array{so.m_resultCode, Read(so, 5005), Read(so, 5004), so.m_cursorRow,
                              so.m_cursorColumn}),
                  (std::array{row.resultCode, row.row, row.column, row.row, row.column}));
        EXPECT_EQ(rig->sim->Received(),
                  row.resultCode == 0 ? Cat({SetCursor(row.column, row.row).Bytes()}) : Bytes{});
    }
    // A window wider than its viewport takes cursor columns of its own picture.
    ASSERT_EQ(so.CreateWindow(1, 0, 1, 10, 1, 30, nullptr), 0);
    rig->sim->ClearReceived();
    EXPECT_EQ(so.SetPropertyNumber(5004, 25), 0);
    EXPECT_EQ(std::pair(so.m_resultCode, rig->sim->Received()),
              std::pair(0, Bytes{0x1F, 0x24, 26, 1}));
}

TEST(PropertyWrite, StoredValuesReadBackWithTheirFloors) {
    auto rig = Rig({});
    CPOSLDisplay& so = *rig->so;
    ASSERT_EQ(so.CreateWindow(0, 0, 1, 10, 1, 30, nullptr), 0);  // window 1
    rig->sim->ClearReceived();
    const struct {
        int32_t index, window, number, reads;
    } rows[] = {
        // clang-format off
        {4, 0, 7, 1}, {4, 0, 0, 0}, {11, 0, 2, 2}, {13, 0, 1, 1}, {5019, 0, 3, 3}, {5012, 1, 1, 1},
        {5013, 1, 50, 100}, {5013, 1, 450, 450}, {5018, 1, 0, 100}, {5018, 1, 120, 120},
        {5015, 1, 150, 200}, {5015, 1, 250, 250}, {5015, 0, 700, 300}, {5017, 1, 999, 0},
        {5006, 0, 65537, 1}, {5006, 0, 65535, -1}, {5006, 0, 0x18000, -32768}, {5006, 0, -2, -2},
        {5007, 0, 3, 3}, {5007, 0, 0x104, 0x104}, {5007, 0, -1, -1},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.index << " = " << row.number);
        ASSERT_EQ(so.SetPropertyNumber(5003, row.window), 0);
        EXPECT_EQ(so.SetPropertyNumber(row.index, row.number), 0);
        EXPECT_EQ((std::pair{so.m_resultCode, Read(so, row.index)}), std::pair(0, row.reads));
    }
    // Only the brightness reaches the display, as its low byte.
    EXPECT_EQ(rig->sim->Received(), (Bytes{0x1F, 0x58, 3, 0x1F, 0x58, 4, 0x1F, 0x58, 0xFF}));

    // MapCharacterSet is never cleared by a write.
    for (auto [number, mapped] : {std::pair{0, 0}, {-3, 1}, {0, 1}}) {
        EXPECT_EQ(so.SetPropertyNumber(5022, number), 0);
        EXPECT_EQ(so.m_mapCharacterSet, mapped) << number;
    }
}

TEST(PropertyWrite, UnitWaitRecreatesARunningMarqueeTimerWithTheNewPeriod) {
    auto rig = Rig({});
    CPOSLDisplay& so = *rig->so;
    ASSERT_EQ(so.CreateWindow(0, 0, 1, 10, 1, 30, nullptr), 0);
    ASSERT_EQ(so.DisplayText(u"running", 0, nullptr), 0);
    ASSERT_EQ(so.SetPropertyNumber(5014, kMarqueeLeft), 0);
    for (const auto& [waitFloor, number, period] :
         {std::array{100, 700, 700}, {100, 150, 200}, {600, 300, 600}}) {
        SCOPED_TRACE(number);
        so.m_marqueeWaitFloor = waitFloor;
        const TimerHandle before = so.m_marqueeTimer[1];
        const int64_t start = rig->platform.clock.NowMs();
        EXPECT_EQ(so.SetPropertyNumber(5015, number), 0);
        EXPECT_GE(rig->platform.clock.NowMs() - start, 100) << "a running step may end first";
        EXPECT_FALSE(rig->platform.timers.Fire(before));
        const auto active = rig->platform.timers.Active();
        ASSERT_EQ(active.size(), 1u);
        EXPECT_EQ(std::tuple(active[0].handle, active[0].dueMs, active[0].periodMs),
                  std::tuple(so.m_marqueeTimer[1].load(), 10, period));
    }
    ASSERT_EQ(so.SetPropertyNumber(5014, kMarqueeNone), 0);
    EXPECT_EQ(so.SetPropertyNumber(5015, 900), 0);
    EXPECT_TRUE(rig->platform.timers.Active().empty()) << "no marquee, no timer";
}

// A KT310 of modes 3 x 32, 4 x 32 and 2 x 20, claimed in mode 3, a marquee in window 1.
TEST(PropertyWrite, ScreenModeResizesToAReportedModeAndAlwaysSelectsIt) {
    const struct {
        const char* what;
        bool claimed, enabled;
        int32_t mode, rc, rows, columns;
        bool sent;
    } rows[] = {
        {"not claimed", false, false, 2, 103, 2, 20, false},
        {"not enabled", true, false, 2, 105, 2, 20, false},
        {"reported mode", true, true, 2, 0, 4, 32, true},
        {"unreported mode keeps the size", true, true, 9, 0, 2, 20, true},
        {"mode 0, never reported, keeps the size", true, true, 0, 0, 2, 20, true},
        {"a mode of an earlier display keeps the size", true, true, 7, 0, 2, 20, true},
        {"the mode in force only stops the timers", true, true, 3, 0, 2, 20, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto rig = Rig(Sim("KT310", 102), false);
        CPOSLDisplay& so = *rig->so;
        so.m_screenModes.back() = {7, 1, 16};  // left by an earlier claim of another display
        if (row.claimed) {
            ASSERT_EQ(rig->Claim(), 0);
            ASSERT_EQ(so.SetPropertyNumber(3, row.enabled ? 1 : 0), 0);
        }
        if (row.enabled) {
            ASSERT_EQ(so.CreateWindow(1, 0, 1, 10, 1, 30, nullptr), 0);
            ASSERT_EQ(so.DisplayText(u"Hello", kDispDtBlink, nullptr), 0);
            ASSERT_EQ(so.SetPropertyNumber(5014, kMarqueeLeft), 0);
            ASSERT_EQ(rig->platform.timers.Active().size(), 2u);  // marquee and blink
        }
        rig->sim->ClearReceived();
        EXPECT_EQ(so.SetPropertyNumber(5025, row.mode), row.rc);
        EXPECT_EQ((std::array{so.m_resultCode, Read(so, 5010), Read(so, 5008)}),
                  (std::array{row.rc, row.rows, row.columns}));
        EXPECT_TRUE(rig->platform.timers.Active().empty());
        const Bytes got = rig->sim->Received();
        if (!row.sent) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        const Bytes select = Cat({SelectScreenMode(static_cast<uint8_t>(row.mode)).Bytes()});
        ASSERT_GT(got.size(), select.size());
        EXPECT_EQ(got.front(), CMD_HOME[0]) << "the blanked window is redrawn first";
        EXPECT_EQ(Bytes(got.end() - select.size(), got.end()), select);
        const WindowRecord& whole = so.m_windows[0];
        EXPECT_EQ(
            (std::array{Read(so, 5003), whole.height, whole.viewportHeight, so.m_rows, whole.width,
                        whole.viewportWidth, so.m_columns}),
            (std::array{0, row.rows, row.rows, row.rows, row.columns, row.columns, row.columns}));
        EXPECT_EQ(rig->sim->ScreenLines(), std::vector(row.rows, std::string(row.columns, ' ')));
    }
}

}  // namespace
}  // namespace miraxld::testing
