#include <gtest/gtest.h>

#include "tests/support/relay_fixture.h"

TEST(FakePlatform, SleepAdvancesVirtualClock)
{
    TestRelay t;
    long long before = t.fake.now();
    t.fake.sleep_ms(21500);
    EXPECT_EQ(t.fake.now() - before, 21);
    EXPECT_EQ(t.fake.slept_ms, 21500);
}
