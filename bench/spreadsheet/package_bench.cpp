// Saving a package whose one changed part is a report-sized sheet (about
// 65,000 rows of 10 cells of XML), at the levels a user can choose, and
// reading it back. Shows what deflate costs in a report's save.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"

namespace {

const std::string& SheetXml() {
    static const std::string xml = [] {
        std::string s = "<worksheet><sheetData>";
        for (int r = 1; r <= 65534; ++r) {
            s += "<row r=\"" + std::to_string(r) + "\">";
            for (int c = 0; c < 10; ++c) {
                const std::string ref = std::string(1, char('A' + c)) + std::to_string(r);
                s += "<c r=\"" + ref + "\" s=\"" + std::to_string(c + 1) + "\"><v>" +
                     std::to_string(r * 31 + c * 7 % 1000) + "</v></c>";
            }
            s += "</row>";
        }
        return s + "</sheetData></worksheet>";
    }();
    return xml;
}

void BM_SaveSheetPart(benchmark::State& state) {
    const int level = static_cast<int>(state.range(0));
    tabrix::xl::TPackage p;
    p.SetPart("[Content_Types].xml", "<Types/>");
    p.SetPart("xl/worksheets/sheet1.xml", SheetXml());
    const std::string file = tabrix::TempFolder() + "tbr_bench_package_" + std::to_string(::getpid()) + ".xlsx";
    for (auto _ : state) p.SaveAs(file, level);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(SheetXml().size()));
    state.counters["file_KiB"] = double(std::filesystem::file_size(file)) / 1024;
    tabrix::DeleteFileAt(file);
}
BENCHMARK(BM_SaveSheetPart)->Arg(1)->Arg(6)->Arg(12)->Unit(benchmark::kMillisecond);

void BM_ReadSheetPart(benchmark::State& state) {
    tabrix::xl::TPackage p;
    p.SetPart("xl/worksheets/sheet1.xml", SheetXml());
    const tabrix::xl::TPackage saved = tabrix::xl::TPackage::FromBytes(p.SaveToBytes(), "bench");
    for (auto _ : state) benchmark::DoNotOptimize(saved.ReadPart("xl/worksheets/sheet1.xml"));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(SheetXml().size()));
}
BENCHMARK(BM_ReadSheetPart)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
