// tabrix resave IN OUT: opens a workbook and saves it through the engine, so
// a template author sees whether the engine reads and writes it cleanly.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <string>

#include "cli/console.h"
#include "cli/verbs.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::cli {

namespace {

struct TResaveOptions {
    std::string Input;
    std::string Output;
    int Level = 1;
    bool KeepSheets = false;
};

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

void RunResave(const TResaveOptions& o) {
    // The input is opened read-only unless it is also the output, so a
    // resave to another name can never touch the original.
    const bool inPlace = SameFile(o.Input, o.Output);
    std::unique_ptr<xl::TWorkbook> book = xl::TWorkbook::Open(o.Input, /*readOnly=*/!inPlace);
    book->SetCompressionLevel(o.Level);
    // By default every sheet is read and regenerated, so that a sheet the
    // engine cannot read fails here and the file has been through the
    // whole model, as a report built on it would be.
    if (!o.KeepSheets)
        for (int i = 0; i < book->SheetCount(); ++i) book->Sheet(i).SetModified();
    book->SaveAs(o.Output);
    ResultFile(o.Output);
}

}  // namespace

void AddResaveCommand(CLI::App& app) {
    auto opts = std::make_shared<TResaveOptions>();
    CLI::App* cmd = app.add_subcommand("resave", "Open a workbook and save it through the engine");
    cmd->add_option("IN", opts->Input, "Workbook to read (.xlsx, .xlsm, .xltx, .xltm)")->required();
    cmd->add_option("OUT", opts->Output, "File to write")->required();
    cmd->add_option("--level", opts->Level, "Deflate level of rewritten parts: 1 fast .. 12 smallest")
        ->check(CLI::Range(1, 12));
    cmd->add_flag("--keep-sheets", opts->KeepSheets,
                  "Copy the sheets unchanged; only what every save changes is rewritten");
    cmd->callback([opts] { RunResave(*opts); });
}

}  // namespace tabrix::cli
