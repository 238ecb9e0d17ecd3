// The Windows, COM and OLE Automation headers and the generated IPOSLDisplay declarations, in
// the one order that works: <windows.h> defines CreateWindow (and MessageBox and friends) as
// macros, which would rename the interface's CreateWindow method and the core's one. Every
// file of the COM shell includes this instead of <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>

#undef CreateWindow
#undef MessageBox

#include "miraxld.h"
