#include "driver/device_reach.h"

#include "driver/record_readers.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

#include <algorithm>
#include <optional>

namespace {

constexpr AffineMap IDENTITY_MAP = {1, 0, 0, 1, 0, 0};

// A blit's destination, or its source in its bitmap's pixels, as a box
// from its corner across its extent.
template <typename BlitRectangle>
LogicalBox SpanOf(const BlitRectangle& rectangle)
{
    return LogicalBox{rectangle.x, rectangle.y, int64_t{rectangle.x} + rectangle.width,
                      int64_t{rectangle.y} + rectangle.height};
}

// The box through a text run's reference point and each point its advances
// reach from there.
LogicalBox SpanOf(const TextRun& run)
{
    const bool paired = (run.options & TEXT_PAIRED_ADVANCES) != 0;
    int64_t x = run.x;
    int64_t y = run.y;
    LogicalBox box{x, y, x, y};
    for (size_t i = 0; i < run.advances.size(); ++i) {
        (paired && i % 2 == 1 ? y : x) += run.advances[i];
        box = LogicalBox{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                         std::max(box.bottom, y)};
    }
    return box;
}

bool LandsBeyond(const AffineMap& map, const LogicalBox& box, const DeviceReach& reach)
{
    return JudgeShapeBox(map, box, reach.coordinateLimit) == ShapeFit::BEYOND_DEVICE;
}

}  // namespace

bool IsWithinReach(const AffineMap& map, const uint8_t* record, size_t size,
                   const DeviceReach& reach)
{
    if (!reach.takesFloodFills && ReadUint32(record + EMR_ITYPE) == EMR_EXTFLOODFILL) {
        return false;
    }
    const std::optional<LogicalBox> box = ReadShapeBox(record, size);
    const std::optional<BlitDestination> blit = ReadBlitRectangle(record, size);
    const std::optional<BlitSource> source = ReadBlitSource(record, size);
    const std::optional<TextRun> text = ReadTextRun(record, size);
    const std::optional<uint32_t> rectangles = ReadRegionRectangleCount(record, size);
    return !(rectangles && *rectangles > REGION_RECTANGLE_LIMIT) &&
           !(box && LandsBeyond(map, *box, reach)) &&
           !(blit && LandsBeyond(map, SpanOf(*blit), reach)) &&
           !(source && LandsBeyond(IDENTITY_MAP, SpanOf(*source), reach)) &&
           !(text && LandsBeyond(map, SpanOf(*text), reach));
}
