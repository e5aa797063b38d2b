#pragma once
// Checks of an image file's data that stb_image 2.27 does not make before it acts on it, made before
// the image is handed to it: a PNG chunk whose declared length runs past the end of the file (stb_image
// reserves that length first), and Radiance HDR scanlines that end before the image does (stb_image
// then reads zeros forever and never returns).
//
// Pure functions: any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// An image file's bytes wherever they are: `read(offset, bytes, count)` copies up to `count` bytes at
// `offset` and returns how many it copied (fewer at the end, none past it).
struct ImageSource {
    std::function<std::size_t(std::uint64_t offset, std::uint8_t* bytes, std::size_t count)> read;
    std::uint64_t size = 0;
};

// Why stb_image must not be given the image ("is not an image that can be decoded (its PNG chunk
// "IDAT" of 1291845652 bytes runs past the end of the file)"), or nothing. Reads what it needs of the
// source: a PNG's chunk headers, a Radiance image's run-length counts.
std::optional<std::string> ImageDataProblem(const ImageSource& source);

// Whether the bytes start with the PNG signature.
bool StartsAsPng(const std::uint8_t* bytes, std::size_t size);

// Text quoted from a file (a chunk's type, a decoder's reason that quotes one), fit for one line of the
// console: bytes outside printable ASCII are written as \xNN.
std::string Printable(std::string_view quoted);
