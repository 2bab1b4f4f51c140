#include "metafile/alpha_copies.h"

#include "metafile/dib_layout.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"
#include "metafile/little_endian.h"

namespace {

constexpr uint32_t SOURCE_COPY = 0x00CC0020;  // SRCCOPY
// Source over, at full constant alpha, with the source's own alpha:
// AC_SRC_OVER, 0, 255, AC_SRC_ALPHA in BLENDFUNCTION's byte order.
constexpr uint32_t PER_PIXEL_BLEND = 0x01FF0000;
constexpr uint16_t PIXELS_WITH_ALPHA = 32;

void PutUint32(uint8_t* bytes, uint32_t value)
{
    for (size_t i = 0; i < sizeof value; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

bool IsCopyWithAlpha(const uint8_t* record, const RecordSpan& span)
{
    if (span.type != EMR_STRETCHBLT || span.size < EMR_STRETCHBLT_SIZE ||
        ReadUint32(record + EMR_BITBLT_DWROP) != SOURCE_COPY) {
        return false;
    }
    const uint64_t offset = ReadUint32(record + EMR_BITBLT_OFFBMISRC);
    const uint64_t length = ReadUint32(record + EMR_BITBLT_CBBMISRC);
    return length >= BITMAPINFOHEADER_BIBITCOUNT + sizeof PIXELS_WITH_ALPHA &&
           offset + length <= span.size &&
           ReadUint16(record + offset + BITMAPINFOHEADER_BIBITCOUNT) == PIXELS_WITH_ALPHA;
}

RecordSpan RestoreAlphaBlend(uint8_t* record, const RecordSpan& span)
{
    PutUint32(record + EMR_ITYPE, EMR_ALPHABLEND);
    PutUint32(record + EMR_BITBLT_DWROP, PER_PIXEL_BLEND);
    return {span.offset, EMR_ALPHABLEND, span.size};
}
