// A small deterministic mutator of enhanced metafiles, for soaking the
// conversion job in damaged input: the same seed always gives the same file.
#pragma once

#include <cstdint>
#include <vector>

// A copy of the metafile with a few fields of its records changed: values
// set to edge cases (zero, all ones, stock-object indices, sizes just past
// the record), bits flipped, a record's type or size changed; in a metafile
// that carries EMF+ records in GDICOMMENT records, also an EMF+ record's
// Size, DataSize, object id, flag bits or data. From seed 1000000 on, also
// a record's type turned into a box-shaped record's (ARC, ELLIPSE and the
// like) that keeps the record's size, and two fields that may make a point
// set to INT_MIN. The length stays the same, and below that seed a
// metafile without EMF+ records mutates as it always has.
std::vector<uint8_t> MutateMetafile(const std::vector<uint8_t>& metafile, uint64_t seed);
