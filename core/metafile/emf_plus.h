// EMF+ in enhanced metafiles: the GDI+ records that programs carry in
// GDICOMMENT records whose data begins with the "EMF+" signature, and the
// rule that decides, from a metafile's records alone, whether its picture
// is drawn by the platform's GDI player or by GDI+. The checks live by
// what they check: emf_plus_objects.cpp (the objects records define),
// emf_plus_records.cpp (the kind table and the record walk),
// emf_plus_renderer.cpp (the rule); their layouts in emf_plus_layout.h.
//
// GDI's player skips EMF+ records. A metafile written as EMF+ only, or one
// whose GDI records draw nothing but text (as R's devEMF writes them), shows
// little or nothing there; a dual metafile carries a GDI rendering of the
// whole picture after its EMF+ records, and GDI draws it.
//
// The rule. GDI+ draws the picture exactly when
// - the first EMF+ record of the metafile is an EMF+ header (0x4001),
// - some EMF+ record draws (Clear, the Fill and Draw records, DrawImage,
//   DrawImagePoints, DrawString, DrawDriverString, StrokeFillPath),
// - no GDI record draws a shape or an image (text aside) outside the spans
//   that an EMF+ GetDC record opens: the GDI records after a GetDC, up to
//   the next EMF+ record, belong to the EMF+ picture (GDI+ plays them as
//   part of it; GDI alone would draw them without the rest), and
// - every EMF+ record is sound (AreEmfPlusRecordsSound), and every GDI
//   record passes the record check (IsRecordSafe) with each RESTOREDC within
//   the metafile's own saved states (SaveDepthAfter): GDI+ hands the GDI
//   records it plays to the platform's player unchecked.
// GDI draws it otherwise. The header's dual flag does not decide: files
// flagged dual may hold no GDI drawing at all, and a dual file whose GDI
// records draw keeps to GDI whatever its EMF+ records hold.
//
// GDI+ plays GDI records only inside GetDC spans (and, in Wine's player,
// before the first EMF+ record): GDI text outside them, as devEMF writes
// it, is not part of what GDI+ draws.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "metafile/emf_records.h"

enum class PictureRenderer {
    GDI,       // the metafile's GDI records, as the platform plays them
    GDI_PLUS,  // the metafile's EMF+ records, as GDI+ plays them
};

// What a metafile's records draw, for the rule's first three conditions,
// gathered record by record along the chain (the metafile's inspection
// applies the fourth).
struct RendererSurvey {
    bool startsWithHeader;  // the first EMF+ record is an EMF+ header
    bool emfPlusDraws;      // some EMF+ record draws
    bool gdiDraws;          // a GDI shape or image outside GetDC's spans, no-op blits aside
    bool seenEmfPlus;       // an EMF+ comment came
    bool inGetDcSpan;       // the last EMF+ record was a GetDC
};

// The survey after one more record of an intact chain (emf_records.h): span
// read at record.
RendererSurvey SurveyRecord(const RendererSurvey& survey, const uint8_t* record,
                            const RecordSpan& span);

// Whether the surveyed picture lives in its EMF+ records: the rule's first
// three conditions.
bool LivesInEmfPlus(const RendererSurvey& survey);

// Whether every EMF+ record the metafile carries is safe to hand to GDI+'s
// player (GdipPlayMetafileRecord and the enumeration before it, which trust
// sizes, counts and object ids; Wine's multiplies counts in 32 bits and
// reads region trees recursively), all with 64-bit sums and nothing read
// outside the metafile's bytes:
// - each EMF+ comment's data is tiled by records whose Size is at least 12,
//   a multiple of 4 and inside the comment, and whose DataSize is at most
//   Size - 12;
// - every record is of a kind GDI+ plays (types 0x4001-0x4004 and
//   0x4008-0x4038) and holds its kind's fixed data; counted rectangles,
//   points (16-bit under the C flag, 1 or 2 bytes a coordinate under P),
//   characters, glyphs and positions lie inside DataSize; a curve's offset
//   and segments lie inside its points; transforms (world, page, container)
//   hold finite floats, a container a source rectangle that is not empty;
// - object ids: an EmfPlusObject record's id (the low byte of Flags) is
//   below 64, the table's size; every record that names an object, by the
//   low byte of Flags or by a field (pen, brush unless the S flag makes the
//   field a colour, path, region, image, image attributes, font, string
//   format), names one an earlier record defined, of the kind it needs;
// - object payloads: brushes (solid, hatch, texture with its image, linear
//   and path gradients with their optional transform, blends and boundary),
//   pens (the optional data their flags announce, custom caps with their
//   paths, then their brush), paths (points and types inside; run-length
//   coded types refused), regions (a complete node tree at most 1024 deep,
//   paths inside their nodes), bitmaps (a stride that holds a row, rows and
//   palette inside the data; compressed data non-empty), metafile images
//   (EMF only, each a sound metafile by the record check and this one, four
//   levels deep at most), fonts, string formats and image attributes;
// - an object continued over several records (flag 0x8000) repeats its
//   total size and its flags in each piece, comes in records one after the
//   other, and its pieces add up to the total, which the whole object then
//   holds; one left unfinished at the end is refused.
bool AreEmfPlusRecordsSound(const uint8_t* metafile, size_t size);

// GDI+'s object table.
constexpr uint32_t EMF_PLUS_OBJECT_TABLE_SIZE = 64;

// The check of AreEmfPlusRecordsSound carried along a metafile's chain one
// record at a time, for a walk that does more than check: what the records
// before have defined (the object table, and an object whose definition
// continues over several EmfPlusObject records), and whether a record has
// failed.
struct EmfPlusCheck {
    std::array<uint8_t, EMF_PLUS_OBJECT_TABLE_SIZE> objects;
    uint32_t nesting;  // how many more levels of metafile images may follow
    bool continuing;
    uint16_t continuedFlags;
    uint32_t continuedSize;
    std::vector<uint8_t> continued;
    bool failed;
};

// The check before the first record.
EmfPlusCheck StartEmfPlusCheck();

// The check after one more record of the chain (emf_records.h): span read at
// record. Records that carry no EMF+ data pass untouched.
EmfPlusCheck CheckEmfPlusRecord(EmfPlusCheck check, const uint8_t* record, const RecordSpan& span);

// Whether every record checked was sound, and no object is left unfinished.
bool IsEmfPlusCheckSound(const EmfPlusCheck& check);
