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

// Rows of blue, green, red pixels as one byte a pixel, where they have no
// more colours than a byte can number: the colours as COLORREFs in the
// order they first appear, and each pixel's number among them, rows padded
// to 4 bytes.
struct NumberedColours {
    std::vector<uint32_t> colours;
    std::vector<uint8_t> rows;
};
constexpr size_t MOST_NUMBERED_COLOURS = 256;
std::optional<NumberedColours> NumberColours(const uint8_t* rows, int32_t width, int32_t height,
                                             size_t stride);

// The first of extent pixels split into count blocks that falls in block,
// as ShrinkBlockRows splits them; extent for block count.
int32_t FirstPixelOfBlock(int32_t block, int32_t extent, int32_t count);

// Rows of blue, green, red bytes split into columns x blockRows blocks,
// block c of the columns reaching from pixel c * width / columns to the
// next block's first, and likewise down: a stretched image's own pixels.
// For each row of blocks, its blocks as one pixel each, the block's middle
// pixel, in a row of the same bytes padded to 4 bytes, when every pixel of
// the row of blocks has its block's colour, or at a block's edge that of
// the block beside it there (a stretch rounds the edges its own way); none
// for a row of blocks where a pixel does not. None for every row when a
// block is under 3 pixels wide or high.
std::vector<std::optional<std::vector<uint8_t>>> ShrinkBlockRows(const uint8_t* rows, int32_t width,
                                                                 int32_t height, size_t stride,
                                                                 int32_t columns,
                                                                 int32_t blockRows);
