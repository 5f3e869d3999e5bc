// The tabrix command: one subcommand per verb (verbs.h).

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "cli/console.h"
#include "cli/secrets.h"
#include "cli/verbs.h"
#include "platform/rtl/exceptions.h"

namespace {

int Fail(int code, const std::string& text) {
    std::fprintf(stderr, "tabrix: %s\n", tabrix::cli::HideSecrets(text).c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tabrix::cli;
    CLI::App app{"tabrix: Excel reports from database data and a template workbook", "tabrix"};
    app.require_subcommand(1);
    app.fallthrough();  // -q may stand after the verb too
    app.set_version_flag("--version", std::string("tabrix ") + TABRIX_VERSION);
    app.add_flag_callback(
        "-q,--quiet", [] { SetQuiet(true); },
        "Quiet: no notes and no progress window (errors and written file names stay)");
    app.footer(
        "Examples:\n"
        "  tabrix run examples/sales.tfm -o sales-report.xlsx   build the report a form file defines\n"
        "  tabrix run examples/sales.tfm                         build it and leave it to the user (viewer or path)\n"
        "  tabrix template store sales.tfm --from sales.xlsx     keep the template workbook inside the form\n"
        "  tabrix template extract sales.tfm -o template.xlsx    write the stored template out again\n"
        "  tabrix edit sales.tfm                                 edit the template in the spreadsheet program\n"
        "  tabrix new t.xlsx --db sales.db --sql \"select ...\" -o r.tfm   a form to start from\n"
        "  tabrix dump template.xlsx --sheet Report              show the cells as the engine reads them\n"
        "  tabrix resave in.xlsx out.xlsx                        open and save a workbook through the engine\n"
        "Run 'tabrix VERB --help' for the options of a verb.\n\n"
        "Output: the names of the files written go to standard output, one per line; notes, progress and\n"
        "errors go to standard error.\n"
        "Exit codes: 0 done, 1 the report (or the verb's work) failed, 2 wrong usage (an unknown option,\n"
        "a malformed value, a name the form does not have).");
    AddDumpCommand(app);
    AddEditCommand(app);
    AddNewCommand(app);
    AddResaveCommand(app);
    AddRunCommand(app);
    AddTemplateCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    } catch (const EUsageError& e) {
        return Fail(kExitUsage, e.Message());
    } catch (const tabrix::Exception& e) {
        return Fail(kExitFailed, tabrix::ExceptionText(e));
    } catch (const std::exception& e) {
        return Fail(kExitFailed, e.what());
    }
    return kExitDone;
}
