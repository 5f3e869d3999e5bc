// The evaluator against LibreOffice: the same cells and formulas computed by
// both, compared value by value.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/spreadsheet/formula/formula.h"
#include "tests/platform/spreadsheet/formula/test_context.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

namespace fs = std::filesystem;

struct TInput {
    const char* Address;
    const char* Content;  // n:number, s:text, b:TRUE/FALSE
};

const TInput kInputs[] = {
    {"A1", "n:1"},      {"A2", "n:2.5"},   {"A3", "n:-3"},    {"A4", "n:0"},
    {"A5", "n:10"},     {"A6", "n:0.001"}, {"B1", "s:apple"}, {"B2", "s:Banana"},
    {"B3", "s:cherry"}, {"B4", "s:10"},    {"B5", "s:a*b"},   {"B6", "s:  two  words "},
    {"C1", "b:TRUE"},   {"C2", "b:FALSE"}, {"C3", "n:45292"}, {"C4", "n:45351.75"},
    {"C5", "n:61"},     {"C6", "n:59"},    {"D1", "n:10"},    {"D2", "n:20"},
    {"D3", "n:30"},     {"D4", "n:40"},    {"E1", "s:ten"},   {"E2", "s:twenty"},
    {"E3", "s:thirty"}, {"E4", "s:forty"},
};

// Where the two spreadsheets differ the evaluator follows Excel, and these
// cases are checked in evaluate_test.cpp instead: LibreOffice writes
// 1E+020 for 1E+20, takes Booleans for numbers (in SUM and COUNT over ranges
// and when compared with text), rejects numeric text given to SUM directly,
// and has no 29 February 1900 (DATE(1900,2,29), DAY(59)).
const char* const kFormulas[] = {
    "1+2*3-4/8",
    "-2^2",
    "2^-1",
    "10%*A5",
    "(A1+A2)*A3",
    "A2/A4",
    "A1&B1",
    "1/3&\"\"",
    "0.1+0.2=0.3",
    "\"abc\"=\"ABC\"",
    "A1<B1",
    "Z99+1",
    "Z99=\"\"",
    "B4+1",
    "C1+C1",
    "\"x\"+1",
    "SUM(A1:A6)",
    "AVERAGE(A1:A6)",
    "MIN(A1:A6)",
    "MAX(A1:B6)",
    "COUNTA(A1:C6)",
    "COUNTBLANK(A1:A10)",
    "PRODUCT(A1:A3)",
    "SUMSQ(A1:A3)",
    "SUBTOTAL(9,A1:A6)",
    "SUBTOTAL(1,D1:D4)",
    "SUBTOTAL(4,A1:A6)",
    "SUMPRODUCT((A1:A6>0)*A1:A6)",
    "SUMPRODUCT(D1:D4,D1:D4)",
    "STDEV(D1:D4)",
    "STDEVP(D1:D4)",
    "VAR(A1:A6)",
    "MEDIAN(A1:A6)",
    "LARGE(A1:A6,2)",
    "SMALL(A1:A6,2)",
    "SUMIF(A1:A6,\">1\")",
    "SUMIF(B1:B6,\"*an*\",A1:A6)",
    "COUNTIF(A1:A10,\"\")",
    "COUNTIF(B1:B6,\"<>apple\")",
    "COUNTIF(A1:A6,\">=2.5\")",
    "AVERAGEIF(D1:D4,\"<35\")",
    "SUMIFS(D1:D4,D1:D4,\">10\",E1:E4,\"t*\")",
    "COUNTIFS(A1:A6,\">0\",A1:A6,\"<5\")",
    "IF(A1>0,\"pos\",\"neg\")",
    "IF(A4,1,)",
    "IFERROR(A2/A4,-1)",
    "AND(A1:A2,C1)",
    "OR(C2,A4)",
    "NOT(A4)",
    "ISBLANK(Z1)",
    "ISNUMBER(B4)",
    "ISTEXT(B4)",
    "ISERROR(A2/A4)",
    "ISNA(MATCH(99,A1:A6,0))",
    "ROUND(2.675,2)",
    "ROUND(-2.5,0)",
    "ROUND(1234.5678,-2)",
    "ROUNDUP(-1.21,1)",
    "ROUNDDOWN(1.29,1)",
    "INT(-1.5)",
    "TRUNC(-1.57,1)",
    "MOD(-3,2)",
    "MOD(5.5,2)",
    "ABS(A3)",
    "SQRT(A5)",
    "POWER(2,10)",
    "LOG(8,2)",
    "LN(A5)",
    "EXP(1)",
    "PI()",
    "CEILING(2.1,0.5)",
    "FLOOR(2.9,1)",
    "FLOOR(-2.5,-2)",
    "CEILING(-2.5,-2)",
    "FLOOR(-2.5,2)",
    "CEILING(-2.5,2)",
    "SIGN(A3)",
    "EVEN(1.5)",
    "ODD(2)",
    "FACT(5)",
    "QUOTIENT(-7,2)",
    "LEN(B6)",
    "LEFT(B2,3)",
    "RIGHT(B3,2)",
    "MID(B2,2,3)",
    "UPPER(B1)",
    "LOWER(B2)",
    "PROPER(\"hello wORLD\")",
    "TRIM(B6)",
    "CONCATENATE(B1,\"-\",A2)",
    "REPT(\"ab\",3)",
    "SUBSTITUTE(\"a-b-c\",\"-\",\"+\")",
    "SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)",
    "REPLACE(\"abcdef\",2,3,\"X\")",
    "FIND(\"n\",B2)",
    "SEARCH(\"N\",B2)",
    "SEARCH(\"b*n\",B2)",
    "EXACT(B1,\"Apple\")",
    "VALUE(B4)*2",
    "TEXT(1234.567,\"#,##0.00\")",
    "TEXT(0.256,\"0.0%\")",
    "TEXT(C4,\"dd.mm.yyyy hh:mm\")",
    "TEXT(C3,\"yyyy-mm-dd\")",
    "TEXT(C4,\"d/m/yy h:mm:ss\")",
    "CHAR(65)",
    "CODE(\"a\")",
    "T(A1)",
    "N(C1)",
    "DATE(2024,1,1)",
    "DATE(2024,13,1)",
    "DATE(2024,3,0)",
    "YEAR(C3)",
    "MONTH(C4)",
    "DAY(C4)",
    "YEAR(60)",
    "WEEKDAY(C3)",
    "WEEKDAY(C3,2)",
    "HOUR(C4)",
    "MINUTE(0.51)",
    "TIME(25,30,0)",
    "EOMONTH(C3,1)",
    "EDATE(DATE(2024,1,31),1)",
    "VLOOKUP(20,D1:E4,2,FALSE)",
    "VLOOKUP(25,D1:E4,2)",
    "VLOOKUP(5,D1:E4,2)",
    "VLOOKUP(\"T*Y\",E1:E4,1,FALSE)",
    "HLOOKUP(2,{1,2;3,4},2,FALSE)",
    "MATCH(30,D1:D4,0)",
    "MATCH(35,D1:D4)",
    "MATCH(\"twenty\",E1:E4,0)",
    "INDEX(D1:E4,3,2)",
    "INDEX(D1:D4,2)",
    "SUM(D1:INDEX(D1:D4,3))",
    "CHOOSE(2,\"a\",\"b\",\"c\")",
    "ROW(D3)",
    "COLUMN(E1)",
    "ROWS(A1:C4)*COLUMNS(A1:C4)",
    "SUM((A1,A3:A4))",
    "SUM(A1:C3 B2:D4)",
};

// Array formulas of one cell each, in column I.
const char* const kArrayFormulas[] = {
    "SUM(IF(A1:A6>0,A1:A6))",           "SUM((D1:D4>15)*(D1:D4<35))",
    "MAX(IF(E1:E4<>\"twenty\",D1:D4))", "SUM(LEN(E1:E4))",
    "COUNT(IF(A1:A6<>0,1/A1:A6))",      "SUM(IF(ISNUMBER(SEARCH(\"t\",E1:E4)),D1:D4,0))",
    "AVERAGE(IF(D1:D4>10,D1:D4-5))",    "SUM(D1:D4*{1;0;1;0})",
};

// The column of formula k: rows from 1 in column H on (array formulas in I).
std::string FormulaCell(int k) { return "H" + std::to_string(k + 1); }
std::string ArrayCell(int k) { return "I" + std::to_string(k + 1); }

struct TLoValue {
    std::string Kind, Text;
};

TEST(EvaluateLikeLibreOffice, SameValuesForTheSameFormulas) {
    const fs::path work = fs::temp_directory_path() / ("tabrix_lo_eval_" + std::to_string(::getpid()));
    fs::create_directories(work);
    const fs::path cases = work / "cases.tsv", out = work / "out.tsv";
    {
        std::ofstream f(cases);
        for (const TInput& in : kInputs) f << in.Address << '\t' << in.Content << '\n';
        for (std::size_t k = 0; k < std::size(kFormulas); ++k)
            f << FormulaCell(int(k)) << "\t=" << kFormulas[k] << '\n';
        for (std::size_t k = 0; k < std::size(kArrayFormulas); ++k)
            f << ArrayCell(int(k)) << "\t{=" << kArrayFormulas[k] << "}\n";
    }
    const std::string cmd =
        std::string("/usr/bin/python3 " TABRIX_SOURCE_DIR "/tests/platform/spreadsheet/formula/lo_evaluate.py ") +
        cases.string() + " " + out.string() + " > " + (work / "log.txt").string() + " 2>&1";
    const int rc = std::system(cmd.c_str());
    if (WIFEXITED(rc) && WEXITSTATUS(rc) == 77) {
        fs::remove_all(work);
        GTEST_SKIP() << "LibreOffice or openpyxl missing";
    }
    ASSERT_EQ(rc, 0) << "lo_evaluate.py failed, see " << (work / "log.txt");
    std::map<std::string, TLoValue> lo;
    {
        std::ifstream f(out);
        std::string line;
        while (std::getline(f, line)) {
            std::istringstream s(line);
            std::string address;
            TLoValue v;
            std::getline(s, address, '\t');
            std::getline(s, v.Kind, '\t');
            std::getline(s, v.Text);
            lo[address] = v;
        }
    }
    ASSERT_EQ(lo.size(), std::size(kFormulas) + std::size(kArrayFormulas));

    TFormatSettingsScope us(tabrix::testing::UsSettings());
    test::TMapContext ctx;
    for (const TInput& in : kInputs) {
        const TArea a = Tokenize(in.Address, TFormulaDialect::English())[0].Area;
        const std::string_view body = in.Content + 2;
        if (in.Content[0] == 'n')
            ctx.Set(a.Row1, a.Col1, TScalar::Number(std::strtod(in.Content + 2, nullptr)));
        else if (in.Content[0] == 'b')
            ctx.Set(a.Row1, a.Col1, TScalar::Boolean(body == "TRUE"));
        else
            ctx.Set(a.Row1, a.Col1, TScalar::Text(std::string(body)));
    }
    int same = 0;
    const std::size_t plain = std::size(kFormulas);
    for (std::size_t k = 0; k < plain + std::size(kArrayFormulas); ++k) {
        const bool isArray = k >= plain;
        const char* text = isArray ? kArrayFormulas[k - plain] : kFormulas[k];
        const int row = int(isArray ? k - plain : k) + 1;
        const std::string cell = isArray ? ArrayCell(row - 1) : FormulaCell(row - 1);
        const TLoValue& want = lo[cell];
        TEvaluateOptions options;
        options.ArrayFormula = isArray;
        const TScalar got =
            EvaluateFormula(ParseFormula(text, TFormulaDialect::English()), ctx, row, isArray ? 9 : 8, options);
        bool ok = false;
        if (want.Kind == "n")
            ok = got.kind == TScalar::Kind::Number && std::fabs(got.number - std::strtod(want.Text.c_str(), nullptr)) <=
                                                          1e-9 * std::max(1.0, std::fabs(got.number));
        else if (want.Kind == "s")
            ok = got.kind == TScalar::Kind::Text && got.text == want.Text;
        else if (want.Kind == "b")
            ok = got.kind == TScalar::Kind::Boolean && got.boolean == (want.Text == "TRUE");
        else if (want.Kind == "e")
            ok = got.kind == TScalar::Kind::Error && got.text == want.Text;
        else
            ok = (got.kind == TScalar::Kind::Number && got.number == 0) ||
                 (got.kind == TScalar::Kind::Text && got.text.empty());  // what an empty text reads back as
        EXPECT_TRUE(ok) << (isArray ? "{=" : "=") << text << ": LibreOffice " << want.Kind << " " << want.Text
                        << ", we " << int(got.kind) << " "
                        << (got.kind == TScalar::Kind::Number ? std::to_string(got.number) : got.text);
        same += ok;
    }
    std::printf("libreoffice: %d of %zu formulas give the same value\n", same, plain + std::size(kArrayFormulas));
    fs::remove_all(work);
}

}  // namespace
}  // namespace tabrix::xl
