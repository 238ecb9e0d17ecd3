// Debug output as lines of UTF-8: appended to MIRAXLD_DEBUG_LOG when set, else standard error.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/posix/posix_services.h"
#include "platform/registry_tree.h"

namespace miraxld::posix {

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

class LineOutput : public IDebugOutput {
  public:
    void Write(std::u16string_view line) override {
        std::string text = Utf16ToUtf8(line);
        text.push_back('\n');
        // One lock for both targets, so lines from different threads never interleave.
        std::lock_guard lock(m_mutex);
        const char* path = std::getenv("MIRAXLD_DEBUG_LOG");
        if (path != nullptr && *path != '\0') {
            // Opened per line, so tests can move or truncate the log between lines.
            const std::unique_ptr<FILE, FileCloser> log(std::fopen(path, "ab"));
            if (log) {
                std::fwrite(text.data(), 1, text.size(), log.get());
                return;
            }
        }
        std::fwrite(text.data(), 1, text.size(), stderr);
    }

  private:
    std::mutex m_mutex;
};

}  // namespace

IDebugOutput& DebugOutput() {
    static LineOutput output;
    return output;
}

}  // namespace miraxld::posix
