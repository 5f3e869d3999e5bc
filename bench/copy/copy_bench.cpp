// The copy work of a 65,534-row report with two group levels (inner groups
// of 1 to 40 records, outer groups of 1 to 6 inner ones), title and
// summary, ten styled columns: every band placed through AddBand and every
// 4,000-row block given its formats by Output, on real sheets through the
// automation face. Reported: band outputs, copy calls (template copies and
// in-report copies) per inner group beside log2 of its records, and the
// time of the whole copy work beside libxlsxwriter writing the same cells.
//
//   build/bench/bench_copy_manager

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "automation/automation.h"
#include "bands/bands.h"
#include "cells/cell_address.h"
#include "copy/copy_manager.h"
#include "platform/rtl/files.h"
#include "platform/spreadsheet/styles.h"
#include "platform/spreadsheet/workbook.h"

namespace {

using namespace tabrix;

constexpr int kRows = 65534;
constexpr int kColumns = 10;
constexpr int kBlock = 4000;

// Template rows: 1 title, 2 outer header, 3 inner header, 4 master data,
// 5 inner footer, 6 outer footer, 7 summary.
struct TReportBands {
    TTabrixBands Bands{nullptr};
    TTabrixBand* Title;
    TTabrixBand* OuterHeader;
    TTabrixBand* InnerHeader;
    TTabrixBand* Master;
    TTabrixBand* InnerFooter;
    TTabrixBand* OuterFooter;
    TTabrixBand* Summary;

    TReportBands() {
        auto add = [&](TTabrixBandType type, int row) {
            TTabrixBand* band = Bands.AddBand(type);
            band->SetRange(TabrixGetRange(row, 1) + ":" + TabrixGetRange(row, kColumns));
            return band;
        };
        Title = add(tbxbtTitle, 1);
        OuterHeader = add(tbxbtGroupHeader, 2);
        InnerHeader = add(tbxbtGroupHeader, 3);
        Master = add(tbxbtMasterData, 4);
        InnerFooter = add(tbxbtGroupFooter, 5);
        OuterFooter = add(tbxbtGroupFooter, 6);
        Summary = add(tbxbtSummary, 7);
        static_cast<TTabrixGroupHeaderBand*>(OuterHeader)->SetFooter(static_cast<TTabrixGroupFooterBand*>(OuterFooter));
        static_cast<TTabrixGroupHeaderBand*>(InnerHeader)->SetFooter(static_cast<TTabrixGroupFooterBand*>(InnerFooter));
    }
};

struct TOutput {
    const TTabrixBand* Band;
    const TTabrixBand* Header;
};

struct TSequence {
    std::vector<TOutput> Outputs;
    int InnerGroups = 0;
    double Log2Sum = 0;  // sum of log2(records) over inner groups
};

// The bands in the order the generation loop places them, 65,534 rows.
TSequence MakeSequence(const TReportBands& b) {
    std::mt19937 rng(65534);
    TSequence s;
    int rows = 0;
    auto put = [&](const TTabrixBand* band, const TTabrixBand* header = nullptr) {
        s.Outputs.push_back({band, header});
        ++rows;
    };
    put(b.Title);
    // Room for the footers and the summary at the end.
    while (rows < kRows - 3) {
        put(b.OuterHeader);
        const int inner = 1 + static_cast<int>(rng() % 6);
        for (int g = 0; g < inner && rows < kRows - 3; ++g) {
            put(b.InnerHeader);
            const int records = std::min(1 + static_cast<int>(rng() % 40), kRows - 3 - rows);
            for (int r = 0; r < records; ++r) put(b.Master);
            put(b.InnerFooter, b.InnerHeader);
            ++s.InnerGroups;
            s.Log2Sum += std::log2(std::max(1, records));
        }
        put(b.OuterFooter, b.OuterHeader);
    }
    put(b.Summary);
    return s;
}

void StyleTemplate(TExcelWorksheet sheet) {
    xl::TWorksheet& model = sheet.Model();
    xl::TStyles& styles = sheet.Parent().Model().Styles();
    for (int row = 1; row <= 7; ++row) {
        for (int col = 1; col <= kColumns; ++col) {
            model.SetString(row, col, "#Field" + std::to_string(col));
            model.SetStyle(row, col, styles.WithNumberFormat(0, "0.0" + std::string(col % 4, '0')));
        }
        if (row != 4) model.SetRowHeight(row, 18);
    }
    model.AddMerge({1, 1, 1, kColumns});
}

double gCopySeconds = 0;
double gXlsxwriterSeconds = 0;
long gCopyCalls = 0;
long gBandOutputs = 0;
int gInnerGroups = 0;
double gLog2Sum = 0;

void BM_CopyManager(benchmark::State& state) {
    const TReportBands bands;
    const TSequence seq = MakeSequence(bands);
    for (auto _ : state) {
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook templ = app.Workbooks().Add();
        TExcelWorkbook report = app.Workbooks().Add();
        StyleTemplate(templ.Worksheets().Item(1));
        const auto start = std::chrono::steady_clock::now();
        TTabrixCopyManager manager(bands.Bands, templ.Worksheets().Item(1), report.Worksheets().Item(1));
        long calls = 0;
        int buffered = 0;
        for (const TOutput& o : seq.Outputs) {
            manager.AddBand(o.Band, o.Header);
            if (buffered == kBlock) {  // every band here has one row
                manager.Output();
                calls += static_cast<long>(manager.TemplateCopies().size() + manager.Actions().size());
                buffered = 0;
            }
            ++buffered;
        }
        manager.Output();
        calls += static_cast<long>(manager.TemplateCopies().size() + manager.Actions().size());
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(secs);
        gCopySeconds = gCopySeconds == 0 ? secs : std::min(gCopySeconds, secs);
        gCopyCalls = calls;
        if (report.Worksheets().Item(1).Model().LastRow() != static_cast<int>(seq.Outputs.size()))
            state.SkipWithError("report rows missing");
    }
    gBandOutputs = static_cast<long>(seq.Outputs.size());
    gInnerGroups = seq.InnerGroups;
    gLog2Sum = seq.Log2Sum;
    state.counters["band_outputs"] = double(gBandOutputs);
    state.counters["copy_calls"] = double(gCopyCalls);
}

// libxlsxwriter writing the same 65,534 x 10 cells with a format a column.
void BM_Libxlsxwriter(benchmark::State& state) {
    const std::string out = TempFolder() + "tbr_copy_bench_" + std::to_string(::getpid()) + ".xlsx";
    char text[32];
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lxw_workbook* wb = workbook_new(out.c_str());
        lxw_worksheet* ws = workbook_add_worksheet(wb, "Report");
        lxw_format* formats[kColumns];
        for (int c = 0; c < kColumns; ++c) {
            formats[c] = workbook_add_format(wb);
            format_set_num_format(formats[c], ("0.0" + std::string(c % 4, '0')).c_str());
        }
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) {
                if (c % 2) {
                    std::snprintf(text, sizeof text, "Value %d", r % 977);
                    worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), text, formats[c]);
                } else {
                    worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), r * 1.5 + c, formats[c]);
                }
            }
        if (workbook_close(wb) != LXW_NO_ERROR) state.SkipWithError("libxlsxwriter failed");
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(secs);
        gXlsxwriterSeconds = gXlsxwriterSeconds == 0 ? secs : std::min(gXlsxwriterSeconds, secs);
    }
    DeleteFileAt(out);
}

BENCHMARK(BM_CopyManager)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Libxlsxwriter)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gCopySeconds > 0 && gXlsxwriterSeconds > 0) {
        const double perGroup = double(gCopyCalls) / gInnerGroups;
        const double log2 = gLog2Sum / gInnerGroups;
        const double ratio = gCopySeconds / gXlsxwriterSeconds;
        std::printf(
            "%ld band outputs, %ld copy calls, %d inner groups: %.2f calls a group (mean log2 of records %.2f); "
            "copy work %.0f ms, libxlsxwriter %.0f ms, ratio %.3f (goal <= 0.15: %s)\n",
            gBandOutputs, gCopyCalls, gInnerGroups, perGroup, log2, gCopySeconds * 1000, gXlsxwriterSeconds * 1000,
            ratio, ratio <= 0.15 ? "met" : "missed");
    }
    return 0;
}
