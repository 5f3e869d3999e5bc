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

// The text of whatever failed, as the caller gets it back.
AnsiString MessageOf(const std::exception& e) {
    if (const auto* ex = dynamic_cast<const Exception*>(&e)) return ex->Message();
    return e.what();
}

// Runs a clean-up step of a failed build: a failure there must not replace
// the error that ended the build.
template <class F>
void Quietly(F&& step) {
    try {
        step();
    } catch (const std::exception&) {}
}

// The hour-glass for the lifetime of the object (when asked for), and the
// remembered cursor back afterwards.
class THourCursor {
public:
    explicit THourCursor(bool show) {
        if (show) Screen().SetCursor(crHourGlass);
    }

private:
    TCursorRestorer FRestore;  // remembers before the constructor body runs
};

bool IsStoredTemplateCopy(const AnsiString& TemplateFileName) {
    return SameText(ExtractFileExt(TemplateFileName), ".TMP");
}

}  // namespace

void TTabrix::Show(const AnsiString& FileName) {
    AnsiString templateFileName = GetTemplateFileName();
    // A temporary copy of the stored template is removed by the build once
    // it has been opened; this guard also removes it when the build fails
    // before that.
    TTempFileGuard storedCopy(StoreInDFM ? templateFileName : AnsiString());
    ShowOnTemplate(templateFileName, FileName);
}

void TTabrix::ReleaseReferences() {
    FTemplWorksheet.reset();
    FReportWorksheet.reset();
    FTemplWorkbook.reset();
    FReportWorkbook.reset();
    FExcelApp.reset();
}

AnsiString TTabrix::WorkingCopyName(const AnsiString& SaveName, const AnsiString& TemplateFileName) {
    if (!SaveName.empty() || !OnGetReportFileName) return TabrixGetTempFName();
    AnsiString name;
    OnGetReportFileName(this, name);
    // Only the name counts: folder parts ("..", "/", "\\") could place the
    // working copy, which is overwritten and removed, outside the
    // temporary folder.
    std::replace(name.begin(), name.end(), '\\', '/');
    name = Trim(ExtractFileName(Trim(name)));
    if (name.empty() || name == "." || name == "..") return TabrixGetTempFName();
    if (ExtractFileExt(name).empty()) {
        // The engine writes Office Open XML: the name gets the template's
        // own extension (a stored template's temporary copy says nothing,
        // so .xlsx), never .xls, which spreadsheet programs warn about.
        AnsiString ext = ExtractFileExt(TemplateFileName);
        if (ext.empty() || IsStoredTemplateCopy(TemplateFileName)) ext = ".xlsx";
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

// Steps shared by ShowOnTemplate and BuildSheet once the template sheet is
// chosen: the events around the sheet build, then the rest of the chain.
void TTabrix::BuildChain() {
    if (FDataSet) {
        FDataSet->Open();
        FDataSet->First();
    }
    MakeReport();
    if (OnAfterBuild) OnAfterBuild(this, *FReportWorksheet, FCurRow - 1, FReportColCount);
    if (FSubReport) FSubReport->BuildSheet(*FTemplWorkbook, *FReportWorkbook);
}

void TTabrix::HandleBuildError() {
    if (!FExcelApp) return;
    if (Options.Contains(tbxoVisibleWhenError)) {
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

void TTabrix::ShowOnTemplate(const AnsiString& TemplateFileName, const AnsiString& FileName) {
    if (RefuseNestedBuild()) return;
    AnsiString saveName = ExpandApplicationFileName(FileName);
    THourCursor cursor(Options.Contains(tbxoHourCursor));
    struct TRelease {
        TTabrix* Self;
        ~TRelease() { Self->ReleaseReferences(); }
    } release{this};
    // The engine holds the report in memory once it is created, so the
    // working copy is removed at the latest when the build ends.
    TTempFileGuard workingCopy;

    try {
        CheckSubReportChain();
        if (Trim(TemplateFileName).empty() || !FileExists(TemplateFileName))
            throw ETabrixError(Format(SFileNotExists, {TemplateFileName}));

        AnsiString copyName = WorkingCopyName(saveName, TemplateFileName);
        workingCopy.Reset(copyName);
        if (!CopyFileTo(TemplateFileName, copyName, false)) throw ETabrixError(Format(SErrorCreatingFile, {copyName}));

        try {
            FExcelApp = TExcelApplication::Create();
        } catch (const std::exception& e) {
            throw ETabrixError(Format(SErrorCreatingExcelApp, {MessageOf(e)}));
        }

        bool templateOpen = false;
        // Steps that run whether the build succeeded or not, before the
        // error handler: close the template, drop a stored template's
        // copy, give the application back its interactivity.
        auto finish = [&](bool rethrowing) {
            auto closeTemplate = [&] { FTemplWorkbook->Close(false); };
            auto dropStoredCopy = [&] {
                if (StoreInDFM && IsStoredTemplateCopy(TemplateFileName)) DeleteFileAt(TemplateFileName);
            };
            auto interactive = [&] { FExcelApp->SetInteractive(true); };
            if (rethrowing) {
                if (templateOpen) {
                    Quietly(closeTemplate);
                    dropStoredCopy();
                }
                Quietly(interactive);
            } else {
                closeTemplate();
                dropStoredCopy();
                interactive();
            }
        };

        try {
            FExcelApp->SetInteractive(false);
            try {
                TWorkbookOpenArgs args;
                args.UpdateLinks = 0;
                args.ReadOnly = true;
                args.Format = 4;
                args.Password = "";
                args.WriteResPassword = "";
                args.IgnoreReadOnlyRecommended = true;
                args.Origin = 2;
                args.AddToMru = false;
                FTemplWorkbook = FExcelApp->Workbooks().Open(TemplateFileName, args);
            } catch (const std::exception& e) {
                throw ETabrixError(Format(SErrorOpeningTemplate, {TemplateFileName, MessageOf(e)}));
            }
            templateOpen = true;

            int sheetIndex = SelectTemplSheet();
            FDataSetCache.clear();
            if (OnBeforeBuild) OnBeforeBuild(this);
            FReportWorkbook = FExcelApp->Workbooks().Add(copyName);
            DeleteFileAt(workingCopy.Release());  // in memory now
            FReportWorksheet = FReportWorkbook->Worksheets().Item(sheetIndex);
            FReportWorksheet->Activate();
            BuildChain();
        } catch (...) {
            finish(true);
            throw;
        }
        finish(false);

        if (!saveName.empty()) {
            FReportWorkbook->Close(true, saveName);
            FTemplWorksheet.reset();
            FExcelApp->Quit();
        } else {
            FExcelApp->SetUserControl(true);
            FExcelApp->SetVisible(true);
        }
    } catch (const std::exception& e) {
        HandleBuildError();
        RaiseError(MessageOf(e));
    }
}

void TTabrix::BuildSheet(const TExcelWorkbook& TemplWorkbook, const TExcelWorkbook& ReportWorkbook) {
    if (RefuseNestedBuild()) return;
    THourCursor cursor(Options.Contains(tbxoHourCursor));
    struct TRelease {
        TTabrix* Self;
        ~TRelease() { Self->ReleaseReferences(); }
    } release{this};
    try {
        CheckSubReportChain();
        FExcelApp = TemplWorkbook.Application();
        FTemplWorkbook = TemplWorkbook;
        int sheetIndex = SelectTemplSheet();
        FDataSetCache.clear();
        if (OnBeforeBuild) OnBeforeBuild(this);
        FReportWorkbook = ReportWorkbook;
        FReportWorksheet = FReportWorkbook->Worksheets().Item(sheetIndex);
        FReportWorksheet->Activate();
        BuildChain();
    } catch (const std::exception& e) {
        RaiseError(MessageOf(e));
    }
}

}  // namespace tabrix
