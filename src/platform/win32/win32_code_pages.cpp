// The system's code pages and WideCharToMultiByte with its default behaviour (best-fit
// mappings and the code page's own default character).
#include <windows.h>

#include <climits>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

class SystemCodePages : public ICodePages {
  public:
    int AnsiCodePage() override { return static_cast<int>(GetACP()); }
    int OemCodePage() override { return static_cast<int>(GetOEMCP()); }

    std::string ToMultiByte(int codePage, std::u16string_view text) override {
        if (text.empty() || codePage < 0 || text.size() > INT_MAX) {
            return {};
        }
        const std::wstring wide = Wide(text);
        const int length = static_cast<int>(wide.size());
        const UINT page = static_cast<UINT>(codePage);
        const int needed =
            WideCharToMultiByte(page, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
        if (needed <= 0) {
            return {};  // unknown code page
        }
        std::string bytes(static_cast<size_t>(needed), '\0');
        const int written = WideCharToMultiByte(page, 0, wide.data(), length, bytes.data(), needed,
                                                nullptr, nullptr);
        bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
        return bytes;
    }
};

}  // namespace

ICodePages& CodePages() {
    static SystemCodePages pages;
    return pages;
}

}  // namespace miraxld::win32
