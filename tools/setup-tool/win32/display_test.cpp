#include "win32/display_test.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "control_object.h"
#include "core/device_entry.h"
#include "core/result_meanings.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

using testco::CallResult;

constexpr wchar_t kProgId[] = L"MIRAXLD.POSLDisplay.1";
// The claim keeps its own fixed waits whatever the timeout says; this is what POS applications
// commonly pass.
constexpr wchar_t kClaimTimeout[] = L"1000";
// A KT710 is never asked its firmware version, so 0 is no silence there.
constexpr std::wstring_view kUnaskedModel = L"KT710";

// The property indices the test reads and writes.
enum Property : long {
    kDeviceEnabled = 3,
    kResultCode = 6,
    kResultCodeExtended = 7,
    kPowerState = 14,
    kDeviceColumns = 5008,
    kDeviceDescriptors = 5009,
    kDeviceDescription = 1000002,
    kCharacterSetList = 1005001,
};

std::string Utf8(std::wstring_view text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

class TestRun {
  public:
    TestRun(TestReport& report, std::wstring deviceName)
        : m_report(report), m_name(std::move(deviceName)) {}

    void Run() {
        const auto start = Clock::now();
        const HRESULT created = m_co.Create(kProgId);
        Record({"create " + Utf8(kProgId),
                {},
                0,
                0,
                false,
                Since(start),
                FAILED(created) ? "cannot create it (" + Hex(created) +
                                      "): install the service object or regsvr32 MIRAXLD.dll"
                                : ""});
        if (SUCCEEDED(created)) {
            Session();
        }
        Conclude();
    }

  private:
    using Clock = std::chrono::steady_clock;

    static int64_t Since(Clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }

    void Session() {
        if (!Method("OpenService LineDisplay " + Utf8(m_name), L"OpenService",
                    {L"LineDisplay", m_name})) {
            Method("CloseService", L"CloseService", {});
            return;
        }
        if (Method("ClaimDevice " + Utf8(kClaimTimeout), L"ClaimDevice", {kClaimTimeout})) {
            if (Method("DeviceEnabled = 1", L"SetPropertyNumber",
                       {std::to_wstring(kDeviceEnabled), L"1"})) {
                ShowPattern();
            }
            ReadString("DeviceDescription", kDeviceDescription);
            ReadString("CharacterSetList", kCharacterSetList);
            const long power = ReadNumber("PowerState", kPowerState).value_or(0);
            m_report.steps.back().value += " (" + std::string(PowerStateName(power)) + ")";
            Method("ReleaseDevice", L"ReleaseDevice", {});
        }
        Method("CloseService", L"CloseService", {});
    }

    // The device name on the first line, the firmware version as the object reports it on the
    // second, each cut to the display's width.
    void ShowPattern() {
        const long firmware = ReadNumber("DeviceDescriptors", kDeviceDescriptors).value_or(0);
        if (firmware == 0 && m_name != kUnaskedModel) {
            m_report.steps.back().failure =
                "the display did not answer the firmware version query: check its cable, its "
                "power and the baud rate";
            return;
        }
        const long columns = ReadNumber("DeviceColumns", kDeviceColumns).value_or(0);
        const auto fit = [&](std::wstring text) {
            return columns > 0 ? text.substr(0, static_cast<size_t>(columns)) : text;
        };
        const std::wstring lines[] = {fit(m_name), fit(L"Firmware " + std::to_wstring(firmware))};
        if (!Method("ClearText", L"ClearText", {})) {
            return;
        }
        for (size_t row = 0; row < 2; ++row) {
            std::string label = "DisplayTextAt ";  // appended: GCC 12 misreads "x" + string&&
            label += std::to_string(row) + " 0 ";
            label += Quoted(std::u16string(lines[row].begin(), lines[row].end()));
            if (!Method(std::move(label), L"DisplayTextAt",
                        {std::to_wstring(row), L"0", lines[row], L"0"})) {
                return;
            }
        }
    }

    // One call as a step. Its ResultCode and ResultCodeExtended are read afterwards; a method
    // fails when Invoke fails or its ResultCode is not 0.
    bool Method(std::string label, std::wstring_view method, std::vector<std::wstring> args) {
        const auto start = Clock::now();
        const CallResult result = m_co.Call(method, args);
        TestStep step = Codes(std::move(label), Since(start), result);
        if (step.failure.empty() && step.resultCode != 0) {
            const std::string_view next = NextCheck(step.resultCodeExtended);
            step.failure = next.empty() ? "the call failed" : std::string(next);
        }
        return Record(std::move(step));
    }

    std::optional<long> ReadNumber(std::string label, long index) {
        const auto start = Clock::now();
        const CallResult result = m_co.Call(L"GetPropertyNumber", {std::to_wstring(index)});
        TestStep step = Codes(std::move(label), Since(start), result);
        step.value = result.number ? std::to_string(*result.number) : "?";
        Record(std::move(step));
        return result.number;
    }

    void ReadString(std::string label, long index) {
        const auto start = Clock::now();
        const CallResult result = m_co.Call(L"GetPropertyString", {std::to_wstring(index)});
        TestStep step = Codes(std::move(label), Since(start), result);
        const std::wstring text = result.text.value_or(L"");
        step.value = Quoted(std::u16string(text.begin(), text.end()));
        Record(std::move(step));
    }

    TestStep Codes(std::string label, int64_t ms, const CallResult& result) {
        TestStep step{std::move(label), {}, 0, 0, true, ms, {}};
        if (!result.error.empty() || FAILED(result.hr)) {
            step.failure = "Invoke failed: " + Utf8(result.error) + " " + Hex(result.hr);
        }
        const auto code = [&](long index) {
            return m_co.Call(L"GetPropertyNumber", {std::to_wstring(index)}).number.value_or(-1);
        };
        step.resultCode = code(kResultCode);
        step.resultCodeExtended = code(kResultCodeExtended);
        return step;
    }

    bool Record(TestStep step) {
        const bool passed = step.failure.empty();
        m_report.steps.push_back(std::move(step));
        return passed;
    }

    void Conclude() {
        for (const TestStep& step : m_report.steps) {
            if (step.failure.empty()) {
                continue;
            }
            m_report.verdict = step.call + (step.value.empty() ? "" : " -> " + step.value) + ": ";
            if (step.resultCode != 0) {
                m_report.verdict += std::to_string(step.resultCode) + "/" +
                                    std::to_string(step.resultCodeExtended) + " " +
                                    CodesMeaning(step.resultCode, step.resultCodeExtended) + "; ";
            }
            m_report.verdict += step.failure;
            return;
        }
        m_report.passed = true;
        m_report.verdict = Utf8(m_name) + " answered and shows its name and firmware version";
    }

    TestReport& m_report;
    std::wstring m_name;
    testco::ControlObject m_co;
};

}  // namespace

TestReport RunDisplayTest(std::u16string_view deviceName) {
    TestReport report;
    report.device = Utf16ToUtf8(deviceName);
    const testco::ComApartment apartment;
    if (FAILED(apartment.Status())) {
        report.verdict = "COM could not be initialised (" + Hex(apartment.Status()) + ")";
        return report;
    }
    TestRun(report, std::wstring(deviceName.begin(), deviceName.end())).Run();
    return report;
}

}  // namespace miraxld::setup
