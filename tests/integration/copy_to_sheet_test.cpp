// Template rows with styles, a merged title and formulas, copied to another
// sheet and to another workbook through the automation face, saved, and read
// back by independent readers: openpyxl for formats, merges and formulas,
// LibreOffice (recalculating everything on load) for the values.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "automation/automation.h"
#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "tests/integration/scripted_template.h"

namespace tabrix {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::Script;
using testing::Shell;

// CSV lines of one sheet as LibreOffice shows it.
std::vector<std::string> CsvLines(const fs::path& folder, const std::string& stem, const std::string& sheet) {
    std::ifstream in(folder / (stem + "-" + sheet + ".csv"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class CopyToSheet : public testing::TScriptedTemplate {
protected:
    CopyToSheet() : TScriptedTemplate("copy", "make_copy_template.py", nullptr) {}
};

TEST_F(CopyToSheet, FormatsMergesAndFormulasSurviveInBothReaders) {
    const std::string result = (Folder / "result.xlsx").string();
    const std::string other = (Folder / "other.xlsx").string();
    {
        TExcelApplication app = TExcelApplication::Create();
        app.SetInteractive(false);
        TExcelWorkbook book = app.Workbooks().Open(Template);
        TExcelWorksheet templ = book.Worksheets().Item(1);
        TExcelWorksheet report = book.Worksheets().Item(2);
        templ.Range("A1", "C3").Copy(report.Range("A5"));
        templ.Range("A1", "C3").Copy(report.Range("B10"));
        book.Close(Variant(true), Variant(result));

        // Between workbooks of different origin: styles merged by content.
        CopyToNewWorkbook(app, "A1", "C3", {"A2"}, other);
        app.Quit();
    }

    std::string out;
    ASSERT_EQ(Shell(Script("read_copy_result.py") + " '" + result + "'", &out), 0) << out;
    const json r = json::parse(out);
    const json& rep = r["Report"];
    EXPECT_EQ(rep["merges"], json::array({"A5:C5", "B10:D10"}));
    // Row heights are not copied (the copy manager sets them).
    EXPECT_EQ(r["Template"]["heights"]["1"], 30);
    EXPECT_FALSE(rep["heights"].contains("5")) << rep["heights"];
    const json& c = rep["cells"];
    EXPECT_EQ(c["A5"]["value"], "Title");
    EXPECT_TRUE(c["A5"]["bold"]);
    EXPECT_EQ(c["A5"]["fill"], "00DDEBF7");
    EXPECT_EQ(c["C6"]["value"], "=A6+B6");
    EXPECT_EQ(c["C6"]["format"], "0.00");
    EXPECT_EQ(c["C6"]["border_bottom"], "thin");
    EXPECT_EQ(c["A7"]["value"], "=SUM(A6:B6)*2");
    EXPECT_EQ(c["B7"]["value"], "=C6*$A$2");  // the absolute part stays
    EXPECT_TRUE(c["C7"]["italic"]);
    EXPECT_EQ(c["D11"]["value"], "=B11+C11");
    EXPECT_EQ(c["B12"]["value"], "=SUM(B11:C11)*2");
    // Cached values for readers that do not calculate.
    EXPECT_EQ(c["C6"]["cached"], 30);
    EXPECT_EQ(c["A7"]["cached"], 60);
    // B7 = C6 * A2 of the report sheet, where A2 is empty.
    EXPECT_EQ(c["B7"]["cached"], 0);

    ASSERT_EQ(Shell(Script("read_copy_result.py") + " '" + other + "'", &out), 0) << out;
    const json o = json::parse(out)["Sheet1"];
    EXPECT_EQ(o["merges"], json::array({"A2:C2"}));
    EXPECT_TRUE(o["cells"]["A2"]["bold"]);
    EXPECT_EQ(o["cells"]["A2"]["fill"], "00DDEBF7");
    EXPECT_EQ(o["cells"]["C3"]["format"], "0.00");
    EXPECT_EQ(o["cells"]["C3"]["value"], "=A3+B3");
    EXPECT_EQ(o["cells"]["B4"]["value"], "=C3*$A$2");
    EXPECT_EQ(o["cells"]["B4"]["cached"], "#VALUE!");

    // LibreOffice recalculates on load: its values are its own.
    const fs::path csv = Folder / "csv";
    const int rc =
        Shell(Script("lo_convert.py") + " --recalc '" + csv.string() + "' '" + result + "' '" + other + "'", &out);
    if (rc == 77) GTEST_SKIP() << out;
    ASSERT_EQ(rc, 0) << out;
    const auto lines = CsvLines(csv, "result", "Report");
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[4], "\"Title\",,,");
    EXPECT_EQ(lines[5], "10,20,30.00,");
    EXPECT_EQ(lines[6], "60,0,\"note\",");
    EXPECT_EQ(lines[10], ",10,20,30.00");
    EXPECT_EQ(lines[11], ",60,0,\"note\"");
    const auto blank = CsvLines(csv, "other", "Sheet1");
    ASSERT_GE(blank.size(), 4u);
    EXPECT_EQ(blank[2], "10,20,30.00");
    // There B4 = C3 * $A$2, and A2 holds the copied title.
    EXPECT_EQ(blank[3], "60,\"#VALUE!\",\"note\"");
}

// The comparison above relies on LibreOffice computing formulas itself: a
// stale cached value must not show through the recalculating profile.
TEST_F(CopyToSheet, RecalculatingProfileIgnoresStaleCachedValues) {
    const std::string saved = (Folder / "saved.xlsx").string();
    {
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook book = app.Workbooks().Open(Template);
        book.Close(Variant(true), Variant(saved));
        app.Quit();
    }
    xl::TPackage p = xl::TPackage::Open(saved);
    std::string sheet = p.ReadPart("xl/worksheets/sheet1.xml");
    // Whatever the cached value of C2 was, it becomes 999.
    const std::string formula = "<f>A2+B2</f>";
    const auto at = sheet.find(formula);
    ASSERT_NE(at, std::string::npos) << sheet.substr(0, 2000);
    const auto end = sheet.find("</c>", at);
    sheet.replace(at, end - at, formula + "<v>999</v>");
    p.SetPart("xl/worksheets/sheet1.xml", sheet);
    const std::string stale = (Folder / "stale.xlsx").string();
    p.SaveAs(stale);

    std::string out;
    const int rc =
        Shell(Script("lo_convert.py") + " --recalc '" + (Folder / "rc").string() + "' '" + stale + "'", &out);
    if (rc == 77) GTEST_SKIP() << out;
    ASSERT_EQ(rc, 0) << out;
    ASSERT_EQ(Shell(Script("lo_convert.py") + " '" + (Folder / "plain").string() + "' '" + stale + "'", &out), 0)
        << out;
    EXPECT_EQ(CsvLines(Folder / "rc", "stale", "Template").at(1), "10,20,30.00");
    // Without the profile setting LibreOffice shows what the file caches.
    EXPECT_EQ(CsvLines(Folder / "plain", "stale", "Template").at(1), "10,20,999.00");
}

}  // namespace
}  // namespace tabrix
