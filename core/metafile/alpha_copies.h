// The alpha blends that Wine's GDI+ writes as opaque copies. Where a device
// cannot blend (a printer, and a metafile recorded against one), GDI+
// draws what it would blend, its antialiased edges, half-transparent fills
// and images with an alpha channel, as a copy (StretchBlt, SRCCOPY) of
// premultiplied 32-bit pixels: the colours come out darkened and opaque.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The metafile, whose header and record chain hold together and of which
// size is the header's nBytes, with every such copy turned back into the
// alpha blend it stands for: each STRETCHBLT record with SRCCOPY and a
// 32-bit source becomes an ALPHABLEND record with per-pixel alpha, which
// has the same size and layout. Meant for a metafile GDI+ recorded alone:
// there every copy of a 32-bit source is such a blend.
std::vector<uint8_t> RestoreAlphaBlends(const uint8_t* metafile, size_t size);
