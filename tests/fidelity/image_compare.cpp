#include "image_compare.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int MAX_GRAY = 255;
constexpr char PGM_MAGIC[] = "P5";
constexpr char PPM_MAGIC[] = "P6";
constexpr size_t MAGIC_LENGTH = 2;
// Luma weights in thousandths (ITU-R BT.601).
constexpr uint32_t RED_WEIGHT = 299;
constexpr uint32_t GREEN_WEIGHT = 587;
constexpr uint32_t BLUE_WEIGHT = 114;
constexpr uint32_t WEIGHT_TOTAL = 1000;
// The structural similarity's window, and its stabilising constants for
// 8-bit values.
constexpr int32_t SSIM_WINDOW = 7;
constexpr double SSIM_C1 = (0.01 * MAX_GRAY) * (0.01 * MAX_GRAY);
constexpr double SSIM_C2 = (0.03 * MAX_GRAY) * (0.03 * MAX_GRAY);

size_t PixelCount(int32_t width, int32_t height)
{
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

GrayImage WhiteImage(int32_t width, int32_t height)
{
    return GrayImage{width, height, std::vector<uint8_t>(PixelCount(width, height), MAX_GRAY)};
}

uint8_t At(const GrayImage& image, int32_t x, int32_t y)
{
    return image
        .pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
}

// Reads the next unsigned number of a PGM header, skipping white space and
// comments; no number when there is none.
std::optional<int32_t> ReadHeaderNumber(const std::string& bytes, size_t& position)
{
    while (position < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[position]);
        if (c == '#') {
            position = bytes.find('\n', position);
            if (position == std::string::npos) {
                return std::nullopt;
            }
        } else if (!std::isspace(c)) {
            break;
        }
        ++position;
    }
    int64_t value = 0;
    const size_t start = position;
    while (position < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[position])) &&
           value <= INT32_MAX) {
        value = value * 10 + (bytes[position] - '0');
        ++position;
    }
    if (position == start || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// Sums over every rectangle from the image's corner, one row and column
// larger than the image, so that any window's sum takes four reads.
struct SummedArea {
    int32_t width;
    std::vector<double> sums;

    double Window(int32_t x, int32_t y, int32_t size) const
    {
        const auto at = [&](int32_t column, int32_t row) {
            return sums[static_cast<size_t>(row) * static_cast<size_t>(width + 1) +
                        static_cast<size_t>(column)];
        };
        return at(x + size, y + size) - at(x, y + size) - at(x + size, y) + at(x, y);
    }
};

template <typename Value>
SummedArea SumArea(int32_t width, int32_t height, Value value)
{
    SummedArea area{width, std::vector<double>(PixelCount(width + 1, height + 1), 0.0)};
    const size_t stride = static_cast<size_t>(width + 1);
    for (int32_t y = 0; y < height; ++y) {
        double row = 0;
        for (int32_t x = 0; x < width; ++x) {
            row += value(x, y);
            const size_t below = static_cast<size_t>(y + 1) * stride + static_cast<size_t>(x + 1);
            area.sums[below] = area.sums[below - stride] + row;
        }
    }
    return area;
}

// The mean structural similarity over every window that lies inside both.
double MeanSsim(const GrayImage& a, const GrayImage& b)
{
    const int32_t width = a.width;
    const int32_t height = a.height;
    if (width < SSIM_WINDOW || height < SSIM_WINDOW) {
        return a.pixels == b.pixels ? 1.0 : 0.0;
    }
    const auto va = [&](int32_t x, int32_t y) { return static_cast<double>(At(a, x, y)); };
    const auto vb = [&](int32_t x, int32_t y) { return static_cast<double>(At(b, x, y)); };
    const SummedArea sumA = SumArea(width, height, va);
    const SummedArea sumB = SumArea(width, height, vb);
    const SummedArea sumAA =
        SumArea(width, height, [&](int32_t x, int32_t y) { return va(x, y) * va(x, y); });
    const SummedArea sumBB =
        SumArea(width, height, [&](int32_t x, int32_t y) { return vb(x, y) * vb(x, y); });
    const SummedArea sumAB =
        SumArea(width, height, [&](int32_t x, int32_t y) { return va(x, y) * vb(x, y); });
    const double n = SSIM_WINDOW * SSIM_WINDOW;
    double total = 0;
    size_t windows = 0;
    for (int32_t y = 0; y + SSIM_WINDOW <= height; ++y) {
        for (int32_t x = 0; x + SSIM_WINDOW <= width; ++x) {
            const double meanA = sumA.Window(x, y, SSIM_WINDOW) / n;
            const double meanB = sumB.Window(x, y, SSIM_WINDOW) / n;
            const double varA = sumAA.Window(x, y, SSIM_WINDOW) / n - meanA * meanA;
            const double varB = sumBB.Window(x, y, SSIM_WINDOW) / n - meanB * meanB;
            const double covariance = sumAB.Window(x, y, SSIM_WINDOW) / n - meanA * meanB;
            total += (2 * meanA * meanB + SSIM_C1) * (2 * covariance + SSIM_C2) /
                     ((meanA * meanA + meanB * meanB + SSIM_C1) * (varA + varB + SSIM_C2));
            ++windows;
        }
    }
    return total / static_cast<double>(windows);
}

double MissingInk(const GrayImage& reference, const GrayImage& candidate)
{
    double ink = 0;
    double missing = 0;
    for (size_t i = 0; i < reference.pixels.size(); ++i) {
        const int referenceInk = MAX_GRAY - reference.pixels[i];
        const int candidateInk = MAX_GRAY - candidate.pixels[i];
        ink += referenceInk;
        missing += std::max(0, referenceInk - candidateInk);
    }
    return ink > 0 ? missing / ink : 0.0;
}

uint8_t Luma(uint32_t red, uint32_t green, uint32_t blue)
{
    return static_cast<uint8_t>(
        (RED_WEIGHT * red + GREEN_WEIGHT * green + BLUE_WEIGHT * blue + WEIGHT_TOTAL / 2) /
        WEIGHT_TOTAL);
}

// The pixels of a binary PGM or PPM with the given magic, channels bytes
// each, after a header of width, height and 255.
struct Netpbm {
    int32_t width;
    int32_t height;
    size_t pixelOffset;
};

std::optional<Netpbm> ReadNetpbm(const std::string& bytes, const char* magic, size_t channels)
{
    if (bytes.compare(0, MAGIC_LENGTH, magic) != 0) {
        return std::nullopt;
    }
    size_t position = MAGIC_LENGTH;
    const std::optional<int32_t> width = ReadHeaderNumber(bytes, position);
    const std::optional<int32_t> height = ReadHeaderNumber(bytes, position);
    const std::optional<int32_t> maximum = ReadHeaderNumber(bytes, position);
    if (!width || !height || maximum != MAX_GRAY || position >= bytes.size() ||
        !std::isspace(static_cast<unsigned char>(bytes[position]))) {
        return std::nullopt;
    }
    ++position;
    if ((bytes.size() - position) / channels < PixelCount(*width, *height)) {
        return std::nullopt;
    }
    return Netpbm{*width, *height, position};
}

}  // namespace

std::string FormatPgm(const GrayImage& image)
{
    std::string bytes = std::string(PGM_MAGIC) + "\n" + std::to_string(image.width) + " " +
                        std::to_string(image.height) + "\n" + std::to_string(MAX_GRAY) + "\n";
    bytes.append(image.pixels.begin(), image.pixels.end());
    return bytes;
}

std::optional<GrayImage> ParsePgm(const std::string& bytes)
{
    const std::optional<Netpbm> pgm = ReadNetpbm(bytes, PGM_MAGIC, 1);
    if (!pgm) {
        return std::nullopt;
    }
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(pgm->pixelOffset);
    const auto count = static_cast<std::ptrdiff_t>(PixelCount(pgm->width, pgm->height));
    return GrayImage{pgm->width, pgm->height, std::vector<uint8_t>(first, first + count)};
}

std::optional<GrayImage> ParsePpmAsGray(const std::string& bytes)
{
    const std::optional<Netpbm> ppm = ReadNetpbm(bytes, PPM_MAGIC, 3);
    if (!ppm) {
        return std::nullopt;
    }
    GrayImage image = WhiteImage(ppm->width, ppm->height);
    const auto* pixels = reinterpret_cast<const uint8_t*>(bytes.data()) + ppm->pixelOffset;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = Luma(pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]);
    }
    return image;
}

GrayImage GrayFromBgr(const uint8_t* rows, int32_t width, int32_t height, size_t stride)
{
    GrayImage image = WhiteImage(width, height);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = row + static_cast<size_t>(x) * 3;
            const uint32_t luma = (BLUE_WEIGHT * pixel[0] + GREEN_WEIGHT * pixel[1] +
                                   RED_WEIGHT * pixel[2] + WEIGHT_TOTAL / 2) /
                                  WEIGHT_TOTAL;
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = static_cast<uint8_t>(luma);
        }
    }
    return image;
}

GrayImage CropImage(const GrayImage& image, int32_t left, int32_t top, int32_t width,
                    int32_t height)
{
    GrayImage part = WhiteImage(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sourceX = left + x;
            const int32_t sourceY = top + y;
            if (sourceX >= 0 && sourceX < image.width && sourceY >= 0 && sourceY < image.height) {
                part.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                            static_cast<size_t>(x)] = At(image, sourceX, sourceY);
            }
        }
    }
    return part;
}

GrayImage ShrinkImage(const GrayImage& image, int32_t factor)
{
    GrayImage small = WhiteImage(image.width / factor, image.height / factor);
    const uint32_t blockSize = static_cast<uint32_t>(factor * factor);
    for (int32_t y = 0; y < small.height; ++y) {
        for (int32_t x = 0; x < small.width; ++x) {
            uint32_t sum = 0;
            for (int32_t dy = 0; dy < factor; ++dy) {
                for (int32_t dx = 0; dx < factor; ++dx) {
                    sum += At(image, x * factor + dx, y * factor + dy);
                }
            }
            small.pixels[static_cast<size_t>(y) * static_cast<size_t>(small.width) +
                         static_cast<size_t>(x)] =
                static_cast<uint8_t>((sum + blockSize / 2) / blockSize);
        }
    }
    return small;
}

GrayImage BlurImage(const GrayImage& image)
{
    constexpr int KERNEL[3] = {1, 2, 1};
    constexpr int KERNEL_TOTAL = 16;
    GrayImage blurred = WhiteImage(image.width, image.height);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int32_t sx = std::clamp(x + dx, 0, image.width - 1);
                    const int32_t sy = std::clamp(y + dy, 0, image.height - 1);
                    sum += KERNEL[dx + 1] * KERNEL[dy + 1] * At(image, sx, sy);
                }
            }
            blurred.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                           static_cast<size_t>(x)] =
                static_cast<uint8_t>((sum + KERNEL_TOTAL / 2) / KERNEL_TOTAL);
        }
    }
    return blurred;
}

FidelityScore ScoreFidelity(const GrayImage& reference, const GrayImage& candidate)
{
    const GrayImage a = BlurImage(reference);
    const GrayImage b = BlurImage(candidate);
    return FidelityScore{MeanSsim(a, b), MissingInk(a, b)};
}

bool IsFaithful(const FidelityScore& score)
{
    return score.ssim >= FAITHFUL_SSIM && score.missingInk < FAITHFUL_MISSING_INK;
}
