#pragma once
// Frame time: the wall-clock interval between two ticks, scaled by timeScale and capped, as the one
// deltaTime every per-frame consumer reads.
//
// One instance (GetInstance), created by the first call, which is the frame loop's first Tick.
// Main thread only.

#include <cstdint>

// Reads a monotonic clock, in nanoseconds.
using NanosecondClock = std::int64_t (*)();

// The platform's high-resolution monotonic clock.
std::int64_t SteadyClockNanoseconds();

class Time {
public:
    // The longest step one frame may take, in seconds: the float nearest 0.0333, not 1/30. After a
    // stall the world advances by at most this much, so the game slows down instead of jumping.
    static constexpr float kMaxDeltaTime = 0.0333f;

    static Time& GetInstance();

    // Takes two readings of `clock`, the current and the previous tick's time.
    explicit Time(NanosecondClock clock = SteadyClockNanoseconds);

    // Once per frame, before anything reads deltaTime.
    void Tick();

    std::int64_t lastTime;
    std::int64_t currentTime;
    // What everything that moves advances by: the interval scaled and capped, in seconds.
    float deltaTime;
    float timeScale;
    // The real interval between the last two ticks in seconds, neither scaled nor capped: what the
    // "FPS" read-out shows the rate of. Nothing that moves reads it.
    float frameTime = 0.0f;

private:
    NanosecondClock clock;
};
