#include "bbox_rewrite.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr size_t CHUNK_SIZE = size_t{64} * 1024;
// The output file's buffer: few, large writes.
constexpr size_t OUTPUT_BUFFER_SIZE = size_t{1024} * 1024;
constexpr char LINE_END[] = "\r\n";
constexpr size_t LINE_END_LENGTH = 2;

// Straight into the stream's buffer: a short write marks the stream bad.
void WriteBytes(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    const auto wanted = static_cast<std::streamsize>(size);
    if (rewrite.output->rdbuf()->sputn(bytes, wanted) != wanted) {
        rewrite.output->setstate(std::ios::badbit);
    }
}

// Resolves a line whose first bytes have all arrived: either it is a box
// line, whose bytes are dropped from here on, or its held bytes go out.
void DecideLine(BoxRewrite& rewrite)
{
    rewrite.decided = true;
    rewrite.replacing =
        rewrite.prefixLength == BOUNDING_BOX_PREFIX_LENGTH &&
        std::memcmp(rewrite.prefix, BOUNDING_BOX_PREFIX, BOUNDING_BOX_PREFIX_LENGTH) == 0;
    if (!rewrite.replacing) {
        WriteBytes(rewrite, rewrite.prefix, rewrite.prefixLength);
    }
}

// Adds bytes that belong to the current line.
void AppendToLine(BoxRewrite& rewrite, const char* bytes, size_t size)
{
    if (size == 0) {
        return;
    }
    rewrite.lineOpen = true;
    if (!rewrite.decided) {
        const size_t wanted = BOUNDING_BOX_PREFIX_LENGTH - rewrite.prefixLength;
        const size_t taken = size < wanted ? size : wanted;
        std::memcpy(rewrite.prefix + rewrite.prefixLength, bytes, taken);
        rewrite.prefixLength += taken;
        bytes += taken;
        size -= taken;
        if (rewrite.prefixLength < BOUNDING_BOX_PREFIX_LENGTH) {
            return;
        }
        DecideLine(rewrite);
    }
    if (!rewrite.replacing) {
        WriteBytes(rewrite, bytes, size);
    }
}

// A line that lies whole in one chunk is decided from its own bytes, with
// no detour through the held prefix: the common case, kept short.
void DecideWholeLine(BoxRewrite& rewrite, const char* line, size_t size)
{
    rewrite.decided = true;
    rewrite.replacing = size >= BOUNDING_BOX_PREFIX_LENGTH &&
                        std::memcmp(line, BOUNDING_BOX_PREFIX, BOUNDING_BOX_PREFIX_LENGTH) == 0;
    if (!rewrite.replacing) {
        WriteBytes(rewrite, line, size);
    }
}

// A CR held back from the previous chunk turned out not to end the line.
void ReleasePendingCR(BoxRewrite& rewrite)
{
    if (rewrite.pendingCR) {
        rewrite.pendingCR = false;
        AppendToLine(rewrite, "\r", 1);
    }
}

void FinishLine(BoxRewrite& rewrite)
{
    if (!rewrite.decided) {
        DecideLine(rewrite);
    }
    if (rewrite.replacing) {
        WriteBytes(rewrite, rewrite.replacement.data(), rewrite.replacement.size());
    }
    WriteBytes(rewrite, LINE_END, LINE_END_LENGTH);
    if (rewrite.flushEachLine) {
        rewrite.output->flush();
    }
    rewrite.prefixLength = 0;
    rewrite.decided = false;
    rewrite.replacing = false;
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

void BeginBoxRewrite(BoxRewrite& rewrite, std::ostream& output, const BoundingBox& box)
{
    rewrite = BoxRewrite{};
    rewrite.output = &output;
    rewrite.replacement = FormatBoundingBoxLine(box);
    rewrite.flushEachLine = true;
}

bool FeedBoxRewrite(BoxRewrite& rewrite, const char* bytes, size_t size)
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
    return rewrite.output->good();
}

bool FinishBoxRewrite(BoxRewrite& rewrite)
{
    ReleasePendingCR(rewrite);
    if (rewrite.lineOpen) {
        FinishLine(rewrite);
    }
    return rewrite.output->good();
}

bool RewriteBoundingBox(const std::string& inputPath, const std::string& outputPath,
                        const BoundingBox& box)
{
    std::ifstream input(inputPath, std::ios::binary);
    if (!input.is_open()) {
        return false;
    }
    bool written = false;
    {
        std::vector<char> buffer(OUTPUT_BUFFER_SIZE);
        std::ofstream output;
        output.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        output.open(outputPath, std::ios::binary | std::ios::trunc);
        if (!output.is_open()) {
            return false;
        }
        BoxRewrite rewrite;
        BeginBoxRewrite(rewrite, output, box);
        rewrite.flushEachLine = false;
        written = CopyStream(input, rewrite) && FinishBoxRewrite(rewrite);
        output.close();
        written = written && !output.fail();
    }
    if (!written) {
        std::remove(outputPath.c_str());
    }
    return written;
}
