// EMF+ in enhanced metafiles: the GDI+ records that programs carry in
// GDICOMMENT records whose data begins with the "EMF+" signature, and the
// rule that decides, from a metafile's records alone, whether its picture
// is drawn by the platform's GDI player or by GDI+.
//
// GDI's player skips EMF+ records. A metafile written as EMF+ only, or one
// whose GDI records draw nothing but text (as R's devEMF writes them), shows
// little or nothing there; a dual metafile carries a GDI rendering of the
// whole picture after its EMF+ records, and GDI draws it.
#pragma once

#include <cstddef>
#include <cstdint>

enum class PictureRenderer {
    GDI,       // the metafile's GDI records, as the platform plays them
    GDI_PLUS,  // the metafile's EMF+ records, as GDI+ plays them
};

// Which player draws the picture of a metafile whose header and record chain
// hold together (emf_records.h), size being the header's nBytes. GDI+ only
// when the metafile starts its EMF+ records with an EMF+ header, every EMF+
// record is sound (AreEmfPlusRecordsSound) and its GDI records draw nothing
// but text; GDI otherwise.
PictureRenderer ChooseRenderer(const uint8_t* metafile, size_t size);

// Whether every EMF+ record the metafile carries is safe to hand to GDI+'s
// player: in each EMF+ comment the records tile the comment's data, each
// with a Size of at least 12, a multiple of 4, and a DataSize within it, and
// every object id a record names lies within GDI+'s object table.
bool AreEmfPlusRecordsSound(const uint8_t* metafile, size_t size);
