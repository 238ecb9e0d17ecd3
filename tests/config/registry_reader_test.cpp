#include <gtest/gtest.h>

#include "config/registry_reader.h"

namespace miraxld {
namespace {

TEST(RegistryReader, ConvertsNumbersAndPorts) {
    const struct {
        std::u16string_view text;
        int32_t decimal, port;
    } rows[] = {
        {u"20x", 20, 0}, {u"  -5", -5, 5},  {u"abc", 0, 0}, {u"", 0, 0},
        {u"COM3", 0, 3}, {u"COM12", 0, 12}, {u"COM", 0, 0}, {u"99999999999", INT32_MAX, 99999999},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseDecimal(row.text), row.decimal);
        EXPECT_EQ(ParsePortNumber(row.text), row.port);
    }
}

}  // namespace
}  // namespace miraxld
