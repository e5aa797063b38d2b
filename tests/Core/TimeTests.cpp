#include "Core/Time.h"

#include <gtest/gtest.h>

namespace {

// A clock the test moves by hand; each reading also advances it by `step`.
std::int64_t fakeNow = 0;
std::int64_t fakeStep = 0;

std::int64_t FakeClock()
{
    std::int64_t reading = fakeNow;
    fakeNow += fakeStep;
    return reading;
}

constexpr std::int64_t kMillisecond = 1000000;

Time MakeTime()
{
    fakeNow = 5 * kMillisecond;
    fakeStep = 0;
    return Time(FakeClock);
}

} // namespace

TEST(Time, StartsWithTwoReadingsNoDeltaAndUnitScale)
{
    fakeNow = 1000;
    fakeStep = 250;
    Time time(FakeClock);
    EXPECT_EQ(time.currentTime, 1000);
    EXPECT_EQ(time.lastTime, 1250);
    EXPECT_EQ(time.deltaTime, 0.0f);
    EXPECT_EQ(time.timeScale, 1.0f);

    // The first tick measures from the second construction reading.
    time.Tick();
    EXPECT_EQ(time.currentTime, 1500);
    EXPECT_EQ(time.lastTime, 1500);
    EXPECT_EQ(time.deltaTime, 250.0f / 1e9f);
}

TEST(Time, ATenMillisecondFrameIsTenMilliseconds)
{
    Time time = MakeTime();
    fakeNow += 10 * kMillisecond;
    time.Tick();
    EXPECT_EQ(time.deltaTime, static_cast<float>(10 * kMillisecond) / 1e9f);
    EXPECT_FLOAT_EQ(time.deltaTime, 0.01f);
}

TEST(Time, ALongFrameIsCappedAtTheFloatNearest0_0333)
{
    Time time = MakeTime();
    fakeNow += 100 * kMillisecond;
    time.Tick();
    EXPECT_EQ(time.deltaTime, 0.0333f);
    EXPECT_NE(time.deltaTime, 1.0f / 30.0f);

    // A stall of a minute is still one capped step, and the next frame measures from the stall's end.
    fakeNow += 60000 * kMillisecond;
    time.Tick();
    EXPECT_EQ(time.deltaTime, 0.0333f);
    fakeNow += 2 * kMillisecond;
    time.Tick();
    EXPECT_FLOAT_EQ(time.deltaTime, 0.002f);
}

TEST(Time, TimeScaleAppliesBeforeTheCap)
{
    Time time = MakeTime();
    time.timeScale = 0.5f;
    fakeNow += 50 * kMillisecond;
    time.Tick();
    EXPECT_FLOAT_EQ(time.deltaTime, 0.025f);
    fakeNow += 100 * kMillisecond;
    time.Tick();
    EXPECT_EQ(time.deltaTime, 0.0333f);
}

TEST(Time, TheFrameTimeIsTheRealIntervalNeitherScaledNorCapped)
{
    Time time = MakeTime();
    EXPECT_EQ(time.frameTime, 0.0f);
    fakeNow += 122 * kMillisecond;
    time.Tick();
    EXPECT_FLOAT_EQ(time.frameTime, 0.122f);
    EXPECT_EQ(time.deltaTime, 0.0333f);

    time.timeScale = 0.5f;
    fakeNow += 50 * kMillisecond;
    time.Tick();
    EXPECT_FLOAT_EQ(time.frameTime, 0.05f);
    EXPECT_FLOAT_EQ(time.deltaTime, 0.025f);
}

TEST(Time, TheSteadyClockNeverRunsBackwards)
{
    std::int64_t previous = SteadyClockNanoseconds();
    for (int i = 0; i < 1000; ++i) {
        std::int64_t now = SteadyClockNanoseconds();
        ASSERT_GE(now, previous);
        previous = now;
    }
    EXPECT_GT(previous, 0);
}
