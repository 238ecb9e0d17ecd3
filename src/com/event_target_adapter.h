// The Control Object's dispatch interface as the core's event target.
#pragma once

#include "com/com_headers.h"
#include "events/event_sink.h"

namespace miraxld::com {

// Holds the Control Object's IDispatch without a reference and never releases it: the Control
// Object owns the service object, not the other way round. Called from the port monitor thread
// without marshalling.
class EventTargetAdapter final : public IEventTarget {
  public:
    explicit EventTargetAdapter(IDispatch* target) : m_target(target) {}

    long GetIDOfName(std::u16string_view name, int32_t* dispid) override;
    long InvokeMethod(int32_t dispid, int32_t argument) override;

    IDispatch* Target() const { return m_target; }

  private:
    IDispatch* const m_target;
};

}  // namespace miraxld::com
