// The empty connection-point side of the service object: events go to the Control Object's
// dispatch interface handed over in OpenService, never through connection points.
#pragma once

#include "com/com_headers.h"

namespace miraxld::com {

// A new enumerator over no connection points, with one reference for the caller.
HRESULT CreateEmptyConnectionPointEnum(IEnumConnectionPoints** out);

}  // namespace miraxld::com
