#include <gtest/gtest.h>

#include "platform/rtl/strings.h"

namespace tabrix {
namespace {

TEST(Strings, Utf8RoundTripKeepsEveryPlane) {
    const std::string text =
        "Stra\xC3\x9F"
        "e \xE2\x82\xAC \xF0\x9F\x98\x80 A";
    const UnicodeString wide = Utf8ToUnicode(text);
    EXPECT_EQ(wide.size(), 13u);  // the emoji takes a surrogate pair
    EXPECT_EQ(UnicodeToUtf8(wide), text);
}

TEST(Strings, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUnicode("a\xFF"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUnicode("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong NUL
    EXPECT_EQ(Utf8ToUnicode("\xE2\x82"), u"\uFFFD\uFFFD");  // cut short
    EXPECT_EQ(UnicodeToUtf8(u"x\xD800"), "x\xEF\xBF\xBD");  // lone surrogate
}

TEST(Strings, TrimRemovesBlanksAndControls) {
    EXPECT_EQ(Trim("  \t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim(u"  x "), u"x");
}

TEST(Strings, CaseMappingAsciiAndUnicode) {
    EXPECT_EQ(UpperCase("abc\xC3\xA4"), "ABC\xC3\xA4");  // ASCII only
    EXPECT_EQ(AnsiUpperCase("abc\xC3\xA4"), "ABC\xC3\x84");
    EXPECT_EQ(AnsiLowerCase("\xD0\x9C\xD0\x98\xD0\xA0"), "\xD0\xBC\xD0\xB8\xD1\x80");  // MИР -> мир
}

TEST(Strings, CompareTextIgnoresCaseBeyondAscii) {
    EXPECT_EQ(AnsiCompareText("\xC3\x84pfel", "\xC3\xA4PFEL"), 0);
    EXPECT_NE(AnsiCompareStr("\xC3\x84pfel", "\xC3\xA4pfel"), 0);
    EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
    EXPECT_GT(AnsiCompareText("b", "A"), 0);
    EXPECT_TRUE(AnsiSameText("Sheet1", "SHEET1"));
    EXPECT_FALSE(AnsiSameText("Sheet1", "Sheet2"));
    EXPECT_EQ(CompareText("aBc", "AbC"), 0);
    EXPECT_LT(CompareText("ab", "abc"), 0);
}

TEST(Strings, CompareShortcutsAgreeWithTheCollation) {
    // Equal ASCII texts take a shortcut; whatever differs still collates.
    struct TCase {
        const char *A, *B;
        int Text, Str;
    } cases[] = {
        {"Customer 0001", "CUSTOMER 0001", 0, 1},
        {"Customer 0001", "Customer 0001", 0, 0},
        {"Customer 0001", "Customer 0002", -1, -1},
        {"Customer", "Customer ", -1, -1},
        {"", "", 0, 0},
        {"a\xC3\xA4", "A\xC3\x84", 0, 1},
        {"a@", "A`", -1, -1},  // @ and ` sit beside the letters in ASCII
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(AnsiCompareText(c.A, c.B), c.Text) << c.A << " / " << c.B;
        EXPECT_EQ(AnsiCompareText(c.B, c.A), -c.Text) << c.A << " / " << c.B;
        EXPECT_EQ(AnsiCompareStr(c.A, c.B) != 0, c.Str != 0) << c.A << " / " << c.B;
    }
    EXPECT_EQ(UnicodeToUtf8(u"abc\u00E4d"),
              "abc\xC3\xA4"
              "d");  // ASCII run, then the rest
    EXPECT_EQ(UnicodeToUtf8(u""), "");
}

TEST(Strings, PosIsOneBased) {
    EXPECT_EQ(Pos("b", "abc"), 2u);
    EXPECT_EQ(Pos("x", "abc"), 0u);
}

}  // namespace
}  // namespace tabrix
