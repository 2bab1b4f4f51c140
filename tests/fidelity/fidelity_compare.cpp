// Scores the EPS files in a folder against the platform's raster playback
// of the same pictures, and prints a table:
//   fidelity_compare FOLDER
// FOLDER holds the pictures' placements, references and EPS files
// (picture_folder.h). Ghostscript renders the EPS's page at DPI; both are cropped
// to the placement, shrunk to 100 dpi and scored (image_compare.h). Exits
// 1 when a picture is not faithful, when Ghostscript cannot render an EPS
// or an EPS holds a number that is not finite.
#include "picture_folder.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int32_t COMPARED_DPI = 100;
// Whether the PostScript holds a token that is not a finite number, such as
// a C library writes for one: nan, inf, -nan, -inf.
bool HasNonFiniteNumber(const std::string& text)
{
    std::istringstream tokens(text);
    std::string token;
    while (tokens >> token) {
        if (token == "nan" || token == "-nan" || token == "inf" || token == "-inf") {
            return true;
        }
    }
    return false;
}

// Prints the picture's row; returns whether it is faithful.
bool CheckPicture(const std::string& folder, const Picture& picture)
{
    const std::string eps = folder + "/" + picture.name + ".eps";
    const std::optional<GrayImage> reference =
        ParsePgm(ReadBytes(folder + "/" + picture.name + ".pgm"));
    const std::string text = ReadBytes(eps);
    std::string verdict;
    std::string detail;
    bool faithful = false;
    if (!reference || text.empty()) {
        verdict = "missing";
        detail = !reference ? "no reference image" : "no EPS";
    } else if (HasNonFiniteNumber(text)) {
        verdict = "non-finite";
        detail = "the EPS holds nan or inf";
    } else {
        const Rendering rendering =
            RenderPage(eps, folder + "/" + picture.name + ".render.ppm", picture.dpi);
        if (!rendering.rendered) {
            verdict = "unreadable";
            detail = rendering.messages;
        } else {
            const int32_t factor = picture.dpi / COMPARED_DPI;
            const GrayImage drawn =
                CropImage(rendering.page, picture.left, picture.top, picture.width, picture.height);
            const FidelityScore score =
                ScoreFidelity(ShrinkImage(*reference, factor), ShrinkImage(drawn, factor));
            faithful = IsFaithful(score);
            verdict = faithful ? "faithful" : "unfaithful";
            char numbers[64];
            std::snprintf(numbers, sizeof numbers, "SSIM %.4f  missing ink %5.1f%%", score.ssim,
                          100.0 * score.missingInk);
            detail = numbers;
        }
    }
    std::printf("%-28s %-11s %-36s%s\n", picture.name.c_str(), verdict.c_str(), detail.c_str(),
                faithful ? "" : "  <- FAIL");
    return faithful;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fidelity_compare FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<Picture> pictures = ReadManifest(folder);
    if (pictures.empty()) {
        std::fprintf(stderr, "FAIL: no pictures listed in %s/%s\n", folder.c_str(),
                     PICTURE_MANIFEST);
        return 1;
    }
    std::printf(
        "faithful: SSIM >= %.2f and under %.0f%% of the reference's ink missing, at %d dpi\n",
        FAITHFUL_SSIM, 100.0 * FAITHFUL_MISSING_INK, COMPARED_DPI);
    int failures = 0;
    for (const Picture& picture : pictures) {
        if (!CheckPicture(folder, picture)) {
            ++failures;
        }
    }
    std::printf("%zu pictures, %d not faithful\n", pictures.size(), failures);
    return failures == 0 ? 0 : 1;
}
