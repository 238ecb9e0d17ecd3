// The class factory of POSLDisplay, the library's only class.
#pragma once

#include "com/com_headers.h"

namespace miraxld::com {

// The one factory, created on first use (thread-safe) and never destroyed; its references hold
// the module lock.
IClassFactory& PosLDisplayClassFactory();

}  // namespace miraxld::com
