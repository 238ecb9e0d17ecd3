// The Win32 implementations of the platform interfaces; win32_platform.cpp puts them together.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace miraxld::win32 {

IClock& Clock();
IDebugOutput& DebugOutput();
IRegistry& Registry();
ITimerService& Timers();
IThreadStarter& Threads();
ICodePages& CodePages();
IUserMessages& UserMessages();
IFileSystem& Files();
std::unique_ptr<ISerialDevice> CreateSerialDevice();
// Keeps the DLL mapped until the process ends; called before any thread or timer starts.
void PinModule();

}  // namespace miraxld::win32
