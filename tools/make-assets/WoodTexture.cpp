#include "WoodTexture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// Five logs across the texture's height; the texture repeats every 25 world units, so each log is
// 5 units tall.
constexpr int kLogsPerTexture = 5;
constexpr double kSeamWidth = 0.06; // of a log's height, dark gap between logs
constexpr int kKnotsPerLog = 2;

// A deterministic hash of integers to [0, 1): the same picture on every machine.
double Hash(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0)
{
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / double(0x1000000);
}

// Smooth value noise that wraps every `period` cells, so the texture tiles.
double Noise(double x, double y, int period, std::uint32_t seed)
{
    auto wrap = [period](int i) { return static_cast<std::uint32_t>(((i % period) + period) % period); };
    int xi = static_cast<int>(std::floor(x));
    int yi = static_cast<int>(std::floor(y));
    double fx = x - xi, fy = y - yi;
    double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    double a = Hash(wrap(xi), wrap(yi), seed), b = Hash(wrap(xi + 1), wrap(yi), seed);
    double c = Hash(wrap(xi), wrap(yi + 1), seed), d = Hash(wrap(xi + 1), wrap(yi + 1), seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

struct Surface {
    double height; // 0 in the seams, up to 1 at the top of a log's curve
    double grain; // 0 to 1, dark to light grain
    int log;
};

// The wood at texture position (x, y) in [0, 1): y grows downwards (image rows).
Surface WoodAt(double x, double y)
{
    double logPosition = y * kLogsPerTexture;
    int log = static_cast<int>(logPosition);
    double across = logPosition - log; // 0 at a log's top edge, 1 at its bottom
    Surface s { 0.0, 0.0, log };
    double inner = (across - kSeamWidth) / (1.0 - 2 * kSeamWidth);
    if (inner <= 0.0 || inner >= 1.0)
        return s;
    // A log's rounded face: a half cylinder seen from the side.
    s.height = std::sqrt(std::max(0.0, 1.0 - std::pow(2 * inner - 1, 2)));

    // Grain runs along the log, waving with low-frequency noise; knots swirl it locally.
    double warp = 0.06 * Noise(x * 6, inner * 2 + log * 3, 6, 11 + log);
    double distortion = 0.0;
    for (int k = 0; k < kKnotsPerLog; ++k) {
        double kx = Hash(log, k, 1);
        double ky = 0.3 + 0.4 * Hash(log, k, 2);
        double dx = std::min(std::abs(x - kx), 1.0 - std::abs(x - kx)) * 6.0;
        double dy = (inner - ky) * 1.5;
        double r2 = dx * dx + dy * dy;
        distortion += 0.25 * std::exp(-r2 * 18.0) / (0.02 + std::sqrt(r2));
    }
    double rings = (inner + warp) * 26.0 + distortion;
    double fine = Noise(x * 64, inner * 8, 64, 29 + log);
    s.grain = 0.5 + 0.5 * std::sin(rings * 2 * std::numbers::pi) * (0.7 + 0.3 * fine);
    return s;
}

std::uint8_t Byte(double value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0.0, 1.0) * 255.0 + 0.5);
}

} // namespace

RgbImage PaintWoodColour(int size)
{
    RgbImage image { size, size, {} };
    image.pixels.reserve(static_cast<std::size_t>(size * size * 3));
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            double x = (column + 0.5) / size, y = (row + 0.5) / size;
            Surface s = WoodAt(x, y);
            // Each log has its own shade of weathered pine.
            double tint = 0.85 + 0.3 * Hash(s.log, 7);
            double r = 0.62, g = 0.42, b = 0.24;
            double light = (0.55 + 0.45 * s.grain) * tint * (0.55 + 0.45 * s.height);
            double blotch = 0.9 + 0.2 * Noise(x * 12, y * 12, 12, 3);
            if (s.height <= 0.0)
                light = 0.18; // the dark seam between logs
            image.pixels.push_back(Byte(r * light * blotch));
            image.pixels.push_back(Byte(g * light * blotch));
            image.pixels.push_back(Byte(b * light * blotch));
        }
    return image;
}

RgbImage PaintWoodNormals(int size)
{
    // Heights from the log curve and the grain; normals from their slopes.
    auto heightAt = [size](int column, int row) {
        column = (column % size + size) % size;
        row = (row % size + size) % size;
        Surface s = WoodAt((column + 0.5) / size, (row + 0.5) / size);
        return 6.0 * s.height + 0.4 * s.grain;
    };
    RgbImage image { size, size, {} };
    image.pixels.reserve(static_cast<std::size_t>(size * size * 3));
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            double dx = (heightAt(column + 1, row) - heightAt(column - 1, row)) * 0.5;
            // Rows grow downwards, the normal map's y grows upwards.
            double dy = (heightAt(column, row - 1) - heightAt(column, row + 1)) * 0.5;
            double nx = -dx, ny = -dy, nz = 1.0;
            double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            image.pixels.push_back(Byte(0.5 + 0.5 * nx / length));
            image.pixels.push_back(Byte(0.5 + 0.5 * ny / length));
            image.pixels.push_back(Byte(0.5 + 0.5 * nz / length));
        }
    return image;
}
