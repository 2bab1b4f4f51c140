#include "picture_folder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/wait.h>

namespace {

constexpr size_t GHOSTSCRIPT_LINES_SHOWN = 1;

}  // namespace

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<Picture> ReadManifest(const std::string& folder)
{
    std::vector<Picture> pictures;
    std::istringstream lines(ReadBytes(folder + "/" + PICTURE_MANIFEST));
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
