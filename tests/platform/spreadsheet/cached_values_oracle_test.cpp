// The corpus as an oracle for the evaluator: every formula of every real
// workbook that holds a value from the application that wrote it is
// computed again from the values of its cells as the file holds them, and
// compared (numbers to a relative 1e-9, texts exactly, errors by code). A
// value the engine computes differently is a wrong cached value waiting to
// be written; each is mended or listed below with its reason.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "platform/spreadsheet/formula_context.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::xl {
namespace {

namespace fs = std::filesystem;

// A difference understood: the file (its corpus path, "" for any), a
// pattern of the formula's text and the reason.
struct TKnown {
    const char* File;
    const char* Formula;
    const char* Reason;
};
const TKnown kKnown[] = {
    {"", R"(\b(TODAY|NOW)\(\))", "a volatile function: the file holds its value on the day it was saved"},
    {"xlsx/excelize/CalcChain.xlsx", "^SUM\\(C1:D1\\)$",
     "the file's value is stale: it was written by a library that does not calculate"},
    {"xlsx/xlsxwriter/optimize03.xlsx", "", "the writer stores 0 as the value of every formula"},
    {"xlsx/poi/61495-test.xlsm", "^IF\\(TEST!A[12]=",
     "the file's values do not follow its formulas: B1 and B2 show each other's format (the file of a bug report)"},
};

std::string Describe(const TStoredValue& v) {
    char buf[40];
    switch (v.Kind) {
        case TCellKind::Number:
            std::snprintf(buf, sizeof buf, "n:%.15g", v.Number);
            return buf;
        case TCellKind::String:
            return "s:" + v.Text;
        case TCellKind::Boolean:
            return v.Number != 0 ? "b:TRUE" : "b:FALSE";
        case TCellKind::Error:
            return "e:" + v.Text;
        default:
            return "empty";
    }
}

bool Same(const TStoredValue& file, const TStoredValue& ours) {
    if (file.Kind != ours.Kind) return false;
    if (file.Kind == TCellKind::Number)
        return std::fabs(file.Number - ours.Number) <= 1e-9 * std::max(1.0, std::fabs(file.Number));
    return file == ours;
}

const TKnown* Known(const std::string& file, const std::string& formula) {
    for (const TKnown& k : kKnown)
        if ((!*k.File || file == k.File) && std::regex_search(formula, std::regex(k.Formula))) return &k;
    return nullptr;
}

TEST(CachedValuesOracle, TheEngineComputesWhatTheWritingApplicationStored) {
    const fs::path root = fs::path(TABRIX_SOURCE_DIR) / ".." / "shared" / "corpus";
    if (!fs::is_directory(root / "xlsx")) GTEST_SKIP() << "no corpus beside the repository";
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "xlsx")) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".xlsx" || ext == ".xlsm")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    int workbooks = 0, compared = 0, same = 0, noValue = 0, known = 0, wrong = 0;
    std::map<std::string, int> byReason;
    for (const fs::path& path : files) {
        const std::string name = fs::relative(path, root).generic_string();
        std::unique_ptr<TWorkbook> book;
        try {
            book = TWorkbook::Open(path.string(), /*readOnly=*/true);
            for (int i = 0; i < book->SheetCount(); ++i) book->Sheet(i);
        } catch (const Exception&) {
            continue;  // files the engine refuses are the corpus resave's concern
        }
        ++workbooks;
        TWorkbookFormulaContext context(*book);
        for (int i = 0; i < book->SheetCount(); ++i) {
            TWorksheet& sheet = book->Sheet(i);
            for (int row = 1; row <= sheet.LastRow(); ++row)
                for (std::size_t k = 0; k < sheet.Row(row)->Cells.size(); ++k) {
                    const TCell c = sheet.Row(row)->Cells[k];
                    if (c.Kind != TCellKind::Formula) continue;
                    const TCellFormula& f = sheet.FormulaOf(c);
                    if (f.Type == TCellFormula::TType::DataTable || f.Cached.Kind == TCellKind::Empty) continue;
                    const TStoredValue file = f.Cached;
                    const std::string text = f.Text;
                    const TStoredValue ours = context.Evaluate(sheet, row, c.Column);
                    ++compared;
                    const std::string cell = sheet.Name() + "!" + CellAddress(row, c.Column);
                    if (ours.Kind == TCellKind::Empty) {
                        ++noValue;
                    } else if (Same(file, ours)) {
                        ++same;
                    } else if (const TKnown* why = Known(name, text)) {
                        ++known;
                        ++byReason[why->Reason];
                    } else {
                        ++wrong;
                        ADD_FAILURE() << name << " " << cell << " =" << text << ": the file holds " << Describe(file)
                                      << ", the engine computes " << Describe(ours);
                    }
                }
        }
    }
    for (const auto& [reason, n] : byReason) std::printf("known difference, %d times: %s\n", n, reason.c_str());
    std::printf("%d workbooks: %d formulas compared, %d same, %d no value, %d known difference, %d wrong\n", workbooks,
                compared, same, noValue, known, wrong);
}

}  // namespace
}  // namespace tabrix::xl
