// The streamed form of the band collection.
#include "bands/bands.h"
#include "cells/cell_address.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/classes/filer.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

bool TTabrixBands::HasDataAgainst(const TPersistent* ancestor) const {
    auto* bands = dynamic_cast<const TTabrixBands*>(ancestor);
    if (!bands) return GetCount() > 0;
    if (bands->GetCount() != GetCount()) return true;
    for (int i = 0; i < GetCount(); ++i)
        if (!GetItem(i)->IsEqual(*bands->GetItem(i))) return true;
    return false;
}

void TTabrixBands::DefineProperties(TFiler& filer) {
    bool hasData = HasDataAgainst(filer.Ancestor());
    filer.DefineProperty(
        "BandCount", [this](TReader& r) { ReadBandCount(r); }, [this](TWriter& w) { WriteBandCount(w); }, hasData);
    filer.DefineProperty(
        "GroupHeaderBandCount", [this](TReader& r) { ReadGroupHeaderBandCount(r); },
        [this](TWriter& w) { WriteGroupHeaderBandCount(w); }, hasData && GetBandCount(tbxbtGroupHeader) > 0);
    filer.DefineProperty(
        "GroupFooterBandCount", [this](TReader& r) { ReadGroupFooterBandCount(r); },
        [this](TWriter& w) { WriteGroupFooterBandCount(w); }, hasData && GetBandCount(tbxbtGroupFooter) > 0);
    filer.DefineProperty(
        "Items", [this](TReader& r) { ReadItems(r); }, [this](TWriter& w) { WriteItems(w); }, hasData);
}

void TTabrixBands::ReadBandCount(TReader& reader) { FBandCount = reader.ReadInteger32(); }
void TTabrixBands::ReadGroupHeaderBandCount(TReader& reader) { FGroupHeaderBandCount = reader.ReadInteger32(); }
void TTabrixBands::ReadGroupFooterBandCount(TReader& reader) { FGroupFooterBandCount = reader.ReadInteger32(); }
void TTabrixBands::WriteBandCount(TWriter& writer) { writer.WriteInteger(GetCount()); }
void TTabrixBands::WriteGroupHeaderBandCount(TWriter& writer) { writer.WriteInteger(GetBandCount(tbxbtGroupHeader)); }
void TTabrixBands::WriteGroupFooterBandCount(TWriter& writer) { writer.WriteInteger(GetBandCount(tbxbtGroupFooter)); }

void TTabrixBands::WriteItems(TWriter& writer) {
    // Footers before headers, so that every FooterBand read back finds its footer.
    std::vector<TTabrixBand*> order;
    for (const auto& b : FList)
        if (b->BandType() != tbxbtGroupHeader && b->BandType() != tbxbtGroupFooter) order.push_back(b.get());
    for (const auto& b : FList)
        if (b->BandType() == tbxbtGroupFooter) order.push_back(b.get());
    for (const auto& b : FList)
        if (b->BandType() == tbxbtGroupHeader) order.push_back(b.get());

    TPersistent* ancestor = writer.Ancestor();
    writer.SetAncestor(nullptr);  // bands are written whole
    writer.WriteValue(TValueType::vaCollection);
    for (TTabrixBand* band : order) {
        writer.WriteListBegin();
        writer.WriteProperties(*band);
        writer.WriteListEnd();
    }
    writer.WriteListEnd();
    writer.SetAncestor(ancestor);
}

namespace {
bool IsGroupType(int type) { return type == tbxbtGroupHeader || type == tbxbtGroupFooter; }
}  // namespace

void TTabrixBands::ReadItems(TReader& reader) {
    Clear();
    reader.ExpectValue(TValueType::vaCollection);
    const int plainCount = FBandCount - FGroupHeaderBandCount - FGroupFooterBandCount;
    if (FGroupHeaderBandCount < 0 || FGroupFooterBandCount < 0 || plainCount < 0)
        throw ETabrixError(
            Format(SErrorReadingBandsWrongCounts, {FBandCount, FGroupHeaderBandCount, FGroupFooterBandCount}));
    const AnsiString prefix = GetPropName() + ".";
    int i = 0;
    while (!reader.EndOfList()) {
        if (reader.NextValue() == TValueType::vaInt) reader.ReadInteger();
        TTabrixBand* band;
        if (i < plainCount)
            band = AddBand(tbxbtTitle);
        else if (i < plainCount + FGroupFooterBandCount)
            band = AddBand(tbxbtGroupFooter);
        else if (i < FBandCount)
            band = AddBand(tbxbtGroupHeader);
        else
            throw ETabrixError(SErrorReadingBandsTooMany);
        auto* groupBand = dynamic_cast<TTabrixGroupBand*>(band);

        reader.ReadListBegin();
        while (!reader.EndOfList()) {
            AnsiString name = reader.ReadStr();
            if (name.compare(0, prefix.size(), prefix) != 0)
                throw ETabrixError(Format(SErrorReadingBandsUnknownProp, {name}));
            AnsiString valueName = name.substr(prefix.size());
            if (const TPropInfo* prop = band->ClassInfo().FindProperty(valueName)) {
                reader.ReadPropValue(*band, *prop);
            } else if (SameText(valueName, "BandType")) {
                int type = reader.ReadInteger32();
                // A plain band cannot become a group band nor a group band
                // change its type: the classes would not match the types.
                if (type < 0 || type >= kTabrixBandTypeCount || IsGroupType(type) != (groupBand != nullptr) ||
                    (groupBand && type != band->BandType()))
                    throw ETabrixError(Format(SErrorReadingBandsWrongType, {type}));
                band->FBandType = static_cast<TTabrixBandType>(type);
            } else if (groupBand && SameText(valueName, "GroupID")) {
                groupBand->SetGroupID(reader.ReadInteger32());
            } else {
                throw ETabrixError(Format(SErrorReadingBandsUnknownProp, {name}));
            }
        }
        reader.ReadListEnd();
        // Its name is known once its type and group are read.
        if (AnsiString why = TabrixRangeFault(band->Range()); !why.empty())
            throw ETabrixError(Format(SErrorReadingBandsWrongRange, {band->GetDisplayName(), band->Range(), why}));
        if (!groupBand) {
            // A plain band goes after the bands of its type read before it,
            // so that bands of one type keep their written order.
            int from = band->GetIndex();
            int to = 0;
            for (int k = 0; k < GetCount(); ++k)
                if (k != from && GetItem(k)->BandType() <= band->BandType()) ++to;
            if (to != from) MoveItem(from, to);
        }
        RearrangeItem(band);
        ++i;
    }
    reader.ReadListEnd();
    if (i < FBandCount) throw ETabrixError(Format(SErrorReadingBandsTooFew, {FBandCount, i}));
}

}  // namespace tabrix
