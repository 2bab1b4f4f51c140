// A gradient's colour over the device. The platform shades a triangle by
// interpolating its corners' colours linearly, and a rectangle along one
// of its sides, so a piece's colour is one affine function of the device
// point in each channel. An image of a piece then needs no finer pixels
// than keep neighbours within one step of colour of each other.
#pragma once

#include "driver/device_geometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

constexpr size_t SHADE_CHANNELS = 3;  // red, green, blue

struct ShadedCorner {
    DevicePoint at;
    std::array<uint16_t, SHADE_CHANNELS> colour;  // 16-bit channels, as TRIVERTEX holds them
};

// Each channel as base + x perX + y perY, in 16-bit levels.
struct LinearShade {
    std::array<double, SHADE_CHANNELS> base;
    std::array<double, SHADE_CHANNELS> perX;
    std::array<double, SHADE_CHANNELS> perY;
};

// The shade through three corners; none when they lie on one line, or so
// near it that the shade's change is beyond a double, or are not finite.
std::optional<LinearShade> ShadeThrough(const std::array<ShadedCorner, 3>& corners);

// The shade at a device point as 0x00RRGGBB: each channel cut to 8 bits,
// and beyond the corners kept to the range of a channel.
uint32_t ShadeAt(const LinearShade& shade, const DevicePoint& point);

struct ImageGrid {
    int32_t columns;
    int32_t rows;
};
// The pixels an image of the shade over an area of width by height device
// pixels needs: along each side as few as keep the colour within one 8-bit
// level from a pixel to the next, and never more than the area has.
ImageGrid GridFor(const LinearShade& shade, int32_t width, int32_t height);

// A device area, in whole pixels.
struct PixelArea {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};
// Rows of blue, green, red bytes, stride bytes apart, of an image of the
// grid's pixels stretched over the area: each pixel the shade at its
// centre's place on the device, counted as the platform counts pixels.
void ShadeImage(const LinearShade& shade, const PixelArea& area, const ImageGrid& grid,
                uint8_t* rows, size_t stride);
