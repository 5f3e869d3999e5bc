// tabrix run FORM [--report NAME] [-o FILE]: builds the report a form file
// defines. With -o the report is saved there; without it the report is left
// to the user (opened in the spreadsheet program, or its path printed).

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/report_form.h"
#include "cli/verbs.h"
#include "platform/ui/terminal.h"

namespace tabrix::cli {

namespace {

struct TRunOptions {
    std::string Form;
    std::string Report;
    std::string Output;
    bool NoProgress = false;
};

// The progress window: on a terminal always, elsewhere (lines on standard
// error) when the form asks for it; --no-progress turns it off.
void ChooseProgress(TTabrix& report, bool noProgress) {
    if (noProgress)
        report.Options.Exclude(tbxoShowProgress);
    else if (::isatty(STDERR_FILENO) && CurrentTerminal())
        report.Options.Include(tbxoShowProgress);
}

void RunReport(const TRunOptions& o) {
    TReportForm form = LoadReportForm(o.Form, o.Report);
    std::string output = CommandLineFileName(o.Output);
    ChooseProgress(*form.Report, o.NoProgress);
    form.Report->Show(output);
    if (!output.empty()) std::printf("Report written to %s\n", output.c_str());
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
    cmd->add_flag("--no-progress", opts->NoProgress,
                  "No progress window (shown on a terminal, and as lines on standard error when the form sets "
                  "tbxoShowProgress)");
    cmd->callback([opts] { RunReport(*opts); });
}

}  // namespace tabrix::cli
