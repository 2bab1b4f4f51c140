// Feeds the fuzzer's bytes to the readers that decide what the printer
// driver is handed. The first bytes are a device map (six doubles, any bit
// pattern, nan and infinities included); the rest is one record, copied into
// a buffer of exactly its size so that a read past it trips the address
// sanitizer. The record goes to the readers only when the record check
// passes it, as in the job; the blit reader takes it unchecked, under no
// blending capabilities and under all of them. What the printer and a raster
// are handed must agree with the oracle's own reading of box-shaped records,
// blits' destinations and sources, regions' sizes and flood fills. Broken
// rules abort.
//
// The oracle's offsets of box-shaped records are its own copy, apart from
// metafile/emf_layout.h on purpose.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/device_geometry.h"
#include "driver/device_reach.h"
#include "driver/record_readers.h"
#include "metafile/emf_records.h"

namespace {

// Handle-table size of the job's pictures, for the handle indices.
constexpr uint32_t HANDLE_COUNT = 64;
constexpr uint32_t ALL_SHADE_BLEND_CAPS = 0xFFFFFFFF;
constexpr int32_t CHANGED_FONT_HEIGHT = -42;

void Require(bool condition, const char* rule)
{
    if (!condition) {
        std::fprintf(stderr, "driver input breaks: %s\n", rule);
        std::abort();
    }
}

// The oracle's own reading of a box-shaped record: the corners of its box
// (ELLIPSE, RECTANGLE, ROUNDRECT, ARC, CHORD, PIE, ARCTO: rclBox after type
// and size) or of its centre and radius (ANGLEARC), and of a blit's
// destination (BITBLT, STRETCHBLT, MASKBLT, ALPHABLEND, TRANSPARENTBLT: x, y,
// cx, cy after the bounds; STRETCHDIBITS: cx, cy after the source's
// fields), mapped, each finite and within limit. True for any other record.
int64_t Field(const std::vector<uint8_t>& record, size_t at, bool isSigned)
{
    uint32_t value = 0;
    std::memcpy(&value, record.data() + at, sizeof value);
    return isSigned ? int64_t{static_cast<int32_t>(value)} : int64_t{value};
}

bool IsFloodFill(const std::vector<uint8_t>& record)
{
    return Field(record, 0, false) == 53;
}

// Whether a blit's source rectangle, in its bitmap's pixels, stays within
// the limit; true for any record with no source bitmap.
bool SourceWithin(const std::vector<uint8_t>& record, double limit)
{
    const int64_t type = Field(record, 0, false);
    int64_t corner[2] = {};
    int64_t extent[2] = {};
    if ((type == 77 || type == 114 || type == 116) && record.size() >= 108 &&
        Field(record, 88, false) != 0) {
        corner[0] = Field(record, 44, true);
        corner[1] = Field(record, 48, true);
        extent[0] = Field(record, 100, true);
        extent[1] = Field(record, 104, true);
    } else if ((type == 76 || type == 78) && record.size() >= 92 && Field(record, 88, false) != 0) {
        corner[0] = Field(record, 44, true);
        corner[1] = Field(record, 48, true);
        extent[0] = Field(record, 32, true);
        extent[1] = Field(record, 36, true);
    } else if (type == 81 && record.size() >= 80 && Field(record, 52, false) != 0) {
        corner[0] = Field(record, 32, true);
        corner[1] = Field(record, 36, true);
        extent[0] = Field(record, 40, true);
        extent[1] = Field(record, 44, true);
    } else {
        return true;
    }
    for (size_t axis = 0; axis < 2; ++axis) {
        for (const int64_t at : {corner[axis], corner[axis] + extent[axis]}) {
            if (std::fabs(static_cast<double>(at)) > limit) {
                return false;
            }
        }
    }
    return true;
}

// Whether a region record's region holds no more rectangles than the
// platform's region code takes in time; true for any other record.
bool RegionWithin(const std::vector<uint8_t>& record)
{
    constexpr int64_t MOST_RECTANGLES = 16384;
    const int64_t type = Field(record, 0, false);
    const size_t countAt = type == 71                 ? 40
                           : type == 72               ? 48
                           : type == 73 || type == 74 ? 36
                           : type == 75               ? 24
                                                      : 0;
    return countAt == 0 || record.size() < countAt + 24 ||
           Field(record, countAt, false) <= MOST_RECTANGLES;
}

bool BoxCornersWithin(const AffineMap& map, const std::vector<uint8_t>& record, double limit)
{
    const int64_t type = Field(record, 0, false);
    int64_t box[4] = {};
    if (((type >= 42 && type <= 47) || type == 55) && record.size() >= 24) {
        for (size_t i = 0; i < 4; ++i) {
            box[i] = Field(record, 8 + 4 * i, true);
        }
    } else if (type == 41 && record.size() >= 28) {
        const int64_t radius = Field(record, 16, false);
        box[0] = Field(record, 8, true) - radius;
        box[1] = Field(record, 12, true) - radius;
        box[2] = Field(record, 8, true) + radius;
        box[3] = Field(record, 12, true) + radius;
    } else if ((type == 76 || type == 77 || type == 78 || type == 114 || type == 116) &&
               record.size() >= 44) {
        box[0] = Field(record, 24, true);
        box[1] = Field(record, 28, true);
        box[2] = box[0] + Field(record, 32, true);
        box[3] = box[1] + Field(record, 36, true);
    } else if (type == 81 && record.size() >= 80) {
        box[0] = Field(record, 24, true);
        box[1] = Field(record, 28, true);
        box[2] = box[0] + Field(record, 72, true);
        box[3] = box[1] + Field(record, 76, true);
    } else {
        return true;
    }
    for (const int64_t left : {box[0], box[2]}) {
        for (const int64_t top : {box[1], box[3]}) {
            const auto x = static_cast<double>(left);
            const auto y = static_cast<double>(top);
            const double deviceX = x * map.m11 + y * map.m21 + map.dx;
            const double deviceY = x * map.m12 + y * map.m22 + map.dy;
            if (!(std::fabs(deviceX) <= limit && std::fabs(deviceY) <= limit)) {
                return false;
            }
        }
    }
    return true;
}

AffineMap ReadMap(const uint8_t* data)
{
    double values[6];
    std::memcpy(values, data, sizeof values);
    return AffineMap{values[0], values[1], values[2], values[3], values[4], values[5]};
}

void ReadCheckedRecord(const AffineMap& map, const std::vector<uint8_t>& record)
{
    const uint8_t* bytes = record.data();
    const size_t size = record.size();
    if (const std::optional<LogicalBox> box = ReadShapeBox(bytes, size)) {
        JudgeShapeBox(map, *box, DRIVER_COORDINATE_LIMIT);
        IsCurvedShape(bytes);
    }
    const bool printerTakes = IsWithinReach(map, bytes, size, PRINTER_REACH);
    const bool rasterTakes = IsWithinReach(map, bytes, size, RASTER_REACH);
    Require(!rasterTakes || printerTakes, "what a raster is handed, the printer may be handed");
    // A text run is judged by where its advances carry it, which this
    // oracle does not lay out.
    if (!ReadTextRun(bytes, size)) {
        Require(
            printerTakes == (BoxCornersWithin(map, record, DRIVER_COORDINATE_LIMIT) &&
                             SourceWithin(record, DRIVER_COORDINATE_LIMIT) && RegionWithin(record)),
            "the printer is handed a box-shaped record or a blit exactly when it lands "
            "within its limit and a blit's source lies within it");
        Require(
            rasterTakes ==
                (!IsFloodFill(record) && BoxCornersWithin(map, record, RASTER_COORDINATE_LIMIT) &&
                 SourceWithin(record, RASTER_COORDINATE_LIMIT) && RegionWithin(record)),
            "a raster is handed no flood fill, and a box-shaped record or a blit exactly "
            "when it lands within its limit and a blit's source lies within it");
    }
    if (const std::optional<Gradient> gradient = ReadGradient(bytes, size)) {
        for (const std::vector<uint32_t>& piece : gradient->pieces) {
            for (const uint32_t vertex : piece) {
                Require(vertex < gradient->vertices.size(), "a gradient piece names a vertex");
            }
        }
    }
    if (ReadFontHeight(bytes, size)) {
        const std::vector<uint8_t> changed = WithFontHeight(bytes, size, CHANGED_FONT_HEIGHT);
        Require(changed.size() == size, "a font record keeps its size");
        Require(ReadFontHeight(changed.data(), changed.size()) == CHANGED_FONT_HEIGHT,
                "a font record carries the height it was given");
    }
    ReadWidthOnePen(bytes, size);
    if (const std::optional<ExtendedPen> pen = ReadExtendedPen(bytes, size)) {
        // Its header and its bits each lie inside the record, and may overlap.
        Require(pen->packedDib.size() <= 2 * size, "a pen's pattern is two parts of its record");
    }
    const MappingPlay mapping = PlanMetricMapping(MetricMapping{true, {false, true}}, bytes, size,
                                                  ReferenceDevice{1920, 1080, 508, 286});
    for (const std::vector<uint8_t>& played : mapping.records) {
        Require(IsRecordSafe(played.data(), played.size(), HANDLE_COUNT),
                "a mapping record played in a record's place passes the record check");
    }
    ChangesScale(bytes);
    TouchesClip(bytes);
    ReadTextOptions(bytes, size);
    PathOpenAfter(bytes);
    if (const std::optional<TextRun> run = ReadTextRun(bytes, size)) {
        std::vector<uint16_t> lowered;
        for (const uint16_t character : run->characters) {
            lowered.push_back(LowerSymbolCode(character).value_or(character));
        }
        const std::optional<std::vector<uint8_t>> changed =
            WithTextCharacters(bytes, size, lowered);
        const std::optional<TextRun> reread =
            changed ? ReadTextRun(changed->data(), changed->size()) : std::nullopt;
        Require(!changed || (changed->size() == size && reread && reread->characters == lowered),
                "a text record keeps its size and carries the characters it was given");
    }
    ReadPixel(bytes, size);
    if (ReadBrushUse(bytes, size) == BrushUse::NAMED) {
        ReadRegionBrush(bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t MAP_SIZE = 6 * sizeof(double);
    if (size < MAP_SIZE) {
        return 0;
    }
    const AffineMap map = ReadMap(data);
    MapPoint(map, 1.0, 1.0);
    VerticalScale(map);
    const std::vector<uint8_t> record(data + MAP_SIZE, data + size);
    ReadBlitNeedingBackdrop(record.data(), record.size(), 0);
    ReadBlitNeedingBackdrop(record.data(), record.size(), ALL_SHADE_BLEND_CAPS);
    if (IsRecordSafe(record.data(), record.size(), HANDLE_COUNT)) {
        ReadCheckedRecord(map, record);
    }
    return 0;
}
