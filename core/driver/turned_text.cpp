#include "driver/turned_text.h"

#include <cmath>
#include <numeric>

namespace {

constexpr double TENTHS_PER_RADIAN = 1800.0 / 3.14159265358979323846;

// A turn counterclockwise as seen on a device whose y runs down.
AffineMap TurnBy(int32_t tenths)
{
    const double angle = tenths / TENTHS_PER_RADIAN;
    return AffineMap{std::cos(angle), -std::sin(angle), std::sin(angle), std::cos(angle), 0, 0};
}

// first, then second, of their linear parts.
AffineMap Then(const AffineMap& first, const AffineMap& second)
{
    return AffineMap{first.m11 * second.m11 + first.m12 * second.m21,
                     first.m11 * second.m12 + first.m12 * second.m22,
                     first.m21 * second.m11 + first.m22 * second.m21,
                     first.m21 * second.m12 + first.m22 * second.m22,
                     0,
                     0};
}

AffineMap Scaled(const AffineMap& map, double factor)
{
    return AffineMap{map.m11 * factor, map.m12 * factor, map.m21 * factor, map.m22 * factor, 0, 0};
}

DevicePoint Along(const AffineMap& map, double x, double y)
{
    return DevicePoint{x * map.m11 + y * map.m21, x * map.m12 + y * map.m22};
}

double AnchorShare(TextAnchor anchor)
{
    return anchor == TextAnchor::LEFT ? 0.0 : anchor == TextAnchor::CENTRE ? 0.5 : 1.0;
}

bool FitsDriver(double size)
{
    return std::isfinite(size) && std::fabs(size) <= DRIVER_COORDINATE_LIMIT;
}

}  // namespace

std::optional<TurnedLayout> LayOutTurnedText(const TurnedTextInput& text)
{
    const AffineMap& map = text.map;
    if (text.advances.empty()) {
        return std::nullopt;
    }
    // Where the font turns on the device, a mapping mode stretches it along
    // the device's axes and never mirrors it; the world transform carries
    // it whole.
    const double across = text.compatible ? std::fabs(map.m11) : 0.0;
    const double down = text.compatible ? std::fabs(map.m22) : 0.0;
    const double scale = std::sqrt(std::fabs(map.m11 * map.m22 - map.m12 * map.m21));
    const double heightScale = text.compatible ? down : scale;
    const double widthScale = text.compatible ? across : scale;
    if (!(heightScale > 0) || !(widthScale > 0) || !FitsDriver(text.fontHeight * heightScale) ||
        !FitsDriver(text.fontWidth * widthScale)) {
        return std::nullopt;
    }
    TurnedLayout layout = {};
    layout.fontHeight = static_cast<int32_t>(std::lround(text.fontHeight * heightScale));
    layout.fontWidth = static_cast<int32_t>(std::lround(text.fontWidth * widthScale));
    const AffineMap baseline = TurnBy(text.escapement);
    const AffineMap stretch = text.compatible ? AffineMap{across, 0, 0, down, 0, 0}
                                              : AffineMap{map.m11, map.m12, map.m21, map.m22, 0, 0};
    layout.glyph =
        text.compatible ? baseline : Scaled(Then(TurnBy(text.orientation), stretch), 1.0 / scale);
    // One logical unit of advance along the turned baseline, on the device.
    const DevicePoint unit = Along(stretch, baseline.m11, baseline.m12);
    const double total = std::accumulate(text.advances.begin(), text.advances.end(), 0.0);
    layout.span = DevicePoint{unit.x * total, unit.y * total};
    const double share = AnchorShare(text.anchor);
    layout.start =
        DevicePoint{text.origin.x - layout.span.x * share, text.origin.y - layout.span.y * share};
    double reached = 0;
    for (const int32_t advance : text.advances) {
        const DevicePoint at = {layout.start.x + unit.x * reached,
                                layout.start.y + unit.y * reached};
        if (!IsWithinDriverLimit(at)) {
            return std::nullopt;
        }
        layout.origins.push_back(at);
        reached += advance;
    }
    layout.after = text.anchor == TextAnchor::LEFT
                       ? DevicePoint{text.origin.x + layout.span.x, text.origin.y + layout.span.y}
                   : text.anchor == TextAnchor::RIGHT ? layout.start
                                                      : text.origin;
    return layout;
}
