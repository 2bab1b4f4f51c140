// Scores the EPS files in a folder against the platform's raster playback
// of the same pictures, and prints a table:
//   fidelity_compare FOLDER
// FOLDER/pictures.txt lists one picture a line:
//   NAME LEFT TOP WIDTH HEIGHT DPI
// where LEFT, TOP, WIDTH and HEIGHT are the picture's placement on the page
// in device pixels at DPI, measured from the page's top-left corner.
// FOLDER/NAME.pgm is the reference at the placement's size, FOLDER/NAME.eps
// the job's EPS. Ghostscript renders the EPS's page at DPI; both are cropped
// to the placement, shrunk to 100 dpi and scored (image_compare.h). Exits
// 1 when a picture is not faithful, when Ghostscript cannot render an EPS
// or an EPS holds a number that is not finite.
#include "image_compare.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

constexpr int32_t COMPARED_DPI = 100;
constexpr char MANIFEST[] = "pictures.txt";
constexpr size_t GHOSTSCRIPT_LINES_SHOWN = 1;

struct Picture {
    std::string name;
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int32_t dpi;
};

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<Picture> ReadManifest(const std::string& path)
{
    std::vector<Picture> pictures;
    std::istringstream lines(ReadBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Picture picture{};
        if (fields >> picture.name >> picture.left >> picture.top >> picture.width >>
            picture.height >> picture.dpi) {
            pictures.push_back(picture);
        }
    }
    return pictures;
}

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

struct Rendering {
    bool rendered;
    std::string messages;  // Ghostscript's first lines when it failed
    GrayImage page;
};

// Ghostscript's rendering of the EPS's A4 page at dpi, in colour and turned
// grey by the same weights as the reference.
Rendering RenderPage(const std::string& eps, const std::string& output, int32_t dpi)
{
    const std::string command =
        "gs -q -dNOPAUSE -dBATCH -dSAFER -sPAPERSIZE=a4 -sDEVICE=ppmraw -r" + std::to_string(dpi) +
        " -sOutputFile='" + output + "' '" + eps + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return Rendering{false, "could not run gs", {}};
    }
    std::string messages;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        messages += buffer;
    }
    const int status = pclose(pipe);
    const std::optional<GrayImage> page = ParsePpmAsGray(ReadBytes(output));
    std::remove(output.c_str());
    if (status != 0 || !page || messages.find("Error") != std::string::npos) {
        std::istringstream lines(messages);
        std::string shown;
        std::string line;
        for (size_t i = 0; i < GHOSTSCRIPT_LINES_SHOWN && std::getline(lines, line); ++i) {
            shown += (i == 0 ? "" : " / ") + line;
        }
        const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : status;
        return Rendering{false, "gs exit " + std::to_string(exitCode) + ": " + shown, {}};
    }
    return Rendering{true, {}, *page};
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
    const std::vector<Picture> pictures = ReadManifest(folder + "/" + MANIFEST);
    if (pictures.empty()) {
        std::fprintf(stderr, "FAIL: no pictures listed in %s/%s\n", folder.c_str(), MANIFEST);
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
