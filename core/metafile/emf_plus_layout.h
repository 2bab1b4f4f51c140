// Where the fields of EMF+ records and objects lie, each written here once.
// A constant is named after the record or object and the field as the
// EMF+ format names them, EMFPLUS_<RECORD>_<FIELD>; a record's fields are
// counted from the start of its data (after the 12-byte record header), an
// object's from the start of the object. Where several kinds of record
// share a layout, the constant is named after the first of them in type
// order and its comment lists the others. The platform has no structures
// for them to be checked against.
#pragma once

#include <cstdint>

// Every EMF+ record: Type and Flags (16 bits each), Size, DataSize, then
// the data.
constexpr uint32_t EMFPLUS_RECORD_TYPE = 0;
constexpr uint32_t EMFPLUS_RECORD_FLAGS = 2;
constexpr uint32_t EMFPLUS_RECORD_SIZE = 4;
constexpr uint32_t EMFPLUS_RECORD_DATASIZE = 8;
constexpr uint32_t EMFPLUS_RECORD_DATA = 12;

// Records that fill keep their brush id (or, under the S flag, a colour)
// first.
constexpr uint32_t EMFPLUS_FILLRECTS_BRUSHID = 0;
// Records that start with a brush or a pen id, then a count (FillRects;
// FillPolygon and DrawClosedCurve, whose second field is a count too).
constexpr uint32_t EMFPLUS_FILLRECTS_COUNT = 4;
// Records whose count comes first (DrawRects, DrawLines, DrawBeziers).
constexpr uint32_t EMFPLUS_DRAWRECTS_COUNT = 0;
// FillClosedCurve: brush, tension, count.
constexpr uint32_t EMFPLUS_FILLCLOSEDCURVE_COUNT = 8;
// DrawCurve: tension, offset, segments, count.
constexpr uint32_t EMFPLUS_DRAWCURVE_OFFSET = 4;
constexpr uint32_t EMFPLUS_DRAWCURVE_NUMSEGMENTS = 8;
constexpr uint32_t EMFPLUS_DRAWCURVE_COUNT = 12;
// DrawImage and DrawImagePoints: image attributes id, unit, source
// rectangle; DrawImagePoints then a count.
constexpr uint32_t EMFPLUS_DRAWIMAGE_IMAGEATTRIBUTESID = 0;
constexpr uint32_t EMFPLUS_DRAWIMAGEPOINTS_COUNT = 24;
// DrawPath: the pen id.
constexpr uint32_t EMFPLUS_DRAWPATH_PENID = 0;
// DrawString: brush, format id, length, layout rectangle.
constexpr uint32_t EMFPLUS_DRAWSTRING_FORMATID = 4;
constexpr uint32_t EMFPLUS_DRAWSTRING_LENGTH = 8;
// BeginContainer: destination, then source rectangle (x, y, width, height).
constexpr uint32_t EMFPLUS_BEGINCONTAINER_SRCRECT_WIDTH = 24;
constexpr uint32_t EMFPLUS_BEGINCONTAINER_SRCRECT_HEIGHT = 28;
// DrawDriverString: brush, options, whether a matrix follows, glyph count.
constexpr uint32_t EMFPLUS_DRAWDRIVERSTRING_MATRIXPRESENT = 8;
constexpr uint32_t EMFPLUS_DRAWDRIVERSTRING_GLYPHCOUNT = 12;
// SerializableObject: the object's GUID, then its buffer's size.
constexpr uint32_t EMFPLUS_SERIALIZABLEOBJECT_BUFFERSIZE = 16;

// Objects: a pen's PenDataFlags (after version and type), a font's name
// length, a string format's tab stop and range counts.
constexpr uint32_t EMFPLUS_PEN_PENDATAFLAGS = 8;
constexpr uint32_t EMFPLUS_FONT_LENGTH = 20;
constexpr uint32_t EMFPLUS_STRINGFORMAT_TABSTOPCOUNT = 52;
constexpr uint32_t EMFPLUS_STRINGFORMAT_RANGECOUNT = 56;
