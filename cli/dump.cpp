// tabrix dump FILE [--sheet NAME]: the cells of a workbook as the engine
// reads them, one line per cell, so template authors can see what the engine
// sees and tests can keep golden dumps.
//
//   sheet "Data" (1 of 2) used A1:C4 default-height 15
//   note 2 style indexes beyond the 12 styles (highest 57, first B3) read as style 0
//   merge A1:C1
//   row 1 height 24.75 custom
//   A1 s "Sales \"2024\"" style 3
//   B3 f =SUM(B1:B2) -> n 42.5 style 0
//   C3 f {=TRANSPOSE(A1:A3)} C3:E3 -> n 1

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/verbs.h"
#include "platform/rtl/strings.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::cli {

namespace {

struct TDumpOptions {
    std::string File;
    std::string Sheet;
};

void AppendNumber(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Quoted, with quotes, backslashes and control characters escaped so that
// one cell stays one line.
void AppendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (const char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void AppendValue(std::string& out, const xl::TStoredValue& v) {
    switch (v.Kind) {
        case xl::TCellKind::Number:
            out += "n ";
            AppendNumber(out, v.Number);
            break;
        case xl::TCellKind::String:
            out += "s ";
            AppendQuoted(out, v.Text);
            break;
        case xl::TCellKind::Boolean:
            out += v.Number != 0 ? "b TRUE" : "b FALSE";
            break;
        case xl::TCellKind::Error:
            out += "e " + v.Text;
            break;
        default:
            out += "empty";
            break;
    }
}

void AppendRowProps(std::string& out, int row, const xl::TRowProps& p) {
    out += "row " + std::to_string(row);
    if (p.HasHeight || p.CustomHeight) {
        out += " height ";
        AppendNumber(out, p.Height);
    }
    if (p.CustomHeight) out += " custom";
    if (p.Hidden) out += " hidden";
    if (p.OutlineLevel) out += " outline " + std::to_string(p.OutlineLevel);
    if (p.Collapsed) out += " collapsed";
    if (p.CustomFormat) out += " style " + std::to_string(p.Style);
    out += '\n';
}

void DumpSheet(xl::TWorkbook& book, int index, std::FILE* to) {
    xl::TWorksheet& sheet = book.Sheet(index);
    std::string out = "sheet ";
    AppendQuoted(out, sheet.Name());
    out += " (" + std::to_string(index + 1) + " of " + std::to_string(book.SheetCount()) + ") used " +
           xl::RectAddress(sheet.UsedRange()) + " default-height ";
    AppendNumber(out, sheet.DefaultRowHeight());
    out += '\n';
    if (const xl::TUnknownStyles& u = sheet.UnknownStyles(); u.Count) {
        out += "note " + std::to_string(u.Count) + " style indexes beyond the " +
               std::to_string(book.Styles().Count()) + " styles (highest " + std::to_string(u.Highest) + ", first ";
        if (u.FirstColumn)
            xl::AppendCellAddress(out, u.FirstRow, u.FirstColumn);
        else
            out += "row " + std::to_string(u.FirstRow);
        out += ") read as style 0\n";
    }
    for (const xl::TCellRect& m : sheet.MergedRanges()) out += "merge " + xl::RectAddress(m) + '\n';
    for (int r = 1; r <= sheet.LastRow(); ++r) {
        const xl::TRow* row = sheet.Row(r);
        if (!row) continue;
        if (!row->Props.IsDefault()) AppendRowProps(out, r, row->Props);
        for (const xl::TCell& cell : row->Cells) {
            xl::AppendCellAddress(out, r, cell.Column);
            out += ' ';
            const xl::TCellContent c = sheet.Content(r, cell.Column);
            if (c.Kind == xl::TCellKind::Formula) {
                const xl::TCellFormula& f = sheet.FormulaOf(cell);
                if (f.Type == xl::TCellFormula::TType::Array) {
                    out += "f {=" + f.Text + "} " + xl::RectAddress(f.ArrayRange);
                } else if (f.Type == xl::TCellFormula::TType::DataTable) {
                    out += "f table(" + f.KeptAttributes + ")";
                } else {
                    out += "f =" + f.Text;
                }
                out += " -> ";
                AppendValue(out, c.Value);
            } else {
                AppendValue(out, c.Value);
            }
            if (c.Style) out += " style " + std::to_string(c.Style);
            out += '\n';
        }
        // Flush by row so a large sheet does not pile up in memory.
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), to);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), to);
}

void RunDump(const TDumpOptions& o) {
    std::unique_ptr<xl::TWorkbook> book = xl::TWorkbook::Open(o.File, /*readOnly=*/true);
    if (!o.Sheet.empty()) {
        for (int i = 0; i < book->SheetCount(); ++i)
            if (AnsiSameText(book->SheetName(i), o.Sheet)) return DumpSheet(*book, i, stdout);
        std::string names;
        for (int i = 0; i < book->SheetCount(); ++i) names += (i ? ", \"" : "\"") + book->SheetName(i) + "\"";
        throw xl::ESpreadsheetError("File \"" + o.File + "\" has no sheet \"" + o.Sheet + "\"; its sheets: " + names);
    }
    for (int i = 0; i < book->SheetCount(); ++i) DumpSheet(*book, i, stdout);
}

}  // namespace

void AddDumpCommand(CLI::App& app) {
    auto opts = std::make_shared<TDumpOptions>();
    CLI::App* cmd = app.add_subcommand("dump", "Print the cells of a workbook as the engine reads them");
    cmd->add_option("FILE", opts->File, "Workbook (.xlsx, .xlsm, .xltx, .xltm)")->required();
    cmd->add_option("--sheet", opts->Sheet, "Only this sheet (default: every worksheet)");
    cmd->callback([opts] { RunDump(*opts); });
}

}  // namespace tabrix::cli
