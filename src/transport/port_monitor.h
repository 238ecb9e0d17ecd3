// Keeping the port monitor thread off the serial link while someone else owns it.
#pragma once

namespace miraxld {

class CPOSLDisplay;

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
