// The tabrix command: one subcommand per verb (verbs.h).

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "cli/verbs.h"
#include "platform/rtl/exceptions.h"

int main(int argc, char** argv) {
    CLI::App app{"tabrix: Excel reports from database data and a template workbook", "tabrix"};
    app.require_subcommand(1);
    app.footer(
        "Examples:\n"
        "  tabrix run examples/sales.tfm -o sales-report.xlsx   build the report a form file defines\n"
        "  tabrix run examples/sales.tfm                         build it and leave it to the user (viewer or path)\n"
        "  tabrix template store sales.tfm --from sales.xlsx     keep the template workbook inside the form\n"
        "  tabrix template extract sales.tfm -o template.xlsx    write the stored template out again\n"
        "  tabrix edit sales.tfm                                 edit the template in the spreadsheet program\n"
        "  tabrix dump template.xlsx --sheet Report              show the cells as the engine reads them\n"
        "  tabrix resave in.xlsx out.xlsx                        open and save a workbook through the engine\n"
        "Run 'tabrix VERB --help' for the options of a verb.");
    tabrix::cli::AddDumpCommand(app);
    tabrix::cli::AddEditCommand(app);
    tabrix::cli::AddResaveCommand(app);
    tabrix::cli::AddRunCommand(app);
    tabrix::cli::AddTemplateCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const tabrix::Exception& e) {
        std::fprintf(stderr, "tabrix: %s\n", tabrix::ExceptionText(e).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabrix: %s\n", e.what());
        return 1;
    }
    return 0;
}
