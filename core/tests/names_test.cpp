#include "eps/names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A single-byte code page such as 1252.
bool NoLeadBytes(unsigned char)
{
    return false;
}

// Shift-JIS (code page 932): double-byte characters start with 0x81-0x9F or
// 0xE0-0xFC, and their second byte may be any of 0x40-0xFC, '\\' (0x5C) and
// 'S' (0x53) among them.
bool ShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

void ExpectEpsPath(const std::string& expected, const std::string& path)
{
    EXPECT_EQ(expected, DeriveEpsPath(path, NoLeadBytes))
        << "for \"" << path << "\" expected \"" << expected << "\"";
}

TEST(DeriveEpsPath, ReplacesThreeLetterExtension)
{
    ExpectEpsPath("C:\\pictures\\chart.eps", "C:\\pictures\\chart.emf");
    ExpectEpsPath("C:\\pictures\\chart.eps", "C:\\pictures\\chart.EMF");
    ExpectEpsPath("Z:/tmp/fig.eps", "Z:/tmp/fig.emf");
}

TEST(DeriveEpsPath, ReplacesExtensionOfAnyLength)
{
    // Cutting three bytes would give "C:\chareps" and "C:\fig.eeps".
    ExpectEpsPath("C:\\chart.eps", "C:\\chart.x");
    ExpectEpsPath("C:\\fig.eps", "C:\\fig.emff");
    ExpectEpsPath("C:\\fig.eps", "C:\\fig.");
}

TEST(DeriveEpsPath, OnlyLastDotCounts)
{
    ExpectEpsPath("C:\\fig.v2.eps", "C:\\fig.v2.emf");
    ExpectEpsPath("C:\\fig.emf.eps", "C:\\fig.emf.emf");
}

TEST(DeriveEpsPath, AppendsWhenNameHasNoExtension)
{
    // Cutting three bytes would give "C:eps", a file in another folder.
    ExpectEpsPath("C:\\ab.eps", "C:\\ab");
    ExpectEpsPath("C:\\dir.d\\fig.eps", "C:\\dir.d\\fig");
    ExpectEpsPath("Z:/dir.d/fig.eps", "Z:/dir.d/fig");
    ExpectEpsPath("C:fig.eps", "C:fig");
    ExpectEpsPath("fig.eps", "fig");
    ExpectEpsPath(".eps", "");
}

TEST(DeriveEpsPath, TrailByteBackslashDoesNotEndFolder)
{
    // 0x95 0x5C is one character whose second byte is '\\': the extension is
    // ".b" followed by that character.
    EXPECT_EQ("C:\\a.eps", DeriveEpsPath("C:\\a.b\x95\x5C", ShiftJisLeadByte));
    EXPECT_EQ("C:\\a.b\x95\\.eps", DeriveEpsPath("C:\\a.b\x95\x5C", NoLeadBytes));
    // A lead byte at the very end has no second byte to skip.
    EXPECT_EQ("C:\\d.x\\f.eps", DeriveEpsPath("C:\\d.x\\f.\x95", ShiftJisLeadByte));
}

TEST(IsSameFileName, IgnoresCaseOfAsciiLetters)
{
    EXPECT_TRUE(IsSameFileName("C:\\Fig.EPS", "c:\\fig.eps", NoLeadBytes));
    EXPECT_TRUE(IsSameFileName("C:\\fig.eps", "C:\\fig.eps", NoLeadBytes));
    EXPECT_FALSE(IsSameFileName("C:\\fig.eps", "C:\\fig.emf", NoLeadBytes));
    EXPECT_FALSE(IsSameFileName("C:\\fig.eps", "C:\\fig.eps2", NoLeadBytes));
    EXPECT_FALSE(IsSameFileName("C:\\fig[", "C:\\fig{", NoLeadBytes));  // not letters
}

TEST(IsSameFileName, ComparesTrailBytesExactly)
{
    // 0x83 0x41 and 0x83 0x61 are two different katakana.
    EXPECT_FALSE(IsSameFileName("C:\\\x83\x41.eps", "C:\\\x83\x61.eps", ShiftJisLeadByte));
    EXPECT_TRUE(IsSameFileName("C:\\\x83\x41.eps", "C:\\\x83\x41.EPS", ShiftJisLeadByte));
    EXPECT_TRUE(IsSameFileName("C:\\\x83\x41.eps", "C:\\\x83\x61.eps", NoLeadBytes));
}

TEST(ContainsText, FindsWordAnywhereCaseSensitively)
{
    EXPECT_TRUE(ContainsText("Generic PostScript Printer", "PostScript", NoLeadBytes));
    EXPECT_TRUE(ContainsText("PostScript", "PostScript", NoLeadBytes));
    EXPECT_TRUE(ContainsText("XPostScriptX", "PostScript", NoLeadBytes));
    EXPECT_FALSE(ContainsText("generic postscript printer", "PostScript", NoLeadBytes));
    EXPECT_FALSE(ContainsText("POSTSCRIPT", "PostScript", NoLeadBytes));
    EXPECT_FALSE(ContainsText("PostScrip", "PostScript", NoLeadBytes));
    EXPECT_FALSE(ContainsText("", "PostScript", NoLeadBytes));
}

TEST(ContainsText, NeverMatchesFromTrailByte)
{
    // 0x83 0x50 is a katakana whose second byte is 'P': "ostScript" after it
    // is not the word.
    EXPECT_FALSE(ContainsText("\x83PostScript", "PostScript", ShiftJisLeadByte));
    EXPECT_TRUE(ContainsText("\x83PostScript", "PostScript", NoLeadBytes));
    // After a whole double-byte character the next byte starts a character.
    EXPECT_TRUE(ContainsText("\x83\x40PostScript", "PostScript", ShiftJisLeadByte));
    EXPECT_TRUE(ContainsText("\x83PPostScript", "PostScript", ShiftJisLeadByte));
    // A lead byte at the end does not step over the terminator.
    EXPECT_FALSE(ContainsText("Fax \x83", "PostScript", ShiftJisLeadByte));
}

}  // namespace
