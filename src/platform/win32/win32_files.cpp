// Whole-file reading.
#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

// Files beyond this are refused rather than read: no image this system loads comes near it.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

class WindowsFiles : public IFileSystem {
  public:
    bool Exists(std::u16string_view path) override {
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    std::optional<std::vector<uint8_t>> ReadAll(std::u16string_view path) override {
        UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return std::nullopt;
        }
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
            size.QuadPart > kMaxFileBytes) {
            return std::nullopt;
        }
        std::vector<uint8_t> content(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < content.size()) {
            DWORD read = 0;
            const DWORD chunk =
                static_cast<DWORD>(std::min<size_t>(content.size() - done, INT_MAX));
            if (!ReadFile(file.Get(), content.data() + done, chunk, &read, nullptr)) {
                return std::nullopt;
            }
            if (read == 0) {
                content.resize(done);  // the file shrank while being read
                break;
            }
            done += read;
        }
        return content;
    }
};

}  // namespace

IFileSystem& Files() {
    static WindowsFiles files;
    return files;
}

}  // namespace miraxld::win32
