#include "playback/faithful_playback.h"

#include "driver/record_readers.h"
#include "playback/mendings.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// Pixels held back at most, before they are drawn.
constexpr size_t MOST_PIXELS_HELD = 65536;

// Holds the pixel back with those set just before it, up to the most held.
void HoldPixel(HDC device, const Pixel& pixel, FaithfulPlayback& playback)
{
    if (const std::optional<DevicePixel> placed = PlacePixel(device, pixel)) {
        playback.pixels.push_back(*placed);
    }
    if (playback.pixels.size() >= MOST_PIXELS_HELD) {
        FinishPlayback(device, playback);
    }
}

}  // namespace

// Each mending in the order it applies, the first that draws the record
// ending it; a record none of them draws is played as it stands.
void PlayRecordFaithfully(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                          UINT handleCount, FaithfulPlayback& playback)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const size_t size = record->nSize;
    if (const std::optional<Pixel> pixel = ReadPixel(bytes, size)) {
        HoldPixel(device, *pixel, playback);
        return;
    }
    FinishPlayback(device, playback);
    const auto offset = static_cast<size_t>(bytes - playback.metafileStart);
    const std::optional<std::vector<uint8_t>> within = WithGlyphsWithinFont(device, bytes, size);
    if (within) {
        bytes = within->data();
        record = reinterpret_cast<const ENHMETARECORD*>(bytes);
    }
    const HandedClip handed = HandClipOnce(playback.writtenClip, bytes, playback.pathOpen);
    if (IsKeptFromDriver(device, bytes, size)) {
        DrawLineOfKeptArc(device, bytes, size);
        return;
    }
    const auto tile = playback.backdrop.find(offset);
    if (tile != playback.backdrop.end()) {
        DrawBackdropTile(device, tile->second);
        return;
    }
    if (DrawUnshadedGradient(device, record, playback.shadeBlendCaps)) {
        return;
    }
    if (const std::optional<bool> open = PathOpenAfter(bytes)) {
        playback.pathOpen = *open;
    }
    if (!playback.pathOpen && DrawPatternFill(device, table, record, handleCount)) {
        return;
    }
    if (!playback.pathOpen && IsTurnedShape(device, record)) {
        DrawThroughPath(device, table, record, handleCount);
        return;
    }
    if (IsNarrowedText(device, bytes, size, playback.pathOpen)) {
        DrawTextAsOutlines(device, table, record, handleCount);
        return;
    }
    if (MakeFontAtDefaultHeight(device, table, record, handleCount)) {
        return;
    }
    if (playback.pathOpen || !DrawUnderNarrowedClip(device, table, record, handleCount)) {
        PlayRecordAsDefined(device, table, record, handleCount, playback.defined);
    }
    FollowPenWidth(device, table, handleCount, bytes, size);
}

void FinishPlayback(HDC device, FaithfulPlayback& playback)
{
    DrawPixels(device, playback.pixels, playback.pathOpen);
    playback.pixels.clear();
}
