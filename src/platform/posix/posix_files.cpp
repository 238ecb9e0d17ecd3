// Whole-file reading; paths arrive as UTF-16 and are opened as UTF-8.
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "platform/posix/posix_services.h"
#include "platform/registry_tree.h"

namespace miraxld::posix {

namespace {

class NativeFiles : public IFileSystem {
  public:
    bool Exists(std::u16string_view path) override {
        struct stat info {};
        return ::stat(Utf16ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }

    std::optional<std::vector<uint8_t>> ReadAll(std::u16string_view path) override {
        if (!Exists(path)) {
            return std::nullopt;  // a directory opens as a stream but reads as an error
        }
        std::ifstream file(Utf16ToUtf8(path), std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        std::vector<uint8_t> content{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
        if (file.bad()) {
            return std::nullopt;
        }
        return content;
    }
};

}  // namespace

IFileSystem& Files() {
    static NativeFiles files;
    return files;
}

}  // namespace miraxld::posix
