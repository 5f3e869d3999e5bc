// tabrix run FORM [--report NAME] [-o FILE [--keep-partial]]: builds the
// report a form file defines. With -o the report is saved there (a failure
// writes nothing, or with --keep-partial FILE.partial.xlsx); without it the
// report is left to the user (opened in the spreadsheet program, or its
// path printed).

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/params.h"
#include "cli/pdf.h"
#include "cli/report_form.h"
#include "cli/verbs.h"
#include "platform/rtl/files.h"
#include "platform/ui/terminal.h"

namespace tabrix::cli {

namespace {

struct TRunOptions {
    std::string Form;
    std::string Report;
    std::string Output;
    std::string Pdf;
    std::vector<std::string> Params;
    std::vector<std::string> Connections;
    bool NoProgress = false;
    bool KeepPartial = false;
};

// The progress window: on a terminal always, elsewhere (lines on standard
// error) when the form asks for it; --no-progress turns it off.
void ChooseProgress(TTabrix& report, bool noProgress) {
    if (noProgress || Quiet())
        report.Options.Exclude(tbxoShowProgress);
    else if (::isatty(STDERR_FILENO) && CurrentTerminal())
        report.Options.Include(tbxoShowProgress);
}

// FILE.partial.xlsx beside FILE.xlsx (the report's own extension kept).
std::string PartialName(const std::string& output) {
    const std::string ext = ExtractFileExt(output);
    return ChangeFileExt(output, ".partial" + (ext.empty() ? std::string(".xlsx") : ext));
}

// With -o a failed build leaves nothing behind (no partial report shown
// from the temporary folder), unless --keep-partial asks for it beside the
// requested file.
void ShowToFile(TTabrix& report, const std::string& output, bool keepPartial) {
    report.Options.Exclude(tbxoVisibleWhenError);
    if (keepPartial) report.PartialReportFileName = PartialName(output);
    try {
        report.Show(output);
    } catch (const std::exception&) {
        if (report.PartialReportWritten())
            std::fprintf(stderr, "tabrix: the report failed; what was built is in %s\n",
                         report.PartialReportFileName.c_str());
        else
            std::fprintf(stderr, "tabrix: the report failed; nothing was written%s\n",
                         keepPartial ? "" : " (--keep-partial keeps what was built)");
        throw;
    }
}

void RunReport(const TRunOptions& o) {
    // The command line is checked whole before the form is read.
    std::vector<TParamSetting> params;
    for (const std::string& p : o.Params) params.push_back(ParseParamSetting(p));
    std::vector<TConnectionSetting> connections;
    for (const std::string& c : o.Connections) connections.push_back(ParseConnectionSetting(c));

    TReportForm form = LoadReportForm(o.Form, o.Report);
    ApplyConnections(*form.Module, connections);
    ApplyParams(*form.Module, params);
    std::string output = CommandLineFileName(o.Output);
    std::string pdf = CommandLineFileName(o.Pdf);
    if (IsPdfFileName(output)) {
        if (!pdf.empty()) throw EUsageError("-o " + o.Output + " and --pdf " + o.Pdf + ": give the PDF once");
        pdf = output;
        output.clear();
    }
    ChooseProgress(*form.Report, o.NoProgress);
    if (pdf.empty()) {
        if (output.empty()) return form.Report->Show(output);
        ShowToFile(*form.Report, output, o.KeepPartial);
        ResultFile(output);
        return;
    }
    // The workbook is kept only when -o names one.
    TPdfFolder work;
    const std::string workbook =
        output.empty() ? work.Path() + std::filesystem::path(pdf).stem().string() + ".xlsx" : output;
    ShowToFile(*form.Report, workbook, o.KeepPartial && !output.empty());
    ConvertToPdf(workbook, pdf, kPdfTimeLimitSeconds);
    if (!output.empty()) ResultFile(output);
    ResultFile(pdf);
}

}  // namespace

void AddRunCommand(CLI::App& app) {
    auto opts = std::make_shared<TRunOptions>();
    CLI::App* cmd = app.add_subcommand("run", "Build the report that a form file defines");
    cmd->footer(
        "Relative names inside the form (database, template) are taken from the form's folder;\n"
        "-o is taken from the current folder.\n\n"
        "Example:\n"
        "  tabrix run examples/sales.tfm -o sales-report.xlsx\n"
        "  tabrix run shop.tfm --report MonthlyReport        (left to the user)\n"
        "  tabrix run examples/sales.tfm --param from=2026-01-01 --param to=2026-01-15 -o first-half.xlsx\n"
        "  tabrix run examples/sales.tfm -o sales-report.pdf\n"
        "  tabrix run examples/sales.tfm --connection Db=production.db -o sales.xlsx");
    cmd->add_option("FORM", opts->Form, "Form file (.tfm) with the data sets and the report component")->required();
    cmd->add_option("--report", opts->Report, "Name of the TTabrix component (when the form holds several)");
    cmd->add_option("-o,--output", opts->Output,
                    "Save the report here (.xlsx) instead of leaving it to the user; a name ending in .pdf saves "
                    "the PDF only");
    cmd->add_option("--pdf", opts->Pdf, "Also print the report to this PDF file (through LibreOffice headless)");
    cmd->add_flag("--keep-partial", opts->KeepPartial,
                  "When the report fails, save what was built as FILE.partial.xlsx beside the -o FILE");
    cmd->add_option("--param", opts->Params,
                    "NAME=VALUE or Query.NAME=VALUE: a parameter of the queries, typed as the form's value of it "
                    "(ISO dates, numbers with \".\"); repeatable");
    cmd->add_option("--connection", opts->Connections,
                    "NAME=VALUE: the database file of a SQLite connection or the connection string of a PostgreSQL "
                    "one; repeatable");
    cmd->add_flag("--no-progress", opts->NoProgress,
                  "No progress window (shown on a terminal, and as lines on standard error when the form sets "
                  "tbxoShowProgress)");
    cmd->callback([opts] { RunReport(*opts); });
}

}  // namespace tabrix::cli
