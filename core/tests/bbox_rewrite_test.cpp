#include "eps/bbox_rewrite.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr BoundingBox BOX{5, 513, 593, 829};
const std::string BOX_LINE = "%%BoundingBox: 5 513 593 829\r\n";
const std::string HEADER_LINE = "%!PS-Adobe-3.0 EPSF-3.0\r\n";

// Runs the file-to-file rewrite on the given input and returns the output.
std::string RewriteText(const std::string& input, const BoundingBox& box = BOX)
{
    const std::string in = TestPath("in.ps");
    const std::string out = TestPath("out.eps");
    WriteFile(in, input);
    std::remove(out.c_str());
    EXPECT_TRUE(RewriteBoundingBox(in, out, box)) << "expected the rewrite to succeed";
    std::string result = ReadFile(out);
    std::remove(in.c_str());
    std::remove(out.c_str());
    return result;
}

// Feeds the input to the streaming rewrite in chunks of the given size.
std::string RewriteInChunks(const std::string& input, size_t chunkSize)
{
    std::ostringstream output;
    BoxRewrite rewrite;
    BeginBoxRewrite(rewrite, output, BOX);
    for (size_t at = 0; at < input.size(); at += chunkSize) {
        FeedBoxRewrite(rewrite, input.data() + at, std::min(chunkSize, input.size() - at));
    }
    FinishBoxRewrite(rewrite);
    return output.str();
}

TEST(FormatBoundingBoxLine, WritesFourSignedIntegers)
{
    EXPECT_EQ("%%BoundingBox: 5 513 593 829", FormatBoundingBoxLine(BOX));
    EXPECT_EQ("%%BoundingBox: -5 523 603 850",
              FormatBoundingBoxLine(BoundingBox{-5, 523, 603, 850}));
    EXPECT_EQ("%%BoundingBox: -2147483648 0 2147483647 -1",
              FormatBoundingBoxLine(BoundingBox{INT32_MIN, 0, INT32_MAX, -1}));
}

TEST(RewriteBoundingBox, ReplacesHeaderAndTrailerBoxes)
{
    const std::string input =
        "%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%Pages: 1\nshowpage\n%%Trailer\n"
        "%%BoundingBox: 0 0 612 792\n%%EOF\n";
    EXPECT_EQ(
        HEADER_LINE + BOX_LINE + "%%Pages: 1\r\nshowpage\r\n%%Trailer\r\n" + BOX_LINE + "%%EOF\r\n",
        RewriteText(input));
}

TEST(RewriteBoundingBox, LeavesLookAlikeLinesUnchanged)
{
    const std::string input =
        "%%HiResBoundingBox: 0 0 1 1\r\n%%PageBoundingBox: 0 0 1 1\r\n %%BoundingBox: 1 2 3 4\r\n"
        "%%boundingbox: 1 2 3 4\r\n%%BoundingBox 1 2 3 4\r\n%%BoundingBo\r\n";
    EXPECT_EQ(input, RewriteText(input));
}

TEST(RewriteBoundingBox, ReplacesBarePrefixLine)
{
    EXPECT_EQ("a\r\n" + BOX_LINE + "b\r\n", RewriteText("a\n%%BoundingBox:\nb\n"));
    EXPECT_EQ(BOX_LINE, RewriteText("%%BoundingBox:"));
    EXPECT_EQ(BOX_LINE, RewriteText("%%BoundingBox:\r\n"));
}

TEST(RewriteBoundingBox, NormalisesLineEnds)
{
    const std::string crlf = "%!PS\r\n%%BoundingBox: 1 1 1 1\r\nline\r\n\r\nlast\r\n";
    const std::string expected = HEADER_LINE + BOX_LINE + "line\r\n\r\nlast\r\n";
    EXPECT_EQ(expected, RewriteText(crlf));
    EXPECT_EQ(expected, RewriteText("%!PS\n%%BoundingBox: 1 1 1 1\nline\n\nlast\n"));
    EXPECT_EQ(expected, RewriteText("%!PS\n%%BoundingBox: 1 1 1 1\nline\n\nlast"));
}

TEST(RewriteBoundingBox, KeepsLoneCarriageReturns)
{
    EXPECT_EQ("a\rb\r\n", RewriteText("a\rb\n"));
    EXPECT_EQ("a\r\r\n", RewriteText("a\r\r\n"));
    EXPECT_EQ("a\r\r\n", RewriteText("a\r"));
    EXPECT_EQ("\r\r\n\r\n", RewriteText("\r\r\n\n"));
    // A CR inside the first bytes makes a different line.
    EXPECT_EQ("%%Bounding\rBox: 1\r\n", RewriteText("%%Bounding\rBox: 1\n"));
}

TEST(RewriteBoundingBox, EmptyInputGivesEmptyOutput)
{
    EXPECT_EQ("", RewriteText(""));
}

TEST(RewriteBoundingBox, CopiesBinaryBytes)
{
    // 0x1A and NUL are ordinary bytes: neither ends the input.
    const std::string data("img\x1a\x00\xff\x1a rest", 12);
    const std::string input = data + "\n%%BoundingBox: 0 0 0 0\n\x1a";
    EXPECT_EQ(data + "\r\n" + BOX_LINE + "\x1a\r\n", RewriteText(input));
}

TEST(RewriteBoundingBox, WritesNegativeValues)
{
    EXPECT_EQ("%%BoundingBox: -5 523 603 850\r\n",
              RewriteText("%%BoundingBox: 0 0 0 0\n", BoundingBox{-5, 523, 603, 850}));
}

TEST(RewriteBoundingBox, SameResultWhateverTheChunkSize)
{
    const std::string input =
        "%!PS\r\n%%BoundingBox: (atend)\r\nx\ry\r\r\n\n%%BoundingBo\n%%BoundingBox:\r\n"
        "%%Trailer\n%%BoundingBox: 1 2 3 4\r\nend\r";
    const std::string expected = HEADER_LINE + BOX_LINE + "x\ry\r\r\n\r\n%%BoundingBo\r\n" +
                                 BOX_LINE + "%%Trailer\r\n" + BOX_LINE + "end\r\r\n";
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        EXPECT_EQ(expected, RewriteInChunks(input, chunk)) << "chunks of " << chunk << " bytes";
    }
}

TEST(RewriteBoundingBox, LongLinesCrossChunkBoundaries)
{
    const std::string longLine(200000, 'x');
    const std::string input = longLine + "\r\n%%BoundingBox: " + longLine + "\r\n" + longLine;
    EXPECT_EQ(longLine + "\r\n" + BOX_LINE + longLine + "\r\n", RewriteText(input));
}

struct RewriteCase {
    const char* name;
    std::string input;
    std::string expected;
};

void ExpectRewrites(const std::vector<RewriteCase>& cases)
{
    for (const RewriteCase& test : cases) {
        EXPECT_EQ(test.expected, RewriteText(test.input)) << test.name;
    }
}

const std::string PJL_JOB =
    "\x1b%-12345X@PJL JOB NAME=\"Vellumark\"\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";

TEST(RewriteBoundingBox, WritesTheEpsHeader)
{
    const std::string body = "%%Pages: 1\r\nshowpage\r\n";
    ExpectRewrites({
        {"version 2.0", "%!PS-Adobe-2.0\n%%Pages: 1\nshowpage\n", HEADER_LINE + body},
        {"already encapsulated", HEADER_LINE + body, HEADER_LINE + body},
        {"bare %!", "%!\r\n" + body, HEADER_LINE + body},
        {"after a Ctrl-D", "\x04%!PS-Adobe-3.0\r\n" + body, HEADER_LINE + body},
        {"after a PJL header", PJL_JOB + "%!PS-Adobe-3.0\r\n" + body, HEADER_LINE + body},
        {"right after the UEL", "\x1b%-12345X%!PS-Adobe-3.0\r\n" + body, HEADER_LINE + body},
        {"after an empty line", "\r\n%!PS-Adobe-3.0\r\n" + body, HEADER_LINE + body},
        {"CR line ends", "%!PS-Adobe-2.0\r%%Pages: 1\rshowpage\r",
         "%!PS-Adobe-3.0 EPSF-3.0\r%%Pages: 1\rshowpage\r\r\n"},
        {"header line without a line end", "\x04%!PS-Adobe-2.0", HEADER_LINE},
    });
}

// Without a header where a driver puts one, nothing is dropped.
TEST(RewriteBoundingBox, CopiesDocumentsWithoutHeaderAsTheyAre)
{
    const std::string lateHeader(JOB_PREFIX_LIMIT, '\x04');
    ExpectRewrites({
        {"no %! at all", "/a 1 def\nshowpage\n", "/a 1 def\r\nshowpage\r\n"},
        {"%! after a comment", "%%Title: a\n%!PS\n", "%%Title: a\r\n%!PS\r\n"},
        {"%! after a program line", "\x04\r\n/a (%!) def\r\n", "\x04\r\n/a (%!) def\r\n"},
        {"%! past the job control limit", lateHeader + "%!PS\n", lateHeader + "%!PS\r\n"},
        {"job control only", PJL_JOB, PJL_JOB},
        {"cut short", "@PJ", "@PJ\r\n"},
    });
}

TEST(RewriteBoundingBox, DropsFeatureCode)
{
    const std::string begin = "%%BeginFeature: *PageSize A4\r\n";
    const std::string code = "<< /PageSize [595 842] >> setpagedevice\r\n";
    const std::string end = "%%EndFeature\r\n";
    const std::string nonPpd = "%%BeginNonPPDFeature: Copies 1\r\n";
    const std::string nonPpdEnd = "%%EndNonPPDFeature\r\n";
    const std::string unended = HEADER_LINE + begin + code + "%%EndSetup\r\nshowpage\r\n";
    const std::string tooLong = begin + std::string(FEATURE_HOLD_LIMIT, 'x') + "\r\n" + end;
    ExpectRewrites({
        {"a block", HEADER_LINE + begin + code + end + "showpage\r\n",
         HEADER_LINE + begin + end + "showpage\r\n"},
        {"LF line ends", "%!PS\n%%BeginFeature: *PageSize A4\nsetpagedevice\n%%EndFeature\n",
         HEADER_LINE + begin + end},
        {"a non-PPD block", nonPpd + "/#copies 1 def\r\n" + nonPpdEnd, nonPpd + nonPpdEnd},
        {"nested blocks", begin + code + nonPpd + code + nonPpdEnd + code + end, begin + end},
        {"two blocks", begin + code + end + code + begin + code + end,
         begin + end + code + begin + end},
        {"a box line inside", begin + "%%BoundingBox: 1 2 3 4\r\n" + end, begin + end},
        {"an empty block", begin + end, begin + end},
        {"an end without a begin", code + end + code, code + end + code},
        {"a block that never ends", unended, unended},
        {"a block longer than the limit", tooLong, tooLong},
        {"look-alike lines", "%%BeginFeature\r\n%%Feature: x\r\n%%EndFeatures\r\n",
         "%%BeginFeature\r\n%%Feature: x\r\n%%EndFeatures\r\n"},
    });
}

// Feature comments, the header and box lines split at every byte.
TEST(BoxRewriteStream, SameResultWhateverTheChunkSizeWithHeaderAndFeatures)
{
    const std::string input = PJL_JOB +
                              "%!PS-Adobe-3.0\r\n%%BoundingBox: (atend)\r\n%%BeginSetup\n"
                              "%%BeginNonPPDFeature: x\r\ncode\rmore\r\n%%EndNonPPDFeature\n"
                              "%%BeginFeature: *PageSize A4\rcode\n%%EndFeature\r\n";
    const std::string expected = HEADER_LINE + BOX_LINE + "%%BeginSetup\r\n" +
                                 "%%BeginNonPPDFeature: x\r\n%%EndNonPPDFeature\r\n" +
                                 "%%BeginFeature: *PageSize A4\rcode\r\n%%EndFeature\r\n";
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        EXPECT_EQ(expected, RewriteInChunks(input, chunk)) << "chunks of " << chunk << " bytes";
    }
}

TEST(RewriteBoundingBox, SecondRunTruncatesOutput)
{
    const std::string in = TestPath("again.ps");
    const std::string out = TestPath("again.eps");
    WriteFile(out, std::string(1000, 'o'));
    WriteFile(in, "short\n");
    EXPECT_TRUE(RewriteBoundingBox(in, out, BOX));
    EXPECT_EQ("short\r\n", ReadFile(out));
    std::remove(in.c_str());
    std::remove(out.c_str());
}

TEST(RewriteBoundingBox, MissingInputLeavesExistingOutputAlone)
{
    const std::string out = TestPath("kept.eps");
    WriteFile(out, "an earlier EPS\n");
    EXPECT_FALSE(RewriteBoundingBox(TestPath("no_such_input.ps"), out, BOX))
        << "expected failure for a missing input";
    EXPECT_EQ("an earlier EPS\n", ReadFile(out)) << "expected the existing output untouched";
    std::remove(out.c_str());
}

TEST(RewriteBoundingBox, MissingInputCreatesNoOutput)
{
    const std::string out = TestPath("never.eps");
    std::remove(out.c_str());
    EXPECT_FALSE(RewriteBoundingBox(TestPath("no_such_input.ps"), out, BOX));
    EXPECT_FALSE(FileExists(out)) << "expected no output file";
}

TEST(RewriteBoundingBox, UnopenableOutputFails)
{
    const std::string in = TestPath("lonely.ps");
    WriteFile(in, "%!PS\n");
    EXPECT_FALSE(RewriteBoundingBox(in, TestPath("no_such_dir/out.eps"), BOX));
    EXPECT_EQ("%!PS\n", ReadFile(in)) << "expected the input untouched";
    std::remove(in.c_str());
}

TEST(RewriteBoundingBox, UnreadableInputRemovesOutput)
{
    // A directory opens on some systems and then fails to read.
    const std::string out = TestPath("unread.eps");
    std::remove(out.c_str());
    EXPECT_FALSE(RewriteBoundingBox(testing::TempDir(), out, BOX))
        << "expected failure for an input that cannot be read";
    EXPECT_FALSE(FileExists(out)) << "expected no output file after a read error";
}

}  // namespace

namespace {

// Counts how often the stream is flushed, and what it held each time.
struct FlushRecorder : std::stringbuf {
    std::vector<std::string> seenAtFlush;
    int sync() override
    {
        seenAtFlush.push_back(str());
        return 0;
    }
};

// A caller's stream gets every line as soon as it is complete.
TEST(BoxRewriteStream, FlushesEachWholeLine)
{
    FlushRecorder recorder;
    std::ostream output(&recorder);
    BoxRewrite rewrite;
    BeginBoxRewrite(rewrite, output, BOX);
    const std::string input = "%!PS\n%%BoundingBox: (atend)\nshowpage";
    EXPECT_TRUE(FeedBoxRewrite(rewrite, input.data(), input.size()));
    EXPECT_TRUE(FinishBoxRewrite(rewrite));
    const std::vector<std::string> expected = {HEADER_LINE, HEADER_LINE + BOX_LINE,
                                               HEADER_LINE + BOX_LINE + "showpage\r\n"};
    EXPECT_EQ(expected, recorder.seenAtFlush);
}

}  // namespace
