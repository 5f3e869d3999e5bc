// The tabrix command: one subcommand per verb (verbs.h).

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "cli/verbs.h"
#include "platform/rtl/exceptions.h"

int main(int argc, char** argv) {
    CLI::App app{"tabrix: Excel reports from database data and a template workbook", "tabrix"};
    app.require_subcommand(1);
    tabrix::cli::AddDumpCommand(app);
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
