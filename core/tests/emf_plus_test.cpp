#include "metafile/emf_plus.h"

#include "driver/inspection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "metafile/emf_record_types.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& bytes, uint32_t value, size_t size = 4)
{
    for (size_t i = 0; i < size; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

Bytes Words(std::initializer_list<uint32_t> words)
{
    Bytes bytes;
    for (uint32_t word : words) {
        Append(bytes, word);
    }
    return bytes;
}

// One EMF+ record: Size pads the data to 4 bytes unless told otherwise,
// DataSize is the data's length unless told otherwise.
struct Plus {
    uint16_t type;
    uint16_t flags;
    Bytes data;
    int64_t size = -1;
    int64_t dataSize = -1;
};

Bytes PlusBytes(const Plus& record)
{
    const size_t padded = (record.data.size() + 3) / 4 * 4;
    Bytes bytes;
    Append(bytes, record.type, 2);
    Append(bytes, record.flags, 2);
    Append(bytes, record.size >= 0 ? static_cast<uint32_t>(record.size)
                                   : static_cast<uint32_t>(12 + padded));
    Append(bytes, record.dataSize >= 0 ? static_cast<uint32_t>(record.dataSize)
                                       : static_cast<uint32_t>(record.data.size()));
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
    bytes.resize(12 + padded);
    return bytes;
}

// A GDICOMMENT carrying the records after the "EMF+" signature.
Bytes Comment(const std::vector<Plus>& records)
{
    Bytes data = Words({0x2B464D45});
    for (const Plus& record : records) {
        const Bytes bytes = PlusBytes(record);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    Bytes comment = Words({EMR_GDICOMMENT, static_cast<uint32_t>(12 + data.size()),
                           static_cast<uint32_t>(data.size())});
    comment.insert(comment.end(), data.begin(), data.end());
    return comment;
}

Bytes Gdi(uint32_t type, uint32_t size)
{
    Bytes record = Words({type, size});
    record.resize(size);
    return record;
}

// A metafile: an 88-byte header, the records, an EOF record.
Bytes Metafile(const std::vector<Bytes>& records)
{
    Bytes body;
    for (const Bytes& record : records) {
        body.insert(body.end(), record.begin(), record.end());
    }
    const Bytes eof = Words({EMR_EOF, 20, 0, 16, 20});
    Bytes metafile = Gdi(EMR_HEADER, 88);
    metafile[40] = ' ';
    metafile[41] = 'E';
    metafile[42] = 'M';
    metafile[43] = 'F';
    const uint32_t size = static_cast<uint32_t>(88 + body.size() + eof.size());
    const Bytes counts = Words({size, static_cast<uint32_t>(records.size() + 2), 1});
    std::copy(counts.begin(), counts.end(), metafile.begin() + 48);
    metafile.insert(metafile.end(), body.begin(), body.end());
    metafile.insert(metafile.end(), eof.begin(), eof.end());
    return metafile;
}

constexpr uint16_t HEADER = 0x4001;
constexpr uint16_t GET_DC = 0x4004;
constexpr uint16_t OBJECT = 0x4008;
constexpr uint16_t FILL_RECTS = 0x400A;
constexpr uint16_t FILL_PATH = 0x4014;
constexpr uint16_t DRAW_DRIVER_STRING = 0x4036;
constexpr uint16_t SET_ANTI_ALIAS = 0x401E;
constexpr uint16_t DRAW_CURVE = 0x4018;
constexpr uint16_t BEGIN_CONTAINER = 0x4027;
constexpr uint16_t SET_WORLD_TRANSFORM = 0x402A;
constexpr uint16_t PEN_4 = 0x0204;
constexpr uint32_t ONE = 0x3F800000;  // 1.0f
constexpr uint32_t NAN_BITS = 0x7FC00000;
constexpr uint16_t DUAL = 0x0001;
constexpr uint16_t SOLID = 0x8000;
constexpr uint16_t CONTINUED = 0x8000;
constexpr uint16_t BRUSH_0 = 0x0100;
constexpr uint16_t PATH_1 = 0x0301;
constexpr uint16_t REGION_2 = 0x0402;
constexpr uint16_t IMAGE_3 = 0x0503;

Plus Header(uint16_t flags)
{
    return Plus{HEADER, flags, Words({0xDBC01002, 0, 96, 96})};
}
const Plus SOLID_BRUSH{OBJECT, BRUSH_0, Words({0xDBC01002, 0, 0xFF0000FF})};
const Plus FILL_ONE_RECT{FILL_RECTS, 0, Words({0, 1, 0, 0, 0x42C80000, 0x42C80000})};
const Bytes RECTANGLE = Gdi(EMR_RECTANGLE, 24);
const Bytes TEXT = Gdi(EMR_EXTTEXTOUTW, 76);
const Bytes SAVE = Gdi(EMR_SAVEDC, 8);
const Bytes RESTORE = Words({EMR_RESTOREDC, 12, 0xFFFFFFFF});

// A BITBLT (100 bytes) or STRETCHBLT (108) with no source bitmap.
Bytes Blit(uint32_t type, uint32_t rop)
{
    Bytes record = Gdi(type, type == EMR_BITBLT ? 100 : 108);
    const Bytes code = Words({rop});
    std::copy(code.begin(), code.end(), record.begin() + 40);
    return record;
}

// A path of two float points and their types.
Bytes TwoPointPath(uint32_t count)
{
    Bytes path = Words({0xDBC01002, count, 0, 0, 0, 0x3F800000, 0x3F800000});
    Append(path, 0x0100, 2);
    Append(path, 0, 2);
    return path;
}

Bytes ReadTestFile(const std::string& name)
{
    std::ifstream file(std::string(VELLUMARK_CORE_TEST_DATA) + "/emf/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* Name(PictureRenderer renderer)
{
    return renderer == PictureRenderer::GDI ? "GDI" : "GDI+";
}

TEST(PictureRenderer, RealMetafiles)
{
    const struct {
        const char* file;
        PictureRenderer renderer;
        bool sound;
    } cases[] = {
        // EMF+ only in its drawing, though its header says dual.
        {"plus/test-emf-plus.emf", PictureRenderer::GDI_PLUS, true},
        // Dual: GDI draws the picture after GetDC; EMF+ draws nothing.
        {"SimpleEMF_windows.emf", PictureRenderer::GDI, true},
        // Dual with a full GDI drawing; its EMF+ image is a WMF, not checked.
        {"nested_wmf.emf", PictureRenderer::GDI, false},
        {"63327.emf", PictureRenderer::GDI, true},
        {"drawing.emf", PictureRenderer::GDI, true},
        {"test-2.emf", PictureRenderer::GDI, true},
        {"vector_image.emf", PictureRenderer::GDI, true},
        {"wrench.emf", PictureRenderer::GDI, true},
    };
    for (const auto& c : cases) {
        const Bytes file = ReadTestFile(c.file);
        ASSERT_GT(file.size(), 88u) << "expected to read " << c.file;
        EXPECT_EQ(c.renderer, InspectMetafile(file.data(), file.size(), 0).renderer)
            << c.file << ": expected " << Name(c.renderer);
        EXPECT_EQ(c.sound, AreEmfPlusRecordsSound(file.data(), file.size())) << c.file;
    }
}

TEST(PictureRenderer, WhereThePictureLives)
{
    const Bytes brushAndFill = Comment({SOLID_BRUSH, FILL_ONE_RECT});
    const struct {
        const char* name;
        Bytes metafile;
        PictureRenderer renderer;
    } cases[] = {
        {"EMF+ only", Metafile({Comment({Header(0)}), brushAndFill}), PictureRenderer::GDI_PLUS},
        {"dual, GDI drawing after the EMF+",
         Metafile({Comment({Header(DUAL)}), brushAndFill, RECTANGLE}), PictureRenderer::GDI},
        {"EMF+ shapes, GDI text (devEMF)", Metafile({Comment({Header(DUAL)}), brushAndFill, TEXT}),
         PictureRenderer::GDI_PLUS},
        {"GDI shape inside a GetDC span",
         Metafile({Comment({Header(0)}), brushAndFill, Comment({Plus{GET_DC, 0, {}}}), RECTANGLE}),
         PictureRenderer::GDI_PLUS},
        {"GDI record inside a GetDC span that the record check refuses",
         Metafile({Comment({Header(0)}), brushAndFill, Comment({Plus{GET_DC, 0, {}}}),
                   Words({EMR_POLYLINE16, 28, 0, 0, 0, 0, 100})}),
         PictureRenderer::GDI},
        {"GDI shape after the GetDC span ended",
         Metafile({Comment({Header(0)}), brushAndFill, Comment({Plus{GET_DC, 0, {}}}),
                   Comment({Plus{SET_ANTI_ALIAS, 0, {}}}), RECTANGLE}),
         PictureRenderer::GDI},
        {"EMF+ draws nothing, GDI after GetDC",
         Metafile({Comment({Header(DUAL), Plus{GET_DC, 0, {}}}), RECTANGLE, TEXT}),
         PictureRenderer::GDI},
        {"dual, GDI+'s blit that leaves the page alone",
         Metafile(
             {Comment({Header(DUAL)}), brushAndFill, SAVE, Blit(EMR_BITBLT, 0x00AA0029), RESTORE}),
         PictureRenderer::GDI_PLUS},
        {"a stretched blit that leaves the page alone",
         Metafile({Comment({Header(DUAL)}), brushAndFill, Blit(EMR_STRETCHBLT, 0x00AA0000)}),
         PictureRenderer::GDI_PLUS},
        {"a blit that copies its source",
         Metafile({Comment({Header(DUAL)}), brushAndFill, Blit(EMR_BITBLT, 0x00CC0020)}),
         PictureRenderer::GDI},
        {"a blit that copies its brush",
         Metafile({Comment({Header(DUAL)}), brushAndFill, Blit(EMR_BITBLT, 0x00F00021)}),
         PictureRenderer::GDI},
        {"a blit that inverts the page",
         Metafile({Comment({Header(DUAL)}), brushAndFill, Blit(EMR_STRETCHBLT, 0x00550009)}),
         PictureRenderer::GDI},
        {"no EMF+ header first", Metafile({brushAndFill, Comment({Header(0)})}),
         PictureRenderer::GDI},
        {"no EMF+ at all", Metafile({RECTANGLE}), PictureRenderer::GDI},
        {"a broken EMF+ record",
         Metafile(
             {Comment({Header(0)}), Comment({SOLID_BRUSH, Plus{FILL_RECTS, 0, Words({0, 2})}})}),
         PictureRenderer::GDI},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.renderer, InspectMetafile(c.metafile.data(), c.metafile.size(), 0).renderer)
            << c.name << ": expected " << Name(c.renderer);
    }
}

// Records GDI+ must not be handed, each beside a sound version of itself.
TEST(AreEmfPlusRecordsSound, RecordsAndObjects)
{
    Bytes regionLoop = Words({0xDBC01002, 0});
    for (int i = 0; i < 1100; ++i) {
        Append(regionLoop, 1);  // a combining node, ever deeper
    }
    const Bytes twoRegions = Words({0xDBC01002, 2, 1, 0x10000002, 0x10000003});
    // A path node whose path is one byte long: too short for a path's header.
    Bytes regionShortPath = Words({0xDBC01002, 2, 1, 0x10000002, 0x10000001, 1});
    regionShortPath.resize(regionShortPath.size() + 4);
    const Bytes bitmap2x2 = Words({0xDBC01002, 1, 2, 2, 8, 0x0026200A, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    const Bytes bitmapShort = Words({0xDBC01002, 1, 2, 2, 8, 0x0026200A, 0, 1, 2, 3});
    Bytes driverString = Words({0xFF000000, 0, 0, 1});
    Append(driverString, 'A', 2);
    driverString.resize(driverString.size() + 8 + 2);
    const Bytes pen = Words({0xDBC01002, 0, 0, 2, ONE, 0xDBC01002, 0, 0xFF000000});
    // A pen with a custom end cap of the default kind holding no path.
    const Bytes penPathlessCap =
        Words({0xDBC01002, 0, 0x1000, 2, ONE, 56, 0xDBC01002, 0, 0,          0, 0,         0,
               0,          0, 0,      0, 0,   0,  0,          0, 0xDBC01002, 0, 0xFF000000});
    Bytes penArrowCap = Words({0xDBC01002, 0, 0x1000, 2, ONE, 60, 0xDBC01002, 1});
    penArrowCap.resize(penArrowCap.size() + 52);
    const Bytes penBrush = Words({0xDBC01002, 0, 0xFF000000});
    penArrowCap.insert(penArrowCap.end(), penBrush.begin(), penBrush.end());
    const struct {
        const char* name;
        std::vector<Plus> records;
        bool sound;
    } cases[] = {
        {"brush and fill", {SOLID_BRUSH, FILL_ONE_RECT}, true},
        {"pen and curve",
         {Plus{OBJECT, PEN_4, pen}, Plus{DRAW_CURVE, 4, Words({0, 0, 1, 2, 0, 0, ONE, ONE})}},
         true},
        {"curve segments past its points",
         {Plus{OBJECT, PEN_4, pen}, Plus{DRAW_CURVE, 4, Words({0, 1, 1, 2, 0, 0, ONE, ONE})}},
         false},
        {"pen with an arrow cap", {Plus{OBJECT, PEN_4, penArrowCap}}, true},
        {"pen's custom cap without a path", {Plus{OBJECT, PEN_4, penPathlessCap}}, false},
        {"world transform", {Plus{SET_WORLD_TRANSFORM, 0, Words({ONE, 0, 0, ONE, 0, 0})}}, true},
        {"world transform with a NaN",
         {Plus{SET_WORLD_TRANSFORM, 0, Words({ONE, 0, 0, NAN_BITS, 0, 0})}},
         false},
        {"container from an empty source",
         {Plus{BEGIN_CONTAINER, 0, Words({0, 0, ONE, ONE, 0, 0, 0, ONE, 1})}},
         false},
        {"Size not a multiple of 4", {Plus{SET_ANTI_ALIAS, 0, {}, 14}}, false},
        {"Size past the comment", {Plus{SET_ANTI_ALIAS, 0, {}, 16}}, false},
        {"Size below the header", {Plus{SET_ANTI_ALIAS, 0, {}, 8}}, false},
        {"DataSize past Size", {Plus{FILL_RECTS, SOLID, Words({0, 0}), -1, 12}}, false},
        {"unknown record type", {Plus{0x4005, 0, {}}}, false},
        {"object id 63", {Plus{OBJECT, 0x013F, SOLID_BRUSH.data}}, true},
        {"object id 64", {Plus{OBJECT, 0x0140, SOLID_BRUSH.data}}, false},
        {"solid brush cut short", {Plus{OBJECT, BRUSH_0, Words({0xDBC01002, 0})}}, false},
        {"fill naming no brush", {FILL_ONE_RECT}, false},
        {"fill with a colour", {Plus{FILL_RECTS, SOLID, FILL_ONE_RECT.data}}, true},
        {"fill naming a brush 64", {SOLID_BRUSH, Plus{FILL_RECTS, 0, Words({64, 0})}}, false},
        {"fill, 16-bit rects", {Plus{FILL_RECTS, SOLID | 0x4000, Words({0, 2, 0, 0, 0, 0})}}, true},
        {"fill, rects past DataSize",
         {Plus{FILL_RECTS, SOLID | 0x4000, Words({0, 3, 0, 0, 0, 0})}},
         false},
        {"fill, rect count wrapping 32 bits",
         {Plus{FILL_RECTS, SOLID, Words({0, 0x10000000})}},
         false},
        {"path and fill",
         {Plus{OBJECT, PATH_1, TwoPointPath(2)}, Plus{FILL_PATH, 0x8001, Words({0})}},
         true},
        {"path with more points than bytes", {Plus{OBJECT, PATH_1, TwoPointPath(3)}}, false},
        {"fill naming a path never defined", {Plus{FILL_PATH, 0x8001, Words({0})}}, false},
        {"region of two leaves", {Plus{OBJECT, REGION_2, twoRegions}}, true},
        {"region path too short for a path", {Plus{OBJECT, REGION_2, regionShortPath}}, false},
        {"region tree deeper than GDI+ recurses", {Plus{OBJECT, REGION_2, regionLoop}}, false},
        {"bitmap 2 x 2", {Plus{OBJECT, IMAGE_3, bitmap2x2}}, true},
        {"bitmap rows past its data", {Plus{OBJECT, IMAGE_3, bitmapShort}}, false},
        {"driver string",
         {Plus{OBJECT, 0x0604, Words({0xDBC01002, 0x41400000, 3, 0, 0, 1, 'A'})},
          Plus{DRAW_DRIVER_STRING, SOLID | 4, driverString}},
         true},
        {"driver string, glyph count wrapping",
         {Plus{OBJECT, 0x0604, Words({0xDBC01002, 0x41400000, 3, 0, 0, 1, 'A'})},
          Plus{DRAW_DRIVER_STRING, SOLID | 4, Words({0, 0, 0, 0x1999999A})}},
         false},
        {"object in two pieces",
         {Plus{OBJECT, CONTINUED | BRUSH_0, Words({12, 0xDBC01002, 0})},
          Plus{OBJECT, BRUSH_0, Words({0xFF0000FF})}},
         true},
        {"pieces longer than the total",
         {Plus{OBJECT, CONTINUED | BRUSH_0, Words({8, 0xDBC01002, 0})},
          Plus{OBJECT, BRUSH_0, Words({0xFF0000FF})}},
         false},
        {"object never finished",
         {Plus{OBJECT, CONTINUED | BRUSH_0, Words({12, 0xDBC01002, 0})}},
         false},
    };
    for (const auto& c : cases) {
        const Bytes metafile = Metafile({Comment({Header(0)}), Comment(c.records)});
        EXPECT_EQ(c.sound, AreEmfPlusRecordsSound(metafile.data(), metafile.size()))
            << c.name << ": expected " << (c.sound ? "sound" : "refused");
    }
}

}  // namespace
