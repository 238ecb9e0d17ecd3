// libFuzzer target: the claim of each display family against a display that answers every query
// with bytes and delays the fuzzer chooses, on a virtual clock. The claim must end within a bound
// of virtual time with a defined result, a geometry the storage holds and a CharacterSetList made
// only of code pages the display offered or a built-in table holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "display_sim.h"
#include "doubles/test_platform.h"
#include "fuzz_check.h"
#include "service_object/code_page_slot_tables.h"
#include "service_object/pos_ldisplay.h"

using namespace miraxld;

const struct {
    const char* model;       // also the device name
    const char16_t* usbKey;  // the last digit of an OEM display's USB product, else null
} kFamilies[] = {{"KT110", nullptr}, {"KT910", nullptr}, {"KT310", nullptr},  {"GQ310", nullptr},
                 {"ZN610", nullptr}, {"KT710", nullptr}, {"RMX910", nullptr}, {"KT110", u"1"},
                 {"KT910", u"3"},    {"RMX110", u"5"},   {"RMX910", u"6"}};
// The virtual clock, and no monitor thread: the claim is all there is.
struct FuzzPlatform : testing::TestPlatform, IThreadStarter {
    IClock& Clock() override { return time; }
    IThreadStarter& Threads() override { return *this; }
    bool Start(std::function<void()>) override { return false; }
    testing::SleepOnlyClock time;
};

// True when the digits of `n` appear in this order among `digits`.
static bool AmongDigits(int32_t n, const std::string& digits) {
    const std::string text = std::to_string(n);
    size_t at = 0;
    for (char c : digits) {
        at += at < text.size() && c == text[at] ? 1 : 0;
    }
    return at == text.size();
}

static bool Offered(int32_t page, const std::string& listed) {
    static const std::set<int32_t> builtIn = [] {
        std::set<int32_t> pages = {437, 850, 1252, 997};  // the registry's list
        for (auto table : {Kt910EarlyCodePages(), Rmx910EarlyCodePages(), Kt110EarlyCodePages()}) {
            pages.insert(table.begin(), table.end());
        }
        for (auto table : {WideCodePages(), Kt110LaterCodePages(), Kt910EarlyDoubleByte()}) {
            for (const CodePageSlot& slot : table) {
                pages.insert(slot.codePage);
            }
        }
        return pages;
    }();
    // 1001 is the display's other name for 9320.
    return builtIn.count(page) != 0 || AmongDigits(page, listed) ||
           (page == 9320 && AmongDigits(1001, listed));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const auto& family =
        kFamilies[input.ConsumeIntegralInRange<size_t>(0, std::size(kFamilies) - 1)];
    const std::u16string device(family.model, family.model + std::strlen(family.model));
    FuzzPlatform platform;
    const std::u16string key = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\" + device;
    const std::u16string rows(1, static_cast<char16_t>(u'0' + input.ConsumeIntegralInRange(0, 9)));
    const std::u16string values[][2] = {
        {u"", family.usbKey ? u"QV.POSLDisplay.1" : u"MIRAXLD.POSLDisplay.1"},
        {u"DeviceModel", device},
        {u"Port", u"COM1"},
        {u"BaudRate", u"9600"},
        {u"CodepageList", u"437,850,,1252,997"},
        {u"CodepageCmdIndex", u"0,2,,16"},
        {u"DeviceRows", rows},
        {u"DeviceColumns", rows + u"0"}};
    for (const auto& [name, value] : values) {
        platform.registry.SetString(key, name, value);
    }
    if (family.usbKey != nullptr) {
        platform.registry.SetString(u"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1d9c&Pid_0a0" +
                                        std::u16string(family.usbKey) + u"\\A\\Device Parameters",
                                    u"PortName", u"COM1");
        platform.registry.SetString(u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"\\Device\\VCP0", u"COM1");
    }

    displaysim::SimConfig config;
    config.model = family.model;
    // The display's own answers (when the fuzzer takes them) report one screen mode of any size.
    config.activeScreenMode = input.ConsumeIntegralInRange<int>(1, 9);
    config.screenModes = {{config.activeScreenMode, input.ConsumeIntegralInRange<int>(0, 200),
                           input.ConsumeIntegralInRange<int>(0, 200)}};
    // Every byte that can arrive while the list is read: a late version or readiness answer
    // looks like a list entry to the claim as much as to anyone.
    std::string listed;
    size_t answered = 0;
    config.answer = [&](const std::string& kind, const std::vector<uint8_t>& usual) {
        std::vector<uint8_t> bytes =
            input.ConsumeBool()
                ? usual
                : input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 40));
        std::vector<std::pair<int, uint8_t>> timed;
        const bool inList = kind == "version" || kind == "ready" || kind == "codepages";
        for (int delay = input.ConsumeIntegralInRange<int>(0, 700); uint8_t b : bytes) {
            timed.emplace_back(delay, b);
            delay += input.ConsumeIntegralInRange<int>(0, 30);
            // The letter K names the Japanese table 9320.
            listed += !inList ? "" : (b == 'K' || b == 'k') ? "9320" : std::string(1, char(b));
        }
        answered += bytes.size() + 1;
        return timed;
    };
    auto sim = std::make_shared<displaysim::DisplaySimulator>(config);
    platform.serialFactory = [&] { return displaysim::MakeDevice(sim, platform.time); };

    CPOSLDisplay so(platform);
    Check(so.OpenService(u"LineDisplay", device, nullptr, nullptr) == 0);
    const int64_t start = platform.time.NowMs();
    int32_t rc = -1;
    so.ClaimDevice(0, &rc);
    // The fixed waits (version 280 ms, readiness 3 s, three settled replies of up to 5 s) and
    // one list wait of about 500 ms per byte the display sent.
    Check(platform.time.NowMs() - start <= 20000 + 502 * static_cast<int64_t>(answered));
    Check(so.m_claimed == (rc == 0) && (rc == 0 || (rc == 111 && so.m_resultCodeExtended >= 10005 &&
                                                    so.m_resultCodeExtended <= 10007)));

    const WindowRecord& whole = so.m_windows[0];
    Check(so.m_deviceRows >= 0 && so.m_deviceRows <= kScreenRows && so.m_deviceColumns >= 0 &&
          so.m_deviceColumns <= kWindowMaxColumns);
    Check(whole.height >= 0 && whole.height <= kWindowMaxRows && whole.width >= 0 &&
          whole.width <= kWindowMaxColumns);
    Check(whole.viewportHeight == so.m_deviceRows && whole.viewportWidth == so.m_deviceColumns);

    std::string item;
    for (char16_t c : so.m_characterSetList + u",") {
        if (c != u',') {
            Check(c >= u'0' && c <= u'9' && item.size() < 9);
            item += static_cast<char>(c);
        } else if (!item.empty()) {
            Check(Offered(std::stoi(item), listed));
            item.clear();
        }
    }
    Check(so.m_characterSet == platform.CodePages().AnsiCodePage() ||
          Offered(so.m_characterSet, listed));
    so.CloseService(nullptr);
    return 0;
}
