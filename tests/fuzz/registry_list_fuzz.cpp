// libFuzzer target: the registry texts "CodepageList" and "CodepageCmdIndex" (the input up to
// its first NUL byte and the rest, one character per byte) into the 256 code-page slots.
// Whatever the text, every slot filled must come from it: a code page from the list's item at
// the slot's position, a table number from the index text's item or the position itself.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "doubles/test_platform.h"
#include "fuzz_check.h"
#include "service_object/pos_ldisplay.h"

using namespace miraxld;

// The digits of each comma-separated item.
static std::vector<std::string> ItemDigits(const std::u16string& text) {
    std::vector<std::string> items(1);
    for (char16_t c : text) {
        if (c == u',') {
            items.emplace_back();
        } else if (c >= u'0' && c <= u'9') {
            items.back() += static_cast<char>(c);
        }
    }
    return items;
}

// A number read from an item: its digits end the item's digits (the reader keeps the last
// nine, which is all a code page or table number ever needs).
static bool ReadFrom(int32_t n, const std::string& digits) {
    const std::string text = std::to_string(n);
    return n >= 0 && text.size() <= digits.size() &&
           digits.compare(digits.size() - text.size(), text.size(), text) == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static testing::TestPlatform platform;
    static CPOSLDisplay so(platform);
    static const std::u16string kKey = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\KT710";

    const uint8_t* const end = data + size;
    const uint8_t* const nul = std::find(data, end, 0);
    const uint8_t* const rest = nul == end ? end : nul + 1;
    const std::u16string list(data, nul), index(rest, std::find(rest, end, 0));
    platform.registry.SetString(kKey, u"CodepageList", list);
    platform.registry.SetString(kKey, u"CodepageCmdIndex", index);
    so.m_deviceName = u"KT710";
    so.m_codepageList.fill(-1);
    so.m_codepageCmdIndex.fill(-1);
    so.FillSlotsFromRegistry();

    Check(so.m_characterSetList == list);
    const std::vector<std::string> pages = ItemDigits(list), tables = ItemDigits(index);
    const size_t listItems = list.empty() ? 0 : pages.size();
    const size_t indexItems = index.empty() ? 0 : tables.size();
    for (size_t k = 0; k < so.m_codepageList.size(); ++k) {
        const int32_t page = so.m_codepageList[k], table = so.m_codepageCmdIndex[k];
        if (k >= listItems) {
            Check(page == -1);  // no item here, or an empty last one
        } else if (page > 0) {
            Check(page != 997 && ReadFrom(page, pages[k]));
        } else {
            Check(page == -1 || (page == 0 && k > 0));  // an empty or zero item
        }
        if (k < indexItems) {
            Check(ReadFrom(table, tables[k]) || (table == 0 && tables[k].empty()));
        } else {
            Check(table == -1 || (table == static_cast<int32_t>(k) && page > 0));
        }
    }
    return 0;
}
