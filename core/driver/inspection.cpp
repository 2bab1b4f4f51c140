#include "driver/inspection.h"

#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

#include <algorithm>
#include <optional>

namespace {

MetafileFrame ReadFrame(const uint8_t* metafile)
{
    const uint8_t* frame = metafile + EMR_HEADER_RCLFRAME;
    return {ReadInt32(frame + RECTL_LEFT), ReadInt32(frame + RECTL_TOP),
            ReadInt32(frame + RECTL_RIGHT), ReadInt32(frame + RECTL_BOTTOM)};
}

MetafileInspection Refused(InspectionRefusal refusal)
{
    MetafileInspection inspection{};
    inspection.refusal = refusal;
    inspection.renderer = PictureRenderer::GDI;
    return inspection;
}

bool StartsWithHeaderRecord(const uint8_t* metafile, size_t size)
{
    return size >= EMF_SMALLEST_HEADER_SIZE && ReadUint32(metafile) == EMR_HEADER;
}

// The one walk: every record along the chain, with the filter's depth
// carried from record to record.
MetafileInspection WalkRecords(const uint8_t* metafile, const MetafileHeader& header,
                               uint32_t shadeBlendCaps)
{
    MetafileInspection inspection{};
    inspection.header = header;
    inspection.frame = ReadFrame(metafile);
    RendererSurvey survey{};
    uint32_t depth = 0;
    RecordSpan span{};
    for (size_t at = 0; at < header.size; at += span.size) {
        if (!ReadRecordAt(metafile, header.size, at, span) || !StandsInChain(span)) {
            return Refused(InspectionRefusal::CHAIN_BROKEN);
        }
        survey = SurveyRecord(survey, metafile + at, span);
        const std::optional<uint32_t> after =
            DepthAfterPlayable(metafile + at, span.size, header.handleCount, depth);
        if (!after) {
            inspection.skipped.push_back(at);
            continue;
        }
        depth = *after;
        inspection.playable.push_back(at);
        if (const std::optional<BlitDestination> blit =
                ReadBlitNeedingBackdrop(metafile + at, span.size, shadeBlendCaps)) {
            inspection.backdropBlits.push_back({at, *blit});
        }
    }
    const bool drawnByEmfPlus = LivesInEmfPlus(survey) && inspection.skipped.empty();
    inspection.emfPlusSound = drawnByEmfPlus && AreEmfPlusRecordsSound(metafile, header.size);
    inspection.renderer =
        inspection.emfPlusSound ? PictureRenderer::GDI_PLUS : PictureRenderer::GDI;
    return inspection;
}

}  // namespace

MetafileInspection InspectMetafile(const uint8_t* metafile, size_t size, uint32_t shadeBlendCaps)
{
    if (!StartsWithHeaderRecord(metafile, size)) {
        return Refused(InspectionRefusal::NO_HEADER);
    }
    MetafileHeader header{};
    if (!ReadMetafileHeader(metafile, size, header)) {
        return Refused(InspectionRefusal::HEADER_NOT_PLAUSIBLE);
    }
    return WalkRecords(metafile, header, shadeBlendCaps);
}

bool MayPlay(const MetafileInspection& inspection, size_t offset)
{
    return std::binary_search(inspection.playable.begin(), inspection.playable.end(), offset);
}

std::optional<BlitDestination> FindBackdropBlit(const MetafileInspection& inspection, size_t offset)
{
    const auto blit = std::lower_bound(
        inspection.backdropBlits.begin(), inspection.backdropBlits.end(), offset,
        [](const BackdropBlit& candidate, size_t at) { return candidate.offset < at; });
    if (blit == inspection.backdropBlits.end() || blit->offset != offset) {
        return std::nullopt;
    }
    return blit->destination;
}
