#include "report/tabrix.h"

#include "platform/db/field.h"

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

TTabrix::TTabrix(TComponent* owner)
    : TComponent(owner),
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

void TTabrix::SetDataSet(TDataSet* value) {
    if (value == FDataSet) return;
    if (FDataSet) RemoveFreeNotification(FDataSet);
    FDataSet = value;
    if (value) FreeNotification(value);
}

void TTabrix::SetSubReport(TTabrix* value) {
    if (value == FSubReport || value == this) return;
    if (FSubReport) RemoveFreeNotification(FSubReport);
    FSubReport = value;
    if (value) FreeNotification(value);
}

void TTabrix::SetFieldSignText(const AnsiString& value) {
    // A one-character property: the form holds one character; an empty
    // value keeps the sign, as no field reference could be marked by it.
    if (!value.empty()) FieldSign = value[0];
}

void TTabrix::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == FDataSet) FDataSet = nullptr;
    if (component == FDetailDataSet) FDetailDataSet = nullptr;
    std::erase_if(FDataSetCache, [&](const auto& entry) { return entry.second == component; });
    if (component == FSubReport) SetSubReport(nullptr);
}

void TTabrix::Assign(const TPersistent* source) {
    const auto* src = dynamic_cast<const TTabrix*>(source);
    if (!src) {
        TComponent::Assign(source);
        return;
    }
    FBands->Assign(src->FBands.get());
    SetDataSet(src->FDataSet);
    FTemplate = src->FTemplate;
    TemplSheet = src->TemplSheet;
}

void TTabrix::RaiseError(const AnsiString& msg) { TabrixRaiseError(this, msg); }

AnsiString TTabrix::FieldAsString(const AnsiString& fieldName) {
    // Group values are read for every record: each name is looked up once.
    for (auto& [name, ref] : FGroupFieldRefs)
        if (name == fieldName) return FDataSet->FieldByName(fieldName, ref)->AsString();
    TDataSet::TFieldRef& ref = FGroupFieldRefs.emplace_back(fieldName, TDataSet::TFieldRef{}).second;
    return FDataSet->FieldByName(fieldName, ref)->AsString();
}

}  // namespace tabrix
