// The grey stamp of the default bitmap selection brush: a soft round dab with a sponge-like grain,
// so that a stroke leaves a textured, feathered trail. Shared by the generator that writes
// Data/Brushes/Default_Selection_Brush.bmp and by the tests that check what the brush loads.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

constexpr int32_t SelectionStampSize = 128;

namespace selection_stamp_detail {

// A value in [0, 1) for each lattice point, the same on every machine.
inline double LatticeValue(int32_t x, int32_t y)
{
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u;
    h ^= h >> 13;
    h *= 0x9e3779b1u;
    h ^= h >> 16;
    return double(h & 0xffffu) / 65536.0;
}

// Value noise with cells of one unit, smoothly blended between the lattice points.
inline double ValueNoise(double x, double y)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int32_t ix = int32_t(fx);
    const int32_t iy = int32_t(fy);
    const double tx = x - fx;
    const double ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx);
    const double sy = ty * ty * (3 - 2 * ty);
    const double bottom = LatticeValue(ix, iy) + (LatticeValue(ix + 1, iy) - LatticeValue(ix, iy)) * sx;
    const double top =
        LatticeValue(ix, iy + 1) + (LatticeValue(ix + 1, iy + 1) - LatticeValue(ix, iy + 1)) * sx;
    return bottom + (top - bottom) * sy;
}

} // namespace selection_stamp_detail

// The grey value of a pixel (row 0 at the bottom). Full strength at the centre, fading along a
// raised cosine to nothing at the inscribed circle; the grain takes away at most a third, so the
// middle of a dab always selects firmly.
inline uint8_t SelectionStampGrey(int32_t column, int32_t row)
{
    using namespace selection_stamp_detail;
    const double x = (column + 0.5) / SelectionStampSize * 2 - 1;
    const double y = (row + 0.5) / SelectionStampSize * 2 - 1;
    const double r = std::sqrt(x * x + y * y);
    if (r >= 1)
        return 0;
    const double falloff = 0.5 + 0.5 * std::cos(std::numbers::pi * r);
    const double grain = 0.6 * ValueNoise(x * 6 + 11, y * 6 + 7) + 0.4 * ValueNoise(x * 15 + 3, y * 15 + 29);
    const double value = falloff * (0.67 + 0.33 * grain);
    return uint8_t(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}
