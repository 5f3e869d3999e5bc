#include <gtest/gtest.h>

#include "platform/spreadsheet/cell_address.h"
#include "platform/spreadsheet/styles.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {
namespace {

TEST(CellAddress, ColumnLettersRoundTripAtTheLetterBoundaries) {
    for (int column : {1, 26, 27, 52, 53, 702, 703, 16384}) {
        TCellRef ref;
        std::string text = CellAddress(7, column);
        ASSERT_TRUE(TryParseCellAddress(text, ref)) << text;
        EXPECT_EQ(ref.Column, column) << text;
        EXPECT_EQ(ref.Row, 7);
    }
    EXPECT_EQ(ColumnLetters(702), "ZZ");
    EXPECT_EQ(ColumnLetters(703), "AAA");
    EXPECT_EQ(ColumnLetters(16384), "XFD");
    EXPECT_EQ(CellAddress(3, 28, true, true), "$AB$3");
}

TEST(CellAddress, ReadsMarkersAndLowerCaseButNothingBeyondTheSheet) {
    TCellRef ref;
    EXPECT_TRUE(TryParseCellAddress("$b$12", ref));
    EXPECT_EQ(ref, (TCellRef{12, 2}));
    EXPECT_TRUE(TryParseCellAddress("XFD1048576", ref));
    for (const char* bad : {"XFE1", "A1048577", "A0", "A", "12", "A1 ", " A1", "A-1", "", "$$A1"})
        EXPECT_FALSE(TryParseCellAddress(bad, ref)) << bad;
}

TEST(CellAddress, AreasJoinAtCommasAndColonsBindTighter) {
    std::vector<TCellRect> areas = ParseAreas("A1,B2:C3");
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0], (TCellRect{1, 1, 1, 1}));
    EXPECT_EQ(areas[1], (TCellRect{2, 2, 3, 3}));
    // Corners in the wrong order are normalised, a third corner widens.
    EXPECT_EQ(ParseAreas("D5:B7")[0], (TCellRect{5, 2, 7, 4}));
    EXPECT_EQ(ParseAreas("A1:B2:D1")[0], (TCellRect{1, 1, 2, 4}));
    EXPECT_EQ(ParseAreas("B:C")[0], (TCellRect{1, 2, kMaxRows, 3}));
    EXPECT_EQ(ParseAreas("$3:$4")[0], (TCellRect{3, 1, 4, kMaxColumns}));
    for (const char* bad : {"A1,", ",A1", "A1:", "A1;B2", "A1:ZZZZ2", "Sheet1!A1"})
        EXPECT_THROW(ParseAreas(bad), ESpreadsheetError) << bad;
}

TEST(XmlText, ControlCharactersAndLiteralEscapesSurviveARoundTrip) {
    std::string text = std::string("a\x01") + "b_x0041_c\r\t<&>\"";
    std::string xml;
    AppendXmlText(xml, text);
    EXPECT_EQ(xml.find('\x01'), std::string::npos);
    EXPECT_EQ(xml.find('<'), std::string::npos);
    EXPECT_NE(xml.find("&gt;\""), std::string::npos) << "quotes stay literal in element text";
    // What a reader gets after entity decoding is the escaped form; decoding
    // the file format's escapes gives the text back.
    std::string entityDecoded = xml;
    for (auto [from, to] :
         {std::pair<std::string, std::string>{"&lt;", "<"}, {"&gt;", ">"}, {"&#13;", "\r"}, {"&amp;", "&"}}) {
        for (size_t p; (p = entityDecoded.find(from)) != std::string::npos;) entityDecoded.replace(p, from.size(), to);
    }
    EXPECT_EQ(DecodeXmlEscapes(entityDecoded), text);
}

TEST(NumberFormats, ClassifiesCodesAsASpreadsheetReadsThem) {
    using K = TNumberFormatKind;
    EXPECT_EQ(TStyles::ClassifyFormat("General"), K::General);
    EXPECT_EQ(TStyles::ClassifyFormat("dd/mm/yyyy"), K::Date);
    EXPECT_EQ(TStyles::ClassifyFormat("[$-407]mmmm yy"), K::Date);
    EXPECT_EQ(TStyles::ClassifyFormat("h:mm AM/PM"), K::Time);
    EXPECT_EQ(TStyles::ClassifyFormat("mm:ss"), K::Time);
    EXPECT_EQ(TStyles::ClassifyFormat("[h]:mm:ss"), K::Time);
    EXPECT_EQ(TStyles::ClassifyFormat("m/d/yy h:mm"), K::DateTime);
    EXPECT_EQ(TStyles::ClassifyFormat("0.0%"), K::Percent);
    EXPECT_EQ(TStyles::ClassifyFormat("@"), K::Text);
    // Quoted and escaped letters are literals, colours are not tokens.
    EXPECT_EQ(TStyles::ClassifyFormat("#,##0 \"days\""), K::Number);
    EXPECT_EQ(TStyles::ClassifyFormat("[Red]0.00\\h"), K::Number);
    EXPECT_EQ(TStyles::ClassifyFormat("0.00;[Red]-0.00;\"-\""), K::Number);
}

}  // namespace
}  // namespace tabrix::xl
