#include "driver/inspection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "metafile/emf_record_types.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t SIGNATURE = 0x464D4520;        // " EMF"
constexpr uint32_t SOURCE_AND_PAGE = 0x008800C6;  // SRCAND: reads the page
constexpr uint32_t SOURCE_COPY = 0x00CC0020;
constexpr uint32_t STOCK_WHITE_BRUSH = 0x80000000;
constexpr uint32_t PER_PIXEL_BLEND = 0x01FF0000;  // AC_SRC_OVER, 0, 255, AC_SRC_ALPHA
constexpr uint32_t FLOAT_ONE = 0x3F800000;

void Put(Bytes& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutAt(Bytes& bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A record of the given type whose 32-bit fields after type and size are
// these, nSize set to fit.
Bytes Record(uint32_t type, std::initializer_list<uint32_t> fields)
{
    Bytes record;
    Put(record, type);
    Put(record, static_cast<uint32_t>(8 + 4 * fields.size()));
    for (uint32_t field : fields) {
        Put(record, field);
    }
    return record;
}

// A blit with no bitmap, at (1, 2) of 30 x 40, of this raster operation.
Bytes Blit(uint32_t rop)
{
    return Record(EMR_BITBLT,
                  {0, 0, 0, 0, 1, 2, 30, 40, rop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

// A STRETCHBLT at (1, 2) of 30 x 40 that copies a 1 x 1 source of 32 bits:
// the fixed part of 108 bytes, the bitmap header at 108, the pixel at 148.
Bytes CopyOf32Bits()
{
    return Record(EMR_STRETCHBLT,
                  {0, 0,  0,         0, 1,        2, 30, 40,  SOURCE_COPY, 0,   0, FLOAT_ONE,
                   0, 0,  FLOAT_ONE, 0, 0,        0, 0,  108, 40,          148, 4, 1,
                   1, 40, 1,         1, 0x200001, 0, 4,  0,   0,           0,   0, 0x80FFFFFF});
}

// A metafile of a header with frame (10, 20) - (16010, 9020), one handle,
// the records and an EOF record.
Bytes Metafile(std::initializer_list<Bytes> records)
{
    Bytes metafile = Record(EMR_HEADER, {0, 0, 100, 50, 10, 20, 16010, 9020, SIGNATURE, 0x10000,
                                         0, 0, 1,   0,  0,  0,  0,     0,    0,         0});
    for (const Bytes& record : records) {
        metafile.insert(metafile.end(), record.begin(), record.end());
    }
    const Bytes end = Record(EMR_EOF, {0, 0, 20});
    metafile.insert(metafile.end(), end.begin(), end.end());
    PutAt(metafile, 48, static_cast<uint32_t>(metafile.size()));     // nBytes
    PutAt(metafile, 52, static_cast<uint32_t>(records.size() + 2));  // nRecords
    return metafile;
}

InspectionRefusal RefusalOf(const Bytes& metafile)
{
    return InspectMetafile(metafile.data(), metafile.size(), 0).refusal;
}

TEST(InspectMetafile, ReadsTheHeaderAndItsFrame)
{
    const Bytes metafile = Metafile({Record(EMR_SAVEDC, {})});
    const MetafileInspection inspection = InspectMetafile(metafile.data(), metafile.size(), 0);
    EXPECT_EQ(InspectionRefusal::REFUSED_NONE, inspection.refusal);
    EXPECT_EQ(116u, inspection.header.size);
    EXPECT_EQ(3u, inspection.header.recordCount);
    EXPECT_EQ(1u, inspection.header.handleCount);
    EXPECT_EQ(10, inspection.frame.left);
    EXPECT_EQ(20, inspection.frame.top);
    EXPECT_EQ(16010, inspection.frame.right);
    EXPECT_EQ(9020, inspection.frame.bottom);
    EXPECT_EQ((std::vector<size_t>{0, 88, 96}), inspection.playable);
    EXPECT_TRUE(inspection.skipped.empty());
    EXPECT_EQ(PictureRenderer::GDI, inspection.renderer);
}

TEST(InspectMetafile, TellsWhetherItHoldsNothingButComments)
{
    const Bytes comment = Record(EMR_GDICOMMENT, {4, 0x2B464D45});  // four bytes, "EMF+"
    const Bytes bare = Metafile({});
    const Bytes commented = Metafile({comment, comment});
    const Bytes saved = Metafile({comment, Record(EMR_SAVEDC, {})});
    EXPECT_TRUE(InspectMetafile(bare.data(), bare.size(), 0).onlyComments) << "header and EOF";
    EXPECT_TRUE(InspectMetafile(commented.data(), commented.size(), 0).onlyComments);
    EXPECT_FALSE(InspectMetafile(saved.data(), saved.size(), 0).onlyComments) << "a SAVEDC";
}

TEST(InspectMetafile, NamesWhyItRefused)
{
    const Bytes good = Metafile({});
    Bytes notHeader = good;
    PutAt(notHeader, 0, EMR_EOF);
    Bytes noSignature = good;
    PutAt(noSignature, 40, 0);
    Bytes beyondFile = good;
    PutAt(beyondFile, 48, static_cast<uint32_t>(good.size() + 4));
    Bytes noHandles = good;
    PutAt(noHandles, 56, 0);
    Bytes oddSize = Metafile({Record(EMR_SAVEDC, {})});
    PutAt(oddSize, 92, 6);  // the SAVEDC's nSize
    Bytes secondHeader = Metafile({Record(EMR_SAVEDC, {})});
    PutAt(secondHeader, 88, EMR_HEADER);
    Bytes pastTheEnd = Metafile({Record(EMR_SAVEDC, {})});
    PutAt(pastTheEnd, 92, 400);
    const struct {
        const char* name;
        Bytes metafile;
        InspectionRefusal refusal;
    } cases[] = {
        {"nothing", {}, InspectionRefusal::NO_HEADER},
        {"fewer bytes than a header", Bytes(good.begin(), good.begin() + 87),
         InspectionRefusal::NO_HEADER},
        {"another record first", notHeader, InspectionRefusal::NO_HEADER},
        {"no signature", noSignature, InspectionRefusal::HEADER_NOT_PLAUSIBLE},
        {"nBytes beyond the file", beyondFile, InspectionRefusal::HEADER_NOT_PLAUSIBLE},
        {"no handles", noHandles, InspectionRefusal::HEADER_NOT_PLAUSIBLE},
        {"a record of 6 bytes", oddSize, InspectionRefusal::CHAIN_BROKEN},
        {"a second header", secondHeader, InspectionRefusal::CHAIN_BROKEN},
        {"a record past the end", pastTheEnd, InspectionRefusal::CHAIN_BROKEN},
        {"a sound metafile", good, InspectionRefusal::REFUSED_NONE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.refusal, RefusalOf(c.metafile)) << c.name;
    }
    const MetafileInspection refused = InspectMetafile(oddSize.data(), oddSize.size(), 0);
    EXPECT_TRUE(refused.playable.empty()) << "expected nothing to play in a broken chain";
}

// Header at 0, SAVEDC at 88, a RESTOREDC of two states at 96, one of one
// state at 108, a SELECTOBJECT of handle 5 in a table of one at 120, one of
// a stock brush at 132, EOF at 144.
TEST(InspectMetafile, DecidesOnceWhichRecordsMayBePlayed)
{
    const Bytes metafile =
        Metafile({Record(EMR_SAVEDC, {}), Record(EMR_RESTOREDC, {0xFFFFFFFE}),
                  Record(EMR_RESTOREDC, {0xFFFFFFFF}), Record(EMR_SELECTOBJECT, {5}),
                  Record(EMR_SELECTOBJECT, {STOCK_WHITE_BRUSH})});
    const MetafileInspection inspection = InspectMetafile(metafile.data(), metafile.size(), 0);
    EXPECT_EQ((std::vector<size_t>{0, 88, 108, 132, 144}), inspection.playable);
    EXPECT_EQ((std::vector<size_t>{96, 120}), inspection.skipped);
    EXPECT_TRUE(MayPlay(inspection, 108));
    EXPECT_FALSE(MayPlay(inspection, 96))
        << "expected the RESTOREDC beyond the saved state skipped";
    EXPECT_FALSE(MayPlay(inspection, 120)) << "expected the unknown handle skipped";
    EXPECT_FALSE(MayPlay(inspection, 100)) << "expected no record inside another";
}

// Header at 0, a blit that reads the page at 88, a plain copy at 188, a
// blit that reads the page after a RESTOREDC that is skipped, at 300.
TEST(InspectMetafile, KeysTheBlitsThatNeedABackdropByTheirOffset)
{
    const Bytes metafile = Metafile({Blit(SOURCE_AND_PAGE), Blit(SOURCE_COPY),
                                     Record(EMR_RESTOREDC, {0xFFFFFFFF}), Blit(SOURCE_AND_PAGE)});
    const MetafileInspection inspection = InspectMetafile(metafile.data(), metafile.size(), 0);
    ASSERT_EQ(InspectionRefusal::REFUSED_NONE, inspection.refusal);
    ASSERT_EQ(2u, inspection.backdropBlits.size());
    EXPECT_EQ(88u, inspection.backdropBlits[0].offset);
    EXPECT_EQ(300u, inspection.backdropBlits[1].offset);
    const std::optional<BlitDestination> blit = FindBackdropBlit(inspection, 300);
    ASSERT_TRUE(blit.has_value());
    EXPECT_EQ(1, blit->x);
    EXPECT_EQ(2, blit->y);
    EXPECT_EQ(30, blit->width);
    EXPECT_EQ(40, blit->height);
    EXPECT_FALSE(FindBackdropBlit(inspection, 188)) << "expected no backdrop for a plain copy";
    const Bytes plain = Metafile({Blit(SOURCE_COPY)});
    EXPECT_TRUE(InspectMetafile(plain.data(), plain.size(), 0).backdropBlits.empty());
}

// What GDI+ records alone: the copy of 32 bits at 88 stands for an alpha
// blend, restored in the bytes by the inspection's own walk and inspected as
// the blend it is, which a device that cannot blend needs a backdrop for.
TEST(InspectRecording, RestoresTheAlphaBlendsAsItWalks)
{
    const Bytes recorded = Metafile({Record(EMR_SAVEDC, {}), CopyOf32Bits()});
    const InspectedRecording recording = InspectRecording(recorded, 0);
    ASSERT_EQ(InspectionRefusal::REFUSED_NONE, recording.inspection.refusal);
    Bytes expected = recorded;
    PutAt(expected, 96, EMR_ALPHABLEND);
    PutAt(expected, 96 + 40, PER_PIXEL_BLEND);
    EXPECT_EQ(expected, recording.bytes) << "expected the copy at 96 turned into a blend";
    EXPECT_EQ((std::vector<size_t>{0, 88, 96, 248}), recording.inspection.playable);
    ASSERT_EQ(1u, recording.inspection.backdropBlits.size())
        << "expected the restored blend to need a backdrop";
    EXPECT_EQ(96u, recording.inspection.backdropBlits[0].offset);
    EXPECT_TRUE(InspectMetafile(recorded.data(), recorded.size(), 0).backdropBlits.empty())
        << "expected the copy, inspected as it stands, to need no backdrop";
    const InspectedRecording broken =
        InspectRecording(Bytes(recorded.begin(), recorded.end() - 4), 0);
    EXPECT_EQ(InspectionRefusal::HEADER_NOT_PLAUSIBLE, broken.inspection.refusal);
}

}  // namespace
