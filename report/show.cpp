// The Show driver: the whole road of one report, from the template file to
// the saved (or shown) report workbook, with the sub-report chain.

#include <algorithm>
#include <vector>

#include "cells/temp_files.h"
#include "messages/messages.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"
#include "platform/ui/cursor.h"
#include "report/tabrix.h"

namespace tabrix {

namespace {

// Runs a clean-up step of a failed build: a failure there must not replace
// the error that ended the build.
template <class F>
void Quietly(F&& step) {
    try {
        step();
    } catch (const std::exception&) {}
}

}  // namespace

// What every build holds for its lifetime: the hour-glass (when asked for)
// with the remembered cursor put back afterwards, and the automation
// references, dropped when the build ends however it ends.
class TTabrix::TBuildScope {
public:
    explicit TBuildScope(TTabrix& report) : FReport(report) {
        if (report.Options.Contains(tbxoHourCursor)) Screen().SetCursor(crHourGlass);
    }
    ~TBuildScope() { FReport.ReleaseReferences(); }
    TBuildScope(const TBuildScope&) = delete;
    TBuildScope& operator=(const TBuildScope&) = delete;

private:
    TTabrix& FReport;
    TCursorRestorer FRestore;  // remembers before the constructor body runs
};

// The template's side of a build: the application is non-interactive and
// the template open (read-only) between Open and Finish. Finish closes it,
// drops a stored template's temporary copy and gives the application back
// its interactivity; a build that fails before Finish gets the same steps
// from the destructor, each one quietly, so the build's error stays the one
// reported.
class TTabrix::TTemplateScope {
public:
    TTemplateScope(TTabrix& report, const AnsiString& templateFileName)
        : FReport(report), FFileName(templateFileName) {}
    ~TTemplateScope() {
        if (FFinished) return;
        if (FOpen) {
            Quietly([&] { CloseTemplate(); });
            DropStoredCopy();
        }
        Quietly([&] { Interactive(); });
    }
    TTemplateScope(const TTemplateScope&) = delete;
    TTemplateScope& operator=(const TTemplateScope&) = delete;

    void Open() {
        FReport.FExcelApp->SetInteractive(false);
        FReport.FTemplWorkbook = FReport.OpenTemplate(FFileName);
        FOpen = true;
    }
    void Finish() {
        FFinished = true;
        CloseTemplate();
        DropStoredCopy();
        Interactive();
    }

private:
    void CloseTemplate() { FReport.FTemplWorkbook->Close(false); }
    void DropStoredCopy() {
        if (FReport.IsStoredTemplateCopy(FFileName)) DeleteFileAt(FFileName);
    }
    void Interactive() { FReport.FExcelApp->SetInteractive(true); }

    TTabrix& FReport;
    AnsiString FFileName;
    bool FOpen = false;
    bool FFinished = false;
};

void TTabrix::Show(const AnsiString& fileName) {
    AnsiString templateFileName = GetTemplateFileName();
    // A temporary copy of the stored template is removed by the build once
    // it has been opened; this guard also removes it when the build fails
    // before that.
    TTempFileGuard storedCopy(StoreInDFM ? templateFileName : AnsiString());
    ShowOnTemplate(templateFileName, fileName);
}

void TTabrix::ReleaseReferences() {
    FTemplWorksheet.reset();
    FReportWorksheet.reset();
    FTemplWorkbook.reset();
    FReportWorkbook.reset();
    FExcelApp.reset();
}

AnsiString TTabrix::WorkingCopyName(const AnsiString& saveName, const AnsiString& templateFileName) {
    if (!saveName.empty() || !OnGetReportFileName) return {};
    AnsiString name;
    OnGetReportFileName(this, name);
    // Only the name counts: folder parts ("..", "/", "\\") could place the
    // working copy, which is overwritten and removed, outside the
    // temporary folder.
    std::replace(name.begin(), name.end(), '\\', '/');
    name = Trim(ExtractFileName(Trim(name)));
    if (name.empty() || name == "." || name == "..") return {};
    if (ExtractFileExt(name).empty()) {
        // The engine writes Office Open XML: the name gets the template's
        // own extension (.tmp, the extension of a stored template's
        // temporary copy, says nothing, so .xlsx), never .xls, which
        // spreadsheet programs warn about.
        AnsiString ext = ExtractFileExt(templateFileName);
        if (ext.empty() || SameText(ext, ".TMP")) ext = ".xlsx";
        name += ext;
    }
    return IncludeTrailingPathDelimiter(TabrixGetTempDir()) + name;
}

int TTabrix::SelectTemplSheet() {
    TExcelWorksheets sheets = FTemplWorkbook->Worksheets();
    int sheetIndex = 1;
    if (!TemplSheet.empty()) {
        // From the last sheet down; without a match worksheet 1, the last
        // one taken, stays.
        for (int i = sheets.Count(); i >= 1; --i) {
            FTemplWorksheet = sheets.Item(i);
            if (AnsiCompareText(UnicodeToUtf8(FTemplWorksheet->Name()), TemplSheet) == 0) {
                sheetIndex = i;
                break;
            }
        }
    } else {
        FTemplWorksheet = sheets.Item(1);
    }
    return sheetIndex;
}

void TTabrix::CheckSubReportChain() const {
    std::vector<const TTabrix*> seen{this};
    for (const TTabrix* next = FSubReport; next; next = next->FSubReport) {
        if (std::find(seen.begin(), seen.end(), next) != seen.end())
            throw ETabrixError(Format(SSubReportCycle, {Name(), next->Name()}));
        seen.push_back(next);
    }
}

void TTabrix::CopyTemplate(const AnsiString& templateFileName, const AnsiString& saveName,
                           TTempFileGuard& workingCopy) {
    if (Trim(templateFileName).empty() || !FileExists(templateFileName))
        throw ETabrixError(Format(SFileNotExists, {templateFileName}));
    AnsiString copyName = WorkingCopyName(saveName, templateFileName);
    if (copyName.empty()) {
        // A new temporary file is this build's own from the moment it exists.
        workingCopy.Reset(TabrixGetTempFName());
        copyName = workingCopy.Name();
    }
    if (!CopyFileTo(templateFileName, copyName, false)) throw ETabrixError(Format(SErrorCreatingFile, {copyName}));
    // A chosen name may be anyone's file (the template itself, another
    // user's file) until the copy has taken its place: only then is it ours
    // to remove.
    if (workingCopy.Name() != copyName) workingCopy.Reset(copyName);
}

TExcelApplication TTabrix::CreateApplication() {
    try {
        return TExcelApplication::Create();
    } catch (const std::exception& e) {
        throw ETabrixError(Format(SErrorCreatingExcelApp, {MessageOf(e)}));
    }
}

TWorkbookOpenArgs TTabrix::TemplateOpenArgs(bool readOnly) {
    TWorkbookOpenArgs args;
    args.UpdateLinks = 0;
    args.ReadOnly = readOnly;
    args.Format = 4;
    args.Password = "";
    args.WriteResPassword = "";
    args.IgnoreReadOnlyRecommended = true;
    args.Origin = 2;
    args.AddToMru = false;
    return args;
}

bool TTabrix::IsStoredTemplateCopy(const AnsiString& fileName) const {
    return StoreInDFM && SameText(ExtractFileExt(fileName), ".TMP");
}

void TTabrix::StartApplication() { FExcelApp = CreateApplication(); }

TExcelWorkbook TTabrix::OpenTemplate(const AnsiString& templateFileName) {
    try {
        return FExcelApp->Workbooks().Open(templateFileName, TemplateOpenArgs(true));
    } catch (const std::exception& e) {
        throw ETabrixError(Format(SErrorOpeningTemplate, {templateFileName, MessageOf(e)}));
    }
}

int TTabrix::BeginSheetBuild() {
    int sheetIndex = SelectTemplSheet();
    FDataSetCache.clear();
    if (OnBeforeBuild) OnBeforeBuild(this);
    return sheetIndex;
}

// Steps shared by ShowOnTemplate and BuildSheet once the report workbook is
// there: the report sheet, the events around its build, then the rest of
// the chain.
void TTabrix::BuildReportSheet(int sheetIndex) {
    FReportWorksheet = FReportWorkbook->Worksheets().Item(sheetIndex);
    FReportWorksheet->Activate();
    BuildChain();
}

void TTabrix::BuildChain() {
    if (FDataSet) {
        FDataSet->Open();
        FDataSet->First();
    }
    MakeReport();
    if (OnAfterBuild) OnAfterBuild(this, *FReportWorksheet, FCurRow - 1, FReportColCount);
    if (FSubReport) FSubReport->BuildSheet(*FTemplWorkbook, *FReportWorkbook);
}

void TTabrix::BuildFromTemplate(const AnsiString& templateFileName, TTempFileGuard& workingCopy) {
    TTemplateScope templ(*this, templateFileName);
    templ.Open();
    int sheetIndex = BeginSheetBuild();
    FReportWorkbook = FExcelApp->Workbooks().Add(workingCopy.Name());
    DeleteFileAt(workingCopy.Release());  // in memory now
    BuildReportSheet(sheetIndex);
    templ.Finish();
}

void TTabrix::Deliver(const AnsiString& saveName) {
    if (!saveName.empty()) {
        FReportWorkbook->Close(true, saveName);
        FTemplWorksheet.reset();
        FExcelApp->Quit();
    } else {
        FExcelApp->SetUserControl(true);
        FExcelApp->SetVisible(true);
    }
}

void TTabrix::HandleBuildError() {
    if (!FExcelApp) return;
    if (!PartialReportFileName.empty()) {
        if (FReportWorkbook)
            Quietly([&] {
                FReportWorkbook->Close(true, ExpandApplicationFileName(PartialReportFileName));
                FPartialReportWritten = true;
            });
        Quietly([&] { FExcelApp->Quit(); });
    } else if (Options.Contains(tbxoVisibleWhenError)) {
        Quietly([&] { FExcelApp->SetUserControl(true); });
        Quietly([&] { FExcelApp->SetVisible(true); });
    } else {
        if (FReportWorkbook) Quietly([&] { FReportWorkbook->Close(false); });
        Quietly([&] { FExcelApp->Quit(); });
    }
}

bool TTabrix::RefuseNestedBuild() {
    // A build started again from one of its own event handlers would take
    // over the automation references the running build still uses.
    if (!Building()) return false;
    RaiseError(Format(SReportAlreadyBuilding, {Name()}));
    return true;
}

void TTabrix::ShowOnTemplate(const AnsiString& templateFileName, const AnsiString& fileName) {
    if (RefuseNestedBuild()) return;
    AnsiString saveName = ExpandApplicationFileName(fileName);
    TBuildScope scope(*this);
    // The engine holds the report in memory once it is created, so the
    // working copy is removed at the latest when the build ends.
    TTempFileGuard workingCopy;
    FPartialReportWritten = false;
    try {
        CheckSubReportChain();
        CopyTemplate(templateFileName, saveName, workingCopy);
        StartApplication();
        BuildFromTemplate(templateFileName, workingCopy);
        Deliver(saveName);
    } catch (const std::exception& e) {
        HandleBuildError();
        RaiseError(MessageOf(e));
    }
}

void TTabrix::BuildSheet(const TExcelWorkbook& templWorkbook, const TExcelWorkbook& reportWorkbook) {
    if (RefuseNestedBuild()) return;
    TBuildScope scope(*this);
    try {
        CheckSubReportChain();
        FExcelApp = templWorkbook.Application();
        FTemplWorkbook = templWorkbook;
        int sheetIndex = BeginSheetBuild();
        FReportWorkbook = reportWorkbook;
        BuildReportSheet(sheetIndex);
    } catch (const std::exception& e) {
        RaiseError(MessageOf(e));
    }
}

}  // namespace tabrix
