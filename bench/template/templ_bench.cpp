// The template parser on a template of 200 bands x 20 columns: the parse
// (every band read once through the automation face), then the values of
// 100,000 band outputs with totals, as the generation loop asks for them.
// Goals: parse under 50 ms, under 100 ns per cell value.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "automation/automation.h"
#include "platform/classes/application.h"
#include "platform/db/db.h"
#include "report/tabrix.h"
#include "template/templ_parser.h"

namespace {

using namespace tabrix;

constexpr int kGroups = 97;  // 2 x 97 group bands + title, summary, master, detail header/data/footer = 200
constexpr int kColumns = 20;
constexpr int kOutputs = 100000;

struct TBench {
    std::unique_ptr<TDataModule> Module = std::make_unique<TDataModule>();
    TTabrix* Report = new TTabrix(Module.get());
    TMemTable* Orders = new TMemTable(Module.get());
    TExcelApplication App = TExcelApplication::Create();
    std::optional<TExcelWorksheet> Sheet;
    TTabrixBand* Master = nullptr;
    TTabrixGroupHeaderBand* InnerGroup = nullptr;

    TBench() {
        RegisterDbClasses();
        Orders->SetName("Orders");
        std::string csv = "Qty,Price,Name,Code,Note\n";
        for (int i = 0; i < 1000; ++i)
            csv += std::to_string(i % 17) + "," + std::to_string(i) + ".25,Customer " + std::to_string(i) + ",C" +
                   std::to_string(i * 7) + ",note\n";
        Orders->LoadFromCsv(csv, "Orders");
        Orders->Open();
        Report->SetDataSet(Orders);
        TExcelWorkbook book = App.Workbooks().Add();
        Sheet = book.Worksheets().Item(1);
        TVariantArray2D cells(1, 2 * kGroups + 6, 1, kColumns);
        int row = 0;
        auto band = [&](TTabrixBand* b, bool totals) {
            ++row;
            b->SetRange("A" + std::to_string(row) + ":" + TabrixColumn(kColumns) + std::to_string(row));
            for (int c = 1; c <= kColumns; ++c) {
                std::u16string text;
                switch (c % 5) {
                    case 0:
                        text = totals ? u"#SUM(Qty)" : u"#Qty";
                        break;
                    case 1:
                        text = u"Label " + Utf8ToUnicode(std::to_string(c));
                        break;
                    case 2:
                        text = u"=A" + Utf8ToUnicode(std::to_string(row)) + u"*2";
                        break;
                    case 3:
                        text = totals ? u"#MAX(Price)" : u"#Name";
                        break;
                    default:
                        text = u"Price: #Price";
                        break;
                }
                cells(row, c) = Variant(UnicodeString(text));
            }
        };
        band(Report->Bands()->AddBand(tbxbtTitle), false);
        std::vector<TTabrixGroupHeaderBand*> headers;
        for (int g = 0; g < kGroups; ++g) {
            headers.push_back(static_cast<TTabrixGroupHeaderBand*>(Report->Bands()->AddBand(tbxbtGroupHeader)));
            band(headers.back(), false);
        }
        Master = Report->Bands()->AddBand(tbxbtMasterData);
        band(Master, false);
        band(Report->Bands()->AddBand(tbxbtDetailHeader), false);
        band(Report->Bands()->AddBand(tbxbtDetailData), false);
        band(Report->Bands()->AddBand(tbxbtDetailFooter), true);
        for (int g = kGroups - 1; g >= 0; --g) {
            auto* footer = static_cast<TTabrixGroupFooterBand*>(Report->Bands()->AddBand(tbxbtGroupFooter));
            headers[g]->SetFooter(footer);
            band(footer, true);
        }
        band(Report->Bands()->AddBand(tbxbtSummary), true);
        InnerGroup = headers.back();
        Sheet->Range("A1", TabrixColumn(kColumns) + std::to_string(row)).SetFormulaLocal(cells);
    }

    static std::string TabrixColumn(int c) { return std::string(1, static_cast<char>('A' + c - 1)); }

    std::unique_ptr<TTabrixTemplParser> Parse() {
        return std::make_unique<TTabrixTemplParser>(
            *Report, *Sheet,
            [this](const void* s, const AnsiString& f, Variant& v) { Report->GetUserFieldValue(s, f, v); });
    }
};

void BM_ParseTemplate(benchmark::State& state) {
    TBench bench;
    for (auto _ : state) benchmark::DoNotOptimize(bench.Parse());
    state.counters["bands"] = bench.Report->Bands()->GetCount();
}
BENCHMARK(BM_ParseTemplate)->Unit(benchmark::kMillisecond);

void BM_BandOutputs(benchmark::State& state) {
    TBench bench;
    std::unique_ptr<TTabrixTemplParser> parser = bench.Parse();
    TTabrixBand* footer = bench.InnerGroup->Footer();
    const int masterRow = bench.Master->GetRangeTop();
    const int footerRow = footer->GetRangeTop();
    int64_t cells = 0, outputs = 0;
    size_t chars = 0;
    for (auto _ : state) {
        int row = 1;
        bench.Orders->First();
        for (int i = 0; i < kOutputs; ++i) {
            if (row > 60000) row = 1;
            for (int c = 1; c <= kColumns; ++c)
                chars += parser->GetValue(bench.Master, nullptr, masterRow, c, row).size();
            parser->SetOutputRow(bench.Master, nullptr, row++);
            parser->Accumulate(xatMaster);
            bench.Orders->Next();
            if (bench.Orders->Eof()) bench.Orders->First();
            cells += kColumns;
            ++outputs;
            if (i % 50 == 49) {  // a group closes: its footer with totals
                for (int c = 1; c <= kColumns; ++c)
                    chars += parser->GetValue(footer, bench.InnerGroup, footerRow, c, row).size();
                parser->SetOutputRow(footer, bench.InnerGroup, row++);
                parser->ResetAccumulation(footer, bench.InnerGroup);
                cells += kColumns;
                ++outputs;
            }
        }
    }
    benchmark::DoNotOptimize(chars);
    state.counters["per_cell"] =
        benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["per_output"] =
        benchmark::Counter(static_cast<double>(outputs), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BandOutputs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
