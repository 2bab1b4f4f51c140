#include "metafile/emf_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "metafile/emf_record_types.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint32_t>;

constexpr uint32_t HANDLES = 4;  // table entries 1 .. 3 are valid

void Put(Bytes& bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < sizeof value; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

Bytes ToBytes(const Words& words)
{
    Bytes bytes(4 * words.size());
    for (size_t i = 0; i < words.size(); ++i) {
        Put(bytes, 4 * i, words[i]);
    }
    return bytes;
}

// A record of the given type whose fields follow the 8-byte record header;
// nSize counts them all.
Bytes Record(uint32_t type, Words fields)
{
    fields.insert(fields.begin(), {type, static_cast<uint32_t>(8 + 4 * fields.size())});
    return ToBytes(fields);
}

// A record of size bytes, all fields zero.
Bytes Zeros(uint32_t type, size_t size)
{
    return Record(type, Words((size - 8) / 4));
}

// The bytes with the 32-bit fields at the given offsets set.
Bytes With(Bytes bytes, std::initializer_list<std::pair<size_t, uint32_t>> fields)
{
    for (const auto& field : fields) {
        Put(bytes, field.first, field.second);
    }
    return bytes;
}

struct Case {
    const char* what;
    Bytes record;
    bool safe;
};

void ExpectVerdicts(const std::vector<Case>& cases, uint32_t handles = HANDLES)
{
    for (const Case& c : cases) {
        EXPECT_EQ(c.safe, IsRecordSafe(c.record.data(), c.record.size(), handles))
            << "expected " << (c.safe ? "safe" : "refused") << ", got the opposite: " << c.what
            << " (type " << +c.record[0] << ", " << c.record.size() << " bytes)";
    }
}

TEST(IsRecordSafe, HoldsEveryRecordToItsSize)
{
    const Bytes record = Record(EMR_SETMAPMODE, {1});
    EXPECT_FALSE(IsRecordSafe(record.data(), 11, HANDLES)) << "expected nSize beyond the bytes";
    EXPECT_FALSE(IsRecordSafe(record.data(), 7, HANDLES)) << "expected 7 bytes refused";
    ExpectVerdicts({{"nSize not a multiple of 4", With(record, {{4, 10}}), false},
                    {"nSize below 8", With(record, {{4, 4}}), false},
                    {"an unknown type of 8 bytes", Record(117, {}), true},
                    {"an unknown type", Record(0xDEADBEEF, {1, 2, 3}), true}});
}

TEST(IsRecordSafe, RefusesRecordsShortOfTheirFixedPart)
{
    // Kinds whose record of zeros, with 1 in the field at 8 (a handle index
    // where there is one), is safe at its fixed size.
    const uint32_t kinds[][2] = {
        {EMR_HEADER, 88},
        {EMR_SETMAPMODE, 12},
        {EMR_EOF, 20},
        {EMR_ARC, 40},
        {EMR_MODIFYWORLDTRANSFORM, 36},
        {EMR_SETCOLORADJUSTMENT, 32},
        {EMR_PIXELFORMAT, 48},
        {EMR_EXTTEXTOUTW, 76},
        {EMR_STRETCHBLT, 108},
        {EMR_EXTCREATEPEN, 52},
        {EMR_EXTCREATEFONTINDIRECTW, 104},
        {EMR_CREATECOLORSPACEW, 608},
    };
    for (const auto& kind : kinds) {
        const Bytes record = With(Zeros(kind[0], kind[1]), {{8, 1}});
        const Bytes shorter = With(Bytes(record.begin(), record.end() - 4), {{4, kind[1] - 4}});
        ExpectVerdicts({{"exactly the fixed part", record, true},
                        {"one field short of the fixed part", shorter, false}});
    }
}

TEST(IsRecordSafe, KeepsCountedArraysInside)
{
    // Bounds, a count, the points (8 or 4 bytes, with a type byte for
    // POLYDRAW); CREATEPALETTE: index, version and 16-bit count, entries.
    ExpectVerdicts({
        {"2 points of 8 bytes", Record(EMR_POLYLINE, {0, 0, 0, 0, 2, 1, 1, 2, 2}), true},
        {"3 points in room for 2", Record(EMR_POLYLINE, {0, 0, 0, 0, 3, 1, 1, 2, 2}), false},
        {"a count whose 32-bit size wraps", Record(EMR_POLYGON16, {0, 0, 0, 0, 0x40000001, 1}),
         false},
        {"points and types", Record(EMR_POLYDRAW16, {0, 0, 0, 0, 2, 1, 2, 0x0606}), true},
        {"points without types", Record(EMR_POLYDRAW16, {0, 0, 0, 0, 2, 1, 2}), false},
        {"a palette of 2 entries", Record(EMR_CREATEPALETTE, {1, 0x00020300, 0, 0}), true},
        {"3 entries in room for 2", Record(EMR_CREATEPALETTE, {1, 0x00030300, 0, 0}), false},
    });
}

TEST(IsRecordSafe, KeepsPolylineCountsWithinThePoints)
{
    // Bounds, 2 polylines, 3 points, counts 1 and 2, three 16-bit points.
    const Bytes good = Record(EMR_POLYPOLYLINE16, {0, 0, 0, 0, 2, 3, 1, 2, 1, 2, 3});
    ExpectVerdicts({
        {"counts adding up to the points", good, true},
        {"counts adding up to 4 of 3 points", With(good, {{36, 3}}), false},
        {"counts whose 32-bit sum wraps", With(good, {{32, 0xFFFFFFFF}, {36, 4}}), false},
        {"points of 8 bytes in room for 4", With(good, {{0, EMR_POLYPOLYGON}}), false},
        {"counts past the end", Record(EMR_POLYPOLYGON, {0, 0, 0, 0, 0x40000000, 0}), false},
    });
}

// A text record with its EMRTEXT: chars characters, options, the string at
// 76 in stringRoom bytes, and the advances at advancesAt (0: none).
Bytes Text(uint32_t type, uint32_t chars, uint32_t options, uint32_t room, uint32_t advancesAt)
{
    return With(Zeros(type, 76 + room), {{44, chars}, {48, 76}, {52, options}, {72, advancesAt}});
}

TEST(IsRecordSafe, KeepsTextAndAdvancesInside)
{
    ExpectVerdicts({
        {"2 wide characters, 2 advances", Text(EMR_EXTTEXTOUTW, 2, 0, 4 + 8, 80), true},
        {"3 characters in room for 2", Text(EMR_EXTTEXTOUTW, 3, 0, 4 + 8, 80), false},
        {"no advances at offDx 0", Text(EMR_EXTTEXTOUTW, 2, 0, 4, 0), true},
        {"ETO_PDY's 4 advances in room for 2", Text(EMR_EXTTEXTOUTW, 2, 0x2000, 12, 80), false},
        {"ETO_PDY with 4 advances", Text(EMR_EXTTEXTOUTW, 2, 0x2000, 4 + 16, 80), true},
        {"4 one-byte characters", Text(EMR_EXTTEXTOUTA, 4, 0, 4 + 16, 80), true},
        {"4 glyph indices, 16 bits each, in room for 2", Text(EMR_EXTTEXTOUTA, 4, 0x10, 4, 0),
         false},
        {"4 glyph indices in room for 4", Text(EMR_EXTTEXTOUTA, 4, 0x10, 8, 0), true},
        {"advances ending past 2^32", Text(EMR_EXTTEXTOUTA, 2, 0, 12, 0xFFFFFFFC), false},
    });
    // POLYTEXTOUTW: 2 texts of 40 bytes at 40, one character each.
    const Bytes poly =
        With(Zeros(EMR_POLYTEXTOUTW, 40 + 2 * 40 + 4),
             {{36, 2}, {48, 1}, {52, 120}, {76, 120}, {88, 1}, {92, 120}, {116, 120}});
    ExpectVerdicts({
        {"two texts of one character", poly, true},
        {"the second text's advances past the end", With(poly, {{88, 2}}), false},
        {"3 texts in room for 2", With(poly, {{36, 3}}), false},
        {"advances read from offDx 0 past the end", With(poly, {{48, 40}, {52, 40}, {76, 0}}),
         false},
    });
    // SMALLTEXTOUT: position, 4 characters, options, mode, scales, clip, text.
    const Bytes small = Record(EMR_SMALLTEXTOUT, {0, 0, 4, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1});
    ExpectVerdicts({
        {"a clip and 4 wide characters", small, true},
        {"no clip, 12 wide characters from 36", With(small, {{16, 12}, {20, 0x100}}), true},
        {"a clip and 9 one-byte characters", With(small, {{16, 9}, {20, 0x200}}), false},
    });
}

// FILLRGN with the brush and region data: a 32-byte header naming rects
// rectangles, and room for the given number.
Bytes FillRegion(uint32_t brush, uint32_t rects, uint32_t room)
{
    Words fields{0, 0, 0, 0, 32 + 16 * room, brush, 32, 1, rects, 16 * rects, 0, 0, 9, 9};
    fields.resize(fields.size() + 4 * room);
    return Record(EMR_FILLRGN, fields);
}

TEST(IsRecordSafe, KeepsRegionsInside)
{
    const Bytes clip = Record(EMR_EXTSELECTCLIPRGN, {48, 5, 32, 1, 1, 16, 0, 0, 9, 9, 0, 0, 9, 9});
    ExpectVerdicts({
        {"2 rectangles", FillRegion(1, 2, 2), true},
        {"3 rectangles in room for 2", FillRegion(1, 3, 2), false},
        {"a header size of 40", With(FillRegion(1, 1, 1), {{32, 40}}), false},
        {"region data past the end", With(FillRegion(1, 1, 1), {{24, 52}}), false},
        {"no region data", With(Zeros(EMR_FILLRGN, 32), {{28, 1}}), false},
        {"a clip of one rectangle", clip, true},
        {"a clip reset without data", Record(EMR_EXTSELECTCLIPRGN, {0, 5}), true},
        {"no data, but a header the player reads", With(clip, {{8, 0}}), false},
    });
}

// A bitmap record of fixedSize bytes followed by a 4 x 2, 1-bit bitmap with
// clrUsed colours and table of tableEntries, and 8 bytes of pixels; its four
// bitmap fields at fieldsAt.
Bytes WithBitmap(uint32_t type, uint32_t fixedSize, size_t fieldsAt, uint32_t tableEntries,
                 uint32_t clrUsed = 0)
{
    Words dib{40, 4, 2, 1 | 1 << 16, 0, 0, 0, 0, clrUsed, 0};
    dib.resize(dib.size() + tableEntries + 2);
    Bytes record = Zeros(type, fixedSize);
    const Bytes bitmap = ToBytes(dib);
    record.insert(record.end(), bitmap.begin(), bitmap.end());
    const uint32_t infoSize = 40 + 4 * tableEntries;
    return With(record, {{4, static_cast<uint32_t>(record.size())},
                         {fieldsAt, fixedSize},
                         {fieldsAt + 4, infoSize},
                         {fieldsAt + 8, fixedSize + infoSize},
                         {fieldsAt + 12, 8}});
}

TEST(IsRecordSafe, ChecksEmbeddedBitmaps)
{
    const Bytes blt = WithBitmap(EMR_BITBLT, 100, 84, 2);
    const Bytes brush = With(WithBitmap(EMR_CREATEMONOBRUSH, 32, 16, 0), {{8, 1}});
    const Bytes masked = WithBitmap(EMR_MASKBLT, 128, 84, 2);
    ExpectVerdicts({
        {"a 1-bit bitmap with its 2 colours", blt, true},
        {"2 colours named, 1 in the table", WithBitmap(EMR_BITBLT, 100, 84, 1), false},
        {"1 colour named and in the table", WithBitmap(EMR_BITBLT, 100, 84, 1, 1), true},
        {"pixels 1 byte short", With(blt, {{96, 7}}), false},
        {"cbBmi reaching past the end", With(blt, {{88, 0xFFFFFF00}}), false},
        {"pixels ending past 2^32", With(blt, {{92, 0xFFFFFFFC}}), false},
        {"an unknown colour usage", With(blt, {{80, 3}}), false},
        {"a BITBLT without a bitmap", Zeros(EMR_BITBLT, 100), true},
        {"a STRETCHBLT without a bitmap", Zeros(EMR_STRETCHBLT, 108), true},
        {"a STRETCHDIBITS without a bitmap", Zeros(EMR_STRETCHDIBITS, 80), false},
        {"an offBmi with cbBmi 0", With(Zeros(EMR_BITBLT, 140), {{84, 100}}), false},
        {"a mono brush without its colours", brush, false},
        {"a mono brush whose usage has no table", With(brush, {{12, 2}}), true},
        {"a MASKBLT without its mask", masked, false},
        {"a MASKBLT masked by its source bitmap",
         With(masked, {{112, 128}, {116, 48}, {120, 176}, {124, 8}}), true},
    });
}

TEST(IsRecordSafe, KeepsHandleIndicesInTheTable)
{
    for (uint32_t type : {EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_DELETEOBJECT,
                          EMR_SETCOLORSPACE, EMR_DELETECOLORSPACE, EMR_RESIZEPALETTE}) {
        const Bytes record = Zeros(type, 28);
        ExpectVerdicts({{"the first entry", With(record, {{8, 1}}), true},
                        {"the last entry", With(record, {{8, HANDLES - 1}}), true},
                        {"entry 0, the metafile", With(record, {{8, 0}}), false},
                        {"one past the table", With(record, {{8, HANDLES}}), false},
                        {"a stock object", With(record, {{8, 0x80000000}}), false}});
    }
    ExpectVerdicts({
        {"stock object 19 (the DC pen)", Record(EMR_SELECTOBJECT, {0x80000013}), true},
        {"stock object 20", Record(EMR_SELECTOBJECT, {0x80000014}), false},
        {"a selected index past the table", Record(EMR_SELECTOBJECT, {HANDLES}), false},
        {"the stock default palette", Record(EMR_SELECTPALETTE, {0x8000000F}), true},
        {"a stock pen as a palette", Record(EMR_SELECTPALETTE, {0x80000000}), false},
        {"a stock brush for FILLRGN", FillRegion(0x80000000, 1, 1), false},
        {"FILLRGN's brush past the table", FillRegion(HANDLES, 1, 1), false},
    });
}

TEST(IsRecordSafe, KeepsGradientsAndPenStylesInside)
{
    // Bounds, 2 vertices, 1 piece, mode; 16-byte vertices; the corners.
    const Bytes rect =
        Record(EMR_GRADIENTFILL, {0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 9, 9, 0, 0, 0, 1});
    // EXTCREATEPEN: index, bitmap fields, the pen, style count and styles.
    const Bytes pen = Record(EMR_EXTCREATEPEN, {1, 0, 0, 0, 0, 0x2007, 1, 0, 0, 0, 2, 3, 3});
    ExpectVerdicts({
        {"a rectangle of vertices 0 and 1", rect, true},
        {"a corner naming vertex 2 of 2", With(rect, {{72, 2}}), false},
        {"a triangle in room for a rectangle", With(rect, {{32, 2}}), false},
        {"an unknown mode", With(rect, {{32, 3}}), false},
        {"a pen of 2 style entries", pen, true},
        {"3 style entries in room for 2", With(pen, {{48, 3}}), false},
        {"a brush bitmap past the end", With(pen, {{12, 52}, {16, 12}}), false},
    });
}

// The header record of a metafile of size bytes with the given counts.
Bytes Header(uint32_t size, uint32_t records, uint16_t handles)
{
    return With(Zeros(EMR_HEADER, 88),
                {{40, 0x464D4520}, {48, size}, {52, records}, {56, handles}});
}

TEST(ReadMetafileHeader, ReadsOnlyAPlausibleHeader)
{
    MetafileHeader header{};
    const Bytes good = Header(88, 1, 1);
    ASSERT_TRUE(ReadMetafileHeader(good.data(), good.size(), header)) << "expected a header";
    EXPECT_EQ(88u, header.size) << "expected nBytes 88, got " << header.size;
    EXPECT_EQ(1u, header.handleCount) << "expected 1 handle, got " << header.handleCount;
    const Bytes measured = With(good, {{72, 1920}, {76, 1080}, {80, 508}, {84, 286}});
    ASSERT_TRUE(ReadMetafileHeader(measured.data(), measured.size(), header));
    EXPECT_EQ(1920, header.reference.pixelsAcross) << "expected szlDevice.cx";
    EXPECT_EQ(1080, header.reference.pixelsDown) << "expected szlDevice.cy";
    EXPECT_EQ(508, header.reference.millimetresAcross) << "expected szlMillimeters.cx";
    EXPECT_EQ(286, header.reference.millimetresDown) << "expected szlMillimeters.cy";
    Bytes unaligned = Header(90, 1, 1);
    unaligned.resize(92);
    const std::vector<Case> bad{
        {"type 2", With(good, {{0, 2}}), false},
        {"nSize 84", With(good, {{4, 84}}), false},
        {"nSize past nBytes", With(good, {{4, 92}}), false},
        {"no signature", With(good, {{40, 0}}), false},
        {"nBytes past the file", Header(92, 1, 1), false},
        {"nBytes not a multiple of 4", unaligned, false},
        {"no records", Header(88, 0, 1), false},
        {"more records than 8-byte records fit", Header(88, 12, 1), false},
        {"no handles", Header(88, 1, 0), false},
    };
    for (const Case& c : bad) {
        EXPECT_FALSE(ReadMetafileHeader(c.record.data(), c.record.size(), header))
            << "expected refused, got a header: " << c.what;
    }
}

bool Intact(const std::vector<Bytes>& records)
{
    Bytes metafile;
    for (const Bytes& record : records) {
        metafile.insert(metafile.end(), record.begin(), record.end());
    }
    return IsRecordChainIntact(metafile.data(), metafile.size());
}

TEST(IsRecordChainIntact, WalksEveryRecordToTheEnd)
{
    const Bytes header = Header(88 + 20, 2, 1);
    const Bytes eof = Zeros(EMR_EOF, 20);
    EXPECT_TRUE(Intact({header, eof})) << "expected a header and an EOF intact";
    EXPECT_TRUE(Intact({header, eof, Zeros(EMR_SAVEDC, 8)})) << "expected a record after EOF";
    EXPECT_FALSE(Intact({header, eof, Bytes(4)})) << "expected 4 stray bytes at the end refused";
    EXPECT_FALSE(Intact({header, header})) << "expected a second header refused";
    EXPECT_FALSE(Intact({eof})) << "expected a chain without its header refused";
    EXPECT_FALSE(Intact({})) << "expected an empty metafile refused";
    EXPECT_FALSE(Intact({header, With(eof, {{4, 0}})})) << "expected an nSize of 0 refused";
    EXPECT_FALSE(Intact({header, With(eof, {{4, 24}})})) << "expected a record past the end";
}

Bytes ReadFile(const std::string& name)
{
    std::ifstream file(std::string(VELLUMARK_CORE_TEST_DATA) + "/emf/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The offsets of the records the check refuses, walking the whole file.
std::set<size_t> RefusedOffsets(const Bytes& file, const MetafileHeader& header)
{
    std::set<size_t> refused;
    RecordSpan record{};
    for (size_t at = 0; ReadRecordAt(file.data(), header.size, at, record); at += record.size) {
        if (!IsRecordSafe(file.data() + at, record.size, header.handleCount)) {
            refused.insert(at);
        }
    }
    return refused;
}

// Reads a real file's header and expects its chain intact or broken.
MetafileHeader ReadRealHeader(const Bytes& file, const char* name, bool intact)
{
    MetafileHeader header{};
    EXPECT_TRUE(ReadMetafileHeader(file.data(), file.size(), header))
        << "expected a plausible header in " << name << " (" << file.size() << " bytes)";
    EXPECT_EQ(intact, IsRecordChainIntact(file.data(), header.size))
        << "expected the chain of " << name << (intact ? " intact" : " broken");
    return header;
}

TEST(RealMetafiles, EveryRecordOfGoodFilesIsSafe)
{
    for (const char* name : {"drawing.emf", "63327.emf", "nested_wmf.emf", "SimpleEMF_windows.emf",
                             "vector_image.emf", "wrench.emf"}) {
        const Bytes file = ReadFile(name);
        const std::set<size_t> refused = RefusedOffsets(file, ReadRealHeader(file, name, true));
        EXPECT_TRUE(refused.empty())
            << "expected every record of " << name << " safe, got " << refused.size()
            << " refused, first at " << (refused.empty() ? 0 : *refused.begin());
    }
}

TEST(RealMetafiles, RefusesExactlyTheBitmapsThePlayerWouldOverread)
{
    // test-2.emf: twelve 8-bit bitmaps (STRETCHDIBITS, BITBLT, STRETCHBLT)
    // name all 256 colours but carry 100, and two STRETCHDIBITS carry JPEG
    // and PNG pixels, which the layout does not know.
    const std::set<size_t> expected{55340, 55980, 56640, 57308, 57948, 58608, 59276,
                                    59916, 60576, 61244, 61884, 62544, 74792, 75528};
    const Bytes file = ReadFile("test-2.emf");
    const std::set<size_t> refused = RefusedOffsets(file, ReadRealHeader(file, "test-2", true));
    EXPECT_EQ(expected, refused) << "expected 14 records refused, got " << refused.size();
}

TEST(RealMetafiles, ABrokenChainIsFoundWhereItBreaks)
{
    // 61294.emf: the third record, at 2384, claims 4294902055 bytes.
    const Bytes file = ReadFile("bad/61294.emf");
    const MetafileHeader header = ReadRealHeader(file, "61294.emf", false);
    RecordSpan record{};
    EXPECT_FALSE(ReadRecordAt(file.data(), header.size, 2384, record))
        << "expected the record at 2384 unreadable";
    EXPECT_TRUE(RefusedOffsets(file, header).empty()) << "expected the records before it safe";
    EXPECT_FALSE(IsRecordSafe(file.data() + 2384, file.size() - 2384, header.handleCount))
        << "expected the record at 2384 refused";
}

}  // namespace

namespace {

// Two states saved by the metafile itself: RESTOREDC may go one or two back,
// never further, never forward, never to an absolute level.
TEST(SaveDepthAfter, RestoresOnlyWhatTheMetafileSaved)
{
    const Bytes save = Record(EMR_SAVEDC, {});
    EXPECT_EQ(std::optional<uint32_t>(3), SaveDepthAfter(save.data(), 2));
    const struct {
        int32_t relative;
        std::optional<uint32_t> depth;
    } cases[] = {{-1, 1u},          {-2, 0u},          {-3, std::nullopt},
                 {0, std::nullopt}, {1, std::nullopt}, {INT32_MIN, std::nullopt}};
    for (const auto& c : cases) {
        const Bytes restore = Record(EMR_RESTOREDC, {static_cast<uint32_t>(c.relative)});
        EXPECT_EQ(c.depth, SaveDepthAfter(restore.data(), 2)) << "iRelative " << c.relative;
    }
    const Bytes other = Record(EMR_SETMAPMODE, {1});
    EXPECT_EQ(std::optional<uint32_t>(2), SaveDepthAfter(other.data(), 2));
}

}  // namespace
