#include "playback/defined_playback.h"

#include "playback/mendings.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Hands the player the records that stand for the mapping record, in order.
void PlayInstead(HDC device, HANDLETABLE* table, const std::vector<std::vector<uint8_t>>& records,
                 UINT handleCount)
{
    for (const std::vector<uint8_t>& bytes : records) {
        PlayEnhMetaFileRecord(device, table, reinterpret_cast<const ENHMETARECORD*>(bytes.data()),
                              handleCount);
    }
}

}  // namespace

void PlayRecordAsDefined(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                         UINT handleCount, DefinedPlayback& playback)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const size_t size = record->nSize;
    if (const std::optional<std::vector<uint8_t>> coded =
            WithSymbolFontCodes(device, bytes, size)) {
        PlayEnhMetaFileRecord(device, table, reinterpret_cast<const ENHMETARECORD*>(coded->data()),
                              handleCount);
        return;
    }
    if (const std::optional<ExtendedPen> pen = ReadExtendedPen(bytes, size)) {
        MakeExtendedPen(table, handleCount, *pen);
        return;
    }
    MappingPlay mapping = PlanMetricMapping(playback.mapping, bytes, size, playback.reference);
    playback.mapping = std::move(mapping.after);
    if (mapping.replaced) {
        PlayInstead(device, table, mapping.records, handleCount);
        return;
    }
    PlayEnhMetaFileRecord(device, table, record, handleCount);
}
