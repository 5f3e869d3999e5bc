// Reading and writing a report definition whose form holds a stored
// template: a binary value of a few megabytes (hex in the text) beside
// a band list and an SQL text, as a real report module has.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bands/tabrix_band.h"
#include "platform/classes/classes.h"

namespace {

using namespace tabrix;

class TBenchReport : public TComponent {
    TABRIX_CLASS(TBenchReport)
public:
    explicit TBenchReport(TComponent* owner = nullptr) : TComponent(owner), FBands(this) {}
    ~TBenchReport() override { FBands.Clear(); }
    TTabrixBands* Bands() const { return const_cast<TTabrixBands*>(&FBands); }
    TStringList* SQL() const { return FSQL.get(); }
    std::string Template;
    void DefineProperties(TFiler& filer) override {
        filer.DefineBinaryProperty(
            "XLTemplate", [this](const std::string& b) { Template = b; }, [this] { return Template; },
            !Template.empty());
    }

private:
    TTabrixBands FBands;
    std::unique_ptr<TStringList> FSQL = std::make_unique<TStringList>();
};

const TClassInfo& TBenchReport::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TBenchReport, TComponent>("TBenchReport")
                                       .Object("Bands", &TBenchReport::Bands)
                                       .Object("SQL", &TBenchReport::SQL)
                                       .Build();
    return info;
}

std::unique_ptr<TDataModule> MakeModule(size_t templateBytes) {
    RegisterClass(TBenchReport::StaticClassInfo());
    auto dm = std::make_unique<TDataModule>();
    dm->SetName("BenchModule");
    auto* r = new TBenchReport(dm.get());
    r->SetName("Report");
    std::string bytes(templateBytes, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    r->Template = std::move(bytes);
    for (int i = 0; i < 200; ++i) r->SQL()->Add("select a, b, c from orders where id = " + std::to_string(i));
    TTabrixBands& b = *r->Bands();
    b.AddBand(tbxbtTitle)->SetRange("A1:H2");
    for (int g = 0; g < 5; ++g) {
        auto* h = static_cast<TTabrixGroupHeaderBand*>(b.AddBand(tbxbtGroupHeader));
        auto* f = static_cast<TTabrixGroupFooterBand*>(b.AddBand(tbxbtGroupFooter));
        h->SetRange("A3:H3");
        f->SetRange("A9:H9");
        h->SetFooter(f);
    }
    b.AddBand(tbxbtMasterData)->SetRange("A4:H4");
    b.AddBand(tbxbtSummary)->SetRange("A10:H10");
    return dm;
}

void BM_WriteForm(benchmark::State& state) {
    auto dm = MakeModule(static_cast<size_t>(state.range(0)));
    size_t written = 0;
    for (auto _ : state) {
        std::string text = WriteFormText(*dm);
        written = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}
BENCHMARK(BM_WriteForm)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

void BM_ReadForm(benchmark::State& state) {
    std::string text = WriteFormText(*MakeModule(static_cast<size_t>(state.range(0))));
    for (auto _ : state) {
        std::unique_ptr<TComponent> dm = ReadFormText(text, "bench.tfm");
        benchmark::DoNotOptimize(dm.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadForm)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
