#include "App/Application.h"
#include "App/FrameOverlay.h"
#include "Core/Time.h"
#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <sstream>
#include <string>
#include <vector>

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

namespace {

constexpr std::int64_t kMillisecond = 1000000;
// A software-rendered frame at the window's size: far slower than the 1/30 s cap.
constexpr std::int64_t kSlowFrame = 122 * kMillisecond;

// A clock that stands still until the test moves it.
std::int64_t stubNow = 0;
std::int64_t StubClock()
{
    return stubNow;
}

// Every deltaTime the component passes hand it.
struct StepProbe : Component {
    void EarlyUpdate(float deltaTime) override { seen.push_back(deltaTime); }
    void Update(float deltaTime) override { seen.push_back(deltaTime); }
    std::vector<float> seen;
};

std::string clipboard;

// The frame's UI without a window or a renderer. The UI library logs the text written until the first
// window ends (the "FPS" read-out, the frame's first) to a "clipboard" the test reads.
class UiFrame {
public:
    UiFrame()
    {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = { 1920.0f, 1080.0f };
        io.SetClipboardTextFn = [](void*, const char* text) { clipboard = text; };
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
        clipboard.clear();
        ImGui::NewFrame();
        ImGui::LogToClipboard();
    }

    // The text the first window wrote, a line at a time.
    std::string End()
    {
        ImGui::LogFinish();
        ImGui::EndFrame();
        return clipboard;
    }

    ~UiFrame() { ImGui::DestroyContext(); }
};

class SlowFrameTest : public PhysicsWorld {
protected:
    void SetUp() override
    {
        PhysicsWorld::SetUp();
        saved = Time::GetInstance();
        Time::GetInstance() = Time(StubClock);
    }
    void TearDown() override
    {
        Time::GetInstance() = saved;
        PhysicsWorld::TearDown();
    }

    Time saved { StubClock };
};

} // namespace

TEST_F(SlowFrameTest, TheReadOutShowsTheRealRateWhileEverythingThatMovesGetsTheCappedStep)
{
    RigidBody* ball = Ball("Falling ball", { 0, 1000, 0 });
    auto* probe = AddComponent<StepProbe>(Object("Probe"));
    Time& time = Time::GetInstance();
    stubNow += kSlowFrame;
    time.Tick();

    UiFrame ui;
    StepFrameWorld(time, nullptr);
    const std::string text = ui.End();

    // 1 / 0.122 s, not 1 / 0.0333 s.
    EXPECT_EQ(text, "8.19672\n");
    EXPECT_FLOAT_EQ(time.frameTime, 0.122f);
    EXPECT_EQ(time.deltaTime, Time::kMaxDeltaTime);
    EXPECT_EQ(probe->seen, (std::vector<float> { 0.0333f, 0.0333f }));
    // The physics step saw 0.0333 s too: a ball falling from rest gains g dt of speed.
    EXPECT_NEAR(ball->LinearVelocity().y, -981.0f * 0.0333f, 981.0f * 0.0333f * 0.01f);
}
