#pragma once
// Where a program's data (the Assets/ and Settings/ folders) is read from. Every data path in the
// engine is relative ("Assets/Shaders/DefaultVS.glsl", "Settings/Collisionlayers.json"), so the folder
// found becomes the working directory: the paths, and every message that names one, stay as they are.
//
// Looked for in the working directory first (a source tree or a copy of the data: tools/run.sh, the
// tests), then in the folder installed with the programs, found from the running executable, so that
// an installed or unpacked copy works from wherever it is started.
//
// Main thread, at start-up, before anything reads a data file: the working directory is the
// process's own.

#include <filesystem>
#include <string>
#include <vector>

// One place the data may be, and how a message names it ("the working directory").
struct DataPlace {
    std::filesystem::path folder;
    std::string role;
};

// Whether `folder` holds the data: it has an Assets and a Settings folder. What is inside them is not
// looked at: a broken or missing file is for its reader to report, not a reason to take the data from
// elsewhere.
bool HoldsData(const std::filesystem::path& folder);

// The working directory, then the installed data folder: `fromPrograms` (BuildInfo.h's
// kDataFolderFromPrograms) taken from the running executable's folder. The installed place is left
// out when the system cannot say where the executable is.
std::vector<DataPlace> StandardDataPlaces(const std::filesystem::path& fromPrograms);

// Makes the first of `places` that holds the data the working directory (nothing changes when that is
// the working directory already). Returns false when none holds it, with `problem` naming every place
// looked in; the working directory is then left as it was.
bool EnterDataFolder(const std::vector<DataPlace>& places, std::string& problem);
