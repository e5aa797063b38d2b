#include "Physics/CollisionLayers.h"

#include "ForkedRun.h"
#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

    // Loads `text` through a settings file, as start-up does, and returns the masks it gave; what it
    // printed is left in `printed`. Each load has a file of its own: a problem is said once per file.
    Masks LoadFile(const std::string& text)
    {
        const std::filesystem::path path = folder / ("Collisionlayers-" + std::to_string(loads++) + ".json");
        std::ofstream(path, std::ios::binary) << text;
        return LoadPath(path);
    }

    Masks LoadPath(const std::filesystem::path& path)
    {
        ClearCollisionMasks();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        LoadCollisionLayers(path.string().c_str());
        printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        lastPath = path.string();
        return CurrentMasks();
    }

    // The same text straight from memory; file and text must agree.
    static Masks LoadText(const std::string& text, std::vector<std::string>* problems = nullptr)
    {
        ClearCollisionMasks();
        std::vector<std::string> found = LoadCollisionLayersFromText(text);
        if (problems != nullptr)
            *problems = std::move(found);
        return CurrentMasks();
    }

    // Loads `text` from a file and from memory: both give `expected`. A good text says nothing; a bad
    // one says one line per problem, naming the file, and the lines hold each of `said` in turn.
    void ExpectMasks(const std::string& text, const Masks& expected, std::vector<std::string> said = {})
    {
        SCOPED_TRACE(text);
        EXPECT_EQ(LoadFile(text), expected) << "from the file";
        std::vector<std::string> problems;
        EXPECT_EQ(LoadText(text, &problems), expected) << "from the text";
        ASSERT_EQ(problems.size(), said.size()) << printed;
        std::string lines;
        for (std::size_t i = 0; i < said.size(); ++i) {
            EXPECT_NE(problems[i].find(said[i]), std::string::npos) << problems[i];
            lines += lastPath + ": " + problems[i] + "\n";
        }
        EXPECT_EQ(printed, lines);
    }

    std::filesystem::path folder;
    std::string printed;
    std::string lastPath;
    int loads = 0;
};

constexpr Masks kZero {};

TEST_F(CollisionLayersFile, AFileThatCannotBeReadLeavesEveryMaskZeroAndSaysSoOnce)
{
    const std::string consequence = "; every collision mask is 0, so nothing collides\n";
    const std::filesystem::path missing = folder / "nowhere" / "Collisionlayers.json";
    EXPECT_EQ(LoadPath(missing), kZero);
    EXPECT_EQ(printed, missing.string() + ": not found" + consequence);
    // Said once: asking again prints nothing more.
    LoadPath(missing);
    EXPECT_EQ(printed, "");
    // A name with a line break in it is still said on one line, the break written out.
    EXPECT_EQ(LoadPath(folder / "two\nlines.json"), kZero);
    EXPECT_EQ(printed, (folder / "two").string() + "\\x0Alines.json: not found" + consequence);

    // A directory where the file should be.
    const std::filesystem::path directory = folder / "Collisionlayers.json";
    std::filesystem::create_directories(directory);
    EXPECT_EQ(LoadPath(directory), kZero);
    EXPECT_EQ(printed, directory.string() + ": cannot be read: it is not a regular file" + consequence);

    // A file larger than a settings file may be is not read, even when it is valid.
    const std::filesystem::path large = folder / "large.json";
    std::ofstream(large, std::ios::binary)
        << R"({"Layer":[17,0,0,0,1]})" << std::string(kMaxCollisionLayersFileBytes, ' ');
    EXPECT_EQ(LoadPath(large), kZero);
    EXPECT_EQ(printed,
        large.string() + ": cannot be read: it is " + std::to_string(kMaxCollisionLayersFileBytes + 22)
            + " bytes, more than the " + std::to_string(kMaxCollisionLayersFileBytes) + " allowed" + consequence);
}

TEST_F(CollisionLayersFile, InvalidJsonLeavesEveryMaskZeroAndSaysWhere)
{
    ExpectMasks(R"({"Layer":[17,0,0,0,1])", kZero, { "invalid JSON at offset 21: " });
    ExpectMasks(R"({"Layer":[17,0,0,0,1]} trailing)", kZero, { "invalid JSON at offset 23: " });
    ExpectMasks("", kZero,
        { "invalid JSON at offset 0: The document is empty; every collision mask is 0, so nothing collides" });
    ExpectMasks(R"({Layer:[17]})", kZero, { "invalid JSON at offset 1: " });
    // A number too large for any machine word breaks the whole file.
    ExpectMasks(R"({"Layer":[1e999]})", kZero, { "invalid JSON at offset 10: Number too big" });
}

TEST_F(CollisionLayersFile, AByteOrderMarkIsSkippedAsEditorsWriteIt)
{
    ExpectMasks("\xEF\xBB\xBF{\"Layer\":[17,0,0,0,1]}", Masks { 17, 0, 0, 0, 1 });
    // Offsets still count from the file's first byte.
    ExpectMasks("\xEF\xBB\xBF{\"Layer\":[17,", kZero, { "invalid JSON at offset 16: " });
    // Only at the start.
    ExpectMasks("{\"Layer\":[17]}\xEF\xBB\xBF", kZero, { "invalid JSON at offset 14: " });
}

TEST_F(CollisionLayersFile, NestingOfAnyDepthIsParsedWithoutExhaustingTheStack)
{
    // Nearly as deep as the largest file allowed: a recursive parser overflows its stack long before.
    constexpr std::size_t kDepth = kMaxCollisionLayersFileBytes / 2 - 64;
    const std::string deep = R"({"Layer":[17,0,0,0,1],"deep":)" + std::string(kDepth, '[') + std::string(kDepth, ']')
        + "}";
    const std::string unclosed = std::string(kDepth, '[');
    const ForkedRun run = RunForked([&] {
        const bool closedRead = LoadText(deep) == Masks { 17, 0, 0, 0, 1 };
        std::vector<std::string> problems;
        const bool unclosedRefused = LoadText(unclosed, &problems) == kZero && problems.size() == 1
            && problems[0].starts_with("invalid JSON at offset " + std::to_string(kDepth));
        return closedRead && unclosedRefused ? 0 : 1;
    });
    EXPECT_TRUE(run.ExitedWith(0)) << "exit " << run.exitCode << ", signal " << run.signal;
    EXPECT_LT(run.peakKilobytes, 512 * 1024);
    EXPECT_LT(run.seconds, 10.0);
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
    ExpectMasks(R"({"Layer":[1,2,3,4,5,6,7,8]})", Masks { 1, 2, 3, 4, 5 },
        { "\"Layer\" has 8 elements; only the first 5 are read" });
}

TEST_F(CollisionLayersFile, TheKeyIsMatchedWithItsExactCase)
{
    const std::string noLayer = "there is no \"Layer\" member; every collision mask is 0, so nothing collides";
    ExpectMasks(R"({"layer":[17,0,0,0,1]})", kZero, { noLayer });
    ExpectMasks(R"({"LAYER":[17,0,0,0,1]})", kZero, { noLayer });
    ExpectMasks(R"({"Layers":[17,0,0,0,1]})", kZero, { noLayer });
    // Other members are ignored, wherever they stand.
    ExpectMasks(R"({"layer":[9],"Other":{"Layer":[8]},"Layer":[6,7]})", Masks { 6, 7, 0, 0, 0 });
    // A second "Layer" is not silently dropped.
    ExpectMasks(R"({"Layer":[6,7],"Other":1,"Layer":[8],"Layer":[]})", Masks { 6, 7, 0, 0, 0 },
        { "\"Layer\" is given 3 times; the first is read" });
}

TEST_F(CollisionLayersFile, TextThatIsNotUtf8IsNamedWhereItStandsAndTheRestIsRead)
{
    ExpectMasks("{\"Caf\xE9\":1,\"Layer\":[3]}", Masks { 3, 0, 0, 0, 0 },
        { "a member name is not valid UTF-8 (byte 0xE9 at offset 5); it is read byte for byte" });
    ExpectMasks("{\"Layer\":[3],\"Note\":\"a \\\"quoted\\\" \xC0\xAF\"}", Masks { 3, 0, 0, 0, 0 },
        { "a string is not valid UTF-8 (byte 0xC0 at offset 34)" });
    // The key looked for, misspelt by its encoding: both are said.
    ExpectMasks("{\"La\xFFyer\":[3]}", kZero,
        { "a member name is not valid UTF-8 (byte 0xFF at offset 4)", "there is no \"Layer\" member" });
    // Valid UTF-8 of two to four bytes says nothing.
    ExpectMasks("{\"Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x8C\xB2\":0,\"Layer\":[3]}", Masks { 3, 0, 0, 0, 0 });
}

TEST_F(CollisionLayersFile, ElementsThatAreNotIntegersLeaveTheirMasksZeroAndAreNamed)
{
    ExpectMasks(R"({"Layer":[1.5,"2",true,null,[1]]})", kZero,
        { "\"Layer\" element 0 is not an integer; mask 0 (layer 1) is 0 instead", "element 1 ", "element 2 ",
            "element 3 ", "\"Layer\" element 4 is not an integer; mask 4 (layer 16) is 0 instead" });
    ExpectMasks(R"({"Layer":[3,2.5,5,{},9]})", Masks { 3, 0, 5, 0, 9 }, { "element 1 ", "element 3 " });
    // A "Layer" member that is not an array gives nothing either.
    const std::string notArray = "\"Layer\" is not an array; every collision mask is 0, so nothing collides";
    ExpectMasks(R"({"Layer":17})", kZero, { notArray });
    ExpectMasks(R"({"Layer":{"0":17}})", kZero, { notArray });
}

TEST_F(CollisionLayersFile, ARootThatIsNotAnObjectLeavesEveryMaskZero)
{
    const std::string notObject = "the root is not a JSON object; every collision mask is 0, so nothing collides";
    ExpectMasks(R"([17,0,0,0,1])", kZero, { notObject });
    ExpectMasks(R"("Layer")", kZero, { notObject });
    ExpectMasks("17", kZero, { notObject });
    ExpectMasks("null", kZero, { notObject });
}

TEST_F(CollisionLayersFile, AnIntegerIsTakenAsA32BitWord)
{
    // 2^31 and 2^32 - 1 keep their bits; beyond 32 bits only the low word counts; negatives keep
    // their bits and are said.
    ExpectMasks(R"({"Layer":[2147483648,4294967295,4294967301,-1,-2147483648]})",
        Masks { INT32_MIN, -1, 5, -1, INT32_MIN },
        { "\"Layer\" element 2 does not fit in 32 bits; mask 2 is its low 32 bits, 5",
            "\"Layer\" element 3 is negative, -1; mask 3 is its 32-bit two's complement, 4294967295",
            "\"Layer\" element 4 is negative, -2147483648; mask 4 is its 32-bit two's complement, 2147483648" });
    ExpectMasks(R"({"Layer":[-2147483649]})", Masks { INT32_MAX, 0, 0, 0, 0 }, { "element 0 does not fit in 32 bits" });
}

TEST_F(CollisionLayersFile, TheShippedSettingsMakeTheDemoCollide)
{
    LoadPath(TARNWICK_SOURCE_DIR "/Settings/Collisionlayers.json");
    EXPECT_EQ(printed, "");
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
