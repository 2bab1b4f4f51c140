#include "driver/pixel_statistics.h"

#include "metafile/dib_layout.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace {

// A pixel's blue, green and red bytes as 0x00BBGGRR.
constexpr uint32_t BYTE_SHIFT_GREEN = 8;
constexpr uint32_t BYTE_SHIFT_BLUE = 16;
constexpr uint32_t BITS_PER_BYTE = 8;
// The bit counts of the rows this file packs: two colours, numbered
// colours and blue, green and red bytes.
constexpr uint32_t TWO_COLOUR_BITS = 1;
constexpr uint32_t NUMBERED_COLOUR_BITS = 8;
constexpr uint32_t TRUE_COLOUR_BITS = 24;

// A row of that many pixels of that bit count, padded as a DIB's.
size_t PaddedRow(int32_t pixels, uint32_t bitCount)
{
    return static_cast<size_t>(DibRowBytes(static_cast<uint64_t>(pixels), bitCount));
}

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
    const size_t rowBytes = PaddedRow(width, TWO_COLOUR_BITS);
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

std::optional<NumberedColours> NumberColours(const uint8_t* rows, int32_t width, int32_t height,
                                             size_t stride)
{
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const size_t rowBytes = PaddedRow(width, NUMBERED_COLOUR_BITS);
    NumberedColours numbered = {{}, std::vector<uint8_t>(rowBytes * static_cast<size_t>(height))};
    std::unordered_map<uint32_t, uint8_t> numbers;
    // Runs of one colour are looked up once.
    std::optional<std::pair<uint32_t, uint8_t>> last;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        uint8_t* out = numbered.rows.data() + static_cast<size_t>(y) * rowBytes;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t colour = PixelColour(row + static_cast<size_t>(x) * 3);
            if (!last || last->first != colour) {
                auto found = numbers.find(colour);
                if (found == numbers.end()) {
                    if (numbered.colours.size() == MOST_NUMBERED_COLOURS) {
                        return std::nullopt;
                    }
                    found = numbers.emplace(colour, static_cast<uint8_t>(numbered.colours.size()))
                                .first;
                    numbered.colours.push_back(colour);
                }
                last = *found;
            }
            out[x] = last->second;
        }
    }
    return numbered;
}

namespace {

constexpr size_t BYTES_PER_PIXEL = 3;
constexpr int32_t LEAST_BLOCK_SIDE = 3;

// The block pixel falls in when extent pixels split into count blocks.
int32_t BlockOf(int32_t pixel, int32_t extent, int32_t count)
{
    return static_cast<int32_t>(int64_t{pixel} * count / extent);
}

// The middle pixel of block of count blocks over extent pixels.
int32_t MiddleOf(int32_t block, int32_t extent, int32_t count)
{
    return (FirstPixelOfBlock(block, extent, count) + FirstPixelOfBlock(block + 1, extent, count) -
            1) /
           2;
}

// The blocks a pixel may take its colour from along one side: its own, and
// at its block's edge the one beside it there.
struct Neighbours {
    int32_t own;
    int32_t beside;  // own where the pixel is not at an edge
};

Neighbours NeighboursOf(int32_t pixel, int32_t extent, int32_t count)
{
    const int32_t own = BlockOf(pixel, extent, count);
    if (pixel > 0 && BlockOf(pixel - 1, extent, count) != own) {
        return {own, own - 1};
    }
    if (pixel + 1 < extent && BlockOf(pixel + 1, extent, count) != own) {
        return {own, own + 1};
    }
    return {own, own};
}

}  // namespace

int32_t FirstPixelOfBlock(int32_t block, int32_t extent, int32_t count)
{
    return static_cast<int32_t>((int64_t{block} * extent + count - 1) / count);
}

std::vector<std::optional<std::vector<uint8_t>>> ShrinkBlockRows(const uint8_t* rows, int32_t width,
                                                                 int32_t height, size_t stride,
                                                                 int32_t columns, int32_t blockRows)
{
    if (columns <= 0 || blockRows <= 0 || width < LEAST_BLOCK_SIDE * columns ||
        height < LEAST_BLOCK_SIDE * blockRows) {
        return std::vector<std::optional<std::vector<uint8_t>>>(
            static_cast<size_t>(std::max(blockRows, 0)));
    }
    const auto colourAt = [&](int32_t x, int32_t y) {
        return PixelColour(rows + static_cast<size_t>(y) * stride +
                           static_cast<size_t>(x) * BYTES_PER_PIXEL);
    };
    std::vector<uint32_t> blocks;
    for (int32_t row = 0; row < blockRows; ++row) {
        for (int32_t column = 0; column < columns; ++column) {
            blocks.push_back(
                colourAt(MiddleOf(column, width, columns), MiddleOf(row, height, blockRows)));
        }
    }
    const auto blockColour = [&](int32_t column, int32_t row) {
        return blocks[static_cast<size_t>(row) * static_cast<size_t>(columns) +
                      static_cast<size_t>(column)];
    };
    std::vector<bool> fine(static_cast<size_t>(blockRows), false);
    for (int32_t y = 0; y < height; ++y) {
        const Neighbours down = NeighboursOf(y, height, blockRows);
        for (int32_t x = 0; x < width && !fine[static_cast<size_t>(down.own)]; ++x) {
            const Neighbours across = NeighboursOf(x, width, columns);
            const uint32_t colour = colourAt(x, y);
            fine[static_cast<size_t>(down.own)] = colour != blockColour(across.own, down.own) &&
                                                  colour != blockColour(across.beside, down.own) &&
                                                  colour != blockColour(across.own, down.beside) &&
                                                  colour != blockColour(across.beside, down.beside);
        }
    }
    const size_t rowBytes = PaddedRow(columns, TRUE_COLOUR_BITS);
    std::vector<std::optional<std::vector<uint8_t>>> shrunk(static_cast<size_t>(blockRows));
    for (int32_t row = 0; row < blockRows; ++row) {
        if (fine[static_cast<size_t>(row)]) {
            continue;
        }
        std::vector<uint8_t> pixels(rowBytes, 0);
        for (int32_t column = 0; column < columns; ++column) {
            const uint32_t colour = blockColour(column, row);
            uint8_t* pixel = pixels.data() + static_cast<size_t>(column) * BYTES_PER_PIXEL;
            pixel[0] = static_cast<uint8_t>(colour >> BYTE_SHIFT_BLUE);
            pixel[1] = static_cast<uint8_t>(colour >> BYTE_SHIFT_GREEN);
            pixel[2] = static_cast<uint8_t>(colour);
        }
        shrunk[static_cast<size_t>(row)] = std::move(pixels);
    }
    return shrunk;
}
