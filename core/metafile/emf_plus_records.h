// The walk of a metafile's EMF+ records and the check of each by its kind
// (emf_plus_records.cpp), for the objects' check and the renderer rule.
// Internal to the metafile library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "metafile/emf_plus_cursor.h"
#include "metafile/emf_records.h"

namespace emf_plus {

// EMF+ record types.
constexpr uint16_t EMF_PLUS_HEADER = 0x4001;
constexpr uint16_t EMF_PLUS_END_OF_FILE = 0x4002;
constexpr uint16_t EMF_PLUS_COMMENT = 0x4003;
constexpr uint16_t EMF_PLUS_GET_DC = 0x4004;
constexpr uint16_t EMF_PLUS_OBJECT = 0x4008;
constexpr uint16_t EMF_PLUS_CLEAR = 0x4009;
constexpr uint16_t EMF_PLUS_FILL_RECTS = 0x400A;
constexpr uint16_t EMF_PLUS_DRAW_RECTS = 0x400B;
constexpr uint16_t EMF_PLUS_FILL_POLYGON = 0x400C;
constexpr uint16_t EMF_PLUS_DRAW_LINES = 0x400D;
constexpr uint16_t EMF_PLUS_FILL_ELLIPSE = 0x400E;
constexpr uint16_t EMF_PLUS_DRAW_ELLIPSE = 0x400F;
constexpr uint16_t EMF_PLUS_FILL_PIE = 0x4010;
constexpr uint16_t EMF_PLUS_DRAW_PIE = 0x4011;
constexpr uint16_t EMF_PLUS_DRAW_ARC = 0x4012;
constexpr uint16_t EMF_PLUS_FILL_REGION = 0x4013;
constexpr uint16_t EMF_PLUS_FILL_PATH = 0x4014;
constexpr uint16_t EMF_PLUS_DRAW_PATH = 0x4015;
constexpr uint16_t EMF_PLUS_FILL_CLOSED_CURVE = 0x4016;
constexpr uint16_t EMF_PLUS_DRAW_CLOSED_CURVE = 0x4017;
constexpr uint16_t EMF_PLUS_DRAW_CURVE = 0x4018;
constexpr uint16_t EMF_PLUS_DRAW_BEZIERS = 0x4019;
constexpr uint16_t EMF_PLUS_DRAW_IMAGE = 0x401A;
constexpr uint16_t EMF_PLUS_DRAW_IMAGE_POINTS = 0x401B;
constexpr uint16_t EMF_PLUS_DRAW_STRING = 0x401C;
constexpr uint16_t EMF_PLUS_SET_RENDERING_ORIGIN = 0x401D;
constexpr uint16_t EMF_PLUS_SET_ANTI_ALIAS_MODE = 0x401E;
constexpr uint16_t EMF_PLUS_SET_TEXT_RENDERING_HINT = 0x401F;
constexpr uint16_t EMF_PLUS_SET_TEXT_CONTRAST = 0x4020;
constexpr uint16_t EMF_PLUS_SET_INTERPOLATION_MODE = 0x4021;
constexpr uint16_t EMF_PLUS_SET_PIXEL_OFFSET_MODE = 0x4022;
constexpr uint16_t EMF_PLUS_SET_COMPOSITING_MODE = 0x4023;
constexpr uint16_t EMF_PLUS_SET_COMPOSITING_QUALITY = 0x4024;
constexpr uint16_t EMF_PLUS_SAVE = 0x4025;
constexpr uint16_t EMF_PLUS_RESTORE = 0x4026;
constexpr uint16_t EMF_PLUS_BEGIN_CONTAINER = 0x4027;
constexpr uint16_t EMF_PLUS_BEGIN_CONTAINER_NO_PARAMS = 0x4028;
constexpr uint16_t EMF_PLUS_END_CONTAINER = 0x4029;
constexpr uint16_t EMF_PLUS_SET_WORLD_TRANSFORM = 0x402A;
constexpr uint16_t EMF_PLUS_RESET_WORLD_TRANSFORM = 0x402B;
constexpr uint16_t EMF_PLUS_MULTIPLY_WORLD_TRANSFORM = 0x402C;
constexpr uint16_t EMF_PLUS_TRANSLATE_WORLD_TRANSFORM = 0x402D;
constexpr uint16_t EMF_PLUS_SCALE_WORLD_TRANSFORM = 0x402E;
constexpr uint16_t EMF_PLUS_ROTATE_WORLD_TRANSFORM = 0x402F;
constexpr uint16_t EMF_PLUS_SET_PAGE_TRANSFORM = 0x4030;
constexpr uint16_t EMF_PLUS_RESET_CLIP = 0x4031;
constexpr uint16_t EMF_PLUS_SET_CLIP_RECT = 0x4032;
constexpr uint16_t EMF_PLUS_SET_CLIP_PATH = 0x4033;
constexpr uint16_t EMF_PLUS_SET_CLIP_REGION = 0x4034;
constexpr uint16_t EMF_PLUS_OFFSET_CLIP = 0x4035;
constexpr uint16_t EMF_PLUS_DRAW_DRIVER_STRING = 0x4036;
constexpr uint16_t EMF_PLUS_STROKE_FILL_PATH = 0x4037;
constexpr uint16_t EMF_PLUS_SERIALIZABLE_OBJECT = 0x4038;

// How many levels deep metafile images may hold metafile images.
constexpr uint32_t NESTING_LIMIT = 4;

// One EMF+ record, as a check function sees it.
struct PlusRecord {
    uint16_t type;
    uint16_t flags;
    Cursor data;  // exactly the record's DataSize bytes
};

// The EMF+ data of a GDICOMMENT record, after the signature, or none (a
// failed cursor).
Cursor ReadEmfPlusData(const uint8_t* record, const RecordSpan& span);

// The next record of an EMF+ comment's data: Size at least the header, a
// multiple of 4 and inside the data, DataSize within Size. False at the end
// or at a record that breaks these rules (data then fails).
bool TakePlusRecord(Cursor& comment, PlusRecord& record);

// A metafile image GDI+ plays: GDI+ plays its GDI records (those in GetDC
// spans, and Wine's player those before the first EMF+ record) through the
// platform's unchecked player, and its EMF+ records itself, so every record
// must be one the playback may play (DepthAfterPlayable) and the EMF+
// records must be sound.
bool AreMetafileBytesSound(const uint8_t* metafile, size_t size, uint32_t nesting);

}  // namespace emf_plus
