#include "events/event_sink.h"

namespace miraxld {

void EventSink::Attach(IEventTarget* target) {
    m_target.store(target);
    for (size_t i = 0; i < kEventMethodNames.size(); ++i) {
        int32_t id = 0;
        if (target != nullptr && target->GetIDOfName(kEventMethodNames[i], &id) != 0) {
            id = 0;  // an unresolved name is used as identifier 0, unreported
        }
        m_dispids[i].store(id);
    }
}

void EventSink::FireStatusUpdate(int32_t status) {
    IEventTarget* target = m_target.load();
    if (target == nullptr) {
        return;
    }
    // The result is ignored: the Control Object's handling of the event is its own business.
    target->InvokeMethod(m_dispids[kEventStatusUpdate].load(), status);
}

}  // namespace miraxld
