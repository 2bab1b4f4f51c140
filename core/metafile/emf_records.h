// Checks of an enhanced metafile's bytes before the platform plays it.
//
// The platform's metafile player (PlayEnhMetaFileRecord; Wine's above all)
// trusts every record: it reads counted arrays, strings and bitmaps wherever
// a record's counts and offsets point and looks handle indices up in its
// handle table unchecked, so one bad record crashes the program. These pure
// functions decide, on bytes alone, whether a metafile's header and record
// chain hold together and whether one record is safe to play. Every offset
// and count is checked with 64-bit sums, inside the record's own nSize.
//
// Checked, by a table with one entry per record kind (emf_records.cpp):
// - every record: nSize at least 8, a multiple of 4, not beyond the bytes
//   available, and at least the fixed part the player reads for its kind
//   (every kind listed below and every simple state or drawing record:
//   SETMAPMODE, MOVETOEX, RECTANGLE, SETWORLDTRANSFORM and the like);
// - counted arrays inside the record: POLYBEZIER, POLYGON, POLYLINE,
//   POLYBEZIERTO, POLYLINETO and their 16-bit forms, POLYDRAW and
//   POLYDRAW16 (points and type bytes), POLYPOLYLINE, POLYPOLYGON and their
//   16-bit forms (the counts' sum within the points), SETPALETTEENTRIES,
//   CREATEPALETTE, GDICOMMENT, GLSRECORD, GLSBOUNDEDRECORD, DRAWESCAPE,
//   EXTESCAPE, SETLINKEDUFIS, CREATECOLORSPACEW's data, EXTCREATEPEN's style
//   entries, GRADIENTFILL (vertices, and rectangles or triangles whose
//   vertex numbers must name a vertex);
// - text inside the record: EXTTEXTOUTA/W (string, and advances unless
//   offDx is 0, twice as many with ETO_PDY), POLYTEXTOUTA/W (every text; the
//   player reads their advances even at offDx 0), SMALLTEXTOUT (clip
//   rectangle unless ETO_NO_RECT, 8-bit characters with ETO_SMALL_CHARS);
// - regions: FILLRGN, FRAMERGN, INVERTRGN, PAINTRGN need region data inside
//   the record with a 32-byte header whose rectangles fit the data;
//   EXTSELECTCLIPRGN the same, or no data at all with no room for a header
//   after its fixed part (the player reads a header whenever one fits);
// - bitmaps: BITBLT, STRETCHBLT, MASKBLT and PLGBLT (source and mask),
//   SETDIBITSTODEVICE, STRETCHDIBITS, ALPHABLEND, TRANSPARENTBLT,
//   CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT: the header and colour table
//   inside cbBmi at offBmi, the pixels ComputeSplitDibLayout needs inside
//   cbBits at offBits, both inside the record. BITBLT and STRETCHBLT may
//   carry no bitmap (offBmi and cbBmi both 0, e.g. PATCOPY); EXTCREATEPEN's
//   brush bitmap is only kept inside the record (the player ignores it);
// - handle indices: objects are created (CREATEPEN, CREATEBRUSHINDIRECT,
//   EXTCREATEFONTINDIRECTW, CREATEPALETTE, CREATECOLORSPACE,
//   CREATECOLORSPACEW, CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT,
//   EXTCREATEPEN) at 1 .. handleCount - 1; DELETEOBJECT, SETCOLORSPACE,
//   DELETECOLORSPACE, SETPALETTEENTRIES, RESIZEPALETTE, COLORCORRECTPALETTE
//   and the brushes of FILLRGN and FRAMERGN name an entry 1 .. handleCount - 1
//   (entry 0 is the metafile itself; a stock object is refused there);
//   SELECTOBJECT names an entry or a stock object (0x80000000 | n, n <= 19);
//   SELECTPALETTE an entry or the stock default palette (0x8000000F), which
//   the player resolves as a stock object and metafiles written by Windows
//   select before they end.
//
// Passed with the generic rules only: record types the table does not know
// (0, 69, 107, 117, above 122), which the player ignores. Kinds the player
// reads only in their fixed fields pass once they hold that fixed part;
// EOF, NAMEDESCAPE, SETICMPROFILEA/W and COLORMATCHTOTARGETW, whose data the
// player does not read, are held to their fixed part too. A header record
// passes the record check (the player ignores it); a header anywhere but at
// the start breaks the chain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The smallest header record, and the smallest record of any kind.
constexpr uint32_t EMF_SMALLEST_HEADER_SIZE = 88;
constexpr uint32_t EMF_RECORD_HEADER_SIZE = 8;

// The device a metafile was recorded against, whose pixels are the
// metafile's device units: its size in pixels (szlDevice) and in
// millimetres (szlMillimeters).
struct ReferenceDevice {
    int32_t pixelsAcross;
    int32_t pixelsDown;
    int32_t millimetresAcross;
    int32_t millimetresDown;
};

// Fields of a metafile's header record.
struct MetafileHeader {
    uint32_t size;         // nBytes: the metafile's length, all records included
    uint32_t recordCount;  // nRecords
    uint32_t handleCount;  // nHandles: handle-table entries, entry 0 being the metafile
    ReferenceDevice reference;
};

// Reads the header record at the start of file (fileSize bytes). False,
// leaving header unspecified, unless it is plausible: type 1, nSize at least
// 88, a multiple of 4 and inside nBytes, the " EMF" signature, nBytes a
// multiple of 4 and at most fileSize, nRecords 1 .. nBytes / 8 and nHandles
// (16 bits) at least 1.
bool ReadMetafileHeader(const uint8_t* file, size_t fileSize, MetafileHeader& header);

// One record's place in a metafile.
struct RecordSpan {
    size_t offset;  // from the start of the metafile
    uint32_t type;
    uint32_t size;  // nSize
};

// Reads the type and size of the record at offset in a metafile of
// metafileSize bytes. False unless its 8-byte start lies inside and its nSize
// is at least 8, a multiple of 4 and within the metafile.
bool ReadRecordAt(const uint8_t* metafile, size_t metafileSize, size_t offset, RecordSpan& record);

// Whether a record read by ReadRecordAt may stand where it stands in the
// chain: a header first and nowhere else.
bool StandsInChain(const RecordSpan& record);

// Whether the records tile the metafile from its start to metafileSize (pass
// the header's nBytes): each readable by ReadRecordAt, a header first and
// nowhere else. The walk goes on past an EOF record, as the platform's
// enumeration does, so that every record it will meet has a sound size.
bool IsRecordChainIntact(const uint8_t* metafile, size_t metafileSize);

// Whether the record at record is safe to hand to the player. available is
// the number of bytes readable there (the caller's bound: the record's nSize
// as enumeration hands it over, or the bytes left in the metafile); a record
// whose nSize exceeds it is refused, and nothing past nSize is read.
// handleCount is the header's nHandles (EnumEnhMetaFile's object count).
bool IsRecordSafe(const uint8_t* record, size_t available, uint32_t handleCount);

// The metafile's own saved device-context states while it plays: SAVEDC
// adds one, RESTOREDC goes back |iRelative| of them. A RESTOREDC that is not
// relative (iRelative 0 or more) or reaches further back than the metafile
// saved would restore a state saved before the playback began, and with it
// undo the clipping around the picture (Wine's player then even walks off
// its own list of states). SaveDepthAfter returns the depth after a record
// that passed IsRecordSafe, or no depth when a RESTOREDC must be skipped.
std::optional<uint32_t> SaveDepthAfter(const uint8_t* record, uint32_t depth);

// The record filter of every playback of a metafile: a record may be played
// when it passes IsRecordSafe and SaveDepthAfter gives a depth after it.
// Returns that depth, or none for a record to skip.
std::optional<uint32_t> DepthAfterPlayable(const uint8_t* record, size_t available,
                                           uint32_t handleCount, uint32_t depth);
