// The road of one report through Show / ShowOnTemplate / BuildSheet: what
// is saved, what is left to the user, what every failure closes and how it
// reaches the caller, the events, the template sheet and the sub-reports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messages/messages.h"
#include "platform/db/db.h"
#include "platform/rtl/format.h"
#include "platform/ui/cursor.h"
#include "report/tabrix.h"
#include "tests/report/report_fixture.h"
#include "tests/support/test_support.h"

namespace tabrix {
namespace {

using Lines = std::vector<std::string>;

class ShowDriver : public testing::TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        Module = std::make_unique<TComponent>();
        Report = NewReport("Report", "Report");
        Report->OnBeforeBuild = [this](TComponent* sender) { Log.push_back("before " + sender->Name()); };
        Report->OnAfterBuild = [this](TComponent* sender, TExcelWorksheet sheet, int rows, int cols) {
            Log.push_back("after " + sender->Name() + " " + UnicodeToUtf8(sheet.Name()) + " " + std::to_string(rows) +
                          "x" + std::to_string(cols));
        };
    }

    TTabrix* NewReport(const std::string& name, const std::string& sheet) {
        auto* r = new TTabrix(Module.get());
        r->SetName(name);
        r->SetTemplate(Template);
        r->TemplSheet = sheet;
        TTabrixBand* title = r->Bands()->AddBand(tbxbtTitle);
        title->SetRange("A1:F2");
        TTabrixBand* data = r->Bands()->AddBand(tbxbtMasterData);
        data->SetRange("A3:F3");
        return r;
    }

    // Runs Show and returns the ETabrixError's text ("" when none).
    std::string ShowError(const std::string& fileName) {
        return tabrix::testing::RaisedMessage<ETabrixError>([&] { Report->Show(fileName); }, "");
    }

    std::unique_ptr<TComponent> Module;
    TTabrix* Report = nullptr;
    Lines Log;
};

TEST_F(ShowDriver, SavedWithANameKeepsOtherSheetsRebuildsTheReportSheetAndLeavesNoTemporaryFile) {
    Lines coverBefore = SheetDump(Template, "Cover");
    Lines notesBefore = SheetDump(Template, "Notes");
    ASSERT_FALSE(SheetDump(Template, "Report").empty());

    Report->Show("Out.xlsx");  // relative: the application folder
    std::string out = Folder + "Out.xlsx";
    ASSERT_TRUE(FileExists(out));
    EXPECT_EQ(SheetNames(out), (Lines{"Cover", "Report", "Products", "Notes"}));
    EXPECT_EQ(SheetDump(out, "Cover"), coverBefore);
    EXPECT_EQ(SheetDump(out, "Notes"), notesBefore);
    // No data: the two title rows only.
    EXPECT_EQ(SheetDump(out, "Report"),
              (Lines{"1:1=Sales by region and customer", "2:1=Orders of January 2026, amounts in EUR"}));
    EXPECT_EQ(TempFiles(), Lines{}) << "the working copy is gone";
    EXPECT_EQ(Log, (Lines{"before Report", "after Report Report 2x6"}));
    EXPECT_FALSE(Report->Building());
    EXPECT_FALSE(SheetDump(Template, "Report").empty()) << "the template is never written";
}

TEST_F(ShowDriver, SaveNameRules) {
    Report->Show("  \\Sub.xlsx  ");  // one leading backslash dropped, blanks trimmed
    EXPECT_TRUE(FileExists(Folder + "Sub.xlsx"));
    std::string absolute = Folder + "tmp/../Abs.xlsx";
    Report->Show(absolute);
    EXPECT_TRUE(FileExists(Folder + "Abs.xlsx"));
}

TEST_F(ShowDriver, WithoutANameTheReportIsLeftToTheUser) {
    bool asked = false;
    Report->OnGetReportFileName = [&](TComponent*, AnsiString& name) {
        asked = true;
        EXPECT_EQ(name, "");
        name = "  Sales  ";
    };
    TExcelApplication seen;
    Report->OnAfterBuild = [&](TComponent*, TExcelWorksheet sheet, int, int) { seen = sheet.Parent().Application(); };
    ::testing::internal::CaptureStdout();
    Report->Show("");
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(asked);
    // The report workbook is named after its working copy (Sales plus the
    // template's extension) as a spreadsheet names a workbook added from a
    // template: Sales1.
    EXPECT_EQ(printed, TempDir + "Sales1.xlsx\n");
    EXPECT_EQ(TempFiles(), Lines{"Sales1.xlsx"}) << "only the shown report, no working copy";
    ASSERT_FALSE(seen.Quitted());
    EXPECT_TRUE(seen.Visible());
    EXPECT_TRUE(seen.UserControl());
    EXPECT_TRUE(seen.Interactive());
    EXPECT_EQ(seen.Workbooks().Count(), 1) << "the template is closed, the report stays";
    seen.Quit();
}

TEST_F(ShowDriver, AReportFileNameWithAnExtensionKeepsIt) {
    // "Sales." has an extension (the dot) as far as the name rule goes.
    for (const char* name : {"Sales.txt", "Sales."}) {
        Report->OnGetReportFileName = [&](TComponent*, AnsiString& n) { n = name; };
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(ShowError(""), "") << name;
        std::string shown = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(shown, TempDir + "Sales1.xlsx\n") << name;
        DeleteFileAt(TempDir + "Sales1.xlsx");
    }
}

TEST_F(ShowDriver, ReportFileNameEventIsAskedOnlyWithoutASaveNameAndBlanksMeanNone) {
    int asked = 0;
    Report->OnGetReportFileName = [&](TComponent*, AnsiString& name) {
        ++asked;
        name = "   ";
    };
    Report->Show("Out.xlsx");
    EXPECT_EQ(asked, 0);
    ::testing::internal::CaptureStdout();
    Report->Show("");
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(printed.rfind(TempDir + "TBR", 0), 0u) << printed;  // a temporary name
}

TEST_F(ShowDriver, MissingTemplateFails) {
    Report->SetTemplate("missing.xlsx");
    EXPECT_EQ(ShowError("Out.xlsx"), Format(SFileNotExists, {Folder + "missing.xlsx"}));
    EXPECT_TRUE(Log.empty());
    EXPECT_FALSE(FileExists(Folder + "Out.xlsx"));

    Report->SetTemplate("   ");
    EXPECT_EQ(ShowError("Out.xlsx"), Format(SFileNotExists, {""}));
    EXPECT_EQ(TempFiles(), Lines{});
}

TEST_F(ShowDriver, FailingCopyNamesTheWorkingCopy) {
    std::string tooLong(300, 'x');  // longer than a file name may be
    Report->OnGetReportFileName = [&](TComponent*, AnsiString& name) { name = tooLong; };
    EXPECT_EQ(ShowError(""), Format(SErrorCreatingFile, {TempDir + tooLong + ".xlsx"}));
    EXPECT_TRUE(Log.empty());
}

TEST_F(ShowDriver, AFailedWorkingCopyRemovesNoFileThatWasThere) {
    // The template itself in the temporary folder, named as the working copy:
    // the copy onto itself fails and the template stays.
    const std::string mine = TempDir + "Mine.xlsx";
    ASSERT_TRUE(CopyFileTo(Template, mine, false));
    Report->SetTemplate(mine);
    Report->OnGetReportFileName = [](TComponent*, AnsiString& n) { n = "Mine"; };
    EXPECT_EQ(ShowError(""), Format(SErrorCreatingFile, {mine}));
    EXPECT_EQ(ReadFileBytes(mine), ReadFileBytes(Template));

    // Another user's link into a folder that is not there: the copy cannot
    // go through it, and the link stays.
    const std::string link = TempDir + "Theirs.xlsx";
    ASSERT_EQ(::symlink((Folder + "gone/report.xlsx").c_str(), link.c_str()), 0);
    Report->SetTemplate(Template);
    Report->OnGetReportFileName = [](TComponent*, AnsiString& n) { n = "Theirs"; };
    EXPECT_EQ(ShowError(""), Format(SErrorCreatingFile, {link}));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(Log.empty());
}

TEST_F(ShowDriver, TheWorkingCopyStaysInTheTemporaryFolder) {
    // A name with folder parts would have the working copy, which is
    // overwritten and then removed, land elsewhere: only its name counts.
    WriteFileBytes(Folder + "Keep.xlsx", "someone's file");
    for (const char* name : {"../Keep", "..\\Keep", "/elsewhere/../Keep"}) {
        Report->OnGetReportFileName = [&](TComponent*, AnsiString& n) { n = name; };
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(ShowError(""), "") << name;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), TempDir + "Keep1.xlsx\n") << name;
        EXPECT_EQ(ReadFileBytes(Folder + "Keep.xlsx"), "someone's file") << name;
        DeleteFileAt(TempDir + "Keep1.xlsx");
    }
    Report->OnGetReportFileName = [&](TComponent*, AnsiString& n) { n = " .. "; };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ShowError(""), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind(TempDir + "TBR", 0), 0u);
}

TEST_F(ShowDriver, FailingOpenNamesTheTemplateAndTheReason) {
    std::string broken = Folder + "broken.xlsx";
    WriteFileBytes(broken, "this is no workbook");
    Report->SetTemplate(broken);
    std::string error = ShowError("Out.xlsx");
    std::string prefix = "Error opening template \"" + broken + "\". ";
    EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
    EXPECT_GT(error.size(), prefix.size() + 2) << "the engine's reason follows";
    EXPECT_EQ(error.substr(error.size() - 2), ". ");
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(TempFiles(), Lines{});
    EXPECT_FALSE(FileExists(Folder + "Out.xlsx"));
}

// An error inside the build: the handler of a data event fails after the
// report workbook exists.
class BuildFailure : public ShowDriver {
protected:
    void SetUp() override {
        ShowDriver::SetUp();
        Report->OnAfterBuild = [this](TComponent*, TExcelWorksheet sheet, int, int) {
            Seen = sheet.Parent().Application();
            throw EConvertError("'abc' is not a valid integer value");
        };
    }
    TExcelApplication Seen;
};

TEST_F(BuildFailure, WithoutVisibleWhenErrorEverythingIsClosed) {
    Report->Options.Exclude(tbxoVisibleWhenError);
    EXPECT_EQ(ShowError("Out.xlsx"), "'abc' is not a valid integer value");
    EXPECT_TRUE(Seen.Quitted()) << "the application is ended";
    EXPECT_FALSE(FileExists(Folder + "Out.xlsx"));
    EXPECT_EQ(TempFiles(), Lines{});
    EXPECT_FALSE(Report->Building());
}

TEST_F(BuildFailure, WithVisibleWhenErrorThePartialReportStaysWithTheUser) {
    ::testing::internal::CaptureStdout();
    std::string error = ShowError("Out.xlsx");
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, "'abc' is not a valid integer value");
    ASSERT_FALSE(Seen.Quitted());
    EXPECT_TRUE(Seen.Visible());
    EXPECT_TRUE(Seen.UserControl());
    EXPECT_TRUE(Seen.Interactive()) << "interactivity is given back before the handler";
    EXPECT_EQ(Seen.Workbooks().Count(), 1) << "the template is closed, the report stays";
    EXPECT_FALSE(FileExists(Folder + "Out.xlsx")) << "not saved under the name";
    EXPECT_NE(printed.find(TempDir), std::string::npos) << printed;
    Seen.Quit();
}

TEST_F(BuildFailure, APartialReportFileNameGetsWhatWasBuiltAndNothingIsShown) {
    Report->PartialReportFileName = "Out.partial.xlsx";  // taken from the application folder
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ShowError("Out.xlsx"), "'abc' is not a valid integer value");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "nothing shown, no path printed";
    EXPECT_TRUE(Report->PartialReportWritten());
    EXPECT_TRUE(Seen.Quitted());
    EXPECT_FALSE(FileExists(Folder + "Out.xlsx"));
    const Lines built = SheetDump(Folder + "Out.partial.xlsx", "Report");
    ASSERT_FALSE(built.empty()) << "the rows built so far";
    EXPECT_EQ(built.front(), "1:1=Sales by region and customer");
    EXPECT_EQ(TempFiles(), Lines{});

    // A build that fails before the report workbook exists has nothing to keep.
    ASSERT_TRUE(DeleteFileAt(Folder + "Out.partial.xlsx"));
    Report->OnBeforeBuild = [&](TComponent*) { throw ETabrixError("stopped"); };
    EXPECT_EQ(ShowError("Out.xlsx"), "stopped");
    EXPECT_FALSE(Report->PartialReportWritten());
    EXPECT_FALSE(FileExists(Folder + "Out.partial.xlsx"));
    EXPECT_EQ(TempFiles(), Lines{});
}

TEST_F(BuildFailure, AnErrorBeforeTheReportWorkbookExistsEndsTheApplication) {
    Report->Options.Exclude(tbxoVisibleWhenError);
    Report->OnBeforeBuild = [&](TComponent*) { throw ETabrixError("stopped"); };
    Report->OnAfterBuild = nullptr;
    EXPECT_EQ(ShowError("Out.xlsx"), "stopped");
    EXPECT_EQ(TempFiles(), Lines{});
}

TEST_F(ShowDriver, DesignTimeErrorsAreShownNotRaised) {
    Report->SetDesigning(true);
    Report->SetTemplate("missing.xlsx");
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(Report->Show("Out.xlsx"));
    std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find(Format(SFileNotExists, {Folder + "missing.xlsx"})), std::string::npos) << shown;
    EXPECT_NE(shown.find("[Error]"), std::string::npos);
}

TEST_F(ShowDriver, TemplSheetIsMatchedIgnoringCaseAndFallsBackToTheFirstSheet) {
    Report->TemplSheet = "rEpOrT";
    Report->Show("Match.xlsx");
    EXPECT_EQ(Log.back(), "after Report Report 2x6");
    EXPECT_EQ(SheetDump(Folder + "Match.xlsx", "Report").front(), "1:1=Sales by region and customer");

    Log.clear();
    Lines reportBefore = SheetDump(Template, "Report");
    Report->TemplSheet = "Nothing like it";
    Report->Show("Fallback.xlsx");
    EXPECT_EQ(Log.back(), "after Report Cover 2x6");
    EXPECT_EQ(SheetDump(Folder + "Fallback.xlsx", "Cover"), (Lines{"1:1=Sales by region"}));
    EXPECT_EQ(SheetDump(Folder + "Fallback.xlsx", "Report"), reportBefore);
}

TEST_F(ShowDriver, HourGlassWhileBuildingAndTheCursorBackAfterwards) {
    Screen().SetCursor(crArrow);
    TCursor during = crDefault;
    Report->OnBeforeBuild = [&](TComponent*) { during = Screen().Cursor(); };
    Report->Show("Out.xlsx");
    EXPECT_EQ(during, crHourGlass);
    EXPECT_EQ(Screen().Cursor(), crArrow);

    Report->Options.Exclude(tbxoHourCursor);
    Report->Show("Out.xlsx");
    EXPECT_EQ(during, crArrow);
    Report->SetTemplate("missing.xlsx");
    Report->Options.Include(tbxoHourCursor);
    ShowError("Out.xlsx");
    EXPECT_EQ(Screen().Cursor(), crArrow) << "also after a failure";
    Screen().SetCursor(crDefault);
}

TEST_F(ShowDriver, AChainOfTwoSubReportsBuildsOneSheetEachInChainOrder) {
    TTabrix* notes = NewReport("NotesReport", "Notes");
    TTabrix* cover = NewReport("CoverReport", "Cover");
    for (TTabrix* r : {notes, cover}) {
        r->OnBeforeBuild = Report->OnBeforeBuild;
        r->OnAfterBuild = Report->OnAfterBuild;
        std::string sheet = r->TemplSheet;
        r->SetTemplate("ignored-by-a-sub-report.xlsx");  // clears TemplSheet
        r->TemplSheet = sheet;
    }
    Report->SetSubReport(notes);
    notes->SetSubReport(cover);
    Report->Show("Chain.xlsx");
    EXPECT_EQ(Log, (Lines{"before Report", "after Report Report 2x6", "before NotesReport",
                          "after NotesReport Notes 2x6", "before CoverReport", "after CoverReport Cover 2x6"}));
    std::string out = Folder + "Chain.xlsx";
    EXPECT_EQ(SheetDump(out, "Notes"), (Lines{"1:1=Notes", "2:1=Prices are net, in EUR."}));
    EXPECT_EQ(SheetDump(out, "Cover"), (Lines{"1:1=Sales by region"}));
    EXPECT_EQ(SheetDump(out, "Report").size(), 2u);
    EXPECT_FALSE(notes->Building());
    EXPECT_FALSE(cover->Building());
}

TEST_F(ShowDriver, AFailingSubReportFailsTheWholeBuild) {
    TTabrix* notes = NewReport("NotesReport", "Notes");
    notes->OnBeforeBuild = [](TComponent*) { throw EDatabaseError("Orders: no such table"); };
    Report->SetSubReport(notes);
    Report->Options.Exclude(tbxoVisibleWhenError);
    EXPECT_EQ(ShowError("Out.xlsx"), "Orders: no such table");
    EXPECT_FALSE(FileExists(Folder + "Out.xlsx"));
}

TEST_F(ShowDriver, ACycleOfSubReportsIsRefusedBeforeAnySheetIsBuilt) {
    TTabrix* other = NewReport("Other", "Notes");
    other->OnBeforeBuild = Report->OnBeforeBuild;
    Report->SetSubReport(other);
    other->SetSubReport(Report);
    EXPECT_EQ(ShowError("Out.xlsx"), Format(SSubReportCycle, {"Report", "Report"}));
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(TempFiles(), Lines{});

    // A chain that comes back further down is refused too.
    TTabrix* third = NewReport("Third", "Cover");
    other->SetSubReport(third);
    third->SetSubReport(other);
    EXPECT_EQ(ShowError("Out.xlsx"), Format(SSubReportCycle, {"Report", "Other"}));
}

TEST_F(ShowDriver, ShowFromInsideItsOwnBuildIsRefusedAndTheRunningBuildGoesOn) {
    std::string inner;
    Report->OnBeforeBuild = [&](TComponent*) {
        try {
            Report->Show("Inner.xlsx");
        } catch (const ETabrixError& e) {
            inner = e.Message();
        }
    };
    Report->Show("Outer.xlsx");
    EXPECT_EQ(inner, Format(SReportAlreadyBuilding, {"Report"}));
    EXPECT_TRUE(FileExists(Folder + "Outer.xlsx"));
    EXPECT_FALSE(FileExists(Folder + "Inner.xlsx"));
    EXPECT_EQ(TempFiles(), Lines{});
}

TEST_F(ShowDriver, StoredTemplateIsUsedAndItsTemporaryCopyRemoved) {
    Report->LoadStoredTemplateFromFile(Template);
    Lines cover = SheetDump(Template, "Cover");
    ASSERT_TRUE(DeleteFileAt(Template));  // the build needs no template file
    Report->Show("Stored.xlsx");
    EXPECT_EQ(SheetDump(Folder + "Stored.xlsx", "Cover"), cover);
    EXPECT_EQ(TempFiles(), Lines{});

    // Also when the build fails, early or late.
    Report->OnBeforeBuild = [](TComponent*) { throw ETabrixError("late"); };
    EXPECT_EQ(ShowError("Stored2.xlsx"), "late");
    EXPECT_EQ(TempFiles(), Lines{});
    Report->OnGetReportFileName = [](TComponent*, AnsiString& name) { name = "no-such-folder/x"; };
    EXPECT_NE(ShowError(""), "");
    EXPECT_EQ(TempFiles(), Lines{});
}

// The README's sample: a real SQLite data set, opened by the build and
// walked from its first record.
TEST_F(ShowDriver, MasterDataSetIsOpenedAtItsFirstRecord) {
    ASSERT_TRUE(CopyFileTo(testing::ExampleFile("sales.db"), Folder + "sales.db", false));
    TDataModule module;
    auto* db = new TSQLiteConnection(&module);
    db->SetDatabase("sales.db");
    auto* orders = new TSQLQuery(&module);
    orders->SetConnection(db);
    orders->SQL()->SetText("select name as customer from customers order by region, name");
    auto* report = new TTabrix(&module);
    report->SetDataSet(orders);
    report->SetTemplate("sales.xlsx");
    report->TemplSheet = "Report";
    report->Bands()->AddBand(tbxbtMasterData)->SetRange("A5:F5");
    int rows = 0;
    report->OnAfterBuild = [&](TComponent*, TExcelWorksheet, int rowCount, int) {
        EXPECT_TRUE(orders->Active());
        EXPECT_TRUE(orders->Eof()) << "walked to its end";
        rows = rowCount;
    };
    report->Show("sales-report.xlsx");
    EXPECT_EQ(rows, 6);
    Lines cells = SheetDump(Folder + "sales-report.xlsx", "Report");
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells.front(), "1:1=Baker & Sons");
    EXPECT_EQ(cells.back(), "6:1=Mesa Supplies");
}

TEST_F(ShowDriver, StoreInDFMWithoutStoredBytesFails) {
    Report->StoreInDFM = true;
    EXPECT_EQ(ShowError("Out.xlsx"), SNoTemplateInDFM);
    EXPECT_EQ(TempFiles(), Lines{});
}

}  // namespace
}  // namespace tabrix
