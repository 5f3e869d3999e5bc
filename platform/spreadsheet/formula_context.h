#pragma once
// The evaluator's view of the workbook model: cell values by sheet and
// position, with formulas that still need a value computed on demand (in
// sheet order, so chains of running totals do not nest deeply).

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/spreadsheet/formula/evaluate.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

class TWorkbookFormulaContext : public IFormulaContext {
public:
    explicit TWorkbookFormulaContext(TWorkbook& book) : FBook(book) {}

    // Gives every formula of the sheet that needs one its cached value.
    void ComputeSheet(TWorksheet& sheet);
    // The same for the formulas of rows first..last (1-based) that read
    // nothing but constant cells of their own sheet; the others are left
    // for ComputeSheet. Such formulas share nothing with formulas of other
    // rows: two contexts may compute rows apart at once.
    void ComputeReadingConstants(TWorksheet& sheet, int first, int last);
    // The value the engine computes for the formula of a cell (1-based row
    // and column) from the values the other cells hold now, without storing
    // it; empty where it cannot be sure or the cell holds no formula.
    TStoredValue Evaluate(TWorksheet& sheet, int row, int column);

    TScalar CellValue(std::string_view sheet, int row, int col) override;
    void ForEachCell(std::string_view sheet, int row1, int col1, int row2, int col2,
                     const std::function<bool(int row, int col, const TScalar&)>& fn) override;
    void ForEachSubtotalCell(std::string_view sheet, int row1, int col1, int row2, int col2, bool skipHiddenRows,
                             const std::function<bool(int row, int col, const TScalar&)>& fn) override;
    bool ResolveName(std::string_view name, std::string& englishFormulaText) override;

private:
    TWorksheet* SheetNamed(std::string_view name);
    TScalar ValueOf(TWorksheet& sheet, int row, const TCell& cell);
    void Compute(TWorksheet& sheet, int row, int column, uint32_t formulaIndex);
    TStoredValue Calculate(TWorksheet& sheet, int row, int column, const TCellFormula& formula);
    enum class TVisit { All, Subtotal, SubtotalVisible };
    void Visit(std::string_view sheet, int row1, int col1, int row2, int col2, TVisit how,
               const std::function<bool(int row, int col, const TScalar&)>& fn);
    // Whether rows of the sheet may be hidden by a filter (an auto-filter, a
    // table, an advanced filter's range): such rows cannot be told from rows
    // hidden by hand.
    bool MayFilter(TWorksheet& sheet);

    TWorkbook& FBook;
    TWorksheet* FCurrent = nullptr;
    std::set<std::tuple<const TWorksheet*, int, int>> FInProgress;
    std::map<const TWorksheet*, bool> FMayFilter;
    // A report's formulas are mostly copies of a few: each shape is parsed once.
    TFormulaShapes FShapes{TParseOptions{true, false}};
    int FDepth = 0;
    // Cells visited for ranges in this save; past the budget no more values
    // are computed (a column of running totals over 65,000 rows would visit
    // billions): those formulas are left for the spreadsheet to compute.
    uint64_t FVisited = 0;
    bool FExhausted = false;
    bool FConstantsOnly = false;  // in ComputeReadingConstants
};

}  // namespace tabrix::xl
