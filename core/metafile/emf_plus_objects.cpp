#include "metafile/emf_plus_objects.h"

#include <vector>

#include "metafile/emf_plus_layout.h"
#include "metafile/emf_plus_records.h"

namespace emf_plus {
namespace {

// Brushes: a version and a type, then the type's data.
constexpr uint32_t SOLID_BRUSH = 0;
constexpr uint32_t HATCH_BRUSH = 1;
constexpr uint32_t TEXTURE_BRUSH = 2;
constexpr uint32_t PATH_GRADIENT_BRUSH = 3;
constexpr uint32_t LINEAR_GRADIENT_BRUSH = 4;
constexpr uint32_t HATCH_DATA_SIZE = 12;       // style, fore and back colours
constexpr uint32_t LINEAR_GRADIENT_SIZE = 40;  // flags, wrap, rect, colours, reserved
constexpr uint32_t PATH_GRADIENT_SIZE = 24;    // flags, wrap, colour, centre, count
constexpr uint32_t BRUSH_DATA_PATH = 0x01;     // a path gradient's boundary is a path
constexpr uint32_t BRUSH_DATA_TRANSFORM = 0x02;
constexpr uint32_t BRUSH_DATA_PRESET_COLOURS = 0x04;
constexpr uint32_t BRUSH_DATA_BLEND_H = 0x08;
constexpr uint32_t BRUSH_DATA_BLEND_V = 0x10;
constexpr uint32_t BRUSH_DATA_FOCUS_SCALES = 0x40;
constexpr uint32_t BLEND_ENTRY_SIZE = 8;    // a position and a colour or a factor
constexpr uint32_t FOCUS_SCALES_SIZE = 12;  // a count and two scales

// Pens: a version, a type, flags, unit and width, the optional data the
// flags announce, then the pen's brush.
constexpr uint32_t PEN_FIXED_SIZE = 20;
constexpr uint32_t PEN_TRANSFORM = 0x0001;
constexpr uint32_t PEN_DASHED_LINE = 0x0100;
constexpr uint32_t PEN_COMPOUND_LINE = 0x0400;
constexpr uint32_t PEN_CUSTOM_START_CAP = 0x0800;
constexpr uint32_t PEN_CUSTOM_END_CAP = 0x1000;
// The flags of the optional 32-bit fields, in their order after the
// transform: start cap, end cap, join, miter limit, line style, dashed line
// cap, dash offset; then (after the dashes) non-centre alignment.
constexpr uint32_t PEN_FIELDS_BEFORE_DASHES[] = {0x0002, 0x0004, 0x0008, 0x0010,
                                                 0x0020, 0x0040, 0x0080};
constexpr uint32_t PEN_NON_CENTER = 0x0200;

// Custom line caps: a version and a type; an arrow's fixed data, or a
// default cap's fixed data and its fill or line path.
constexpr uint32_t DEFAULT_CAP = 0;
constexpr uint32_t ARROW_CAP = 1;
constexpr uint32_t ARROW_CAP_SIZE = 52;
constexpr uint32_t DEFAULT_CAP_SIZE = 48;
constexpr uint32_t CAP_FILL_PATH = 0x1;
constexpr uint32_t CAP_LINE_PATH = 0x2;

// Paths: a version, a point count and flags, then the points and a type
// byte per point. Run-length coded types GDI+ alone reads: refused.
constexpr uint32_t PATH_TYPES_RLE = 0x1000;
constexpr uint32_t POINT_TYPE_SIZE = 1;

// Regions: a version and a node count, then a tree of nodes: combining
// nodes (1 to 5) with two children, rectangles, paths, empty and infinite.
constexpr uint32_t REGION_FIXED_SIZE = 8;
constexpr uint32_t REGION_COMBINE_FIRST = 1;
constexpr uint32_t REGION_COMBINE_LAST = 5;
constexpr uint32_t REGION_RECT = 0x10000000;
constexpr uint32_t REGION_PATH = 0x10000001;
constexpr uint32_t REGION_EMPTY = 0x10000002;
constexpr uint32_t REGION_INFINITE = 0x10000003;
// GDI+ reads the tree recursively: a deeper one is refused.
constexpr uint32_t REGION_DEPTH_LIMIT = 1024;
constexpr uint8_t REGION_CHILDREN = 2;

// Images: a version and a type; bitmaps hold width, height, stride, pixel
// format and a data type; metafiles a type and a data size.
constexpr uint32_t BITMAP_IMAGE = 1;
constexpr uint32_t METAFILE_IMAGE = 2;
constexpr uint32_t BITMAP_PIXELS = 0;
constexpr uint32_t BITMAP_COMPRESSED = 1;
constexpr uint32_t PIXEL_FORMAT_INDEXED = 0x00010000;
constexpr unsigned PIXEL_FORMAT_BITS_SHIFT = 8;
constexpr uint32_t PIXEL_FORMAT_BITS_MASK = 0xFF;
constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint32_t METAFILE_TYPE_EMF = 3;
constexpr uint32_t METAFILE_TYPE_EMF_PLUS_DUAL = 5;

// Fonts: version, size, unit, style, reserved and a name length, then the
// name. String formats: fifteen fields, then tab stops and ranges.
constexpr uint32_t FONT_FIXED_SIZE = 24;
constexpr uint32_t STRING_FORMAT_FIXED_SIZE = 60;
constexpr uint32_t RANGE_SIZE = 8;
constexpr uint32_t IMAGE_ATTRIBUTES_SIZE = 24;

// Object payloads. Each takes a cursor over exactly the object's bytes.
bool IsPathSound(Cursor path)
{
    Skip(path, FIELD_SIZE);  // version
    const uint32_t count = Take(path);
    const uint32_t flags = Take(path);
    if ((flags & PATH_TYPES_RLE) != 0) {
        return false;
    }
    SkipPoints(path, count, static_cast<uint16_t>(flags));
    SkipArray(path, count, POINT_TYPE_SIZE);
    return Ends(path);
}

// A path announced by a 32-bit length; a path that is not sound fails the
// cursor, so that whatever holds it fails too.
bool SkipLengthPath(Cursor& cursor)
{
    const uint32_t length = Take(cursor);
    const Cursor path = TakeSpan(cursor, length);
    cursor.failed = cursor.failed || !IsPathSound(path);
    return Ends(cursor);
}

bool IsImageSound(Cursor image, uint32_t nesting);

// A count, then count blend entries.
bool SkipBlend(Cursor& cursor)
{
    return SkipArray(cursor, Take(cursor), BLEND_ENTRY_SIZE);
}

bool SkipGradientOptions(Cursor& cursor, uint32_t flags)
{
    if ((flags & BRUSH_DATA_TRANSFORM) != 0) {
        Skip(cursor, MATRIX_SIZE);
    }
    if ((flags & BRUSH_DATA_PRESET_COLOURS) != 0) {
        SkipBlend(cursor);
    }
    if ((flags & BRUSH_DATA_BLEND_H) != 0) {
        SkipBlend(cursor);
    }
    if ((flags & BRUSH_DATA_BLEND_V) != 0) {
        SkipBlend(cursor);
    }
    return Ends(cursor);
}

bool IsPathGradientSound(Cursor& brush)
{
    const uint32_t flags = Take(brush);
    Skip(brush, PATH_GRADIENT_SIZE - 2 * FIELD_SIZE);  // wrap, centre colour and point
    SkipArray(brush, Take(brush), COLOUR_SIZE);        // surrounding colours
    if ((flags & BRUSH_DATA_PATH) != 0) {
        SkipLengthPath(brush);
    } else {
        SkipArray(brush, Take(brush), POINT_F_SIZE);
    }
    SkipGradientOptions(brush, flags);
    if ((flags & BRUSH_DATA_FOCUS_SCALES) != 0) {
        Skip(brush, FOCUS_SCALES_SIZE);
    }
    return Ends(brush);
}

bool IsBrushSound(Cursor brush, uint32_t nesting)
{
    Skip(brush, FIELD_SIZE);  // version
    const uint32_t type = Take(brush);
    switch (type) {
        case SOLID_BRUSH:
            return Skip(brush, COLOUR_SIZE);
        case HATCH_BRUSH:
            return Skip(brush, HATCH_DATA_SIZE);
        case TEXTURE_BRUSH: {
            const uint32_t flags = Take(brush);
            Skip(brush, FIELD_SIZE);  // wrap mode
            if ((flags & BRUSH_DATA_TRANSFORM) != 0) {
                Skip(brush, MATRIX_SIZE);
            }
            return Ends(brush) && IsImageSound(TakeSpan(brush, brush.size - brush.at), nesting);
        }
        case PATH_GRADIENT_BRUSH:
            return IsPathGradientSound(brush);
        case LINEAR_GRADIENT_BRUSH: {
            const uint32_t flags = Take(brush);
            Skip(brush, LINEAR_GRADIENT_SIZE - FIELD_SIZE);
            return SkipGradientOptions(brush, flags);
        }
        default:
            return false;
    }
}

bool IsCustomCapSound(Cursor cap)
{
    Skip(cap, FIELD_SIZE);  // version
    const uint32_t type = Take(cap);
    if (type == ARROW_CAP) {
        return Skip(cap, ARROW_CAP_SIZE);
    }
    if (type != DEFAULT_CAP) {
        return false;
    }
    // Wine's player reads a path after the fixed data whatever the flags.
    const uint32_t flags = Take(cap);
    if ((flags & (CAP_FILL_PATH | CAP_LINE_PATH)) == 0) {
        return false;
    }
    Skip(cap, DEFAULT_CAP_SIZE - FIELD_SIZE);
    if ((flags & CAP_FILL_PATH) != 0) {
        SkipLengthPath(cap);
    }
    if ((flags & CAP_LINE_PATH) != 0) {
        SkipLengthPath(cap);
    }
    return Ends(cap);
}

// A custom cap announced by a 32-bit size.
bool SkipSizedCap(Cursor& cursor)
{
    const uint32_t size = Take(cursor);
    return Ends(cursor) && IsCustomCapSound(TakeSpan(cursor, size));
}

bool IsPenSound(Cursor pen, uint32_t nesting)
{
    Skip(pen, PEN_FIXED_SIZE);
    if (!Ends(pen)) {
        return false;
    }
    const uint32_t flags = ReadUint32(pen.bytes + EMFPLUS_PEN_PENDATAFLAGS);
    if ((flags & PEN_TRANSFORM) != 0) {
        Skip(pen, MATRIX_SIZE);
    }
    for (uint32_t field : PEN_FIELDS_BEFORE_DASHES) {
        if ((flags & field) != 0) {
            Skip(pen, FIELD_SIZE);
        }
    }
    if ((flags & PEN_DASHED_LINE) != 0) {
        SkipArray(pen, Take(pen), FIELD_SIZE);
    }
    if ((flags & PEN_NON_CENTER) != 0) {
        Skip(pen, FIELD_SIZE);
    }
    if ((flags & PEN_COMPOUND_LINE) != 0) {
        SkipArray(pen, Take(pen), FIELD_SIZE);
    }
    if ((flags & PEN_CUSTOM_START_CAP) != 0 && !SkipSizedCap(pen)) {
        return false;
    }
    if ((flags & PEN_CUSTOM_END_CAP) != 0 && !SkipSizedCap(pen)) {
        return false;
    }
    return Ends(pen) && IsBrushSound(TakeSpan(pen, pen.size - pen.at), nesting);
}

// The region's node tree, walked without recursion: open holds, for each
// combining node above the next one, how many of its two children are
// still to come.
bool IsRegionSound(Cursor region)
{
    Skip(region, REGION_FIXED_SIZE);
    std::vector<uint8_t> open;
    do {
        const uint32_t type = Take(region);
        if (type >= REGION_COMBINE_FIRST && type <= REGION_COMBINE_LAST) {
            if (open.size() >= REGION_DEPTH_LIMIT) {
                return false;
            }
            open.push_back(REGION_CHILDREN);
            continue;
        }
        if (type == REGION_RECT) {
            Skip(region, RECT_F_SIZE);
        } else if (type == REGION_PATH) {
            SkipLengthPath(region);
        } else if (type != REGION_EMPTY && type != REGION_INFINITE) {
            return false;
        }
        while (!open.empty() && --open.back() == 0) {
            open.pop_back();
        }
    } while (!open.empty() && Ends(region));
    return Ends(region);
}

bool IsBitmapSound(Cursor bitmap)
{
    const uint32_t width = Take(bitmap);
    const uint32_t height = Take(bitmap);
    const uint32_t stride = Take(bitmap);
    const uint32_t format = Take(bitmap);
    const uint32_t type = Take(bitmap);
    if (!Ends(bitmap)) {
        return false;
    }
    if (type == BITMAP_COMPRESSED) {
        return bitmap.at < bitmap.size;
    }
    if (type != BITMAP_PIXELS) {
        return false;
    }
    const uint64_t bits = (format >> PIXEL_FORMAT_BITS_SHIFT) & PIXEL_FORMAT_BITS_MASK;
    if (width == 0 || height == 0 || bits == 0 ||
        stride < (static_cast<uint64_t>(width) * bits + BITS_PER_BYTE - 1) / BITS_PER_BYTE) {
        return false;
    }
    if ((format & PIXEL_FORMAT_INDEXED) != 0) {
        Skip(bitmap, FIELD_SIZE);  // palette flags
        SkipArray(bitmap, Take(bitmap), COLOUR_SIZE);
    }
    return SkipArray(bitmap, height, stride);
}

bool IsMetafileImageSound(Cursor image, uint32_t nesting)
{
    const uint32_t type = Take(image);
    const uint32_t size = Take(image);
    if (type < METAFILE_TYPE_EMF || type > METAFILE_TYPE_EMF_PLUS_DUAL || nesting == 0) {
        return false;
    }
    const Cursor data = TakeSpan(image, size);
    return Ends(data) && AreMetafileBytesSound(data.bytes, data.size, nesting - 1);
}

bool IsImageSound(Cursor image, uint32_t nesting)
{
    Skip(image, FIELD_SIZE);  // version
    const uint32_t type = Take(image);
    if (!Ends(image)) {
        return false;
    }
    const Cursor data = TakeSpan(image, image.size - image.at);
    if (type == BITMAP_IMAGE) {
        return IsBitmapSound(data);
    }
    return type == METAFILE_IMAGE && IsMetafileImageSound(data, nesting);
}

bool IsFontSound(Cursor font)
{
    Skip(font, FONT_FIXED_SIZE);
    return Ends(font) && SkipArray(font, ReadUint32(font.bytes + EMFPLUS_FONT_LENGTH), CHAR_SIZE);
}

bool IsStringFormatSound(Cursor format)
{
    Skip(format, STRING_FORMAT_FIXED_SIZE);
    if (!Ends(format)) {
        return false;
    }
    SkipArray(format, ReadUint32(format.bytes + EMFPLUS_STRINGFORMAT_TABSTOPCOUNT), FIELD_SIZE);
    SkipArray(format, ReadUint32(format.bytes + EMFPLUS_STRINGFORMAT_RANGECOUNT), RANGE_SIZE);
    return Ends(format);
}

}  // namespace

bool IsObjectSound(uint8_t type, Cursor object, uint32_t nesting)
{
    switch (type) {
        case BRUSH:
            return IsBrushSound(object, nesting);
        case PEN:
            return IsPenSound(object, nesting);
        case PATH:
            return IsPathSound(object);
        case REGION:
            return IsRegionSound(object);
        case IMAGE:
            return IsImageSound(object, nesting);
        case FONT:
            return IsFontSound(object);
        case STRING_FORMAT:
            return IsStringFormatSound(object);
        case IMAGE_ATTRIBUTES:
            return Skip(object, IMAGE_ATTRIBUTES_SIZE);
        case CUSTOM_LINE_CAP:
            return IsCustomCapSound(object);
        default:
            return false;
    }
}

}  // namespace emf_plus
