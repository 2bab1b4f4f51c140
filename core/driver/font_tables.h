// The glyphs a TrueType font has, from its tables: a glyph index at or past
// them names no glyph, and the PostScript driver, which downloads each
// glyph a text names, reads past the font's tables for one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The tables' tags as the platform's GetFontData takes them.
constexpr uint32_t FONT_TABLE_MAXP = 0x7078616D;  // "maxp"
constexpr uint32_t FONT_TABLE_POST = 0x74736F70;  // "post"
// The bytes of each table's start that the count is read from.
constexpr size_t MAXP_HEAD_SIZE = 6;
constexpr size_t POST_HEAD_SIZE = 34;

// The glyphs of the font: its 'maxp' table's count, and no more than the
// glyph names of a 'post' table of format 2 (empty where the font has no
// such table). None when the 'maxp' table's start is not there.
std::optional<uint32_t> CountFontGlyphs(const uint8_t* maxp, size_t maxpSize, const uint8_t* post,
                                        size_t postSize);
