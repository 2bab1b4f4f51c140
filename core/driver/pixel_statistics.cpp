#include "driver/pixel_statistics.h"

namespace {

// A pixel's blue, green and red bytes as 0x00BBGGRR; rows of one bit a
// pixel are padded to 4 bytes.
constexpr uint32_t BYTE_SHIFT_GREEN = 8;
constexpr uint32_t BYTE_SHIFT_BLUE = 16;
constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint32_t ROW_ALIGNMENT = 4;

uint32_t PixelColour(const uint8_t* pixel)
{
    return uint32_t{pixel[2]} | uint32_t{pixel[1]} << BYTE_SHIFT_GREEN |
           uint32_t{pixel[0]} << BYTE_SHIFT_BLUE;
}

}  // namespace

uint32_t MeanColour(const uint8_t* rows, int32_t width, int32_t height, size_t stride)
{
    uint64_t sums[3] = {};
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            for (size_t channel = 0; channel < 3; ++channel) {
                sums[channel] += row[static_cast<size_t>(x) * 3 + channel];
            }
        }
    }
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count == 0) {
        return 0;
    }
    const auto mean = [&](size_t channel) {
        return static_cast<uint32_t>((sums[channel] + count / 2) / count);
    };
    return mean(2) | mean(1) << BYTE_SHIFT_GREEN | mean(0) << BYTE_SHIFT_BLUE;
}

std::optional<TwoColours> ReadTwoColours(const uint8_t* rows, int32_t width, int32_t height,
                                         size_t stride)
{
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const uint32_t first = PixelColour(rows);
    std::optional<uint32_t> second;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t colour = PixelColour(row + static_cast<size_t>(x) * 3);
            if (colour == first || colour == second) {
                continue;
            }
            if (second) {
                return std::nullopt;
            }
            second = colour;
        }
    }
    return TwoColours{first, second.value_or(first)};
}

std::vector<uint8_t> PackTwoColours(const uint8_t* rows, int32_t width, int32_t height,
                                    size_t stride, uint32_t second)
{
    const size_t rowBytes = (static_cast<size_t>(width) + BITS_PER_BYTE * ROW_ALIGNMENT - 1) /
                            (BITS_PER_BYTE * ROW_ALIGNMENT) * ROW_ALIGNMENT;
    std::vector<uint8_t> packed(rowBytes * static_cast<size_t>(height), 0);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        uint8_t* out = packed.data() + static_cast<size_t>(y) * rowBytes;
        for (uint32_t x = 0; x < static_cast<uint32_t>(width); ++x) {
            if (PixelColour(row + static_cast<size_t>(x) * 3) == second) {
                out[x / BITS_PER_BYTE] |= static_cast<uint8_t>(0x80u >> (x % BITS_PER_BYTE));
            }
        }
    }
    return packed;
}
