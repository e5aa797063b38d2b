#pragma once
// The cabin's wall texture, painted in code so it regenerates byte for byte: horizontal logs of
// weathered pine with grain, knots and dark seams between them, and the matching tangent-space
// normal map (x along the image's right, y along its top, as the shaders read it).

#include <cstdint>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // RGB, top row first
};

RgbImage PaintWoodColour(int size);
RgbImage PaintWoodNormals(int size);
