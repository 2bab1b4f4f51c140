#include "driver/font_tables.h"

#include <algorithm>

namespace {

// Font tables hold big-endian integers.
constexpr size_t MAXP_NUM_GLYPHS = 4;
constexpr size_t POST_NUM_GLYPHS = 32;
constexpr uint32_t POST_FORMAT_2 = 0x00020000;

uint16_t ReadBigUint16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

uint32_t ReadBigUint32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(ReadBigUint16(bytes)) << 16 | ReadBigUint16(bytes + 2);
}

}  // namespace

std::optional<uint32_t> CountFontGlyphs(const uint8_t* maxp, size_t maxpSize, const uint8_t* post,
                                        size_t postSize)
{
    if (maxpSize < MAXP_HEAD_SIZE) {
        return std::nullopt;
    }
    uint32_t glyphs = ReadBigUint16(maxp + MAXP_NUM_GLYPHS);
    if (postSize >= POST_HEAD_SIZE && ReadBigUint32(post) == POST_FORMAT_2) {
        glyphs = std::min<uint32_t>(glyphs, ReadBigUint16(post + POST_NUM_GLYPHS));
    }
    return glyphs;
}
