// The Wine test program starts and the core links into a Windows executable.
#include <gtest/gtest.h>

#include "platform/platform.h"

TEST(WineSmoke, SystemClockAdvances) {
    miraxld::IClock& clock = miraxld::SystemPlatform().Clock();
    const int64_t before = clock.NowMs();
    clock.SleepMs(20);
    EXPECT_GE(clock.NowMs() - before, 15);
}
