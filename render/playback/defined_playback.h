// Records the platform's own player reads wrongly under Wine, played as the
// platform defines them: an EXTCREATEPEN, whose 32-bit pen a 64-bit player
// reads as its own wider EXTLOGPEN and never makes, is made here from the
// record's own layout; a fixed metric mapping mode, which the player scales
// by the device it draws on, is played with the metafile's reference device;
// a symbol font's text is drawn at the font's own codes where the font has
// glyphs only there (Wine's own Symbol has no glyphs at the codes Windows
// records its text at).
// On Windows the result is that of the platform's own playback. The job's
// faithful playback and the tests' raster reference both play every record
// that passed the record check through here.
#pragma once

#include <windows.h>

#include "driver/record_readers.h"

// What one playback goes by: the metafile's reference device, from its
// header, and the mapping state the records have set so far.
struct DefinedPlayback {
    ReferenceDevice reference;
    MetricMapping mapping;
};

// Plays one record as PlayEnhMetaFileRecord does, but as the platform
// defines it where the player reads it wrongly.
void PlayRecordAsDefined(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                         UINT handleCount, DefinedPlayback& playback);
