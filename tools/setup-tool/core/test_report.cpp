#include "core/test_report.h"

#include <algorithm>
#include <iterator>

#include "core/json_writer.h"
#include "core/result_meanings.h"
#include "service_object/result_codes.h"

namespace miraxld::setup {

namespace {

struct Advice {
    int32_t extended;
    std::string_view check;
};

constexpr Advice kNextChecks[] = {
    {kExtUnknownServiceProgId,
     "miraxld-setup list shows the device entries of this service object"},
    {kExtPortMissing, "give the entry its port: miraxld-setup add NAME --port COMn"},
    {kExtBaudRateMissing, "give the entry its baud rate: miraxld-setup add NAME --baud N"},
    {kExtPortOpenFailed,
     "check that the port exists (miraxld-setup ports) and that no other program holds it"},
    {kExtNoReadyAnswer, "the display did not answer: check its cable, its power and the baud rate"},
    {kExtReadyTimeout, "the display did not answer: check its cable, its power and the baud rate"},
};

std::string Padded(std::string text, size_t width) {
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

}  // namespace

std::string_view NextCheck(int32_t resultCodeExtended) {
    const auto at = std::find_if(std::begin(kNextChecks), std::end(kNextChecks),
                                 [&](const Advice& a) { return a.extended == resultCodeExtended; });
    return at == std::end(kNextChecks) ? "" : at->check;
}

std::string CodesMeaning(int32_t resultCode, int32_t resultCodeExtended) {
    std::string meaning(ResultCodeMeaning(resultCode));
    const std::string_view extended = ExtendedMeaning(resultCodeExtended);
    if (resultCode != OPOS_SUCCESS && !extended.empty()) {
        meaning += "; " + std::string(extended);
    }
    return meaning;
}

std::string ReportText(const TestReport& report) {
    std::string text = "Display test of " + report.device + "\n";
    for (const TestStep& step : report.steps) {
        std::string call = step.call + (step.value.empty() ? "" : " -> " + step.value);
        const std::string codes = step.codesRead ? std::to_string(step.resultCode) + "/" +
                                                       std::to_string(step.resultCodeExtended)
                                                 : "-";
        std::string time = std::to_string(step.ms) + " ms";
        time.insert(0, time.size() < 8 ? 8 - time.size() : 0, ' ');
        text += "  " + Padded(call, 44) + Padded(codes, 10) + time + "  " +
                (step.codesRead ? CodesMeaning(step.resultCode, step.resultCodeExtended) : "") +
                (step.failure.empty() ? "" : (step.codesRead ? "; " : "") + step.failure) + "\n";
    }
    return text + (report.passed ? "PASSED: " : "FAILED: ") + report.verdict + "\n";
}

std::string ReportJson(const TestReport& report) {
    JsonWriter json;
    json.BeginObject().Key("device").String(report.device).Key("passed").Bool(report.passed);
    json.Key("verdict").String(report.verdict).Key("steps").BeginArray();
    for (const TestStep& step : report.steps) {
        json.BeginObject().Key("step").String(step.call).Key("value").String(step.value);
        if (step.codesRead) {
            json.Key("resultCode").Number(step.resultCode);
            json.Key("resultCodeExtended").Number(step.resultCodeExtended);
            json.Key("meaning").String(CodesMeaning(step.resultCode, step.resultCodeExtended));
        }
        json.Key("ms").Number(step.ms).Key("failure").String(step.failure).EndObject();
    }
    return json.EndArray().EndObject().Text();
}

}  // namespace miraxld::setup
