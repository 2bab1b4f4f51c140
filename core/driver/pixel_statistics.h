// Statistics of rows of blue, green, red pixels, as a raster of the
// platform's playback holds them: the mean colour, the one or two colours
// of a patch and their packing as one bit a pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The mean colour of rows of blue, green, red bytes, stride bytes apart, as
// 0x00BBGGRR (the platform's COLORREF).
uint32_t MeanColour(const uint8_t* rows, int32_t width, int32_t height, size_t stride);

// The colours of rows of blue, green, red bytes when there are at most two,
// as COLORREFs; a one-colour patch gives the same colour twice.
struct TwoColours {
    uint32_t first;  // the first pixel's
    uint32_t second;
};
std::optional<TwoColours> ReadTwoColours(const uint8_t* rows, int32_t width, int32_t height,
                                         size_t stride);
// Those rows as one bit a pixel, rows padded to 4 bytes, the leftmost pixel
// in the top bit: 1 where a pixel is of the second colour.
std::vector<uint8_t> PackTwoColours(const uint8_t* rows, int32_t width, int32_t height,
                                    size_t stride, uint32_t second);
