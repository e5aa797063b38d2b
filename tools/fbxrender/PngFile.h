#pragma once
// Pictures written as PNG files that appear whole or not at all.

#include "ModelPicture.h"

#include <filesystem>
#include <string>

// Writes `picture` to `path` through a temporary file in the same folder, renamed into place once it
// is complete, so that no reader ever sees half a PNG and a failed write leaves nothing behind.
// Returns false with the reason in `problem`.
bool WritePng(const Picture& picture, const std::filesystem::path& path, std::string& problem);
