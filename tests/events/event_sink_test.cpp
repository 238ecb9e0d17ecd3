// The event sink against a Control Object that knows only some of the event names.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "events/event_sink.h"

namespace miraxld {
namespace {

// Resolves the names it knows to 200 + their position in its list and, like a real dispatch
// interface, writes DISPID_UNKNOWN (-1) and fails for any other name.
class PartialTarget : public IEventTarget {
  public:
    explicit PartialTarget(std::vector<std::u16string> known) : m_known(std::move(known)) {}
    long GetIDOfName(std::u16string_view name, int32_t* dispid) override {
        for (size_t i = 0; i < m_known.size(); ++i) {
            if (m_known[i] == name) {
                *dispid = static_cast<int32_t>(200 + i);
                return 0;
            }
        }
        *dispid = -1;
        return static_cast<long>(0x80020006);  // DISP_E_UNKNOWNNAME
    }
    long InvokeMethod(int32_t dispid, int32_t argument) override {
        calls.emplace_back(dispid, argument);
        return 0;
    }
    std::vector<std::pair<int32_t, int32_t>> calls;

  private:
    std::vector<std::u16string> m_known;
};

TEST(EventSink, UnresolvedNamesAreZeroAndStatusUpdatesStillFire) {
    struct Row {
        const char* what;
        std::vector<std::u16string> known;
        std::array<int32_t, 5> dispids;
    };
    const Row rows[] = {
        {"no SOData", {u"SOStatusUpdate", u"SOError"}, {0, 0, 201, 200, 0}},
        {"every name",
         {u"SOData", u"SODirectIO", u"SOError", u"SOStatusUpdate", u"SOOutputComplete"},
         {200, 201, 202, 203, 204}},
        {"no SOStatusUpdate: fired as identifier 0", {u"SOData"}, {200, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PartialTarget target(row.known);
        EventSink sink;
        sink.Attach(&target);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(sink.DispId(i), row.dispids[i]) << "index " << i;
        }
        sink.FireStatusUpdate(2003);
        EXPECT_EQ(target.calls, (std::vector<std::pair<int32_t, int32_t>>{{row.dispids[3], 2003}}));
    }
}

TEST(EventSink, AttachingNullForgetsTheEarlierTarget) {
    PartialTarget target({u"SOData", u"SOStatusUpdate"});
    EventSink sink;
    sink.Attach(&target);
    ASSERT_EQ(sink.DispId(3), 201);
    sink.Attach(nullptr);
    EXPECT_EQ(sink.Target(), nullptr);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(sink.DispId(i), 0);
    }
    sink.FireStatusUpdate(2001);
    EXPECT_TRUE(target.calls.empty());
}

}  // namespace
}  // namespace miraxld
