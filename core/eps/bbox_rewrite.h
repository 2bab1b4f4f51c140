// Copies the driver's PostScript document to the EPS file, replacing every
// line that begins with "%%BoundingBox:" by the computed box. Lines end at LF
// (a CR right before it belongs to the line end); every written line ends in
// CR LF. The copy streams in fixed-size chunks, so memory does not grow with
// the length of a line.
//
// Two more rules make the copy an encapsulated file that importers crop:
// - The header: the document's first "%!" line, up to its first CR or LF,
//   becomes EPS_HEADER, whatever version it named, and the job control that
//   a driver may put before it (a Ctrl-D, a PJL header) is dropped. Job
//   control is a run of lines that begin with a control byte or "@PJL"; the
//   "%!" starts a line or stands in such a line. A document that does not
//   start that way within its first JOB_PREFIX_LIMIT bytes is copied as it
//   is.
// - Feature code: the lines strictly between "%%BeginFeature:" and
//   "%%EndFeature" (or "%%BeginNonPPDFeature:" and "%%EndNonPPDFeature")
//   are dropped, so the file never changes the page device of the program
//   that imports it; the comment lines themselves stay. A block inside a
//   block goes with the outer one. Feature code is held until its block
//   ends; a block that does not end within FEATURE_HOLD_LIMIT bytes, or
//   before the document does, is copied as it stands.
#pragma once

#include "eps/geometry.h"

#include <cstddef>
#include <ostream>
#include <string>

// Matched case-sensitively at the very start of a line.
constexpr char BOUNDING_BOX_PREFIX[] = "%%BoundingBox:";
constexpr size_t BOUNDING_BOX_PREFIX_LENGTH = sizeof BOUNDING_BOX_PREFIX - 1;

// The first line of every EPS file written.
constexpr char EPS_HEADER[] = "%!PS-Adobe-3.0 EPSF-3.0";
constexpr size_t JOB_PREFIX_LIMIT = size_t{64} * 1024;
constexpr size_t FEATURE_HOLD_LIMIT = size_t{64} * 1024;

// The longest line prefix that decides a line: "%%BeginNonPPDFeature:".
constexpr size_t DECIDING_PREFIX_LENGTH = 21;

// "%%BoundingBox: llx lly urx ury", without a line end.
std::string FormatBoundingBoxLine(const BoundingBox& box);

enum class LineKind { Other, Box, BeginFeature, EndFeature };

// Where the copy stands with the document's header.
enum class HeaderStage {
    Looking,   // job control so far: the bytes are held in lead
    Skipping,  // the header was found: its old line is dropped up to a CR or LF
    Copying,   // the header is behind
};

// The state of one streamed rewrite between chunks of input.
struct BoxRewrite {
    std::ostream* output;
    std::string replacement;
    HeaderStage headerStage;
    std::string lead;                     // the bytes held while looking for the header
    size_t leadLineStart;                 // where the line being looked at starts in lead
    size_t leadScanned;                   // how much of lead has been looked at
    bool leadLineKnown;                   // that line has been seen to be job control
    char prefix[DECIDING_PREFIX_LENGTH];  // a line's first bytes, until they decide
    size_t prefixLength;
    bool decided;         // the line's first bytes have decided its kind
    LineKind kind;        // of the line, once decided
    bool holdingLine;     // the line is feature code: its bytes go to held
    size_t featureDepth;  // feature blocks open
    std::string held;     // the feature code of the open block, as it would be written
    bool pendingCR;       // a CR ended the last chunk; the next byte tells whether it ends the line
    bool lineOpen;        // the current line holds at least one byte
    bool flushEachLine;
};

// Each line is flushed to the output as soon as it is written, so a reader
// of the caller's stream sees every whole line at once (feature code when its
// block has ended, the first lines when the header has been found).
void BeginBoxRewrite(BoxRewrite& rewrite, std::ostream& output, const BoundingBox& box);
// Feeds the next chunk of input; false once the output has failed.
bool FeedBoxRewrite(BoxRewrite& rewrite, const char* bytes, size_t size);
// Ends the input: a last line without LF is still written, and what is held
// is written as it stands. False once the output has failed.
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
