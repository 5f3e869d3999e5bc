// The fixed cost of one report's road (working copy, template opened,
// report workbook created, report sheet cleared, saved) on the example
// template, from a template file and from the stored template.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/rtl/files.h"
#include "report/tabrix.h"

namespace {

std::string ExampleTemplate() { return std::string(TABRIX_SOURCE_DIR) + "/examples/sales.xlsx"; }

void Configure(tabrix::TTabrix& report) {
    report.TemplSheet = "Report";
    report.Bands()->AddBand(tabrix::tbxbtMasterData)->SetRange("A3:F3");
}

void BM_ShowFromTemplateFile(benchmark::State& state) {
    tabrix::TTabrix report(nullptr);
    report.SetTemplate(ExampleTemplate());
    Configure(report);
    std::string out = tabrix::TempFolder() + "tabrix-bench-report.xlsx";
    for (auto _ : state) report.Show(out);
    tabrix::DeleteFileAt(out);
}
BENCHMARK(BM_ShowFromTemplateFile)->Unit(benchmark::kMillisecond);

void BM_ShowFromStoredTemplate(benchmark::State& state) {
    tabrix::TTabrix report(nullptr);
    report.LoadStoredTemplateFromFile(ExampleTemplate());
    Configure(report);
    std::string out = tabrix::TempFolder() + "tabrix-bench-report.xlsx";
    for (auto _ : state) report.Show(out);
    tabrix::DeleteFileAt(out);
}
BENCHMARK(BM_ShowFromStoredTemplate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
