#include "Core/Time.h"

#include "Win32/Win32.h"

#include <algorithm>

std::int64_t SteadyClockNanoseconds()
{
    constexpr std::int64_t kNanosecondsPerSecond = 1000000000;
    LARGE_INTEGER frequency {};
    LARGE_INTEGER counter {};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder separately: counter * 1e9 would overflow after a few days of
    // uptime at a 10 MHz counter.
    std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
    std::int64_t remainder = counter.QuadPart % frequency.QuadPart;
    return seconds * kNanosecondsPerSecond + remainder * kNanosecondsPerSecond / frequency.QuadPart;
}

Time& Time::GetInstance()
{
    static Time instance;
    return instance;
}

Time::Time(NanosecondClock clock)
    : clock(clock)
{
    currentTime = clock();
    lastTime = clock();
    deltaTime = 0.0f;
    timeScale = 1.0f;
}

void Time::Tick()
{
    constexpr float kNanosecondsPerSecond = 1e9f;
    currentTime = clock();
    std::int64_t elapsedNanoseconds = currentTime - lastTime;
    float elapsedSeconds = static_cast<float>(elapsedNanoseconds) / kNanosecondsPerSecond;
    frameTime = elapsedSeconds;
    deltaTime = std::min(kMaxDeltaTime, timeScale * elapsedSeconds);
    lastTime = currentTime;
}
