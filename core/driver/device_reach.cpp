#include "driver/device_reach.h"

#include "driver/record_readers.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

#include <optional>

bool IsWithinReach(const AffineMap& map, const uint8_t* record, size_t size,
                   const DeviceReach& reach)
{
    if (!reach.takesFloodFills && ReadUint32(record + EMR_ITYPE) == EMR_EXTFLOODFILL) {
        return false;
    }
    const std::optional<LogicalBox> box = ReadShapeBox(record, size);
    return !box || JudgeShapeBox(map, *box, reach.coordinateLimit) != ShapeFit::BEYOND_DEVICE;
}
