// The event sink against a Control Object that knows only some of the event names.
#include "events/event_sink.h"

#include <gtest/gtest.h>

#include "doubles/test_platform.h"

namespace miraxld::testing {
namespace {

TEST(EventSink, UnresolvedNamesAreZeroAndStatusUpdatesStillFire) {
    const struct {
        const char* what;
        std::vector<std::u16string_view> known;
        std::array<int32_t, 5> dispids;
    } rows[] = {
        {"no SOData", {u"SOStatusUpdate", u"SOError"}, {0, 0, 201, 200, 0}},
        {"every name",
         {u"SOData", u"SODirectIO", u"SOError", u"SOStatusUpdate", u"SOOutputComplete"},
         {200, 201, 202, 203, 204}},
        {"no SOStatusUpdate: fired as identifier 0", {u"SOData"}, {200, 0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        RecordingEventTarget target(row.known);
        EventSink sink;
        sink.Attach(&target);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(sink.DispId(i), row.dispids[i]) << "index " << i;
        }
        sink.FireStatusUpdate(2003);
        EXPECT_EQ(target.Take(),
                  (std::vector<std::pair<int32_t, int32_t>>{{row.dispids[3], 2003}}));

        sink.Attach(nullptr);  // forgets the earlier target
        EXPECT_EQ(sink.Target(), nullptr);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(sink.DispId(i), 0);
        }
        sink.FireStatusUpdate(2001);
        EXPECT_TRUE(target.Take().empty());
    }
}

}  // namespace
}  // namespace miraxld::testing
