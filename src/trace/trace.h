// The service object's only diagnostic output: its construction and destruction lines.
#pragma once

#include "platform/platform.h"

namespace miraxld {

inline constexpr char16_t kTraceConstructed[] = u"CPOSLDisplay::CPOSLDisplay(): c-tor";
inline constexpr char16_t kTraceDestroyed[] = u"CPOSLDisplay::CPOSLDisplay(): d-tor";

void TraceConstructed(IDebugOutput& out);
void TraceDestroyed(IDebugOutput& out);

}  // namespace miraxld
