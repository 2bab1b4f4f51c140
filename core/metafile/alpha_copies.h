// The alpha blends that Wine's GDI+ writes as opaque copies. Where a device
// cannot blend (a printer, and a metafile recorded against one), GDI+
// draws what it would blend, its antialiased edges, half-transparent fills
// and images with an alpha channel, as a copy (StretchBlt, SRCCOPY) of
// premultiplied 32-bit pixels: the colours come out darkened and opaque.
#pragma once

#include <cstddef>
#include <cstdint>

#include "metafile/emf_records.h"

// Whether the record, span read at it, is such a copy: a STRETCHBLT with
// SRCCOPY and a 32-bit source. In a metafile GDI+ recorded alone every
// copy of a 32-bit source is such a blend.
bool IsCopyWithAlpha(const uint8_t* record, const RecordSpan& span);

// Turns such a copy, in place, back into the alpha blend it stands for: an
// ALPHABLEND record with per-pixel alpha, which has the same size and
// layout. Returns the record's span as it now reads.
RecordSpan RestoreAlphaBlend(uint8_t* record, const RecordSpan& span);
