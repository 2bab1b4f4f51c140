// Text rules applied to file and printer names. Pure byte work: whatever
// depends on the system's code page (which bytes start a double-byte
// character) comes in as a predicate.
#pragma once

#include <string>

// Whether a byte is the first byte of a double-byte character.
using LeadBytePredicate = bool (*)(unsigned char byte);

// The EPS path written beside an opened file: the file name's extension (what
// follows its last '.' after the last '\\', '/' or ':') becomes "eps"; a name
// without one gets ".eps" appended. A '\\' that is the second byte of a
// double-byte character does not separate anything.
std::string DeriveEpsPath(const std::string& path, LeadBytePredicate isLeadByte);

// Whether two paths are the same apart from the letter case of ASCII letters,
// as Windows compares file names. The second byte of a double-byte character
// is compared exactly, since it is not a letter even when its value is one.
bool IsSameFileName(const std::string& first, const std::string& second,
                    LeadBytePredicate isLeadByte);

// Whether text contains word (case-sensitive) starting at a character
// boundary: the search steps over double-byte characters whole, so a match
// never begins on the second byte of one.
bool ContainsText(const char* text, const char* word, LeadBytePredicate isLeadByte);
