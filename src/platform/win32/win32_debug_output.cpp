// The debugger's output channel.
#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

class DebuggerOutput : public IDebugOutput {
  public:
    void Write(std::u16string_view line) override { OutputDebugStringW(Wide(line).c_str()); }
};

}  // namespace

IDebugOutput& DebugOutput() {
    static DebuggerOutput output;
    return output;
}

}  // namespace miraxld::win32
