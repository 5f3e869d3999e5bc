#include "bands/band.h"

#include "bands/bands.h"
#include "cells/cell_address.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/classes/filer.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/format.h"

namespace tabrix {

namespace {
const char* const kBandTypeNames[kTabrixBandTypeCount] = {"Title",      "GroupHeader",  "MasterData",  "DetailHeader",
                                                          "DetailData", "DetailFooter", "GroupFooter", "Summary"};

// A footer's display name without its header list.
AnsiString FooterName(const TTabrixBand& footer) {
    AnsiString name = footer.GetDisplayName();
    size_t cut = name.find(" - GH");
    return cut == AnsiString::npos ? name : name.substr(0, cut);
}
}  // namespace

const char* TabrixBandTypeName(TTabrixBandType type) {
    return static_cast<int>(type) < kTabrixBandTypeCount ? kBandTypeNames[type] : "";
}

const TEnumInfo& TabrixBandTypeInfo() {
    static const TEnumInfo info(
        "TTabrixBandType", {"tbxbtTitle", "tbxbtGroupHeader", "tbxbtMasterData", "tbxbtDetailHeader", "tbxbtDetailData",
                            "tbxbtDetailFooter", "tbxbtGroupFooter", "tbxbtSummary"});
    return info;
}

// ---- TTabrixBand

const TClassInfo& TTabrixBand::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixBand, TPersistent>("TTabrixBand")
                                       .String("Range", &TTabrixBand::Range, &TTabrixBand::SetRange)
                                       .Build();
    return info;
}

TTabrixBand::TTabrixBand(TTabrixBands* Bands, TTabrixBandType BandType) : FBandType(BandType) { SetBands(Bands); }

TTabrixBand::~TTabrixBand() { TTabrixBand::SetBands(nullptr); }

void TTabrixBand::SetBands(TTabrixBands* Value) {
    if (Value == FBands) return;
    if (FBands) FBands->RemoveItem(this);
    if (Value) Value->InsertItem(this);
}

bool TTabrixBand::RangeIsBlank() const { return Trim(FRange).empty(); }

int TTabrixBand::GetRangeTop() const { return RangeIsBlank() ? 0 : TabrixGetRangeRow(TabrixGetRangeFirst(FRange)); }
int TTabrixBand::GetRangeLeft() const { return RangeIsBlank() ? 0 : TabrixGetRangeColumn(TabrixGetRangeFirst(FRange)); }
int TTabrixBand::GetRangeBottom() const { return RangeIsBlank() ? 0 : TabrixGetRangeRow(TabrixGetRangeLast(FRange)); }
int TTabrixBand::GetRangeRight() const { return RangeIsBlank() ? 0 : TabrixGetRangeColumn(TabrixGetRangeLast(FRange)); }

int TTabrixBand::GetIndex() const {
    if (!FBands) return -1;
    for (int i = 0; i < FBands->GetCount(); ++i)
        if (FBands->GetItem(i) == this) return i;
    return -1;
}

void TTabrixBand::CompareTypes(const TTabrixBand& Other, int& Result) const {
    if (FBandType > Other.FBandType)
        Result = 1;
    else if (FBandType < Other.FBandType)
        Result = -1;
    else
        Result = 0;
}

int TTabrixBand::Compare(const TTabrixBand& Other) const {
    int result;
    CompareTypes(Other, result);
    return result;
}

bool TTabrixBand::IsEqual(const TTabrixBand& Other) const {
    return FBandType == Other.FBandType && FRange == Other.FRange;
}

AnsiString TTabrixBand::GetDisplayName() const { return TabrixBandTypeName(FBandType); }

TPersistent* TTabrixBand::GetOwner() const { return FBands; }

std::string TTabrixBand::GetNamePath() const {
    if (FBands) return Format("%s.%s", {FBands->GetNamePath(), GetDisplayName()});
    return ClassName();
}

void TTabrixBand::ReadBandType(TReader& Reader) { FBandType = static_cast<TTabrixBandType>(Reader.ReadInteger32()); }
void TTabrixBand::WriteBandType(TWriter& Writer) { Writer.WriteInteger(FBandType); }

void TTabrixBand::DefineProperties(TFiler& Filer) {
    Filer.DefineProperty(
        "BandType", [this](TReader& r) { ReadBandType(r); }, [this](TWriter& w) { WriteBandType(w); }, true);
}

void TTabrixBand::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TTabrixBand*>(Source)) {
        FRange = src->FRange;
        return;
    }
    TPersistent::Assign(Source);
}

// ---- TTabrixGroupBand

const TClassInfo& TTabrixGroupBand::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixGroupBand, TTabrixBand>("TTabrixGroupBand").Build();
    return info;
}

TTabrixGroupBand::TTabrixGroupBand(TTabrixBands* Bands, TTabrixBandType BandType) : TTabrixBand(Bands, BandType) {
    FGroupID = GetNextGroupId();
}

int TTabrixGroupBand::GetNextGroupId() const {
    int v = 0;
    if (!Bands()) return v;
    for (int i = 0; i < Bands()->GetCount(); ++i) {
        auto* band = dynamic_cast<const TTabrixGroupBand*>(Bands()->GetItem(i));
        if (band && band->BandType() == BandType() && band->FGroupID >= v) v = band->FGroupID + 1;
    }
    return v;
}

int TTabrixGroupBand::Compare(const TTabrixBand& Other) const {
    int result;
    CompareTypes(Other, result);
    if (result != 0) return result;
    auto* other = dynamic_cast<const TTabrixGroupBand*>(&Other);
    if (!other) return 0;
    if (other->FGroupID < FGroupID) return 1;
    if (other->FGroupID > FGroupID) return -1;
    return 0;
}

bool TTabrixGroupBand::IsEqual(const TTabrixBand& Other) const {
    auto* other = dynamic_cast<const TTabrixGroupBand*>(&Other);
    return other && TTabrixBand::IsEqual(Other) && FGroupID == other->FGroupID;
}

AnsiString TTabrixGroupBand::GetDisplayName() const { return TTabrixBand::GetDisplayName() + IntToStr(FGroupID); }

void TTabrixGroupBand::ReadGroupID(TReader& Reader) { FGroupID = Reader.ReadInteger32(); }
void TTabrixGroupBand::WriteGroupID(TWriter& Writer) { Writer.WriteInteger(FGroupID); }

void TTabrixGroupBand::DefineProperties(TFiler& Filer) {
    TTabrixBand::DefineProperties(Filer);
    Filer.DefineProperty(
        "GroupID", [this](TReader& r) { ReadGroupID(r); }, [this](TWriter& w) { WriteGroupID(w); }, true);
}

void TTabrixGroupBand::Assign(const TPersistent* Source) {
    TTabrixBand::Assign(Source);
    if (auto* src = dynamic_cast<const TTabrixGroupBand*>(Source)) FGroupID = src->FGroupID;
}

// ---- TTabrixGroupHeaderBand

const TClassInfo& TTabrixGroupHeaderBand::StaticClassInfo() {
    using H = TTabrixGroupHeaderBand;
    static const TClassInfo info =
        TClassBuilder<H, TTabrixGroupBand>("TTabrixGroupHeaderBand")
            .Boolean("CaseInsensitiveCompare", &H::CaseInsensitiveCompare, &H::SetCaseInsensitiveCompare, true)
            .String("FieldName", &H::FieldName, &H::SetFieldName)
            .String("FooterBand", &H::GetFooterBand, &H::SetFooterBand)
            .Event("OnCalcExpression", &H::OnCalcExpression)
            .Build();
    return info;
}

TTabrixGroupHeaderBand::TTabrixGroupHeaderBand(TTabrixBands* Bands) : TTabrixGroupBand(Bands, tbxbtGroupHeader) {}

// Leaves the collection while still a header, so that its footer is unlinked.
TTabrixGroupHeaderBand::~TTabrixGroupHeaderBand() { TTabrixBand::SetBands(nullptr); }

void TTabrixGroupHeaderBand::SetFooter(TTabrixGroupFooterBand* Value) {
    if (!Bands() || (Value && Value->Bands() != Bands())) {
        const TTabrixBands* reporter = Bands() ? Bands() : (Value ? Value->Bands() : nullptr);
        if (reporter) reporter->RaiseError(SFooterInOtherBands);
        return;
    }
    TTabrixGroupFooterBand* old = FFooter;
    FFooter = Value;
    if (old) Bands()->RearrangeItem(old);
    if (Value) Bands()->RearrangeItem(Value);
}

AnsiString TTabrixGroupHeaderBand::GetFooterBand() const { return FFooter ? FooterName(*FFooter) : AnsiString(); }

void TTabrixGroupHeaderBand::SetFooterBand(const AnsiString& Value) {
    AnsiString name = Trim(Value);
    if (name.empty()) {
        SetFooter(nullptr);
        return;
    }
    if (!Bands()) return;
    for (int i = 0; i < Bands()->GetCount(); ++i) {
        TTabrixBand* band = Bands()->GetItem(i);
        if (band->BandType() != tbxbtGroupFooter) continue;
        if (AnsiSameText(FooterName(*band), name)) {
            SetFooter(dynamic_cast<TTabrixGroupFooterBand*>(band));
            return;
        }
    }
    Bands()->RaiseError(SFooterInOtherBands);
}

AnsiString TTabrixGroupHeaderBand::CalcGroupExpr() {
    if (!Trim(FFieldName).empty()) {
        ITabrixBandsDataSource* source = Bands() ? Bands()->DataSource() : nullptr;
        // Without a data set the group value could never change: say so
        // rather than print the whole report as one group.
        if (!source || !source->HasDataSet())
            throw ETabrixError(Format(SGroupFieldWithoutDataSet, {GetDisplayName(), FFieldName}));
        return source->FieldAsString(FFieldName);
    }
    AnsiString result;
    if (OnCalcExpression) OnCalcExpression(this, result);
    return result;
}

bool TTabrixGroupHeaderBand::IsEqual(const TTabrixBand& Other) const {
    auto* other = dynamic_cast<const TTabrixGroupHeaderBand*>(&Other);
    if (!other || !TTabrixGroupBand::IsEqual(Other)) return false;
    // The handler is compared by what identifies it in a form: its method name.
    bool sameHandler = static_cast<bool>(OnCalcExpression) == static_cast<bool>(other->OnCalcExpression) &&
                       OnCalcExpression.MethodName == other->OnCalcExpression.MethodName;
    return FFooter == other->FFooter && FFieldName == other->FFieldName && sameHandler;
}

void TTabrixGroupHeaderBand::Assign(const TPersistent* Source) {
    TTabrixGroupBand::Assign(Source);
    if (auto* src = dynamic_cast<const TTabrixGroupHeaderBand*>(Source)) {
        FCaseInsensitiveCompare = src->FCaseInsensitiveCompare;
        FFieldName = src->FFieldName;
        OnCalcExpression = src->OnCalcExpression;
        if (src->Bands() == Bands() && src->FFooter) SetFooter(src->FFooter);
    }
}

// ---- TTabrixGroupFooterBand

const TClassInfo& TTabrixGroupFooterBand::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTabrixGroupFooterBand, TTabrixGroupBand>("TTabrixGroupFooterBand").Build();
    return info;
}

TTabrixGroupFooterBand::TTabrixGroupFooterBand(TTabrixBands* Bands) : TTabrixGroupBand(Bands, tbxbtGroupFooter) {}

// Leaves the collection while still a footer, so that its headers are unlinked.
TTabrixGroupFooterBand::~TTabrixGroupFooterBand() { TTabrixBand::SetBands(nullptr); }

TTabrixGroupHeaderBand* TTabrixGroupFooterBand::GetLastHeaderBand() const {
    TTabrixGroupHeaderBand* result = nullptr;
    if (!Bands()) return result;
    for (int i = 0; i < Bands()->GetCount(); ++i) {
        auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(Bands()->GetItem(i));
        if (header && header->Footer() == this) result = header;
    }
    return result;
}

int TTabrixGroupFooterBand::Compare(const TTabrixBand& Other) const {
    if (&Other == this) return 0;
    int result;
    CompareTypes(Other, result);
    if (result != 0) return result;
    auto* other = dynamic_cast<const TTabrixGroupFooterBand*>(&Other);
    if (!other) return 0;
    auto ownIds = [&] {
        if (other->GroupID() > GroupID()) return -1;
        if (other->GroupID() < GroupID()) return 1;
        return 0;
    };
    TTabrixGroupHeaderBand* hS = GetLastHeaderBand();
    TTabrixGroupHeaderBand* hO = other->GetLastHeaderBand();
    if (hS && hO) {
        if (hO->GroupID() < hS->GroupID()) return -1;
        if (hO->GroupID() > hS->GroupID()) return 1;
        return ownIds();
    }
    if (hO) return 1;
    if (hS) return -1;
    return ownIds();
}

AnsiString TTabrixGroupFooterBand::GetDisplayName() const {
    AnsiString name = TTabrixGroupBand::GetDisplayName();
    if (!Bands()) return name;
    AnsiString list;
    int contributions = 0;
    for (int i = 0; i < Bands()->GetCount(); ++i) {
        TTabrixBand* band = Bands()->GetItem(i);
        if (band->BandType() != tbxbtGroupHeader) continue;
        auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(band);
        if (!header || header->Footer() != this) continue;
        if (contributions++ > 0) list += ", ";
        AnsiString headerName = header->GetDisplayName();
        list += headerName.size() > 11 ? headerName.substr(11, 3) : AnsiString();
    }
    return contributions == 0 ? name : name + " - GH" + list;
}

}  // namespace tabrix
