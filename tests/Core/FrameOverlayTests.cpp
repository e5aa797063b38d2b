#include "Core/FrameOverlay.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::string Format(float deltaTime)
{
    char buffer[32];
    return FormatFramesPerSecond(deltaTime, buffer, sizeof buffer);
}

std::string StreamFormat(float deltaTime)
{
    std::ostringstream stream;
    stream << 1.0f / deltaTime;
    return stream.str();
}

} // namespace

TEST(FrameOverlay, FramesPerSecondKeepSixSignificantDigitsWithoutTrailingZeros)
{
    EXPECT_EQ(Format(1.0f / 144.5f), "144.5");
    EXPECT_EQ(Format(0.0333f), "30.03");
    EXPECT_EQ(Format(0.01f), "100");
    EXPECT_EQ(Format(0.5f), "2");
    EXPECT_EQ(Format(1.0f / 1234567.0f), "1.23457e+06");
}

TEST(FrameOverlay, FramesPerSecondReadsAsAnOutputStreamWritesThem)
{
    for (float deltaTime = 1e-6f; deltaTime < 0.04f; deltaTime *= 1.37f)
        EXPECT_EQ(Format(deltaTime), StreamFormat(deltaTime)) << "deltaTime " << deltaTime;
}
