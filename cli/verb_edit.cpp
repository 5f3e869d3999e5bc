// tabrix edit FORM [--report NAME]: opens the report's template in the
// user's spreadsheet program ($TABRIX_VIEWER, else the desktop's opener)
// and waits for it to end. A template stored in the form is edited in a
// temporary copy; when the program has changed it, the form is written back
// with the new workbook (a complete new file replaces the old one), and
// only then.

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/console.h"
#include "cli/report_form.h"
#include "cli/verbs.h"
#include "platform/classes/formfile.h"
#include "platform/rtl/files.h"

namespace tabrix::cli {

namespace {

// A program that ends sooner than this without having changed the copy
// most likely handed the file to a program already running (or there is
// no program and only the path was printed): the copy is kept for the user.
constexpr std::chrono::seconds kQuickViewerExit{3};

struct TEditOptions {
    std::string Form;
    std::string Report;
};

// The workbook must open before it replaces the stored one: a half-written
// or foreign file would leave the form with a template no build can open.
void CheckWorkbook(const std::string& file) {
    TExcelApplication app = TExcelApplication::Create();
    app.Workbooks().Open(file, {.ReadOnly = true});
    app.Quit();
}

void StoreEditedTemplate(const TEditOptions& o, const std::string& copy) {
    CheckWorkbook(copy);
    // Read the form again: it may have changed while the program ran.
    TReportForm form = LoadReportForm(o.Form, o.Report);
    form.Report->LoadStoredTemplateFromFile(copy);
    SaveFormFile(CommandLineFileName(o.Form), *form.Module);
    Note("Stored the changed template in " + o.Form + " (" + form.Report->Name() + ", " +
         std::to_string(form.Report->StoredTemplate().size()) + " bytes)");
    ResultFile(CommandLineFileName(o.Form));
}

void EditTemplate(const TEditOptions& o) {
    TReportForm form = LoadReportForm(o.Form, o.Report);
    TTabrix& report = *form.Report;
    if (!report.StoreInDFM) {
        // The user's own file: the program saves it where it is.
        report.EditTemplateFile(report.GetTemplateFileName(), true);
        return;
    }
    std::string copy = report.GetTemplateFileName();
    TTempFileGuard guard(copy);
    auto start = std::chrono::steady_clock::now();
    std::string given = report.EditTemplateFile(copy, true);
    bool quick = std::chrono::steady_clock::now() - start < kQuickViewerExit;
    if (!FileExists(copy))
        throw EFOpenError("The edited template \"" + copy + "\" is gone; " + o.Form + " stays as it was");
    if (ReadFileBytes(copy) != given) {
        // A failure below keeps the copy: it holds the user's changes.
        std::string kept = guard.Release();
        StoreEditedTemplate(o, kept);
        DeleteFileAt(kept);
        return;
    }
    if (quick) {
        guard.Release();
        Note("The spreadsheet program ended at once; if it still edits " + copy +
             ", store the template afterwards with:\n  tabrix template store " + o.Form + " --report " + report.Name() +
             " --from " + copy);
        return;
    }
    Note("The template was not changed; " + o.Form + " stays as it was");
}

}  // namespace

void AddEditCommand(CLI::App& app) {
    auto opts = std::make_shared<TEditOptions>();
    CLI::App* cmd = app.add_subcommand("edit", "Edit the report's template in the spreadsheet program");
    cmd->footer(
        "The program is $TABRIX_VIEWER, else the desktop's opener; tabrix waits for it to end.\n"
        "A template stored in the form is edited in a temporary copy and stored back when it changed.\n\n"
        "Example:\n"
        "  TABRIX_VIEWER=localc tabrix edit examples/sales.tfm");
    cmd->add_option("FORM", opts->Form, "Form file (.tfm)")->required();
    cmd->add_option("--report", opts->Report, "Name of the TTabrix component (when the form holds several)");
    cmd->callback([opts] { EditTemplate(*opts); });
}

}  // namespace tabrix::cli
