// The port monitor thread's own state, and keeping the thread off the serial link while
// someone else owns it.
#pragma once

#include <functional>

namespace miraxld {

class CPOSLDisplay;

// One monitor thread's own state, shared by the thread and the object that started it; the
// thread keeps it for its whole run. The thread calls the Control Object's event handler, which
// may close or reopen the service, or drop the object, from inside; what it did is recorded
// here, so that after the handler returns the thread learns it without touching the object.
// Only the thread itself reads or writes these fields.
struct MonitorThreadState {
    explicit MonitorThreadState(CPOSLDisplay& so) : owner(&so) {}
    CPOSLDisplay* const owner;
    // Stopped from within the handler: once the handler returns, the thread touches the object
    // no more, since the object may be gone or serve a newer claim with a newer thread.
    bool released = false;
    // Run by a released thread as its very last action: a destruction the object's owner
    // deferred until the thread had unwound out of the handler.
    std::function<void()> last;
};

// The state of the monitor thread that calls this, or null on any other thread.
MonitorThreadState* CurrentMonitorThread();

// The firmware loader closes the link and reopens it at its own baud rates. For the life of a
// hold the monitor's passes neither close, reopen nor sample the link and report nothing; the
// constructor returns only once a pass that was already working on the link has finished, so
// the holder can close the link at once. Holds may nest. Never create one while holding
// CPOSLDisplay::m_monitorLinkWork.
class LoaderLinkHold {
  public:
    explicit LoaderLinkHold(CPOSLDisplay& so);
    ~LoaderLinkHold();
    LoaderLinkHold(const LoaderLinkHold&) = delete;
    LoaderLinkHold& operator=(const LoaderLinkHold&) = delete;

  private:
    CPOSLDisplay& m_so;
};

}  // namespace miraxld
