#include "eps/bbox_rewrite.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr size_t CHUNK_SIZE = size_t{64} * 1024;
// The output file's buffer: few, large writes.
constexpr size_t OUTPUT_BUFFER_SIZE = size_t{1024} * 1024;
constexpr char LINE_END[] = "\r\n";
constexpr size_t LINE_END_LENGTH = 2;
constexpr std::string_view HEADER_START = "%!";
constexpr std::string_view PJL_START = "@PJL";
constexpr unsigned char FIRST_PRINTABLE = 0x20;
constexpr char SPACES[] = "                                ";
constexpr size_t SPACES_LENGTH = sizeof SPACES - 1;
constexpr size_t GUARD_LENGTH = sizeof EPS_GUARD - 1;

struct Keyword {
    std::string_view text;
    LineKind kind;
};

// The comment lines the copy acts on, matched at the start of a line.
constexpr Keyword KEYWORDS[] = {
    {{BOUNDING_BOX_PREFIX, BOUNDING_BOX_PREFIX_LENGTH}, LineKind::Box},
    {HIRES_BOX_PREFIX, LineKind::HiResBox},
    {EXACT_BOX_PREFIX, LineKind::ExactBox},
    {"%%BeginFeature:", LineKind::BeginFeature},
    {"%%BeginNonPPDFeature:", LineKind::BeginFeature},
    {"%%EndFeature", LineKind::EndFeature},
    {"%%EndNonPPDFeature", LineKind::EndFeature},
    {"%%BeginProlog", LineKind::BeginProlog},
    {"%%EOF", LineKind::Eof},
};

bool IsControlByte(char byte)
{
    return static_cast<unsigned char>(byte) < FIRST_PRINTABLE;
}

bool StartsWith(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

// The kind of a line that starts with '%', from its first bytes (all of
// them, or at least the longest keyword's length).
LineKind ClassifyComment(const char* line, size_t size)
{
    for (const Keyword& keyword : KEYWORDS) {
        if (size >= keyword.text.size() &&
            std::memcmp(line, keyword.text.data(), keyword.text.size()) == 0) {
            return keyword.kind;
        }
    }
    return LineKind::Comment;
}

// Which status line the first bytes agree with, as far as both go; the rest
// of the line is matched as it comes.
std::optional<size_t> FindStatusLine(const char* line, size_t size)
{
    for (size_t index = 0; index < std::size(STATUS_LINES); ++index) {
        const std::string_view text = STATUS_LINES[index];
        if (std::memcmp(line, text.data(), std::min(size, text.size())) == 0) {
            return index;
        }
    }
    return std::nullopt;
}

LineKind ClassifyCode(BoxRewrite& rewrite, const char* line, size_t size)
{
    if (IsControlByte(line[0]) || StartsWith({line, size}, PJL_START)) {
        return LineKind::JobControl;
    }
    const std::optional<size_t> status = FindStatusLine(line, size);
    if (!status) {
        return LineKind::Code;
    }
    rewrite.statusLine = *status;
    rewrite.statusMatched = 0;
    rewrite.statusSpaces = 0;
    return LineKind::Status;
}

using FirstByteTable = std::array<bool, 256>;
// A comment, a PJL line, and the first bytes of the status lines.
constexpr std::string_view TELLING_PRINTABLE_BYTES = "%@(s";

// The first bytes of the lines that may be of a kind other than Code.
constexpr FirstByteTable MakeTellingFirstBytes()
{
    FirstByteTable telling{};
    for (size_t byte = 0; byte < FIRST_PRINTABLE; ++byte) {
        telling[byte] = true;
    }
    for (const char byte : TELLING_PRINTABLE_BYTES) {
        telling[static_cast<unsigned char>(byte)] = true;
    }
    return telling;
}

constexpr FirstByteTable TELLING_FIRST_BYTES = MakeTellingFirstBytes();

// Most lines are decided by their first byte: a digit, a slash or a letter
// that starts none of the status lines.
inline LineKind ClassifyLine(BoxRewrite& rewrite, const char* line, size_t size)
{
    if (size == 0) {
        return LineKind::JobControl;
    }
    if (!TELLING_FIRST_BYTES[static_cast<unsigned char>(line[0])]) {
        return LineKind::Code;
    }
    return line[0] == '%' ? ClassifyComment(line, size) : ClassifyCode(rewrite, line, size);
}

bool IsCopiedAsItIs(LineKind kind)
{
    return kind <= LineKind::JobControl;
}

bool IsComment(LineKind kind)
{
    return kind != LineKind::Code && kind != LineKind::Status && kind != LineKind::JobControl;
}

const std::string& ReplacementOf(const BoxRewrite& rewrite, LineKind kind)
{
    if (kind == LineKind::HiResBox) {
        return rewrite.hiResReplacement;
    }
    return kind == LineKind::ExactBox ? rewrite.exactReplacement : rewrite.replacement;
}

// Straight into the stream's buffer: a short write marks the stream bad.
void WriteBytes(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    const auto wanted = static_cast<std::streamsize>(size);
    if (rewrite.output->rdbuf()->sputn(bytes, wanted) != wanted) {
        rewrite.output->setstate(std::ios::badbit);
    }
}

// Gives up on the open feature block, or on the job control after "%%EOF"
// being the end: what was held is written as it stands and the copy goes on
// outside any block.
void ReleaseHeld(BoxRewrite& rewrite)
{
    WriteBytes(rewrite, rewrite.held.data(), rewrite.held.size());
    rewrite.held.clear();
    rewrite.featureDepth = 0;
    if (rewrite.bodyStage == BodyStage::AfterEof) {
        rewrite.bodyStage = BodyStage::Guarded;
    }
    rewrite.holdingLine = false;
}

// Holds feature code until its block ends, or job control after "%%EOF"
// until the end, up to the limit.
void HoldBytes(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (rewrite.held.size() + size > FEATURE_HOLD_LIMIT) {
        ReleaseHeld(rewrite);
        WriteBytes(rewrite, bytes, size);
    } else {
        rewrite.held.append(bytes, size);
    }
}

// Writes bytes of the current line, or holds them while it is feature code.
inline void EmitBytes(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (rewrite.holdingLine) {
        HoldBytes(rewrite, bytes, size);
    } else {
        WriteBytes(rewrite, bytes, size);
    }
}

void WriteGuard(BoxRewrite& rewrite)
{
    WriteBytes(rewrite, EPS_GUARD, GUARD_LENGTH);
    rewrite.bodyStage = BodyStage::Guarded;
}

// The guard goes before the first line that runs, or after the line that
// begins the prolog, whichever comes first.
void PlaceGuard(BoxRewrite& rewrite, LineKind kind)
{
    if (!IsComment(kind) || kind == LineKind::Eof) {
        WriteGuard(rewrite);
    } else if (kind == LineKind::BeginProlog && rewrite.featureDepth == 0) {
        rewrite.bodyStage = BodyStage::GuardDue;
    }
}

// Places the guard, or follows the job control after "%%EOF": that is held,
// and any other line writes it out. Returns whether the line is held so.
bool WatchLine(BoxRewrite& rewrite, LineKind kind)
{
    switch (rewrite.bodyStage) {
        case BodyStage::Unguarded:
            PlaceGuard(rewrite, kind);
            return false;
        case BodyStage::GuardDue:
            WriteGuard(rewrite);
            return false;
        case BodyStage::AfterEof:
            if (kind == LineKind::JobControl) {
                rewrite.holdingLine = true;
                return true;
            }
            ReleaseHeld(rewrite);
            return false;
        case BodyStage::Guarded:
            break;
    }
    return false;
}

// Takes a line of this kind into account: a block's begin line opens it and
// is written, its lines are held, and its end line drops them and is
// written; "%%EOF" outside a block starts holding the job control after it.
inline void DecideLine(BoxRewrite& rewrite, LineKind kind)
{
    rewrite.decided = true;
    rewrite.kind = kind;
    if (rewrite.bodyStage != BodyStage::Guarded && WatchLine(rewrite, kind)) {
        return;
    }
    const size_t depth = rewrite.featureDepth;
    if (kind == LineKind::Code) {
        rewrite.holdingLine = depth > 0;
        return;
    }
    if (kind == LineKind::BeginFeature) {
        rewrite.featureDepth = depth + 1;
    } else if (kind == LineKind::EndFeature && depth > 0) {
        rewrite.featureDepth = depth - 1;
        if (depth == 1) {
            rewrite.held.clear();
        }
    } else if (kind == LineKind::Eof && depth == 0) {
        rewrite.bodyStage = BodyStage::AfterEof;
    }
    rewrite.holdingLine = depth > 0 && rewrite.featureDepth > 0;
}

// A line that began as a status line turned out to be another: the bytes
// it matched go out, and the line is copied as code from here on.
void ReleaseStatus(BoxRewrite& rewrite)
{
    rewrite.kind = LineKind::Code;
    EmitBytes(rewrite, STATUS_LINES[rewrite.statusLine], rewrite.statusMatched);
    for (size_t left = rewrite.statusSpaces; left > 0;) {
        const size_t size = std::min(left, SPACES_LENGTH);
        EmitBytes(rewrite, SPACES, size);
        left -= size;
    }
}

// Matches the bytes of a Status line against its status line and the spaces
// that may follow it; at the first byte that differs, the line is code.
void MatchStatus(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    const std::string_view text = STATUS_LINES[rewrite.statusLine];
    for (size_t at = 0; at < size; ++at) {
        if (rewrite.statusMatched < text.size() && bytes[at] == text[rewrite.statusMatched]) {
            ++rewrite.statusMatched;
        } else if (rewrite.statusMatched == text.size() && bytes[at] == ' ') {
            ++rewrite.statusSpaces;
        } else {
            ReleaseStatus(rewrite);
            EmitBytes(rewrite, bytes + at, size - at);
            return;
        }
    }
}

// Copies bytes of a decided line by its kind: a replaced line's are
// dropped, a status line's matched.
inline void CopyLineBytes(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (IsCopiedAsItIs(rewrite.kind)) {
        EmitBytes(rewrite, bytes, size);
    } else if (rewrite.kind == LineKind::Status) {
        MatchStatus(rewrite, bytes, size);
    }
}

// Resolves a line whose first bytes have all arrived and copies them.
void DecideHeldPrefix(BoxRewrite& rewrite)
{
    DecideLine(rewrite, ClassifyLine(rewrite, rewrite.prefix, rewrite.prefixLength));
    CopyLineBytes(rewrite, rewrite.prefix, rewrite.prefixLength);
}

// Adds bytes that belong to the current line.
void AppendToLine(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (size == 0) {
        return;
    }
    rewrite.lineOpen = true;
    if (!rewrite.decided) {
        const size_t wanted = DECIDING_PREFIX_LENGTH - rewrite.prefixLength;
        const size_t taken = size < wanted ? size : wanted;
        std::memcpy(rewrite.prefix + rewrite.prefixLength, bytes, taken);
        rewrite.prefixLength += taken;
        bytes += taken;
        size -= taken;
        if (rewrite.prefixLength < DECIDING_PREFIX_LENGTH) {
            return;
        }
        DecideHeldPrefix(rewrite);
    }
    CopyLineBytes(rewrite, bytes, size);
}

// A line that lies whole in one chunk is decided from its own bytes, with
// no detour through the held prefix: the common case, kept short.
void DecideWholeLine(BoxRewrite& rewrite, const char* line, size_t size)
{
    DecideLine(rewrite, ClassifyLine(rewrite, line, size));
    CopyLineBytes(rewrite, line, size);
}

// A CR held back from the previous chunk turned out not to end the line.
void ReleasePendingCR(BoxRewrite& rewrite)
{
    if (rewrite.pendingCR) {
        rewrite.pendingCR = false;
        AppendToLine(rewrite, "\r", 1);
    }
}

bool IsWholeStatusLine(const BoxRewrite& rewrite)
{
    return rewrite.statusMatched == std::strlen(STATUS_LINES[rewrite.statusLine]);
}

// Ends a line that is not copied as it is: a whole status line goes with
// its line end; one that is not is written as it came; a box line gets its
// replacement.
void EndOtherLine(BoxRewrite& rewrite)
{
    if (rewrite.kind == LineKind::Status) {
        if (IsWholeStatusLine(rewrite)) {
            return;
        }
        ReleaseStatus(rewrite);
    } else {
        const std::string& replacement = ReplacementOf(rewrite, rewrite.kind);
        EmitBytes(rewrite, replacement.data(), replacement.size());
    }
    EmitBytes(rewrite, LINE_END, LINE_END_LENGTH);
}

void FinishLine(BoxRewrite& rewrite)
{
    if (!rewrite.decided) {
        DecideHeldPrefix(rewrite);
    }
    if (IsCopiedAsItIs(rewrite.kind)) {
        EmitBytes(rewrite, LINE_END, LINE_END_LENGTH);
    } else {
        EndOtherLine(rewrite);
    }
    if (rewrite.flushEachLine) {
        rewrite.output->flush();
    }
    rewrite.prefixLength = 0;
    rewrite.decided = false;
    rewrite.kind = LineKind::Comment;
    rewrite.lineOpen = false;
}

// Appends the non-empty tail of a chunk, holding back a final CR, which ends
// the line if the next chunk starts with LF.
void AppendHoldingCR(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    ReleasePendingCR(rewrite);
    if (bytes[size - 1] == '\r') {
        AppendToLine(rewrite, bytes, size - 1);
        rewrite.pendingCR = true;
        rewrite.lineOpen = true;
    } else {
        AppendToLine(rewrite, bytes, size);
    }
}

// Splits the bytes into lines and copies them by the rules of their kinds.
void FeedLines(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    size_t position = 0;
    while (position < size) {
        const char* start = bytes + position;
        const auto* lineFeed = static_cast<const char*>(std::memchr(start, '\n', size - position));
        if (lineFeed == nullptr) {
            AppendHoldingCR(rewrite, start, size - position);
            break;
        }
        const size_t length = static_cast<size_t>(lineFeed - start);
        const size_t content = length > 0 && start[length - 1] == '\r' ? length - 1 : length;
        if (length == 0) {
            rewrite.pendingCR = false;  // CR LF split across chunks: the CR is the line end's
        } else if (!rewrite.lineOpen) {
            DecideWholeLine(rewrite, start, content);
        } else {
            ReleasePendingCR(rewrite);
            AppendToLine(rewrite, start, content);
        }
        FinishLine(rewrite);
        position += length + 1;
    }
}

// Copies what follows the header: once the driver's old header line has
// been dropped up to its first CR or LF, every byte.
void FeedBody(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (rewrite.headerStage == HeaderStage::Skipping) {
        const char* end = std::find_if(bytes, bytes + size,
                                       [](char byte) { return byte == '\r' || byte == '\n'; });
        size -= static_cast<size_t>(end - bytes);
        bytes = end;
        if (size == 0) {
            return;
        }
        rewrite.headerStage = HeaderStage::Copying;
    }
    FeedLines(rewrite, bytes, size);
}

enum class LeadVerdict { Undecided, Header, NoHeader };

struct LeadScan {
    LeadVerdict verdict;
    size_t headerAt;  // where the header's "%!" stands in the lead
};

// Looks at the lead bytes not yet looked at, line by line: a line that
// starts with "%!" is the header; a line of job control (one that starts
// with a control byte or "@PJL") may hold it after its first byte; any
// other line means that the document has no header to find.
LeadScan ScanLead(BoxRewrite& rewrite)
{
    const std::string& lead = rewrite.lead;
    for (; rewrite.leadScanned < lead.size(); ++rewrite.leadScanned) {
        const size_t at = rewrite.leadScanned;
        const size_t lineStart = rewrite.leadLineStart;
        if (rewrite.leadLineKnown) {
            if (lead[at] == HEADER_START[1] && at > lineStart && lead[at - 1] == HEADER_START[0]) {
                return {LeadVerdict::Header, at - 1};
            }
        } else if (at == lineStart && IsControlByte(lead[at])) {
            rewrite.leadLineKnown = true;
        } else {
            const std::string_view seen(lead.data() + lineStart, at + 1 - lineStart);
            if (seen == HEADER_START) {
                return {LeadVerdict::Header, lineStart};
            }
            rewrite.leadLineKnown = seen == PJL_START;
            if (!StartsWith(HEADER_START, seen) && !StartsWith(PJL_START, seen)) {
                return {LeadVerdict::NoHeader, 0};
            }
        }
        if (lead[at] == '\n') {
            rewrite.leadLineStart = at + 1;
            rewrite.leadLineKnown = false;
        }
    }
    return {LeadVerdict::Undecided, 0};
}

// Ends the look for the header: with it, the EPS header goes out and the
// job control before it is dropped; without it, the document is refused.
void EndLead(BoxRewrite& rewrite, const LeadScan& scan)
{
    const std::string lead = std::move(rewrite.lead);
    rewrite.lead = std::string();
    if (scan.verdict == LeadVerdict::Header) {
        FeedLines(rewrite, EPS_HEADER, sizeof EPS_HEADER - 1);
        rewrite.headerStage = HeaderStage::Skipping;
        FeedBody(rewrite, lead.data() + scan.headerAt, lead.size() - scan.headerAt);
    } else {
        rewrite.headerStage = HeaderStage::Refused;
    }
}

bool IsGood(const BoxRewrite& rewrite)
{
    return rewrite.headerStage != HeaderStage::Refused && rewrite.output->good();
}

// The document's first JOB_PREFIX_LIMIT bytes, or all of it; empty after a
// read error.
std::string ReadLead(std::istream& input)
{
    std::string lead(JOB_PREFIX_LIMIT, '\0');
    input.read(lead.data(), static_cast<std::streamsize>(lead.size()));
    lead.resize(input.bad() ? 0 : static_cast<size_t>(input.gcount()));
    return lead;
}

bool CopyStream(std::istream& input, BoxRewrite& rewrite)
{
    std::vector<char> chunk(CHUNK_SIZE);
    while (input.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           input.gcount() > 0) {
        if (!FeedBoxRewrite(rewrite, chunk.data(), static_cast<size_t>(input.gcount()))) {
            return false;
        }
    }
    return input.eof() && !input.bad();
}

}  // namespace

std::string FormatBoundingBoxLine(const BoundingBox& box)
{
    char line[80];
    std::snprintf(line, sizeof line, "%%%%BoundingBox: %d %d %d %d", static_cast<int>(box.llx),
                  static_cast<int>(box.lly), static_cast<int>(box.urx), static_cast<int>(box.ury));
    return line;
}

bool StartsAsPostScript(const char* bytes, size_t size)
{
    BoxRewrite probe{};
    probe.lead.assign(bytes, std::min(size, JOB_PREFIX_LIMIT));
    return ScanLead(probe).verdict == LeadVerdict::Header;
}

void BeginBoxRewrite(BoxRewrite& rewrite, std::ostream& output, const BoundingBox& box)
{
    rewrite = BoxRewrite{};
    rewrite.output = &output;
    rewrite.replacement = FormatBoundingBoxLine(box);
    const std::string numbers = rewrite.replacement.substr(BOUNDING_BOX_PREFIX_LENGTH);
    rewrite.hiResReplacement = HIRES_BOX_PREFIX + numbers;
    rewrite.exactReplacement = EXACT_BOX_PREFIX + numbers;
    rewrite.kind = LineKind::Comment;
    rewrite.flushEachLine = true;
}

bool FeedBoxRewrite(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (rewrite.headerStage == HeaderStage::Looking) {
        const size_t taken = std::min(size, JOB_PREFIX_LIMIT - rewrite.lead.size());
        rewrite.lead.append(bytes, taken);
        bytes += taken;
        size -= taken;
        const LeadScan scan = ScanLead(rewrite);
        if (scan.verdict == LeadVerdict::Undecided && rewrite.lead.size() < JOB_PREFIX_LIMIT) {
            return IsGood(rewrite);
        }
        EndLead(rewrite, scan);
    }
    if (rewrite.headerStage != HeaderStage::Refused) {
        FeedBody(rewrite, bytes, size);
    }
    return IsGood(rewrite);
}

bool FinishBoxRewrite(BoxRewrite& rewrite)
{
    if (rewrite.headerStage == HeaderStage::Looking) {
        EndLead(rewrite, LeadScan{LeadVerdict::NoHeader, 0});
    }
    if (rewrite.headerStage == HeaderStage::Refused) {
        return false;
    }
    ReleasePendingCR(rewrite);
    if (rewrite.lineOpen) {
        FinishLine(rewrite);
    }
    if (rewrite.featureDepth > 0) {
        ReleaseHeld(rewrite);
    }
    return rewrite.output->good();
}

RewriteResult RewriteBoundingBox(const std::string& inputPath, const std::string& outputPath,
                                 const BoundingBox& box)
{
    std::ifstream input(inputPath, std::ios::binary);
    if (!input.is_open()) {
        return RewriteResult::NO_INPUT;
    }
    const std::string lead = ReadLead(input);
    if (!StartsAsPostScript(lead.data(), lead.size())) {
        return RewriteResult::NOT_POSTSCRIPT;
    }
    bool written = false;
    {
        std::vector<char> buffer(OUTPUT_BUFFER_SIZE);
        std::ofstream output;
        output.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        output.open(outputPath, std::ios::binary | std::ios::trunc);
        if (!output.is_open()) {
            return RewriteResult::NOT_WRITTEN;
        }
        BoxRewrite rewrite;
        BeginBoxRewrite(rewrite, output, box);
        rewrite.flushEachLine = false;
        written = FeedBoxRewrite(rewrite, lead.data(), lead.size()) && CopyStream(input, rewrite) &&
                  FinishBoxRewrite(rewrite);
        output.close();
        written = written && !output.fail();
    }
    if (!written) {
        std::remove(outputPath.c_str());
        return RewriteResult::NOT_WRITTEN;
    }
    return RewriteResult::WRITTEN;
}
