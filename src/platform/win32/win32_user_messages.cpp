// Modal message boxes. With MIRAXLD_MESSAGE_BOX=debug the message goes to the debug output
// instead, so that headless runs (tests, the demo) never wait for a click.
#include <windows.h>

#include <string>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

// Read on every call, so a test can switch it while the process runs.
bool MessagesToDebugOutput() {
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"MIRAXLD_MESSAGE_BOX", value, 16);
    return length > 0 && length < 16 && std::wstring_view(value, length) == L"debug";
}

class MessageBoxes : public IUserMessages {
  public:
    void Show(std::u16string_view text, std::u16string_view caption) override {
        if (MessagesToDebugOutput()) {
            std::u16string line = u"MessageBox: ";
            line.append(caption).append(u": ").append(text);
            DebugOutput().Write(line);
            return;
        }
        MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
    }
};

}  // namespace

IUserMessages& UserMessages() {
    static MessageBoxes messages;
    return messages;
}

}  // namespace miraxld::win32
