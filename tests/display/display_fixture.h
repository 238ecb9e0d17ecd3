// A claimed, enabled service object over the display simulator.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>

#include "service_object/claim_fixture.h"

namespace miraxld::testing {

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}
// "1B 74 10": bytes written as hex pairs.
inline Bytes Hex(const char* pairs) {
    std::istringstream in(pairs);
    in >> std::hex;
    const std::vector<unsigned> values{std::istream_iterator<unsigned>(in), {}};
    return Bytes(values.begin(), values.end());
}
// A file of tests/data (the BMP files are written by tests/data/make_test_bitmaps.py).
inline Bytes ReadTestFile(const std::string& name) {
    std::ifstream in(std::string(MIRAXLD_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The state OpenService and a claim leave: window 0 over the whole display, the link open, the
// device enabled.
inline void Prepare(CPOSLDisplay& d, std::u16string model, int rows, int columns) {
    d.m_deviceModel = std::move(model);
    d.m_deviceRows = d.m_rows = d.m_windows[0].height = d.m_windows[0].viewportHeight = rows;
    d.m_deviceColumns = d.m_columns = d.m_windows[0].width = d.m_windows[0].viewportWidth = columns;
    d.m_characterSet = d.m_codePage = 1252;
    d.m_blinkRate = 300;
    d.m_windows[0].active = d.m_claimed = d.m_deviceEnabled = 1;
    d.m_port.Open(1, 9600);
}

class DisplayTest : public ::testing::Test {
  protected:
    DisplayTest() {
        SetPortMissing(*sim, false);
        platform.serialFactory = [this] { return displaysim::MakeDevice(sim, platform.clock); };
        Open(u"KT110", 2, 20);
    }

    // The bytes the display received since the last call.
    Bytes Take() {
        Bytes received = sim->Received();
        sim->ClearReceived();
        return received;
    }

    void Open(std::u16string model, int rows, int columns) {
        so.reset();  // a fresh object: no field survives from the previous case
        so = std::make_unique<CPOSLDisplay>(platform);
        Prepare(*so, std::move(model), rows, columns);
    }

    // Makes window n as CreateWindow would, and selects it.
    void MakeWindow(int n, int viewportRow, int viewportColumn, int height, int width) {
        so->m_windows[n] = {.height = height,
                            .width = width,
                            .viewportRow = viewportRow,
                            .viewportColumn = viewportColumn,
                            .viewportWidth = width,
                            .viewportHeight = height,
                            .active = 1};
        so->m_currentWindow = n;
    }

    WindowRecord& Window(int n = 0) { return so->m_windows[n]; }

    // Low bytes of code[0] of the first n cells of a row.
    static std::string LowBytes(const Cell* row, int n) {
        std::string out;
        for (int c = 0; c < n; ++c) {
            out += static_cast<char>(row[c].code[0] & 0xFF);
        }
        return out;
    }
    std::string WindowRow(int row, int window = 0) {
        return LowBytes(&Window(window).At(row, 0), Window(window).width);
    }
    std::string ScreenRow(int row, int columns = -1) {
        const int n = columns < 0 ? so->m_deviceColumns : columns;
        return LowBytes(&so->m_screen[row * kScreenColumns], n);
    }

    int32_t Display(std::u16string_view text, int32_t attribute = 0) {
        return so->DisplayText(text, attribute, nullptr);
    }

    TestPlatform platform;
    std::shared_ptr<displaysim::DisplaySimulator> sim =
        std::make_shared<displaysim::DisplaySimulator>(displaysim::SimConfig{});
    std::unique_ptr<CPOSLDisplay> so;
};

}  // namespace miraxld::testing
