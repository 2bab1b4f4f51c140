#include "driver/shading.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double LEVELS_PER_STEP = 256.0;  // 16-bit levels in one 8-bit step
constexpr double HIGHEST_LEVEL = 65535.0;
constexpr int BYTE_BITS = 8;

// The steepest change along one side, in 8-bit steps a device pixel.
double SteepestStep(const std::array<double, SHADE_CHANNELS>& perPixel)
{
    double steepest = 0.0;
    for (const double change : perPixel) {
        steepest = std::max(steepest, std::fabs(change) / LEVELS_PER_STEP);
    }
    return steepest;
}

// The pixels one side of extent device pixels needs at that steepness.
int32_t PixelsAlong(double steepest, int32_t extent)
{
    if (steepest * extent <= 1.0) {
        return 1;
    }
    const double perPixel = std::max(1.0, std::floor(1.0 / steepest));
    return static_cast<int32_t>(std::min<double>(extent, std::ceil(extent / perPixel)));
}

uint32_t ChannelAt(const LinearShade& shade, size_t channel, const DevicePoint& point)
{
    const double level =
        shade.base[channel] + point.x * shade.perX[channel] + point.y * shade.perY[channel];
    return static_cast<uint32_t>(std::clamp(level, 0.0, HIGHEST_LEVEL) / LEVELS_PER_STEP);
}

}  // namespace

std::optional<LinearShade> ShadeThrough(const std::array<ShadedCorner, 3>& corners)
{
    const DevicePoint& a = corners[0].at;
    const double ux = corners[1].at.x - a.x;
    const double uy = corners[1].at.y - a.y;
    const double vx = corners[2].at.x - a.x;
    const double vy = corners[2].at.y - a.y;
    const double area = ux * vy - uy * vx;
    if (!std::isfinite(area) || area == 0.0) {
        return std::nullopt;
    }
    LinearShade shade = {};
    for (size_t c = 0; c < SHADE_CHANNELS; ++c) {
        const double along = static_cast<double>(corners[1].colour[c]) - corners[0].colour[c];
        const double across = static_cast<double>(corners[2].colour[c]) - corners[0].colour[c];
        shade.perX[c] = (along * vy - across * uy) / area;
        shade.perY[c] = (across * ux - along * vx) / area;
        shade.base[c] = corners[0].colour[c] - a.x * shade.perX[c] - a.y * shade.perY[c];
        if (!std::isfinite(shade.base[c]) || !std::isfinite(shade.perX[c]) ||
            !std::isfinite(shade.perY[c])) {
            return std::nullopt;
        }
    }
    return shade;
}

uint32_t ShadeAt(const LinearShade& shade, const DevicePoint& point)
{
    uint32_t colour = 0;
    for (size_t c = 0; c < SHADE_CHANNELS; ++c) {
        colour = colour << BYTE_BITS | ChannelAt(shade, c, point);
    }
    return colour;
}

ImageGrid GridFor(const LinearShade& shade, int32_t width, int32_t height)
{
    return ImageGrid{PixelsAlong(SteepestStep(shade.perX), width),
                     PixelsAlong(SteepestStep(shade.perY), height)};
}

void ShadeImage(const LinearShade& shade, const PixelArea& area, const ImageGrid& grid,
                uint8_t* rows, size_t stride)
{
    const double across = static_cast<double>(area.width) / grid.columns;
    const double down = static_cast<double>(area.height) / grid.rows;
    for (int32_t row = 0; row < grid.rows; ++row) {
        uint8_t* pixel = rows + static_cast<size_t>(row) * stride;
        // A pixel's colour is the shade at its top-left corner, half a
        // pixel before its centre.
        const double y = area.top + (row + 0.5) * down - 0.5;
        for (int32_t column = 0; column < grid.columns; ++column) {
            const double x = area.left + (column + 0.5) * across - 0.5;
            const uint32_t colour = ShadeAt(shade, DevicePoint{x, y});
            *pixel++ = static_cast<uint8_t>(colour);
            *pixel++ = static_cast<uint8_t>(colour >> BYTE_BITS);
            *pixel++ = static_cast<uint8_t>(colour >> 2 * BYTE_BITS);
        }
    }
}
