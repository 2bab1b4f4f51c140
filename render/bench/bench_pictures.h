// The benchmark's pictures: a small metafile, a metafile of 10,000 records
// and a 4000 x 3000 24-bit DIB. The conversion tests use them too.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// A rectangle, an ellipse and a line of text.
HENHMETAFILE CreateSmallMetafile();
// One small rectangle per record, in a grid, plus the header and end records.
HENHMETAFILE CreateManyRecordMetafile();
// A packed 24-bit DIB of 4000 x 3000 pixels in a pattern.
std::vector<uint8_t> CreateLargeDib();
