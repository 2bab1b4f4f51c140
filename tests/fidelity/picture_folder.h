// A folder of the fidelity check's pictures as the Windows tests leave it:
// pictures.txt lists one picture a line,
//   NAME LEFT TOP WIDTH HEIGHT DPI
// where LEFT, TOP, WIDTH and HEIGHT are the picture's placement on the page
// in device pixels at DPI, measured from the page's top-left corner; beside
// it lie NAME.pgm, the raster reference, and NAME.eps, the job's EPS.
#pragma once

#include "image_compare.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr char PICTURE_MANIFEST[] = "pictures.txt";

struct Picture {
    std::string name;
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int32_t dpi;
};

// The file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);

// The pictures the folder's manifest lists, in its order.
std::vector<Picture> ReadManifest(const std::string& folder);

struct Rendering {
    bool rendered;
    std::string messages;  // Ghostscript's first line when it failed
    GrayImage page;
};

// Ghostscript's rendering of the EPS's A4 page at dpi, in colour and turned
// grey by the same weights as the reference; output is its scratch file.
Rendering RenderPage(const std::string& eps, const std::string& output, int32_t dpi);
