// tabrix new TEMPLATE --db FILE|--pg CONNINFO --sql SELECT -o FORM: a form
// file to start from, holding the connection, the query and a report whose
// bands are derived from the template (title, master data, summary), ready
// for tabrix run and for editing by hand.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <string>

#include "automation/automation.h"
#include "cli/console.h"
#include "cli/report_form.h"
#include "cli/secrets.h"
#include "cli/verbs.h"
#include "platform/classes/application.h"
#include "platform/classes/formfile.h"
#include "platform/db/db.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "report/tabrix.h"

namespace tabrix::cli {

namespace {

namespace fs = std::filesystem;

struct TNewOptions {
    std::string Template;
    std::string Database;
    std::string PgConnection;
    std::string Sql;
    std::string Form;
    std::string Sheet;
};

// A file named in the form relative to the form's folder, so that the
// folder can move as a whole.
std::string RelativeToForm(const std::string& file, const std::string& formFolder) {
    return fs::path(file).lexically_relative(formFolder).string();
}

TSQLConnection* MakeConnection(TComponent& module, const TNewOptions& o, const std::string& formFolder) {
    if (!o.PgConnection.empty()) {
        RememberConnectionSecrets(o.PgConnection);
        auto* pg = new TPgConnection(&module);
        pg->SetName("Db");
        pg->SetConnectionString(o.PgConnection);
        return pg;
    }
    const std::string database = CommandLineFileName(o.Database);
    if (!FileExists(database)) throw EFOpenError("Cannot open database \"" + o.Database + "\": no such file");
    auto* db = new TSQLiteConnection(&module);
    db->SetName("Db");
    db->SetDatabase(RelativeToForm(database, formFolder));
    return db;
}

// The bands from the template's sheet, with the query open so that its
// fields are known.
void DeriveBands(TTabrix& report, TSQLQuery& query, const std::string& templateFile, const std::string& sheetName) {
    query.Open();
    TExcelApplication app = TExcelApplication::Create();
    TExcelWorkbook book = app.Workbooks().Open(templateFile, {.ReadOnly = true});
    TExcelWorksheet sheet = book.Worksheets().Item(1);
    if (!sheetName.empty()) {
        bool found = false;
        for (int i = 1; i <= book.Worksheets().Count() && !found; ++i)
            if (AnsiSameText(UnicodeToUtf8(book.Worksheets().Item(i).Name()), sheetName)) {
                sheet = book.Worksheets().Item(i);
                found = true;
            }
        if (!found) throw EUsageError("--sheet " + sheetName + ": the template has no such sheet");
    }
    report.SetBandsFromTemplSheet(sheet);
    app.Quit();
    query.Close();
}

void MakeNewForm(const TNewOptions& o) {
    if (o.Database.empty() == o.PgConnection.empty())
        throw EUsageError("give the database with --db FILE or --pg CONNINFO");
    const std::string templateFile = CommandLineFileName(o.Template);
    if (!FileExists(templateFile)) throw EFOpenError("Cannot open template \"" + o.Template + "\": no such file");
    const std::string form = CommandLineFileName(o.Form);
    const std::string formFolder = ExtractFilePath(form);
    // Names in the form are taken from its folder, as tabrix run will.
    SetApplicationFolder(formFolder);
    RegisterDbClasses();
    RegisterTabrixClasses();

    TDataModule module;
    module.SetName("ReportModule");
    TSQLConnection* connection = MakeConnection(module, o, formFolder);
    auto* query = new TSQLQuery(&module);
    query->SetName("Query");
    query->SetConnection(connection);
    query->SQL()->SetText(o.Sql);
    auto* report = new TTabrix(&module);
    report->SetName("Report");
    report->SetDataSet(query);
    report->SetTemplate(RelativeToForm(templateFile, formFolder));
    report->TemplSheet = o.Sheet;
    DeriveBands(*report, *query, templateFile, o.Sheet);
    connection->SetConnected(false);
    SaveFormFile(form, module);
    Note("Wrote " + o.Form + " with " + std::to_string(report->Bands()->GetCount()) + " bands from " + o.Template);
    ResultFile(form);
}

}  // namespace

void AddNewCommand(CLI::App& app) {
    auto opts = std::make_shared<TNewOptions>();
    CLI::App* cmd = app.add_subcommand("new", "Write a form file for a template, a database and a query");
    cmd->footer(
        "The bands come from the template: the rows above the first row that refers to a field of the query\n"
        "are the title, the rows with such references the master data, the rest the summary.\n\n"
        "Example:\n"
        "  tabrix new customers.xlsx --db sales.db --sql \"select name, region from customers\" -o customers.tfm\n"
        "  tabrix run customers.tfm -o customers-report.xlsx");
    cmd->add_option("TEMPLATE", opts->Template, "Template workbook (.xlsx)")->required();
    cmd->add_option("--db", opts->Database, "SQLite database file");
    cmd->add_option("--pg", opts->PgConnection, "PostgreSQL connection string (instead of --db)");
    cmd->add_option("--sql", opts->Sql, "The query (select ...) whose records the report shows")->required();
    cmd->add_option("-o,--output", opts->Form, "Form file to write (.tfm)")->required();
    cmd->add_option("--sheet", opts->Sheet, "The template's report sheet (default: the first)");
    cmd->callback([opts] { MakeNewForm(*opts); });
}

}  // namespace tabrix::cli
