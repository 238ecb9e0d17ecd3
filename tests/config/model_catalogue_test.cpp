// Settling the model and brand from the device name, the USB identity and the registry.
#include <gtest/gtest.h>

#include "config/model_catalogue.h"

namespace miraxld {
namespace {

TEST(ModelCatalogue, SettlesTheModelFromNameThenIdentityThenRegistry) {
    struct Row {
        std::u16string_view deviceName, vidPid, registryModel, expected;
    };
    const Row rows[] = {
        {u"KT130", u"", u"ZN610", u"KT110"},  // an alias beats the registry text
        {u"KT710", u"", u"", u"KT110"},
        {u"Front", u"1d9c_0a02", u"", u"KT110"},
        {u"Front", u"1d9c_0a05", u"", u"RMX110"},
        {u"Front", u"1d9c_0a04", u"", u"KT910"},
        {u"Front", u"1d9c_0a06", u"KT110", u"RMX910"},
        {u"KT310", u"1d9c_0a03", u"", u"KT910"},  // rules run in order: the identity rule first
        {u"GQ310", u"", u"", u"GQ310"},
        {u"Front", u"", u"ZN610", u"ZN610"},
        {u"Front", u"", u"Mystery", u"Mystery"},
        {u"kt110", u"", u"", u""},  // names compare case-sensitively
        {u"Front", u"1D9C_0A01", u"", u""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SettleModel(row.deviceName, row.vidPid, row.registryModel), row.expected);
    }
}

TEST(ModelCatalogue, AppliesEachModelsSettings) {
    struct Row {
        std::u16string_view model;
        int32_t regRows, regColumns;
        int32_t rows, columns, maxX, maxY;
        uint16_t family;
        int32_t marqueeFloor, blinkFloor;
        uint8_t doubleByte;
        std::optional<std::u16string> modes;
        std::optional<int32_t> firmware;
    };
    const Row rows[] = {
        {u"KT110", 4, 40, 2, 20, 7, 8, 0, 100, 300, 0, u"2x20", std::nullopt},
        {u"KT910", 0, 0, 2, 20, 320, 32, 1, 100, 300, 0, u"2x20", std::nullopt},
        {u"RMX110", 0, 0, 2, 20, 7, 8, 0, 600, 600, 0, u"2x20", std::nullopt},
        {u"RMX910", 0, 0, 2, 20, 320, 32, 2, 600, 600, 0, u"2x20", std::nullopt},
        {u"KT310", 4, 32, 4, 32, 7, 8, 2, 100, 300, 1, u"3x32,4x32,2x20", 150},
        {u"GQ310", 3, 32, 3, 32, 7, 8, 2, 100, 300, 1, u"3x32,4x32,2x20", 150},
        {u"ZN610", 0, 0, 3, 32, 480, 120, 2, 300, 300, 1, u"3x32,4x32,2x20", std::nullopt},
        {u"ZN610", 4, 0, 4, 32, 480, 120, 2, 300, 300, 1, u"3x32,4x32,2x20", std::nullopt},
        {u"Other", 5, 24, 5, 24, 7, 8, 0, 100, 300, 0, std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.model.begin(), row.model.end()));
        ModelSettings s;
        s.deviceRows = row.regRows;
        s.deviceColumns = row.regColumns;
        s.maximumX = 7;
        s.maximumY = 8;
        s.commandFamily = 9;  // stale values from an earlier open must not survive
        s.doubleByteMode = 1;
        ApplyModelSettings(row.model, s);
        EXPECT_EQ(s.deviceRows, row.rows);
        EXPECT_EQ(s.deviceColumns, row.columns);
        EXPECT_EQ(s.maximumX, row.maxX);
        EXPECT_EQ(s.maximumY, row.maxY);
        EXPECT_EQ(s.commandFamily, row.family);
        EXPECT_EQ(s.marqueeWaitFloor, row.marqueeFloor);
        EXPECT_EQ(s.blinkPeriodFloor, row.blinkFloor);
        EXPECT_EQ(s.doubleByteMode, row.doubleByte);
        EXPECT_EQ(s.screenModeList, row.modes);
        EXPECT_EQ(s.firmwareVersion, row.firmware);
    }
}

TEST(ModelCatalogue, OemProgIdOrOemDeviceNameGivesBrandOne) {
    EXPECT_EQ(SettleBrand(u"MIRAXLD.POSLDisplay.1", u"KT110"), kBrandOwn);
    EXPECT_EQ(SettleBrand(u"QV.POSLDisplay.1", u"KT110"), kBrandOem);
    EXPECT_EQ(SettleBrand(u"MIRAXLD.POSLDisplay.1", u"QV POS Pole Display"), kBrandOem);
    EXPECT_EQ(SettleBrand(u"MIRAXLD.POSLDisplay.1", u"QVRMX110Display"), kBrandOem);
    EXPECT_EQ(SettleBrand(u"MIRAXLD.POSLDisplay.1", u"qv pos pole display"), kBrandOwn);
}

}  // namespace
}  // namespace miraxld
