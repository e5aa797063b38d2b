// Where the program reads its data from: the working directory, then the folder installed with it.
#include "Core/DataFolder.h"
#include "Platform/ExecutablePath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// A fresh folder of the test's own, removed afterwards; the working directory is put back as well.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device random;
        root = fs::temp_directory_path() / ("tarnwick-data-test-" + std::to_string(random()));
        fs::create_directories(root);
        startFolder = fs::current_path();
    }

    void TearDown() override
    {
        fs::current_path(startFolder);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // A folder under the test's own with the given subfolders.
    fs::path Folder(const std::string& name, std::initializer_list<const char*> subfolders)
    {
        const fs::path folder = root / name;
        fs::create_directories(folder);
        for (const char* subfolder : subfolders)
            fs::create_directories(folder / subfolder);
        return folder;
    }

    fs::path root;
    fs::path startFolder;
};

} // namespace

TEST_F(DataFolderTest, AFolderHoldsTheDataWhenItHasBothAssetsAndSettings)
{
    EXPECT_TRUE(HoldsData(Folder("both", { "Assets", "Settings" })));
    // What is in them is the readers' business: empty folders still count.
    EXPECT_TRUE(HoldsData(Folder("nested", { "Assets/Shaders", "Settings" })));
    EXPECT_FALSE(HoldsData(Folder("empty", {})));
    EXPECT_FALSE(HoldsData(Folder("assets only", { "Assets" })));
    EXPECT_FALSE(HoldsData(Folder("settings only", { "Settings" })));
    // A file where a folder should be is no data folder.
    const fs::path withFile = Folder("file", { "Settings" });
    std::ofstream(withFile / "Assets") << "not a folder";
    EXPECT_FALSE(HoldsData(withFile));
    EXPECT_FALSE(HoldsData(root / "missing"));
}

TEST_F(DataFolderTest, TheFirstPlaceHoldingTheDataBecomesTheWorkingDirectory)
{
    const fs::path empty = Folder("started here", {});
    const fs::path installed = Folder("installed", { "Assets", "Settings" });
    const fs::path later = Folder("later", { "Assets", "Settings" });
    fs::current_path(empty);
    std::string problem;
    EXPECT_TRUE(EnterDataFolder(
        { { empty, "the working directory" }, { installed, "installed" }, { later, "later" } }, problem));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), installed));
    EXPECT_EQ(problem, "");

    // A working directory that holds the data is kept, even when an installed copy exists.
    fs::current_path(later);
    EXPECT_TRUE(EnterDataFolder({ { later, "the working directory" }, { installed, "installed" } }, problem));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), later));
}

TEST_F(DataFolderTest, WithNoDataAnywhereEveryPlaceLookedInIsNamedAndTheWorkingDirectoryStays)
{
    const fs::path empty = Folder("started here", {});
    const fs::path installed = root / "share" / "tarnwick";
    fs::current_path(empty);
    std::string problem;
    EXPECT_FALSE(
        EnterDataFolder({ { empty, "the working directory" }, { installed, "installed with the program" } }, problem));
    EXPECT_EQ(problem,
        "no data folder (Assets/ and Settings/) in " + empty.string() + " (the working directory) or "
            + installed.string() + " (installed with the program)");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), empty));

    EXPECT_FALSE(EnterDataFolder({ { empty, "a" }, { installed, "b" }, { root, "c" } }, problem));
    EXPECT_EQ(problem,
        "no data folder (Assets/ and Settings/) in " + empty.string() + " (a), " + installed.string() + " (b) or "
            + root.string() + " (c)");
}

TEST_F(DataFolderTest, TheStandardPlacesAreTheWorkingDirectoryThenTheDataInstalledBesideTheProgram)
{
    const fs::path executable = ExecutablePath();
    EXPECT_EQ(executable.filename(), "TarnwickTests");
    EXPECT_TRUE(executable.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(executable));

    fs::current_path(Folder("anywhere", {}));
    const std::vector<DataPlace> places = StandardDataPlaces("../share/tarnwick");
    ASSERT_EQ(places.size(), 2u);
    EXPECT_TRUE(fs::equivalent(places[0].folder, root / "anywhere"));
    EXPECT_EQ(places[0].role, "the working directory");
    // bin/ and share/ side by side under one prefix, named without the "..".
    EXPECT_EQ(places[1].folder, executable.parent_path().parent_path() / "share" / "tarnwick");
    EXPECT_EQ(places[1].role, "installed with the program");
}
