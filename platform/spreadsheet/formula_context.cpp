#include "platform/spreadsheet/formula_context.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/strings.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::xl {

namespace {
// About a second of range visits.
constexpr uint64_t kVisitBudget = 50'000'000;

TStoredValue ToValue(const TScalar& v) {
    TStoredValue out;
    switch (v.kind) {
        case TScalar::Kind::Number:
            if (std::isfinite(v.number)) {
                out.Kind = TCellKind::Number;
                out.Number = v.number;
            } else {
                out.Kind = TCellKind::Error;
                out.Text = "#NUM!";
            }
            break;
        case TScalar::Kind::Text:
            out.Kind = TCellKind::String;
            out.Text = v.text;
            break;
        case TScalar::Kind::Boolean:
            out.Kind = TCellKind::Boolean;
            out.Number = v.boolean ? 1 : 0;
            break;
        case TScalar::Kind::Error:
            if (!v.text.empty()) {
                out.Kind = TCellKind::Error;
                out.Text = v.text;
            }
            break;
        case TScalar::Kind::Empty:
            break;
    }
    return out;
}

TScalar FromValue(const TStoredValue& v) {
    switch (v.Kind) {
        case TCellKind::Number:
            return TScalar::Number(v.Number);
        case TCellKind::String:
            return TScalar::Text(v.Text);
        case TCellKind::Boolean:
            return TScalar::Boolean(v.Number != 0);
        case TCellKind::Error:
            return TScalar::Error(v.Text);
        default:
            return {};
    }
}
}  // namespace

void TWorkbookFormulaContext::ComputeSheet(TWorksheet& sheet) {
    for (int row = 1; row <= sheet.LastRow(); ++row) {
        const TRow* r = sheet.Row(row);
        for (size_t i = 0; i < r->Cells.size(); ++i) {
            const TCell& c = r->Cells[i];
            if (c.Kind == TCellKind::Formula && sheet.FormulaOf(c).NeedsValue) Compute(sheet, row, c.Column, c.Index);
        }
    }
}

namespace {
// Thrown where a formula computed from constants only reads more: it is
// left for the whole pass. No Exception, which the evaluation would catch.
struct TReadsMore {};
}  // namespace

void TWorkbookFormulaContext::ComputeReadingConstants(TWorksheet& sheet, int first, int last) {
    FConstantsOnly = true;
    const int bottom = std::min(last, sheet.LastRow());
    for (int row = std::max(first, 1); row <= bottom && !FExhausted; ++row) {
        const TRow* r = sheet.Row(row);
        for (size_t i = 0; i < r->Cells.size(); ++i) {
            const TCell c = r->Cells[i];
            if (c.Kind != TCellKind::Formula || !sheet.FormulaOf(c).NeedsValue) continue;
            try {
                TStoredValue result = Calculate(sheet, row, c.Column, sheet.FormulaOf(c));
                if (FExhausted) break;  // the whole pass decides about these
                TCellFormula& f = sheet.FormulaOf(c);
                f.Cached = std::move(result);
                f.NeedsValue = false;
            } catch (const TReadsMore&) {
                FCurrent = nullptr;
            }
        }
    }
    FConstantsOnly = false;
}

void TWorkbookFormulaContext::Compute(TWorksheet& sheet, int row, int column, uint32_t formulaIndex) {
    auto key = std::make_tuple(static_cast<const TWorksheet*>(&sheet), row, column);
    TCell probe;
    probe.Index = formulaIndex;
    TCellFormula& f = sheet.FormulaOf(probe);
    if (FExhausted) {
        f.NeedsValue = false;
        f.Cached = TStoredValue{};
        return;
    }
    if (FInProgress.count(key) || FDepth >= kMaxEvaluationDepth) return;  // a cycle, or too deep: no value
    FInProgress.insert(key);
    ++FDepth;
    TStoredValue result = Calculate(sheet, row, column, f);
    --FDepth;
    FInProgress.erase(key);
    TCellFormula& again = sheet.FormulaOf(probe);  // the table does not move during evaluation
    again.Cached = std::move(result);
    again.NeedsValue = false;
}

TStoredValue TWorkbookFormulaContext::Calculate(TWorksheet& sheet, int row, int column, const TCellFormula& f) {
    // The evaluator counts dates in the 1900 system: in a workbook of the
    // 1904 system a date's serial means another day, so nothing is computed.
    if (FBook.Date1904()) return {};
    TWorksheet* saved = FCurrent;
    FCurrent = &sheet;
    TStoredValue result;
    try {
        TFormula parsed = FShapes.Parse(f.Text, row, column);
        TEvaluateOptions options;
        options.ArrayFormula = f.Type == TCellFormula::TType::Array;  // element by element, as the spreadsheet does
        result = ToValue(EvaluateFormula(parsed, *this, row, column, options));
        if (FExhausted) result = TStoredValue{};  // computed from a cut-off range
    } catch (const Exception&) {
        // A formula the evaluator cannot read gets no cached value; the
        // spreadsheet computes it on load.
    }
    FCurrent = saved;
    return result;
}

TStoredValue TWorkbookFormulaContext::Evaluate(TWorksheet& sheet, int row, int column) {
    const TCell* c = sheet.FindCell(row, column);
    if (!c || c->Kind != TCellKind::Formula) return {};
    const TCellFormula f = sheet.FormulaOf(*c);
    return Calculate(sheet, row, column, f);
}

TWorksheet* TWorkbookFormulaContext::SheetNamed(std::string_view name) {
    if (name.empty()) return FCurrent;
    if (FConstantsOnly) throw TReadsMore{};  // another sheet may be read in on demand
    return FBook.SheetForFormula(name);
}

TScalar TWorkbookFormulaContext::ValueOf(TWorksheet& sheet, int row, const TCell& cell) {
    switch (cell.Kind) {
        case TCellKind::Empty:
            return {};
        case TCellKind::Number:
            return TScalar::Number(cell.Number);
        case TCellKind::Boolean:
            return TScalar::Boolean(cell.Number != 0);
        case TCellKind::String:
            return TScalar::Text(std::string(sheet.StringOf(cell)));
        case TCellKind::Error:
            return TScalar::Error(std::string(TWorksheet::ErrorCode(cell.Index)));
        case TCellKind::Formula: {
            if (FConstantsOnly) throw TReadsMore{};
            uint32_t index = cell.Index;
            int column = cell.Column;
            if (sheet.FormulaOf(cell).NeedsValue) Compute(sheet, row, column, index);
            TCell probe;
            probe.Index = index;
            // A formula's result is never empty: no cached value means unknown
            // (a cycle, a function the evaluator lacks, a file without values).
            const TStoredValue& v = sheet.FormulaOf(probe).Cached;
            if (v.Kind == TCellKind::Empty) return TScalar::NotEvaluated();
            return FromValue(v);
        }
    }
    return {};
}

TScalar TWorkbookFormulaContext::CellValue(std::string_view sheetName, int row, int col) {
    TWorksheet* sheet = SheetNamed(sheetName);
    if (!sheet) return TScalar::Error("#REF!");
    const TCell* c = sheet->FindCell(row, col);
    if (!c) return {};
    return ValueOf(*sheet, row, *c);
}

void TWorkbookFormulaContext::ForEachCell(std::string_view sheetName, int row1, int col1, int row2, int col2,
                                          const std::function<bool(int, int, const TScalar&)>& fn) {
    Visit(sheetName, row1, col1, row2, col2, TVisit::All, fn);
}

void TWorkbookFormulaContext::ForEachSubtotalCell(std::string_view sheetName, int row1, int col1, int row2, int col2,
                                                  bool skipHiddenRows,
                                                  const std::function<bool(int, int, const TScalar&)>& fn) {
    Visit(sheetName, row1, col1, row2, col2, skipHiddenRows ? TVisit::SubtotalVisible : TVisit::Subtotal, fn);
}

bool TWorkbookFormulaContext::MayFilter(TWorksheet& sheet) {
    if (FConstantsOnly) throw TReadsMore{};  // the kept XML is cut on demand
    auto it = FMayFilter.find(&sheet);
    if (it == FMayFilter.end())
        it = FMayFilter.emplace(&sheet, sheet.MayFilterRows() || FBook.FindDefinedName("_xlnm._FilterDatabase", &sheet))
                 .first;
    return it->second;
}

void TWorkbookFormulaContext::Visit(std::string_view sheetName, int row1, int col1, int row2, int col2, TVisit how,
                                    const std::function<bool(int, int, const TScalar&)>& fn) {
    TWorksheet* sheet = SheetNamed(sheetName);
    if (!sheet) return;
    int bottom = std::min(row2, sheet->LastRow());
    for (int row = row1; row <= bottom; ++row) {
        const TRow* r = sheet->Row(row);
        const bool hidden = how != TVisit::All && r->Props.Hidden;
        if (hidden && how == TVisit::SubtotalVisible) continue;
        // A hidden row SUBTOTAL 1-11 counts only when it was hidden by hand.
        const bool unknown = hidden && MayFilter(*sheet);
        // Values are read by position: evaluating a formula may not add cells,
        // but the reference to the row's vector is taken afresh each time.
        for (size_t i = 0; i < r->Cells.size(); ++i) {
            TCell c = sheet->Row(row)->Cells[i];
            if (c.Column < col1) continue;
            if (c.Column > col2) break;
            if (c.Kind == TCellKind::Empty) continue;
            if (++FVisited > kVisitBudget) {
                FExhausted = true;
                return;
            }
            if (how != TVisit::All && c.Kind == TCellKind::Formula && CallsSubtotal(sheet->FormulaOf(c).Text)) continue;
            if (unknown) {
                fn(row, c.Column, TScalar::NotEvaluated());
                return;
            }
            if (!fn(row, c.Column, ValueOf(*sheet, row, c))) return;
        }
    }
}

bool TWorkbookFormulaContext::ResolveName(std::string_view name, std::string& englishFormulaText) {
    if (FConstantsOnly) throw TReadsMore{};
    const std::string* text = FBook.FindDefinedName(name, FCurrent);
    if (!text) return false;
    englishFormulaText = *text;
    return true;
}

}  // namespace tabrix::xl
