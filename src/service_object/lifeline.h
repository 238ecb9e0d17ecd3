// What a timer callback holds of the service object: not the object itself, but its lifeline.
//
// Deleting a timer never waits for its callback, so a callback may still run after the timer
// is gone and, without this, after the object is gone too. Every callback the object hands to
// a timer shares ownership of the object's lifeline, which therefore outlives the object, and
// enters the object only through it. The object's destructor ends the lifeline: it waits for
// the callbacks already inside to leave, and every callback that comes later finds the lifeline
// ended and touches nothing.
#pragma once

#include <condition_variable>
#include <mutex>

namespace miraxld {

class Lifeline {
  public:
    // One callback's stay inside the object; false when the object is already going.
    class Pass {
      public:
        explicit Pass(Lifeline& lifeline) : m_lifeline(lifeline) {
            std::lock_guard lock(m_lifeline.m_mutex);
            m_entered = !m_lifeline.m_ended;
            m_lifeline.m_inside += m_entered ? 1 : 0;
        }
        ~Pass() {
            if (!m_entered) {
                return;
            }
            std::lock_guard lock(m_lifeline.m_mutex);
            if (--m_lifeline.m_inside == 0) {
                m_lifeline.m_left.notify_all();
            }
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const { return m_entered; }

      private:
        Lifeline& m_lifeline;
        bool m_entered = false;
    };

    // Lets no callback in any more and waits for those inside. Only the object's destructor
    // calls it, never from inside a callback.
    void End() {
        std::unique_lock lock(m_mutex);
        m_ended = true;
        m_left.wait(lock, [this] { return m_inside == 0; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_left;
    bool m_ended = false;
    int m_inside = 0;
};

}  // namespace miraxld
