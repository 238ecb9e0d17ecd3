// The display test's report: one line per step with its ResultCode, ResultCodeExtended, their
// meaning and its time, then the verdict; or the same as JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace miraxld::setup {

struct TestStep {
    std::string call;   // "ClaimDevice 1000", "DeviceDescription"
    std::string value;  // what a property read returned; empty for a method
    int32_t resultCode = 0;
    int32_t resultCodeExtended = 0;
    bool codesRead = true;  // false before the service object exists
    int64_t ms = 0;
    std::string failure;  // why the step failed; empty when it passed
};

struct TestReport {
    std::string device;
    std::vector<TestStep> steps;
    bool passed = false;
    std::string verdict;
};

std::string ReportText(const TestReport& report);
std::string ReportJson(const TestReport& report);

// The meaning of a step's codes: "OPOS_E_FAILURE: ...; the serial port could not be opened".
std::string CodesMeaning(int32_t resultCode, int32_t resultCodeExtended);
// What a technician checks next after a failure with this extended code; empty when none.
std::string_view NextCheck(int32_t resultCodeExtended);

}  // namespace miraxld::setup
