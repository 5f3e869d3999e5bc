#include <gtest/gtest.h>

#include "platform/spreadsheet/formula/formula.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

// Kinds of the non-blank tokens, one letter each, for compact expectations.
std::string Kinds(std::string_view text, const TFormulaDialect& d = TFormulaDialect::English()) {
    std::string s;
    for (const TToken& t : Tokenize(text, d)) {
        switch (t.Kind) {
            case TTokenKind::Number:
                s += 'N';
                break;
            case TTokenKind::String:
                s += 'S';
                break;
            case TTokenKind::Boolean:
                s += 'B';
                break;
            case TTokenKind::Error:
                s += 'E';
                break;
            case TTokenKind::Reference:
                s += 'R';
                break;
            case TTokenKind::Name:
                s += 'n';
                break;
            case TTokenKind::StructuredRef:
                s += 'T';
                break;
            case TTokenKind::Function:
                s += 'F';
                break;
            case TTokenKind::OpenParen:
                s += '(';
                break;
            case TTokenKind::CloseParen:
                s += ')';
                break;
            case TTokenKind::OpenBrace:
                s += '{';
                break;
            case TTokenKind::CloseBrace:
                s += '}';
                break;
            case TTokenKind::ListSeparator:
                s += ',';
                break;
            case TTokenKind::ArrayColumnSeparator:
                s += 'c';
                break;
            case TTokenKind::ArrayRowSeparator:
                s += 'r';
                break;
            case TTokenKind::Operator:
                s += 'o';
                break;
            case TTokenKind::Whitespace:
                s += '_';
                break;
        }
    }
    return s;
}

TArea OnlyArea(std::string_view text) {
    const auto tokens = Tokenize(text, TFormulaDialect::English());
    EXPECT_EQ(tokens.size(), 1u) << text;
    EXPECT_EQ(tokens[0].Kind, TTokenKind::Reference) << text;
    return tokens[0].Area;
}

TEST(FormulaLexer, ReferenceForms) {
    TArea a = OnlyArea("$B$3");
    EXPECT_EQ(a.AreaKind, TArea::Kind::Cell);
    EXPECT_TRUE(a.AbsRow1 && a.AbsCol1);
    EXPECT_EQ(a.Row1, 3);
    EXPECT_EQ(a.Col1, 2);

    a = OnlyArea("A$1:xfd1048576");
    EXPECT_EQ(a.AreaKind, TArea::Kind::Range);
    EXPECT_TRUE(a.AbsRow1);
    EXPECT_FALSE(a.AbsCol1);
    EXPECT_EQ(a.Col2, kMaxColumns);
    EXPECT_EQ(a.Row2, kMaxRows);

    a = OnlyArea("$A:C");
    EXPECT_EQ(a.AreaKind, TArea::Kind::Columns);
    EXPECT_EQ(a.Col1, 1);
    EXPECT_EQ(a.Col2, 3);

    a = OnlyArea("$C$5:A2");  // turned round: kept top-left first, with the markers
    EXPECT_EQ(a.Row1, 2);
    EXPECT_EQ(a.Col1, 1);
    EXPECT_FALSE(a.AbsRow1 || a.AbsCol1);
    EXPECT_TRUE(a.AbsRow2 && a.AbsCol2);

    a = OnlyArea("2:$5");
    EXPECT_EQ(a.AreaKind, TArea::Kind::Rows);
    EXPECT_EQ(a.Row1, 2);
    EXPECT_TRUE(a.AbsRow2);
}

TEST(FormulaLexer, SheetPrefixesStayWithTheReference) {
    for (std::string_view text : {"Sheet1!A1", "'My sheet'!$A$1:B2", "'It''s'!A:A", "Sheet1:Sheet3!A1",
                                  "[1]Sheet1!$A$1", "'[1]Data 2'!B8", "'1'!#REF!", "Данные!A1"}) {
        const auto tokens = Tokenize(text, TFormulaDialect::English());
        ASSERT_EQ(tokens.size(), 1u) << text;
        EXPECT_EQ(tokens[0].Kind, TTokenKind::Reference) << text;
        EXPECT_EQ(text[tokens[0].PrefixLen - 1], '!') << text;
    }
    EXPECT_EQ(Tokenize("Sheet1!#REF!", TFormulaDialect::English())[0].Area.AreaKind, TArea::Kind::Error);
}

TEST(FormulaLexer, NamesFunctionsAndTablesAreNotCells) {
    EXPECT_EQ(Kinds("LOG10(A1)"), "F(R)");  // LOG10 would be a cell without its '('
    EXPECT_EQ(Kinds("R2D2+ABCD1"), "non");
    EXPECT_EQ(Kinds("_xlfn.FLOOR.MATH(C$1,$A3)"), "F(R,R)");
    EXPECT_EQ(Kinds("Sheet1!Total*[1]!Rate"), "non");
    EXPECT_EQ(Kinds("Table1[[#This Row],[Qty]]*[@Price]"), "ToT");
    EXPECT_EQ(Kinds("SUM(Tbl[Col ']])"), "F(T)");
    EXPECT_EQ(Kinds("TRUE()+true+FALSE"), "F()oBoB");
}

TEST(FormulaLexer, LiteralsOperatorsAndBlanks) {
    EXPECT_EQ(Kinds("\"a\"\"b\"&#N/A&#DIV/0!"), "SoEoE");
    EXPECT_EQ(Kinds("1.5E+3%<>.5"), "NooN");
    EXPECT_EQ(Kinds("A1 B1\n+C1"), "R_R_oR");
    EXPECT_EQ(Kinds("A1<=B1>=C1"), "RoRoR");
    EXPECT_EQ(Kinds("A1#+SORT(B1:B3)#"), "RooF(R)o");
    EXPECT_EQ(Kinds("{1,2;3,4}"), "{NcNrNcN}");
}

TEST(FormulaLexer, LocalDialectSeparators) {
    const TFormulaDialect de = TFormulaDialect::Local(tabrix::testing::GermanSettings());
    EXPECT_EQ(de.ListSeparator, ';');
    EXPECT_EQ(de.DecimalSeparator, ',');
    EXPECT_EQ(Kinds("SUM(1,5;A1)", de), "F(N,R)");
    EXPECT_EQ(Kinds("{1,5.2;3.4}", de), "{NcNrNcN}");
}

TEST(FormulaLexer, RejectsWhatNoSpreadsheetAccepts) {
    const auto fails = [](std::string_view text, std::string_view what) {
        try {
            Tokenize(text, TFormulaDialect::English());
            ADD_FAILURE() << "accepted: " << text;
        } catch (const EFormulaError& e) {
            EXPECT_NE(std::string(e.Message()).find(what), std::string::npos) << e.Message();
            EXPECT_NE(std::string(e.Message()).find(std::string("=") + std::string(text)), std::string::npos);
        }
    };
    fails("\"open", "unclosed string");
    fails("'My sheet!A1", "unclosed quoted sheet name");
    fails("A1048577", "beyond the sheet");
    fails("XFE1+1", "beyond the sheet");
    fails("1:1048577", "beyond the sheet");
    fails("Sheet1!A1:B99999999", "beyond the sheet");
    fails("#BOGUS!", "unknown error value");
    fails("Tbl[Col", "unclosed bracket");
    fails("A1;B1", "unexpected character ';'");
    fails("'Q1' + 1", "without '!'");
}

TEST(FormulaLexer, ErrorNamesThePosition) {
    try {
        Tokenize("1+\"x", TFormulaDialect::English());
        FAIL();
    } catch (const EFormulaError& e) {
        EXPECT_EQ(std::string(e.Message()), "unclosed string at position 3 in formula =1+\"x");
    }
}

TEST(FormulaLexer, ColumnLetters) {
    char buf[4];
    for (int col : {1, 26, 27, 52, 702, 703, 16384}) {
        ColumnLetters(col, buf);
        EXPECT_EQ(ColumnFromLetters(buf), col) << buf;
    }
    ColumnLetters(16384, buf);
    EXPECT_STREQ(buf, "XFD");
    EXPECT_EQ(ColumnFromLetters("xfe"), 0);
    EXPECT_EQ(ColumnFromLetters("A1"), 0);
}

}  // namespace
}  // namespace tabrix::xl
