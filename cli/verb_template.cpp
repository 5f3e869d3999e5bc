// tabrix template store|extract: the template workbook carried inside a
// report component of a form file ("XLTemplate"), so that a report needs
// no template file beside it.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/console.h"
#include "cli/report_form.h"
#include "cli/verbs.h"
#include "platform/classes/formfile.h"

namespace tabrix::cli {

namespace {

struct TTemplateOptions {
    std::string Form;
    std::string Report;
    std::string Workbook;
};

void StoreTemplate(const TTemplateOptions& o) {
    std::string workbook = CommandLineFileName(o.Workbook);
    TReportForm form = LoadReportForm(o.Form, o.Report);
    form.Report->LoadStoredTemplateFromFile(workbook);
    SaveFormFile(CommandLineFileName(o.Form), *form.Module);
    Note("Stored " + o.Workbook + " in " + o.Form + " (" + form.Report->Name() + ", " +
         std::to_string(form.Report->StoredTemplate().size()) + " bytes)");
    ResultFile(CommandLineFileName(o.Form));
}

void ExtractTemplate(const TTemplateOptions& o) {
    TReportForm form = LoadReportForm(o.Form, o.Report);
    if (!form.Report->HasStoredTempl())
        throw EArgumentException(o.Form + ": the report component " + form.Report->Name() +
                                 " holds no stored template");
    const std::string workbook = CommandLineFileName(o.Workbook);
    form.Report->SaveStoredTemplateToFile(workbook);
    Note("Wrote the template stored in " + o.Form + " to " + o.Workbook);
    ResultFile(workbook);
}

}  // namespace

void AddTemplateCommand(CLI::App& app) {
    CLI::App* cmd = app.add_subcommand("template", "Store a template workbook in a form file, or extract it");
    cmd->require_subcommand(1);
    cmd->footer(
        "Example:\n"
        "  tabrix template store examples/sales.tfm --from examples/sales.xlsx\n"
        "  tabrix template extract examples/sales.tfm -o template-copy.xlsx");

    auto store = std::make_shared<TTemplateOptions>();
    CLI::App* s = cmd->add_subcommand("store",
                                      "Put the workbook's bytes into the report component and use them (StoreInDFM); "
                                      "the form file is written back");
    s->add_option("FORM", store->Form, "Form file (.tfm)")->required();
    s->add_option("--from", store->Workbook, "Template workbook (.xlsx)")->required();
    s->add_option("--report", store->Report, "Name of the TTabrix component (when the form holds several)");
    s->callback([store] { StoreTemplate(*store); });

    auto extract = std::make_shared<TTemplateOptions>();
    CLI::App* e = cmd->add_subcommand("extract", "Write the template stored in the report component to a file");
    e->add_option("FORM", extract->Form, "Form file (.tfm)")->required();
    e->add_option("-o,--output", extract->Workbook, "Workbook file to write")->required();
    e->add_option("--report", extract->Report, "Name of the TTabrix component (when the form holds several)");
    e->callback([extract] { ExtractTemplate(*extract); });
}

}  // namespace tabrix::cli
