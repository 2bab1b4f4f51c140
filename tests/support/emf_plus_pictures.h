// Metafiles that GDI+ records, as .NET and office programs write them: the
// picture in EMF+ records, which the platform's GDI player skips.
#pragma once

#include <windows.h>

#include <cstdint>

#include "image_compare.h"

enum class EmfPlusDrawing {
    GRADIENT,          // rectangles filled with linear gradient brushes
    ANTIALIASED_PATH,  // an antialiased path, stroked and filled half transparent
    TEXT,              // strings drawn with DrawString
    IMAGE,             // a small bitmap drawn with DrawImage, stretched
    // A disc in EMF+ records and GDI_TEXT in GDI records after an EMF+
    // GetDC record, as R's devEMF writes text.
    GDI_TEXT,
};
constexpr EmfPlusDrawing EMF_PLUS_DRAWINGS[] = {
    EmfPlusDrawing::GRADIENT, EmfPlusDrawing::ANTIALIASED_PATH, EmfPlusDrawing::TEXT,
    EmfPlusDrawing::IMAGE, EmfPlusDrawing::GDI_TEXT};
// No spaces: each of its characters is one glyph drawn.
constexpr char GDI_TEXT[] = "GDI-text";
const char* NameOf(EmfPlusDrawing drawing);

// EMF+ records only, or dual: EMF+ records that say a GDI rendering follows.
enum class EmfPlusKind { ONLY, DUAL };
const char* NameOf(EmfPlusKind kind);

// The drawing recorded by GDI+ against the screen with the given frame
// (hundredths of a millimetre), the drawing filling it; null when GDI+
// cannot record it. GDI+ must be started.
HENHMETAFILE RecordEmfPlusPicture(EmfPlusDrawing drawing, EmfPlusKind kind, const RECT& frame);

// The dual drawing as GDI+ writes some: after its EMF+ records, the GDI
// rendering is a blit that leaves the page alone between a SAVEDC and a
// RESTOREDC, which a GDI player draws as nothing. Null when GDI+ cannot
// record the drawing.
HENHMETAFILE RecordMarkedDualPicture(EmfPlusDrawing drawing, const RECT& frame);

// The metafile as GDI+ plays it over the whole of a white 24-bit DIB
// section of width x height pixels, in grey; an empty image when GDI+
// cannot play it. GDI+ must be started.
GrayImage PlayThroughGdiPlus(HENHMETAFILE metafile, int32_t width, int32_t height);
