// The display models the service object knows, how a model is settled at open, and the settings
// each model gets.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace miraxld {

inline constexpr std::u16string_view kModelKT110 = u"KT110";
inline constexpr std::u16string_view kModelRMX110 = u"RMX110";
inline constexpr std::u16string_view kModelKT910 = u"KT910";
inline constexpr std::u16string_view kModelRMX910 = u"RMX910";
inline constexpr std::u16string_view kModelKT310 = u"KT310";
inline constexpr std::u16string_view kModelGQ310 = u"GQ310";
inline constexpr std::u16string_view kModelZN610 = u"ZN610";
inline constexpr std::u16string_view kModelKT710 = u"KT710";  // a device name only
inline constexpr std::u16string_view kModelNormal = u"Normal";

inline constexpr std::u16string_view kProgIdOwn = u"MIRAXLD.POSLDisplay.1";
inline constexpr std::u16string_view kProgIdOem = u"QV.POSLDisplay.1";
inline constexpr uint16_t kBrandOwn = 0;
inline constexpr uint16_t kBrandOem = 1;
inline constexpr uint16_t kBrandUnset = 0xFFFF;

// The USB identities the port search walks, in this order.
struct UsbIdentity {
    std::u16string_view model;
    std::u16string_view vidPid;  // "vvvv_pppp", lower-case hex
};
inline constexpr std::array<UsbIdentity, 8> kModelCatalogue = {{
    {u"Normal", u"067b_2303"},
    {u"KT110", u"1d9c_0a01"},
    {u"KT110", u"1d9c_0a02"},
    {u"KT910", u"1d9c_0a03"},
    {u"KT910", u"1d9c_0a04"},
    {u"RMX110", u"1d9c_0a05"},
    {u"RMX910", u"1d9c_0a06"},
    {u"Normal", u"1d9c_0a07"},
}};

// The model name that the device name or USB identity settles; otherwise `registryModel`.
std::u16string SettleModel(std::u16string_view deviceName, std::u16string_view vidPid,
                           std::u16string_view registryModel);

// Brand 1 for the OEM ProgID or one of the OEM device names, else 0.
uint16_t SettleBrand(std::u16string_view serviceProgId, std::u16string_view deviceName);

// The fields a model's settings touch. On input the registry values; ApplyModelSettings
// overrides what the model fixes.
struct ModelSettings {
    int32_t deviceRows = 0;
    int32_t deviceColumns = 0;
    int32_t maximumX = 0;
    int32_t maximumY = 0;
    std::optional<std::u16string> screenModeList;  // set only by models that fix one
    uint16_t commandFamily = 0;
    int32_t marqueeWaitFloor = 100;
    int32_t blinkPeriodFloor = 300;
    uint8_t doubleByteMode = 0;
    std::optional<int32_t> firmwareVersion;  // set only by models that fix one
};
void ApplyModelSettings(std::u16string_view model, ModelSettings& settings);

}  // namespace miraxld
