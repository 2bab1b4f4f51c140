#include "metafile/emf_plus.h"

#include "metafile/emf_layout.h"
#include "metafile/emf_plus_records.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"
#include "metafile/raster_operations.h"

namespace emf_plus {
namespace {

// The GDI records that put ink on the page, text aside.
bool DrawsShapeOrImage(uint32_t type)
{
    switch (type) {
        case EMR_POLYBEZIER:
        case EMR_POLYGON:
        case EMR_POLYLINE:
        case EMR_POLYBEZIERTO:
        case EMR_POLYLINETO:
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYGON:
        case EMR_SETPIXELV:
        case EMR_ANGLEARC:
        case EMR_ELLIPSE:
        case EMR_RECTANGLE:
        case EMR_ROUNDRECT:
        case EMR_ARC:
        case EMR_CHORD:
        case EMR_PIE:
        case EMR_EXTFLOODFILL:
        case EMR_LINETO:
        case EMR_ARCTO:
        case EMR_POLYDRAW:
        case EMR_FILLPATH:
        case EMR_STROKEANDFILLPATH:
        case EMR_STROKEPATH:
        case EMR_FILLRGN:
        case EMR_FRAMERGN:
        case EMR_INVERTRGN:
        case EMR_PAINTRGN:
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
        case EMR_MASKBLT:
        case EMR_PLGBLT:
        case EMR_SETDIBITSTODEVICE:
        case EMR_STRETCHDIBITS:
        case EMR_POLYBEZIER16:
        case EMR_POLYGON16:
        case EMR_POLYLINE16:
        case EMR_POLYBEZIERTO16:
        case EMR_POLYLINETO16:
        case EMR_POLYPOLYLINE16:
        case EMR_POLYPOLYGON16:
        case EMR_POLYDRAW16:
        case EMR_ALPHABLEND:
        case EMR_TRANSPARENTBLT:
        case EMR_GRADIENTFILL:
            return true;
        default:
            return false;
    }
}

// A BITBLT or STRETCHBLT whose raster operation reads no source and leaves
// the page as it is: GDI+ writes one, between a SAVEDC and a RESTOREDC, into
// dual metafiles whose picture lives in their EMF+ records.
bool LeavesPageAlone(const uint8_t* record, const RecordSpan& span)
{
    return (span.type == EMR_BITBLT || span.type == EMR_STRETCHBLT) &&
           span.size >= EMR_BITBLT_DWROP + sizeof(uint32_t) &&
           RopIndex(ReadUint32(record + EMR_BITBLT_DWROP)) == ROP_DESTINATION;
}

// The EMF+ records that put ink on the page.
bool DrawsInEmfPlus(uint16_t type)
{
    return (type >= EMF_PLUS_CLEAR && type <= EMF_PLUS_DRAW_STRING) ||
           type == EMF_PLUS_DRAW_DRIVER_STRING || type == EMF_PLUS_STROKE_FILL_PATH;
}

// The EMF+ records of one comment: whether they draw, and whether the last
// of them is a GetDC, which opens a span of GDI records GDI+ plays as part
// of its picture, up to the next EMF+ record.
struct CommentSurvey {
    bool hasRecords;
    bool draws;
    bool endsWithGetDc;
    uint16_t firstType;
};

CommentSurvey SurveyComment(Cursor comment)
{
    CommentSurvey survey{false, false, false, 0};
    PlusRecord record{};
    while (TakePlusRecord(comment, record)) {
        survey.firstType = survey.hasRecords ? survey.firstType : record.type;
        survey.hasRecords = true;
        survey.draws = survey.draws || DrawsInEmfPlus(record.type);
        survey.endsWithGetDc = record.type == EMF_PLUS_GET_DC;
    }
    return survey;
}

}  // namespace
}  // namespace emf_plus

RendererSurvey SurveyRecord(const RendererSurvey& survey, const uint8_t* record,
                            const RecordSpan& span)
{
    RendererSurvey after = survey;
    const emf_plus::Cursor comment = emf_plus::ReadEmfPlusData(record, span);
    if (!emf_plus::Ends(comment)) {
        after.gdiDraws = after.gdiDraws ||
                         (!after.inGetDcSpan && emf_plus::DrawsShapeOrImage(span.type) &&
                          !emf_plus::LeavesPageAlone(record, span));
        return after;
    }
    const emf_plus::CommentSurvey records = emf_plus::SurveyComment(comment);
    if (!after.seenEmfPlus) {
        after.seenEmfPlus = true;
        after.startsWithHeader = records.firstType == emf_plus::EMF_PLUS_HEADER;
    }
    after.emfPlusDraws = after.emfPlusDraws || records.draws;
    after.inGetDcSpan = records.hasRecords ? records.endsWithGetDc : after.inGetDcSpan;
    return after;
}

bool LivesInEmfPlus(const RendererSurvey& survey)
{
    return survey.startsWithHeader && survey.emfPlusDraws && !survey.gdiDraws;
}
