#include <gtest/gtest.h>

#include "platform/spreadsheet/formula/formula.h"

namespace tabrix::xl {
namespace {

TEST(ShiftFormula, RelativePartsMoveAbsolutePartsStay) {
    EXPECT_EQ(ShiftFormula("A1+$A1+A$1+$A$1", 2, 3), "D3+$A3+D$1+$A$1");
    EXPECT_EQ(ShiftFormula("SUM(B2:C5)", -1, -1), "SUM(A1:B4)");
    EXPECT_EQ(ShiftFormula("SUM(A:B)*SUM(3:4)", 10, 1), "SUM(B:C)*SUM(13:14)");
    EXPECT_EQ(ShiftFormula("SUM($A:$B)+SUM($3:$4)", 10, 10), "SUM($A:$B)+SUM($3:$4)");
}

TEST(ShiftFormula, PrefixesNamesStringsAndTablesAreKept) {
    EXPECT_EQ(ShiftFormula("'My sheet'!A1+Sheet2:Sheet3!B$2+[1]Data!C3", 1, 0),
              "'My sheet'!A2+Sheet2:Sheet3!B$2+[1]Data!C4");
    EXPECT_EQ(ShiftFormula("\"A1\"&Total2019&Tbl[[#This Row],[A1]]", 5, 5), "\"A1\"&Total2019&Tbl[[#This Row],[A1]]");
    EXPECT_EQ(ShiftFormula("LOG10(A1)", 1, 0), "LOG10(A2)");
}

TEST(ShiftFormula, LeavingTheSheetGivesRefError) {
    EXPECT_EQ(ShiftFormula("A1+B2", -1, 0), "#REF!+B1");
    EXPECT_EQ(ShiftFormula("SUM(A1:B2)", 0, -1), "SUM(#REF!)");
    EXPECT_EQ(ShiftFormula("Data!A1048576", 1, 0), "Data!#REF!");
    EXPECT_EQ(ShiftFormula("XFD1", 0, 1), "#REF!");
    EXPECT_EQ(ShiftFormula("SUM(A:A)", 0, -1), "SUM(#REF!)");
    EXPECT_EQ(ShiftFormula("$A$1+#REF!", 3, 3), "$A$1+#REF!");
    EXPECT_EQ(ShiftFormula("SUM(A1#)+B2#", -1, 0), "SUM(#REF!)+B1#");
}

TEST(ShiftFormula, MixedRangeTurningRoundIsNormalised) {
    // A$5:A6 copied three rows up: the relative end passes the fixed one.
    EXPECT_EQ(ShiftFormula("SUM(A$5:A6)", -3, 0), "SUM(A3:A$5)");
    EXPECT_EQ(ShiftFormula("SUM($C1:A1)", 0, 4), "SUM($C1:E1)");
}

TEST(ShiftFormula, TextComesBackUnchangedWhenNothingMoves) {
    const std::string text = "sum( $a$1 , \"x\" )  &  name";
    EXPECT_EQ(ShiftFormula(text, 7, 7), text);
    EXPECT_EQ(ShiftFormula("a1+b2", 0, 0), "a1+b2");
    EXPECT_EQ(ShiftFormula("TODAY()", 4, 4), "TODAY()");
    // Only moved references are rewritten; the rest keeps its spelling.
    EXPECT_EQ(ShiftFormula("sum(a1, $b$2)", 1, 0), "sum(A2, $b$2)");
}

TEST(ShiftFormula, BadTextRaises) {
    EXPECT_THROW(ShiftFormula("\"A1", 1, 1), EFormulaError);
    EXPECT_THROW(ShiftFormula("A1048577", 1, 1), EFormulaError);
}

}  // namespace
}  // namespace tabrix::xl
