#include "metafile_mutator.h"

#include <cstddef>
#include <cstring>
#include <iterator>

namespace {

// The offsets below are the mutator's own copy, written apart from
// metafile/emf_layout.h and emf_plus_layout.h on purpose: the soak run
// must not share a mistake with the checks it tries to break.
constexpr size_t FIELD_SIZE = 4;
constexpr size_t RECORD_START_SIZE = 8;  // the type and size of every record
constexpr size_t SIZE_FIELD_AT = 4;
constexpr uint32_t STOCK_OBJECT_FLAG = 0x80000000u;
constexpr uint32_t STOCK_OBJECT_SPAN = 24;  // a few past the last stock object
constexpr uint32_t LAST_RECORD_TYPE = 122;
constexpr uint32_t MAX_MUTATIONS = 4;
constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint64_t SEED_SCRAMBLE = 0x9E3779B97F4A7C15ull;

// EMF+ records in GDICOMMENT records: the comment's byte count and the
// "EMF+" signature, then records of a 16-bit type and flags, a Size and a
// DataSize. The low byte of the flags names an object; the high bits are
// the S, C and P flags and an object's continued flag.
constexpr uint32_t GDICOMMENT_TYPE = 70;
constexpr size_t COMMENT_COUNT_AT = 8;
constexpr size_t COMMENT_DATA_AT = 12;
constexpr uint32_t EMF_PLUS_SIGNATURE = 0x2B464D45;
constexpr size_t PLUS_HEADER_SIZE = 12;
constexpr size_t PLUS_FLAGS_AT = 2;
constexpr size_t PLUS_SIZE_AT = 4;
constexpr size_t PLUS_DATA_SIZE_AT = 8;
constexpr uint32_t OBJECT_TABLE_SIZE = 64;
constexpr uint32_t FLAG_BITS_FROM = 8;  // flags above the object id
constexpr uint32_t FLAG_BITS = 8;

// Box-shaped drawing records, which the player lays out from a box (or a
// centre and radius): ANGLEARC, ELLIPSE, RECTANGLE, ROUNDRECT, ARC, CHORD,
// PIE and ARCTO.
constexpr uint32_t BOX_SHAPED_TYPES[] = {41, 42, 43, 44, 45, 46, 47, 55};
constexpr uint32_t LEAST_COORDINATE = 0x80000000u;  // INT_MIN
// Seeds from here on also turn records into box-shaped ones and put points
// at the least coordinate; the seeds below mutate as they always have, so
// that a seed once found keeps naming the same mutant.
constexpr uint64_t SHAPE_SEEDS_FROM = 1000000;

enum Mutation : uint32_t {
    SET_FIELD,
    FLIP_BIT,
    CHANGE_TYPE,
    CHANGE_SIZE,
    GDI_MUTATION_KINDS,
    CHANGE_EMF_PLUS = GDI_MUTATION_KINDS,  // only in metafiles with EMF+ records
    TURN_INTO_BOX_SHAPE,                   // only from SHAPE_SEEDS_FROM on
    POINT_AT_LEAST,
};
constexpr uint32_t SHAPE_MUTATION_KINDS = POINT_AT_LEAST - TURN_INTO_BOX_SHAPE + 1;

enum PlusMutation : uint32_t {
    PLUS_SIZE,
    PLUS_DATA_SIZE,
    PLUS_OBJECT_ID,
    PLUS_FLAG,
    PLUS_FIELD,
    PLUS_BYTE,
    PLUS_MUTATION_KINDS,
};

// xorshift64*: small, fast and the same everywhere.
struct Random {
    uint64_t state;
};

uint64_t Next(Random& random)
{
    random.state ^= random.state >> 12;
    random.state ^= random.state << 25;
    random.state ^= random.state >> 27;
    return random.state * 0x2545F4914F6CDD1Dull;
}

uint32_t Below(Random& random, uint32_t limit)
{
    return limit == 0 ? 0 : static_cast<uint32_t>(Next(random) % limit);
}

uint32_t ReadField(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, FIELD_SIZE);
    return value;
}

void WriteField(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    std::memcpy(bytes.data() + at, &value, FIELD_SIZE);
}

// The start of every record whose size field keeps it inside the file.
std::vector<size_t> FindRecords(const std::vector<uint8_t>& bytes)
{
    std::vector<size_t> starts;
    size_t at = 0;
    while (at + RECORD_START_SIZE <= bytes.size()) {
        const uint32_t size = ReadField(bytes, at + SIZE_FIELD_AT);
        if (size < RECORD_START_SIZE || size % FIELD_SIZE != 0 || size > bytes.size() - at) {
            break;
        }
        starts.push_back(at);
        at += size;
    }
    return starts;
}

// The start of every EMF+ record in the GDICOMMENT record at record whose
// Size keeps it inside the comment, added to starts.
void FindPlusRecordsIn(const std::vector<uint8_t>& bytes, size_t record,
                       std::vector<size_t>& starts)
{
    const uint32_t recordSize = ReadField(bytes, record + SIZE_FIELD_AT);
    if (ReadField(bytes, record) != GDICOMMENT_TYPE || recordSize < COMMENT_DATA_AT + FIELD_SIZE ||
        ReadField(bytes, record + COMMENT_DATA_AT) != EMF_PLUS_SIGNATURE) {
        return;
    }
    const uint32_t count = ReadField(bytes, record + COMMENT_COUNT_AT);
    const size_t end =
        record + COMMENT_DATA_AT +
        (count < recordSize - COMMENT_DATA_AT ? count : recordSize - COMMENT_DATA_AT);
    size_t at = record + COMMENT_DATA_AT + FIELD_SIZE;
    while (at + PLUS_HEADER_SIZE <= end) {
        const uint32_t size = ReadField(bytes, at + PLUS_SIZE_AT);
        if (size < PLUS_HEADER_SIZE || size > end - at) {
            break;
        }
        starts.push_back(at);
        at += size;
    }
}

std::vector<size_t> FindPlusRecords(const std::vector<uint8_t>& bytes,
                                    const std::vector<size_t>& records)
{
    std::vector<size_t> starts;
    for (size_t record : records) {
        FindPlusRecordsIn(bytes, record, starts);
    }
    return starts;
}

// A value that tends to break a field: an edge of its range, a stock-object
// index, the record's own size or just past it, or anything at all.
uint32_t EdgeValue(Random& random, uint32_t recordSize)
{
    const uint32_t values[] = {0u,          1u,
                               2u,          0x7FFFFFFFu,
                               0xFFFFFFFFu, STOCK_OBJECT_FLAG | Below(random, STOCK_OBJECT_SPAN),
                               recordSize,  recordSize + static_cast<uint32_t>(FIELD_SIZE),
                               0x10000u,    static_cast<uint32_t>(Next(random))};
    return values[Below(random, static_cast<uint32_t>(sizeof values / sizeof values[0]))];
}

// Breaks one EMF+ record: its Size or DataSize set to an edge value, the
// object id its flags name pushed to or past the table's end, one of its
// flag bits flipped, a field of its data set to an edge value, or a byte of
// its data flipped. Nothing is written past the file.
void MutatePlusRecord(std::vector<uint8_t>& bytes, size_t record, Random& random)
{
    const size_t room = bytes.size() - record;
    const uint32_t size = ReadField(bytes, record + PLUS_SIZE_AT);
    const size_t extent = size < room ? size : room;
    switch (Below(random, PLUS_MUTATION_KINDS)) {
        case PLUS_SIZE:
            WriteField(bytes, record + PLUS_SIZE_AT, EdgeValue(random, size));
            break;
        case PLUS_DATA_SIZE:
            WriteField(bytes, record + PLUS_DATA_SIZE_AT,
                       EdgeValue(random, size - static_cast<uint32_t>(PLUS_HEADER_SIZE)));
            break;
        case PLUS_OBJECT_ID:
            bytes[record + PLUS_FLAGS_AT] =
                static_cast<uint8_t>(OBJECT_TABLE_SIZE - 1 + Below(random, 3));
            break;
        case PLUS_FLAG: {
            const uint32_t bit = FLAG_BITS_FROM + Below(random, FLAG_BITS);
            const size_t at = record + PLUS_FLAGS_AT + bit / BITS_PER_BYTE;
            bytes[at] = static_cast<uint8_t>(bytes[at] ^ (1u << (bit % BITS_PER_BYTE)));
            break;
        }
        case PLUS_FIELD:
            if (extent >= PLUS_HEADER_SIZE + FIELD_SIZE) {
                const uint32_t fields =
                    static_cast<uint32_t>((extent - PLUS_HEADER_SIZE) / FIELD_SIZE);
                WriteField(bytes, record + PLUS_HEADER_SIZE + FIELD_SIZE * Below(random, fields),
                           EdgeValue(random, size));
            }
            break;
        default:
            if (extent > PLUS_HEADER_SIZE) {
                const size_t at = record + PLUS_HEADER_SIZE +
                                  Below(random, static_cast<uint32_t>(extent - PLUS_HEADER_SIZE));
                bytes[at] = static_cast<uint8_t>(bytes[at] ^ (1u << Below(random, BITS_PER_BYTE)));
            }
            break;
    }
}

// One kind of mutation: one of the GDI kinds, EMF+ in a metafile that has
// EMF+ records, and the shapes when the seed takes them.
Mutation ChooseMutation(Random& random, bool hasPlus, bool takesShapes)
{
    const uint32_t plusKinds = hasPlus ? 1u : 0u;
    const uint32_t shapeKinds = takesShapes ? SHAPE_MUTATION_KINDS : 0u;
    const uint32_t kind = Below(random, GDI_MUTATION_KINDS + plusKinds + shapeKinds);
    if (kind < GDI_MUTATION_KINDS + plusKinds) {
        return static_cast<Mutation>(kind);
    }
    return static_cast<Mutation>(TURN_INTO_BOX_SHAPE + (kind - GDI_MUTATION_KINDS - plusKinds));
}

void MutateOnce(std::vector<uint8_t>& bytes, const std::vector<size_t>& records,
                const std::vector<size_t>& plusRecords, bool takesShapes, Random& random)
{
    // The header (the first record) is left to bit flips, so that most
    // mutants still load and reach the record check.
    const size_t record =
        records.size() > 1 ? records[1 + Below(random, static_cast<uint32_t>(records.size() - 1))]
                           : records[0];
    // An earlier mutation may have changed the size: stay inside the file.
    const size_t room = bytes.size() - record;
    const uint32_t size = ReadField(bytes, record + SIZE_FIELD_AT);
    const size_t fields = (size < room ? size : room) / FIELD_SIZE;
    switch (ChooseMutation(random, !plusRecords.empty(), takesShapes)) {
        case SET_FIELD:
            if (fields > 2) {
                const size_t at =
                    record + FIELD_SIZE * (2 + Below(random, static_cast<uint32_t>(fields - 2)));
                WriteField(bytes, at, EdgeValue(random, size));
            }
            break;
        case FLIP_BIT: {
            const size_t at = Below(random, static_cast<uint32_t>(bytes.size()));
            bytes[at] = static_cast<uint8_t>(bytes[at] ^ (1u << Below(random, BITS_PER_BYTE)));
            break;
        }
        case CHANGE_TYPE:
            WriteField(bytes, record, 1 + Below(random, LAST_RECORD_TYPE));
            break;
        case CHANGE_EMF_PLUS:
            MutatePlusRecord(bytes,
                             plusRecords[Below(random, static_cast<uint32_t>(plusRecords.size()))],
                             random);
            break;
        case TURN_INTO_BOX_SHAPE:
            WriteField(bytes, record,
                       BOX_SHAPED_TYPES[Below(random,
                                              static_cast<uint32_t>(std::size(BOX_SHAPED_TYPES)))]);
            break;
        case POINT_AT_LEAST:
            if (fields > 3) {
                const size_t at =
                    record + FIELD_SIZE * (2 + Below(random, static_cast<uint32_t>(fields - 3)));
                WriteField(bytes, at, LEAST_COORDINATE);
                WriteField(bytes, at + FIELD_SIZE, LEAST_COORDINATE);
            }
            break;
        default:
            WriteField(bytes, record + SIZE_FIELD_AT, EdgeValue(random, size));
            break;
    }
}

}  // namespace

std::vector<uint8_t> MutateMetafile(const std::vector<uint8_t>& metafile, uint64_t seed)
{
    std::vector<uint8_t> bytes = metafile;
    const std::vector<size_t> records = FindRecords(bytes);
    if (records.empty()) {
        return bytes;
    }
    const std::vector<size_t> plusRecords = FindPlusRecords(bytes, records);
    Random random{(seed + 1) * SEED_SCRAMBLE};
    const uint32_t mutations = 1 + Below(random, MAX_MUTATIONS);
    for (uint32_t i = 0; i < mutations; ++i) {
        MutateOnce(bytes, records, plusRecords, seed >= SHAPE_SEEDS_FROM, random);
    }
    return bytes;
}
