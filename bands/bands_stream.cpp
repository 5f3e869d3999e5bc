// The streamed form of the band collection.
#include "bands/bands.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/classes/filer.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

bool TTabrixBands::HasDataAgainst(const TPersistent* Ancestor) const {
    auto* ancestor = dynamic_cast<const TTabrixBands*>(Ancestor);
    if (!ancestor) return GetCount() > 0;
    if (ancestor->GetCount() != GetCount()) return true;
    for (int i = 0; i < GetCount(); ++i)
        if (!GetItem(i)->IsEqual(*ancestor->GetItem(i))) return true;
    return false;
}

void TTabrixBands::DefineProperties(TFiler& Filer) {
    bool hasData = HasDataAgainst(Filer.Ancestor());
    Filer.DefineProperty(
        "BandCount", [this](TReader& r) { ReadBandCount(r); }, [this](TWriter& w) { WriteBandCount(w); }, hasData);
    Filer.DefineProperty(
        "GroupHeaderBandCount", [this](TReader& r) { ReadGroupHeaderBandCount(r); },
        [this](TWriter& w) { WriteGroupHeaderBandCount(w); }, hasData && GetBandCount(tbxbtGroupHeader) > 0);
    Filer.DefineProperty(
        "GroupFooterBandCount", [this](TReader& r) { ReadGroupFooterBandCount(r); },
        [this](TWriter& w) { WriteGroupFooterBandCount(w); }, hasData && GetBandCount(tbxbtGroupFooter) > 0);
    Filer.DefineProperty(
        "Items", [this](TReader& r) { ReadItems(r); }, [this](TWriter& w) { WriteItems(w); }, hasData);
}

void TTabrixBands::ReadBandCount(TReader& Reader) { FBandCount = Reader.ReadInteger32(); }
void TTabrixBands::ReadGroupHeaderBandCount(TReader& Reader) { FGroupHeaderBandCount = Reader.ReadInteger32(); }
void TTabrixBands::ReadGroupFooterBandCount(TReader& Reader) { FGroupFooterBandCount = Reader.ReadInteger32(); }
void TTabrixBands::WriteBandCount(TWriter& Writer) { Writer.WriteInteger(GetCount()); }
void TTabrixBands::WriteGroupHeaderBandCount(TWriter& Writer) { Writer.WriteInteger(GetBandCount(tbxbtGroupHeader)); }
void TTabrixBands::WriteGroupFooterBandCount(TWriter& Writer) { Writer.WriteInteger(GetBandCount(tbxbtGroupFooter)); }

void TTabrixBands::WriteItems(TWriter& Writer) {
    // Footers before headers, so that every FooterBand read back finds its footer.
    std::vector<TTabrixBand*> order;
    for (const auto& b : FList)
        if (b->BandType() != tbxbtGroupHeader && b->BandType() != tbxbtGroupFooter) order.push_back(b.get());
    for (const auto& b : FList)
        if (b->BandType() == tbxbtGroupFooter) order.push_back(b.get());
    for (const auto& b : FList)
        if (b->BandType() == tbxbtGroupHeader) order.push_back(b.get());

    TPersistent* ancestor = Writer.Ancestor();
    Writer.SetAncestor(nullptr);  // bands are written whole
    Writer.WriteValue(TValueType::vaCollection);
    for (TTabrixBand* band : order) {
        Writer.WriteListBegin();
        Writer.WriteProperties(*band);
        Writer.WriteListEnd();
    }
    Writer.WriteListEnd();
    Writer.SetAncestor(ancestor);
}

namespace {
bool IsGroupType(int type) { return type == tbxbtGroupHeader || type == tbxbtGroupFooter; }
}  // namespace

void TTabrixBands::ReadItems(TReader& Reader) {
    Clear();
    Reader.ExpectValue(TValueType::vaCollection);
    const int plainCount = FBandCount - FGroupHeaderBandCount - FGroupFooterBandCount;
    const AnsiString prefix = GetPropName() + ".";
    int i = 0;
    while (!Reader.EndOfList()) {
        if (Reader.NextValue() == TValueType::vaInt) Reader.ReadInteger();
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

        Reader.ReadListBegin();
        while (!Reader.EndOfList()) {
            AnsiString name = Reader.ReadStr();
            if (name.compare(0, prefix.size(), prefix) != 0)
                throw ETabrixError(Format(SErrorReadingBandsUnknownProp, {name}));
            AnsiString valueName = name.substr(prefix.size());
            if (const TPropInfo* prop = band->ClassInfo().FindProperty(valueName)) {
                Reader.ReadPropValue(*band, *prop);
            } else if (SameText(valueName, "BandType")) {
                int type = Reader.ReadInteger32();
                // A plain band cannot become a group band nor a group band
                // change its type: the classes would not match the types.
                if (type < 0 || type >= kTabrixBandTypeCount || IsGroupType(type) != (groupBand != nullptr) ||
                    (groupBand && type != band->BandType()))
                    throw ETabrixError(Format(SErrorReadingBandsWrongType, {type}));
                band->FBandType = static_cast<TTabrixBandType>(type);
            } else if (groupBand && SameText(valueName, "GroupID")) {
                groupBand->SetGroupID(Reader.ReadInteger32());
            } else {
                throw ETabrixError(Format(SErrorReadingBandsUnknownProp, {name}));
            }
        }
        Reader.ReadListEnd();
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
    Reader.ReadListEnd();
}

}  // namespace tabrix
