#include "events/event_sink.h"

#include <gtest/gtest.h>

#include "doubles/test_platform.h"

namespace miraxld::testing {
namespace {

TEST(EventSink, UnresolvedNamesAreZeroAndStatusUpdatesStillFire) {
    RecordingEventTarget target(2);  // SOData and SODirectIO only
    EventSink sink;
    sink.Attach(&target);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(sink.DispId(i), i < 2 ? 200 + i : 0) << "index " << i;
    }
    sink.FireStatusUpdate(2003);
    EXPECT_EQ(target.Take(), (std::vector<std::pair<int32_t, int32_t>>{{0, 2003}}));
    sink.Attach(nullptr);  // forgets the earlier target
    sink.FireStatusUpdate(2001);
    EXPECT_TRUE(target.Take().empty());
}

}  // namespace
}  // namespace miraxld::testing
