#include "driver/device_reach.h"

#include "driver/record_readers.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

#include <optional>

namespace {

// The blit's destination as a box from its corner across its extent.
LogicalBox SpanOf(const BlitDestination& blit)
{
    return LogicalBox{blit.x, blit.y, int64_t{blit.x} + blit.width, int64_t{blit.y} + blit.height};
}

}  // namespace

bool IsWithinReach(const AffineMap& map, const uint8_t* record, size_t size,
                   const DeviceReach& reach)
{
    if (!reach.takesFloodFills && ReadUint32(record + EMR_ITYPE) == EMR_EXTFLOODFILL) {
        return false;
    }
    const std::optional<LogicalBox> box = ReadShapeBox(record, size);
    if (box && JudgeShapeBox(map, *box, reach.coordinateLimit) == ShapeFit::BEYOND_DEVICE) {
        return false;
    }
    const std::optional<BlitDestination> blit = ReadBlitRectangle(record, size);
    return !blit ||
           JudgeShapeBox(map, SpanOf(*blit), reach.coordinateLimit) != ShapeFit::BEYOND_DEVICE;
}
