// Feeds the fuzzer's bytes through the streamed bounding-box rewrite in
// chunks of fuzzer-chosen sizes and compares the output with a plain
// whole-buffer rewrite of the same rules. Any difference aborts.
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

// The streamed rewrite, one Feed per chunk; a zero size is an empty Feed.
std::string RewriteStreamed(const FuzzInput& input)
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
    if (!good) {
        std::fprintf(stderr, "the rewrite reported a failed output stream\n");
        std::abort();
    }
    return output.str();
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

// The EPS header in place of the job control and the header line up to its
// first CR or LF.
std::string ReplaceHeader(const std::string& document)
{
    const std::optional<size_t> header = FindHeader(document);
    if (!header) {
        return document;
    }
    const size_t end = document.find_first_of("\r\n", *header);
    return EPS_HEADER + (end == std::string::npos ? std::string() : document.substr(end));
}

bool StartsWith(const std::string& line, const char* start)
{
    return line.rfind(start, 0) == 0;
}

// The same rules over the whole document at once: lines end at LF, a CR
// right before the LF belongs to the line end, a last line without LF is
// still a line, box lines are replaced, every line is written with CR LF;
// the lines strictly between a feature block's begin and end lines are
// dropped, nested blocks with their outer one, unless the block holds more
// than FEATURE_HOLD_LIMIT bytes or does not end.
std::string RewriteModel(const std::string& original)
{
    const std::string document = ReplaceHeader(original);
    const std::string boxLine = FormatBoundingBoxLine(BOX);
    std::string output;
    std::string held;
    size_t depth = 0;
    size_t start = 0;
    while (start < document.size()) {
        const size_t lineFeed = document.find('\n', start);
        const bool ended = lineFeed != std::string::npos;
        size_t end = ended ? lineFeed : document.size();
        if (ended && end > start && document[end - 1] == '\r') {
            --end;
        }
        const std::string line = document.substr(start, end - start);
        const std::string written =
            (StartsWith(line, BOUNDING_BOX_PREFIX) ? boxLine : line) + "\r\n";
        const bool begins =
            StartsWith(line, "%%BeginFeature:") || StartsWith(line, "%%BeginNonPPDFeature:");
        const bool ends =
            StartsWith(line, "%%EndFeature") || StartsWith(line, "%%EndNonPPDFeature");
        if (depth == 0) {
            output += written;
            depth = begins ? 1 : 0;
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
        start = ended ? lineFeed + 1 : document.size();
    }
    return output + held;
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
    const std::string expected = RewriteModel(input.document);
    const std::string actual = RewriteStreamed(input);
    if (actual != expected) {
        ReportMismatch(expected, actual);
        std::abort();
    }
    return 0;
}
