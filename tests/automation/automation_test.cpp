#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "automation/automation.h"
#include "platform/rtl/files.h"
#include "platform/rtl/locale.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"

namespace tabrix {
namespace {

class Automation : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = test::MakeTempDir();
        FTemplate = FFolder + "template.xlsx";
        WriteFileBytes(FTemplate, test::TemplateWorkbookBytes());
        FApp = TExcelApplication::Create();
    }
    void TearDown() override {
        FApp.Quit();
        test::RemoveTree(FFolder);
    }
    TExcelWorkbook OpenTemplate() {
        return FApp.Workbooks().Open(FTemplate, {.UpdateLinks = 0,
                                                 .ReadOnly = true,
                                                 .Format = 4,
                                                 .IgnoreReadOnlyRecommended = true,
                                                 .Origin = 2,
                                                 .AddToMru = false});
    }

    std::string FFolder, FTemplate;
    TExcelApplication FApp;
    TFormatSettingsScope FLocale{TFormatSettings::Invariant()};
};

TEST_F(Automation, TheShowDriverRoadFromTemplateToSavedReport) {
    FApp.SetInteractive(false);
    TExcelWorkbook templ = OpenTemplate();
    CopyFileTo(FTemplate, FFolder + "work.tmp.xlsx", false);
    TExcelWorkbook report = FApp.Workbooks().Add(FFolder + "work.tmp.xlsx");
    EXPECT_EQ(FApp.Workbooks().Count(), 2);
    ASSERT_EQ(report.Worksheets().Count(), 2);
    TExcelWorksheet sheet = report.Worksheets().Item(1);
    EXPECT_EQ(sheet.Name(), u"Template");
    sheet.Activate();
    EXPECT_EQ(report.Application(), FApp);
    // Clear the report sheet, copy the band from the template, write values.
    sheet.UsedRange().Clear();
    EXPECT_EQ(sheet.UsedRange().Address(false, false), "A1");
    TExcelWorksheet tsheet = templ.Worksheets().Item(1);
    tsheet.Range("A2", "C3").Copy(sheet.Range("A1", "A1"));
    TVariantArray2D buffer(1, 4000, 1, 3);
    buffer(1, 1) = Variant(u"Qty");
    buffer(2, 1) = Variant(u"7");
    buffer(2, 2) = Variant(1.5);
    buffer(2, 3) = Variant(u"=A2*B2");
    sheet.Range("A1", "C2").SetFormulaLocal(buffer);
    EXPECT_EQ(sheet.Range("C2").FormulaLocal(), Variant(u"=A2*B2"));
    EXPECT_EQ(sheet.Range("B2").Formula(), Variant(u"1.5"));
    templ.Close(false);
    EXPECT_EQ(FApp.Workbooks().Count(), 1);
    FApp.SetInteractive(true);
    report.Close(true, FFolder + "report.xlsx");
    EXPECT_THROW(report.Worksheets(), EOleError);
    FApp.Quit();
    EXPECT_THROW(FApp.Workbooks(), EOleError);

    auto saved = xl::TWorkbook::Open(FFolder + "report.xlsx", true);
    xl::TWorksheet& s = saved->Sheet(0);
    EXPECT_EQ(s.Content(2, 1).Value.Number, 7);
    EXPECT_EQ(s.Content(2, 3).Value.Number, 10.5);
    // An unassigned buffer value empties what the copy put there; the copied
    // format stays.
    EXPECT_EQ(s.Content(1, 2).Kind, xl::TCellKind::Empty);
    EXPECT_EQ(s.Content(1, 2).Style, 2u);
    EXPECT_EQ(s.Content(1, 1).Style, 2u);
    EXPECT_EQ(saved->Sheet(1).Content(1, 1).Formula, "Template!C5");
}

TEST_F(Automation, RangesReadTheirAreasAndAddressesAsTheSpreadsheetDoes) {
    TExcelWorksheet sheet = OpenTemplate().Worksheets().Item(1);
    EXPECT_EQ(sheet.UsedRange().Address(false, false), "A1:D6");
    EXPECT_EQ(sheet.UsedRange().Address(), "$A$1:$D$6");
    EXPECT_EQ(sheet.Range("A1", "B2").Areas().Count(), 1);
    EXPECT_EQ(sheet.Range("A1", "B2,C3:D4").Areas().Count(), 2);
    EXPECT_EQ(sheet.Range("A1,B2:C3").Areas().Item(2).Address(false, false), "B2:C3");
    EXPECT_EQ(sheet.Range("D5", "B7").Address(false, false), "B5:D7");
    EXPECT_EQ(sheet.Range("B:C").Address(false, false), "B:C");
    for (const char* bad : {"A0", "ZZZZ1", "A1;B2", ""}) {
        try {
            sheet.Range(bad);
            ADD_FAILURE() << bad;
        } catch (const EOleError& e) {
            EXPECT_NE(e.Message().find("sheet \"Template\""), std::string::npos) << e.Message();
        }
    }
}

TEST_F(Automation, RowHeightsAreReadComparedAndSet) {
    TExcelWorkbook book = FApp.Workbooks().Add(FTemplate);
    TExcelWorksheet sheet = book.Worksheets().Item(1);
    EXPECT_EQ(sheet.Range("A1").RowHeight(), Variant(30.0));
    EXPECT_TRUE(sheet.Range("A1", "A2").RowHeight().IsNull());
    sheet.Range("A3", "A4").SetRowHeight(22.5);
    EXPECT_EQ(sheet.Range("A3", "C4").Rows().RowHeight(), Variant(22.5));
    sheet.Range("A3").Rows().AutoFit();
    EXPECT_EQ(sheet.Range("A3").RowHeight(), Variant(15.0));
    EXPECT_THROW(sheet.Range("A3").SetRowHeight(-1), EOleError);
}

TEST_F(Automation, AFailedBlockWriteNamesTheCellAndTheFormula) {
    TExcelWorksheet sheet = FApp.Workbooks().Add(FTemplate).Worksheets().Item(1);
    TVariantArray2D buffer(1, 2, 1, 2);
    buffer(2, 2) = Variant(u"=SUM(");
    try {
        sheet.Range("A10", "B11").SetFormulaLocal(buffer);
        FAIL();
    } catch (const EOleError& e) {
        EXPECT_NE(e.Message().find("cell B11"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("=SUM("), std::string::npos) << e.Message();
    }
}

TEST_F(Automation, ClosingWithoutAFileNameNeedsOneForANewWorkbookAndReadOnlyStaysUnwritten) {
    std::string before = ReadFileBytes(FTemplate);
    TExcelWorkbook templ = OpenTemplate();
    templ.Worksheets().Item(1).Range("A1").SetFormulaLocal(Variant(u"changed"));
    EXPECT_THROW(templ.Close(true), EOleError);
    templ.Close(false);
    EXPECT_EQ(ReadFileBytes(FTemplate), before);
    TExcelWorkbook added = FApp.Workbooks().Add(FTemplate);
    EXPECT_THROW(added.Close(true), EOleError);
    EXPECT_EQ(FApp.Workbooks().Count(), 1);
    EXPECT_THROW(FApp.Workbooks().Open(FFolder + "missing.xlsx"), EOleError);
}

TEST_F(Automation, VisibleSavesAnUnsavedReportAndHandsItToTheViewer) {
    TExcelWorkbook book = FApp.Workbooks().Add(FTemplate);
    book.Worksheets().Item(1).Range("A1").SetFormulaLocal(Variant(u"shown"));
    // The viewer is a script that records the file it was given.
    std::string script = FFolder + "viewer.sh";
    std::string record = FFolder + "viewed.txt";
    WriteFileBytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + "'\n");
    ASSERT_EQ(std::system(("chmod +x '" + script + "'").c_str()), 0);
    FApp.SetViewerCommand(script);
    FApp.SetUserControl(true);
    FApp.SetVisible(true);
    std::string shown = book.FullName();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(ExtractFilePath(shown), TempFolder());
    for (int i = 0; i < 100 && !FileExists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(FileExists(record));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadFileBytes(record), shown);
    auto saved = xl::TWorkbook::Open(shown, true);
    EXPECT_EQ(saved->Sheet(0).Content(1, 1).Value.Text, "shown");
    DeleteFileAt(shown);
}

TEST_F(Automation, CollectionsRefuseIndexesOutsideThemAndDeadHandlesRaise) {
    TExcelWorkbook book = OpenTemplate();
    EXPECT_THROW(FApp.Workbooks().Item(0), EOleError);
    EXPECT_THROW(FApp.Workbooks().Item(2), EOleError);
    EXPECT_THROW(book.Worksheets().Item(3), EOleError);
    TExcelWorksheet sheet = book.Worksheets().Item(2);
    EXPECT_EQ(sheet.Name(), u"Other");
    EXPECT_THROW(sheet.Range("A1,B2").Areas().Item(3), EOleError);
    EXPECT_THROW(sheet.Cells(0, 1), EOleError);
    EXPECT_THROW(FApp.Workbooks().Open(FTemplate, {.ReadOnly = u"perhaps"}), EOleError);
    TExcelRange kept = sheet.Range("A1");
    book.Close(false);
    EXPECT_THROW(kept.FormulaLocal(), EOleError);
    EXPECT_THROW(sheet.Name(), EOleError);
    FApp.Quit();
    FApp.Quit();  // a second quit does nothing
    EXPECT_THROW(FApp.SetInteractive(true), EOleError);
    EXPECT_THROW(TExcelApplication().Workbooks(), EOleError);
}

TEST_F(Automation, FormulaReadsAndWritesUseTheEnglishFormAndArraysCoverTheRange) {
    TFormatSettings german = TFormatSettings::Invariant();
    german.DecimalSeparator = ',';
    german.ListSeparator = ';';
    TFormatSettingsScope scope(german);
    TExcelWorksheet sheet = FApp.Workbooks().Add(FTemplate).Worksheets().Item(1);
    sheet.Range("E1").SetFormula(Variant(u"=ROUND(B3,0)+0.5"));
    EXPECT_EQ(sheet.Range("E1").FormulaLocal(), Variant(u"=ROUND(B3;0)+0,5"));
    sheet.Range("E2").SetFormula(Variant(u"2.25"));
    EXPECT_EQ(sheet.Range("E2").FormulaLocal(), Variant(u"2,25"));
    sheet.Range("F1", "F3").SetFormulaLocal(Variant(u"=E$2*2"));  // one value into every cell
    TVariantArray2D texts = sheet.Range("E1", "F3").FormulaArray();
    ASSERT_EQ(texts.RowCount(), 3);
    ASSERT_EQ(texts.ColCount(), 2);
    EXPECT_EQ(texts(1, 1), Variant(u"=ROUND(B3,0)+0.5"));
    EXPECT_EQ(texts(3, 2), Variant(u"=E$2*2"));
    EXPECT_EQ(texts(3, 1), Variant(u""));
    // A buffer larger than the range: only its top-left part is written.
    TVariantArray2D buffer(1, 10, 1, 10);
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 10; ++c) buffer(r, c) = Variant(int64_t(r * 100 + c));
    sheet.Range("H1", "I2").SetFormulaLocal(buffer);
    EXPECT_EQ(sheet.Range("I2").Formula(), Variant(u"202"));
    EXPECT_EQ(sheet.Range("J1").Formula(), Variant(u""));
    EXPECT_EQ(sheet.Range("H3").Formula(), Variant(u""));
}

TEST_F(Automation, CopiesBetweenWorkbooksOfDifferentOriginBringTheirFormats) {
    TExcelWorksheet from = OpenTemplate().Worksheets().Item(1);
    TExcelWorkbook blank = FApp.Workbooks().Add();
    EXPECT_EQ(blank.Name(), u"Book1");  // the first new workbook of this application
    TExcelWorksheet to = blank.Worksheets().Item(1);
    from.Range("A1", "D5").Copy(to.Range("B2"));
    EXPECT_EQ(to.Range("B2").FormulaLocal(), Variant(u"Title"));
    EXPECT_EQ(to.Range("D6").Formula(), Variant(u"=SUM(D4:D5)"));
    EXPECT_EQ(to.UsedRange().Address(false, false), "B2:E6");
    xl::TWorksheet& model = to.Model();
    EXPECT_EQ(blank.Model().Styles().FontSize(model.Style(2, 2)), 14);
    ASSERT_EQ(model.MergedRanges().size(), 1u);
    EXPECT_EQ(model.MergedRanges()[0], (xl::TCellRect{2, 2, 2, 4}));
    blank.Close(true, FFolder + "copied.xlsx");
    auto saved = xl::TWorkbook::Open(FFolder + "copied.xlsx", true);
    EXPECT_EQ(saved->Sheet(0).Content(6, 4).Value.Number, 33);
}

TEST_F(Automation, ClosingAnOpenedWorkbookWithChangesSavesItsOwnFile) {
    TExcelWorkbook book = FApp.Workbooks().Open(FTemplate);
    EXPECT_TRUE(book.Saved());
    book.Worksheets().Item(2).Range("C1").SetFormulaLocal(Variant(3.5));
    EXPECT_FALSE(book.Saved());
    book.Close(true);
    auto saved = xl::TWorkbook::Open(FTemplate, true);
    EXPECT_EQ(saved->Sheet(1).Content(1, 3).Value.Number, 3.5);
}

TEST_F(Automation, AWorkbookAddedFromATemplateNoLongerNeedsTheFile) {
    std::string copy = FFolder + "working copy.xlsx";
    ASSERT_TRUE(CopyFileTo(FTemplate, copy, false));
    TExcelWorkbook report = FApp.Workbooks().Add(copy);
    ASSERT_TRUE(DeleteFileAt(copy));
    EXPECT_EQ(report.Name(), u"working copy1");
    EXPECT_EQ(report.FullName(), "");
    TExcelWorksheet sheet = report.Worksheets().Item(2);
    sheet.Range("A1").SetFormulaLocal(Variant(u"=Template!C5+1"));
    report.Close(true, FFolder + "from copy.xlsx");
    auto saved = xl::TWorkbook::Open(FFolder + "from copy.xlsx", true);
    EXPECT_EQ(saved->Sheet(1).Content(1, 1).Value.Number, 34);
    EXPECT_EQ(saved->Sheet(0).Content(1, 1).Value.Text, "Title");
}

TEST_F(Automation, BandCopiesCarryTheTemplateRuleAndClearingTheReportSheetDropsItsOwn) {
    TExcelWorkbook templ = OpenTemplate();
    CopyFileTo(FTemplate, FFolder + "work.tmp.xlsx", false);
    TExcelWorkbook report = FApp.Workbooks().Add(FFolder + "work.tmp.xlsx");
    TExcelWorksheet sheet = report.Worksheets().Item(1);
    // The report sheet's copy of the rule over C3:C4 goes with the clear.
    sheet.UsedRange().Clear();
    TExcelWorksheet tsheet = templ.Worksheets().Item(1);
    // Rows 3:4 of the template to rows 1:2, then doubled within the report.
    tsheet.Range("A3", "C4").Copy(sheet.Range("A1"));
    for (int rows = 2; rows < 64; rows *= 2)
        sheet.Range("A1", "C" + std::to_string(rows)).Copy(sheet.Range("A" + std::to_string(rows + 1)));
    templ.Close(false);
    report.Close(true, FFolder + "report.xlsx");

    auto saved = xl::TWorkbook::Open(FFolder + "report.xlsx", true);
    const auto& rules = saved->Sheet(0).Rules().Rules();
    ASSERT_EQ(rules.size(), 1u);
    ASSERT_EQ(rules[0].Ranges.size(), 1u);
    EXPECT_EQ(rules[0].Ranges[0], (xl::TCellRect{1, 3, 64, 3}));
}

}  // namespace
}  // namespace tabrix
