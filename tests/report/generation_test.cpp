// The generation loop and the row buffer seen from the component's events:
// records supplied through the data events (no data set), OnSetCellValue and
// OnFormatCell, narrow and shifted bands, derived bands. The template is a
// real workbook made by tests/report/report_cases.py ("events"); the report
// is saved and read back by the engine.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/db/mem_table.h"
#include "platform/rtl/files.h"
#include "platform/spreadsheet/worksheet.h"
#include "report/tabrix.h"
#include "tests/report/report_fixture.h"
#include "tests/support/shell.h"

namespace tabrix {
namespace {

using Lines = std::vector<std::string>;

struct TRecord {
    const char* Name;
    int Val;
};

class Generation : public testing::TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        std::string dir = Folder + "events/";
        std::string cmd = "/usr/bin/python3 '" + std::string(TABRIX_SOURCE_DIR) +
                          "/tests/report/report_cases.py' make events '" + dir + "' 2>&1";
        const testing::TShellRun run = testing::RunShell(cmd);
        const std::string& out = run.Out;
        if (out.find("No module named") != std::string::npos) GTEST_SKIP() << "python3-openpyxl is not installed";
        ASSERT_EQ(run.Status, 0) << out;
        EventsTemplate = dir + "case.xlsx";

        Report.SetTemplate(EventsTemplate);
        Report.TemplSheet = "Report";
        Report.Options = {tbxoTotalsAsFormula};
        Report.Bands()->AddBand(tbxbtTitle)->SetRange("A1:A1");
        Report.Bands()->AddBand(tbxbtMasterData)->SetRange("A2:C2");
        Report.Bands()->AddBand(tbxbtSummary)->SetRange("C3:E3");
        Report.OnGetFieldValue = [this](TComponent*, const AnsiString& field, Variant& value) {
            const TRecord& r = Records.at(Current);
            if (SameText(field, "name")) value = Variant(AnsiString(r.Name));
            if (SameText(field, "val")) value = Variant(r.Val);
        };
    }

    // The data events over Records; any of them can be left out.
    void UseDataEvents(bool prior = true) {
        Report.OnDataFirst = [this](TComponent*) { Current = 0; };
        Report.OnDataNext = [this](TComponent*) { ++Current; };
        if (prior) Report.OnDataPrior = [this](TComponent*) { --Current; };
        Report.OnDataEof = [this](TComponent*, bool& eof) { eof = Current >= Records.size(); };
    }

    Lines Build() {
        std::string out = Folder + "out.xlsx";
        Report.Show(out);
        return SheetDump(out, "Report");
    }

    std::string EventsTemplate;
    TTabrix Report{nullptr};
    std::vector<TRecord> Records{{"one", 1}, {"two", 2}, {"three", 3}};
    size_t Current = 0;
};

TEST_F(Generation, RecordsComeThroughTheDataEventsWithoutADataSet) {
    UseDataEvents();
    Lines cells = Build();
    EXPECT_EQ(cells, (Lines{"1:1=Title",                                 // one column wide: B1, C1 stay empty
                            "2:1=one", "2:2=1", "2:3=fixed",             //
                            "3:1=two", "3:2=2", "3:3=fixed",             //
                            "4:1=three", "4:2=3", "4:3=fixed",           //
                            "5:1=Sum", "5:2==SUM(B2:B4)", "5:3=end"}));  // template C:E lands in A:C
    EXPECT_EQ(Report.CurRow(), 6);
    EXPECT_EQ(Report.ReportColCount(), 3);
}

TEST_F(Generation, WithoutOnDataPriorThereIsNoDataAndOnlyTitleAndSummaryAreOutput) {
    UseDataEvents(false);
    // No rows to total: the running value.
    EXPECT_EQ(Build(), (Lines{"1:1=Title", "2:1=Sum", "2:2=0", "2:3=end"}));
}

TEST_F(Generation, AnEofHandlerThatLeavesEofAloneEndsTheData) {
    UseDataEvents();
    Report.OnDataEof = [](TComponent*, bool&) {};
    EXPECT_EQ(Build().front(), "1:1=Title");
    EXPECT_EQ(Report.CurRow(), 3);
}

TEST_F(Generation, OnSetCellValueSeesEveryCellAndItsValueGoesToTheSheet) {
    UseDataEvents();
    Lines seen;
    Report.OnSetCellValue = [&](TComponent*, TTabrixBand* band, int rowInTemplate, int rowInReport, int column,
                                Variant& value) {
        seen.push_back(std::to_string(band->BandType()) + " " + std::to_string(rowInTemplate) + " " +
                       std::to_string(rowInReport) + " " + std::to_string(column) + " " + value.AsAnsiString());
        if (rowInReport == 2 && column == 2) value = Variant(42.5);                    // a number stays a number
        if (rowInReport == 3 && column == 3) value = Variant(AnsiString());            // an empty text: empty cell
        if (rowInReport == 4 && column == 1) value = Variant(UnicodeString(u"=1+1"));  // set by code: typed input
    };
    Lines cells = Build();
    ASSERT_EQ(seen.size(), 5u * 3u) << "every column of every row, also beyond a band's width";
    EXPECT_EQ(seen[0], "0 1 1 1 Title");
    EXPECT_EQ(seen[1], "0 1 1 2 ");
    EXPECT_EQ(seen[5], "2 2 2 3 fixed");
    EXPECT_EQ(seen[12], "7 3 5 1 Sum");
    EXPECT_NE(std::find(cells.begin(), cells.end(), "2:2=42.5"), cells.end());
    EXPECT_EQ(std::find(cells.begin(), cells.end(), "3:3=fixed"), cells.end());
    EXPECT_NE(std::find(cells.begin(), cells.end(), "4:1==1+1"), cells.end()) << "a formula";
}

TEST_F(Generation, OnFormatCellGetsEveryWrittenCellAsTextAfterTheBlockIsWritten) {
    UseDataEvents();
    Report.OnSetCellValue = [](TComponent*, TTabrixBand*, int, int rowInReport, int column, Variant& value) {
        if (rowInReport == 3 && column == 2) value = Variant(7);
    };
    Lines seen;
    std::string written;
    Report.OnFormatCell = [&](TComponent*, TTabrixBand* band, int rowInTemplate, int rowInReport, int column,
                              TExcelWorksheet sheet, const Variant& value) {
        EXPECT_TRUE(value.IsString());
        seen.push_back(std::to_string(band->BandType()) + " " + std::to_string(rowInTemplate) + " " +
                       std::to_string(rowInReport) + " " + std::to_string(column) + " " + value.AsAnsiString());
        // The cell is on the sheet already.
        if (rowInReport == 2 && column == 1)
            written = UnicodeToUtf8(sheet.Range("A2").FormulaLocal().AsUnicodeString());
    };
    Build();
    ASSERT_EQ(seen.size(), 15u);
    EXPECT_EQ(seen[1], "0 1 1 2 ") << "an empty cell gives an empty text";
    EXPECT_EQ(seen[7], "2 2 3 2 7") << "a number its text";
    EXPECT_EQ(seen[14], "7 3 5 3 end");
    EXPECT_EQ(written, "one");
}

TEST_F(Generation, DerivedBandsLiveForOneBuild) {
    TTabrix derived(nullptr);
    derived.SetTemplate(EventsTemplate);
    derived.TemplSheet = "Report";
    derived.Options = {tbxoTotalsAsFormula};
    derived.OnGetFieldValue = Report.OnGetFieldValue;
    std::string out = Folder + "derived.xlsx";
    derived.Show(out);
    EXPECT_EQ(derived.Bands()->GetCount(), 0);
    // Without a data set the whole template is one title band.
    Lines cells = SheetDump(out, "Report");
    EXPECT_EQ(cells.front(), "1:1=Title");
    EXPECT_EQ(cells.back(), "3:5=end");
}

TEST_F(Generation, AStopDuringTheBuildKeepsTheBlocksAlreadyWritten) {
    Records.assign(9000, TRecord{"row", 1});
    UseDataEvents();
    Report.Options.Include(tbxoShowProgress);
    ::testing::internal::CaptureStderr();  // the progress lines
    int afterBuild = 0;
    Report.OnAfterBuild = [&](TComponent*, TExcelWorksheet, int rows, int) { afterBuild = rows; };
    // No one to ask without a terminal: an interrupt stops the work.
    Report.OnSetCellValue = [](TComponent*, TTabrixBand*, int, int rowInReport, int column, Variant&) {
        if (rowInReport == 5000 && column == 1) std::raise(SIGINT);
    };
    Lines cells = Build();
    ::testing::internal::GetCapturedStderr();
    EXPECT_GT(afterBuild, 4000) << "the build ended normally, OnAfterBuild fired";
    ASSERT_FALSE(cells.empty());
    // The title and the first block (rows 1-4000) are on the sheet; the
    // rows still in the buffer are not.
    EXPECT_EQ(cells.size(), 1u + 3999u * 3u);
    EXPECT_EQ(cells.back(), "4000:3=fixed");
}

// Data set values (not user fields, which are typed input as given).
TEST_F(Generation, OnSetCellValueSeesADataTextAsItIsAndTheSheetKeepsItText) {
    TMemTable table;
    table.LoadFromJson(R"js([{"name": "=HYPERLINK(\"http://x\",\"y\")", "val": 1}, {"name": "=2+2", "val": 2}])js");
    Report.SetDataSet(&table);
    Lines seen;
    Report.OnSetCellValue = [&](TComponent*, TTabrixBand*, int, int rowInReport, int column, Variant& value) {
        if (column != 1 || rowInReport < 2 || rowInReport > 3) return;
        seen.push_back(value.AsAnsiString());
        if (rowInReport == 3) value = Variant(UnicodeString(u"=3+3"));  // changed: typed input, a formula
    };
    std::string out = Folder + "out.xlsx";
    Report.Show(out);
    EXPECT_EQ(seen, (Lines{"=HYPERLINK(\"http://x\",\"y\")", "=2+2"}));
    TExcelApplication app = TExcelApplication::Create();
    TExcelWorksheet sheet = app.Workbooks().Open(out, {.ReadOnly = true}).Worksheets().Item(1);
    const xl::TCell* text = sheet.Model().FindCell(2, 1);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Kind, xl::TCellKind::String);
    EXPECT_EQ(sheet.Range("A2").FormulaLocal().AsAnsiString(), "=HYPERLINK(\"http://x\",\"y\")");
    const xl::TCell* formula = sheet.Model().FindCell(3, 1);
    ASSERT_NE(formula, nullptr);
    EXPECT_EQ(formula->Kind, xl::TCellKind::Formula);
    app.Quit();
}

}  // namespace
}  // namespace tabrix
