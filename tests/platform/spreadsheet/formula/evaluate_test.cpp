#include <gtest/gtest.h>

#include <cmath>

#include "platform/rtl/datetime.h"
#include "platform/spreadsheet/formula/formula.h"
#include "tests/platform/spreadsheet/formula/test_context.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

using V = TScalar;
using Kind = TScalar::Kind;

class Evaluate : public ::testing::Test {
protected:
    void SetUp() override {
        // A1:A5 = 1..5, B1:B5 = "a".."e", C1 = TRUE, C2 = "7" (text), D1 = #DIV/0!
        for (int r = 1; r <= 5; ++r) {
            Ctx.Set(r, 1, V::Number(r));
            Ctx.Set(r, 2, V::Text(std::string(1, char('a' + r - 1))));
        }
        Ctx.Set(1, 3, V::Boolean(true));
        Ctx.Set(2, 3, V::Text("7"));
        Ctx.Set(1, 4, V::Error("#DIV/0!"));
        Ctx.Set("My sheet", 2, 2, V::Number(40));
    }
    // Evaluated as if in cell F3 of the formula's sheet.
    V Eval(std::string_view text, int row = 3, int col = 6) {
        TParseOptions o;
        o.AllowUnknownFunctions = true;
        return EvaluateFormula(ParseFormula(text, TFormulaDialect::English(), o), Ctx, row, col);
    }
    double Num(std::string_view text) {
        const V v = Eval(text);
        EXPECT_EQ(v.kind, Kind::Number) << text << " gave " << v.text;
        return v.number;
    }
    std::string Text(std::string_view text) {
        const V v = Eval(text);
        EXPECT_EQ(v.kind, Kind::Text) << text;
        return v.text;
    }
    std::string Error(std::string_view text) {
        const V v = Eval(text);
        EXPECT_EQ(v.kind, Kind::Error) << text;
        return v.text;
    }
    bool Bool(std::string_view text) {
        const V v = Eval(text);
        EXPECT_EQ(v.kind, Kind::Boolean) << text;
        return v.boolean;
    }
    test::TMapContext Ctx;
};

TEST_F(Evaluate, OperatorsAndConversions) {
    EXPECT_EQ(Num("-2^2+10%*2"), 4.2);
    EXPECT_EQ(Num("\"5\"+TRUE"), 6);
    EXPECT_EQ(Num("C2*2"), 14);  // numeric text in a cell converts in arithmetic
    EXPECT_EQ(Num("Z99+1"), 1);  // an empty cell is 0
    EXPECT_EQ(Num("Z99"), 0);    // and a formula showing it shows 0
    EXPECT_EQ(Error("\"a\"+1"), "#VALUE!");
    EXPECT_EQ(Error("1/0"), "#DIV/0!");
    EXPECT_EQ(Error("D1+\"a\""), "#DIV/0!");  // the first error wins
    EXPECT_EQ(Error("0^0"), "#NUM!");
    EXPECT_EQ(Text("1/3&\"|\"&1E+20&\"|\"&TRUE&\"|\"&0.1"), "0.333333333333333|1E+20|TRUE|0.1");
    EXPECT_TRUE(Bool("0.1+0.2=0.3"));
    EXPECT_TRUE(Bool("\"ABC\"=\"abc\""));
    EXPECT_TRUE(Bool("1<\"0\""));      // numbers sort before text
    EXPECT_TRUE(Bool("\"z\"<FALSE"));  // and text before Booleans
    EXPECT_TRUE(Bool("Z99=\"\""));
    EXPECT_TRUE(Bool("Z99=0"));
    EXPECT_EQ(Num("{1,2;3,4}*10"), 10);  // an array shows its first element
}

TEST_F(Evaluate, References) {
    EXPECT_EQ(Num("'My sheet'!B2/4"), 10);
    EXPECT_EQ(Num("SUM(A:A)"), 15);
    EXPECT_EQ(Num("SUM((A1,A3:A4))"), 8);
    EXPECT_EQ(Num("SUM(A1:A5 A3:C3)"), 3);
    EXPECT_EQ(Error("SUM(A1:A2 C4:C5)"), "#NULL!");
    EXPECT_EQ(Num("SUM(A2:INDEX(A:A,4))"), 9);
    // Implicit intersection: a column range in row 3 gives its row-3 cell.
    EXPECT_EQ(Num("A1:A5*2"), 6);
    EXPECT_EQ(Error("A1:A2*2"), "#VALUE!");
    EXPECT_EQ(Num("ROW()*100+COLUMN()"), 306);
    EXPECT_EQ(Num("ROWS(A1:C4)*COLUMNS(A1:C4)"), 12);
    EXPECT_EQ(Error("#REF!+1"), "#REF!");
}

TEST_F(Evaluate, Aggregates) {
    EXPECT_EQ(Num("SUM(A1:C5)"), 15);        // text and Booleans in ranges are skipped
    EXPECT_EQ(Num("SUM(1,TRUE,\"2\")"), 4);  // but count when given directly
    EXPECT_EQ(Error("SUM(A1:D1)"), "#DIV/0!");
    EXPECT_EQ(Num("AVERAGE(A1:B5)"), 3);
    EXPECT_EQ(Num("MIN(A2:A5)+MAX(A1:A5)"), 7);
    EXPECT_EQ(Num("MAX(B1:B5)"), 0);
    EXPECT_EQ(Num("COUNT(A1:C5)"), 5);
    EXPECT_EQ(Num("COUNTA(A1:C5)"), 12);
    EXPECT_EQ(Num("COUNTBLANK(A1:C5)"), 3);
    EXPECT_EQ(Error("AVERAGE(B1:B5)"), "#DIV/0!");
    EXPECT_EQ(Num("SUBTOTAL(9,A1:A5)+SUBTOTAL(1,A1:A5)"), 18);
    EXPECT_EQ(Num("SUMPRODUCT((A1:A5>2)*(A1:A5))"), 12);
    EXPECT_EQ(Num("SUMPRODUCT(A1:A2,A4:A5)"), 14);
    EXPECT_NEAR(Num("STDEV(A1:A5)"), std::sqrt(2.5), 1e-12);
    EXPECT_EQ(Num("MEDIAN(A1:A4)+LARGE(A1:A5,2)+SMALL(A1:A5,2)"), 8.5);
}

TEST_F(Evaluate, TotalsAsReportsWriteThem) {
    // Range totals over the rows a band landed on, averages as sums over counts.
    EXPECT_EQ(Num("SUM(A1:A2,A4:A5)"), 12);
    EXPECT_EQ(Num("SUM(SUM(A1:A2),SUM(A4:A5))/SUM(COUNT(A1:A2),COUNT(A4:A5))"), 3);
    EXPECT_EQ(Num("SUM(A1,A3,A5)"), 9);
    EXPECT_EQ(Num("-3"), -3);
    EXPECT_EQ(Num("MAX(A1:A5,-7)+MIN(A1:A5,-7)"), -2);
    EXPECT_EQ(Num("COUNT(A1:A5,B1:B5)"), 5);
}

TEST_F(Evaluate, ConditionalAggregates) {
    EXPECT_EQ(Num("SUMIF(A1:A5,\">2\")"), 12);
    EXPECT_EQ(Num("SUMIF(B1:B5,\"<>c\",A1:A5)"), 12);
    EXPECT_EQ(Num("SUMIF(B1:B5,\"C\",A1)"), 3);  // the sum range takes the criteria range's shape
    EXPECT_EQ(Num("COUNTIF(A1:A5,3)+COUNTIF(B:B,\"?\")"), 6);
    EXPECT_EQ(Num("COUNTIF(A1:A10,\"\")"), 5);     // blanks
    EXPECT_EQ(Num("COUNTIF(B1:B10,\"<>a\")"), 9);  // "not a" includes blanks
    EXPECT_EQ(Num("COUNTIF(C1:C2,\"7\")"), 1);     // numeric criterion meets numeric text
    EXPECT_EQ(Num("SUMIFS(A1:A5,A1:A5,\">=2\",B1:B5,\"<e\")"), 9);
    EXPECT_EQ(Num("COUNTIFS(A1:A5,\">1\",B1:B5,\"*\")"), 4);
    EXPECT_EQ(Num("MAXIFS(A1:A5,B1:B5,\"<d\")+MINIFS(A1:A5,B1:B5,\">b\")"), 6);
    EXPECT_EQ(Error("AVERAGEIF(A1:A5,\">9\")"), "#DIV/0!");
}

TEST_F(Evaluate, LogicEvaluatesOnlyTheBranchTaken) {
    EXPECT_EQ(Num("IF(A1=1,10,1/0)"), 10);
    EXPECT_EQ(Ctx.Reads, 1);
    EXPECT_FALSE(Bool("IF(FALSE,1)"));
    EXPECT_EQ(Num("IF(FALSE,1,)"), 0);
    EXPECT_EQ(Num("IFERROR(1/0,5)+IFNA(#N/A,1)"), 6);
    EXPECT_EQ(Error("IFNA(1/0,1)"), "#DIV/0!");
    EXPECT_TRUE(Bool("AND(A1:A5,C1)"));
    EXPECT_FALSE(Bool("OR(A1>1,FALSE)"));
    EXPECT_EQ(Error("AND(B1:B5)"), "#VALUE!");
    EXPECT_TRUE(Bool("XOR(TRUE,FALSE,FALSE)"));
    EXPECT_EQ(Text("IFS(A1>1,\"x\",A2>1,\"y\")"), "y");
    EXPECT_EQ(Text("SWITCH(A3,1,\"one\",3,\"three\",\"other\")"), "three");
    EXPECT_TRUE(Bool("ISBLANK(Z9)") && Bool("ISNUMBER(A1)") && Bool("ISTEXT(C2)") && Bool("ISERR(D1)"));
    EXPECT_FALSE(Bool("ISERR(#N/A)"));
}

TEST_F(Evaluate, RoundingAsTheSpreadsheetRounds) {
    EXPECT_EQ(Num("ROUND(2.675,2)"), 2.68);
    EXPECT_EQ(Num("ROUND(-2.5,0)"), -3);
    EXPECT_EQ(Num("ROUND(1234.5,-2)"), 1200);
    EXPECT_EQ(Num("ROUNDUP(-1.21,1)"), -1.3);
    EXPECT_EQ(Num("ROUNDDOWN(1.29,1)"), 1.2);
    EXPECT_EQ(Num("INT(-1.5)+TRUNC(-1.5)"), -3);
    EXPECT_EQ(Num("MOD(-3,2)"), 1);
    EXPECT_EQ(Error("MOD(1,0)"), "#DIV/0!");
    EXPECT_EQ(Num("CEILING(2.1,0.5)+FLOOR(2.9,1)"), 4.5);
    // Negative multiples: the quotient is rounded in the function's direction.
    EXPECT_EQ(Num("FLOOR(-2.5,-2)"), -2);
    EXPECT_EQ(Num("CEILING(-2.5,-2)"), -4);
    EXPECT_EQ(Num("FLOOR(-2.5,2)"), -4);
    EXPECT_EQ(Num("CEILING(-2.5,2)"), -2);
    EXPECT_EQ(Num("LARGE(\"2.3\",1)+SMALL(TRUE,1)"), 3.3);  // values given directly read as numbers
    EXPECT_EQ(Error("SQRT(-1)"), "#NUM!");
    // Arguments far beyond any count or position stay errors, not overflows.
    EXPECT_EQ(Error("DATE(2E+24,1,1)"), "#NUM!");
    EXPECT_EQ(Error("MID(\"abc\",1E+300,1)&REPT(\"a\",1E+300)"), "#VALUE!");
    EXPECT_EQ(Error("INDEX(A1:A5,1E+300)"), "#REF!");
    EXPECT_EQ(Error("FACT(1E+300)"), "#NUM!");
    EXPECT_EQ(Num("LOG(8,2)+ABS(-1)+SIGN(-3)"), 3);
}

TEST_F(Evaluate, TextFunctionsCountCharacters) {
    EXPECT_EQ(Num("LEN(\"Müller\")"), 6);
    EXPECT_EQ(Text("LEFT(\"Größe\",3)&MID(\"Größe\",4,2)&RIGHT(\"Größe\")"), "Größee");
    EXPECT_EQ(Text("UPPER(\"straße ä\")"), "STRAßE Ä");  // no letter changes length
    EXPECT_EQ(Text("PROPER(\"hello wORLD\")&TRIM(\"  a   b \")"), "Hello Worlda b");
    EXPECT_EQ(Text("SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)&REPLACE(\"abcdef\",2,3,\"X\")"), "a-b+caXef");
    EXPECT_EQ(Num("FIND(\"b\",\"abcb\",3)+SEARCH(\"B*\",\"xxbz\")"), 7);
    EXPECT_EQ(Error("FIND(\"B\",\"abc\")"), "#VALUE!");
    EXPECT_EQ(Text("CONCATENATE(\"a\",1.5,TRUE)&CONCAT(A1:A3)&TEXTJOIN(\"-\",TRUE,B1:B3,\"\")"), "a1.5TRUE123a-b-c");
    EXPECT_EQ(Num("VALUE(\"12.5\")+N(TRUE)"), 13.5);
    EXPECT_EQ(Text("REPT(\"ab\",3)&CHAR(65)&CODE(\"a\")&T(A1)&T(B1)"), "abababA97a");
}

TEST_F(Evaluate, TextFormatsNumbersInTheLocale) {
    TFormatSettingsScope us(tabrix::testing::UsSettings());
    EXPECT_EQ(Text("TEXT(1234.567,\"#,##0.00\")"), "1,234.57");
    EXPECT_EQ(Text("TEXT(0.256,\"0.0%\")&TEXT(7,\"000\")"), "25.6%007");
    // Whether a negative number rounding to zero keeps its sign differs between spreadsheets.
    EXPECT_TRUE(Eval("TEXT(-0.001,\"0.00\")").IsNotEvaluated());
    TFormatSettingsScope de(tabrix::testing::GermanSettings());
    EXPECT_EQ(Text("TEXT(1234.5,\"#.##0,00\")"), "1.234,50");  // the code is in the locale's form
    // Date and time codes, days and years with the German letters.
    EXPECT_EQ(Text("TEXT(DATE(2026,3,7)+TIME(9,5,30),\"TT.MM.JJJJ hh:mm:ss\")"), "07.03.2026 09:05:30");
    EXPECT_EQ(Text("TEXT(DATE(2026,3,7),\"t/m/jj\")&TEXT(0.5,\"h:mm\")"), "7/3/2612:00");
    EXPECT_EQ(Text("TEXT(0.99999999,\"hh:mm:ss\")&TEXT(60,\"JJJJ-MM-TT\")"), "00:00:001900-02-29");
    EXPECT_TRUE(Eval("TEXT(1,\"h:mm AM/PM\")").IsNotEvaluated());
}

TEST_F(Evaluate, DatesOfThe1900System) {
    EXPECT_EQ(Num("DATE(2024,1,1)"), EncodeDate(2024, 1, 1));
    EXPECT_EQ(Num("DATE(2024,13,1)-DATE(2025,1,1)"), 0);
    EXPECT_EQ(Num("DATE(2024,3,0)"), EncodeDate(2024, 2, 29));
    EXPECT_EQ(Num("DATE(1900,1,1)"), 1);
    EXPECT_EQ(Num("DATE(1900,2,29)"), 60);
    EXPECT_EQ(Num("DATE(1900,3,1)"), 61);
    EXPECT_EQ(Num("DATE(124,1,1)"), EncodeDate(2024, 1, 1));  // years below 1900 count from 1900
    EXPECT_EQ(Num("YEAR(60)*10000+MONTH(60)*100+DAY(60)"), 19000229);
    EXPECT_EQ(Num("DAY(59)+DAY(61)"), 29);
    EXPECT_EQ(Num("DAY(DATE(2026,12,24))+MONTH(45658)"), 25);
    EXPECT_EQ(Num("WEEKDAY(DATE(2024,1,1))*10+WEEKDAY(DATE(2024,1,1),2)"), 21);  // a Monday
    EXPECT_EQ(Num("HOUR(0.75)*100+MINUTE(TIME(1,30,0))+SECOND(TIME(0,0,59))"), 1889);
    EXPECT_EQ(Num("EOMONTH(DATE(2024,1,31),1)-EDATE(DATE(2024,1,31),1)"), 0);
    EXPECT_EQ(Num("TODAY()"), std::floor(Now()));
}

TEST_F(Evaluate, Lookups) {
    Ctx.Set(1, 7, V::Number(10)), Ctx.Set(2, 7, V::Number(20)), Ctx.Set(3, 7, V::Number(30));
    Ctx.Set(1, 8, V::Text("ten")), Ctx.Set(2, 8, V::Text("twenty")), Ctx.Set(3, 8, V::Text("thirty"));
    EXPECT_EQ(Text("VLOOKUP(20,G1:H3,2,FALSE)"), "twenty");
    EXPECT_EQ(Text("VLOOKUP(25,G1:H3,2)"), "twenty");
    EXPECT_EQ(Error("VLOOKUP(5,G1:H3,2)"), "#N/A");
    EXPECT_EQ(Error("VLOOKUP(20,G1:H3,3,FALSE)"), "#REF!");
    EXPECT_EQ(Text("VLOOKUP(\"T*Y\",H1:H3,1,FALSE)"), "twenty");
    EXPECT_EQ(Text("HLOOKUP(\"c\",{\"a\",\"c\";1,2},2,FALSE)&\"\""), "2");
    EXPECT_EQ(Num("MATCH(\"C\",B1:B5,0)*100+MATCH(35,G1:G3)*10+MATCH(3.5,{5,4,3,2},-1)"), 332);
    EXPECT_EQ(Error("MATCH(99,A1:A5,0)"), "#N/A");
    EXPECT_EQ(Num("INDEX(A1:B5,4,1)+INDEX(G1:G3,2)+INDEX({1,2,3},3)"), 27);
    EXPECT_EQ(Text("INDEX(B1:B5,MATCH(4,A1:A5,0))"), "d");
    EXPECT_EQ(Text("CHOOSE(2,1/0,\"two\")"), "two");
}

TEST_F(Evaluate, ArrayFormulasWorkElementByElement) {
    const auto array = [&](std::string_view text) {
        TEvaluateOptions o;
        o.ArrayFormula = true;
        return EvaluateFormula(ParseFormula(text, TFormulaDialect::English()), Ctx, 3, 6, o);
    };
    EXPECT_EQ(array("SUM(IF(A1:A5>2,A1:A5))").number, 12);
    EXPECT_EQ(array("SUM((A1:A5>1)*(A1:A5<5))").number, 3);
    EXPECT_EQ(array("MAX(IF(B1:B5<>\"c\",A1:A5,0))").number, 5);
    EXPECT_EQ(array("A1:A5*10").number, 10);  // the top-left element
    // As an ordinary formula the condition meets row 3 only (A3>2), and IF
    // then hands the whole range to SUM.
    EXPECT_EQ(Num("SUM(IF(A1:A5>2,A1:A5))"), 15);
    EXPECT_EQ(Num("SUM(IF(A1:A5>3,A1:A5))"), 0);
}

TEST_F(Evaluate, NamesResolveThroughTheWorkbook) {
    Ctx.Name("Rate", "0.25");
    Ctx.Name("Data", "Sheet2!$A$1:$A$2,$A$1:$A$5");
    Ctx.Name("Loop", "Loop+1");
    Ctx.Set("Sheet2", 1, 1, V::Number(100));
    EXPECT_EQ(Num("Rate*A4"), 1);
    EXPECT_EQ(Num("SUM(Data)"), 115);
    EXPECT_EQ(Error("Unknown+1"), "#NAME?");
    EXPECT_TRUE(Eval("Loop").IsNotEvaluated());
}

TEST_F(Evaluate, WhatItCannotComputeIsLeftUnevaluated) {
    for (std::string_view text :
         {"OFFSET(A1,1,0)", "INDIRECT(\"A1\")", "Table1[Col]*2", "SROUND(A1)", "[1]Sheet1!A1", "Sheet1:Sheet3!A1",
          "IFERROR(OFFSET(A1,1,0),0)", "BESSELJ(1,1)", "SUBTOTAL(109,A1:A5)", "T(A1:A2)", "VALUE(\"$1,000\")",
          "COUNTIF(A1:A5,1/0)", "TEXT(1234567890.5,\"General\")", "1E-05&\"\""})
        EXPECT_TRUE(Eval(text).IsNotEvaluated()) << text;
    // A cell the workbook could not compute makes its users unevaluated too.
    Ctx.Set(9, 1, TScalar::NotEvaluated());
    EXPECT_TRUE(Eval("A9+1").IsNotEvaluated());
    EXPECT_TRUE(Eval("SUM(A1:A9)").IsNotEvaluated());
    EXPECT_EQ(Num("IF(A1=1,2,A9)"), 2);  // unless the branch is not taken
}

}  // namespace
}  // namespace tabrix::xl
