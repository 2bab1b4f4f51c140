// A solid pen of width 1 is drawn at the width a raster playback gives it,
// and the current pen is selected anew after every change of scale, so
// that its width follows the transform. An extended pen is made from its
// record's 32-bit layout.
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

bool IsPatternStyle(uint32_t brushStyle)
{
    return brushStyle == BS_PATTERN || brushStyle == BS_DIBPATTERN || brushStyle == BS_DIBPATTERNPT;
}

// The pen's brush as ExtCreatePen takes it. A pattern comes from the
// record's packed DIB, which ExtCreatePen copies; its colour usage is the
// pen's colour field, and a device bitmap's pattern was recorded in RGB.
LOGBRUSH DescribeBrush(const ExtendedPen& pen)
{
    if (IsPatternStyle(pen.brushStyle) && !pen.packedDib.empty()) {
        const UINT usage = pen.brushStyle == BS_PATTERN ? DIB_RGB_COLORS : pen.colour;
        return LOGBRUSH{BS_DIBPATTERNPT, usage, reinterpret_cast<ULONG_PTR>(pen.packedDib.data())};
    }
    return LOGBRUSH{pen.brushStyle, pen.colour, pen.hatch};
}

}  // namespace

void MakeExtendedPen(HANDLETABLE* table, UINT handleCount, const ExtendedPen& pen)
{
    if (pen.index == 0 || pen.index >= handleCount) {
        return;
    }
    const LOGBRUSH brush = DescribeBrush(pen);
    const auto count = static_cast<DWORD>(pen.styleEntries.size());
    table->objectHandle[pen.index] = ExtCreatePen(
        pen.style, pen.width, &brush, count,
        count == 0 ? nullptr : reinterpret_cast<const DWORD*>(pen.styleEntries.data()));
}

void FollowPenWidth(HDC device, HANDLETABLE* table, UINT handleCount, const uint8_t* bytes,
                    size_t size)
{
    if (const std::optional<WidthOnePen> pen = ReadWidthOnePen(bytes, size)) {
        WidenPen(table, handleCount, *pen);
    } else if (ChangesScale(bytes)) {
        ReselectPen(device);
    }
}
