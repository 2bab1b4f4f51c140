// The checks of the objects EMF+ records define (brushes, pens, paths,
// regions, images, fonts, string formats, image attributes and custom line
// caps), each on a cursor over exactly the object's bytes. Internal to the
// metafile library.
#pragma once

#include <cstdint>

#include "metafile/emf_plus_cursor.h"

namespace emf_plus {

// The kinds of object in GDI+'s object table.
enum ObjectType : uint8_t {
    NO_OBJECT = 0,
    BRUSH = 1,
    PEN = 2,
    PATH = 3,
    REGION = 4,
    IMAGE = 5,
    FONT = 6,
    STRING_FORMAT = 7,
    IMAGE_ATTRIBUTES = 8,
    CUSTOM_LINE_CAP = 9,
};

// Whether an object of the kind is sound; nesting is how many levels of
// metafile images may still hold metafile images.
bool IsObjectSound(uint8_t type, Cursor object, uint32_t nesting);

}  // namespace emf_plus
