#include "driver/inspection.h"

#include "metafile/alpha_copies.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

#include <algorithm>
#include <optional>
#include <utility>

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

bool IsHeaderCommentOrEnd(uint32_t type)
{
    return type == EMR_HEADER || type == EMR_GDICOMMENT || type == EMR_EOF;
}

// What the walk carries from record to record.
struct Walk {
    MetafileInspection inspection;
    RendererSurvey survey;
    EmfPlusCheck emfPlusCheck;
    uint32_t depth;  // the saved-state depth of the records played so far
};

// The walk after one more record of the chain, span read at its offset in
// metafile.
Walk InspectRecord(Walk walk, const uint8_t* metafile, const RecordSpan& span,
                   uint32_t shadeBlendCaps)
{
    const uint8_t* record = metafile + span.offset;
    walk.inspection.onlyComments = walk.inspection.onlyComments && IsHeaderCommentOrEnd(span.type);
    walk.survey = SurveyRecord(walk.survey, record, span);
    walk.emfPlusCheck = CheckEmfPlusRecord(std::move(walk.emfPlusCheck), record, span);
    const std::optional<uint32_t> after =
        DepthAfterPlayable(record, span.size, walk.inspection.header.handleCount, walk.depth);
    if (!after) {
        walk.inspection.skipped.push_back(span.offset);
        return walk;
    }
    walk.depth = *after;
    walk.inspection.playable.push_back(span.offset);
    if (const std::optional<BlitDestination> blit =
            ReadBlitNeedingBackdrop(record, span.size, shadeBlendCaps)) {
        walk.inspection.backdropBlits.push_back({span.offset, *blit});
    }
    return walk;
}

// The one walk: every record along the chain, with what the checks carry
// handed from record to record. When restoring is the metafile's own bytes,
// each copy that stands for an alpha blend is restored (alpha_copies.h) as
// the walk meets it, before anything reads the record.
MetafileInspection WalkRecords(const uint8_t* metafile, const MetafileHeader& header,
                               uint32_t shadeBlendCaps, uint8_t* restoring)
{
    Walk walk{};
    walk.inspection.header = header;
    walk.inspection.frame = ReadFrame(metafile);
    walk.inspection.onlyComments = true;
    walk.emfPlusCheck = StartEmfPlusCheck();
    RecordSpan span{};
    for (size_t at = 0; at < header.size; at += span.size) {
        if (!ReadRecordAt(metafile, header.size, at, span) || !StandsInChain(span)) {
            return Refused(InspectionRefusal::CHAIN_BROKEN);
        }
        if (restoring != nullptr && IsCopyWithAlpha(metafile + at, span)) {
            span = RestoreAlphaBlend(restoring + at, span);
        }
        walk = InspectRecord(std::move(walk), metafile, span, shadeBlendCaps);
    }
    MetafileInspection& inspection = walk.inspection;
    inspection.emfPlusSound = LivesInEmfPlus(walk.survey) && inspection.skipped.empty() &&
                              IsEmfPlusCheckSound(walk.emfPlusCheck);
    inspection.renderer =
        inspection.emfPlusSound ? PictureRenderer::GDI_PLUS : PictureRenderer::GDI;
    return std::move(walk.inspection);
}

// The header, or why there is none, then the walk.
MetafileInspection Inspect(const uint8_t* metafile, size_t size, uint32_t shadeBlendCaps,
                           uint8_t* restoring)
{
    if (!StartsWithHeaderRecord(metafile, size)) {
        return Refused(InspectionRefusal::NO_HEADER);
    }
    MetafileHeader header{};
    if (!ReadMetafileHeader(metafile, size, header)) {
        return Refused(InspectionRefusal::HEADER_NOT_PLAUSIBLE);
    }
    return WalkRecords(metafile, header, shadeBlendCaps, restoring);
}

}  // namespace

MetafileInspection InspectMetafile(const uint8_t* metafile, size_t size, uint32_t shadeBlendCaps)
{
    return Inspect(metafile, size, shadeBlendCaps, nullptr);
}

InspectedRecording InspectRecording(std::vector<uint8_t> recorded, uint32_t shadeBlendCaps)
{
    MetafileInspection inspection =
        Inspect(recorded.data(), recorded.size(), shadeBlendCaps, recorded.data());
    return {std::move(recorded), std::move(inspection)};
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
