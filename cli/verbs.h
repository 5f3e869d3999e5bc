#pragma once
// The verbs of the tabrix command. Each lives in a file of its own and adds
// its subcommand to the application; main.cpp only lists them.

namespace CLI {
class App;
}

namespace tabrix::cli {

// tabrix dump FILE [--sheet NAME]: what the engine reads from a workbook.
void AddDumpCommand(CLI::App& app);
// tabrix resave IN OUT [--level N]: a workbook opened and saved by the engine.
void AddResaveCommand(CLI::App& app);
// tabrix edit FORM [--report NAME]: the template in the spreadsheet program.
void AddEditCommand(CLI::App& app);
// tabrix run FORM [--report NAME] [-o FILE]: builds a form file's report.
void AddRunCommand(CLI::App& app);
// tabrix template store|extract: the template stored in a form file.
void AddTemplateCommand(CLI::App& app);
// tabrix new TEMPLATE --db FILE|--pg CONNINFO --sql SELECT -o FORM: a form to start from.
void AddNewCommand(CLI::App& app);

}  // namespace tabrix::cli
