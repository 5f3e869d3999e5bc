#include <gtest/gtest.h>

#include "platform/spreadsheet/formula/formula.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

const TFormulaDialect kEn = TFormulaDialect::English();

TFormulaDialect German() { return TFormulaDialect::Local(tabrix::testing::GermanSettings()); }

std::string ParseError(std::string_view text, const TFormulaDialect& d = kEn) {
    return tabrix::testing::RaisedMessage<EFormulaError>([&] { ParseFormula(text, d); }, "accepted");
}

// The tree as a prefix expression, to check precedence and grouping.
std::string Tree(const TFormula& f, const TFormulaNode& n) {
    auto kids = [&] {
        std::string s;
        for (int i = 0; i < n.ChildCount; ++i) s += (i ? " " : "") + Tree(f, f.Child(n, i));
        return s;
    };
    switch (n.Kind) {
        case TNodeKind::Binary:
            return std::string("(") + n.Op + " " + kids() + ")";
        case TNodeKind::Unary:
            return std::string("(u") + n.Op + " " + kids() + ")";
        case TNodeKind::Percent:
            return "(% " + kids() + ")";
        case TNodeKind::Spill:
            return "(# " + kids() + ")";
        case TNodeKind::Parentheses:
            return kids();
        case TNodeKind::Union:
            return "(union " + kids() + ")";
        case TNodeKind::Function:
            return "(" + std::string(f.TokenText(n.Token)) + " " + kids() + ")";
        case TNodeKind::Array:
            return "{" + std::to_string(n.ArrayColumns) + " " + kids() + "}";
        case TNodeKind::Missing:
            return "_";
        default:
            return std::string(f.TokenText(n.Token));
    }
}
std::string Tree(std::string_view text) {
    const TFormula f = ParseFormula(text, kEn);
    return Tree(f, f.Nodes()[f.Root()]);
}

TEST(FormulaParser, PrecedenceAsTheSpreadsheetHasIt) {
    EXPECT_EQ(Tree("-2^2"), "(^ (u- 2) 2)");
    EXPECT_EQ(Tree("1+2*3^2%"), "(+ 1 (* 2 (^ 3 (% 2))))");
    EXPECT_EQ(Tree("A1&B1=C1+1"), "(= (& A1 B1) (+ C1 1))");
    EXPECT_EQ(Tree("1-2-3"), "(- (- 1 2) 3)");
    EXPECT_EQ(Tree("SUM(A1:B2 B1:C3)"), "(SUM (  A1:B2 B1:C3))");
    EXPECT_EQ(Tree("SUM((A1,B1:B2))"), "(SUM (union A1 B1:B2))");
    EXPECT_EQ(Tree("-A1:INDEX(B:B,2)"), "(u- (: A1 (INDEX B:B 2)))");
    EXPECT_EQ(Tree("A1 + B1"), "(+ A1 B1)");
    EXPECT_EQ(Tree("@A1:A5"), "(u@ A1:A5)");
    EXPECT_EQ(Tree("SUM(A1#)"), "(SUM (# A1))");
    EXPECT_EQ(Tree("IF(A1,,)"), "(IF A1 _ _)");
    EXPECT_EQ(Tree("{1,-2;\"a\",TRUE}"), "{2 1 (u- 2) \"a\" TRUE}");
}

TEST(FormulaParser, ValidatesFunctionsAndArguments) {
    EXPECT_NE(ParseError("SUMM(A1)").find("unknown function SUMM"), std::string::npos);
    EXPECT_NE(ParseError("IF(A1)").find("too few arguments for IF"), std::string::npos);
    EXPECT_NE(ParseError("ROUND(1,2,3)").find("too many arguments for ROUND"), std::string::npos);
    EXPECT_NE(ParseError("SUM()").find("too few arguments"), std::string::npos);
    EXPECT_EQ(ParseError("PI()+ROW()+_xlfn.CONCAT(\"a\",1)+concat(1)"), "accepted");
    EXPECT_EQ(ParseError("_xll.MyAddIn(1)+_xludf.Mine(2)"), "accepted");
    TParseOptions lenient;
    lenient.AllowUnknownFunctions = true;
    EXPECT_NO_THROW(ParseFormula("SROUND(A1)", kEn, lenient));
    EXPECT_TRUE(ParseFormula("NOW()+1", kEn).IsVolatile());
    EXPECT_FALSE(ParseFormula("SUM(A1)", kEn).IsVolatile());
}

TEST(FormulaParser, SyntaxErrorsSayWhatAndWhere) {
    EXPECT_NE(ParseError("SUM(A1").find("unclosed parenthesis"), std::string::npos);
    EXPECT_NE(ParseError("(1+2").find("unclosed parenthesis at position 1"), std::string::npos);
    EXPECT_NE(ParseError("1+2)").find("')' without '('"), std::string::npos);
    EXPECT_NE(ParseError("1+").find("operand expected"), std::string::npos);
    EXPECT_NE(ParseError("").find("empty formula"), std::string::npos);
    EXPECT_NE(ParseError("   ").find("empty formula"), std::string::npos);
    EXPECT_NE(ParseError("A1,B1").find("unexpected ','"), std::string::npos);
    EXPECT_NE(ParseError("{1,2;3}").find("rows of different lengths"), std::string::npos);
    EXPECT_NE(ParseError("{A1}").find("constant expected"), std::string::npos);
    EXPECT_NE(ParseError("1 2").find("unexpected '2'"), std::string::npos);
    EXPECT_NE(ParseError("SUM(A1;B1)").find("unexpected character ';'"), std::string::npos);
    EXPECT_NE(ParseError("SUM(A1,B1)", German()).find("unexpected character ','"), std::string::npos);
    EXPECT_NE(ParseError(std::string(300, '(') + "1" + std::string(300, ')')).find("nested too deeply"),
              std::string::npos);
    EXPECT_NE(ParseError("1+" + std::string(9000, '1')).find("longer than 8192"), std::string::npos);
    // '@' nests like the SINGLE call it is in files: what parses here also parses there.
    EXPECT_NE(ParseError(std::string(120, '@') + "A1").find("nested too deeply"), std::string::npos);
    EXPECT_EQ(ParseError(std::string(60, '@') + "A1"), "accepted");
    EXPECT_EQ(ParseError(TranslateFormula(std::string(60, '@') + "A1", kEn, kEn)), "accepted");
    TParseOptions names;
    names.AllowTopLevelUnion = true;
    EXPECT_NO_THROW(ParseFormula("Sheet1!$A$1:$B$2,Sheet1!$D$1", kEn, names));
}

TEST(FormulaTranslate, EnglishAndGermanMeetInTheMiddle) {
    const TFormulaDialect de = German();
    EXPECT_EQ(TranslateFormula("SUM(A1:B2,1.5,{1.5,2;3,4})*-0.5%", kEn, de), "SUM(A1:B2;1,5;{1,5.2;3.4})*-0,5%");
    EXPECT_EQ(TranslateFormula("SUM(A1:B2;1,5;{1,5.2;3.4})*-0,5%", de, kEn), "SUM(A1:B2,1.5,{1.5,2;3,4})*-0.5%");
    // Strings and sheet names keep their commas and semicolons.
    EXPECT_EQ(TranslateFormula("IF('a,b'!A1=\"x,y;z\",1.5,)", kEn, de), "IF('a,b'!A1=\"x,y;z\";1,5;)");
    EXPECT_EQ(TranslateFormula("SUM((A1,B1))", kEn, de), "SUM((A1;B1))");
}

TEST(FormulaTranslate, FilePrefixesOfNewerFunctions) {
    const TFormulaDialect de = German();
    EXPECT_EQ(TranslateFormula("_xlfn.CONCAT(A1,_xlfn._xlws.SORT(B1:B3))", kEn, de), "CONCAT(A1;SORT(B1:B3))");
    EXPECT_EQ(TranslateFormula("concat(a1;sort(b1:b3);iferror(1;2))", de, kEn),
              "_xlfn.CONCAT(A1,_xlfn._xlws.SORT(B1:B3),IFERROR(1,2))");
    EXPECT_EQ(TranslateFormula("_xlfn.FLOOR.MATH(C$1,$A3,-1)", kEn, kEn), "_xlfn.FLOOR.MATH(C$1,$A3,-1)");
}

TEST(FormulaTranslate, ImplicitIntersectionAndSpillHaveFunctionFormsInFiles) {
    const TFormulaDialect de = German();
    EXPECT_EQ(TranslateFormula("@A1:A3*2", de, kEn), "_xlfn.SINGLE(A1:A3)*2");
    EXPECT_EQ(TranslateFormula("SUM(A1#;@Sheet2!B:B)", de, kEn), "SUM(_xlfn.ANCHORARRAY(A1),_xlfn.SINGLE(Sheet2!B:B))");
    EXPECT_EQ(TranslateFormula("@A1#", de, kEn), "_xlfn.SINGLE(_xlfn.ANCHORARRAY(A1))");
    EXPECT_EQ(TranslateFormula("_xlfn._xlws.SORT(B1:B3)# + 1", de, kEn),
              "_xlfn.ANCHORARRAY(_xlfn._xlws.SORT(B1:B3)) + 1");
    // The user's form keeps what he typed.
    EXPECT_EQ(TranslateFormula("@A1:A3", kEn, de), "@A1:A3");
    // What files hold reads as such.
    EXPECT_EQ(TranslateFormula("_xlfn.SINGLE(A1:A3)", kEn, de), "SINGLE(A1:A3)");
}

TEST(FormulaTranslate, UserSpellingIsNormalisedLikeTheSpreadsheetDoes) {
    EXPECT_EQ(TranslateFormula("sum(a1:$b$2)+true+#n/a", kEn, kEn), "SUM(A1:$B$2)+TRUE+#N/A");
    // Names and sheet names keep their case; blanks are kept.
    EXPECT_EQ(TranslateFormula("myTotal * 'my Sheet'!c3", kEn, kEn), "myTotal * 'my Sheet'!C3");
}

}  // namespace
}  // namespace tabrix::xl

namespace tabrix::xl {
namespace {

TEST(FormulaReach, SheetsNamesAndWhatCanReadAnything) {
    struct TCase {
        const char* Text;
        const char* Sheets;  // joined with '|'
        const char* Names;
        bool Own, Anything, Subtotal;
    };
    const TCase cases[] = {
        {"SUM(Report!D:D)+A1", "Report", "", true, false, false},
        {"'My ''x'' sheet'!A1*Rate", "My 'x' sheet", "Rate", false, false, false},
        {"Data!Total+'Q 1'!B2:C3", "Data|Q 1", "Data!Total", false, false, false},
        {"INDIRECT(\"A\"&B1)", "", "", true, true, false},
        {"[1]Sheet1!A1", "", "", false, true, false},
        {"Sheet1:Sheet3!A1", "", "", false, true, false},
        {"Table1[Amount]", "", "", false, true, false},
        {"TODAY()-1", "", "", false, true, false},
        {"MYUDF(A1)", "", "", true, true, false},
        {"SUBTOTAL(9,A:A)*2", "", "", true, false, true},
        {"_xlfn.AGGREGATE(9,0,A1:A4)", "", "", true, false, true},
        {"\"SUBTOTAL(9,A1)\"&\"x\"", "", "", false, false, false},
    };
    const auto join = [](const std::vector<std::string>& list) {
        std::string s;
        for (const std::string& item : list) s += (s.empty() ? "" : "|") + item;
        return s;
    };
    for (const TCase& c : cases) {
        const TFormulaReach r = FormulaReach(c.Text);
        EXPECT_EQ(join(r.Sheets), c.Sheets) << c.Text;
        EXPECT_EQ(join(r.Names), c.Names) << c.Text;
        EXPECT_EQ(r.OwnSheet, c.Own) << c.Text;
        EXPECT_EQ(r.Anything, c.Anything) << c.Text;
        EXPECT_EQ(r.Subtotal, c.Subtotal) << c.Text;
        EXPECT_EQ(CallsSubtotal(c.Text), c.Subtotal) << c.Text;
    }
}

}  // namespace
}  // namespace tabrix::xl
