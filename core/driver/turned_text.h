// Text turned on the device, by its font's escapement or by the world
// transform, laid out a glyph at a time as the platform lays out text: each
// glyph drawn from its own origin, in the font at its size on the device,
// turned by a map of its own, each origin reached by the advances before it
// along the turned baseline.
#pragma once

#include "driver/device_geometry.h"

#include <cstdint>
#include <optional>
#include <vector>

// Where the text's reference point lies along it (TA_LEFT, TA_CENTER,
// TA_RIGHT).
enum class TextAnchor { LEFT, CENTRE, RIGHT };

struct TurnedTextInput {
    AffineMap map;        // logical to device
    bool compatible;      // GM_COMPATIBLE: the font turns on the device, by its escapement
    int32_t escapement;   // tenths of a degree, the baseline's
    int32_t orientation;  // tenths of a degree, each glyph's, where not compatible
    int32_t fontHeight;   // the font's lfHeight and lfWidth, in logical units
    int32_t fontWidth;
    DevicePoint origin;             // the reference point (or current position), on the device
    std::vector<int32_t> advances;  // in logical units
    TextAnchor anchor;
};

struct TurnedLayout {
    int32_t fontHeight;  // lfHeight and lfWidth of the font the glyphs are drawn in
    int32_t fontWidth;
    AffineMap
        glyph;  // from that font's units (x along its baseline, y down) to the device, no offset
    std::vector<DevicePoint> origins;  // each glyph's origin on the device
    DevicePoint start;                 // where the first glyph begins
    DevicePoint span;                  // from there to the end of the last
    DevicePoint after;                 // where text placed at the current position leaves it
};

// The layout; none where the advances are missing, the map flattens the
// text, or a size or an origin lands beyond the driver's limit.
std::optional<TurnedLayout> LayOutTurnedText(const TurnedTextInput& text);
