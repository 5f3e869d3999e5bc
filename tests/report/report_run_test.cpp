// Whole reports through the real command: a template, a SQLite database and
// a form file per case (tests/report/report_cases.py), built by tabrix run,
// read back by openpyxl (values, formulas, styles, merges, row heights) and
// by LibreOffice, which recalculates every formula on load.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "messages/messages.h"
#include "platform/rtl/files.h"
#include "tests/report/report_fixture.h"
#include "tests/support/shell.h"

namespace tabrix {
namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

struct TRun {
    int Status = -1;
    std::string Output;
};

TRun Shell(const std::string& command) {
    testing::TShellRun shell = testing::RunShell(command + " 2>&1");
    return {shell.Status, std::move(shell.Out)};
}

const std::string kCases = std::string(TABRIX_SOURCE_DIR) + "/tests/report/report_cases.py";
const std::string kLoConvert = std::string(TABRIX_SOURCE_DIR) + "/tests/integration/lo_convert.py";

// One CSV file as rows of fields (LibreOffice writes every field quoted).
std::vector<Lines> ReadCsv(const std::string& text) {
    std::vector<Lines> rows;
    Lines row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            row.push_back(field);
            field.clear();
        } else if (ch == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
        } else if (ch != '\r') {
            field += ch;
        }
    }
    if (!field.empty() || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

class ReportRun : public testing::TReportFolder {
protected:
    // Makes the case and builds it; the report is Dir + "out.xlsx".
    TRun Build(const std::string& name) {
        Dir = Folder + name + "/";
        TRun made = Shell("/usr/bin/python3 '" + kCases + "' make " + name + " '" + Dir + "'");
        if (made.Output.find("No module named") != std::string::npos) {
            Skip = "python3-openpyxl is not installed";
            return made;
        }
        EXPECT_EQ(made.Status, 0) << made.Output;
        return Shell("cd '" + Dir + "' && TMPDIR='" + TempDir + "' '" + TABRIX_EXE + "' run case.tfm -o out.xlsx");
    }

    // What openpyxl reads of the report: formulas, or with values the
    // cached values of formulas (what a reader that does not calculate shows).
    json Read(bool values = false) {
        TRun r = Shell("/usr/bin/python3 '" + kCases + "' " + (values ? "values" : "read") + " '" + Dir + "out.xlsx'");
        EXPECT_EQ(r.Status, 0) << r.Output;
        return json::parse(r.Output, nullptr, false);
    }

    // What LibreOffice shows on a sheet after recalculating: rows of cells.
    std::vector<Lines> Shown(const std::string& sheet) {
        std::string csv = Dir + "csv/";
        TRun lo = Shell("/usr/bin/python3 '" + kLoConvert + "' --recalc '" + csv + "' '" + Dir + "out.xlsx'");
        if (lo.Status == 77) return {};
        EXPECT_EQ(lo.Status, 0) << lo.Output;
        return ReadCsv(ReadFileBytes(csv + "out-" + sheet + ".csv"));
    }

    static bool LibreOfficeMissing() { return Shell("command -v soffice").Status != 0; }

    // Column letters' texts of rows 1..max_row of a sheet as openpyxl reads them.
    static Lines Column(const json& book, const std::string& sheet, const std::string& col) {
        Lines out;
        const json& s = book[sheet];
        for (int r = 1; r <= s["max_row"].get<int>(); ++r) {
            auto it = s["cells"].find(col + std::to_string(r));
            if (it == s["cells"].end() || (*it)["v"].is_null())
                out.push_back("");
            else if ((*it)["v"].is_string())
                out.push_back((*it)["v"].get<std::string>());
            else
                out.push_back((*it)["v"].dump());
        }
        return out;
    }

    static std::string Value(const json& book, const std::string& sheet, const std::string& cell) {
        const json& cells = book[sheet]["cells"];
        auto it = cells.find(cell);
        if (it == cells.end()) return "";
        const json& c = *it;
        if (c.is_null() || c["v"].is_null()) return "";
        return c["v"].is_string() ? c["v"].get<std::string>() : c["v"].dump();
    }

    static std::string ShownAt(const std::vector<Lines>& rows, int row, int col) {
        if (row < 1 || row > static_cast<int>(rows.size())) return "<no row>";
        const Lines& r = rows[row - 1];
        return col <= static_cast<int>(r.size()) ? r[col - 1] : "";
    }

    std::string Dir;
    std::string Skip;
};

#define SKIP_WITHOUT_OPENPYXL() \
    if (!Skip.empty()) GTEST_SKIP() << Skip

// ---- groups: which bands come out in which order

struct TGroupCase {
    const char* Name;
    Lines ColumnA;
};

TEST_F(ReportRun, GroupSequences) {
    const TGroupCase cases[] = {
        {"groups",
         {"Title", "H1 A", "H2 x", "A", "A", "F2 x", "H2 y", "A", "F2 y", "F1 A", "H1 B", "H2 y", "B", "F2 y", "F1 B",
          "Total"}},
        {"empty", {"Title", "Total"}},
        {"single", {"Title", "H1 A", "H2 x", "A", "F2 x", "F1 A", "Total"}},
        {"each_new",
         {"Title", "H1 A", "H2 x", "A", "F2 x", "F1 A", "H1 B", "H2 y", "B", "F2 y", "F1 B", "H1 C", "H2 z", "C",
          "F2 z", "F1 C", "Total"}},
        // The footer shows the group's last record: ABC, not abc.
        {"case_insensitive",
         {"Title", "H1 abc", "H2 x", "abc", "ABC", "F2 x", "F1 ABC", "H1 abd", "H2 x", "abd", "F2 x", "F1 abd",
          "Total"}},
        {"case_sensitive",
         {"Title", "H1 abc", "H2 x", "abc", "F2 x", "F1 abc", "H1 ABC", "H2 x", "ABC", "F2 x", "F1 ABC", "H1 abd",
          "H2 x", "abd", "F2 x", "F1 abd", "Total"}},
        // A header without rows of its own still breaks the groups.
        {"blank_header", {"A", "A", "Sum A", "B", "Sum B"}},
    };
    for (const TGroupCase& c : cases) {
        TRun run = Build(c.Name);
        SKIP_WITHOUT_OPENPYXL();
        ASSERT_EQ(run.Status, 0) << c.Name << ": " << run.Output;
        EXPECT_EQ(Column(Read(), "Report", "A"), c.ColumnA) << c.Name;
    }
}

TEST_F(ReportRun, GroupTotalsAreFormulasOverTheirOwnGroupAndKeepTheTemplateStyles) {
    TRun run = Build("groups");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read();
    // Footer totals over the group's rows; outer totals over inner footers.
    EXPECT_EQ(Value(book, "Report", "C6"), "=SUM(C4:C5)");
    EXPECT_EQ(Value(book, "Report", "C9"), "=SUM(C8)");
    EXPECT_EQ(Value(book, "Report", "C10"), "=SUM(C6,C9)");
    EXPECT_EQ(Value(book, "Report", "C14"), "=SUM(C13)");
    EXPECT_EQ(Value(book, "Report", "C16"), "=SUM(C10,C15)");
    const json& cells = book["Report"]["cells"];
    EXPECT_EQ(cells["A2"]["fill"], "305496");
    EXPECT_EQ(cells["A11"]["fill"], "305496");
    EXPECT_TRUE(cells["A11"]["bold"].get<bool>());
    EXPECT_EQ(cells["A12"]["fill"], "DDEBF7");
    EXPECT_EQ(cells["C13"]["box"], "thin");
    EXPECT_EQ(cells["C13"]["fmt"], "0.00");
    EXPECT_EQ(cells["C16"]["fill"], "FFF2CC");
    // Merges and heights of the template rows on every output of their band.
    EXPECT_EQ(book["Report"]["merges"], json::parse(R"(["A11:C11", "A1:C1", "A2:C2"])"));
    const json& heights = book["Report"]["heights"];
    EXPECT_EQ(heights["1"], 24.0);
    EXPECT_EQ(heights["2"], 18.0);
    EXPECT_EQ(heights["11"], 18.0);
    EXPECT_FALSE(heights.contains("3")) << heights.dump();

    if (LibreOfficeMissing()) GTEST_SKIP() << "LibreOffice is not installed";
    std::vector<Lines> shown = Shown("Report");
    const std::pair<int, std::string> totals[] = {{6, "3"}, {9, "3"}, {10, "6"}, {14, "4"}, {15, "4"}, {16, "10"}};
    for (const auto& [row, value] : totals) EXPECT_EQ(ShownAt(shown, row, 3), value) << "row " << row;
    EXPECT_EQ(ShownAt(shown, 13, 3), "4.00");
}

// A template saved with values before the data changed: its cover sheet and
// a title cell total the report. A reader that does not calculate must show
// the report's totals (as LibreOffice computes them), or nothing: never the
// template's stale 999.
TEST_F(ReportRun, FormulasOverTheReportShowItsTotalsNotTheTemplatesValues) {
    TRun run = Build("stale_totals");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read(/*values=*/true);
    EXPECT_EQ(Value(book, "Cover", "B1"), "40");  // data 10, the footers of two levels and the summary 10 each
    EXPECT_EQ(Value(book, "Cover", "B2"), "40");
    EXPECT_EQ(Value(book, "Cover", "B3"), "");  // INDIRECT: no value rather than a stale one
    EXPECT_EQ(Value(book, "Cover", "B4"), "80");
    EXPECT_EQ(Value(book, "Cover", "B5"), "10");
    EXPECT_EQ(Value(book, "Report", "D1"), "40");

    if (LibreOfficeMissing()) GTEST_SKIP() << "LibreOffice is not installed";
    std::vector<Lines> cover = Shown("Cover");
    for (int row : {1, 2, 4, 5})
        EXPECT_EQ(ShownAt(cover, row, 2), Value(book, "Cover", "B" + std::to_string(row))) << "Cover!B" << row;
    EXPECT_EQ(ShownAt(Shown("Report"), 1, 4), Value(book, "Report", "D1"));
}

TEST_F(ReportRun, MasterRecordsWithAndWithoutDetails) {
    TRun run = Build("master_detail");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read();
    EXPECT_EQ(Column(book, "Report", "A"), (Lines{"Order 1", "Product", "Bolts", "Nuts", "Lines total", "Order 2",
                                                  "Order 3", "Product", "Hinges", "Lines total", "Grand total"}));
    EXPECT_EQ(Value(book, "Report", "B5"), "=SUM(B3:B4)");
    EXPECT_EQ(Value(book, "Report", "B10"), "=SUM(B9)");
    EXPECT_EQ(Value(book, "Report", "B11"), "=SUM(B5,B10)");
    EXPECT_EQ(book["Report"]["cells"]["A8"]["fill"], "DDEBF7");
    if (LibreOfficeMissing()) GTEST_SKIP() << "LibreOffice is not installed";
    std::vector<Lines> shown = Shown("Report");
    EXPECT_EQ(ShownAt(shown, 5, 2), "3");
    EXPECT_EQ(ShownAt(shown, 10, 2), "5");
    EXPECT_EQ(ShownAt(shown, 11, 2), "8");
}

TEST_F(ReportRun, WithoutBandsTheTemplateIsDividedIntoTitleMasterAndSummary) {
    TRun run = Build("derived");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read();
    EXPECT_EQ(Column(book, "Report", "A"), (Lines{"Derived", "Name", "one", "two", "three", "", "Total"}));
    EXPECT_EQ(Value(book, "Report", "B7"), "=SUM(B3:B5)");
    EXPECT_EQ(book["Report"]["cells"]["B4"]["box"], "thin");
}

// ---- the row buffer's blocks and the row limit

TEST_F(ReportRun, BlocksOfTheRowBufferMeetWithoutAGap) {
    for (int rows : {4000, 4001}) {
        TRun run = Build("rows_" + std::to_string(rows));
        SKIP_WITHOUT_OPENPYXL();
        ASSERT_EQ(run.Status, 0) << run.Output;
        json book = Read();
        const json& sheet = book["Report"];
        EXPECT_EQ(sheet["max_row"], rows);
        for (int r : {1, 3999, 4000, rows}) {
            std::string a = "A" + std::to_string(r), b = "B" + std::to_string(r);
            EXPECT_EQ(Value(book, "Report", a), std::to_string(r)) << rows;
            EXPECT_EQ(Value(book, "Report", b), "=A" + std::to_string(r) + "*2") << rows;
            EXPECT_EQ(sheet["cells"][a]["fill"], "E2EFDA") << a;
            EXPECT_EQ(sheet["cells"][b]["box"], "thin") << b;
        }
    }
}

TEST_F(ReportRun, ABandThatDoesNotFitTheBlockStartsTheNext) {
    TRun run = Build("pairs");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read();
    const json& cells = book["Report"]["cells"];
    EXPECT_EQ(book["Report"]["max_row"], 1 + 2 * 2100);
    // Record k lands on rows 2k and 2k + 1; record 2000 on rows 4000-4001.
    for (int k : {1999, 2000, 2001}) {
        std::string first = std::to_string(2 * k), second = std::to_string(2 * k + 1);
        EXPECT_EQ(Value(book, "Report", "A" + first), std::to_string(k));
        EXPECT_EQ(Value(book, "Report", "B" + first), "=A" + first + "*2");
        EXPECT_EQ(Value(book, "Report", "A" + second), "n=" + std::to_string(k));
        EXPECT_EQ(Value(book, "Report", "B" + second), "=B" + first + "+1");
        EXPECT_EQ(cells["A" + first]["fill"], "E2EFDA") << k;
        EXPECT_EQ(cells["A" + second]["fill"], "FCE4D6") << k;
        EXPECT_TRUE(cells["B" + second]["bold"].get<bool>()) << k;
    }
}

TEST_F(ReportRun, RowLimitAllowsABandEndingAtRow65534AndRefusesOneEndingAt65535) {
    TRun fits = Build("rows_65533_title");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(fits.Status, 0) << fits.Output;
    json book = Read();
    EXPECT_EQ(book["Report"]["max_row"], 65534);
    EXPECT_EQ(Value(book, "Report", "A1"), "Numbers");
    EXPECT_EQ(Value(book, "Report", "A65534"), "65533");
    EXPECT_EQ(Value(book, "Report", "B65534"), "=A65534*2");

    TRun refused = Build("rows_65534_title");
    EXPECT_NE(refused.Status, 0);
    EXPECT_NE(refused.Output.find(STooManyLines), std::string::npos) << refused.Output;
    EXPECT_FALSE(FileExists(Dir + "out.xlsx"));
}

// ---- texts that typed input could misread, and texts that are no formula

TEST_F(ReportRun, DataThatLooksLikeAFormulaStaysText) {
    TRun run = Build("data_text");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read();
    const json& cells = book["Report"]["cells"];
    const std::pair<const char*, const char*> texts[] = {
        {"A1", "=HYPERLINK(\"http://x\",\"y\")"},           {"A2", "=1+2"}, {"A3", "'quoted"}, {"A4", "plain"},
        {"B1", "Customer: =HYPERLINK(\"http://x\",\"y\")"},
    };
    for (const auto& [cell, text] : texts) {
        EXPECT_EQ(Value(book, "Report", cell), text) << cell;
        EXPECT_EQ(cells[cell]["t"], "s") << cell << " is text";
    }
    if (LibreOfficeMissing()) GTEST_SKIP() << "LibreOffice is not installed";
    std::vector<Lines> shown = Shown("Report");
    EXPECT_EQ(ShownAt(shown, 1, 1), "=HYPERLINK(\"http://x\",\"y\")");
    EXPECT_EQ(ShownAt(shown, 2, 1), "=1+2");
}

TEST_F(ReportRun, ABuiltFormulaThatDoesNotParseEndsTheBuildWithTheFormulaError) {
    TRun run = Build("bad_formula");
    SKIP_WITHOUT_OPENPYXL();
    EXPECT_NE(run.Status, 0);
    EXPECT_NE(run.Output.find("Error writing report data to the Excel sheet: "), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("Maybe error in formula. "), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("SUM(1"), std::string::npos) << "names the formula: " << run.Output;
    EXPECT_FALSE(FileExists(Dir + "out.xlsx"));
}

// ---- sub-reports

TEST_F(ReportRun, ASubReportBuildsTheNextSheetOfTheSameWorkbook) {
    TRun run = Build("sub_report");
    SKIP_WITHOUT_OPENPYXL();
    ASSERT_EQ(run.Status, 0) << run.Output;
    json book = Read();
    EXPECT_EQ(Column(book, "Report", "A"), (Lines{"Main", "North", "North", "South", "Sum"}));
    EXPECT_EQ(Column(book, "Regions", "A"), (Lines{"By region", "North", "South", "All"}));
    EXPECT_EQ(Value(book, "Regions", "B4"), "=SUM(B2:B3)");
    EXPECT_TRUE(book["Regions"]["cells"]["A1"]["bold"].get<bool>());
    if (LibreOfficeMissing()) GTEST_SKIP() << "LibreOffice is not installed";
    EXPECT_EQ(ShownAt(Shown("Regions"), 4, 2), "12");
}

}  // namespace
}  // namespace tabrix
