#include "playback/faithful_playback.h"

#include "driver/record_readers.h"
#include "playback/mendings.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Each mending in the order it applies, the first that draws the record
// ending it; a record none of them draws is played as it stands.
void PlayRecordFaithfully(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                          UINT handleCount, FaithfulPlayback& playback)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const size_t size = record->nSize;
    const HandedClip handed = HandClipOnce(playback.writtenClip, bytes, playback.pathOpen);
    if (IsKeptFromDriver(device, bytes, size)) {
        DrawLineOfKeptArc(device, bytes, size);
        return;
    }
    const auto tile = playback.backdrop.find(static_cast<size_t>(bytes - playback.metafileStart));
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
    if (const std::optional<Pixel> pixel = ReadPixel(bytes, size)) {
        DrawPixel(device, *pixel);
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
