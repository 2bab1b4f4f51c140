// What the job knows of a metafile before it plays it, from one walk of its
// bytes: the header and its frame, whether the record chain holds, which
// records may be played (the record check and the saved-state rule of
// DepthAfterPlayable, applied once for every playback), the blits that need
// a backdrop on the device, and which player draws the picture (the rule of
// emf_plus.h). Records are named by their offset from the start of the
// metafile, which is where the platform's enumeration hands them over too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "driver/record_readers.h"
#include "metafile/emf_plus.h"
#include "metafile/emf_records.h"

// Why an inspection refused a metafile, REFUSED_NONE when it did not.
enum class InspectionRefusal {
    REFUSED_NONE,
    NO_HEADER,             // fewer bytes than a header, or no header record first
    HEADER_NOT_PLAUSIBLE,  // a header record that ReadMetafileHeader refuses
    CHAIN_BROKEN,          // the records do not tile the metafile (IsRecordChainIntact)
};

// The header's rclFrame: the picture's natural size, in hundredths of a
// millimetre.
struct MetafileFrame {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A blit that the backdrop stands in for: its record's offset, and its
// destination as ReadBlitNeedingBackdrop reads it.
struct BackdropBlit {
    size_t offset;
    BlitDestination destination;
};

// Everything but refusal is empty or false when the inspection refused.
struct MetafileInspection {
    InspectionRefusal refusal;
    MetafileHeader header;
    MetafileFrame frame;
    std::vector<size_t> playable;             // the records that may be played, in order
    std::vector<size_t> skipped;              // the others, in order
    std::vector<BackdropBlit> backdropBlits;  // of those played, the blits that need a backdrop
    // Whether the picture lives in its EMF+ records with no record skipped
    // and every EMF+ record sound (AreEmfPlusRecordsSound, checked along
    // the same walk): the whole rule; false otherwise.
    bool emfPlusSound;
    PictureRenderer renderer;
    // Whether every record between the header and the end-of-file record is
    // a comment: a playback of the metafile's GDI records draws nothing.
    bool onlyComments;
};

// Inspects the size bytes of metafile for a device of these SHADEBLENDCAPS.
MetafileInspection InspectMetafile(const uint8_t* metafile, size_t size, uint32_t shadeBlendCaps);

// A metafile that GDI+ recorded alone, with the copies that stand for alpha
// blends restored (alpha_copies.h) as the one walk meets them, and its
// inspection, made of the restored records.
struct InspectedRecording {
    std::vector<uint8_t> bytes;
    MetafileInspection inspection;
};
InspectedRecording InspectRecording(std::vector<uint8_t> recorded, uint32_t shadeBlendCaps);

// Whether the record at offset may be played.
bool MayPlay(const MetafileInspection& inspection, size_t offset);

// The destination of the blit at offset when the backdrop stands in for it.
std::optional<BlitDestination> FindBackdropBlit(const MetafileInspection& inspection,
                                                size_t offset);
