#include "Core/DataFolder.h"

#include "Platform/ExecutablePath.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kAssetsFolder = "Assets";
constexpr const char* kSettingsFolder = "Settings";

// The console takes UTF-8 on every system (the program sets its code page so on Windows).
std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool IsFolder(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

// "A (role)", "A (role) or B (role)", "A (role), B (role) or C (role)".
std::string ListPlaces(const std::vector<DataPlace>& places)
{
    std::string list;
    for (std::size_t k = 0; k < places.size(); ++k) {
        if (k > 0)
            list += k + 1 == places.size() ? " or " : ", ";
        list += Utf8(places[k].folder) + " (" + places[k].role + ")";
    }
    return list;
}

} // namespace

bool HoldsData(const fs::path& folder)
{
    return IsFolder(folder / kAssetsFolder) && IsFolder(folder / kSettingsFolder);
}

std::vector<DataPlace> StandardDataPlaces(const fs::path& fromPrograms)
{
    std::vector<DataPlace> places;
    std::error_code error;
    // A working directory that was removed under the program has no name; "." still says where.
    fs::path workingDirectory = fs::current_path(error);
    places.push_back({ error ? fs::path(".") : workingDirectory, "the working directory" });
    const fs::path executable = ExecutablePath();
    if (!executable.empty())
        places.push_back(
            { (executable.parent_path() / fromPrograms).lexically_normal(), "installed with the program" });
    return places;
}

bool EnterDataFolder(const std::vector<DataPlace>& places, std::string& problem)
{
    for (const DataPlace& place : places) {
        if (!HoldsData(place.folder))
            continue;
        std::error_code error;
        if (fs::equivalent(place.folder, fs::current_path(error), error))
            return true;
        fs::current_path(place.folder, error);
        if (!error)
            return true;
        problem = "the data folder " + Utf8(place.folder) + " (" + place.role
            + ") cannot be made the working directory: " + error.message();
        return false;
    }
    problem = std::string("no data folder (") + kAssetsFolder + "/ and " + kSettingsFolder + "/) in "
        + ListPlaces(places);
    return false;
}
