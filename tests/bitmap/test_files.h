// The BMP files of tests/data (written by tests/data/make_test_bitmaps.py).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace miraxld::testing {

inline std::vector<uint8_t> ReadTestFile(const std::string& name) {
    std::ifstream in(std::string(MIRAXLD_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

}  // namespace miraxld::testing
