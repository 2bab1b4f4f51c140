#include "driver/record_readers.h"
#include "driver/font_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "metafile/emf_record_types.h"

namespace {

// A record of the given type whose 32-bit fields after type and size are
// these, nSize set to fit.
std::vector<uint8_t> MakeRecord(uint32_t type, std::initializer_list<uint32_t> fields)
{
    std::vector<uint8_t> record;
    const auto put = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            record.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    put(type);
    put(static_cast<uint32_t>(8 + 4 * fields.size()));
    for (uint32_t field : fields) {
        put(field);
    }
    return record;
}

uint32_t Negative(int32_t value)
{
    return static_cast<uint32_t>(value);
}

TEST(ReadShapeBox, BoxesOfShapeRecordsOnly)
{
    const std::vector<uint8_t> ellipse = MakeRecord(EMR_ELLIPSE, {1, 2, 30, 40});
    const std::optional<LogicalBox> box = ReadShapeBox(ellipse.data(), ellipse.size());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(1, box->left);
    EXPECT_EQ(40, box->bottom);
    EXPECT_TRUE(IsCurvedShape(ellipse.data()));

    // ANGLEARC: centre (-5, 7), radius 4294967295: the box reaches past 32 bits.
    const std::vector<uint8_t> angleArc =
        MakeRecord(EMR_ANGLEARC, {Negative(-5), 7, 0xFFFFFFFF, 0, 0});
    const std::optional<LogicalBox> arcBox = ReadShapeBox(angleArc.data(), angleArc.size());
    ASSERT_TRUE(arcBox.has_value());
    EXPECT_EQ(-5 - 4294967295LL, arcBox->left);
    EXPECT_EQ(7 + 4294967295LL, arcBox->bottom);

    const std::vector<uint8_t> rectangle = MakeRecord(EMR_RECTANGLE, {0, 0, 1, 1});
    EXPECT_TRUE(ReadShapeBox(rectangle.data(), rectangle.size()).has_value());
    EXPECT_FALSE(IsCurvedShape(rectangle.data()));
    const std::vector<uint8_t> lineTo = MakeRecord(EMR_LINETO, {5, 5});
    EXPECT_FALSE(ReadShapeBox(lineTo.data(), lineTo.size()).has_value());
}

// The ends of an ARCTO and an ANGLEARC, where the platform puts them.
TEST(ReadArcEnds, WhereTheLineMeetsTheArcAndWhereThePositionIsLeft)
{
    // Box (0, 0)-(100, 50), centre (50, 25): the radial point (200, 25)
    // lies to the right, (50, -300) straight up.
    const std::vector<uint8_t> arcTo =
        MakeRecord(EMR_ARCTO, {0, 0, 100, 50, 200, 25, 50, Negative(-300)});
    const std::optional<ArcEnds> ends = ReadArcEnds(arcTo.data(), arcTo.size());
    ASSERT_TRUE(ends.has_value());
    EXPECT_EQ(100, ends->startX);
    EXPECT_EQ(25, ends->startY);
    EXPECT_EQ(50, ends->endX);
    EXPECT_EQ(0, ends->endY);

    // A diagonal radial point on a box twice as wide as high meets the
    // ellipse at 45 degrees of its own: (50 + 50 cos 45, 25 + 25 sin 45).
    const std::vector<uint8_t> diagonal = MakeRecord(EMR_ARCTO, {0, 0, 100, 50, 150, 75, 150, 75});
    const std::optional<ArcEnds> corner = ReadArcEnds(diagonal.data(), diagonal.size());
    ASSERT_TRUE(corner.has_value());
    EXPECT_EQ(85, corner->startX);
    EXPECT_EQ(43, corner->startY);

    // ANGLEARC: centre (10, 20), radius 30, from 90 degrees (up) sweeping
    // 90 to the left.
    const std::vector<uint8_t> angleArc =
        MakeRecord(EMR_ANGLEARC, {10, 20, 30, 0x42B40000, 0x42B40000});
    const std::optional<ArcEnds> turned = ReadArcEnds(angleArc.data(), angleArc.size());
    ASSERT_TRUE(turned.has_value());
    EXPECT_EQ(10, turned->startX);
    EXPECT_EQ(-10, turned->startY);
    EXPECT_EQ(-20, turned->endX);
    EXPECT_EQ(20, turned->endY);

    // An ARCTO whose box has no width draws nothing at all; other records
    // have no arc.
    const std::vector<uint8_t> flat = MakeRecord(EMR_ARCTO, {5, 0, 5, 50, 0, 0, 0, 0});
    EXPECT_FALSE(ReadArcEnds(flat.data(), flat.size()).has_value());
    const std::vector<uint8_t> arc = MakeRecord(EMR_ARC, {0, 0, 100, 50, 200, 25, 50, 0});
    EXPECT_FALSE(ReadArcEnds(arc.data(), arc.size()).has_value());
    const std::vector<uint8_t> nanSweep =
        MakeRecord(EMR_ANGLEARC, {10, 20, 30, 0x42B40000, 0x7FC00000});
    EXPECT_FALSE(ReadArcEnds(nanSweep.data(), nanSweep.size()).has_value());
}

TEST(ReadGradient, VerticesAndPieces)
{
    // Bounds, 3 vertices, 1 triangle, triangle mode; vertex fields x, y,
    // then red | green << 16 and blue | alpha << 16.
    const std::vector<uint8_t> triangle = MakeRecord(
        EMR_GRADIENTFILL,
        {0, 0, 0, 0, 3, 1, GRADIENT_MODE_TRIANGLE, 1, 2, 0xFF00, 0xFF00u << 16, 3, 4, 0, 0, 5,
         6, 0, 0, 2, 0, 1});
    const std::optional<Gradient> gradient = ReadGradient(triangle.data(), triangle.size());
    ASSERT_TRUE(gradient.has_value());
    ASSERT_EQ(3u, gradient->vertices.size());
    EXPECT_EQ(1, gradient->vertices[0].x);
    EXPECT_EQ(0xFF00, gradient->vertices[0].red);
    EXPECT_EQ(0xFF00, gradient->vertices[0].alpha);
    EXPECT_EQ((std::vector<std::vector<uint32_t>>{{2, 0, 1}}), gradient->pieces);

    // A rectangle naming vertex 2 of 2, and one cut short.
    const std::vector<uint8_t> badVertex =
        MakeRecord(EMR_GRADIENTFILL, {0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 9, 9, 0, 0, 0, 2});
    EXPECT_FALSE(ReadGradient(badVertex.data(), badVertex.size()).has_value());
    const std::vector<uint8_t> shortRecord = MakeRecord(EMR_GRADIENTFILL, {0, 0, 0, 0, 2, 1, 0});
    EXPECT_FALSE(ReadGradient(shortRecord.data(), shortRecord.size()).has_value());
}

TEST(FontHeight, ReadAndReplaced)
{
    const std::vector<uint8_t> font = MakeRecord(EMR_EXTCREATEFONTINDIRECTW, {1, 0, 0, 0});
    EXPECT_EQ(0, ReadFontHeight(font.data(), font.size()));
    const std::vector<uint8_t> sized = WithFontHeight(font.data(), font.size(), -37);
    EXPECT_EQ(-37, ReadFontHeight(sized.data(), sized.size()));
    EXPECT_EQ(font.size(), sized.size());
    const std::vector<uint8_t> pen = MakeRecord(EMR_CREATEPEN, {1, 0, 0, 0, 0});
    EXPECT_FALSE(ReadFontHeight(pen.data(), pen.size()).has_value());
}

TEST(ReadWidthOnePen, SolidPensOfWidthOneOnly)
{
    const struct {
        const char* name;
        uint32_t style;
        uint32_t width;
        bool taken;
    } cases[] = {
        {"solid, width 1", 0, 1, true},
        {"inside frame, width 1", 6, 1, true},
        {"solid, width 0 (one pixel everywhere)", 0, 0, false},
        {"solid, width 2", 0, 2, false},
        {"dashed, width 1", 1, 1, false},
        {"geometric, width 1", 0x00010000, 1, false},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> pen =
            MakeRecord(EMR_CREATEPEN, {3, c.style, c.width, 0, 0x123456});
        const std::optional<WidthOnePen> read = ReadWidthOnePen(pen.data(), pen.size());
        EXPECT_EQ(c.taken, read.has_value()) << c.name;
        if (read) {
            EXPECT_EQ(3u, read->index) << c.name;
            EXPECT_EQ(0x123456u, read->colour) << c.name;
        }
    }
    const std::vector<uint8_t> transform =
        MakeRecord(EMR_MODIFYWORLDTRANSFORM, {0, 0, 0, 0, 0, 0, 1});
    const std::vector<uint8_t> origin = MakeRecord(EMR_SETWINDOWORGEX, {0, 0});
    EXPECT_TRUE(ChangesScale(transform.data()));
    EXPECT_FALSE(ChangesScale(origin.data())) << "an origin moves, it does not scale";
    const std::vector<uint8_t> intersect = MakeRecord(EMR_INTERSECTCLIPRECT, {0, 0, 10, 10});
    const std::vector<uint8_t> saved = MakeRecord(EMR_SAVEDC, {});
    const std::vector<uint8_t> rectangle = MakeRecord(EMR_RECTANGLE, {0, 0, 10, 10});
    EXPECT_TRUE(TouchesClip(intersect.data())) << "expected a clip change to touch the clip";
    EXPECT_TRUE(TouchesClip(saved.data())) << "expected a saved state to hold the clip";
    EXPECT_FALSE(TouchesClip(rectangle.data())) << "expected a figure to leave the clip alone";
    EXPECT_FALSE(TouchesClip(transform.data())) << "expected a transform to leave the clip alone";
}

// A blit record: bounds, destination 1, 2 of 30 x 40, then the raster
// operation (or blend function, or colour key) and zeros to fill.
std::vector<uint8_t> MakeBlit(uint32_t type, uint32_t rop)
{
    return MakeRecord(type,
                      {0, 0, 0, 0, 1, 2, 30, 40, rop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

TEST(ReadBlitNeedingBackdrop, WhatTheDriverCannotDrawAsThePlatformDoes)
{
    constexpr uint32_t PER_PIXEL_BLEND = 0x01FF0000;  // AC_SRC_ALPHA, constant alpha 255
    constexpr uint32_t CONSTANT_BLEND = 0x00800000;
    const struct {
        const char* name;
        std::vector<uint8_t> record;
        uint32_t caps;
        bool needs;
    } cases[] = {
        {"source copy", MakeBlit(EMR_STRETCHBLT, 0x00CC0020), 0, false},
        {"brush copy", MakeBlit(EMR_BITBLT, 0x00F00021), 0, false},
        {"black", MakeBlit(EMR_BITBLT, 0x00000042), 0, false},
        {"the page as it is", MakeBlit(EMR_BITBLT, 0x00AA0029), 0, false},
        {"source and page", MakeBlit(EMR_BITBLT, 0x008800C6), 0, true},
        {"source or page", MakeBlit(EMR_STRETCHBLT, 0x00EE0086), 0, true},
        {"inverted source", MakeBlit(EMR_BITBLT, 0x00330008), 0, true},
        {"masked", MakeBlit(EMR_MASKBLT, 0x00CC0020), 0, true},
        {"transparent", MakeBlit(EMR_TRANSPARENTBLT, 0x00FF00FF), 0, true},
        {"per-pixel alpha, no blending", MakeBlit(EMR_ALPHABLEND, PER_PIXEL_BLEND), 0, true},
        {"per-pixel alpha, device blends constant alpha only",
         MakeBlit(EMR_ALPHABLEND, PER_PIXEL_BLEND), SHADE_CONSTANT_ALPHA, true},
        {"per-pixel alpha, device blends it", MakeBlit(EMR_ALPHABLEND, PER_PIXEL_BLEND),
         SHADE_PIXEL_ALPHA, false},
        {"constant alpha, device blends it", MakeBlit(EMR_ALPHABLEND, CONSTANT_BLEND),
         SHADE_CONSTANT_ALPHA, false},
        {"not a blit", MakeRecord(EMR_RECTANGLE, {0, 0, 5, 5}), 0, false},
    };
    for (const auto& c : cases) {
        const std::optional<BlitDestination> blit =
            ReadBlitNeedingBackdrop(c.record.data(), c.record.size(), c.caps);
        EXPECT_EQ(c.needs, blit.has_value()) << c.name;
        if (blit) {
            EXPECT_EQ(1, blit->x) << c.name;
            EXPECT_EQ(40, blit->height) << c.name;
        }
    }
    // STRETCHDIBITS keeps its raster operation and destination size later.
    std::vector<uint8_t> dibits = MakeRecord(
        EMR_STRETCHDIBITS, {0, 0, 0, 0, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00EE0086, 50, 60});
    const std::optional<BlitDestination> blit =
        ReadBlitNeedingBackdrop(dibits.data(), dibits.size(), 0);
    ASSERT_TRUE(blit.has_value());
    EXPECT_EQ(7, blit->x);
    EXPECT_EQ(60, blit->height);
}

TEST(ReadBlitSource, TheBitmapsPixelsStretchedOverTheDestination)
{
    // A STRETCHBLT of an 8 x -6 source from (3, 0) with 40 bytes of bitmap
    // info; the same with none; a BITBLT of 30 x 40; a STRETCHDIBITS of
    // 16 x 9 from (0, 2).
    const auto put = [](std::vector<uint8_t>& record, size_t at, int32_t value) {
        for (size_t i = 0; i < 4; ++i) {
            record[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
        }
    };
    const auto sized = [&](uint32_t type, int32_t size) {
        std::vector<uint8_t> record = MakeRecord(type, {});
        record.resize(static_cast<size_t>(size));
        put(record, 4, size);
        return record;
    };
    std::vector<uint8_t> stretch = sized(EMR_STRETCHBLT, 108);
    put(stretch, 44, 3);
    put(stretch, 88, 40);
    put(stretch, 100, 8);
    put(stretch, 104, -6);
    std::vector<uint8_t> pattern = stretch;
    put(pattern, 88, 0);
    std::vector<uint8_t> bitblt = MakeBlit(EMR_BITBLT, 0x008800C6);
    put(bitblt, 88, 40);
    std::vector<uint8_t> dibits = sized(EMR_STRETCHDIBITS, 80);
    put(dibits, 36, 2);
    put(dibits, 40, 16);
    put(dibits, 44, 9);
    put(dibits, 52, 40);
    const struct {
        const char* name;
        std::vector<uint8_t> record;
        std::optional<BlitSource> expected;
    } cases[] = {
        {"a stretch of a bitmap", stretch, BlitSource{3, 0, 8, -6}},
        {"a stretch of the brush", pattern, std::nullopt},
        {"a blit, which does not stretch", bitblt, BlitSource{0, 0, 30, 40}},
        {"a stretch of DIB bits", dibits, BlitSource{0, 2, 16, 9}},
        {"a stretch cut short", std::vector<uint8_t>(stretch.begin(), stretch.begin() + 104),
         std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<BlitSource> read = ReadBlitSource(c.record.data(), c.record.size());
        ASSERT_EQ(c.expected.has_value(), read.has_value()) << c.name;
        if (read) {
            EXPECT_TRUE(c.expected->x == read->x && c.expected->y == read->y &&
                        c.expected->width == read->width && c.expected->height == read->height)
                << c.name << ": expected (" << c.expected->x << ", " << c.expected->y << ") "
                << c.expected->width << " x " << c.expected->height << ", got (" << read->x << ", "
                << read->y << ") " << read->width << " x " << read->height;
        }
    }
}

TEST(TextAndPaths, TextOptionsAndPathBrackets)
{
    // EXTTEXTOUTW: bounds, graphics mode, scales, reference point, count,
    // string offset, then fOptions.
    const std::vector<uint8_t> text =
        MakeRecord(EMR_EXTTEXTOUTW, {0, 0, 0, 0, 1, 0, 0, 5, 5, 0, 0, TEXT_OPAQUE, 0});
    EXPECT_EQ(TEXT_OPAQUE, ReadTextOptions(text.data(), text.size()));
    const std::vector<uint8_t> begin = MakeRecord(EMR_BEGINPATH, {});
    const std::vector<uint8_t> abort = MakeRecord(EMR_ABORTPATH, {});
    EXPECT_FALSE(ReadTextOptions(begin.data(), begin.size()).has_value());
    EXPECT_EQ(true, PathOpenAfter(begin.data()));
    EXPECT_EQ(false, PathOpenAfter(abort.data()));
    EXPECT_FALSE(PathOpenAfter(text.data()).has_value());
}

TEST(ReadBrushUse, HowARecordFillsWithTheBrush)
{
    // A brush copy with a source bitmap reads the source: not a plain fill.
    std::vector<uint8_t> patternCopy = MakeRecord(
        EMR_BITBLT, {0, 0, 0, 0, 5, 6, 7, 8, 0x00F00021, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<uint8_t> withSource = patternCopy;
    withSource[88] = 40;
    const std::vector<uint8_t> fillRegion = MakeRecord(EMR_FILLRGN, {0, 0, 0, 0, 0, 3});
    EXPECT_EQ(BrushUse::PATTERN_COPY, ReadBrushUse(patternCopy.data(), patternCopy.size()));
    EXPECT_EQ(BrushUse::OTHER, ReadBrushUse(withSource.data(), withSource.size()));
    const std::optional<BlitDestination> d =
        ReadBlitRectangle(patternCopy.data(), patternCopy.size());
    ASSERT_TRUE(d) << "expected the brush copy's destination";
    EXPECT_EQ(5, d->x);
    EXPECT_EQ(8, d->height);
    EXPECT_EQ(BrushUse::NAMED, ReadBrushUse(fillRegion.data(), fillRegion.size()));
    EXPECT_EQ(3u, ReadRegionBrush(fillRegion.data()));
    const std::vector<uint8_t> polygon = MakeRecord(EMR_POLYGON16, {0, 0, 0, 0, 0});
    const std::vector<uint8_t> line = MakeRecord(EMR_LINETO, {5, 5});
    EXPECT_EQ(BrushUse::SHAPE, ReadBrushUse(polygon.data(), polygon.size()));
    EXPECT_EQ(BrushUse::NONE, ReadBrushUse(line.data(), line.size()));
}

TEST(ReadPixel, PointAndColourOfASetPixel)
{
    const std::vector<uint8_t> pixel = MakeRecord(EMR_SETPIXELV, {Negative(-3), 4, 0x0000FF});
    const std::optional<Pixel> read = ReadPixel(pixel.data(), pixel.size());
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(-3, read->x);
    EXPECT_EQ(4, read->y);
    EXPECT_EQ(0x0000FFu, read->colour);
    const std::vector<uint8_t> line = MakeRecord(EMR_LINETO, {5, 5, 0});
    EXPECT_FALSE(ReadPixel(line.data(), line.size()).has_value());
}

TEST(ReadTextRun, ReferenceCharactersAndAdvancesOfAWideText)
{
    // Reference (7, -2), 2 characters at 76, options 0, rectangle, advances at 80.
    std::vector<uint8_t> text = MakeRecord(
        EMR_EXTTEXTOUTW,
        {0, 0, 0, 0, 1, 0, 0, 7, Negative(-2), 2, 76, 0, 1, 2, 3, 4, 80, 0x00420041, 11, 12});
    const std::optional<TextRun> run = ReadTextRun(text.data(), text.size());
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(-2, run->y);
    EXPECT_EQ((std::vector<uint16_t>{'A', 'B'}), run->characters);
    EXPECT_EQ((std::vector<int32_t>{11, 12}), run->advances);
    EXPECT_EQ(4, run->rect[3]);
    text[72] = 84;  // advances reaching past the record
    EXPECT_FALSE(ReadTextRun(text.data(), text.size()).has_value());
}

TEST(ReadHighestGlyphIndex, GlyphIndicesAreMadeToNameGlyphsTheFontHas)
{
    // Glyph indices 36 and 2704 at 76 (ETO_GLYPH_INDEX), no advances.
    const std::vector<uint8_t> text = MakeRecord(
        EMR_EXTTEXTOUTW, {0, 0, 0, 0, 1, 0, 0, 7, 8, 2, 76, 0x10, 1, 2, 3, 4, 0, 0x0A900024});
    EXPECT_EQ(std::optional<uint16_t>(2704), ReadHighestGlyphIndex(text.data(), text.size()));
    const std::vector<uint8_t> within = WithGlyphsWithin(text.data(), text.size(), 2620);
    EXPECT_EQ(std::optional<uint16_t>(36), ReadHighestGlyphIndex(within.data(), within.size()))
        << "expected 2704 made the missing glyph, 0";
    std::vector<uint8_t> characters = text;
    characters[52] = 0;  // the options
    EXPECT_FALSE(ReadHighestGlyphIndex(characters.data(), characters.size()).has_value())
        << "expected nothing of text of characters";
    // A font's glyphs: 'maxp' says 3000, a 'post' table of format 2 names
    // 2620 of them.
    const uint8_t maxp[] = {0, 1, 0, 0, 0x0B, 0xB8};
    uint8_t post[POST_HEAD_SIZE] = {0, 2, 0, 0};
    post[32] = 0x0A;
    post[33] = 0x3C;
    EXPECT_EQ(std::optional<uint32_t>(3000), CountFontGlyphs(maxp, sizeof maxp, post, 0));
    EXPECT_EQ(std::optional<uint32_t>(2620), CountFontGlyphs(maxp, sizeof maxp, post, sizeof post));
    EXPECT_FALSE(CountFontGlyphs(maxp, 4, post, sizeof post).has_value());
}

TEST(LowerSymbolCode, OnlyTheSymbolFontRange)
{
    EXPECT_EQ(std::optional<uint16_t>(0x20), LowerSymbolCode(0xF020));
    EXPECT_EQ(std::optional<uint16_t>(0x61), LowerSymbolCode(0xF061));
    EXPECT_EQ(std::optional<uint16_t>(0xFF), LowerSymbolCode(0xF0FF));
    EXPECT_FALSE(LowerSymbolCode(0xF01F).has_value());
    EXPECT_FALSE(LowerSymbolCode(0xF100).has_value());
    EXPECT_FALSE(LowerSymbolCode('a').has_value());
}

TEST(WithTextCharacters, ReplacesTheStringInPlace)
{
    // Two characters at 76 (U+F061, U+F062), advances at 80.
    const std::vector<uint8_t> text = MakeRecord(
        EMR_EXTTEXTOUTW, {0, 0, 0, 0, 1, 0, 0, 7, 2, 2, 76, 0, 1, 2, 3, 4, 80, 0xF062F061, 11, 12});
    const std::optional<std::vector<uint8_t>> changed =
        WithTextCharacters(text.data(), text.size(), {'a', 0xF062});
    ASSERT_TRUE(changed.has_value());
    ASSERT_EQ(text.size(), changed->size());
    EXPECT_EQ((std::vector<uint8_t>{0x61, 0x00, 0x62, 0xF0}),
              std::vector<uint8_t>(changed->begin() + 76, changed->begin() + 80));
    EXPECT_TRUE(std::equal(text.begin(), text.begin() + 76, changed->begin()));
    EXPECT_TRUE(std::equal(text.begin() + 80, text.end(), changed->begin() + 80));
    EXPECT_FALSE(WithTextCharacters(text.data(), text.size(), {'a'}).has_value());
    std::vector<uint8_t> narrow = text;
    narrow[0] = EMR_EXTTEXTOUTA;
    EXPECT_FALSE(WithTextCharacters(narrow.data(), narrow.size(), {'a', 'b'}).has_value());
}

// EXTCREATEPEN's fields after type and size: ihPen, offBmi, cbBmi, offBits,
// cbBits, then EXTLOGPEN32: style, width, brush style, colour, hatch, the
// entries' count and the entries.
TEST(ReadExtendedPen, ThirtyTwoBitLayoutWithEntriesAndPattern)
{
    const uint32_t geometricUserStyle = 0x00010007;
    const std::vector<uint8_t> dashed = MakeRecord(
        EMR_EXTCREATEPEN, {2, 0, 0, 0, 0, geometricUserStyle, 13, 0, 0x0000FF, 0, 2, 6, 3});
    const std::optional<ExtendedPen> pen = ReadExtendedPen(dashed.data(), dashed.size());
    ASSERT_TRUE(pen.has_value()) << "expected the dashed pen read";
    EXPECT_EQ(2u, pen->index);
    EXPECT_EQ(geometricUserStyle, pen->style);
    EXPECT_EQ(13u, pen->width);
    EXPECT_EQ(0u, pen->brushStyle);
    EXPECT_EQ(0x0000FFu, pen->colour);
    EXPECT_EQ((std::vector<uint32_t>{6, 3}), pen->styleEntries);
    EXPECT_TRUE(pen->packedDib.empty()) << "expected no pattern";

    // A hatched pen: hatch 5 (HS_DIAGCROSS) right after the colour.
    const std::vector<uint8_t> hatched =
        MakeRecord(EMR_EXTCREATEPEN, {1, 0, 0, 0, 0, 0x00010000, 4, 2, 0x00FF00, 5, 0});
    const std::optional<ExtendedPen> hatch = ReadExtendedPen(hatched.data(), hatched.size());
    ASSERT_TRUE(hatch.has_value());
    EXPECT_EQ(2u, hatch->brushStyle);
    EXPECT_EQ(5u, hatch->hatch);
    EXPECT_TRUE(hatch->styleEntries.empty());

    // A pattern pen: 8 bytes of bitmap info at 52, 4 bytes of bits at 60.
    const std::vector<uint8_t> pattern = MakeRecord(
        EMR_EXTCREATEPEN,
        {3, 52, 8, 60, 4, 0x00010000, 2, 6, 0, 0, 0, 0x11111111, 0x22222222, 0x33333333});
    const std::optional<ExtendedPen> patterned = ReadExtendedPen(pattern.data(), pattern.size());
    ASSERT_TRUE(patterned.has_value());
    EXPECT_EQ((std::vector<uint8_t>{0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33,
                                    0x33, 0x33}),
              patterned->packedDib)
        << "expected the bitmap info, then the bits";

    const std::vector<uint8_t> entriesPast =
        MakeRecord(EMR_EXTCREATEPEN, {2, 0, 0, 0, 0, geometricUserStyle, 13, 0, 0, 0, 3, 6, 3});
    EXPECT_FALSE(ReadExtendedPen(entriesPast.data(), entriesPast.size()).has_value())
        << "expected no pen when its entries reach past the record";
    const std::vector<uint8_t> oldPen = MakeRecord(EMR_CREATEPEN, {1, 0, 13, 0, 0});
    EXPECT_FALSE(ReadExtendedPen(oldPen.data(), oldPen.size()).has_value());
}

// A reference device of 1920 x 1080 pixels, 508 x 286 mm.
constexpr ReferenceDevice SCREEN = {1920, 1080, 508, 286};

TEST(ComputeFixedModeExtents, TheModesUnitsOnTheReferenceDevice)
{
    const struct {
        const char* name;
        uint32_t mode;
        int32_t windowX;
        int32_t windowY;
    } cases[] = {
        {"MM_LOMETRIC, 0.1 mm", 2, 5080, 2860},   {"MM_HIMETRIC, 0.01 mm", 3, 50800, 28600},
        {"MM_LOENGLISH, 0.01 in", 4, 2000, 1126}, {"MM_HIENGLISH, 0.001 in", 5, 20000, 11260},
        {"MM_TWIPS, 1/1440 in", 6, 28800, 16214},
    };
    for (const auto& c : cases) {
        const std::optional<MappingExtents> extents = ComputeFixedModeExtents(c.mode, SCREEN);
        ASSERT_TRUE(extents.has_value()) << c.name;
        EXPECT_EQ(c.windowX, extents->windowX) << c.name;
        EXPECT_EQ(c.windowY, extents->windowY) << c.name;
        EXPECT_EQ(1920, extents->viewportX) << c.name;
        EXPECT_EQ(-1080, extents->viewportY) << c.name << ": y grows upwards";
        EXPECT_TRUE(IsFixedMetricMode(c.mode)) << c.name;
    }
    for (const uint32_t other : {1u, 7u, 8u, 0u, 9u}) {
        EXPECT_FALSE(ComputeFixedModeExtents(other, SCREEN).has_value()) << "mode " << other;
        EXPECT_FALSE(IsFixedMetricMode(other)) << "mode " << other;
    }
    EXPECT_FALSE(ComputeFixedModeExtents(2, ReferenceDevice{1920, 1080, 0, 286}).has_value())
        << "expected none for a device of no millimetres";
    EXPECT_FALSE(ComputeFixedModeExtents(6, ReferenceDevice{1, 1, 0x7FFFFFFF, 1}).has_value())
        << "expected none for extents past 32 bits";
}

TEST(PlanMetricMapping, FixedModesPlayedOnTheReferenceDevice)
{
    const std::vector<uint8_t> lometric = MakeRecord(EMR_SETMAPMODE, {2});
    const std::vector<uint8_t> anisotropic = MakeRecord(EMR_SETMAPMODE, {8});
    const std::vector<uint8_t> refused = MakeRecord(EMR_SETMAPMODE, {99});
    const std::vector<uint8_t> windowExtent = MakeRecord(EMR_SETWINDOWEXTEX, {100, 100});
    const std::vector<uint8_t> viewportScale = MakeRecord(EMR_SCALEVIEWPORTEXTEX, {1, 2, 1, 2});
    const std::vector<uint8_t> save = MakeRecord(EMR_SAVEDC, {});
    const std::vector<uint8_t> restore = MakeRecord(EMR_RESTOREDC, {Negative(-1)});
    const auto plan = [](const MetricMapping& before, const std::vector<uint8_t>& record) {
        return PlanMetricMapping(before, record.data(), record.size(), SCREEN);
    };

    const MappingPlay set = plan(MetricMapping{false, {}}, lometric);
    ASSERT_TRUE(set.replaced) << "expected SETMAPMODE MM_LOMETRIC replaced";
    EXPECT_TRUE(set.after.fixed);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{
                  MakeRecord(EMR_SETMAPMODE, {8}), MakeRecord(EMR_SETWINDOWEXTEX, {5080, 2860}),
                  MakeRecord(EMR_SETVIEWPORTEXTEX, {1920, Negative(-1080)})}),
              set.records)
        << "expected MM_ANISOTROPIC with the mode's extents on the reference device";

    const MappingPlay ignored = plan(set.after, windowExtent);
    EXPECT_TRUE(ignored.replaced && ignored.records.empty())
        << "expected SETWINDOWEXTEX in a fixed mode replaced by nothing";
    EXPECT_TRUE(plan(set.after, viewportScale).records.empty())
        << "expected SCALEVIEWPORTEXTEX in a fixed mode replaced by nothing";
    EXPECT_FALSE(plan(MetricMapping{false, {}}, windowExtent).replaced)
        << "expected SETWINDOWEXTEX played outside the fixed modes";

    const MappingPlay saved = plan(set.after, save);
    EXPECT_FALSE(saved.replaced);
    EXPECT_EQ((std::vector<bool>{true}), saved.after.saved);
    const MappingPlay changed = plan(saved.after, anisotropic);
    EXPECT_FALSE(changed.replaced) << "expected MM_ANISOTROPIC played as it stands";
    EXPECT_FALSE(changed.after.fixed);
    EXPECT_FALSE(plan(changed.after, windowExtent).replaced);
    EXPECT_FALSE(plan(changed.after, refused).after.fixed)
        << "expected a mode the platform refuses to change nothing";
    const MappingPlay restored = plan(changed.after, restore);
    EXPECT_FALSE(restored.replaced);
    EXPECT_TRUE(restored.after.fixed) << "expected the saved fixed mode back";
    EXPECT_TRUE(restored.after.saved.empty());
    EXPECT_TRUE(plan(restored.after, restore).after.fixed)
        << "expected a RESTOREDC with nothing saved to change nothing";
    EXPECT_FALSE(PlanMetricMapping(MetricMapping{false, {}}, lometric.data(), lometric.size(),
                                   ReferenceDevice{0, 0, 0, 0})
                     .replaced)
        << "expected a metafile with no reference device played as it stands";
}

}  // namespace
