#pragma once
// Pictures as PNG files, written whole or not at all (OutputFile.h).

#include "ModelPicture.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// `picture` as the bytes of an 8-bit RGBA PNG file. Any thread.
std::vector<std::uint8_t> EncodePng(const Picture& picture);

// Writes `picture` as a PNG file at `path`, a place PlaceToWrite gave. Returns false with the reason
// in `problem`. Any thread.
bool WritePng(const Picture& picture, const std::filesystem::path& path, std::string& problem);
