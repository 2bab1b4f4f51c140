// Copies the driver's PostScript document to the EPS file, replacing every
// line that begins with "%%BoundingBox:" by the computed box. Lines end at LF
// (a CR right before it belongs to the line end); every written line ends in
// CR LF. The copy streams in fixed-size chunks, so memory does not grow with
// the length of a line.
//
// More rules make the copy an encapsulated file that importers crop:
// - The header: the document's first "%!" line, up to its first CR or LF,
//   becomes EPS_HEADER, whatever version it named, and the job control that
//   a driver may put before it (a Ctrl-D, a PJL header) is dropped. Job
//   control is a run of lines that begin with a control byte or "@PJL" (an
//   empty line counts); the "%!" starts a line or stands in such a line. A
//   document that does not start that way within its first JOB_PREFIX_LIMIT
//   bytes is not PostScript (a PDF, an XPS or PCL stream): it is refused and
//   nothing is written.
// - The other boxes: a line that begins with "%%HiResBoundingBox:" or
//   "%%ExactBoundingBox:" carries the computed box too, in the same four
//   numbers, so that no importer crops to the driver's page area.
// - Feature code: the lines strictly between "%%BeginFeature:" and
//   "%%EndFeature" (or "%%BeginNonPPDFeature:" and "%%EndNonPPDFeature")
//   are dropped, so the file never changes the page device of the program
//   that imports it; the comment lines themselves stay. A block inside a
//   block goes with the outer one. Feature code is held until its block
//   ends; a block that does not end within FEATURE_HOLD_LIMIT bytes, or
//   before the document does, is copied as it stands.
// - Job status: the lines in STATUS_LINES, exactly, followed by nothing but
//   spaces, are dropped: they print to the importer's standard output.
// - The end: after a line that begins with "%%EOF" outside a feature block,
//   a run of job control that lasts to the end of the document is dropped.
//   It is held until a line that is not job control shows that it is not
//   the end; a run longer than FEATURE_HOLD_LIMIT is copied as it stands.
// - The guard: EPS_GUARD goes right after the first "%%BeginProlog" line
//   outside a feature block if another line follows it, or, if a line that
//   is not a comment (one that does not begin with "%") or a "%%EOF" line
//   comes first, right before that line. It makes the operators that an EPS file must not run
//   harmless until the importer's restore, before the driver's prolog can
//   bind them into its procedures.
#pragma once

#include "eps/geometry.h"

#include <cstddef>
#include <ostream>
#include <string>

// Matched case-sensitively at the very start of a line.
constexpr char BOUNDING_BOX_PREFIX[] = "%%BoundingBox:";
constexpr size_t BOUNDING_BOX_PREFIX_LENGTH = sizeof BOUNDING_BOX_PREFIX - 1;
constexpr char HIRES_BOX_PREFIX[] = "%%HiResBoundingBox:";
constexpr char EXACT_BOX_PREFIX[] = "%%ExactBoundingBox:";

// The job-status lines drivers write for a printer's host, dropped when a
// line is one of them followed by nothing but spaces.
constexpr const char* STATUS_LINES[] = {
    "statusdict begin (%%[ ProductName: ) print product print ( ]%%)= flush end",
    "(%%[Page: 1]%%) =",
    "(%%[LastPage]%%) =",
};

// Defined in userdict, which lives in local VM, so the importer's restore
// takes the definitions back with everything else the file changed. The
// clip, the page and the page device stay the importer's; initmatrix goes
// back to the matrix the file started with, initgraphics resets what it
// would but the matrix and the clip.
constexpr char EPS_GUARD[] =
    "% Until the importer's restore, what an EPS file must not change stays.\r\n"
    "userdict begin\r\n"
    "/initclip {} def\r\n"
    "/erasepage {} def\r\n"
    "/copypage {} def\r\n"
    "/setpagedevice {pop} def\r\n"
    "/initmatrix [matrix currentmatrix /setmatrix load] cvx def\r\n"
    "/initgraphics {initmatrix newpath 0 setgray 1 setlinewidth 0 setlinecap 0 setlinejoin\r\n"
    "10 setmiterlimit [] 0 setdash} def\r\n"
    "end\r\n";

// The first line of every EPS file written.
constexpr char EPS_HEADER[] = "%!PS-Adobe-3.0 EPSF-3.0";
constexpr size_t JOB_PREFIX_LIMIT = size_t{64} * 1024;
constexpr size_t FEATURE_HOLD_LIMIT = size_t{64} * 1024;

// The longest line prefix that decides a line: "%%BeginNonPPDFeature:".
constexpr size_t DECIDING_PREFIX_LENGTH = 21;

// "%%BoundingBox: llx lly urx ury", without a line end.
std::string FormatBoundingBoxLine(const BoundingBox& box);

// The kinds up to JobControl are copied byte for byte; the others are not.
enum class LineKind {
    Comment,  // begins with '%', and none of the kinds below
    Code,     // begins with any other byte, and none of the kinds below
    BeginFeature,
    EndFeature,
    BeginProlog,
    Eof,
    JobControl,  // empty, or begins with a control byte or "@PJL"
    Status,      // may be a job-status line: its bytes are matched as they come
    Box,         // the replaced lines, one kind for each prefix
    HiResBox,
    ExactBox,
};

// Where the copy stands with the document's header.
enum class HeaderStage {
    Looking,   // job control so far: the bytes are held in lead
    Skipping,  // the header was found: its old line is dropped up to a CR or LF
    Copying,   // the header is behind
    Refused,   // no header: the document is not PostScript
};

// Where the copy stands with the guard and the end of the document.
enum class BodyStage {
    Unguarded,  // the guard is still to come
    GuardDue,   // after "%%BeginProlog": the guard goes before the next line
    Guarded,    // the guard is behind
    AfterEof,   // the lines since "%%EOF" have all been job control: they are held
};

// The state of one streamed rewrite between chunks of input.
struct BoxRewrite {
    std::ostream* output;
    std::string replacement;       // the box line
    std::string hiResReplacement;  // the same box as a high-resolution box line
    std::string exactReplacement;
    HeaderStage headerStage;
    std::string lead;                     // the bytes held while looking for the header
    size_t leadLineStart;                 // where the line being looked at starts in lead
    size_t leadScanned;                   // how much of lead has been looked at
    bool leadLineKnown;                   // that line has been seen to be job control
    char prefix[DECIDING_PREFIX_LENGTH];  // a line's first bytes, until they decide
    size_t prefixLength;
    bool decided;          // the line's first bytes have decided its kind
    LineKind kind;         // of the line, once decided
    bool holdingLine;      // the line is feature code: its bytes go to held
    size_t featureDepth;   // feature blocks open
    std::string held;      // the feature code of the open block, or the job control after
                           // "%%EOF", as it would be written
    size_t statusLine;     // for a Status line: which of STATUS_LINES it may be,
    size_t statusMatched;  // how many of its bytes the line has matched,
    size_t statusSpaces;   // and how many spaces have followed them
    BodyStage bodyStage;
    bool pendingCR;  // a CR ended the last chunk; the next byte tells whether it ends the line
    bool lineOpen;   // the current line holds at least one byte
    bool flushEachLine;
};

// Whether the document's first bytes (the whole document, or at least its
// first JOB_PREFIX_LIMIT bytes) hold its header as the rewrite looks for it.
bool StartsAsPostScript(const char* bytes, size_t size);

// Each line is flushed to the output as soon as it is written, so a reader
// of the caller's stream sees every whole line at once (feature code when its
// block has ended, the first lines when the header has been found).
void BeginBoxRewrite(BoxRewrite& rewrite, std::ostream& output, const BoundingBox& box);
// Feeds the next chunk of input; false once the output has failed or the
// document has been refused (then nothing is written).
bool FeedBoxRewrite(BoxRewrite& rewrite, const char* bytes, size_t size);
// Ends the input: a last line without LF is still written, and what is held
// is written as it stands, but the job control after "%%EOF". False once
// the output has failed, or when the document is refused.
bool FinishBoxRewrite(BoxRewrite& rewrite);

// Reads inputPath as binary and writes the EPS to outputPath in large
// buffered writes, flushed once at the end: the output file is private to
// the caller until it is complete (the job moves it into place afterwards),
// so nobody can see a line arrive, and a flush per line would only cost a
// system call each. When the input cannot be opened or read, or is not
// PostScript, the output is left as it was; when reading or writing fails
// partway the incomplete output is removed. Returns WRITTEN when the EPS
// file was written whole, or why it was not.
enum class RewriteResult {
    WRITTEN,
    NO_INPUT,        // the input cannot be opened
    NOT_POSTSCRIPT,  // the input does not start as a PostScript document
    NOT_WRITTEN,     // the output cannot be opened, or reading or writing failed partway
};
RewriteResult RewriteBoundingBox(const std::string& inputPath, const std::string& outputPath,
                                 const BoundingBox& box);
