// The Windows, COM and OLE Automation headers and the generated IPOSLDisplay declarations, in
// the one order that works: <windows.h> defines CreateWindow, OpenService and MessageBox as
// macros, which would rename the interface's methods and the core's ones. Every file of the COM
// shell includes this instead of <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#undef CreateWindow
#undef OpenService
#undef MessageBox

#include "miraxld.h"
