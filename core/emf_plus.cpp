#include "emf_plus.h"

#include "emf_record_types.h"
#include "emf_records.h"
#include "little_endian.h"

namespace {

constexpr uint32_t EMF_PLUS_SIGNATURE = 0x2B464D45;  // "EMF+"
constexpr size_t COMMENT_SIZE_AT = 8;                // cbData of GDICOMMENT
constexpr size_t COMMENT_DATA_AT = 12;
constexpr uint32_t EMF_PLUS_RECORD_HEADER_SIZE = 12;  // Type, Flags, Size, DataSize
constexpr uint16_t EMF_PLUS_HEADER = 0x4001;

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

// The EMF+ data of a GDICOMMENT record, or none.
struct EmfPlusData {
    const uint8_t* bytes;
    size_t size;
};
EmfPlusData ReadEmfPlusData(const uint8_t* record, const RecordSpan& span)
{
    if (span.type != EMR_GDICOMMENT || span.size < COMMENT_DATA_AT + 4) {
        return {nullptr, 0};
    }
    const uint64_t count = ReadUint32(record + COMMENT_SIZE_AT);
    if (COMMENT_DATA_AT + count > span.size || count < 4 ||
        ReadUint32(record + COMMENT_DATA_AT) != EMF_PLUS_SIGNATURE) {
        return {nullptr, 0};
    }
    return {record + COMMENT_DATA_AT + 4, static_cast<size_t>(count - 4)};
}

bool AreRecordsSound(const EmfPlusData& data)
{
    size_t at = 0;
    while (at < data.size) {
        if (data.size - at < EMF_PLUS_RECORD_HEADER_SIZE) {
            return false;
        }
        const uint32_t size = ReadUint32(data.bytes + at + 4);
        const uint32_t dataSize = ReadUint32(data.bytes + at + 8);
        if (size < EMF_PLUS_RECORD_HEADER_SIZE || size % 4 != 0 || size > data.size - at ||
            dataSize > size - EMF_PLUS_RECORD_HEADER_SIZE) {
            return false;
        }
        at += size;
    }
    return true;
}

}  // namespace

bool AreEmfPlusRecordsSound(const uint8_t* metafile, size_t size)
{
    RecordSpan span{};
    for (size_t at = 0; ReadRecordAt(metafile, size, at, span); at += span.size) {
        const EmfPlusData data = ReadEmfPlusData(metafile + at, span);
        if (data.bytes != nullptr && !AreRecordsSound(data)) {
            return false;
        }
    }
    return true;
}

PictureRenderer ChooseRenderer(const uint8_t* metafile, size_t size)
{
    bool startsWithHeader = false;
    bool seenEmfPlus = false;
    RecordSpan span{};
    for (size_t at = 0; ReadRecordAt(metafile, size, at, span); at += span.size) {
        if (DrawsShapeOrImage(span.type)) {
            return PictureRenderer::GDI;
        }
        const EmfPlusData data = ReadEmfPlusData(metafile + at, span);
        if (data.bytes != nullptr && !seenEmfPlus) {
            seenEmfPlus = true;
            startsWithHeader = data.size >= EMF_PLUS_RECORD_HEADER_SIZE &&
                               ReadUint16(data.bytes) == EMF_PLUS_HEADER;
        }
    }
    return startsWithHeader && AreEmfPlusRecordsSound(metafile, size) ? PictureRenderer::GDI_PLUS
                                                                      : PictureRenderer::GDI;
}
