// tabrix run FORM [--report NAME] [-o FILE [--keep-partial]]: builds the
// report a form file defines. With -o the report is saved there (a failure
// writes nothing, or with --keep-partial FILE.partial.xlsx); without it the
// report is left to the user (opened in the spreadsheet program, or its
// path printed).

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

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
    bool NoProgress = false;
    bool KeepPartial = false;
};

// The progress window: on a terminal always, elsewhere (lines on standard
// error) when the form asks for it; --no-progress turns it off.
void ChooseProgress(TTabrix& report, bool noProgress) {
    if (noProgress)
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
    std::printf("Report written to %s\n", output.c_str());
}

void RunReport(const TRunOptions& o) {
    TReportForm form = LoadReportForm(o.Form, o.Report);
    std::string output = CommandLineFileName(o.Output);
    ChooseProgress(*form.Report, o.NoProgress);
    if (output.empty())
        form.Report->Show(output);
    else
        ShowToFile(*form.Report, output, o.KeepPartial);
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
        "  tabrix run shop.tfm --report MonthlyReport        (left to the user)");
    cmd->add_option("FORM", opts->Form, "Form file (.tfm) with the data sets and the report component")->required();
    cmd->add_option("--report", opts->Report, "Name of the TTabrix component (when the form holds several)");
    cmd->add_option("-o,--output", opts->Output, "Save the report here (.xlsx) instead of leaving it to the user");
    cmd->add_flag("--keep-partial", opts->KeepPartial,
                  "When the report fails, save what was built as FILE.partial.xlsx beside the -o FILE");
    cmd->add_flag("--no-progress", opts->NoProgress,
                  "No progress window (shown on a terminal, and as lines on standard error when the form sets "
                  "tbxoShowProgress)");
    cmd->callback([opts] { RunReport(*opts); });
}

}  // namespace tabrix::cli
