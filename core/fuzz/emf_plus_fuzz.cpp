// Feeds the fuzzer's bytes to the EMF+ check and the renderer rule as a
// whole metafile, in a buffer of exactly its size, so that a read past the
// metafile trips the address sanitizer. GDI+ may only be chosen for a
// metafile whose EMF+ records are sound, and for a sound one a separate
// reading in doubles must find every EMF+ record inside its comment, its
// DataSize inside its Size, every object record's id inside the table and,
// for the common counted kinds, the counted data inside DataSize. A blit
// that leaves the page alone (BITBLT or STRETCHBLT of raster operation
// index 0xAA) never decides the renderer: where no record is skipped, the
// metafile without such blits gets the same one. Any broken rule aborts.
//
// The offsets this oracle reads are its own copy, written apart from
// metafile/emf_layout.h on purpose: a wrong offset there must not make the
// oracle agree with the check it judges.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "driver/inspection.h"
#include "metafile/emf_plus.h"
#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Require(bool condition, const char* rule)
{
    if (!condition) {
        std::fprintf(stderr, "EMF+ check breaks: %s\n", rule);
        std::abort();
    }
}

double Word(const uint8_t* bytes)
{
    return static_cast<double>(
        static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
        static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

double Half(const uint8_t* bytes)
{
    return static_cast<double>(bytes[0] | bytes[1] << 8);
}

// The counted data the model reads, in doubles: FillRects, DrawRects,
// DrawLines and DrawDriverString.
bool CountedDataInside(double type, double flags, const uint8_t* data, double dataSize)
{
    const bool compressed = (static_cast<uint32_t>(flags) & 0x4000) != 0;
    const bool relative = (static_cast<uint32_t>(flags) & 0x0800) != 0;
    if (type == 0x400A) {
        return dataSize >= 8 && 8 + Word(data + 4) * (compressed ? 8 : 16) <= dataSize;
    }
    if (type == 0x400B) {
        return dataSize >= 4 && 4 + Word(data) * (compressed ? 8 : 16) <= dataSize;
    }
    if (type == 0x400D) {
        return dataSize >= 4 && 4 + Word(data) * (relative ? 2 : compressed ? 4 : 8) <= dataSize;
    }
    if (type == 0x4036) {
        return dataSize >= 16 && 16 + Word(data + 12) * 10 <= dataSize;
    }
    return true;
}

// The separate reading of one EMF+ comment's data of a sound metafile.
void CheckComment(const uint8_t* data, double size)
{
    double at = 0;
    while (at < size) {
        Require(at + 12 <= size, "a sound comment holds whole record headers");
        const uint8_t* record = data + static_cast<size_t>(at);
        const double recordSize = Word(record + 4);
        const double dataSize = Word(record + 8);
        Require(recordSize >= 12 && at + recordSize <= size, "a sound record lies in its comment");
        Require(dataSize + 12 <= recordSize, "a sound record's DataSize lies within its Size");
        const double type = Half(record);
        const double flags = Half(record + 2);
        Require(type != 0x4008 || static_cast<uint32_t>(flags) % 256 < 64,
                "a sound object record's id lies within the object table");
        Require(CountedDataInside(type, flags, record + 12, dataSize),
                "a sound record's counted data lies within DataSize");
        at += recordSize;
    }
}

// The header's nBytes and nRecords, and the fields of a blit the model
// reads.
constexpr size_t HEADER_BYTES_AT = 48;
constexpr size_t HEADER_RECORDS_AT = 52;
constexpr size_t BLIT_ROP_AT = 40;
constexpr uint32_t BITBLT_TYPE = 76;
constexpr uint32_t STRETCHBLT_TYPE = 77;

void PutWord(Bytes& bytes, size_t at, double value)
{
    const auto word = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(word >> (8 * i));
    }
}

bool LeavesPageAlone(const uint8_t* record, const RecordSpan& span)
{
    return (span.type == BITBLT_TYPE || span.type == STRETCHBLT_TYPE) &&
           span.size >= BLIT_ROP_AT + 4 &&
           static_cast<uint32_t>(Word(record + BLIT_ROP_AT)) / 65536 % 256 == 0xAA;
}

// The metafile without the blits that leave the page alone, its header's
// size and count lowered by what was taken out; none when it has no such
// blit.
Bytes WithoutPageBlits(const Bytes& metafile)
{
    Bytes kept;
    double takenBytes = 0;
    double takenRecords = 0;
    size_t at = 0;
    RecordSpan span{};
    while (ReadRecordAt(metafile.data(), metafile.size(), at, span)) {
        if (LeavesPageAlone(metafile.data() + at, span)) {
            takenBytes += span.size;
            ++takenRecords;
        } else {
            kept.insert(kept.end(), metafile.begin() + static_cast<ptrdiff_t>(at),
                        metafile.begin() + static_cast<ptrdiff_t>(at + span.size));
        }
        at += span.size;
    }
    if (takenRecords == 0 || kept.size() < HEADER_RECORDS_AT + 4 ||
        Word(kept.data() + HEADER_BYTES_AT) < takenBytes ||
        Word(kept.data() + HEADER_RECORDS_AT) < takenRecords) {
        return {};
    }
    PutWord(kept, HEADER_BYTES_AT, Word(kept.data() + HEADER_BYTES_AT) - takenBytes);
    PutWord(kept, HEADER_RECORDS_AT, Word(kept.data() + HEADER_RECORDS_AT) - takenRecords);
    return kept;
}

void CheckPageBlitsIgnored(const Bytes& metafile, const MetafileInspection& inspection)
{
    const Bytes stripped = WithoutPageBlits(metafile);
    if (stripped.empty() || !inspection.skipped.empty() ||
        !IsRecordChainIntact(stripped.data(), stripped.size())) {
        return;
    }
    const MetafileInspection without = InspectMetafile(stripped.data(), stripped.size(), 0);
    Require(without.renderer == inspection.renderer,
            "a blit that leaves the page alone does not decide the renderer");
}

void CheckSoundMetafile(const Bytes& metafile)
{
    size_t at = 0;
    RecordSpan span{};
    while (ReadRecordAt(metafile.data(), metafile.size(), at, span)) {
        const uint8_t* record = metafile.data() + at;
        if (span.type == EMR_GDICOMMENT && span.size >= 16 && Word(record + 8) >= 4 &&
            Word(record + 8) + 12 <= span.size && Word(record + 12) == 0x2B464D45) {
            CheckComment(record + 16, Word(record + 8) - 4);
        }
        at += span.size;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MetafileHeader header{};
    const size_t metafileSize = ReadMetafileHeader(data, size, header) ? header.size : size;
    const Bytes metafile(data, data + metafileSize);
    const bool sound = AreEmfPlusRecordsSound(metafile.data(), metafile.size());
    if (sound) {
        CheckSoundMetafile(metafile);
    }
    if (IsRecordChainIntact(metafile.data(), metafile.size())) {
        const MetafileInspection inspection = InspectMetafile(metafile.data(), metafile.size(), 0);
        Require(inspection.renderer == PictureRenderer::GDI || sound,
                "GDI+ is chosen only for sound EMF+ records");
        CheckPageBlitsIgnored(metafile, inspection);
    }
    return 0;
}
