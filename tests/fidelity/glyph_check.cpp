// Checks that the glyphs of a picture's EPS are drawn, not boxes: a font
// the system lacks comes out as an empty rectangle for every character.
//   glyph_check FOLDER NAME COUNT FONT...
// FOLDER's manifest gives NAME's placement (picture_folder.h);
// Ghostscript renders FOLDER/NAME.eps, and the placement, cut into glyphs
// at the columns with no ink, must hold COUNT glyphs of which none is a
// box: ink along the whole of its four sides and none inside. The EPS must
// embed each FONT (its /FontName), so that a stand-in face drawing other
// glyphs does not pass. Exits 1 when it does not, or Ghostscript cannot
// render the EPS.
#include "picture_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char FONT_NAME_KEY[] = "/FontName /";
constexpr int FIRST_FONT_ARGUMENT = 4;
// Darker than this is ink.
constexpr uint8_t INK_LEVEL = 128;
// A side of a box is inked along this share of its length at least; its
// inside, the middle of the glyph's box less this share at each side, has
// ink along under INSIDE_INK of it.
constexpr double SIDE_INK = 0.8;
constexpr double SIDE_MARGIN = 0.2;
constexpr double INSIDE_INK = 0.05;

// The listed picture of that name; none when the manifest lists none.
std::optional<Picture> FindPicture(const std::string& folder, const std::string& name)
{
    for (const Picture& picture : ReadManifest(folder)) {
        if (picture.name == name) {
            return picture;
        }
    }
    return std::nullopt;
}

bool IsInk(const GrayImage& image, int32_t x, int32_t y)
{
    return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                        static_cast<size_t>(x)] < INK_LEVEL;
}

// A glyph's ink box: columns left .. right, rows top .. bottom, inclusive.
struct InkBox {
    int32_t left;
    int32_t right;
    int32_t top;
    int32_t bottom;
};

bool ColumnHasInk(const GrayImage& image, int32_t x)
{
    for (int32_t y = 0; y < image.height; ++y) {
        if (IsInk(image, x, y)) {
            return true;
        }
    }
    return false;
}

// The glyphs: runs of columns with ink, each with the rows its ink spans.
std::vector<InkBox> FindGlyphs(const GrayImage& image)
{
    std::vector<InkBox> glyphs;
    for (int32_t x = 0; x < image.width; ++x) {
        if (!ColumnHasInk(image, x)) {
            continue;
        }
        InkBox box{x, x, image.height, -1};
        while (box.right + 1 < image.width && ColumnHasInk(image, box.right + 1)) {
            ++box.right;
        }
        for (int32_t column = box.left; column <= box.right; ++column) {
            for (int32_t y = 0; y < image.height; ++y) {
                if (IsInk(image, column, y)) {
                    box.top = y < box.top ? y : box.top;
                    box.bottom = y > box.bottom ? y : box.bottom;
                }
            }
        }
        glyphs.push_back(box);
        x = box.right;
    }
    return glyphs;
}

// The share of the pixels from (x0, y0) to (x1, y1) inclusive that are ink.
double InkShare(const GrayImage& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    int64_t ink = 0;
    int64_t all = 0;
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            ink += IsInk(image, x, y) ? 1 : 0;
            ++all;
        }
    }
    return all == 0 ? 0.0 : static_cast<double>(ink) / static_cast<double>(all);
}

bool IsBox(const GrayImage& image, const InkBox& box)
{
    const auto marginX = static_cast<int32_t>((box.right - box.left) * SIDE_MARGIN);
    const auto marginY = static_cast<int32_t>((box.bottom - box.top) * SIDE_MARGIN);
    return InkShare(image, box.left, box.top, box.right, box.top) >= SIDE_INK &&
           InkShare(image, box.left, box.bottom, box.right, box.bottom) >= SIDE_INK &&
           InkShare(image, box.left, box.top, box.left, box.bottom) >= SIDE_INK &&
           InkShare(image, box.right, box.top, box.right, box.bottom) >= SIDE_INK &&
           InkShare(image, box.left + marginX, box.top + marginY, box.right - marginX,
                    box.bottom - marginY) < INSIDE_INK;
}

// The names of the fonts the EPS embeds.
std::vector<std::string> ReadFontNames(const std::string& eps)
{
    std::vector<std::string> names;
    const std::string key = FONT_NAME_KEY;
    for (size_t at = eps.find(key); at != std::string::npos; at = eps.find(key, at + 1)) {
        const size_t start = at + key.size();
        const size_t end = eps.find_first_of(" \t\r\n/[{(<", start);
        names.push_back(eps.substr(start, end - start));
    }
    return names;
}

// How many of the fonts are not embedded, each said.
int CountMissingFonts(const std::string& eps, const std::vector<std::string>& fonts)
{
    const std::vector<std::string> embedded = ReadFontNames(ReadBytes(eps));
    int missing = 0;
    for (const std::string& font : fonts) {
        if (std::find(embedded.begin(), embedded.end(), font) == embedded.end()) {
            std::printf("expected the font %s embedded, found none of that name\n", font.c_str());
            ++missing;
        }
    }
    for (const std::string& name : embedded) {
        std::printf("embedded font: %s\n", name.c_str());
    }
    return missing;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc <= FIRST_FONT_ARGUMENT) {
        std::fprintf(stderr, "usage: glyph_check FOLDER NAME COUNT FONT...\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string name = argv[2];
    const auto expected = static_cast<size_t>(std::atoi(argv[3]));
    const std::optional<Picture> placement = FindPicture(folder, name);
    if (!placement) {
        std::fprintf(stderr, "FAIL: %s is not listed in %s/%s\n", name.c_str(), folder.c_str(),
                     PICTURE_MANIFEST);
        return 1;
    }
    const Rendering rendering = RenderPage(folder + "/" + name + ".eps",
                                           folder + "/" + name + ".glyphs.ppm", placement->dpi);
    if (!rendering.rendered) {
        std::fprintf(stderr, "FAIL: Ghostscript could not render %s.eps: %s\n", name.c_str(),
                     rendering.messages.c_str());
        return 1;
    }
    const GrayImage picture = CropImage(rendering.page, placement->left, placement->top,
                                        placement->width, placement->height);
    const std::vector<InkBox> glyphs = FindGlyphs(picture);
    int failures = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const InkBox& box = glyphs[i];
        const bool boxShaped = IsBox(picture, box);
        std::printf("glyph %zu: %d x %d pixels at (%d, %d)%s\n", i + 1, box.right - box.left + 1,
                    box.bottom - box.top + 1, box.left, box.top,
                    boxShaped ? "  <- a box, not a glyph" : "");
        failures += boxShaped ? 1 : 0;
    }
    if (glyphs.size() != expected) {
        std::printf("expected %zu glyphs, found %zu\n", expected, glyphs.size());
        ++failures;
    }
    failures +=
        CountMissingFonts(folder + "/" + name + ".eps",
                          std::vector<std::string>(argv + FIRST_FONT_ARGUMENT, argv + argc));
    return failures == 0 ? 0 : 1;
}
