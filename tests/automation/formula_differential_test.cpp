// Cached values against LibreOffice: a seeded generator writes random data
// and formulas of the kinds templates hold through SetFormulaLocal, in the C
// and the German locale; the saved workbook's cached values (read by
// openpyxl) are compared cell by cell with LibreOffice recalculating the
// file in the same locale. A formula without a cached value is a small loss
// and is counted; a cached value LibreOffice does not confirm fails the
// test, unless the difference is one where the engine follows Excel's rule
// and LibreOffice does not (the table of known differences).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "automation/automation.h"
#include "platform/rtl/locale.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"
#include "tests/support/test_support.h"

namespace tabrix {
namespace {

constexpr uint32_t kSeed = 20261208;
constexpr int kDataRows = 30;  // rows 1..30 of columns A..G hold the data
constexpr int kFormulasPerLocale = 600;

// Differences where the engine follows Excel's documented rule: a formula
// (English text), our value and LibreOffice's, each a pattern ("" for any),
// values written "KIND:VALUE" (n:1.0, b:TRUE, s:text, e:#N/A).
struct TKnownDifference {
    const char* Formula;
    const char* Ours;
    const char* Theirs;
    const char* Reason;
};
const TKnownDifference kKnownDifferences[] = {
    {R"(^(SUM|AVERAGE|COUNT|MIN|MAX|MEDIAN|STDEV|LARGE|SMALL|SUBTOTAL)\(\$[BE]\$)", "", "",
     "LibreOffice takes the Booleans of a range for the numbers 1 and 0; Excel's aggregates skip them"},
    {R"(^SUMPRODUCT\(\(\$[BE]\$)", "", "",
     "LibreOffice compares the Booleans of a range as numbers; in Excel a Boolean is greater than any number"},
    {"", "^b:TRUE$", R"(^n:1\.0$)", "LibreOffice has no Boolean values: a Boolean read from a cell is a number"},
    {"", "^b:FALSE$", R"(^n:0\.0$)", "LibreOffice has no Boolean values: a Boolean read from a cell is a number"},
    {R"(^(MEDIAN|LARGE|SMALL)\()", "^e:#NUM!$", "^e:#VALUE!$",
     "A range without numbers: Excel gives #NUM!, LibreOffice its own error read back as #VALUE!"},
};

// The formulas' texts for one locale: separators as the user types them.
class TFormulaWriter {
public:
    TFormulaWriter(const TFormatSettings& settings, uint32_t seed)
        : FList(settings.DecimalSeparator == ',' ? ';' : ','),
          FDecimal(settings.DecimalSeparator),
          FGerman(settings.DecimalSeparator == ','),
          FRandom(seed) {}

    int Pick(int n) { return static_cast<int>(FRandom() % static_cast<uint32_t>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }
    int Row() { return 1 + Pick(kDataRows); }
    std::string Cell(char column) { return std::string(1, column) + std::to_string(Row()); }
    std::string Range(char column) {
        int a = Row(), b = Row();
        if (a > b) std::swap(a, b);
        return std::string("$") + column + "$" + std::to_string(a) + ":$" + column + "$" + std::to_string(b);
    }
    std::string Column(char column) {
        return std::string("$") + column + "$1:$" + column + "$" + std::to_string(kDataRows);
    }
    std::string Number(double v) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.10g", v);
        std::string s = buf;
        for (char& c : s)
            if (c == '.') c = FDecimal;
        return s;
    }
    std::string Call(const std::string& name, const std::vector<std::string>& args) {
        std::string s = name + "(";
        for (size_t i = 0; i < args.size(); ++i) s += (i ? std::string(1, FList) : "") + args[i];
        return s + ")";
    }
    static std::string Quoted(const std::string& s) { return "\"" + s + "\""; }
    template <class T>
    const T& OneOf(const std::vector<T>& items) {
        return items[static_cast<size_t>(Pick(static_cast<int>(items.size())))];
    }

    std::string Next() {
        switch (Pick(7)) {
            case 0:
                return Arithmetic();
            case 1:
                return Aggregate();
            case 2:
                return Lookup();
            case 3:
                return Conditional();
            case 4:
                return Text();
            case 5:
                return Date();
            default:
                return Error();
        }
    }

private:
    std::string Arithmetic() {
        switch (Pick(12)) {
            case 0:
                return Cell('A') + "+" + Cell('A') + "*" + Cell('F');
            case 1:
                return Cell('A') + "/" + Cell('A');
            case 2:
                return "(" + Cell('A') + "-" + Number(Pick(100) / 10.0) + ")*" + Number(Pick(50) / 4.0);
            case 3:
                return Number(Pick(10) / 10.0) + "+" + Number(Pick(10) / 10.0) + "-" + Number(Pick(10) / 10.0);
            case 4:
                return Cell('B') + "+1";
            case 5:
                return Cell('A') + "&\"\"";
            case 6:
                return Cell('A') + "*" + Cell('E');
            case 7:
                return Cell('A') + OneOf<std::string>({">", "<", "=", ">=", "<>"}) + Cell('A');
            case 8:
                return Cell('C') + OneOf<std::string>({"<", ">", "=", "<="}) + Cell('C');
            case 9:
                return Cell('B') + "=" + Cell('C');
            case 10:
                return Cell('A') + "^2-" + Cell('A') + "*" + Cell('A');
            default:
                return "-" + Cell('A') + "%+" + Cell('F');
        }
    }
    std::string Aggregate() {
        const std::string name = OneOf<std::string>({"SUM", "AVERAGE", "COUNT", "COUNTA", "COUNTBLANK", "MIN", "MAX",
                                                     "PRODUCT", "MEDIAN", "STDEV", "LARGE", "SMALL", "SUBTOTAL"});
        const char column = OneOf<char>({'A', 'A', 'B', 'C', 'D', 'E', 'F'});
        const std::string range = Chance(50) ? Column(column) : Range(column);
        if (name == "LARGE" || name == "SMALL") return Call(name, {range, std::to_string(1 + Pick(4))});
        if (name == "SUBTOTAL") return Call(name, {OneOf<std::string>({"1", "2", "3", "4", "5", "9"}), range});
        if (name == "PRODUCT") return Call(name, {Range(OneOf<char>({'A', 'F'}))});
        if (Chance(20)) return "SUMPRODUCT((" + Column(column) + ">" + Number(10) + ")*1)";
        return Call(name, {range});
    }
    std::string Lookup() {
        switch (Pick(5)) {
            case 0:
                return Call("VLOOKUP", {Cell('A'), Column('A').substr(0, 4) + ":$G$" + std::to_string(kDataRows),
                                        std::to_string(1 + Pick(7)), "FALSE"});
            case 1:
                return Call("MATCH", {Cell('C'), Column('C'), "0"});
            case 2:
                return Call("INDEX", {Column(OneOf<char>({'A', 'C', 'D', 'F'})), std::to_string(1 + Pick(kDataRows))});
            case 3:
                return Call("VLOOKUP", {Quoted(OneOf<std::string>({"Süd", "nord", "Öst*", "?est"})),
                                        "$G$1:$G$" + std::to_string(kDataRows), "1", "FALSE"});
            default:
                return Call("IFERROR", {Call("MATCH", {Number(Pick(200)), Column('F'), "0"}), Quoted("none")});
        }
    }
    std::string Conditional() {
        const std::string region = Quoted(OneOf<std::string>({"Süd", "Nord", "ost", "W*", "<>Nord", "*ü*"}));
        switch (Pick(8)) {
            case 0:
                return Call("SUMIF", {Column('G'), region, Column('F')});
            case 1:
                return Call("SUMIF", {Column('A'), Quoted(OneOf<std::string>({">", "<", ">=", "<="})) + "&" + Cell('A'),
                                      Column('F')});
            case 2:
                return Call("COUNTIF", {Column('C'), Quoted(OneOf<std::string>({"<", ">"})) + "&" + Cell('C')});
            case 3:
                return Call("COUNTIF", {Column('C'), Quoted(OneOf<std::string>({"*ä*", "é*", "?pfel", "Zürich"}))});
            case 4:
                return Call("AVERAGEIF", {Column('G'), region, Column('A')});
            case 5:
                return Call("COUNTIFS", {Column('G'), region, Column('F'), Quoted(">" + Number(Pick(100)))});
            case 6:
                return Call("SUMIFS", {Column('A'), Column('G'), region, Column('F'), Quoted("<" + Number(Pick(100)))});
            default:
                return Call("COUNTIF", {Column('A'), Quoted(">" + Number(Pick(1000) / 10.0))});
        }
    }
    std::string Text() {
        switch (Pick(13)) {
            case 0:
                return Call("LEN", {Cell('C')});
            case 1:
                return Call(OneOf<std::string>({"LEFT", "RIGHT"}),
                            {Cell(OneOf<char>({'A', 'C'})), std::to_string(Pick(5))});
            case 2:
                return Call("MID", {Cell('C'), std::to_string(1 + Pick(4)), std::to_string(Pick(5))});
            case 3:
                return Call(OneOf<std::string>({"UPPER", "LOWER", "PROPER", "TRIM"}), {Cell('C')});
            case 4:
                return Call("CONCATENATE", {Cell('C'), Quoted("-"), Cell('A')});
            case 5:
                return Call("SUBSTITUTE", {Cell('C'), Quoted(OneOf<std::string>({"e", "ä", "s"})), Quoted("_")});
            case 6:
                return Call("IFERROR", {Call(OneOf<std::string>({"FIND", "SEARCH"}),
                                             {Quoted(OneOf<std::string>({"e", "Ä", "ü", "n"})), Cell('C')}),
                                        "0"});
            case 7:
                return Call("EXACT", {Cell('C'), Cell('C')});
            case 8:
                return Call("VALUE", {Cell('A') + "&\"\""});
            case 9:
                return Call("TEXT", {Cell('A'), Quoted(FGerman ? OneOf<std::string>({"0,00", "#.##0", "0,0%", "0"})
                                                               : OneOf<std::string>({"0.00", "#,##0", "0.0%", "0"}))});
            case 10:
                return Call(
                    "TEXT",
                    {Cell('D'), Quoted(FGerman ? OneOf<std::string>({"TT.MM.JJJJ", "TTTT", "MMMM JJJJ", "dd.mm.yyyy"})
                                               : OneOf<std::string>({"dd/mm/yyyy", "dddd", "mmmm yyyy"}))});
            case 11:
                return Call("REPT", {Cell('C'), std::to_string(Pick(3))});
            default:
                return Call("TEXT", {Number(Pick(100000) / 100.0), Quoted(FGerman ? "#.##0,0" : "#,##0.0")});
        }
    }
    std::string Date() {
        const std::string d = Cell('D');
        switch (Pick(8)) {
            case 0:
                return Call(OneOf<std::string>({"YEAR", "MONTH", "DAY", "WEEKDAY"}), {d});
            case 1:
                return Call("DATE",
                            {std::to_string(2000 + Pick(30)), std::to_string(Pick(14)), std::to_string(Pick(32))});
            case 2:
                return Call("EOMONTH", {d, std::to_string(Pick(25) - 12)});
            case 3:
                return Call("EDATE", {d, std::to_string(Pick(25) - 12)});
            case 4: {
                const std::string e = Cell('D');
                return Call("DATEDIF", {Call("MIN", {d, e}), Call("MAX", {d, e}),
                                        Quoted(OneOf<std::string>({"Y", "M", "D", "YM", "MD", "YD"}))});
            }
            case 5:
                return d + "+" + std::to_string(Pick(100));
            case 6:
                return Call(OneOf<std::string>({"HOUR", "MINUTE"}), {d});
            default:
                return Call("WEEKDAY", {d, std::to_string(1 + Pick(3))});
        }
    }
    std::string Error() {
        switch (Pick(7)) {
            case 0:
                return Cell('A') + "/0";
            case 1:
                return Call("IFERROR", {Cell('A') + "/" + Cell('B'), Quoted("x")});
            case 2:
                return Call("ISERROR", {Cell('B') + "*2"});
            case 3:
                return Call("ERROR.TYPE", {Cell('A') + "/" + Cell('E')});
            case 4:
                return Call("ISNA", {Call("MATCH", {Cell('C'), Column('G'), "0"})});
            case 5:
                return Call("IF", {Call("ISBLANK", {Cell('B')}), Quoted("leer"), Cell('B')});
            default:
                return Call("VALUE", {Cell('C')});
        }
    }

    char FList, FDecimal;
    bool FGerman;
    std::mt19937 FRandom;
};

// The data: A numbers (some empty), B numbers, texts, Booleans and empty
// cells, C texts with accents, D dates with times, E Booleans, F whole
// numbers, G regions.
TVariantArray2D RandomData(TFormulaWriter& w) {
    static const std::vector<std::string> kWords = {"Äpfel",          "äpfel",  "apfel",   "Zürich", "zebra", "École",
                                                    "eclair",         "straße", "Strasse", "Øl",     "ñandú", "Banane",
                                                    "  zwei  Worte ", "10",     "café",    "Café",   "Ähre",  "b"};
    static const std::vector<std::string> kRegions = {"Nord", "Süd", "Ost", "West", "süd", "Öst"};
    TVariantArray2D data(1, kDataRows, 1, 7);
    for (int r = 1; r <= kDataRows; ++r) {
        if (!w.Chance(10)) data(r, 1) = w.Chance(30) ? double(w.Pick(200) - 50) : (w.Pick(200000) - 50000) / 1000.0;
        switch (w.Pick(5)) {
            case 0:
            case 1:
                data(r, 2) = w.Pick(1000) / 8.0;
                break;
            case 2:
                data(r, 2) = Utf8ToUnicode(w.OneOf(kWords));
                break;
            case 3:
                data(r, 2) = w.Chance(50);
                break;
            default:
                break;
        }
        if (!w.Chance(10)) data(r, 3) = Utf8ToUnicode(w.OneOf(kWords));
        data(r, 4) = Variant::FromDate(36000 + w.Pick(14000) + (w.Chance(30) ? w.Pick(96) / 96.0 : 0));
        if (!w.Chance(20)) data(r, 5) = w.Chance(50);
        data(r, 6) = double(1 + w.Pick(100));
        data(r, 7) = Utf8ToUnicode(w.OneOf(kRegions));
    }
    return data;
}

struct TRecalculated {
    std::string Cell, Formula, OurKind, OurValue, TheirKind, TheirValue;
};

struct TCounts {
    int Same = 0, NoValue = 0, Known = 0, Wrong = 0;
};

bool SameValue(const TRecalculated& v) {
    if (v.OurKind != v.TheirKind) return false;
    if (v.OurKind != "n") return v.OurValue == v.TheirValue;
    const double a = std::strtod(v.OurValue.c_str(), nullptr), b = std::strtod(v.TheirValue.c_str(), nullptr);
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

bool Matches(const char* pattern, const std::string& text) {
    return !*pattern || std::regex_search(text, std::regex(pattern));
}

const TKnownDifference* KnownDifference(const TRecalculated& v) {
    const std::string ours = v.OurKind + ":" + v.OurValue, theirs = v.TheirKind + ":" + v.TheirValue;
    for (const TKnownDifference& k : kKnownDifferences)
        if (Matches(k.Formula, v.Formula) && Matches(k.Ours, ours) && Matches(k.Theirs, theirs)) return &k;
    return nullptr;
}

class CachedValuesLikeLibreOffice : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { FFolder = test::MakeTempDir(); }
    void TearDown() override { test::RemoveTree(FFolder); }
    std::string FFolder;
};

TEST_P(CachedValuesLikeLibreOffice, EveryCachedValueIsConfirmed) {
    const bool german = std::string(GetParam()) == "de-DE";
    TFormatSettingsScope locale(german ? tabrix::testing::GermanSettings() : TFormatSettings::Invariant());
    TFormulaWriter writer(FormatSettings(), kSeed + (german ? 1 : 0));
    const std::string book = FFolder + "formulas.xlsx";
    {
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook report = app.Workbooks().Add();
        TExcelWorksheet sheet = report.Worksheets().Item(1);
        sheet.Range("A1", "G" + std::to_string(kDataRows)).SetFormulaLocal(RandomData(writer));
        TVariantArray2D formulas(1, kFormulasPerLocale, 1, 1);
        for (int k = 1; k <= kFormulasPerLocale; ++k) formulas(k, 1) = Utf8ToUnicode("=" + writer.Next());
        sheet.Range("J1", "J" + std::to_string(kFormulasPerLocale)).SetFormulaLocal(formulas);
        report.Close(true, book);
        app.Quit();
    }
    const std::string out = FFolder + "values.tsv", log = FFolder + "log.txt";
    const std::string cmd = std::string("/usr/bin/python3 '" TABRIX_SOURCE_DIR
                                        "/tests/platform/spreadsheet/formula/lo_evaluate.py' --recalc ") +
                            GetParam() + " '" + book + "' '" + out + "' > '" + log + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    if (WIFEXITED(rc) && WEXITSTATUS(rc) == 77) GTEST_SKIP() << "LibreOffice or openpyxl missing";
    ASSERT_EQ(rc, 0) << "lo_evaluate.py failed, see " << log;

    std::vector<TRecalculated> values;
    {
        std::ifstream f(out);
        std::string line;
        while (std::getline(f, line)) {
            std::istringstream s(line);
            TRecalculated v;
            for (std::string* field : {&v.Cell, &v.Formula, &v.OurKind, &v.OurValue, &v.TheirKind, &v.TheirValue})
                std::getline(s, *field, '\t');
            values.push_back(v);
        }
    }
    ASSERT_EQ(values.size(), size_t(kFormulasPerLocale));
    TCounts counts;
    std::map<std::string, int> byReason;
    for (TRecalculated& v : values) {
        // An empty text reads back as no value at all.
        if (v.OurKind == "s" && v.OurValue.empty()) v.OurKind = "empty";
        if (v.TheirKind == "s" && v.TheirValue.empty()) v.TheirKind = "empty";
        if (v.OurKind == "empty" && v.TheirKind != "empty") {
            ++counts.NoValue;
            std::printf("no value: %s =%s\n", v.Cell.c_str(), v.Formula.c_str());
        } else if (SameValue(v)) {
            ++counts.Same;
        } else if (const TKnownDifference* known = KnownDifference(v)) {
            ++counts.Known;
            ++byReason[known->Reason];
        } else {
            ++counts.Wrong;
            ADD_FAILURE() << v.Cell << " =" << v.Formula << ": we " << v.OurKind << " " << v.OurValue
                          << ", LibreOffice " << v.TheirKind << " " << v.TheirValue;
        }
    }
    for (const auto& [reason, n] : byReason) std::printf("known difference, %d times: %s\n", n, reason.c_str());
    std::printf("%s: %d formulas, %d same, %d no value, %d known difference, %d wrong\n", GetParam(),
                kFormulasPerLocale, counts.Same, counts.NoValue, counts.Known, counts.Wrong);
}

// A template written by another application without cached values: a cover
// sheet summing the data sheet, fixed formulas on the data sheet. After
// rows are added and the report saved, a reader that does not calculate
// sees the totals of the new data; what the engine cannot compute has no
// value (not the stale one).
const char* const kMakeTemplate = R"(
import sys, openpyxl
book = openpyxl.Workbook()
data = book.active
data.title = 'Data'
data['A1'] = 'Region'
data['B1'] = 10
data['B2'] = 20.5
data['C1'] = '=B1*2'
data['C2'] = '=SUM(B1:B9)'
cover = book.create_sheet('Cover')
cover['A1'] = '=SUM(Data!B1:B9)'
cover['A2'] = '="Total: "&TEXT(Data!C2,"0.00")'
cover['A3'] = '=COUNT(Data!B:B)'
cover['A4'] = '=INDIRECT("Data!B1")'
cover['A5'] = 7
book.save(sys.argv[1])
)";
const char* const kReadValues = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], data_only=True)
for sheet in book.worksheets:
    for row in sheet.iter_rows():
        for cell in row:
            print('%s!%s=%r' % (sheet.title, cell.coordinate, cell.value))
)";

TEST(CachedValuesOfATemplate, FormulasReadFromTheFileGetTheValuesOfTheReport) {
    const std::string folder = test::MakeTempDir();
    const auto python = [&](const char* source, const std::string& argument, std::string* out) {
        const std::string script = folder + "script.py", log = folder + "out.txt";
        std::ofstream(script) << source;
        const int rc =
            std::system(("/usr/bin/python3 '" + script + "' '" + argument + "' > '" + log + "' 2>&1").c_str());
        std::ifstream f(log);
        std::stringstream text;
        text << f.rdbuf();
        if (out) *out = text.str();
        return rc == 0;
    };
    const std::string templ = folder + "template.xlsx", report = folder + "report.xlsx";
    std::string values;
    if (!python(kMakeTemplate, templ, &values)) {
        test::RemoveTree(folder);
        GTEST_SKIP() << "openpyxl missing: " << values;
    }
    {
        TFormatSettingsScope c(TFormatSettings::Invariant());
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook book = app.Workbooks().Add(templ);
        TVariantArray2D rows(1, 2, 1, 2);
        rows(1, 1) = "Nord", rows(1, 2) = 4.25;
        rows(2, 1) = "Süd", rows(2, 2) = 100.0;
        book.Worksheets().Item(1).Range("A3", "B4").SetFormulaLocal(rows);
        book.Close(true, report);
        app.Quit();
    }
    ASSERT_TRUE(python(kReadValues, report, &values)) << values;
    test::RemoveTree(folder);
    for (const char* want : {"Data!C1=20", "Data!C2=134.75", "Cover!A1=134.75", "Cover!A2='Total: 134.75'",
                             "Cover!A3=4", "Cover!A4=None", "Cover!A5=7"})
        EXPECT_NE(values.find(std::string(want) + "\n"), std::string::npos) << want << " in\n" << values;
}

// Group footers and summaries total with SUBTOTAL over ranges that hold
// other subtotals: those are left out, and with codes 101-111 rows hidden by
// hand too. Written through the workbook model (a hidden row), recalculated
// by LibreOffice; every formula must have a value LibreOffice confirms.
TEST(SubtotalsLikeLibreOffice, NestedSubtotalsAndHiddenRowsAreLeftOutAsSpreadsheetsDo) {
    const std::string folder = test::MakeTempDir();
    const std::string book = folder + "subtotals.xlsx", out = folder + "values.tsv", log = folder + "log.txt";
    {
        TFormatSettingsScope c(TFormatSettings::Invariant());
        auto wb = xl::TWorkbook::CreateBlank();
        xl::TWorksheet& s = wb->Sheet(0);
        // A: two groups with their footers and a grand total; B: texts and
        // numbers for the counts.
        const double a[] = {10, 20, 30, 0, 5, 7, 11, 0};
        for (int r = 1; r <= 8; ++r)
            if (a[r - 1] != 0) s.SetNumber(r, 1, a[r - 1]);
        s.SetFormula(4, 1, "SUBTOTAL(9,A1:A3)");
        s.SetFormula(8, 1, "SUBTOTAL(9,A5:A7)");
        s.SetFormula(9, 1, "SUBTOTAL(9,A1:A8)*1");  // a subtotal inside an expression is a subtotal too
        s.SetFormula(10, 1, "SUM(A1:A3)");          // a plain SUM is a value like any other
        s.SetFormula(11, 1, "1+SUBTOTAL(109,A1:A3)");
        s.SetString(1, 2, "x");
        s.SetNumber(2, 2, 4);
        s.SetFormula(3, 2, "SUBTOTAL(3,B1:B2)");
        s.SetNumber(6, 2, 9);
        xl::TRowProps hidden;
        hidden.Hidden = true;
        s.SetRowProps(6, hidden);  // by hand: 1-11 count it, 101-111 do not
        const char* const formulas[] = {
            "SUBTOTAL(9,A1:A11)",
            "SUBTOTAL(109,A1:A11)",
            "SUBTOTAL(9,A:A)",
            "SUBTOTAL(109,A:A)",
            "SUBTOTAL(1,A1:A11)",
            "SUBTOTAL(101,A1:A11)",
            "SUBTOTAL(2,A1:A11)",
            "SUBTOTAL(102,A1:A11)",
            "SUBTOTAL(3,A1:B11)",
            "SUBTOTAL(103,A1:B11)",
            "SUBTOTAL(4,A1:A11)",
            "SUBTOTAL(104,A1:A11)",
            "SUBTOTAL(5,A1:A11)",
            "SUBTOTAL(105,A5:A7)",
            "SUBTOTAL(6,A5:A7)",
            "SUBTOTAL(106,A5:A7)",
            "SUBTOTAL(7,A1:A11)",
            "SUBTOTAL(107,A1:A11)",
            "SUBTOTAL(8,A1:A11)",
            "SUBTOTAL(108,A1:A11)",
            "SUBTOTAL(10,A1:A11)",
            "SUBTOTAL(110,A1:A11)",
            "SUBTOTAL(11,A1:A11)",
            "SUBTOTAL(111,A1:A11)",
            "SUBTOTAL(9,A1:A3,A5:A8)",
            "SUBTOTAL(109,A6)",
            "SUBTOTAL(9,A6:B6)",
            "SUM(A1:A11)",
            "SUBTOTAL(9,A1:A11)-SUM(A1:A3)",
            "SUBTOTAL(109,B:B)",
            "SUBTOTAL(9,IF(A1>5,A1:A11,A1))",
        };
        int row = 1;
        for (const char* f : formulas) s.SetFormula(row++, 4, f);
        wb->SaveAs(book);
    }
    const std::string cmd = std::string("/usr/bin/python3 '" TABRIX_SOURCE_DIR
                                        "/tests/platform/spreadsheet/formula/lo_evaluate.py' --recalc en-US '") +
                            book + "' '" + out + "' > '" + log + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    if (WIFEXITED(rc) && WEXITSTATUS(rc) == 77) {
        test::RemoveTree(folder);
        GTEST_SKIP() << "LibreOffice or openpyxl missing";
    }
    ASSERT_EQ(rc, 0) << "lo_evaluate.py failed, see " << log;
    std::ifstream f(out);
    std::string line;
    int compared = 0;
    while (std::getline(f, line)) {
        std::istringstream fields(line);
        TRecalculated v;
        for (std::string* field : {&v.Cell, &v.Formula, &v.OurKind, &v.OurValue, &v.TheirKind, &v.TheirValue})
            std::getline(fields, *field, '\t');
        ++compared;
        EXPECT_NE(v.OurKind, "empty") << v.Cell << " =" << v.Formula << " has no value; LibreOffice " << v.TheirValue;
        EXPECT_TRUE(SameValue(v)) << v.Cell << " =" << v.Formula << ": we " << v.OurKind << " " << v.OurValue
                                  << ", LibreOffice " << v.TheirKind << " " << v.TheirValue;
    }
    EXPECT_EQ(compared, 31 + 6);
    test::RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(Locales, CachedValuesLikeLibreOffice, ::testing::Values("en-US", "de-DE"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param) == "de-DE" ? std::string("German") : std::string("C");
                         });

}  // namespace
}  // namespace tabrix
