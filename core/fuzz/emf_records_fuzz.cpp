// Feeds the fuzzer's bytes to the metafile checks as a whole metafile: the
// header check, the chain check and, for every record the walk reaches, the
// record check. Each record is checked in a buffer of exactly its size, so
// that a read past the record trips the address sanitizer. The chain check
// must agree with the walk, a record must be refused when fewer bytes are
// available than its nSize, and for the common kinds a record the check
// passes must have its data inside it by a separate reading in doubles
// (poly points, poly-polyline counts, text, comments, handle indices,
// bitmaps, whose pixels are also located as one packed DIB). The metafile's
// inspection must agree with the walk: it refuses exactly what the header
// and chain checks refuse, and every record it lets the playback play
// starts a record of the walk, passes the record check, and keeps its
// RESTOREDC within the states saved before it by records it lets play. Any
// broken rule aborts.
//
// The offsets this oracle reads are its own copy, written apart from
// metafile/emf_layout.h on purpose: a wrong offset there must not make the
// oracle agree with the check it judges.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "driver/inspection.h"
#include "metafile/dib_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"

namespace {

using Record = std::vector<uint8_t>;

// Handle-table size for inputs whose header is not plausible.
constexpr uint32_t FALLBACK_HANDLE_COUNT = 8;

void Require(bool condition, const char* rule)
{
    if (!condition) {
        std::fprintf(stderr, "record check breaks: %s\n", rule);
        std::abort();
    }
}

uint32_t Word(const Record& record, size_t at)
{
    Require(at + 4 <= record.size(), "fields read by the model lie inside a passed record");
    return static_cast<uint32_t>(record[at]) | static_cast<uint32_t>(record[at + 1]) << 8 |
           static_cast<uint32_t>(record[at + 2]) << 16 |
           static_cast<uint32_t>(record[at + 3]) << 24;
}

double Number(const Record& record, size_t at)
{
    return static_cast<double>(Word(record, at));
}

// In doubles, exact for every sum of 32-bit products that appears here.
bool Inside(const Record& record, double at, double length)
{
    return at + length <= static_cast<double>(record.size());
}

bool PointsInside(const Record& record, double pointSize)
{
    return Inside(record, 28, Number(record, 24) * pointSize);
}

bool PolylinesInside(const Record& record, double pointSize)
{
    const double lines = Number(record, 24);
    const double points = Number(record, 28);
    if (!Inside(record, 32, lines * 4 + points * pointSize)) {
        return false;
    }
    double counted = 0;
    for (size_t at = 32; at < 32 + static_cast<size_t>(lines) * 4; at += 4) {
        counted += Number(record, at);
    }
    return counted <= points;
}

bool TextInside(const Record& record, double charSize)
{
    const double chars = Number(record, 44);
    const double advancesAt = Number(record, 72);
    const double advanceSize = (Word(record, 52) & 0x2000) != 0 ? 8 : 4;
    // Glyph indices are 16 bits each, in ANSI text too.
    const double unitSize = (Word(record, 52) & 0x10) != 0 ? 2 : charSize;
    return Inside(record, Number(record, 48), chars * unitSize) &&
           (advancesAt == 0 || Inside(record, advancesAt, chars * advanceSize));
}

bool IndexAllowed(const Record& record, uint32_t handleCount, bool stockAllowed)
{
    const uint32_t index = Word(record, 8);
    if (index >= 1 && index < handleCount) {
        return true;
    }
    return stockAllowed && index >= STOCK_OBJECT_FLAG && index - STOCK_OBJECT_FLAG <= 19;
}

// A passed bitmap lies inside the record, and its header, table and pixels
// make a packed DIB the packed layout accepts, with the pixels after cbBmi.
bool BitmapInside(const Record& record, size_t fieldsAt, size_t usageAt)
{
    const uint32_t infoAt = Word(record, fieldsAt);
    const uint32_t infoSize = Word(record, fieldsAt + 4);
    const uint32_t bitsAt = Word(record, fieldsAt + 8);
    const uint32_t bitsSize = Word(record, fieldsAt + 12);
    if (!Inside(record, infoAt, infoSize) || !Inside(record, bitsAt, bitsSize)) {
        return false;
    }
    if (infoSize == 0 || Word(record, usageAt) != DIB_USAGE_RGB) {
        return true;
    }
    Record packed(record.begin() + infoAt, record.begin() + infoAt + infoSize);
    packed.insert(packed.end(), record.begin() + bitsAt, record.begin() + bitsAt + bitsSize);
    const std::optional<DibLayout> layout = ComputeDibLayout(packed.data(), packed.size());
    return layout && layout->pixelOffset <= infoSize && layout->pixelSize <= bitsSize;
}

// The separate reading of a record the check passed; kinds it does not
// model are taken as they are.
bool ModelAgrees(const Record& record, uint32_t handleCount)
{
    switch (Word(record, 0)) {
        case EMR_POLYBEZIER:
        case EMR_POLYGON:
        case EMR_POLYLINE:
        case EMR_POLYBEZIERTO:
        case EMR_POLYLINETO:
            return PointsInside(record, 8);
        case EMR_POLYBEZIER16:
        case EMR_POLYGON16:
        case EMR_POLYLINE16:
        case EMR_POLYBEZIERTO16:
        case EMR_POLYLINETO16:
            return PointsInside(record, 4);
        case EMR_POLYDRAW:
            return PointsInside(record, 9);
        case EMR_POLYDRAW16:
            return PointsInside(record, 5);
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYGON:
            return PolylinesInside(record, 8);
        case EMR_POLYPOLYLINE16:
        case EMR_POLYPOLYGON16:
            return PolylinesInside(record, 4);
        case EMR_EXTTEXTOUTA:
            return TextInside(record, 1);
        case EMR_EXTTEXTOUTW:
            return TextInside(record, 2);
        case EMR_GDICOMMENT:
            return Inside(record, 12, Number(record, 8));
        case EMR_SELECTOBJECT:
            return IndexAllowed(record, handleCount, true);
        case EMR_CREATEPEN:
        case EMR_CREATEBRUSHINDIRECT:
        case EMR_DELETEOBJECT:
        case EMR_EXTCREATEFONTINDIRECTW:
        case EMR_SETCOLORSPACE:
        case EMR_DELETECOLORSPACE:
            return IndexAllowed(record, handleCount, false);
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
            return BitmapInside(record, 84, 80);
        case EMR_STRETCHDIBITS:
        case EMR_SETDIBITSTODEVICE:
            return BitmapInside(record, 48, 64);
        default:
            return true;
    }
}

// A separate count of the states the played records save, in 64 bits.
int64_t SavedStatesAfter(const Record& record, int64_t saved)
{
    if (Word(record, 0) == EMR_SAVEDC) {
        return saved + 1;
    }
    if (Word(record, 0) == EMR_RESTOREDC) {
        const auto relative = static_cast<int32_t>(Word(record, 8));
        Require(relative < 0 && -int64_t{relative} <= saved,
                "a RESTOREDC let play restores only states the metafile saved");
        return saved + relative;
    }
    return saved;
}

void CheckInspection(const uint8_t* data, size_t size, bool plausible, bool tiled,
                     const std::vector<RecordSpan>& walked)
{
    const MetafileInspection inspection = InspectMetafile(data, size, 0);
    Require((inspection.refusal == InspectionRefusal::REFUSED_NONE) == (plausible && tiled),
            "the inspection refuses exactly a metafile whose header or chain fails");
    Require(inspection.refusal == InspectionRefusal::REFUSED_NONE || inspection.playable.empty(),
            "a refused metafile has nothing to play");
    Require(inspection.refusal != InspectionRefusal::REFUSED_NONE ||
                inspection.playable.size() + inspection.skipped.size() == walked.size(),
            "every record of an intact chain is either played or skipped");
    int64_t saved = 0;
    auto span = walked.begin();
    for (size_t at : inspection.playable) {
        while (span != walked.end() && span->offset < at) {
            ++span;
        }
        Require(span != walked.end() && span->offset == at,
                "a record let play starts a record of the walk");
        const Record record(data + at, data + at + span->size);
        Require(IsRecordSafe(record.data(), record.size(), inspection.header.handleCount),
                "a record let play passes the record check");
        saved = SavedStatesAfter(record, saved);
    }
    for (const BackdropBlit& blit : inspection.backdropBlits) {
        Require(MayPlay(inspection, blit.offset), "a blit given a backdrop is let play");
    }
    Require(inspection.renderer == PictureRenderer::GDI ||
                (inspection.skipped.empty() && inspection.emfPlusSound),
            "GDI+ draws only a metafile whose every record may be played");
}

void CheckRecord(const uint8_t* bytes, uint32_t size, uint32_t handleCount)
{
    const Record record(bytes, bytes + size);
    const bool safe = IsRecordSafe(record.data(), record.size(), handleCount);
    Require(!IsRecordSafe(record.data(), record.size() - 4, handleCount),
            "a record whose nSize exceeds the bytes available is refused");
    Require(!safe || ModelAgrees(record, handleCount), "a passed record's data lies inside it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MetafileHeader header{};
    const bool plausible = ReadMetafileHeader(data, size, header);
    Require(!plausible || (header.size <= size && header.handleCount >= 1),
            "a plausible header keeps nBytes within the file and has handles");
    const size_t metafileSize = plausible ? header.size : size;
    const uint32_t handleCount = plausible ? header.handleCount : FALLBACK_HANDLE_COUNT;
    size_t offset = 0;
    bool headerOnlyFirst = true;
    std::vector<RecordSpan> walked;
    RecordSpan record{};
    while (ReadRecordAt(data, metafileSize, offset, record)) {
        walked.push_back(record);
        Require(record.size >= 8 && record.size % 4 == 0 && record.size <= metafileSize - offset,
                "a record the walk reads has a sound size inside the metafile");
        headerOnlyFirst = headerOnlyFirst && (record.type == EMR_HEADER) == (offset == 0);
        CheckRecord(data + offset, record.size, handleCount);
        offset += record.size;
    }
    const bool tiled = offset != 0 && offset == metafileSize && headerOnlyFirst;
    Require(IsRecordChainIntact(data, metafileSize) == tiled,
            "the chain is intact exactly when the walk tiles the metafile from a header");
    CheckInspection(data, size, plausible, tiled, walked);
    if (tiled) {
        const InspectedRecording restored =
            InspectRecording(std::vector<uint8_t>(data, data + size), 0);
        Require(restored.bytes.size() == size &&
                    IsRecordChainIntact(restored.bytes.data(), metafileSize),
                "restoring alpha blends keeps the metafile's size and its record chain");
        Require((restored.inspection.refusal == InspectionRefusal::REFUSED_NONE) == plausible,
                "a recording is refused exactly as any other metafile");
    }
    return 0;
}
