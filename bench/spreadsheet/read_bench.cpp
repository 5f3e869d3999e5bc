// Reading sheets: what memory a read takes beside the cell store it builds.
// Each case writes its workbook file once (never kept), then opens it and
// reads the sheet with the peak resident memory reset before; the counters
// print the cell store, the peak and their ratio (goal: under 3 for the
// full-height sheet of ten columns).
//
//   FullHeightTenColumns  1,048,576 x 10 numbers
//   TinyCells             17.5 million one-value cells "<c><v>1</v></c>"
//   Whitespace            1,000 MiB of blanks between two rows (stored, as
//                         deflate would pass the package's ratio limit)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"

namespace {

using tabrix::xl::TPackage;
using tabrix::xl::TWorkbook;
using tabrix::xl::TWorksheet;

constexpr double kMiB = 1024.0 * 1024.0;

uint64_t StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::stoull(line.substr(prefix.size()));
    return 0;
}

// Resets the peak resident size to the current one (Linux).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

const char* kHead = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
const char* kTail = "</sheetData></worksheet>";

// A workbook file whose first sheet is the given XML.
std::string WriteBook(const std::string& name, std::string xml, int level) {
    TPackage p = TPackage::FromBytes(TWorkbook::CreateBlank()->SaveToBytes(), "blank");
    p.SetPart("xl/worksheets/sheet1.xml", std::move(xml));
    std::string file = tabrix::TempFolder() + "tbr_bench_read_" + name + "_" + std::to_string(::getpid()) + ".xlsx";
    p.SaveAs(file, level);
    return file;
}

std::string FullHeightXml() {
    std::string s = kHead;
    s.reserve(size_t(1048576) * 10 * 28);
    for (int r = 1; r <= 1048576; ++r) {
        const std::string row = std::to_string(r);
        s += "<row r=\"" + row + "\">";
        for (int c = 0; c < 10; ++c) {
            s += "<c r=\"";
            s += char('A' + c);
            s += row + "\"><v>" + std::to_string((r * 31 + c * 7) % 100000) + "</v></c>";
        }
        s += "</row>";
    }
    return s + kTail;
}

std::string TinyCellsXml() {
    const int columns = 17, rows = 17500000 / columns;
    std::string s = kHead;
    s.reserve(size_t(rows) * (columns * 15 + 11));
    for (int r = 0; r < rows; ++r) {
        s += "<row>";
        for (int c = 0; c < columns; ++c) s += "<c><v>1</v></c>";
        s += "</row>";
    }
    return s + kTail;
}

std::string WhitespaceXml() {
    std::string s = std::string(kHead) + "<row r=\"1\"><c><v>1</v></c></row>";
    s.append(size_t(1000) << 20, ' ');
    return s + "<row r=\"2\"><c><v>2</v></c></row>" + kTail;
}

// Bytes the sheet's cell store takes: rows, their cells as allocated, formulas.
double StoreBytes(const TWorksheet& sheet) {
    double bytes = double(sheet.LastRow()) * sizeof(tabrix::xl::TRow);
    for (int r = 1; r <= sheet.LastRow(); ++r)
        if (const tabrix::xl::TRow* row = sheet.Row(r))
            bytes += double(row->Cells.capacity()) * sizeof(tabrix::xl::TCell);
    return bytes;
}

void ReadCase(benchmark::State& state, const std::string& name, std::string (*xml)(), int level) {
    const std::string file = WriteBook(name, xml(), level);
    double store = 0, peak = 0;
    for (auto _ : state) {
        ResetPeak();
        const uint64_t before = StatusKiB("VmRSS");
        try {
            auto book = TWorkbook::Open(file, true);
            store = StoreBytes(book->Sheet(0));
            peak = double(StatusKiB("VmHWM") - before) * 1024;
        } catch (const tabrix::Exception& e) {
            state.SkipWithError(e.Message().c_str());
            break;
        }
    }
    state.counters["file_MiB"] = double(std::filesystem::file_size(file)) / kMiB;
    state.counters["store_MiB"] = store / kMiB;
    state.counters["peak_MiB"] = peak / kMiB;
    state.counters["peak_per_store"] = store > 0 ? peak / store : 0;
    tabrix::DeleteFileAt(file);
}

void BM_ReadFullHeightTenColumns(benchmark::State& state) { ReadCase(state, "full", FullHeightXml, 1); }
BENCHMARK(BM_ReadFullHeightTenColumns)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReadTinyCells(benchmark::State& state) { ReadCase(state, "tiny", TinyCellsXml, 1); }
BENCHMARK(BM_ReadTinyCells)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReadWhitespace(benchmark::State& state) { ReadCase(state, "blanks", WhitespaceXml, 0); }
BENCHMARK(BM_ReadWhitespace)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
