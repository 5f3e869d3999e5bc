// Bands derived from an undivided template (SetBandsFromTempl) on template
// workbooks written here by the engine, and EditTemplate handing the
// template to a spreadsheet program ($TABRIX_VIEWER, a small script).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "messages/messages.h"
#include "platform/db/db.h"
#include "platform/rtl/format.h"
#include "platform/spreadsheet/workbook.h"
#include "report/tabrix.h"
#include "tests/report/report_fixture.h"

namespace tabrix {
namespace {

using Lines = std::vector<std::string>;
using TCells = std::map<std::string, std::string>;

TABRIX_EXCEPTION_CLASS(EStopHere, Exception);

class TemplateBands : public testing::TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        Module = std::make_unique<TDataModule>();
        Orders = new TMemTable(Module.get());
        Orders->SetName("Orders");
        Orders->LoadFromCsv("Name,Amount\nAnn,10\nBob,20\n");
        Orders->Open();  // as in the build, where the bands are derived after the data set is opened
        Report = new TTabrix(Module.get());
        Report->SetName("Report");
    }

    // A one-sheet workbook with the cells given as typed.
    std::string WriteTemplate(const TCells& cells) {
        std::string file = Folder + "t" + std::to_string(++FTemplates) + ".xlsx";
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook book = app.Workbooks().Add();
        TExcelWorksheet sheet = book.Worksheets().Item(1);
        for (const auto& [cell, text] : cells) sheet.Range(cell).SetFormula(Variant(AnsiString(text)));
        book.SaveAs(file);
        app.Quit();
        return file;
    }

    // The bands SetBandsFromTempl derives inside a build on the template,
    // as "Type Range"; the build is ended right after by an error of ours.
    Lines DerivedBands(const TCells& cells, bool withDataSet = true) {
        Report->SetDataSet(withDataSet ? Orders : nullptr);
        Report->SetTemplate(WriteTemplate(cells));
        Lines bands;
        Report->OnBeforeBuild = [&](TComponent*) {
            Report->SetBandsFromTempl();
            for (int i = 0; i < Report->Bands()->GetCount(); ++i) {
                TTabrixBand* band = Report->Bands()->GetItem(i);
                bands.push_back(std::string(TabrixBandTypeName(band->BandType())) + " " + band->Range());
            }
            Report->Bands()->Clear();
            throw EStopHere("stop here");
        };
        try {
            Report->Show("out.xlsx");
            ADD_FAILURE() << "the build went on";
        } catch (const ETabrixError& e) {
            if (e.Message() != "stop here") bands.push_back("error: " + e.Message());
        }
        return bands;
    }

    std::unique_ptr<TDataModule> Module;
    TMemTable* Orders = nullptr;
    TTabrix* Report = nullptr;

private:
    int FTemplates = 0;
};

TEST_F(TemplateBands, HeadingFieldRowAndTotalGiveTitleMasterAndSummary) {
    TCells sales = {{"A1", "Sales"},   {"C2", "by customer"}, {"A3", "#Name"},
                    {"B3", "#Amount"}, {"A5", "Total"},       {"B5", "#SUM(Amount)"}};
    EXPECT_EQ(DerivedBands(sales), (Lines{"Title A1:C2", "MasterData A3:C3", "Summary A4:C5"}));
    EXPECT_EQ(DerivedBands(sales, false), (Lines{"Title A1:C5"})) << "no data set: one title band";
}

TEST_F(TemplateBands, ScanCases) {
    struct TCase {
        const char* What;
        TCells Cells;
        Lines Bands;
    } cases[] = {
        {"master rows first: no title; the rest is the summary",
         {{"A1", "#Name"}, {"B1", "#Amount"}, {"A3", "end"}},
         {"MasterData A1:B1", "Summary A2:B3"}},
        {"five empty rows end the scan; what follows is in no band",
         {{"A1", "Sales"}, {"A2", "#Name"}, {"D8", "far below"}},
         {"Title A1:D1", "MasterData A2:D2"}},
        {"an aggregate row before the empty rows takes the summary to the last used row",
         {{"A1", "#Name"}, {"A2", "#SUM(Amount)"}, {"D9", "notes"}},
         {"MasterData A1:D1", "Summary A2:D9"}},
        {"an aggregate without master rows: title above it, summary from it",
         {{"A1", "Sales"}, {"A3", "#COUNT(Name)"}, {"A4", "x"}},
         {"Title A1:A2", "Summary A3:A4"}},
        {"Orders.Amount belongs to Orders without a field Amount... and Other.Name does not",
         {{"A1", "#Other.Name"}, {"A2", "#orders.Total"}},
         {"Title A1:A1", "MasterData A2:A2"}},
        {"a plain reference counts only for a field the data set has",
         {{"A1", "#Missing"}, {"A2", "#Amount"}},
         {"Title A1:A1", "MasterData A2:A2"}},
        {"master rows need not be next to each other",
         {{"A1", "#Name"}, {"A2", "text"}, {"A3", "#Amount"}},
         {"MasterData A1:A3"}},
        {"the first reference that belongs decides the row",
         {{"A1", "#Missing #SUM(Amount) #Name"}, {"A2", "x"}},
         {"Summary A1:A2"}},
        {"five empty cells end a row: a reference beyond them is not seen",
         {{"A1", "x"}, {"G1", "#Name"}, {"A2", "#Amount"}},
         {"Title A1:G1", "MasterData A2:G2"}},
        {"four empty cells do not", {{"A1", "x"}, {"F1", "#Name"}}, {"MasterData A1:F1"}},
        {"no non-empty row: no band", {}, {}},
        {"the first five rows empty: no band, though there is content further down", {{"B7", "#Name"}}, {}},
    };
    for (const TCase& c : cases) EXPECT_EQ(DerivedBands(c.Cells), c.Bands) << c.What;
}

TEST_F(TemplateBands, ALongTemplateIsScannedToItsEnd) {
    TCells cells;
    for (int row = 1; row <= 69; ++row) cells["A" + std::to_string(row)] = "line " + std::to_string(row);
    cells["B33"] = "#Name";
    cells["B65"] = "#Amount";
    cells["C70"] = "#SUM(Amount)";
    EXPECT_EQ(DerivedBands(cells), (Lines{"Title A1:C32", "MasterData A33:C65", "Summary A66:C70"}));
}

TEST_F(TemplateBands, WithoutDataSetAndNoNonEmptyRowNoBandEndsInRowZero) {
    EXPECT_EQ(DerivedBands({}, false), Lines{});
    EXPECT_EQ(DerivedBands({{"C6", "late"}}, false), Lines{});
    EXPECT_EQ(DerivedBands({{"A1", "#Name"}, {"A2", "x"}}, false), (Lines{"Title A1:A2"}));
}

TEST_F(TemplateBands, TheComponentsFieldSignMarksTheReferences) {
    Report->FieldSign = '$';
    EXPECT_EQ(DerivedBands({{"A1", "#Name"}, {"A2", "$Name"}}), (Lines{"Title A1:A1", "MasterData A2:A2"}));
}

TEST_F(TemplateBands, ACellWithTheFieldSignButNoFieldNameFailsTheBuild) {
    Lines bands = DerivedBands({{"A1", "Total: #'Amount"}});
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(bands[0], "error: " + Format(SFieldNameNotDetermined, {"Total: #'Amount", "#"}));
}

// EditTemplate with a viewer script that logs the file it was given.
class EditTemplateTest : public testing::TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        Log = Folder + "viewer.log";
        std::string script = Folder + "viewer.sh";
        WriteFileBytes(script, "#!/bin/sh\necho \"$1\" >> '" + Log + "'\n");
        ::chmod(script.c_str(), 0755);
        ::setenv("TABRIX_VIEWER", script.c_str(), 1);
        Module = std::make_unique<TDataModule>();
        Report = new TTabrix(Module.get());
        Report->SetTemplate(Template);
    }
    void TearDown() override {
        ::unsetenv("TABRIX_VIEWER");
        TReportFolder::TearDown();
    }
    std::string Viewed() {
        std::string text = FileExists(Log) ? ReadFileBytes(Log) : "";
        return text.empty() ? text : text.substr(0, text.size() - 1);
    }
    static int ActiveSheet(const std::string& file) {
        TExcelApplication app = TExcelApplication::Create();
        int active = app.Workbooks().Open(file, {.ReadOnly = true}).Model().ActiveSheet();
        app.Quit();
        return active;
    }

    std::string Log;
    std::unique_ptr<TDataModule> Module;
    TTabrix* Report = nullptr;
};

TEST_F(EditTemplateTest, TheUsersTemplateFileIsOpenedItselfAndNotWritten) {
    Report->TemplSheet = "Notes";
    std::string before = ReadFileBytes(Template);
    Report->EditTemplate();  // the program runs on its own; its log shows when it has
    for (int i = 0; i < 500 && Viewed().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Viewed(), Template);
    EXPECT_EQ(ReadFileBytes(Template), before);
    EXPECT_EQ(TempFiles(), Lines{});
}

TEST_F(EditTemplateTest, AStoredTemplateIsEditedInItsTemporaryCopyWithTheTemplateSheetInFront) {
    Report->LoadStoredTemplateFromFile(Template);
    for (const char* sheet : {"Notes", "no such sheet"}) {
        ::unlink(Log.c_str());
        Report->TemplSheet = sheet;
        std::string copy = Report->GetTemplateFileName();
        std::string given = Report->EditTemplateFile(copy, true);
        EXPECT_EQ(Viewed(), copy) << "the copy itself, not a copy of it";
        EXPECT_EQ(ExtractFileExt(copy), ".tmp");
        EXPECT_EQ(given, ReadFileBytes(copy));
        EXPECT_EQ(ActiveSheet(copy), std::string(sheet) == "Notes" ? 3 : ActiveSheet(Template)) << sheet;
        DeleteFileAt(copy);
    }
    EXPECT_EQ(Report->StoredTemplate(), ReadFileBytes(Template)) << "EditTemplate reads nothing back";
}

TEST_F(EditTemplateTest, FailuresBeforeTheProgramRuns) {
    Report->SetTemplate("missing.xlsx");
    try {
        Report->EditTemplate();
        ADD_FAILURE();
    } catch (const ETabrixError& e) {
        EXPECT_EQ(e.Message(), Format(SFileNotExists, {Folder + "missing.xlsx"}));
    }
    WriteFileBytes(Folder + "bad.xlsx", "no workbook");
    Report->SetTemplate("bad.xlsx");
    EXPECT_THROW(Report->EditTemplate(), EOleError) << "the spreadsheet's error passes on unchanged";
    EXPECT_EQ(Viewed(), "") << "nothing is shown";

    ::setenv("TABRIX_VIEWER", (Folder + "no-such-program").c_str(), 1);
    Report->SetTemplate(Template);
    EXPECT_THROW(Report->EditTemplateFile(Report->GetTemplateFileName(), true), EOleError);
}

}  // namespace
}  // namespace tabrix
