#include "config/model_catalogue.h"

#include <algorithm>

namespace miraxld {

namespace {

// A rule settles `model` when the device name is one of `deviceNames` or the USB identity is
// one of `vidPids`. The first matching rule wins.
struct SettleRule {
    std::u16string_view model;
    std::array<std::u16string_view, 5> deviceNames;
    std::array<std::u16string_view, 2> vidPids;
};

constexpr std::array<SettleRule, 6> kSettleRules = {{
    {kModelKT110, {u"KT110", u"KT120", u"KT130", u"KT710", u"KT140"}, {u"1d9c_0a01", u"1d9c_0a02"}},
    {kModelRMX110, {u"RMX110"}, {u"1d9c_0a05"}},
    {kModelKT910, {u"KT910"}, {u"1d9c_0a03", u"1d9c_0a04"}},
    {kModelRMX910, {u"RMX910"}, {u"1d9c_0a06"}},
    {kModelKT310, {u"KT310"}, {}},
    {kModelGQ310, {u"GQ310"}, {}},
}};

constexpr std::array<std::u16string_view, 6> kOemDeviceNames = {
    u"QV POS Pole Display", u"QV POS POLE DISPLAY", u"QVPOSCCPoleDisplay",
    u"QVPOSCCPOLEDISPLAY",  u"QVRMX910Display",     u"QVRMX110Display"};

template <size_t N>
bool Contains(const std::array<std::u16string_view, N>& list, std::u16string_view text) {
    return !text.empty() && std::find(list.begin(), list.end(), text) != list.end();
}

// -1 keeps the registry value; 0 in the ZN610's geometry means "registry, or the default".
constexpr int32_t kKeep = -1;

struct ModelRow {
    std::u16string_view model;
    int32_t rows;
    int32_t columns;
    int32_t maximumX;
    int32_t maximumY;
    std::u16string_view screenModeList;  // empty: none set
    uint16_t commandFamily;
    int32_t marqueeWaitFloor;
    int32_t blinkPeriodFloor;
    uint8_t doubleByteMode;
    int32_t firmwareVersion;  // kKeep: unchanged
};

constexpr std::u16string_view kTwoLine = u"2x20";
constexpr std::u16string_view kMultiLine = u"3x32,4x32,2x20";

constexpr std::array<ModelRow, 7> kModelRows = {{
    {kModelKT110, 2, 20, kKeep, kKeep, kTwoLine, 0, 100, 300, 0, kKeep},
    {kModelKT910, 2, 20, 320, 32, kTwoLine, 1, 100, 300, 0, kKeep},
    {kModelRMX110, 2, 20, kKeep, kKeep, kTwoLine, 0, 600, 600, 0, kKeep},
    {kModelRMX910, 2, 20, 320, 32, kTwoLine, 2, 600, 600, 0, kKeep},
    {kModelKT310, kKeep, kKeep, kKeep, kKeep, kMultiLine, 2, 100, 300, 1, 150},
    {kModelZN610, 0, 0, 480, 120, kMultiLine, 2, 300, 300, 1, kKeep},
    {kModelGQ310, kKeep, kKeep, kKeep, kKeep, kMultiLine, 2, 100, 300, 1, 150},
}};

void Override(int32_t& field, int32_t value, int32_t zeroDefault) {
    if (value == kKeep) {
        return;
    }
    if (value == 0) {
        if (field == 0) {
            field = zeroDefault;  // the ZN610 falls back to 3 x 32 only when unconfigured
        }
        return;
    }
    field = value;
}

}  // namespace

std::u16string SettleModel(std::u16string_view deviceName, std::u16string_view vidPid,
                           std::u16string_view registryModel) {
    for (const SettleRule& rule : kSettleRules) {
        if (Contains(rule.deviceNames, deviceName) || Contains(rule.vidPids, vidPid)) {
            return std::u16string(rule.model);
        }
    }
    return std::u16string(registryModel);
}

uint16_t SettleBrand(std::u16string_view serviceProgId, std::u16string_view deviceName) {
    return (serviceProgId == kProgIdOem || Contains(kOemDeviceNames, deviceName)) ? kBrandOem
                                                                                  : kBrandOwn;
}

void ApplyModelSettings(std::u16string_view model, ModelSettings& settings) {
    settings.commandFamily = 0;
    settings.doubleByteMode = 0;
    settings.marqueeWaitFloor = 100;
    settings.blinkPeriodFloor = 300;
    const auto row = std::find_if(kModelRows.begin(), kModelRows.end(),
                                  [&](const ModelRow& r) { return r.model == model; });
    if (row == kModelRows.end()) {
        return;  // an unknown model keeps the registry geometry and sets no mode list
    }
    Override(settings.deviceRows, row->rows, 3);
    Override(settings.deviceColumns, row->columns, 32);
    Override(settings.maximumX, row->maximumX, 0);
    Override(settings.maximumY, row->maximumY, 0);
    settings.screenModeList = std::u16string(row->screenModeList);
    settings.commandFamily = row->commandFamily;
    settings.marqueeWaitFloor = row->marqueeWaitFloor;
    settings.blinkPeriodFloor = row->blinkPeriodFloor;
    settings.doubleByteMode = row->doubleByteMode;
    if (row->firmwareVersion != kKeep) {
        settings.firmwareVersion = row->firmwareVersion;
    }
}

}  // namespace miraxld
