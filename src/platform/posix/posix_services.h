// The POSIX implementations of the platform interfaces; posix_platform.cpp puts them together.
//
// Environment variables read by this layer (each on every use, so tests can change them):
//   MIRAXLD_REGISTRY   the registry file (text form of platform/registry_tree.h); unset or
//                      missing = an empty registry
//   MIRAXLD_COM_DIR    directory holding serial ports as comN; unset = /dev/ttyS<N-1>
//   MIRAXLD_ACP        ANSI code page number (default 1252)
//   MIRAXLD_OEMCP      OEM code page number (default 437)
//   MIRAXLD_DEBUG_LOG  file the debug output is appended to; unset = standard error
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace miraxld::posix {

IClock& Clock();
IDebugOutput& DebugOutput();
IRegistry& Registry();
ITimerService& Timers();
IThreadStarter& Threads();
ICodePages& CodePages();
IUserMessages& UserMessages();
IFileSystem& Files();
std::unique_ptr<ISerialDevice> CreateSerialDevice();

// The device path of serial port `portNumber` (1 = the first); empty for numbers below 1.
std::string SerialDevicePath(int portNumber);

}  // namespace miraxld::posix
