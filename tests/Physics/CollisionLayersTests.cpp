#include "Physics/CollisionLayers.h"

#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using Masks = std::array<std::int32_t, kCollisionLayerCount>;

Masks CurrentMasks()
{
    Masks masks {};
    std::copy(std::begin(collisionMasks), std::end(collisionMasks), masks.begin());
    return masks;
}

// Every case starts from the table as the program starts (all zero), and leaves the demo's table behind
// for the tests that build colliders.
class CollisionLayersFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearCollisionMasks();
        std::random_device random;
        folder = std::filesystem::temp_directory_path() / ("tarnwick-layers-" + std::to_string(random()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(folder);
        ClearCollisionMasks();
        LoadCollisionLayersFromText(kDemoLayers);
    }

    // Loads `text` through a settings file, as start-up does, and returns the masks it gave.
    Masks LoadFile(const std::string& text, const std::string& name = "Collisionlayers.json")
    {
        const std::filesystem::path path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        ClearCollisionMasks();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        LoadCollisionLayers(path.string().c_str());
        std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed, "") << "for " << text;
        return CurrentMasks();
    }

    // The same text straight from memory; file and text must agree.
    static Masks LoadText(const std::string& text)
    {
        ClearCollisionMasks();
        LoadCollisionLayersFromText(text.c_str());
        return CurrentMasks();
    }

    void ExpectMasks(const std::string& text, const Masks& expected)
    {
        EXPECT_EQ(LoadFile(text), expected) << "from the file " << text;
        EXPECT_EQ(LoadText(text), expected) << "from the text " << text;
    }

    std::filesystem::path folder;
};

constexpr Masks kZero {};

TEST_F(CollisionLayersFile, AMissingFileLeavesEveryMaskZeroAndPrintsNothing)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    LoadCollisionLayers((folder / "nowhere" / "Collisionlayers.json").string().c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(CurrentMasks(), kZero);
}

TEST_F(CollisionLayersFile, InvalidJsonLeavesEveryMaskZero)
{
    ExpectMasks(R"({"Layer":[17,0,0,0,1])", kZero);
    ExpectMasks(R"({"Layer":[17,0,0,0,1]} trailing)", kZero);
    ExpectMasks("", kZero);
    ExpectMasks(R"({Layer:[17]})", kZero);
}

TEST_F(CollisionLayersFile, AnEmptyArrayLeavesEveryMaskZero)
{
    ExpectMasks(R"({"Layer":[]})", kZero);
}

TEST_F(CollisionLayersFile, ThreeElementsSetTheFirstThreeMasksAndLeaveTheRestZero)
{
    ExpectMasks(R"({"Layer":[3,5,9]})", Masks { 3, 5, 9, 0, 0 });
}

TEST_F(CollisionLayersFile, FiveElementsSetEveryMaskInOrder)
{
    ExpectMasks("{\n    \"Layer\": [17, 0, 0, 0, 1]\n}\n", Masks { 17, 0, 0, 0, 1 });
    ExpectMasks(R"({"Layer":[1,2,4,8,16]})", Masks { 1, 2, 4, 8, 16 });
}

TEST_F(CollisionLayersFile, MoreThanFiveElementsFillTheTableAndTheRestAreIgnored)
{
    // Writing past the table would corrupt whatever follows it; the sanitizer build catches that.
    ExpectMasks(R"({"Layer":[1,2,3,4,5,6,7,8]})", Masks { 1, 2, 3, 4, 5 });
}

TEST_F(CollisionLayersFile, TheKeyIsMatchedWithItsExactCase)
{
    ExpectMasks(R"({"layer":[17,0,0,0,1]})", kZero);
    ExpectMasks(R"({"LAYER":[17,0,0,0,1]})", kZero);
    ExpectMasks(R"({"Layers":[17,0,0,0,1]})", kZero);
    // Other members are ignored, wherever they stand.
    ExpectMasks(R"({"layer":[9],"Other":{"Layer":[8]},"Layer":[6,7]})", Masks { 6, 7, 0, 0, 0 });
}

TEST_F(CollisionLayersFile, ElementsThatAreNotIntegersLeaveTheirMasksZero)
{
    ExpectMasks(R"({"Layer":[1.5,"2",true,null,[1]]})", kZero);
    ExpectMasks(R"({"Layer":[3,2.5,5,{},9]})", Masks { 3, 0, 5, 0, 9 });
    // A "Layer" member that is not an array gives nothing either.
    ExpectMasks(R"({"Layer":17})", kZero);
    ExpectMasks(R"({"Layer":{"0":17}})", kZero);
}

TEST_F(CollisionLayersFile, ARootThatIsNotAnObjectLeavesEveryMaskZero)
{
    ExpectMasks(R"([17,0,0,0,1])", kZero);
    ExpectMasks(R"("Layer")", kZero);
    ExpectMasks("17", kZero);
    ExpectMasks("null", kZero);
}

TEST_F(CollisionLayersFile, AnIntegerIsTakenAsA32BitWord)
{
    // 2^31 and 2^32 - 1 keep their bits; beyond 32 bits only the low word counts; negatives stay.
    ExpectMasks(
        R"({"Layer":[2147483648,4294967295,4294967301,-1,-2147483648]})", Masks { INT32_MIN, -1, 5, -1, INT32_MIN });
}

TEST_F(CollisionLayersFile, TheShippedSettingsMakeTheDemoCollide)
{
    LoadCollisionLayers(TARNWICK_SOURCE_DIR "/Settings/Collisionlayers.json");
    // Balls (layer 1) hit the floor (layer 1) and the cabin (layer 16); the cabin is hit by balls.
    EXPECT_EQ(collisionMasks[0] & 1, 1);
    EXPECT_EQ(collisionMasks[0] & 16, 16);
    EXPECT_EQ(collisionMasks[4] & 1, 1);
}

TEST_F(CollisionLayersFile, TheDefaultPathIsTheSettingsFileBelowTheWorkingDirectory)
{
    EXPECT_STREQ(kCollisionLayersPath, "Settings/Collisionlayers.json");
}

TEST_F(CollisionLayersFile, ALayerGetsTheMaskOfItsLowestSetBit)
{
    LoadText(R"({"Layer":[11,22,33,44,55]})");
    EXPECT_EQ(CollisionMaskOf(1), 11);
    EXPECT_EQ(CollisionMaskOf(2), 22);
    EXPECT_EQ(CollisionMaskOf(4), 33);
    EXPECT_EQ(CollisionMaskOf(8), 44);
    EXPECT_EQ(CollisionMaskOf(16), 55);
    EXPECT_EQ(CollisionMaskOf(16 | 64), 55);
    // No bit, or a bit beyond the table: no entry, no mask.
    EXPECT_EQ(CollisionMaskOf(0), 0);
    EXPECT_EQ(CollisionMaskOf(32), 0);
    EXPECT_EQ(CollisionMaskOf(INT32_MIN), 0);
}

// -- The filter shader

using physx::PxFilterData;
using physx::PxFilterFlag;
using physx::PxFilterFlags;
using physx::PxPairFlag;
using physx::PxPairFlags;

constexpr physx::PxU16 kUnwritten = 0x8000;
constexpr physx::PxU16 kKeptPairFlags = 0x617;

struct Verdict {
    physx::PxU16 filterFlags;
    physx::PxU16 pairFlags;
};

Verdict Filter(const PxFilterData& first, const PxFilterData& second,
    physx::PxFilterObjectAttributes attributes0 = physx::PxFilterObjectType::eRIGID_DYNAMIC,
    physx::PxFilterObjectAttributes attributes1 = physx::PxFilterObjectType::eRIGID_STATIC)
{
    PxPairFlags pairFlags(kUnwritten);
    PxFilterFlags flags = CollisionFilterShader(attributes0, first, attributes1, second, pairFlags, nullptr, 0);
    return { static_cast<physx::PxU16>(flags), static_cast<physx::PxU16>(pairFlags) };
}

// The filter data a collider writes: its layer and that layer's mask.
PxFilterData Shape(physx::PxU32 layer, physx::PxU32 mask)
{
    return PxFilterData(layer, mask, 0, 0);
}

TEST(CollisionFilterShader, AKeptPairIsSolvedModifiedAndReportedWithPoints)
{
    Verdict verdict = Filter(Shape(1, 17), Shape(16, 1));
    EXPECT_EQ(verdict.filterFlags, static_cast<physx::PxU16>(PxFilterFlag::eDEFAULT));
    EXPECT_EQ(verdict.pairFlags, kKeptPairFlags);
    const physx::PxU16 named = static_cast<physx::PxU16>(PxPairFlag::eSOLVE_CONTACT | PxPairFlag::eMODIFY_CONTACTS
        | PxPairFlag::eNOTIFY_TOUCH_FOUND | PxPairFlag::eNOTIFY_TOUCH_LOST | PxPairFlag::eNOTIFY_CONTACT_POINTS
        | PxPairFlag::eDETECT_DISCRETE_CONTACT);
    EXPECT_EQ(verdict.pairFlags, named);
}

TEST(CollisionFilterShader, ASuppressedPairLeavesThePairFlagsUnwritten)
{
    Verdict verdict = Filter(Shape(2, 0xffffffffu), Shape(16, 1));
    EXPECT_EQ(verdict.filterFlags, static_cast<physx::PxU16>(PxFilterFlag::eSUPPRESS));
    EXPECT_EQ(verdict.pairFlags, kUnwritten);
    // With the table all zero (no settings file) every pair is suppressed.
    EXPECT_EQ(Filter(Shape(1, 0), Shape(1, 0)).filterFlags, static_cast<physx::PxU16>(PxFilterFlag::eSUPPRESS));
}

TEST(CollisionFilterShader, OnlyTheFirstLayerIsTestedAgainstTheSecondMask)
{
    // A's mask lists B's layer; B's mask does not list A's.
    const PxFilterData a = Shape(1, 2);
    const PxFilterData b = Shape(2, 0);
    EXPECT_EQ(Filter(b, a).pairFlags, kKeptPairFlags);
    EXPECT_EQ(Filter(a, b).filterFlags, static_cast<physx::PxU16>(PxFilterFlag::eSUPPRESS));
    // The first shape's mask and the second shape's layer play no part.
    EXPECT_EQ(Filter(Shape(1, 0), Shape(0, 1)).pairFlags, kKeptPairFlags);
    EXPECT_EQ(Filter(Shape(0, 0xffffffffu), Shape(0xffffffffu, 0xffffffffu)).filterFlags,
        static_cast<physx::PxU16>(PxFilterFlag::eSUPPRESS));
}

TEST(CollisionFilterShader, ASymmetricTableGivesTheSameAnswerInEitherOrder)
{
    const PxFilterData ball = Shape(1, 17);
    const PxFilterData wall = Shape(16, 1);
    const PxFilterData other = Shape(2, 0);
    EXPECT_EQ(Filter(ball, wall).pairFlags, Filter(wall, ball).pairFlags);
    EXPECT_EQ(Filter(ball, wall).pairFlags, kKeptPairFlags);
    EXPECT_EQ(Filter(ball, other).filterFlags, Filter(other, ball).filterFlags);
    EXPECT_EQ(Filter(ball, other).filterFlags, static_cast<physx::PxU16>(PxFilterFlag::eSUPPRESS));
}

TEST(CollisionFilterShader, TheObjectsKindsAreNotLookedAt)
{
    using physx::PxFilterObjectFlag;
    using physx::PxFilterObjectType;
    using Attributes = physx::PxFilterObjectAttributes;
    const Attributes kinds[] = { PxFilterObjectType::eRIGID_STATIC, PxFilterObjectType::eRIGID_DYNAMIC,
        Attributes { PxFilterObjectType::eRIGID_DYNAMIC } | Attributes { PxFilterObjectFlag::eKINEMATIC },
        Attributes { PxFilterObjectType::eRIGID_STATIC } | Attributes { PxFilterObjectFlag::eTRIGGER } };
    for (auto first : kinds)
        for (auto second : kinds) {
            EXPECT_EQ(Filter(Shape(1, 0), Shape(16, 1), first, second).pairFlags, kKeptPairFlags);
            EXPECT_EQ(Filter(Shape(16, 1), Shape(2, 1), first, second).filterFlags,
                static_cast<physx::PxU16>(PxFilterFlag::eSUPPRESS));
        }
}

// In a scene the pair order is the library's: the stand-in presents the earlier-created actor first.
// With a table in which layer 1 lists layer 2 but layer 2 lists nothing, a ball on layer 1 rests on a
// layer-2 floor made before it, and falls through one made after it.
class CollisionLayersInAScene : public PhysicsWorld {
protected:
    // Where a layer-1 ball dropped onto a layer-2 floor is after a second.
    float BallHeightAfterASecond(bool floorFirst)
    {
        ClearCollisionMasks();
        LoadCollisionLayersFromText(R"({"Layer":[2,0,0,0,0]})");
        RigidBody* ball = nullptr;
        if (!floorFirst)
            ball = Ball("ball", { 0.0f, 20.0f, 0.0f });
        StaticBox("floor", { 0.0f, 0.0f, 0.0f }, { 100.0f, 5.0f, 100.0f }, 2);
        if (floorFirst)
            ball = Ball("ball", { 0.0f, 20.0f, 0.0f });
        Step(60);
        return ball->gameObject->transform->position.y;
    }
};

TEST_F(CollisionLayersInAScene, ANonSymmetricTableMakesACollisionDependOnThePairOrder)
{
    EXPECT_NEAR(BallHeightAfterASecond(true), 10.0f, 1.0f);
}

TEST_F(CollisionLayersInAScene, ANonSymmetricTableLetsTheBallThroughInTheOtherOrder)
{
    EXPECT_LT(BallHeightAfterASecond(false), -100.0f);
}

} // namespace
