#include "driver/turned_text.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

void ExpectPoint(const DevicePoint& expected, const DevicePoint& actual, const char* what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-9) << what << ": expected x " << expected.x;
    EXPECT_NEAR(expected.y, actual.y, 1e-9) << what << ": expected y " << expected.y;
}

// Two glyphs of advances 10 and 20 from (100, 200), a font 20 high and 8
// wide, under a mapping mode that doubles each unit.
TurnedTextInput TwoGlyphs(bool compatible, AffineMap map, int32_t escapement, TextAnchor anchor)
{
    return TurnedTextInput{map, compatible, escapement, escapement, -20,
                           8,   {100, 200}, {10, 20},   anchor};
}

constexpr AffineMap DOUBLED = {2, 0, 0, 2, 0, 0};

TEST(LayOutTurnedText, EscapementTurnsTheBaselineOnTheDevice)
{
    const std::optional<TurnedLayout> up =
        LayOutTurnedText(TwoGlyphs(true, DOUBLED, 900, TextAnchor::LEFT));
    ASSERT_TRUE(up.has_value());
    EXPECT_EQ(-40, up->fontHeight) << "the font at its size on the device";
    EXPECT_EQ(16, up->fontWidth);
    ExpectPoint({0, -1}, {up->glyph.m11, up->glyph.m12}, "a glyph's baseline runs up");
    ExpectPoint({1, 0}, {up->glyph.m21, up->glyph.m22}, "its feet point right");
    ASSERT_EQ(2u, up->origins.size());
    ExpectPoint({100, 200}, up->origins[0], "the first glyph at the reference point");
    ExpectPoint({100, 180}, up->origins[1], "the second 10 units, 20 pixels, up");
    ExpectPoint({0, -60}, up->span, "the whole run");
    ExpectPoint({100, 140}, up->after, "the current position at the run's end");
}

TEST(LayOutTurnedText, AlignmentPlacesTheRunAboutItsReferencePoint)
{
    const TurnedLayout right = *LayOutTurnedText(TwoGlyphs(true, DOUBLED, 900, TextAnchor::RIGHT));
    ExpectPoint({100, 260}, right.start, "the run ending at the reference point");
    ExpectPoint({100, 260}, right.after, "the current position at the run's start");
    const TurnedLayout centre =
        *LayOutTurnedText(TwoGlyphs(true, DOUBLED, 900, TextAnchor::CENTRE));
    ExpectPoint({100, 230}, centre.start, "the run about the reference point");
    ExpectPoint({100, 200}, centre.after, "the current position left alone");
}

TEST(LayOutTurnedText, WorldTransformCarriesTheTextWholeAndMappingModesNeverMirror)
{
    // A quarter turn up that triples each unit.
    const TurnedLayout turned =
        *LayOutTurnedText(TwoGlyphs(false, AffineMap{0, -3, 3, 0, 0, 0}, 0, TextAnchor::LEFT));
    EXPECT_EQ(-60, turned.fontHeight);
    ExpectPoint({0, -1}, {turned.glyph.m11, turned.glyph.m12}, "the glyph turned with the world");
    ExpectPoint({100, 170}, turned.origins[1], "the second glyph 30 pixels up");
    // Mirrored axes: the compatible mode keeps the text reading left to
    // right, the advanced mode mirrors it with the world.
    constexpr AffineMap MIRRORED = {-2, 0, 0, -2, 0, 0};
    ExpectPoint({120, 200},
                LayOutTurnedText(TwoGlyphs(true, MIRRORED, 0, TextAnchor::LEFT))->origins[1],
                "compatible");
    ExpectPoint({80, 200},
                LayOutTurnedText(TwoGlyphs(false, MIRRORED, 0, TextAnchor::LEFT))->origins[1],
                "advanced");
}

TEST(LayOutTurnedText, NoLayoutWithoutAdvancesOrWhereTheMapFlattens)
{
    TurnedTextInput none = TwoGlyphs(true, DOUBLED, 900, TextAnchor::LEFT);
    none.advances.clear();
    EXPECT_FALSE(LayOutTurnedText(none).has_value());
    EXPECT_FALSE(
        LayOutTurnedText(TwoGlyphs(false, AffineMap{1, 1, 1, 1, 0, 0}, 0, TextAnchor::LEFT)))
        << "expected no layout through a map of no area";
    TurnedTextInput far = TwoGlyphs(true, DOUBLED, 0, TextAnchor::LEFT);
    far.advances = {10, 2000000000};
    far.origin = {DRIVER_COORDINATE_LIMIT, 0};
    EXPECT_FALSE(LayOutTurnedText(far).has_value())
        << "expected no layout beyond the driver's reach";
}

}  // namespace
