#include "report/tabrix.h"

#include "platform/db/field.h"
#include "platform/ui/msgbox.h"

namespace tabrix {

namespace {

const TEnumInfo& TabrixOptionInfo() {
    static const TEnumInfo info("TTabrixOption",
                                {"tbxoShowProgress", "tbxoTotalsAsFormula", "tbxoVisibleWhenError", "tbxoHourCursor"});
    return info;
}

}  // namespace

const TClassInfo& TTabrix::StaticClassInfo() {
    // One line per published property, in the order they are streamed.
    static const TClassInfo info =
        TClassBuilder<TTabrix, TComponent>("TTabrix")
            .Object("Bands", &TTabrix::Bands)
            .Component("DataSet", &TTabrix::DataSet, &TTabrix::SetDataSet)
            .Object("Dictionary", &TTabrix::Dictionary)
            .String("FieldSign", &TTabrix::FieldSignText, &TTabrix::SetFieldSignText)
            .Boolean("HasStoredTempl", &TTabrix::GetHasStoredTempl, &TTabrix::SetHasStoredTemplReadOnly)
            .NotStored()
            .Set("Options", &TTabrix::OptionsBits, &TTabrix::SetOptionsBits, TabrixOptionInfo(), TTabrixOptions::kAll)
            .Boolean("StoreInDFM", &TTabrix::StoreInDFM, &TTabrix::StoreInDFM, false)
            .Component("SubReport", &TTabrix::SubReport, &TTabrix::SetSubReport)
            .String("Template", &TTabrix::Template, &TTabrix::SetTemplate)
            .String("TemplSheet", &TTabrix::TemplSheet, &TTabrix::TemplSheet)
            .String("Title", &TTabrix::Title, &TTabrix::Title)
            .String("_Version", &TTabrix::_Version, &TTabrix::_Version)
            .Event("OnAfterBuild", &TTabrix::OnAfterBuild)
            .Event("OnBeforeBuild", &TTabrix::OnBeforeBuild)
            .Event("OnDataEof", &TTabrix::OnDataEof)
            .Event("OnDataFirst", &TTabrix::OnDataFirst)
            .Event("OnDataNext", &TTabrix::OnDataNext)
            .Event("OnDataPrior", &TTabrix::OnDataPrior)
            .Event("OnFormatCell", &TTabrix::OnFormatCell)
            .Event("OnGetFieldValue", &TTabrix::OnGetFieldValue)
            .Event("OnSetCellValue", &TTabrix::OnSetCellValue)
            .Event("OnGetReportFileName", &TTabrix::OnGetReportFileName)
            .Build();
    return info;
}

void RegisterTabrixClasses() { RegisterClass(TTabrix::StaticClassInfo()); }

TTabrix::TTabrix(TComponent* AOwner)
    : TComponent(AOwner),
      FBands(std::make_unique<TTabrixBands>(this)),
      FDictionary(std::make_unique<TTabrixDictionary>(this)) {
    _Version = kTabrixVersion;
}

TTabrix::~TTabrix() {
    // The stored bytes go with the strings; the bands first, while the
    // component they report to still exists.
    FreeStoredTemplate();
    FGroups.clear();
    FGroupFooters.clear();
    FBands->Clear();
    FBands.reset();
    FDictionary.reset();
    FDataSetCache.clear();
}

void TTabrix::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet) return;
    if (FDataSet) RemoveFreeNotification(FDataSet);
    FDataSet = Value;
    if (Value) FreeNotification(Value);
}

void TTabrix::SetSubReport(TTabrix* Value) {
    if (Value == FSubReport || Value == this) return;
    if (FSubReport) RemoveFreeNotification(FSubReport);
    FSubReport = Value;
    if (Value) FreeNotification(Value);
}

void TTabrix::SetFieldSignText(const AnsiString& Value) {
    // A one-character property: the form holds one character; an empty
    // value keeps the sign, as no field reference could be marked by it.
    if (!Value.empty()) FieldSign = Value[0];
}

void TTabrix::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove) return;
    if (AComponent == FDataSet) FDataSet = nullptr;
    if (AComponent == FDetailDataSet) FDetailDataSet = nullptr;
    std::erase_if(FDataSetCache, [&](const auto& entry) { return entry.second == AComponent; });
    if (AComponent == FSubReport) SetSubReport(nullptr);
}

void TTabrix::Assign(const TPersistent* Source) {
    const auto* src = dynamic_cast<const TTabrix*>(Source);
    if (!src) {
        TComponent::Assign(Source);
        return;
    }
    FBands->Assign(src->FBands.get());
    SetDataSet(src->FDataSet);
    FTemplate = src->FTemplate;
    TemplSheet = src->TemplSheet;
}

void TTabrix::RaiseError(const AnsiString& Msg) {
    if (HasState(csDesigning)) {
        ShowErrorBox(Msg);
        return;
    }
    throw ETabrixError(Msg);
}

AnsiString TTabrix::FieldAsString(const AnsiString& FieldName) { return FDataSet->FieldByName(FieldName)->AsString(); }

}  // namespace tabrix
