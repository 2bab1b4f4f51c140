// A solid pen of width 1 is drawn at the width a raster playback gives it,
// and the current pen is selected anew after every change of scale, so
// that its width follows the transform.
#include "playback/mendings.h"

#include <cstdint>
#include <optional>

namespace {

// Puts a geometric pen of width 1 in the width-1 pen's place in the table:
// the driver scales a geometric pen's width to the device when it is
// selected, as a raster playback does with every pen wider than 0.
void WidenPen(HANDLETABLE* table, UINT handleCount, const WidthOnePen& pen)
{
    if (pen.index == 0 || pen.index >= handleCount || table->objectHandle[pen.index] == nullptr) {
        return;
    }
    const LOGBRUSH brush = {BS_SOLID, pen.colour, 0};
    HPEN geometric = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, 1,
                                  &brush, 0, nullptr);
    if (geometric != nullptr) {
        DeleteObject(table->objectHandle[pen.index]);
        table->objectHandle[pen.index] = geometric;
    }
}

// Selects the current pen anew, so that the driver scales its width by the
// transform now in force rather than the one it was selected under.
void ReselectPen(HDC device)
{
    HGDIOBJ pen = GetCurrentObject(device, OBJ_PEN);
    SelectObject(device, GetStockObject(NULL_PEN));
    SelectObject(device, pen);
}

}  // namespace

void FollowPenWidth(HDC device, HANDLETABLE* table, UINT handleCount, const uint8_t* bytes,
                    size_t size)
{
    if (const std::optional<WidthOnePen> pen = ReadWidthOnePen(bytes, size)) {
        WidenPen(table, handleCount, *pen);
    } else if (ChangesScale(bytes)) {
        ReselectPen(device);
    }
}
