// Cost of moving the references of one template cell text, on a mix like
// that of real report templates: most cells are plain values, the formulas
// hold plain and absolute references, sheet-qualified references, strings
// that look like references, field references and a few long sums.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "cells/cell_address.h"
#include "cells/renew_references.h"

namespace {

using tabrix::UnicodeString;

std::vector<UnicodeString> TemplateMix() {
    std::vector<UnicodeString> mix;
    auto add = [&](const char* s) { mix.push_back(tabrix::Utf8ToUnicode(s)); };
    add("Customer");
    add("12.5");
    add("#Orders.Customer");
    add("=B5*C5");
    add("=$C$2*D5+D$4");
    add("=Rates!B3*E5");
    add("='Rates 2024'!$B$3*E5-F5");
    add("=IF(F5>0,\"A1 up\",\"B2 down\")");
    add("=ROUND(#Price*C5,2)");
    add("=SUM(A5:A20)/COUNT(A5:A20)");
    add("=VLOOKUP(A5,Codes!$A$1:$C$200,3,FALSE)");
    add("Total: #SUM(Qty) pcs");
    std::string longSum = "=SUM(";
    for (int i = 0; i < 30; ++i) longSum += (i ? "," : "") + tabrix::TabrixGetRange(5 + i, 2 + i % 20);
    longSum += ")";
    add(longSum.c_str());
    return mix;
}

void BM_RenewMix(benchmark::State& state) {
    const std::vector<UnicodeString> mix = TemplateMix();
    int shift = 0;
    for (auto _ : state) {
        shift = shift % 1000 + 1;
        for (const UnicodeString& text : mix)
            benchmark::DoNotOptimize(tabrix::TabrixRenewCellReferences(text, shift, 0, '#'));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(mix.size()));
}
BENCHMARK(BM_RenewMix);

void BM_RenewColumnsAtParse(benchmark::State& state) {
    const std::vector<UnicodeString> mix = TemplateMix();
    for (auto _ : state)
        for (const UnicodeString& text : mix)
            benchmark::DoNotOptimize(tabrix::TabrixRenewCellReferences(text, 0, -1, '#'));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(mix.size()));
}
BENCHMARK(BM_RenewColumnsAtParse);

void BM_RenewLongFormula(benchmark::State& state) {
    std::string text = "=";
    for (int i = 0; i < 200; ++i) text += tabrix::TabrixGetRange(10 + i, 1 + i % 26) + "*$B$2+";
    text += "0";
    const UnicodeString formula = tabrix::Utf8ToUnicode(text);
    for (auto _ : state) benchmark::DoNotOptimize(tabrix::TabrixRenewCellReferences(formula, 7, 0, '#'));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(formula.size() * sizeof(char16_t)));
}
BENCHMARK(BM_RenewLongFormula);

void BM_GetRange(benchmark::State& state) {
    int row = 0;
    for (auto _ : state) {
        row = row % 65534 + 1;
        benchmark::DoNotOptimize(tabrix::TabrixGetRange(row, row % 702 + 1));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetRange);

}  // namespace

BENCHMARK_MAIN();
