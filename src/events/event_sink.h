// Calls from the service object into the Control Object's own dispatch interface.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

namespace miraxld {

// The Control Object's dispatch interface as the portable core sees it. The COM layer adapts an
// IDispatch to this; tests record the calls.
class IEventTarget {
  public:
    virtual ~IEventTarget() = default;
    // GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, dispid); returns its HRESULT.
    virtual long GetIDOfName(std::u16string_view name, int32_t* dispid) = 0;
    // Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD) with one VT_I4 argument.
    virtual long InvokeMethod(int32_t dispid, int32_t argument) = 0;
};

inline constexpr std::array<std::u16string_view, 5> kEventMethodNames = {
    u"SOData", u"SODirectIO", u"SOError", u"SOStatusUpdate", u"SOOutputComplete"};
inline constexpr int kEventStatusUpdate = 3;

class EventSink {
  public:
    // Holds `target` without owning it and resolves the five event names (0 where unresolved).
    void Attach(IEventTarget* target);
    // Fires "SOStatusUpdate" with `status`; does nothing without a target. Safe to call from
    // the port monitor thread while the method thread re-attaches.
    void FireStatusUpdate(int32_t status);

    IEventTarget* Target() const { return m_target.load(); }
    int32_t DispId(int index) const { return m_dispids[index].load(); }

  private:
    std::atomic<IEventTarget*> m_target{nullptr};
    std::array<std::atomic<int32_t>, 5> m_dispids{};
};

}  // namespace miraxld
