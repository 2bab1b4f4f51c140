// Copies the driver's PostScript document to the EPS file, replacing every
// line that begins with "%%BoundingBox:" by the computed box. Lines end at LF
// (a CR right before it belongs to the line end); every written line ends in
// CR LF. The copy streams in fixed-size chunks, so memory does not grow with
// the length of a line.
#pragma once

#include "geometry.h"

#include <cstddef>
#include <ostream>
#include <string>

// Matched case-sensitively at the very start of a line.
constexpr char BOUNDING_BOX_PREFIX[] = "%%BoundingBox:";
constexpr size_t BOUNDING_BOX_PREFIX_LENGTH = sizeof BOUNDING_BOX_PREFIX - 1;

// "%%BoundingBox: llx lly urx ury", without a line end.
std::string FormatBoundingBoxLine(const BoundingBox& box);

// The state of one streamed rewrite between chunks of input.
struct BoxRewrite {
    std::ostream* output;
    std::string replacement;
    char prefix[BOUNDING_BOX_PREFIX_LENGTH];  // a line's first bytes, until they decide
    size_t prefixLength;
    bool decided;    // the line's first bytes have been compared with the prefix
    bool replacing;  // the line is a box line: its bytes are dropped
    bool pendingCR;  // a CR ended the last chunk; the next byte tells whether it ends the line
    bool lineOpen;   // the current line holds at least one byte
    bool flushEachLine;
};

// Each line is flushed to the output as soon as it is written, so a reader
// of the caller's stream sees every whole line at once.
void BeginBoxRewrite(BoxRewrite& rewrite, std::ostream& output, const BoundingBox& box);
// Feeds the next chunk of input; false once the output has failed.
bool FeedBoxRewrite(BoxRewrite& rewrite, const char* bytes, size_t size);
// Ends the input: a last line without LF is still written. False once the
// output has failed.
bool FinishBoxRewrite(BoxRewrite& rewrite);

// Reads inputPath as binary and writes the EPS to outputPath in large
// buffered writes, flushed once at the end: the output file is private to
// the caller until it is complete (the job moves it into place afterwards),
// so nobody can see a line arrive, and a flush per line would only cost a
// system call each. When the input cannot be opened the output is left as
// it was; when reading or writing fails partway the incomplete output is
// removed. Returns whether the EPS file was written whole.
bool RewriteBoundingBox(const std::string& inputPath, const std::string& outputPath,
                        const BoundingBox& box);
