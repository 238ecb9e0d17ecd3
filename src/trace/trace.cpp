#include "trace/trace.h"

namespace miraxld {

void TraceConstructed(IDebugOutput& out) {
    out.Write(kTraceConstructed);
}
void TraceDestroyed(IDebugOutput& out) {
    out.Write(kTraceDestroyed);
}

}  // namespace miraxld
