#pragma once
// A report-like component for the band tests: it publishes its band
// collection as "Bands" and its user fields as "Dictionary", like the report
// component does, and offers a current record whose fields CalcGroupExpr reads.

#include <map>
#include <string>

#include "bands/tabrix_band.h"
#include "dictionary/tabrix_dictionary.h"
#include "platform/classes/classes.h"

namespace tabrix::testing {

class TBandsOwner : public TComponent, public ITabrixBandsDataSource {
    TABRIX_CLASS(TBandsOwner)
public:
    explicit TBandsOwner(TComponent* owner = nullptr) : TComponent(owner), FBands(this), FDictionary(this) {}
    ~TBandsOwner() override;

    TTabrixBands* Bands() const { return const_cast<TTabrixBands*>(&FBands); }
    TTabrixDictionary* Dictionary() const { return const_cast<TTabrixDictionary*>(&FDictionary); }
    std::string Template;

    // The current record: field name -> text; no record means no data set.
    bool DataSetOpen = true;
    std::map<std::string, std::string> Record;
    bool HasDataSet() const override { return DataSetOpen; }
    AnsiString FieldAsString(const AnsiString& FieldName) override;

private:
    TTabrixBands FBands;
    TTabrixDictionary FDictionary;
};

void RegisterBandsOwner();

inline TTabrixGroupHeaderBand* Header(TTabrixBands& bands) {
    return static_cast<TTabrixGroupHeaderBand*>(bands.AddBand(tbxbtGroupHeader));
}
inline TTabrixGroupFooterBand* Footer(TTabrixBands& bands) {
    return static_cast<TTabrixGroupFooterBand*>(bands.AddBand(tbxbtGroupFooter));
}

}  // namespace tabrix::testing
