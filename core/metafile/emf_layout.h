// Where the fields of enhanced-metafile records lie: each field's offset
// from the start of its record (or of the structure that holds it), written
// here once. A constant is named after the record and the field as the
// platform's structures name them, EMR_<RECORD>_<FIELD> (EMR_BITBLT_DWROP
// is offsetof(EMRBITBLT, dwRop)), and after the structure for structures
// that records hold, <STRUCTURE>_<FIELD> (EMRTEXT_NCHARS). Where several
// kinds of record share a layout, the constant is named after the first
// of them in type order and its comment lists the others.
//
// The Windows builds check every offset against the platform's own
// structures (core/tests/emf_layout_check.cpp). The platform's headers
// define the record types as EMR_* macros: this header names no record
// type on its own, so that it can be included beside them.
#pragma once

#include <cstdint>

// Every record (EMR): its type and its size.
constexpr uint32_t EMR_ITYPE = 0;
constexpr uint32_t EMR_NSIZE = 4;

// HEADER (ENHMETAHEADER).
constexpr uint32_t EMR_HEADER_RCLFRAME = 24;
constexpr uint32_t EMR_HEADER_DSIGNATURE = 40;
constexpr uint32_t EMR_HEADER_NBYTES = 48;
constexpr uint32_t EMR_HEADER_NRECORDS = 52;
constexpr uint32_t EMR_HEADER_NHANDLES = 56;
// The reference device: its size in pixels (szlDevice), then in
// millimetres (szlMillimeters), each a SIZEL.
constexpr uint32_t EMR_HEADER_SZLDEVICE = 72;
constexpr uint32_t EMR_HEADER_SZLMILLIMETERS = 80;
constexpr uint32_t SIZEL_CX = 0;
constexpr uint32_t SIZEL_CY = 4;

// POLYBEZIER, POLYGON, POLYLINE, POLYBEZIERTO, POLYLINETO, their 16-bit
// forms and POLYDRAW, POLYDRAW16: the point count, then the points.
constexpr uint32_t EMR_POLYBEZIER_CPTL = 24;
constexpr uint32_t EMR_POLYBEZIER_APTL = 28;

// POLYPOLYLINE, POLYPOLYGON and their 16-bit forms: the polylines, the
// points, the polylines' point counts (then the points).
constexpr uint32_t EMR_POLYPOLYLINE_NPOLYS = 24;
constexpr uint32_t EMR_POLYPOLYLINE_CPTL = 28;
constexpr uint32_t EMR_POLYPOLYLINE_APOLYCOUNTS = 32;

// SETPIXELV.
constexpr uint32_t EMR_SETPIXELV_PTLPIXEL = 8;
constexpr uint32_t EMR_SETPIXELV_CRCOLOR = 16;
constexpr uint32_t EMR_SETPIXELV_SIZE = 20;

// RESTOREDC: how many saved states back, as a negative number.
constexpr uint32_t EMR_RESTOREDC_IRELATIVE = 8;

// SETMAPMODE's iMode (SETBKMODE and the other single-value settings keep
// theirs there too).
constexpr uint32_t EMR_SETMAPMODE_IMODE = 8;
constexpr uint32_t EMR_SETMAPMODE_SIZE = 12;

// SETWINDOWEXTEX's extent, a SIZEL (SETVIEWPORTEXTEX's too).
constexpr uint32_t EMR_SETWINDOWEXTEX_SZLEXTENT = 8;
constexpr uint32_t EMR_SETWINDOWEXTEX_SIZE = 16;

// SELECTOBJECT's ihObject: every record that creates, selects or deletes
// an object keeps its handle index there (CREATEPEN, CREATEBRUSHINDIRECT,
// DELETEOBJECT, SELECTPALETTE, CREATEPALETTE, SETPALETTEENTRIES,
// RESIZEPALETTE, EXTCREATEFONTINDIRECTW, CREATEMONOBRUSH,
// CREATEDIBPATTERNBRUSHPT, EXTCREATEPEN, CREATECOLORSPACE, SETCOLORSPACE,
// DELETECOLORSPACE, COLORCORRECTPALETTE, CREATECOLORSPACEW).
constexpr uint32_t EMR_SELECTOBJECT_IHOBJECT = 8;

// CREATEPEN: the pen's LOGPEN, and the record's whole size.
constexpr uint32_t EMR_CREATEPEN_LOPN = 12;
constexpr uint32_t EMR_CREATEPEN_SIZE = 28;
constexpr uint32_t LOGPEN_LOPNSTYLE = 0;
constexpr uint32_t LOGPEN_LOPNWIDTH = 4;  // a POINT, whose x is the width
constexpr uint32_t LOGPEN_LOPNCOLOR = 12;

// ANGLEARC.
constexpr uint32_t EMR_ANGLEARC_PTLCENTER = 8;
constexpr uint32_t EMR_ANGLEARC_NRADIUS = 16;
constexpr uint32_t EMR_ANGLEARC_ESTARTANGLE = 20;
constexpr uint32_t EMR_ANGLEARC_ESWEEPANGLE = 24;
constexpr uint32_t EMR_ANGLEARC_SIZE = 28;

// ELLIPSE's box: RECTANGLE, ROUNDRECT, ARC, CHORD, PIE and ARCTO keep
// theirs there too.
constexpr uint32_t EMR_ELLIPSE_RCLBOX = 8;
// ARC's radial points: CHORD, PIE and ARCTO keep theirs there too.
constexpr uint32_t EMR_ARC_PTLSTART = 24;
constexpr uint32_t EMR_ARC_PTLEND = 32;
constexpr uint32_t EMR_ARC_SIZE = 40;

// CREATEPALETTE: its LOGPALETTE, a 16-bit entry count, then the entries.
constexpr uint32_t EMR_CREATEPALETTE_LGPL = 12;
constexpr uint32_t LOGPALETTE_PALNUMENTRIES = 2;
constexpr uint32_t LOGPALETTE_PALPALENTRY = 4;

// SETPALETTEENTRIES.
constexpr uint32_t EMR_SETPALETTEENTRIES_CENTRIES = 16;
constexpr uint32_t EMR_SETPALETTEENTRIES_APLENTRIES = 20;

// GDICOMMENT and GLSRECORD: the data's size, then the data.
constexpr uint32_t EMR_GDICOMMENT_CBDATA = 8;
constexpr uint32_t EMR_GDICOMMENT_DATA = 12;

// FILLRGN, FRAMERGN, INVERTRGN and PAINTRGN: the region data's size; the
// brush of FILLRGN and FRAMERGN; where each keeps the region data.
constexpr uint32_t EMR_FILLRGN_CBRGNDATA = 24;
constexpr uint32_t EMR_FILLRGN_IHBRUSH = 28;
constexpr uint32_t EMR_FILLRGN_RGNDATA = 32;
constexpr uint32_t EMR_FRAMERGN_RGNDATA = 40;
constexpr uint32_t EMR_INVERTRGN_RGNDATA = 28;  // PAINTRGN's too

// EXTSELECTCLIPRGN.
constexpr uint32_t EMR_EXTSELECTCLIPRGN_CBRGNDATA = 8;
constexpr uint32_t EMR_EXTSELECTCLIPRGN_RGNDATA = 16;

// Region data (RGNDATA): a header, whose first field is its own size, then
// the rectangles.
constexpr uint32_t RGNDATAHEADER_DWSIZE = 0;
constexpr uint32_t RGNDATAHEADER_NCOUNT = 8;
constexpr uint32_t RGNDATAHEADER_SIZE = 32;

// BITBLT: the destination, the raster operation and the source bitmap.
// STRETCHBLT, MASKBLT, ALPHABLEND (whose dwRop is the blend function) and
// TRANSPARENTBLT (whose dwRop is the transparent colour) share them.
constexpr uint32_t EMR_BITBLT_XDEST = 24;
constexpr uint32_t EMR_BITBLT_YDEST = 28;
constexpr uint32_t EMR_BITBLT_CXDEST = 32;
constexpr uint32_t EMR_BITBLT_CYDEST = 36;
constexpr uint32_t EMR_BITBLT_DWROP = 40;
constexpr uint32_t EMR_BITBLT_XSRC = 44;
constexpr uint32_t EMR_BITBLT_YSRC = 48;
constexpr uint32_t EMR_BITBLT_IUSAGESRC = 80;
constexpr uint32_t EMR_BITBLT_OFFBMISRC = 84;

// A record's bitmap is four fields in a row, from its offBmi: offBmi,
// cbBmi, offBits, cbBits.
constexpr uint32_t BITMAP_FIELDS_CBBMI = 4;
constexpr uint32_t BITMAP_FIELDS_OFFBITS = 8;
constexpr uint32_t BITMAP_FIELDS_CBBITS = 12;
constexpr uint32_t EMR_BITBLT_CBBMISRC = EMR_BITBLT_OFFBMISRC + BITMAP_FIELDS_CBBMI;

// STRETCHBLT's source extent and whole size (ALPHABLEND's and
// TRANSPARENTBLT's too).
constexpr uint32_t EMR_STRETCHBLT_CXSRC = 100;
constexpr uint32_t EMR_STRETCHBLT_CYSRC = 104;
constexpr uint32_t EMR_STRETCHBLT_SIZE = 108;

// MASKBLT's mask.
constexpr uint32_t EMR_MASKBLT_IUSAGEMASK = 108;
constexpr uint32_t EMR_MASKBLT_OFFBMIMASK = 112;

// PLGBLT's source and mask.
constexpr uint32_t EMR_PLGBLT_IUSAGESRC = 92;
constexpr uint32_t EMR_PLGBLT_OFFBMISRC = 96;
constexpr uint32_t EMR_PLGBLT_IUSAGEMASK = 120;
constexpr uint32_t EMR_PLGBLT_OFFBMIMASK = 124;

// STRETCHDIBITS (its bitmap fields SETDIBITSTODEVICE's too); its xDest and
// yDest lie where BITBLT's do.
constexpr uint32_t EMR_STRETCHDIBITS_XSRC = 32;
constexpr uint32_t EMR_STRETCHDIBITS_YSRC = 36;
constexpr uint32_t EMR_STRETCHDIBITS_CXSRC = 40;
constexpr uint32_t EMR_STRETCHDIBITS_CYSRC = 44;
constexpr uint32_t EMR_STRETCHDIBITS_OFFBMISRC = 48;
constexpr uint32_t EMR_STRETCHDIBITS_IUSAGESRC = 64;
constexpr uint32_t EMR_STRETCHDIBITS_DWROP = 68;
constexpr uint32_t EMR_STRETCHDIBITS_CXDEST = 72;
constexpr uint32_t EMR_STRETCHDIBITS_CYDEST = 76;
constexpr uint32_t EMR_STRETCHDIBITS_SIZE = 80;

// EXTCREATEFONTINDIRECTW: its font, whose LOGFONTW comes first.
constexpr uint32_t EMR_EXTCREATEFONTINDIRECTW_ELFW = 12;
constexpr uint32_t LOGFONTW_LFHEIGHT = 0;

// EXTTEXTOUTA and EXTTEXTOUTW: one text (EMRTEXT).
constexpr uint32_t EMR_EXTTEXTOUTW_EMRTEXT = 36;
constexpr uint32_t EMRTEXT_PTLREFERENCE = 0;
constexpr uint32_t EMRTEXT_NCHARS = 8;
constexpr uint32_t EMRTEXT_OFFSTRING = 12;
constexpr uint32_t EMRTEXT_FOPTIONS = 16;
constexpr uint32_t EMRTEXT_RCL = 20;
constexpr uint32_t EMRTEXT_OFFDX = 36;
constexpr uint32_t EMRTEXT_SIZE = 40;
// Bits of fOptions that decide how the text's arrays are read: an x and a y
// advance per character (ETO_PDY); glyph indices, which the platform reads
// as 16 bits each even in the ANSI records (ETO_GLYPH_INDEX).
constexpr uint32_t TEXT_PAIRED_ADVANCES = 0x2000;
constexpr uint32_t TEXT_GLYPH_INDICES = 0x0010;

// CREATEMONOBRUSH and CREATEDIBPATTERNBRUSHPT.
constexpr uint32_t EMR_CREATEMONOBRUSH_IUSAGE = 12;
constexpr uint32_t EMR_CREATEMONOBRUSH_OFFBMI = 16;

// EXTCREATEPEN: its bitmap, and its pen, laid out as EXTLOGPEN32 whatever
// the platform's word size: style, width, brush style, colour, a 32-bit
// hatch, the style entries' count, then the entries.
constexpr uint32_t EMR_EXTCREATEPEN_OFFBMI = 12;
constexpr uint32_t EMR_EXTCREATEPEN_ELP = 28;
constexpr uint32_t EXTLOGPEN32_ELPPENSTYLE = 0;
constexpr uint32_t EXTLOGPEN32_ELPWIDTH = 4;
constexpr uint32_t EXTLOGPEN32_ELPBRUSHSTYLE = 8;
constexpr uint32_t EXTLOGPEN32_ELPCOLOR = 12;
constexpr uint32_t EXTLOGPEN32_ELPHATCH = 16;
constexpr uint32_t EXTLOGPEN32_ELPNUMENTRIES = 20;
constexpr uint32_t EXTLOGPEN32_ELPSTYLEENTRY = 24;

// POLYTEXTOUTA and POLYTEXTOUTW: the texts' count, then the texts.
constexpr uint32_t EMR_POLYTEXTOUTW_CSTRINGS = 36;
constexpr uint32_t EMR_POLYTEXTOUTW_AEMRTEXT = 40;

// GLSBOUNDEDRECORD.
constexpr uint32_t EMR_GLSBOUNDEDRECORD_CBDATA = 24;
constexpr uint32_t EMR_GLSBOUNDEDRECORD_DATA = 28;

// EXTESCAPE and DRAWESCAPE.
constexpr uint32_t EMR_EXTESCAPE_CBESCDATA = 12;
constexpr uint32_t EMR_EXTESCAPE_ESCDATA = 16;

// SMALLTEXTOUT: the characters' count and the options, then the clip
// rectangle unless ETO_NO_RECT, then the characters. The platform's
// headers have no structure for it.
constexpr uint32_t EMR_SMALLTEXTOUT_CCHARS = 16;
constexpr uint32_t EMR_SMALLTEXTOUT_FUOPTIONS = 20;
constexpr uint32_t EMR_SMALLTEXTOUT_RCLCLIP = 36;

// SETLINKEDUFIS: the count, then the UNIVERSAL_FONT_IDs. The platform's
// headers have no structure for it.
constexpr uint32_t EMR_SETLINKEDUFIS_UNUMLINKEDUFI = 8;
constexpr uint32_t EMR_SETLINKEDUFIS_PUFIS = 12;

// GRADIENTFILL: the counts and the mode, then the vertices (TRIVERTEX)
// and the pieces.
constexpr uint32_t EMR_GRADIENTFILL_NVER = 24;
constexpr uint32_t EMR_GRADIENTFILL_NTRI = 28;
constexpr uint32_t EMR_GRADIENTFILL_ULMODE = 32;
constexpr uint32_t EMR_GRADIENTFILL_VER = 36;
constexpr uint32_t TRIVERTEX_X = 0;
constexpr uint32_t TRIVERTEX_Y = 4;
constexpr uint32_t TRIVERTEX_RED = 8;
constexpr uint32_t TRIVERTEX_GREEN = 10;
constexpr uint32_t TRIVERTEX_BLUE = 12;
constexpr uint32_t TRIVERTEX_ALPHA = 14;
constexpr uint32_t TRIVERTEX_SIZE = 16;

// CREATECOLORSPACEW: the data's size, then the data.
constexpr uint32_t EMR_CREATECOLORSPACEW_CBDATA = 604;
constexpr uint32_t EMR_CREATECOLORSPACEW_DATA = 608;

// Structures records hold: a rectangle's and a point's fields.
constexpr uint32_t RECTL_LEFT = 0;
constexpr uint32_t RECTL_TOP = 4;
constexpr uint32_t RECTL_RIGHT = 8;
constexpr uint32_t RECTL_BOTTOM = 12;
constexpr uint32_t RECTL_SIZE = 16;
constexpr uint32_t POINTL_X = 0;
constexpr uint32_t POINTL_Y = 4;
