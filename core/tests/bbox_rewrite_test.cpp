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
// What every EPS file carries before the first line that runs.
const std::string GUARD =
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

// Runs the file-to-file rewrite on the given input and returns the output.
std::string RewriteText(const std::string& input, const BoundingBox& box = BOX)
{
    const std::string in = TestPath("in.ps");
    const std::string out = TestPath("out.eps");
    WriteFile(in, input);
    std::remove(out.c_str());
    EXPECT_EQ(RewriteResult::WRITTEN, RewriteBoundingBox(in, out, box))
        << "expected the rewrite to succeed";
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
    EXPECT_EQ(HEADER_LINE + BOX_LINE + "%%Pages: 1\r\n" + GUARD + "showpage\r\n%%Trailer\r\n" +
                  BOX_LINE + "%%EOF\r\n",
              RewriteText(input));
}

TEST(RewriteBoundingBox, LeavesLookAlikeLinesUnchanged)
{
    const std::string lines =
        "%%PageBoundingBox: 0 0 1 1\r\n%%boundingbox: 1 2 3 4\r\n%%BoundingBox 1 2 3 4\r\n"
        "%%BoundingBo\r\n%%HiResBoundingBox 1 2 3 4\r\n%%hiresboundingbox: 1 2 3 4\r\n"
        "%%ExactBoundingBox\r\n";
    const std::string indented = " %%BoundingBox: 1 2 3 4\r\n";
    EXPECT_EQ(HEADER_LINE + lines + GUARD + indented, RewriteText("%!PS\r\n" + lines + indented));
}

// The high-resolution boxes carry the same four numbers, so that an importer
// that prefers them crops to the same box.
TEST(RewriteBoundingBox, ReplacesHighResolutionBoxes)
{
    const std::string input =
        "%!PS-Adobe-3.0\r\n%%BoundingBox: 3 141 602 651\r\n"
        "%%HiResBoundingBox: 3 141.0894 602.0400 650.9107\r\n%%ExactBoundingBox: 3.5 141 602 "
        "651\r\n"
        "%%HiResBoundingBox: (atend)\r\n%%HiResBoundingBox:\r\n%%ExactBoundingBox:";
    EXPECT_EQ(HEADER_LINE + BOX_LINE + "%%HiResBoundingBox: 5 513 593 829\r\n" +
                  "%%ExactBoundingBox: 5 513 593 829\r\n" +
                  "%%HiResBoundingBox: 5 513 593 829\r\n" +
                  "%%HiResBoundingBox: 5 513 593 829\r\n" + "%%ExactBoundingBox: 5 513 593 829\r\n",
              RewriteText(input));
}

TEST(RewriteBoundingBox, ReplacesBarePrefixLine)
{
    EXPECT_EQ(HEADER_LINE + BOX_LINE + GUARD + "b\r\n", RewriteText("%!PS\n%%BoundingBox:\nb\n"));
    EXPECT_EQ(HEADER_LINE + BOX_LINE, RewriteText("%!PS\n%%BoundingBox:"));
    EXPECT_EQ(HEADER_LINE + BOX_LINE, RewriteText("%!PS\n%%BoundingBox:\r\n"));
}

TEST(RewriteBoundingBox, NormalisesLineEnds)
{
    const std::string crlf = "%!PS\r\n%%BoundingBox: 1 1 1 1\r\nline\r\n\r\nlast\r\n";
    const std::string expected = HEADER_LINE + BOX_LINE + GUARD + "line\r\n\r\nlast\r\n";
    EXPECT_EQ(expected, RewriteText(crlf));
    EXPECT_EQ(expected, RewriteText("%!PS\n%%BoundingBox: 1 1 1 1\nline\n\nlast\n"));
    EXPECT_EQ(expected, RewriteText("%!PS\n%%BoundingBox: 1 1 1 1\nline\n\nlast"));
}

TEST(RewriteBoundingBox, KeepsLoneCarriageReturns)
{
    EXPECT_EQ(HEADER_LINE + GUARD + "a\rb\r\n", RewriteText("%!PS\na\rb\n"));
    EXPECT_EQ(HEADER_LINE + GUARD + "a\r\r\n", RewriteText("%!PS\na\r\r\n"));
    EXPECT_EQ(HEADER_LINE + GUARD + "a\r\r\n", RewriteText("%!PS\na\r"));
    EXPECT_EQ(HEADER_LINE + GUARD + "\r\r\n\r\n", RewriteText("%!PS\n\r\r\n\n"));
    // A CR inside the first bytes makes a different line.
    EXPECT_EQ(HEADER_LINE + "%%Bounding\rBox: 1\r\n", RewriteText("%!PS\n%%Bounding\rBox: 1\n"));
}

TEST(RewriteBoundingBox, CopiesBinaryBytes)
{
    // 0x1A and NUL are ordinary bytes: neither ends the input.
    const std::string data("img\x1a\x00\xff\x1a rest", 12);
    const std::string input = "%!PS\n" + data + "\n%%BoundingBox: 0 0 0 0\n\x1a";
    EXPECT_EQ(HEADER_LINE + GUARD + data + "\r\n" + BOX_LINE + "\x1a\r\n", RewriteText(input));
}

TEST(RewriteBoundingBox, WritesNegativeValues)
{
    EXPECT_EQ(HEADER_LINE + "%%BoundingBox: -5 523 603 850\r\n",
              RewriteText("%!PS\n%%BoundingBox: 0 0 0 0\n", BoundingBox{-5, 523, 603, 850}));
}

TEST(RewriteBoundingBox, SameResultWhateverTheChunkSize)
{
    const std::string input =
        "%!PS\r\n%%BoundingBox: (atend)\r\nx\ry\r\r\n\n%%BoundingBo\n%%BoundingBox:\r\n"
        "%%Trailer\n%%BoundingBox: 1 2 3 4\r\nend\r";
    const std::string expected = HEADER_LINE + BOX_LINE + GUARD + "x\ry\r\r\n\r\n%%BoundingBo\r\n" +
                                 BOX_LINE + "%%Trailer\r\n" + BOX_LINE + "end\r\r\n";
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        EXPECT_EQ(expected, RewriteInChunks(input, chunk)) << "chunks of " << chunk << " bytes";
    }
}

TEST(RewriteBoundingBox, LongLinesCrossChunkBoundaries)
{
    const std::string longLine(200000, 'x');
    const std::string input =
        "%!PS\n" + longLine + "\r\n%%BoundingBox: " + longLine + "\r\n" + longLine;
    EXPECT_EQ(HEADER_LINE + GUARD + longLine + "\r\n" + BOX_LINE + longLine + "\r\n",
              RewriteText(input));
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
    const std::string eps = HEADER_LINE + "%%Pages: 1\r\n" + GUARD + "showpage\r\n";
    ExpectRewrites({
        {"version 2.0", "%!PS-Adobe-2.0\n%%Pages: 1\nshowpage\n", eps},
        {"already encapsulated", HEADER_LINE + body, eps},
        {"bare %!", "%!\r\n" + body, eps},
        {"after a Ctrl-D", "\x04%!PS-Adobe-3.0\r\n" + body, eps},
        {"after a PJL header", PJL_JOB + "%!PS-Adobe-3.0\r\n" + body, eps},
        {"right after the UEL", "\x1b%-12345X%!PS-Adobe-3.0\r\n" + body, eps},
        {"after an empty line", "\r\n%!PS-Adobe-3.0\r\n" + body, eps},
        {"CR line ends", "%!PS-Adobe-2.0\r%%Pages: 1\rshowpage\r",
         "%!PS-Adobe-3.0 EPSF-3.0\r%%Pages: 1\rshowpage\r\r\n"},
        {"header line without a line end", "\x04%!PS-Adobe-2.0", HEADER_LINE},
    });
}

// A document that is not PostScript, such as the PDF, XPS or PCL of a
// printer whose driver writes no PostScript, is refused: the rewrite writes
// nothing, and an EPS file already at the output stays as it was.
TEST(RewriteBoundingBox, RefusesDocumentsThatAreNotPostScript)
{
    const std::string lateHeader(JOB_PREFIX_LIMIT, '\x04');
    const std::vector<RewriteCase> documents = {
        {"a PDF", "%PDF-1.7\r\n%\xe2\xe3\xcf\xd3\r\n1 0 obj\r\n<< /Type /Catalog >>\r\n", ""},
        {"an XPS package", std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00[Content_Types].xml", 30),
         ""},
        {"a PCL XL stream",
         "\x1b%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=PCLXL\r\n"
         ") HP-PCL XL;3;0;Comment Copyright Microsoft Corporation\r\n\xd1X\x02\x00\xf8\x89",
         ""},
        {"a PCL 5 stream",
         "\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n\x1b"
         "E\x1b&l26A\x1b*t300R",
         ""},
        {"an empty file", "", ""},
        {"no %! at all", "/a 1 def\nshowpage\n", ""},
        {"%! after a comment", "%%Title: a\n%!PS\n", ""},
        {"%! after a program line", "\x04\r\n/a (%!) def\r\n", ""},
        {"%! past the job control limit", lateHeader + "%!PS\n", ""},
        {"job control only", PJL_JOB, ""},
        {"cut short", "@PJ", ""},
    };
    const std::string in = TestPath("refused.ps");
    const std::string out = TestPath("refused.eps");
    for (const RewriteCase& document : documents) {
        WriteFile(in, document.input);
        WriteFile(out, "an earlier EPS\n");
        EXPECT_EQ(RewriteResult::NOT_POSTSCRIPT, RewriteBoundingBox(in, out, BOX)) << document.name;
        EXPECT_EQ("an earlier EPS\n", ReadFile(out)) << document.name;
        std::remove(out.c_str());
        EXPECT_EQ(RewriteResult::NOT_POSTSCRIPT, RewriteBoundingBox(in, out, BOX)) << document.name;
        EXPECT_FALSE(FileExists(out)) << document.name << ": expected no output file";

        std::ostringstream stream;
        BoxRewrite rewrite;
        BeginBoxRewrite(rewrite, stream, BOX);
        FeedBoxRewrite(rewrite, document.input.data(), document.input.size());
        EXPECT_FALSE(FinishBoxRewrite(rewrite)) << document.name;
        EXPECT_EQ("", stream.str()) << document.name << ": expected nothing streamed";
    }
    std::remove(in.c_str());
}

// The documents start with the prolog, so that the guard stands before the
// feature blocks.
void ExpectRewritesInProlog(const std::vector<RewriteCase>& cases)
{
    const std::string prolog = "%%BeginProlog\r\n";
    for (const RewriteCase& test : cases) {
        EXPECT_EQ(HEADER_LINE + prolog + GUARD + test.expected,
                  RewriteText("%!PS\r\n" + prolog + test.input))
            << test.name;
    }
}

TEST(RewriteBoundingBox, DropsFeatureCode)
{
    const std::string begin = "%%BeginFeature: *PageSize A4\r\n";
    const std::string code = "<< /PageSize [595 842] >> setpagedevice\r\n";
    const std::string end = "%%EndFeature\r\n";
    const std::string nonPpd = "%%BeginNonPPDFeature: Copies 1\r\n";
    const std::string nonPpdEnd = "%%EndNonPPDFeature\r\n";
    const std::string unended = begin + code + "%%EndSetup\r\nshowpage\r\n";
    const std::string tooLong = begin + std::string(FEATURE_HOLD_LIMIT, 'x') + "\r\n" + end;
    ExpectRewritesInProlog({
        {"a block", begin + code + end + "showpage\r\n", begin + end + "showpage\r\n"},
        {"LF line ends", "%%BeginFeature: *PageSize A4\nsetpagedevice\n%%EndFeature\n",
         begin + end},
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

const std::string PRODUCT_NAME =
    "statusdict begin (%%[ ProductName: ) print product print ( ]%%)= flush end";
const std::string PAGE_STATUS = "(%%[Page: 1]%%) =";
const std::string LAST_PAGE = "(%%[LastPage]%%) =";

// The job-status lines print to the importer's standard output: they go,
// and nothing else that prints.
TEST(RewriteBoundingBox, DropsJobStatusLines)
{
    ExpectRewritesInProlog({
        {"the three", PRODUCT_NAME + "\r\n" + PAGE_STATUS + "\r\n" + LAST_PAGE + "\r\n", ""},
        {"LF line ends and no last line end", PRODUCT_NAME + "\n" + LAST_PAGE, ""},
        {"trailing spaces", PAGE_STATUS + "   \r\n" + LAST_PAGE + " \r\n" + PRODUCT_NAME + " ", ""},
        {"between other lines", "a\r\n" + LAST_PAGE + "\r\nb\r\n", "a\r\nb\r\n"},
        {"in a block that never ends", "%%BeginFeature: x\r\n" + PAGE_STATUS + "\r\nmore\r\n",
         "%%BeginFeature: x\r\nmore\r\n"},
    });
    const std::string lookAlikes =
        "(%%[Page: 2]%%) =\r\n(%%[LastPage]%%) ==\r\n(%%[LastPage]%%)\r\n (%%[LastPage]%%) =\r\n"
        "(%%[LastPage]%%) =\t\r\n(%%[LastPage]%%) = x\r\n(%%[LastPage]%%) =\r\r\n"
        "(%%[ Error: undefined ]%%) =\r\n(%%[Page: 1]%%) = flush\r\n(\r\ns\r\n" +
        PRODUCT_NAME + " %\r\n" + "statusdict begin\r\n";
    ExpectRewritesInProlog({{"look-alike lines", lookAlikes, lookAlikes}});
}

// After the last "%%EOF", a trailing run of job control goes, as before the
// header; job control that more of the document follows stays.
TEST(RewriteBoundingBox, DropsJobControlAfterTheEnd)
{
    const std::string uel = "\x1b%-12345X";
    const std::string eof = "%%EOF\r\n";
    const std::string tooLong = "\x04" + std::string(FEATURE_HOLD_LIMIT, 'x') + "\r\n";
    ExpectRewritesInProlog({
        {"a Ctrl-D", eof + "\x04", eof},
        {"a Ctrl-D and a line end", eof + "\x04\r\n", eof},
        {"a PJL end of job", eof + uel + "@PJL EOJ\r\n@PJL RDYMSG DISPLAY=\"\"\r\n" + uel, eof},
        {"empty lines", eof + "\r\n\n\r\n", eof},
        {"LF line ends", "%%EOF\n\x04\n", eof},
        {"followed by more", eof + "\x04\r\nshowpage\r\n", eof + "\x04\r\nshowpage\r\n"},
        {"two ends", eof + "\x04\r\n" + eof + "\x04", eof + "\x04\r\n" + eof},
        {"before the end", "\x04\r\n" + eof, "\x04\r\n" + eof},
        {"in a block that never ends", "%%BeginFeature: x\r\n" + eof + "\x04\r\n",
         "%%BeginFeature: x\r\n" + eof + "\x04\r\n"},
        {"longer than the limit", eof + tooLong, eof + tooLong},
        {"an end line with more on it", "%%EOFX\r\n\x04\r\n", "%%EOFX\r\n"},
        {"not an end", "%%EO\r\n\x04\r\n", "%%EO\r\n\x04\r\n"},
    });
}

// The guard stands once, before anything runs: right after the prolog's
// first line, or else before the first line that is not a comment; a
// document where nothing follows needs none.
TEST(RewriteBoundingBox, PlacesTheGuardBeforeAnythingRuns)
{
    const std::string comments = "%%Title: a\r\n%%EndComments\r\n%%BeginDefaults\r\n";
    ExpectRewrites({
        {"after the prolog's first line",
         "%!PS\r\n" + comments + "%%BeginProlog\r\n/a {initclip} bind def\r\n%%BeginProlog\r\n",
         HEADER_LINE + comments + "%%BeginProlog\r\n" + GUARD +
             "/a {initclip} bind def\r\n%%BeginProlog\r\n"},
        {"without a prolog", "%!PS\r\n" + comments + "initclip\r\nshowpage\r\n",
         HEADER_LINE + comments + GUARD + "initclip\r\nshowpage\r\n"},
        {"before a Ctrl-D", "%!PS\r\n\x04\r\n", HEADER_LINE + GUARD + "\x04\r\n"},
        {"before the end", "%!PS\r\n%%Trailer\r\n%%EOF\r\n",
         HEADER_LINE + "%%Trailer\r\n" + GUARD + "%%EOF\r\n"},
        {"comments only", "%!PS\r\n" + comments, HEADER_LINE + comments},
        {"a prolog line in a block", "%!PS\r\n%%BeginFeature: x\r\n%%BeginProlog\r\n",
         HEADER_LINE + "%%BeginFeature: x\r\n%%BeginProlog\r\n"},
        {"a prolog line and nothing after it", "%!PS\r\n%%BeginProlog",
         HEADER_LINE + "%%BeginProlog\r\n"},
    });
}

// Documents in the manner of Windows PostScript drivers: the printer class
// driver's, with a PJL header, a deferred box, status lines, page-device
// code, PostScript passed through from the program and a Ctrl-D after the
// end; and Acrobat's through a laser printer's PPD, with a stale
// high-resolution box.
const std::string CLASS_DRIVER_DOCUMENT =
    "\x1b%-12345X@PJL JOB NAME=\"Vellumark\"\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n"
    "%!PS-Adobe-3.0\r\n%%Title: Vellumark Version 0.5\r\n%%Creator: PScript5.dll Version 5.2.2\r\n"
    "%%BoundingBox: (atend)\r\n%%Pages: (atend)\r\n%%EndComments\r\n%%BeginDefaults\r\n"
    "%%PageBoundingBox: 12 12 583 830\r\n%%EndDefaults\r\n%%BeginProlog\r\n"
    "/GpPBeg1 {gsave initclip 13 dict begin} bind def\r\n%%EndProlog\r\n%%BeginSetup\r\n" +
    PRODUCT_NAME +
    "\r\nfeaturebegin{\r\n%%BeginNonPPDFeature: JobTimeout 0\r\n"
    "0 1 dict dup /JobTimeout 4 -1 roll put setuserparams\r\n%%EndNonPPDFeature\r\n"
    "}featurecleanup\r\nfeaturebegin{\r\n%%BeginFeature: *PageSize A4\r\n"
    "<</PageSize [595 842] /ImagingBBox null>> setpagedevice\r\n%%EndFeature\r\n"
    "}featurecleanup\r\n%%EndSetup\r\n%%Page: 1 1\r\n"
    "%%BeginDocument: Pscript_Win_PassThrough\r\nGpPBeg1\r\n%%EndDocument\r\nshowpage\r\n" +
    PAGE_STATUS + "\r\n%%Trailer\r\n%%BoundingBox: 12 12 583 830\r\n" + LAST_PAGE +
    "\r\n%%EOF\r\n\x04";
const std::string CLASS_DRIVER_EPS =
    HEADER_LINE + "%%Title: Vellumark Version 0.5\r\n%%Creator: PScript5.dll Version 5.2.2\r\n" +
    BOX_LINE + "%%Pages: (atend)\r\n%%EndComments\r\n%%BeginDefaults\r\n" +
    "%%PageBoundingBox: 12 12 583 830\r\n%%EndDefaults\r\n%%BeginProlog\r\n" + GUARD +
    "/GpPBeg1 {gsave initclip 13 dict begin} bind def\r\n%%EndProlog\r\n%%BeginSetup\r\n" +
    "featurebegin{\r\n%%BeginNonPPDFeature: JobTimeout 0\r\n%%EndNonPPDFeature\r\n" +
    "}featurecleanup\r\nfeaturebegin{\r\n%%BeginFeature: *PageSize A4\r\n%%EndFeature\r\n" +
    "}featurecleanup\r\n%%EndSetup\r\n%%Page: 1 1\r\n" +
    "%%BeginDocument: Pscript_Win_PassThrough\r\nGpPBeg1\r\n%%EndDocument\r\nshowpage\r\n" +
    "%%Trailer\r\n" + BOX_LINE + "%%EOF\r\n";
const std::string ACROBAT_DOCUMENT =
    "%!PS-Adobe-3.0\n%%Creator: Adobe Acrobat 23.0\n%%BoundingBox: 3 141 602 651\n"
    "%%HiResBoundingBox: 3 141.0894 602.0400 650.9107\n%%EndComments\n%%BeginProlog\n"
    "/bd {bind def} bind def\n%%EndProlog\n%%Page: 1 1\n" +
    PAGE_STATUS + "\nshowpage\n" + LAST_PAGE + "\n%%EOF\n";
const std::string ACROBAT_EPS =
    HEADER_LINE + "%%Creator: Adobe Acrobat 23.0\r\n" + BOX_LINE +
    "%%HiResBoundingBox: 5 513 593 829\r\n%%EndComments\r\n" + "%%BeginProlog\r\n" + GUARD +
    "/bd {bind def} bind def\r\n%%EndProlog\r\n%%Page: 1 1\r\n" + "showpage\r\n%%EOF\r\n";

TEST(RewriteBoundingBox, DriverDocuments)
{
    ExpectRewrites({
        {"the class driver's", CLASS_DRIVER_DOCUMENT, CLASS_DRIVER_EPS},
        {"Acrobat's", ACROBAT_DOCUMENT, ACROBAT_EPS},
    });
}

TEST(BoxRewriteStream, DriverDocumentsWhateverTheChunkSize)
{
    for (size_t chunk = 1; chunk <= CLASS_DRIVER_DOCUMENT.size(); ++chunk) {
        EXPECT_EQ(CLASS_DRIVER_EPS, RewriteInChunks(CLASS_DRIVER_DOCUMENT, chunk))
            << "chunks of " << chunk << " bytes";
    }
    for (size_t chunk = 1; chunk <= ACROBAT_DOCUMENT.size(); ++chunk) {
        EXPECT_EQ(ACROBAT_EPS, RewriteInChunks(ACROBAT_DOCUMENT, chunk))
            << "chunks of " << chunk << " bytes";
    }
}

// Feature comments, the header and box lines split at every byte.
TEST(BoxRewriteStream, SameResultWhateverTheChunkSizeWithHeaderAndFeatures)
{
    const std::string input = PJL_JOB +
                              "%!PS-Adobe-3.0\r\n%%BoundingBox: (atend)\r\n%%BeginSetup\n"
                              "%%BeginNonPPDFeature: x\r\ncode\rmore\r\n%%EndNonPPDFeature\n"
                              "%%BeginFeature: *PageSize A4\rcode\n%%EndFeature\r\n";
    // The first line that runs is in a block: the guard goes before it all
    // the same, and stays when the block goes.
    const std::string expected = HEADER_LINE + BOX_LINE + "%%BeginSetup\r\n" +
                                 "%%BeginNonPPDFeature: x\r\n" + GUARD + "%%EndNonPPDFeature\r\n" +
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
    WriteFile(in, "%!PS\nshort\n");
    EXPECT_EQ(RewriteResult::WRITTEN, RewriteBoundingBox(in, out, BOX));
    EXPECT_EQ(HEADER_LINE + GUARD + "short\r\n", ReadFile(out));
    std::remove(in.c_str());
    std::remove(out.c_str());
}

TEST(RewriteBoundingBox, MissingInputLeavesExistingOutputAlone)
{
    const std::string out = TestPath("kept.eps");
    WriteFile(out, "an earlier EPS\n");
    EXPECT_EQ(RewriteResult::NO_INPUT, RewriteBoundingBox(TestPath("no_such_input.ps"), out, BOX))
        << "expected failure for a missing input";
    EXPECT_EQ("an earlier EPS\n", ReadFile(out)) << "expected the existing output untouched";
    std::remove(out.c_str());
}

TEST(RewriteBoundingBox, MissingInputCreatesNoOutput)
{
    const std::string out = TestPath("never.eps");
    std::remove(out.c_str());
    EXPECT_EQ(RewriteResult::NO_INPUT, RewriteBoundingBox(TestPath("no_such_input.ps"), out, BOX));
    EXPECT_FALSE(FileExists(out)) << "expected no output file";
}

TEST(RewriteBoundingBox, UnopenableOutputFails)
{
    const std::string in = TestPath("lonely.ps");
    WriteFile(in, "%!PS\n");
    EXPECT_EQ(RewriteResult::NOT_WRITTEN,
              RewriteBoundingBox(in, TestPath("no_such_dir/out.eps"), BOX));
    EXPECT_EQ("%!PS\n", ReadFile(in)) << "expected the input untouched";
    std::remove(in.c_str());
}

TEST(RewriteBoundingBox, UnreadableInputRemovesOutput)
{
    // A directory opens on some systems and then fails to read.
    const std::string out = TestPath("unread.eps");
    std::remove(out.c_str());
    EXPECT_NE(RewriteResult::WRITTEN, RewriteBoundingBox(testing::TempDir(), out, BOX))
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
                                               HEADER_LINE + BOX_LINE + GUARD + "showpage\r\n"};
    EXPECT_EQ(expected, recorder.seenAtFlush);
}

}  // namespace
