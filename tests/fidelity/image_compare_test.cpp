#include "image_compare.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t SIDE = 40;
constexpr uint8_t BLACK = 0;
constexpr uint8_t WHITE = 255;

GrayImage Blank(int32_t width = SIDE, int32_t height = SIDE)
{
    return GrayImage{
        width, height,
        std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height), WHITE)};
}

// A white image with a black vertical bar of the given columns.
GrayImage Bar(int32_t left, int32_t width)
{
    GrayImage image = Blank();
    for (int32_t y = 0; y < SIDE; ++y) {
        for (int32_t x = left; x < left + width; ++x) {
            image.pixels[static_cast<size_t>(y) * SIDE + static_cast<size_t>(x)] = BLACK;
        }
    }
    return image;
}

// The bar one 300-dpi pixel further right, as a 100-dpi image shows it:
// its left column two thirds dark, one more column a third dark.
GrayImage Shifted(GrayImage bar, int32_t left, int32_t right)
{
    for (int32_t y = 0; y < SIDE; ++y) {
        bar.pixels[static_cast<size_t>(y) * SIDE + static_cast<size_t>(left)] = 85;
        bar.pixels[static_cast<size_t>(y) * SIDE + static_cast<size_t>(right)] = 170;
    }
    return bar;
}

TEST(Pgm, RoundTripsAnImage)
{
    const GrayImage image{3, 2, {0, 1, 2, 253, 254, 255}};
    const std::string bytes = FormatPgm(image);
    EXPECT_EQ("P5\n3 2\n255\n", bytes.substr(0, 11));
    const std::optional<GrayImage> parsed = ParsePgm(bytes);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(3, parsed->width);
    EXPECT_EQ(2, parsed->height);
    EXPECT_EQ(image.pixels, parsed->pixels);
}

TEST(Pgm, ReadsCommentsAndRefusesWhatIsNotOne)
{
    const std::optional<GrayImage> commented = ParsePgm("P5 # made by gs\n2 1 255\n\x10\x20");
    ASSERT_TRUE(commented.has_value());
    EXPECT_EQ((std::vector<uint8_t>{0x10, 0x20}), commented->pixels);
    for (const char* bad :
         {"P6\n2 1\n255\nabcdef", "P5\n2 1\n65535\nabcd", "P5\n2 2\n255\nabc", "P5\n2\n", ""}) {
        EXPECT_FALSE(ParsePgm(bad).has_value()) << "expected \"" << bad << "\" refused";
    }
}

TEST(Ppm, ReadsColourInGreyByTheSameWeights)
{
    const std::optional<GrayImage> grey =
        ParsePpmAsGray(std::string("P6\n2 1\n255\n\xFF\x00\x00\x00\x00\xFF", 17));
    ASSERT_TRUE(grey.has_value());
    EXPECT_EQ((std::vector<uint8_t>{76, 29}), grey->pixels) << "red, then blue";
    EXPECT_FALSE(ParsePpmAsGray("P6\n2 1\n255\nabc").has_value())
        << "expected short pixels refused";
    EXPECT_FALSE(ParsePpmAsGray(FormatPgm(GrayImage{1, 1, {0}})).has_value());
}

TEST(GrayFromBgr, WeighsChannelsAndSkipsRowPadding)
{
    // Two rows of one pixel each, four bytes apart: blue, then red.
    const uint8_t rows[] = {255, 0, 0, 99, 0, 0, 255, 99};
    const GrayImage image = GrayFromBgr(rows, 1, 2, 4);
    EXPECT_EQ((std::vector<uint8_t>{29, 76}), image.pixels);
}

TEST(CropAndShrink, CropIsWhiteOutsideAndShrinkAveragesWholeBlocks)
{
    const GrayImage image{2, 2, {0, 100, 200, 40}};
    const GrayImage part = CropImage(image, 1, 1, 2, 2);
    EXPECT_EQ((std::vector<uint8_t>{40, WHITE, WHITE, WHITE}), part.pixels);
    const GrayImage small = ShrinkImage(GrayImage{3, 2, {0, 100, 7, 200, 40, 7}}, 2);
    EXPECT_EQ(1, small.width);
    EXPECT_EQ(1, small.height);
    EXPECT_EQ((std::vector<uint8_t>{85}), small.pixels);
}

TEST(ScoreFidelity, ScoresAndVerdicts)
{
    const struct {
        const char* name;
        GrayImage candidate;
        bool faithful;
    } cases[] = {
        {"the same bar", Bar(10, 6), true},
        {"the bar a third of a pixel aside", Shifted(Bar(10, 6), 10, 16), true},
        {"a hairline for the bar", Bar(12, 1), false},
        {"nothing drawn", Blank(), false},
        {"all black", Bar(0, SIDE), false},
    };
    const GrayImage reference = Bar(10, 6);
    for (const auto& c : cases) {
        const FidelityScore score = ScoreFidelity(reference, c.candidate);
        EXPECT_EQ(c.faithful, IsFaithful(score))
            << c.name << ": SSIM " << score.ssim << ", missing ink " << score.missingInk;
    }
    const FidelityScore same = ScoreFidelity(reference, reference);
    EXPECT_DOUBLE_EQ(1.0, same.ssim);
    EXPECT_DOUBLE_EQ(0.0, same.missingInk);
    EXPECT_DOUBLE_EQ(1.0, ScoreFidelity(reference, Blank()).missingInk);
    EXPECT_DOUBLE_EQ(0.0, ScoreFidelity(Blank(), Bar(0, SIDE)).missingInk)
        << "expected no ink missing from a blank reference";
}

}  // namespace
