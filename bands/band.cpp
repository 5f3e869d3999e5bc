#include "bands/band.h"

#include <utility>

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

TTabrixBand::TTabrixBand(TTabrixBands* bands, TTabrixBandType bandType) : FBandType(bandType) { SetBands(bands); }

TTabrixBand::~TTabrixBand() { TTabrixBand::SetBands(nullptr); }

void TTabrixBand::SetBands(TTabrixBands* value) {
    if (value == FBands) return;
    if (FBands) FBands->RemoveItem(this);
    if (value) value->InsertItem(this);
}

bool TTabrixBand::RangeIsBlank() const { return Trim(FRange).empty(); }

const TTabrixBand::TCorners& TTabrixBand::Corners() const {
    if (FCorners.Read && FCorners.Range == FRange) return FCorners;
    TCorners corners;
    corners.Range = FRange;
    if (!RangeIsBlank()) {
        // A malformed range raises here, each time it is asked for.
        const AnsiString first = TabrixGetRangeFirst(FRange), last = TabrixGetRangeLast(FRange);
        corners.Top = TabrixGetRangeRow(first);
        corners.Left = TabrixGetRangeColumn(first);
        corners.Bottom = TabrixGetRangeRow(last);
        corners.Right = TabrixGetRangeColumn(last);
    }
    corners.Read = true;
    FCorners = std::move(corners);
    return FCorners;
}

int TTabrixBand::GetRangeTop() const { return Corners().Top; }
int TTabrixBand::GetRangeLeft() const { return Corners().Left; }
int TTabrixBand::GetRangeBottom() const { return Corners().Bottom; }
int TTabrixBand::GetRangeRight() const { return Corners().Right; }

int TTabrixBand::GetIndex() const {
    if (!FBands) return -1;
    for (int i = 0; i < FBands->GetCount(); ++i)
        if (FBands->GetItem(i) == this) return i;
    return -1;
}

void TTabrixBand::CompareTypes(const TTabrixBand& other, int& result) const {
    if (FBandType > other.FBandType)
        result = 1;
    else if (FBandType < other.FBandType)
        result = -1;
    else
        result = 0;
}

int TTabrixBand::Compare(const TTabrixBand& other) const {
    int result;
    CompareTypes(other, result);
    return result;
}

bool TTabrixBand::IsEqual(const TTabrixBand& other) const {
    return FBandType == other.FBandType && FRange == other.FRange;
}

AnsiString TTabrixBand::GetDisplayName() const { return TabrixBandTypeName(FBandType); }

TPersistent* TTabrixBand::GetOwner() const { return FBands; }

std::string TTabrixBand::GetNamePath() const {
    if (FBands) return Format("%s.%s", {FBands->GetNamePath(), GetDisplayName()});
    return ClassName();
}

void TTabrixBand::ReadBandType(TReader& reader) { FBandType = static_cast<TTabrixBandType>(reader.ReadInteger32()); }
void TTabrixBand::WriteBandType(TWriter& writer) { writer.WriteInteger(FBandType); }

void TTabrixBand::DefineProperties(TFiler& filer) {
    filer.DefineProperty(
        "BandType", [this](TReader& r) { ReadBandType(r); }, [this](TWriter& w) { WriteBandType(w); }, true);
}

void TTabrixBand::Assign(const TPersistent* source) {
    if (auto* src = dynamic_cast<const TTabrixBand*>(source)) {
        FRange = src->FRange;
        return;
    }
    TPersistent::Assign(source);
}

// ---- TTabrixGroupBand

const TClassInfo& TTabrixGroupBand::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixGroupBand, TTabrixBand>("TTabrixGroupBand").Build();
    return info;
}

TTabrixGroupBand::TTabrixGroupBand(TTabrixBands* bands, TTabrixBandType bandType) : TTabrixBand(bands, bandType) {
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

int TTabrixGroupBand::Compare(const TTabrixBand& other) const {
    int result;
    CompareTypes(other, result);
    if (result != 0) return result;
    auto* same = dynamic_cast<const TTabrixGroupBand*>(&other);
    if (!same) return 0;
    if (same->FGroupID < FGroupID) return 1;
    if (same->FGroupID > FGroupID) return -1;
    return 0;
}

bool TTabrixGroupBand::IsEqual(const TTabrixBand& other) const {
    auto* same = dynamic_cast<const TTabrixGroupBand*>(&other);
    return same && TTabrixBand::IsEqual(other) && FGroupID == same->FGroupID;
}

AnsiString TTabrixGroupBand::GetDisplayName() const { return TTabrixBand::GetDisplayName() + IntToStr(FGroupID); }

void TTabrixGroupBand::ReadGroupID(TReader& reader) { FGroupID = reader.ReadInteger32(); }
void TTabrixGroupBand::WriteGroupID(TWriter& writer) { writer.WriteInteger(FGroupID); }

void TTabrixGroupBand::DefineProperties(TFiler& filer) {
    TTabrixBand::DefineProperties(filer);
    filer.DefineProperty(
        "GroupID", [this](TReader& r) { ReadGroupID(r); }, [this](TWriter& w) { WriteGroupID(w); }, true);
}

void TTabrixGroupBand::Assign(const TPersistent* source) {
    TTabrixBand::Assign(source);
    if (auto* src = dynamic_cast<const TTabrixGroupBand*>(source)) FGroupID = src->FGroupID;
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

TTabrixGroupHeaderBand::TTabrixGroupHeaderBand(TTabrixBands* bands) : TTabrixGroupBand(bands, tbxbtGroupHeader) {}

// Leaves the collection while still a header, so that its footer is unlinked.
TTabrixGroupHeaderBand::~TTabrixGroupHeaderBand() { TTabrixBand::SetBands(nullptr); }

void TTabrixGroupHeaderBand::SetFooter(TTabrixGroupFooterBand* value) {
    if (!Bands() || (value && value->Bands() != Bands())) {
        const TTabrixBands* reporter = Bands() ? Bands() : (value ? value->Bands() : nullptr);
        if (reporter) reporter->RaiseError(SFooterInOtherBands);
        return;
    }
    TTabrixGroupFooterBand* old = FFooter;
    FFooter = value;
    if (old) Bands()->RearrangeItem(old);
    if (value) Bands()->RearrangeItem(value);
}

AnsiString TTabrixGroupHeaderBand::GetFooterBand() const { return FFooter ? FooterName(*FFooter) : AnsiString(); }

void TTabrixGroupHeaderBand::SetFooterBand(const AnsiString& value) {
    AnsiString name = Trim(value);
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

bool TTabrixGroupHeaderBand::IsEqual(const TTabrixBand& other) const {
    auto* same = dynamic_cast<const TTabrixGroupHeaderBand*>(&other);
    if (!same || !TTabrixGroupBand::IsEqual(other)) return false;
    // The handler is compared by what identifies it in a form: its method name.
    bool sameHandler = static_cast<bool>(OnCalcExpression) == static_cast<bool>(same->OnCalcExpression) &&
                       OnCalcExpression.MethodName == same->OnCalcExpression.MethodName;
    return FFooter == same->FFooter && FFieldName == same->FFieldName && sameHandler;
}

void TTabrixGroupHeaderBand::Assign(const TPersistent* source) {
    TTabrixGroupBand::Assign(source);
    if (auto* src = dynamic_cast<const TTabrixGroupHeaderBand*>(source)) {
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

TTabrixGroupFooterBand::TTabrixGroupFooterBand(TTabrixBands* bands) : TTabrixGroupBand(bands, tbxbtGroupFooter) {}

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

int TTabrixGroupFooterBand::Compare(const TTabrixBand& other) const {
    if (&other == this) return 0;
    int result;
    CompareTypes(other, result);
    if (result != 0) return result;
    auto* same = dynamic_cast<const TTabrixGroupFooterBand*>(&other);
    if (!same) return 0;
    auto ownIds = [&] {
        if (same->GroupID() > GroupID()) return -1;
        if (same->GroupID() < GroupID()) return 1;
        return 0;
    };
    TTabrixGroupHeaderBand* hS = GetLastHeaderBand();
    TTabrixGroupHeaderBand* hO = same->GetLastHeaderBand();
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
