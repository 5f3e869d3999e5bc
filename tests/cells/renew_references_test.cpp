#include "cells/renew_references.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace tabrix {
namespace {

// Renewal on UTF-8 texts, so that expectations read like formulas.
std::string Renew(const std::string& formula, int rows, int cols, char sign = '#') {
    return UnicodeToUtf8(TabrixRenewCellReferences(Utf8ToUnicode(formula), rows, cols, sign));
}

TEST(RenewCellReferences, MovesRelativeRowsOnly) {
    EXPECT_EQ(Renew("=A1+B2", 3, 0), "=A4+B5");
    EXPECT_EQ(Renew("=SUM(A1:A10)", 3, 0), "=SUM(A4:A13)");
    EXPECT_EQ(Renew("=$A$1+A$1+$A1", 3, 0), "=$A$1+A$1+$A4");
    EXPECT_EQ(Renew("=a1", 3, 0), "=A4");
    EXPECT_EQ(Renew("=$a1", 3, 0), "=$a4");
    EXPECT_EQ(Renew("=A01", 3, 0), "=A4");
    EXPECT_EQ(Renew("=A$01", 3, 0), "=A$01");
    EXPECT_EQ(Renew("=A1", -1, 0), "=A1");  // row 0 does not exist
    EXPECT_EQ(Renew("=B7 - B6", -5, 0), "=B2 - B1");
}

TEST(RenewCellReferences, MovesRelativeColumnsOnly) {
    EXPECT_EQ(Renew("=B1*C1", 0, -1), "=A1*B1");
    EXPECT_EQ(Renew("=A1", 0, -1), "=A1");
    EXPECT_EQ(Renew("=$B1", 0, -1), "=$B1");
    EXPECT_EQ(Renew("=AA1", 0, -1), "=Z1");
    EXPECT_EQ(Renew("=B$2+$C$3", 0, -1), "=A$2+$C$3");
    EXPECT_EQ(Renew("=IU1", 0, 1), "=IV1");
    EXPECT_EQ(Renew("=IV1", 0, 1), "=IV1");  // column 257 does not exist
    EXPECT_EQ(Renew("=C5", 2, -2), "=A7");
}

TEST(RenewCellReferences, LeavesNamesThatAreNoReferences) {
    EXPECT_EQ(Renew("=Sheet2!A1", 3, 0), "=Sheet2!A4");
    EXPECT_EQ(Renew("=LOG10(A1)", 3, 0), "=LOG10(A4)");
    EXPECT_EQ(Renew("=A:A", 3, 0), "=A:A");
    EXPECT_EQ(Renew("=A65534", 3, 0), "=A65534");
    EXPECT_EQ(Renew("=A65532", 3, 0), "=A65535");
    EXPECT_EQ(Renew("=IW1+ABC1+$IW1+$A$$1", 3, 0), "=IW1+ABC1+$IW1+$A$$1");
    EXPECT_EQ(Renew("=R1C1+1E5+$1", 3, 0), "=R1C1+1E5+$1");
    EXPECT_EQ(Renew("=$A$70000", 3, 0), "=$A$70000");
}

TEST(RenewCellReferences, MovesWholeColumnsAndRows) {
    // As the spreadsheet does: a column range follows the columns, a row
    // range the rows.
    EXPECT_EQ(Renew("=SUM(C:D)", 3, -1), "=SUM(B:C)");
    EXPECT_EQ(Renew("=SUM($C:d)", 3, -1), "=SUM($C:C)");
    EXPECT_EQ(Renew("=SUM(1:1)+5:$7", 3, -1), "=SUM(4:4)+8:$7");
    EXPECT_EQ(Renew("=Data!B:B", 0, 1), "=Data!C:C");
    // A side that would leave the sheet keeps the whole range.
    EXPECT_EQ(Renew("=SUM(A:C)", 0, -1), "=SUM(A:C)");
    EXPECT_EQ(Renew("=SUM(1:65535)", 1, 0), "=SUM(1:65535)");
    EXPECT_EQ(Renew("=SUM(iv:IV)+SUM(IW:IW)", 1, 0), "=SUM(IV:IV)+SUM(IW:IW)");
    // Mixed shapes are no whole range; the cell reference still moves.
    EXPECT_EQ(Renew("=A:A1+1:B", 3, 0), "=A:A4+1:B");
    EXPECT_EQ(Renew("=B:BÄ", 0, -1), "=B:BÄ");
}

TEST(RenewCellReferences, LeavesQuotedTextAlone) {
    EXPECT_EQ(Renew("=\"A1\"&A1", 3, 0), "=\"A1\"&A4");
    EXPECT_EQ(Renew("=\"say \"\"B2\"\"\"&B2", 3, 0), "=\"say \"\"B2\"\"\"&B5");
    EXPECT_EQ(Renew("=A1&\"B2", 3, 0), "=A4&\"B2");  // an unclosed string runs to the end
    EXPECT_EQ(Renew("=A1\"x\"B1", 3, 0), "=A4\"x\"B4");
}

TEST(RenewCellReferences, KeepsSheetAndWorkbookNames) {
    // A sheet name in apostrophes may look like a reference; it is a name.
    EXPECT_EQ(Renew("='Q1 2024'!B2", 3, 0), "='Q1 2024'!B5");
    EXPECT_EQ(Renew("='It''s A1'!A1", 3, -0), "='It''s A1'!A4");
    EXPECT_EQ(Renew("=[Q1.xls]Sheet1!C3", 3, -1), "=[Q1.xls]Sheet1!B6");
    EXPECT_EQ(Renew("=Tbl1[[#This Row],[A1]]+A1", 3, 0), "=Tbl1[[#This Row],[A1]]+A4");
}

TEST(RenewCellReferences, TreatsOnlyFormulas) {
    EXPECT_EQ(Renew("#=A1", 3, 0), "#=A4");
    EXPECT_EQ(Renew("A1", 3, 0), "A1");
    EXPECT_EQ(Renew("   ", 3, 0), "   ");
    EXPECT_EQ(Renew("", 3, 0), "");
    EXPECT_EQ(Renew(" \t=A1 ", 3, 0), " \t=A4 ");
    EXPECT_EQ(Renew("#", 3, 0), "#");
    EXPECT_EQ(Renew("@=A1", 3, 0, '@'), "@=A4");
    EXPECT_EQ(Renew("#=A1", 3, 0, '@'), "#=A1");
    EXPECT_EQ(Renew("=A1+B2", 0, 0), "=A1+B2");
    // The marker is no field reference, whatever the sign.
    EXPECT_EQ(Renew("'=A1+'Q1'!A1", 3, 0, '\''), "'=A4+'Q1'!A4");
}

TEST(RenewCellReferences, LeavesFieldNamesAlone) {
    // A field named like a cell keeps its name; the reference beside it moves.
    EXPECT_EQ(Renew("=#X1*B1", 0, -1), "=#X1*A1");
    EXPECT_EQ(Renew("=#Orders.X1+#SUM(Q1)+C2", 3, 0), "=#Orders.X1+#SUM(Q1)+C5");
    EXPECT_EQ(Renew("#=#A1*2", 3, 0), "#=#A1*2");
    EXPECT_EQ(Renew("=#'Q1 data'+A1", 3, 0), "=#'Q1 data'+A4");
    // A sign above ASCII is the code unit of the same value.
    EXPECT_EQ(Renew("=A1\u00A7X1+B2", 3, 0, '\xA7'), "=A4\u00A7X1+B5");
    // The field syntax quotes with any character whose low bits are a quote.
    EXPECT_EQ(Renew("=#Ģx A1 yĢ+A1", 3, 0), "=#Ģx A1 yĢ+A4");
    // A doubled sign is a literal sign, so what follows is a reference.
    EXPECT_EQ(Renew("=##A1", 3, 0), "=##A4");
    EXPECT_EQ(Renew("=###A1", 3, 0), "=###A1");
    // A field name cannot begin with a digit: "#1" is an empty field and 1.
    EXPECT_EQ(Renew("=#1+A1", 3, 0), "=#1+A4");
}

TEST(RenewCellReferences, NonAsciiLettersJoinTheirName) {
    EXPECT_EQ(Renew("=ÄA1+A1", 3, 0), "=ÄA1+A4");
    EXPECT_EQ(Renew("=Übersicht!A1", 3, 0), "=Übersicht!A4");
    EXPECT_EQ(Renew("=\"Größe A1\"&B1", 3, 0), "=\"Größe A1\"&B4");
    EXPECT_EQ(Renew("=A1€", 3, 0), "=A1€");
}

TEST(RenewCellReferences, HugeRowDigitsAreNoReference) {
    // Row digits past any integer are kept, not an error that ends the report.
    EXPECT_EQ(Renew("=A99999999999+B1", 3, 0), "=A99999999999+B4");
    EXPECT_EQ(Renew("=A0000000000000001", 3, 0), "=A4");
}

TEST(RenewCellReferences, LongFormulaKeepsEverythingElse) {
    std::string formula = "=", expected = "=";
    for (int i = 1; i <= 500; ++i) {
        formula += "C" + std::to_string(i) + "+$D$" + std::to_string(i) + "+\"C" + std::to_string(i) + "\"&";
        expected += "B" + std::to_string(i + 10) + "+$D$" + std::to_string(i) + "+\"C" + std::to_string(i) + "\"&";
    }
    EXPECT_EQ(Renew(formula, 10, -1), expected);
}

}  // namespace
}  // namespace tabrix
