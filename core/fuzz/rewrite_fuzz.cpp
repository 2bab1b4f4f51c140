// Feeds the fuzzer's bytes through the streamed bounding-box rewrite in
// chunks of fuzzer-chosen sizes and compares the output, and whether the
// document was refused, with a plain whole-buffer rewrite of the same rules.
// Any difference aborts.
//
// Input layout: the first byte's low four bits give a count n; the next n
// bytes are chunk sizes (0 to 255, used in turn, over and over); the rest is
// the document. With n = 0, or only zero sizes, the document goes in whole.
#include "eps/bbox_rewrite.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr BoundingBox BOX{-5, 523, 603, 850};
constexpr uint8_t SIZE_COUNT_MASK = 0x0F;
constexpr size_t SHOWN_BYTES = 64;

struct FuzzInput {
    std::vector<size_t> chunkSizes;
    std::string document;
};

FuzzInput SplitInput(const uint8_t* data, size_t size)
{
    FuzzInput input;
    if (size == 0) {
        return input;
    }
    const size_t count = std::min<size_t>(data[0] & SIZE_COUNT_MASK, size - 1);
    input.chunkSizes.assign(data + 1, data + 1 + count);
    input.document.assign(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);
    return input;
}

bool HasNonZero(const std::vector<size_t>& sizes)
{
    for (const size_t size : sizes) {
        if (size != 0) {
            return true;
        }
    }
    return false;
}

struct Outcome {
    bool written;  // false: refused
    std::string output;
};

// The streamed rewrite, one Feed per chunk; a zero size is an empty Feed.
Outcome RewriteStreamed(const FuzzInput& input)
{
    std::ostringstream output;
    BoxRewrite rewrite;
    BeginBoxRewrite(rewrite, output, BOX);
    const std::string& document = input.document;
    bool good = true;
    if (!HasNonZero(input.chunkSizes)) {
        good = FeedBoxRewrite(rewrite, document.data(), document.size());
    } else {
        size_t at = 0;
        for (size_t turn = 0; at < document.size(); ++turn) {
            const size_t wanted = input.chunkSizes[turn % input.chunkSizes.size()];
            const size_t size = std::min(wanted, document.size() - at);
            good = FeedBoxRewrite(rewrite, document.data() + at, size) && good;
            at += size;
        }
    }
    good = FinishBoxRewrite(rewrite) && good;
    return {good, output.str()};
}

// Where the header's "%!" stands: in the first line that starts with it, or
// after the first byte of a line of job control (a control byte or "@PJL"
// first), all lines before it being job control, within the first
// JOB_PREFIX_LIMIT bytes.
std::optional<size_t> FindHeader(const std::string& document)
{
    const std::string lead = document.substr(0, JOB_PREFIX_LIMIT);
    size_t start = 0;
    while (start < lead.size()) {
        const size_t lineFeed = lead.find('\n', start);
        const std::string line = lead.substr(
            start, lineFeed == std::string::npos ? std::string::npos : lineFeed - start);
        if (line.rfind("%!", 0) == 0) {
            return start;
        }
        const bool jobControl =
            static_cast<unsigned char>(lead[start]) < 0x20 || line.rfind("@PJL", 0) == 0;
        if (!jobControl) {
            return std::nullopt;
        }
        const size_t mark = line.find("%!", 1);
        if (mark != std::string::npos) {
            return start + mark;
        }
        if (lineFeed == std::string::npos) {
            return std::nullopt;
        }
        start = lineFeed + 1;
    }
    return std::nullopt;
}

bool StartsWith(const std::string& line, const char* start)
{
    return line.rfind(start, 0) == 0;
}

// A status line exactly, with nothing after it but spaces.
bool IsStatusLine(const std::string& line)
{
    const size_t end = line.find_last_not_of(' ');
    const std::string text = line.substr(0, end == std::string::npos ? 0 : end + 1);
    for (const char* status : STATUS_LINES) {
        if (text == status) {
            return true;
        }
    }
    return false;
}

bool IsJobControl(const std::string& line)
{
    return line.empty() || static_cast<unsigned char>(line[0]) < 0x20 || StartsWith(line, "@PJL");
}

// What a line becomes, its line end included.
std::string Written(const std::string& line)
{
    const std::string numbers = FormatBoundingBoxLine(BOX).substr(BOUNDING_BOX_PREFIX_LENGTH);
    if (IsStatusLine(line)) {
        return "";
    }
    if (StartsWith(line, BOUNDING_BOX_PREFIX)) {
        return BOUNDING_BOX_PREFIX + numbers + "\r\n";
    }
    if (StartsWith(line, HIRES_BOX_PREFIX)) {
        return HIRES_BOX_PREFIX + numbers + "\r\n";
    }
    if (StartsWith(line, EXACT_BOX_PREFIX)) {
        return EXACT_BOX_PREFIX + numbers + "\r\n";
    }
    return line + "\r\n";
}

// The same rules over the whole document at once: lines end at LF, a CR
// right before the LF belongs to the line end, a last line without LF is
// still a line, box lines are replaced, status lines dropped, every line is
// written with CR LF; the lines strictly between a feature block's begin
// and end lines are dropped, nested blocks with their outer one, unless the
// block holds more than FEATURE_HOLD_LIMIT bytes or does not end; job
// control after "%%EOF" is dropped when it lasts to the end (and is no
// longer than the limit); the guard goes after the first "%%BeginProlog"
// outside a block, before the line that follows it, or before the first
// line that is not a comment or is "%%EOF". A document without its header
// is refused.
Outcome RewriteModel(const std::string& original)
{
    const std::optional<size_t> header = FindHeader(original);
    if (!header) {
        return {false, ""};
    }
    const size_t headerEnd = original.find_first_of("\r\n", *header);
    const std::string document =
        EPS_HEADER + (headerEnd == std::string::npos ? std::string() : original.substr(headerEnd));
    std::string output;
    std::string held;
    std::string trailer;
    size_t depth = 0;
    bool afterEof = false;
    bool guardWritten = false;
    bool guardDue = false;
    size_t start = 0;
    while (start < document.size()) {
        const size_t lineFeed = document.find('\n', start);
        const bool ended = lineFeed != std::string::npos;
        size_t end = ended ? lineFeed : document.size();
        if (ended && end > start && document[end - 1] == '\r') {
            --end;
        }
        const std::string line = document.substr(start, end - start);
        start = ended ? lineFeed + 1 : document.size();
        const std::string written = Written(line);
        const bool comment = !line.empty() && line[0] == '%';
        const bool eof = StartsWith(line, "%%EOF");
        if (!guardWritten && (guardDue || !comment || eof)) {
            output += EPS_GUARD;
            guardWritten = true;
        }
        if (afterEof) {
            if (IsJobControl(line)) {
                trailer += written;
                if (trailer.size() > FEATURE_HOLD_LIMIT) {
                    output += trailer;
                    trailer.clear();
                    afterEof = false;
                }
                continue;
            }
            output += trailer;
            trailer.clear();
            afterEof = false;
        }
        const bool begins =
            StartsWith(line, "%%BeginFeature:") || StartsWith(line, "%%BeginNonPPDFeature:");
        const bool ends =
            StartsWith(line, "%%EndFeature") || StartsWith(line, "%%EndNonPPDFeature");
        if (depth == 0) {
            output += written;
            depth = begins ? 1 : 0;
            afterEof = eof;
            guardDue = !guardWritten && StartsWith(line, "%%BeginProlog");
        } else if (ends && depth == 1) {
            held.clear();
            output += written;
            depth = 0;
        } else {
            depth += begins ? 1 : 0;
            depth -= ends ? 1 : 0;
            held += written;
            if (held.size() > FEATURE_HOLD_LIMIT) {
                output += held;
                held.clear();
                depth = 0;
            }
        }
    }
    return {true, output + held};
}

std::string Printable(const std::string& bytes)
{
    std::string shown;
    for (size_t i = 0; i < bytes.size() && i < SHOWN_BYTES; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= ' ' && byte <= '~') {
            shown += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return bytes.size() > SHOWN_BYTES ? shown + "..." : shown;
}

void ReportMismatch(const std::string& expected, const std::string& actual)
{
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    std::fprintf(stderr,
                 "streamed rewrite differs from the model at byte %zu\n"
                 "expected (%zu bytes) from there: %s\nactual (%zu bytes) from there: %s\n",
                 at, expected.size(), Printable(expected.substr(at)).c_str(), actual.size(),
                 Printable(actual.substr(std::min(at, actual.size()))).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzInput input = SplitInput(data, size);
    const Outcome expected = RewriteModel(input.document);
    const Outcome actual = RewriteStreamed(input);
    if (actual.written != expected.written) {
        std::fprintf(stderr, "the rewrite %s the document, the model %s it\n",
                     actual.written ? "wrote" : "refused", expected.written ? "wrote" : "refused");
        std::abort();
    }
    if (actual.output != expected.output) {
        ReportMismatch(expected.output, actual.output);
        std::abort();
    }
    return 0;
}
