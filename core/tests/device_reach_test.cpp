#include "driver/device_reach.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "metafile/emf_record_types.h"

namespace {

constexpr AffineMap IDENTITY = {1, 0, 0, 1, 0, 0};
constexpr uint32_t LEAST_COORDINATE = 0x80000000u;  // INT_MIN

// A record of the given type whose 32-bit fields after type and size are
// these, padded with zeros to paddedSize bytes when that is larger.
std::vector<uint8_t> MakeRecord(uint32_t type, std::initializer_list<uint32_t> fields,
                                size_t paddedSize = 0)
{
    std::vector<uint8_t> record;
    const auto put = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            record.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    const size_t size = std::max(8 + 4 * fields.size(), paddedSize);
    put(type);
    put(static_cast<uint32_t>(size));
    for (uint32_t field : fields) {
        put(field);
    }
    record.resize(size, 0);
    return record;
}

struct Verdicts {
    bool printer;
    bool raster;
};

Verdicts Judge(const AffineMap& map, const std::vector<uint8_t>& record)
{
    return {IsWithinReach(map, record.data(), record.size(), PRINTER_REACH),
            IsWithinReach(map, record.data(), record.size(), RASTER_REACH)};
}

TEST(IsWithinReach, BoxShapedRecordsAndFloodFillsByDevice)
{
    // An anisotropic map, 4719 x 3094 viewport units for a 4531 x 2971
    // window, from the viewport origin (641, 112).
    const AffineMap anisotropic = {4719.0 / 4531, 0, 0, 3094.0 / 2971, 641, 112};
    const struct {
        const char* name;
        AffineMap map;
        std::vector<uint8_t> record;
        Verdicts expected;
    } cases[] = {
        {"an arc of a comment's 280 bytes, 726 million units down",
         anisotropic,
         MakeRecord(EMR_ARC,
                    {268, 726027589, 16426, 36, 24, 1065353216, LEAST_COORDINATE, LEAST_COORDINATE},
                    280),
         {false, false}},
        {"an ellipse on the page",
         IDENTITY,
         MakeRecord(EMR_ELLIPSE, {0, 0, 1000, 1000}),
         {true, true}},
        {"an ellipse 100,000 pixels across",
         IDENTITY,
         MakeRecord(EMR_ELLIPSE, {0, 0, 100000, 100}),
         {true, false}},
        {"a rectangle at the least coordinate",
         IDENTITY,
         MakeRecord(EMR_RECTANGLE, {LEAST_COORDINATE, LEAST_COORDINATE, 0, 0}),
         {false, false}},
        {"an angle arc of radius 70,000",
         IDENTITY,
         MakeRecord(EMR_ANGLEARC, {0, 0, 70000, 0, 0}),
         {true, false}},
        {"a BITBLT of the least extent both ways",
         IDENTITY,
         MakeRecord(EMR_BITBLT,
                    {0, 0, ~0u, ~0u, 5620, 7260, LEAST_COORDINATE, LEAST_COORDINATE, 0x00CC0020}),
         {false, false}},
        {"a STRETCHDIBITS 70,000 pixels high",
         IDENTITY,
         MakeRecord(EMR_STRETCHDIBITS,
                    {0, 0, 0, 0, 10, 20, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0x00CC0020, 100, 70000}),
         {true, false}},
        {"a BITBLT on the page",
         IDENTITY,
         MakeRecord(EMR_BITBLT, {0, 0, 200, 100, 10, 20, 200, 100, 0x00CC0020}),
         {true, true}},
        {"a STRETCHBLT of a 4 x 4 bitmap read INT_MAX pixels across",
         IDENTITY,
         MakeRecord(EMR_STRETCHBLT,
                    {0, 0,   ~0u,        ~0u, 6720, 5440,       200, 200, 0x00CC0020,
                     0, 0,   0x3F800000, 0,   0,    0x3F800000, 0,   0,   0x404040,
                     0, 108, 48,         156, 16,   0x7FFFFFFF, 4}),
         {false, false}},
        {"a clip region of 16,384 rectangles",
         IDENTITY,
         MakeRecord(EMR_EXTSELECTCLIPRGN, {32 + 16 * 16384, 5, 32, 1, 16384}, 48),
         {true, true}},
        {"a clip region of 413,183 rectangles, as GDI+ made one under a flattened transform",
         IDENTITY,
         MakeRecord(EMR_EXTSELECTCLIPRGN, {32 + 16 * 413183, 5, 32, 1, 413183}, 48),
         {false, false}},
        {"a flood fill",
         IDENTITY,
         MakeRecord(EMR_EXTFLOODFILL, {10, 20, 0x12345678, 0}),
         {true, false}},
        {"a text run whose second character is INT_MAX units on",
         IDENTITY,
         MakeRecord(EMR_EXTTEXTOUTW, {0,  0, 0, 0, 1, 0, 0,  10,         20,         2,
                                      76, 0, 0, 0, 0, 0, 80, 0x00420041, 0x7FFFFFFF, 10}),
         {false, false}},
        {"a text run of two characters on the page",
         IDENTITY,
         MakeRecord(EMR_EXTTEXTOUTW,
                    {0, 0, 0, 0, 1, 0, 0, 10, 20, 2, 76, 0, 0, 0, 0, 0, 80, 0x00420041, 40, 40}),
         {true, true}},
        {"a line to the least coordinate",
         IDENTITY,
         MakeRecord(EMR_LINETO, {LEAST_COORDINATE, LEAST_COORDINATE}),
         {true, true}},
    };
    for (const auto& c : cases) {
        const Verdicts got = Judge(c.map, c.record);
        EXPECT_EQ(c.expected.printer, got.printer)
            << c.name << ": expected " << (c.expected.printer ? "within" : "beyond")
            << " the printer's reach";
        EXPECT_EQ(c.expected.raster, got.raster)
            << c.name << ": expected " << (c.expected.raster ? "within" : "beyond")
            << " a raster's reach";
    }
}

}  // namespace
