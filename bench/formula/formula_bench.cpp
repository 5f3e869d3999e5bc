// Costs of the formula layer on the paths a report takes for every cell:
// typed input of values, moving formulas of copied rows, checking and
// translating formulas, and computing totals over report-sized ranges.

#include <benchmark/benchmark.h>

#include <vector>

#include "platform/spreadsheet/formula/formula.h"
#include "tests/support/test_support.h"

namespace {

using namespace tabrix;
using namespace tabrix::xl;

TFormatSettings German() { return tabrix::testing::GermanSettings(); }

void TypedInput(benchmark::State& state, const char* text) {
    const TFormatSettings settings = German();
    TTypedInput result;
    for (auto _ : state) {
        ParseTypedInput(text, settings, result);
        benchmark::DoNotOptimize(result.number);
    }
}
BENCHMARK_CAPTURE(TypedInput, number, "1234,56");
BENCHMARK_CAPTURE(TypedInput, grouped_percent, "1.234,5 %");
BENCHMARK_CAPTURE(TypedInput, date, "24.12.2026");
BENCHMARK_CAPTURE(TypedInput, text, "Müller & Söhne GmbH");
BENCHMARK_CAPTURE(TypedInput, formula, "=SUMME(A1:A9)");

void Shift(benchmark::State& state, const char* text) {
    for (auto _ : state) benchmark::DoNotOptimize(ShiftFormula(text, 4000, 0));
}
BENCHMARK_CAPTURE(Shift, nothing_to_move, "TODAY()");
BENCHMARK_CAPTURE(Shift, absolute_only, "$B$2*1.19");
BENCHMARK_CAPTURE(Shift, typical, "SUM(D5:D9)*$B$2+IF(A5>0,A5,0)");

void Translate(benchmark::State& state) {
    const TFormulaDialect en = TFormulaDialect::English(), de = TFormulaDialect::Local(German());
    for (auto _ : state) benchmark::DoNotOptimize(TranslateFormula("IF(A5>0;ROUND(A5*1,19;2);\"-\")", de, en));
}
BENCHMARK(Translate);

// The rows of a report: one number column, read by SUM and SUMIF.
class TColumn : public IFormulaContext {
public:
    explicit TColumn(int rows) : FValues(std::size_t(rows)) {
        for (int r = 0; r < rows; ++r) FValues[std::size_t(r)] = TScalar::Number(r % 100);
    }
    TScalar CellValue(std::string_view, int row, int col) override {
        if (col != 1 || row < 1 || row > int(FValues.size())) return TScalar{};
        return FValues[std::size_t(row - 1)];
    }
    void ForEachCell(std::string_view, int row1, int col1, int row2, int col2,
                     const std::function<bool(int, int, const TScalar&)>& fn) override {
        if (col1 > 1 || col2 < 1) return;
        for (int r = std::max(row1, 1); r <= std::min(row2, int(FValues.size())); ++r)
            if (!fn(r, 1, FValues[std::size_t(r - 1)])) return;
    }

private:
    std::vector<TScalar> FValues;
};

void Evaluate(benchmark::State& state, const char* text) {
    TColumn column(65534);
    const TFormula f = ParseFormula(text, TFormulaDialect::English());
    for (auto _ : state) benchmark::DoNotOptimize(EvaluateFormula(f, column, 1, 2));
    state.SetItemsProcessed(state.iterations() * 65534);
}
BENCHMARK_CAPTURE(Evaluate, sum_65534_rows, "SUM(A1:A65534)");
BENCHMARK_CAPTURE(Evaluate, sumif_65534_rows, "SUMIF(A1:A65534,\">50\")");

}  // namespace

BENCHMARK_MAIN();
