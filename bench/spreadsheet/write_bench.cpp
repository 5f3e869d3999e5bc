// A report's worth of cells: 65,534 rows by 10 columns of mixed values and
// styles, written in blocks of 4,000 rows through the automation face as the
// report component does (formats copied from a styled template row, then
// the block's values typed in through FormulaLocal), and saved. libxlsxwriter
// writes the same cells with the same formats in the same run; the summary
// gives the ratio of the two times and the peak memory of our run.
//
//   build/bench/bench_spreadsheet_write
//   TABRIX_BENCH_KEEP=1 keeps both written files in the temporary folder.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "automation/automation.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/variant.h"
#include "platform/spreadsheet/cell_address.h"

namespace {

constexpr int kRows = 65534;
constexpr int kColumns = 10;
constexpr int kBlock = 4000;

const char* const kNames[] = {"North", "South", "East", "West", "Central", "Overseas"};

std::string Scratch(const std::string& name) {
    return tabrix::TempFolder() + "tbr_bench_" + std::to_string(::getpid()) + "_" + name;
}

struct TFormats {
    lxw_format* Header;
    lxw_format* Integer;
    lxw_format* Decimal;
    lxw_format* Text;
    lxw_format* Date;
    lxw_format* Formula;
    lxw_format* Plain;
    lxw_format* Count;
    lxw_format* Flag;
    lxw_format* Percent;
};

TFormats AddFormats(lxw_workbook* wb) {
    TFormats f{};
    f.Header = workbook_add_format(wb);
    format_set_bold(f.Header);
    format_set_bg_color(f.Header, 0xDDEBF7);
    f.Integer = workbook_add_format(wb);
    format_set_num_format(f.Integer, "0");
    format_set_border(f.Integer, LXW_BORDER_THIN);
    f.Decimal = workbook_add_format(wb);
    format_set_num_format(f.Decimal, "#,##0.00");
    f.Text = workbook_add_format(wb);
    format_set_italic(f.Text);
    f.Date = workbook_add_format(wb);
    format_set_num_format(f.Date, "dd/mm/yyyy");
    f.Formula = workbook_add_format(wb);
    format_set_num_format(f.Formula, "0.00");
    format_set_font_color(f.Formula, LXW_COLOR_BLUE);
    f.Plain = workbook_add_format(wb);
    f.Count = workbook_add_format(wb);
    format_set_align(f.Count, LXW_ALIGN_CENTER);
    f.Flag = workbook_add_format(wb);
    format_set_bg_color(f.Flag, LXW_COLOR_YELLOW);
    f.Percent = workbook_add_format(wb);
    format_set_num_format(f.Percent, "0.0%");
    return f;
}

lxw_format* FormatOf(const TFormats& f, int column) {
    lxw_format* const all[kColumns] = {f.Integer, f.Decimal, f.Text, f.Date,    f.Formula,
                                       f.Plain,   f.Count,   f.Flag, f.Percent, f.Header};
    return all[column];
}

// The template: one styled row whose formats every report row takes.
void WriteTemplate(const std::string& name) {
    lxw_workbook* wb = workbook_new(name.c_str());
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Report");
    const TFormats f = AddFormats(wb);
    for (int c = 0; c < kColumns; ++c) worksheet_write_blank(ws, 0, lxw_col_t(c), FormatOf(f, c));
    workbook_close(wb);
}

// Row r's values, the same for both writers: integer, decimal, text, date,
// formula, double, integer, Boolean, percentage, a repeated category.
double DecimalOf(int r) { return r * 1.25 + 0.5; }
int DayOf(int r) { return 1 + r % 28; }
int MonthOf(int r) { return 1 + r % 12; }

// Texts as the report's row buffer holds them: typed in the user's locale.
void FillBlock(tabrix::TVariantArray2D& buf, int firstRow, int rows, const tabrix::TFormatSettings& fs) {
    char text[64];
    const auto local = [&](std::string s) {
        std::replace(s.begin(), s.end(), '.', fs.DecimalSeparator);
        return s;
    };
    for (int i = 1; i <= rows; ++i) {
        const int r = firstRow + i - 1;
        tabrix::Variant* cell = buf.Row(i);
        cell[0] = tabrix::Variant(std::to_string(r));
        std::snprintf(text, sizeof text, "%.2f", DecimalOf(r));
        cell[1] = tabrix::Variant(local(text));
        cell[2] = tabrix::Variant(std::string("Customer ") + std::to_string(r % 977));
        cell[3] = tabrix::Variant(
            tabrix::FormatDateTime(fs.ShortDateFormat, tabrix::EncodeDate(2024, MonthOf(r), DayOf(r)), fs));
        cell[4] = tabrix::Variant("=B" + std::to_string(r) + "*2");
        cell[5] = tabrix::Variant(r / 7.0);
        cell[6] = tabrix::Variant(r % 1000);
        cell[7] = tabrix::Variant(std::string(r % 2 ? "TRUE" : "FALSE"));
        std::snprintf(text, sizeof text, "%d.5%%", r % 100);
        cell[8] = tabrix::Variant(local(text));
        cell[9] = tabrix::Variant(std::string(kNames[r % 6]));
    }
}

double gTabrixSeconds = 0;
double gXlsxwriterSeconds = 0;
long gPeakKiB = 0;

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void BM_TabrixFormulaLocal(benchmark::State& state) {
    using namespace tabrix;
    const std::string templ = Scratch("template.xlsx");
    const std::string out = Scratch("tabrix.xlsx");
    WriteTemplate(templ);
    // A German user: decimal commas, ';' lists, dd.mm.yyyy dates.
    const TFormatSettings fs = TFormatSettings::FromLocale("de_DE.UTF-8");
    TFormatSettingsScope scope(fs);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        double paused = 0;
        TExcelApplication app = TExcelApplication::Create();
        app.SetInteractive(false);
        TWorkbookOpenArgs args;
        args.ReadOnly = Variant(true);
        TExcelWorkbook source = app.Workbooks().Open(templ, args);
        TExcelWorkbook report = app.Workbooks().Add(templ);
        TExcelWorksheet from = source.Worksheets().Item(1);
        TExcelWorksheet sheet = report.Worksheets().Item(1);
        sheet.Activate();
        for (int first = 1; first <= kRows; first += kBlock) {
            const int rows = std::min(kBlock, kRows - first + 1);
            const auto a = [](int row, int col) { return xl::CellAddress(row, col); };
            // Formats: the template row, then the block doubled onto itself.
            from.Range("A1", "J1").Copy(sheet.Range(a(first, 1)));
            for (int filled = 1; filled < rows;) {
                const int n = std::min(filled, rows - filled);
                sheet.Range(a(first, 1), a(first + n - 1, kColumns)).Copy(sheet.Range(a(first + filled, 1)));
                filled += n;
            }
            const auto p0 = std::chrono::steady_clock::now();
            TVariantArray2D buf(1, rows, 1, kColumns);
            FillBlock(buf, first, rows, fs);
            paused += std::chrono::duration<double>(std::chrono::steady_clock::now() - p0).count();
            sheet.Range(a(first, 1), a(first + rows - 1, kColumns)).SetFormulaLocal(buf);
        }
        source.Close(Variant(false));
        report.Close(Variant(true), Variant(out));
        app.Quit();
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - paused;
        state.SetIterationTime(secs);
        gTabrixSeconds = gTabrixSeconds == 0 ? secs : std::min(gTabrixSeconds, secs);
    }
    gPeakKiB = PeakKiB();
    state.counters["cells"] = double(kRows) * kColumns;
    state.counters["file_KiB"] = double(std::filesystem::file_size(out)) / 1024;
    state.counters["peak_MiB"] = double(gPeakKiB) / 1024;
    DeleteFileAt(templ);
    if (!std::getenv("TABRIX_BENCH_KEEP")) DeleteFileAt(out);
}

void BM_Libxlsxwriter(benchmark::State& state) {
    const std::string out = Scratch("libxlsxwriter.xlsx");
    char text[64];
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lxw_workbook* wb = workbook_new(out.c_str());
        lxw_worksheet* ws = workbook_add_worksheet(wb, "Report");
        const TFormats f = AddFormats(wb);
        for (int r = 1; r <= kRows; ++r) {
            const lxw_row_t row = lxw_row_t(r - 1);
            worksheet_write_number(ws, row, 0, r, f.Integer);
            worksheet_write_number(ws, row, 1, DecimalOf(r), f.Decimal);
            std::snprintf(text, sizeof text, "Customer %d", r % 977);
            worksheet_write_string(ws, row, 2, text, f.Text);
            lxw_datetime d = {2024, MonthOf(r), DayOf(r), 0, 0, 0};
            worksheet_write_datetime(ws, row, 3, &d, f.Date);
            std::snprintf(text, sizeof text, "=B%d*2", r);
            worksheet_write_formula(ws, row, 4, text, f.Formula);
            worksheet_write_number(ws, row, 5, r / 7.0, f.Plain);
            worksheet_write_number(ws, row, 6, r % 1000, f.Count);
            worksheet_write_boolean(ws, row, 7, r % 2, f.Flag);
            worksheet_write_number(ws, row, 8, (r % 100 + 0.5) / 100, f.Percent);
            worksheet_write_string(ws, row, 9, kNames[r % 6], f.Header);
        }
        if (workbook_close(wb) != LXW_NO_ERROR) state.SkipWithError("libxlsxwriter failed");
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(secs);
        gXlsxwriterSeconds = gXlsxwriterSeconds == 0 ? secs : std::min(gXlsxwriterSeconds, secs);
    }
    state.counters["file_KiB"] = double(std::filesystem::file_size(out)) / 1024;
    if (!std::getenv("TABRIX_BENCH_KEEP")) tabrix::DeleteFileAt(out);
}

// Ours first, so that its peak memory is not libxlsxwriter's.
BENCHMARK(BM_TabrixFormulaLocal)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Libxlsxwriter)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gTabrixSeconds > 0 && gXlsxwriterSeconds > 0) {
        const double ratio = gTabrixSeconds / gXlsxwriterSeconds;
        std::printf(
            "65534 x 10 cells: tabrix %.0f ms, libxlsxwriter %.0f ms, ratio %.2f (goal <= 0.50: %s); "
            "peak memory %.1f MiB (goal < 150: %s)\n",
            gTabrixSeconds * 1000, gXlsxwriterSeconds * 1000, ratio, ratio <= 0.5 ? "met" : "missed",
            static_cast<double>(gPeakKiB) / 1024.0, gPeakKiB < 150 * 1024 ? "met" : "missed");
    }
    return 0;
}
