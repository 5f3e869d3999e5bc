#include "tests/bands/report_stub.h"

#include "platform/rtl/format.h"

namespace tabrix::testing {

const TClassInfo& TBandsOwner::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TBandsOwner, TComponent>("TBandsOwner")
                                       .String("Template", &TBandsOwner::Template, &TBandsOwner::Template)
                                       .Object("Bands", &TBandsOwner::Bands)
                                       .Object("Dictionary", &TBandsOwner::Dictionary)
                                       .Build();
    return info;
}

TBandsOwner::~TBandsOwner() { FBands.Clear(); }

AnsiString TBandsOwner::FieldAsString(const AnsiString& FieldName) {
    auto it = Record.find(FieldName);
    if (it == Record.end()) throw EDatabaseError(Format("Orders: Field '%s' not found", {FieldName}));
    return it->second;
}

void RegisterBandsOwner() { RegisterClass(TBandsOwner::StaticClassInfo()); }

}  // namespace tabrix::testing
