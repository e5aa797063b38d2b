#include "Core/Input.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct MessageRow {
    UINT message;
    WPARAM wParam;
    int key;
    std::uint8_t down;
};

// Every key and button message, with the slot it writes and the value it leaves there.
const MessageRow kMessageTable[] = {
    { WM_KEYDOWN, 'W', 'W', 1 },
    { WM_KEYUP, 'W', 'W', 0 },
    { WM_KEYDOWN, VK_SHIFT, VK_SHIFT, 1 },
    { WM_KEYUP, VK_CONTROL, VK_CONTROL, 0 },
    { WM_LBUTTONDOWN, 0, VK_LBUTTON, 1 },
    { WM_LBUTTONUP, 0, VK_LBUTTON, 0 },
    { WM_RBUTTONDOWN, 0, VK_RBUTTON, 1 },
    { WM_RBUTTONUP, 0, VK_RBUTTON, 0 },
    { WM_MBUTTONDOWN, 0, VK_MBUTTON, 1 },
    { WM_MBUTTONUP, 0, VK_MBUTTON, 0 },
};

std::unique_ptr<Input> FreshInput()
{
    return std::make_unique<Input>();
}

} // namespace

TEST(Input, StartsZeroFilled)
{
    auto in = FreshInput();
    for (int vk = 0; vk < Input::kKeyCount; ++vk) {
        EXPECT_EQ(in->keys[vk], 0);
        EXPECT_EQ(in->previousKeys[vk], 0);
    }
    EXPECT_EQ(in->cursor.x, 0);
    EXPECT_EQ(in->mouseDelta.y, 0);
}

// Virtual-key codes of letters are their capitals' character codes.
constexpr int kUnrelatedKey = 'Q';
constexpr int kLetterA = 'A';

TEST(Input, EveryKeyAndButtonMessageSetsItsSlotAfterSavingTheWholeTable)
{
    for (const MessageRow& row : kMessageTable) {
        auto in = FreshInput();
        // Start from the opposite state, with an unrelated key down, to see both the write and the copy.
        in->keys[row.key] = row.down ? 0 : 1;
        in->keys[kUnrelatedKey] = 1;
        in->HandleMessage(row.message, row.wParam, 0);
        EXPECT_EQ(in->keys[row.key], row.down) << "message 0x" << std::hex << row.message;
        EXPECT_EQ(in->previousKeys[row.key], row.down ? 0 : 1) << "message 0x" << std::hex << row.message;
        EXPECT_EQ(in->previousKeys[kUnrelatedKey], 1) << "message 0x" << std::hex << row.message;
    }
}

TEST(Input, OtherMessagesChangeNothing)
{
    const UINT ignored[] = {
        WM_SYSKEYDOWN,
        WM_SYSKEYUP,
        0x0102 /* WM_CHAR */,
        0x0200 /* WM_MOUSEMOVE */,
        0x0203 /* WM_LBUTTONDBLCLK */,
        0x020A /* WM_MOUSEWHEEL */,
        WM_XBUTTONDOWN,
        WM_QUIT,
    };
    for (UINT message : ignored) {
        auto in = FreshInput();
        in->keys[kLetterA] = 1;
        in->HandleMessage(message, kLetterA, 0);
        in->HandleMessage(message, VK_MENU, 0);
        EXPECT_EQ(in->keys[VK_MENU], 0) << "message 0x" << std::hex << message;
        EXPECT_EQ(in->previousKeys[kLetterA], 0) << "message 0x" << std::hex << message;
    }
}

TEST(Input, KeyCodesOutsideTheTableAreIgnored)
{
    auto in = FreshInput();
    in->HandleMessage(WM_KEYDOWN, 256, 0);
    in->HandleMessage(WM_KEYDOWN, static_cast<WPARAM>(-1), 0);
    EXPECT_FALSE(in->GetKey(256));
    EXPECT_FALSE(in->GetKey(-1));
    EXPECT_FALSE(in->GetKeyDown(4096));
    for (int vk = 0; vk < Input::kKeyCount; ++vk)
        EXPECT_EQ(in->keys[vk], 0);
}

TEST(Input, GetKeyDownReportsAPressOnceAndAgainOnlyAfterARelease)
{
    auto in = FreshInput();
    in->HandleMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(in->GetKey(VK_ESCAPE));
    EXPECT_TRUE(in->GetKeyDown(VK_ESCAPE));
    EXPECT_FALSE(in->GetKeyDown(VK_ESCAPE));

    // Auto-repeat while held keeps the key down without a second report.
    in->HandleMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    in->HandleMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(in->previousKeys[VK_ESCAPE], 1);
    EXPECT_FALSE(in->GetKeyDown(VK_ESCAPE));
    EXPECT_TRUE(in->GetKey(VK_ESCAPE));

    in->HandleMessage(WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_FALSE(in->GetKeyDown(VK_ESCAPE));
    in->HandleMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(in->GetKeyDown(VK_ESCAPE));
}

TEST(Input, KeyPressedAndReleasedInOneFrameIsNeverSeenAsDown)
{
    auto in = FreshInput();
    in->HandleMessage(WM_LBUTTONDOWN, 0, 0);
    in->HandleMessage(WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(in->previousKeys[VK_LBUTTON], 1);
    EXPECT_EQ(in->keys[VK_LBUTTON], 0);
    EXPECT_FALSE(in->GetKeyDown(VK_LBUTTON));
    EXPECT_FALSE(in->GetKey(VK_LBUTTON));
}

TEST(Input, ASecondMessageInTheSameFrameHidesTheFirstPress)
{
    auto in = FreshInput();
    in->HandleMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    in->HandleMessage(WM_KEYDOWN, 'W', 0);
    EXPECT_TRUE(in->GetKey(VK_ESCAPE));
    EXPECT_FALSE(in->GetKeyDown(VK_ESCAPE));
    EXPECT_TRUE(in->GetKeyDown('W'));
}

TEST(Input, MouseDeltaIsMeasuredFromTheOriginFirstAndGrowsUpwards)
{
    auto in = FreshInput();
    in->MoveCursorTo({ 300, 200 });
    EXPECT_EQ(in->mouseDelta.x, 300);
    EXPECT_EQ(in->mouseDelta.y, -200);

    // Moving the cursor up the screen (smaller y) is a positive delta.
    in->MoveCursorTo({ 290, 150 });
    EXPECT_EQ(in->lastCursor.x, 300);
    EXPECT_EQ(in->lastCursor.y, 200);
    EXPECT_EQ(in->mouseDelta.x, -10);
    EXPECT_EQ(in->mouseDelta.y, 50);

    in->MoveCursorTo({ 290, 150 });
    EXPECT_EQ(in->mouseDelta.x, 0);
    EXPECT_EQ(in->mouseDelta.y, 0);
}

TEST(Input, UpdateMouseWithoutAWindowKeepsTheCursorWhereItWas)
{
    auto in = FreshInput();
    in->MoveCursorTo({ 40, 60 });
    in->UpdateMouse();
    EXPECT_EQ(in->cursor.x, 40);
    EXPECT_EQ(in->cursor.y, 60);
    EXPECT_EQ(in->mouseDelta.x, 0);
    EXPECT_EQ(in->mouseDelta.y, 0);
}
