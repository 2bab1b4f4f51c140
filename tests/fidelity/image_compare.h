// How faithfully one grey image shows another: the measure by which a
// picture's EPS, rendered, is held against the platform's own raster
// playback of the picture. Pure computation on 8-bit grey images (0 black,
// 255 white), with the binary PGM format to carry them between programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct GrayImage {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels;  // rows top to bottom, width bytes each
};

// A binary PGM ("P5", maximum value 255) and back. No image when the bytes
// are not one, or hold fewer pixels than the header says.
std::string FormatPgm(const GrayImage& image);
std::optional<GrayImage> ParsePgm(const std::string& bytes);

// A binary PPM ("P6", maximum value 255) in grey, by the luma weights
// below. No image when the bytes are not one.
std::optional<GrayImage> ParsePpmAsGray(const std::string& bytes);

// Grey from rows of blue, green, red bytes (a 24-bit DIB's order), each row
// stride bytes apart, by the usual luma weights.
GrayImage GrayFromBgr(const uint8_t* rows, int32_t width, int32_t height, size_t stride);

// The part of the image at left, top of the given size; pixels outside the
// image are white.
GrayImage CropImage(const GrayImage& image, int32_t left, int32_t top, int32_t width,
                    int32_t height);
// Each factor x factor block becomes its mean; a partial block at the right
// or bottom edge is dropped.
GrayImage ShrinkImage(const GrayImage& image, int32_t factor);
// A slight blur: the 3 x 3 binomial kernel, edges repeated.
GrayImage BlurImage(const GrayImage& image);

struct FidelityScore {
    // Structural similarity of the two images, 1 when they are the same.
    double ssim;
    // The share of the reference's ink (darkness) that the candidate lacks,
    // pixel by pixel: 0 when the candidate is at least as dark everywhere.
    double missingInk;
};

// The two slightly blurred and compared; both of the same size.
FidelityScore ScoreFidelity(const GrayImage& reference, const GrayImage& candidate);

// The picture counts as faithful at SSIM of at least 0.9 with under 10% of
// its ink missing.
constexpr double FAITHFUL_SSIM = 0.9;
constexpr double FAITHFUL_MISSING_INK = 0.1;
bool IsFaithful(const FidelityScore& score);
