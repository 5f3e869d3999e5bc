// Form file reader: any input gives a form or an error, never a crash.
// Values that parse print back to text that parses to the same values.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "bands/tabrix_band.h"
#include "dictionary/tabrix_dictionary.h"
#include "platform/classes/classes.h"

namespace {

using namespace tabrix;

enum class TKind { kA, kB };
const TEnumInfo KindInfo("TKind", {"kA", "kB"});

class TFuzzLink : public TComponent {
    TABRIX_CLASS(TFuzzLink)
public:
    explicit TFuzzLink(TComponent* owner = nullptr) : TComponent(owner) {}
    TFuzzLink* Next() const { return FNext; }
    void SetNext(TFuzzLink* v) { FNext = v; }
    TStringList* Lines() const { return FLines.get(); }
    int64_t Count = 0;
    double Ratio = 0;
    bool Flag = false;
    TKind Kind = TKind::kA;
    uint32_t Options = 0;
    std::string Text;
    TEvent<void(TComponent*)> OnFire;

private:
    TFuzzLink* FNext = nullptr;
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
};

class TFuzzReport : public TComponent, public ITabrixBandsDataSource {
    TABRIX_CLASS(TFuzzReport)
public:
    explicit TFuzzReport(TComponent* owner = nullptr) : TComponent(owner), FBands(this), FDictionary(this) {}
    ~TFuzzReport() override { FBands.Clear(); }
    TTabrixBands* Bands() const { return const_cast<TTabrixBands*>(&FBands); }
    TTabrixDictionary* Dictionary() const { return const_cast<TTabrixDictionary*>(&FDictionary); }
    TFuzzLink* DataSet() const { return FDataSet; }
    void SetDataSet(TFuzzLink* v) { FDataSet = v; }
    bool HasDataSet() const override { return FDataSet != nullptr; }
    AnsiString FieldAsString(const AnsiString& name) override { return name; }

private:
    TTabrixBands FBands;
    TTabrixDictionary FDictionary;
    TFuzzLink* FDataSet = nullptr;
};

const TClassInfo& TFuzzLink::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TFuzzLink, TComponent>("TFuzzLink")
                                       .Component("Next", &TFuzzLink::Next, &TFuzzLink::SetNext)
                                       .Object("Lines", &TFuzzLink::Lines)
                                       .Integer("Count", &TFuzzLink::Count, &TFuzzLink::Count)
                                       .Range(INT64_MIN, INT64_MAX)
                                       .Float("Ratio", &TFuzzLink::Ratio, &TFuzzLink::Ratio)
                                       .Boolean("Flag", &TFuzzLink::Flag, &TFuzzLink::Flag)
                                       .Enumeration("Kind", &TFuzzLink::Kind, &TFuzzLink::Kind, KindInfo, TKind::kA)
                                       .Set("Options", &TFuzzLink::Options, &TFuzzLink::Options, KindInfo)
                                       .String("Text", &TFuzzLink::Text, &TFuzzLink::Text)
                                       .Event("OnFire", &TFuzzLink::OnFire)
                                       .Build();
    return info;
}

const TClassInfo& TFuzzReport::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TFuzzReport, TComponent>("TFuzzReport")
                                       .Component("DataSet", &TFuzzReport::DataSet, &TFuzzReport::SetDataSet)
                                       .Object("Bands", &TFuzzReport::Bands)
                                       .Object("Dictionary", &TFuzzReport::Dictionary)
                                       .Build();
    return info;
}

bool SameValues(const TFormValues& a, const TFormValues& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Type != b[i].Type || a[i].Int != b[i].Int || a[i].Text != b[i].Text || a[i].Name != b[i].Name ||
            a[i].Flags != b[i].Flags || !(a[i].Float == b[i].Float))
            return false;
    return true;
}

// Uses what was read the way a report would, so broken links show up here.
void Exercise(TComponent& root) {
    for (int i = 0; i < root.ComponentCount(); ++i) {
        auto* report = dynamic_cast<TFuzzReport*>(root.Components(i));
        if (!report) continue;
        TTabrixBands& bands = *report->Bands();
        for (int k = 0; k < bands.GetCount(); ++k) {
            TTabrixBand* b = bands.GetItem(k);
            (void)b->GetNamePath();
            try {
                (void)b->GetRangeTop();
                (void)b->GetRangeRight();
                if (auto* h = dynamic_cast<TTabrixGroupHeaderBand*>(b)) (void)h->CalcGroupExpr();
            } catch (const Exception&) {}
        }
        std::vector<TTabrixBand*> h, f;
        std::vector<int> hc, fc;
        AnsiString right, widest;
        try {
            bands.LoadBandsInfo(true, h, f, hc, fc, right, widest);
        } catch (const Exception&) {}
        while (bands.GetCount() > 0) bands.Delete(bands.GetCount() / 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = [] {
        RegisterClass(TFuzzLink::StaticClassInfo());
        RegisterClass(TFuzzReport::StaticClassInfo());
        Application().Methods().Bind<void(TComponent*)>("Fire", [](TComponent*) {});
        return true;
    }();
    (void)registered;
    std::string text(reinterpret_cast<const char*>(data), size);

    TFormValues values;
    try {
        values = ObjectTextToValues(text, "fuzz.tfm");
    } catch (const Exception&) {
        return 0;
    }
    std::string printed = ObjectValuesToText(values);
    TFormValues again = ObjectTextToValues(printed, "printed.tfm");
    if (!SameValues(values, again)) std::abort();

    try {
        std::unique_ptr<TComponent> root = ReadFormText(text, "fuzz.tfm");
        std::string written = WriteFormText(*root);
        try {
            (void)ReadFormText(written, "written.tfm");
        } catch (const Exception&) {
            // Names of bands may collide in what a person wrote; the reader says so.
        }
        Exercise(*root);
    } catch (const Exception&) {}
    return 0;
}
