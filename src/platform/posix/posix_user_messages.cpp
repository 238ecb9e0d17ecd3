// Message boxes as one line on standard error: a native run has no one to click OK.
#include <cstdio>
#include <mutex>

#include "platform/posix/posix_services.h"
#include "platform/registry_tree.h"

namespace miraxld::posix {

namespace {

class StderrMessages : public IUserMessages {
  public:
    void Show(std::u16string_view text, std::u16string_view caption) override {
        const std::string line =
            "MessageBox: " + Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + "\n";
        std::lock_guard lock(m_mutex);
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

  private:
    std::mutex m_mutex;
};

}  // namespace

IUserMessages& UserMessages() {
    static StderrMessages messages;
    return messages;
}

}  // namespace miraxld::posix
