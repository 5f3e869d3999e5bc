#include "bands/bands.h"

#include <algorithm>

#include "cells/cell_address.h"
#include "cells/tabrix_error.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"

namespace tabrix {

const TClassInfo& TTabrixBands::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixBands, TPersistent>("TTabrixBands").Build();
    return info;
}

TTabrixBands::TTabrixBands(TComponent* owner) : FOwner(owner) { DesignNotification(this, TOperation::opInsert); }

TTabrixBands::~TTabrixBands() {
    Clear();
    DesignNotification(this, TOperation::opRemove);
}

void TTabrixBands::DesignNotification(TPersistent* object, TOperation operation) const {
    if (!FOwner) return;
    if (IDesigner* designer = FOwner->FindRootDesigner()) designer->Notification(object, operation);
}

TTabrixBand* TTabrixBands::GetItem(int index) const {
    if (index < 0 || index >= GetCount()) RaiseListIndexError(index);
    return FList[static_cast<size_t>(index)].get();
}

TTabrixBand* TTabrixBands::AddBand(TTabrixBandType bandType) {
    // The band constructors insert the band, and the list takes it over.
    switch (bandType) {
        case tbxbtGroupHeader:
            return new TTabrixGroupHeaderBand(this);
        case tbxbtGroupFooter:
            return new TTabrixGroupFooterBand(this);
        default:
            return new TTabrixBand(this, bandType);
    }
}

// Taken before unlinking: unlinking re-sorts the list.
std::vector<TTabrixGroupHeaderBand*> TTabrixBands::HeadersOf(const TTabrixBand* footer) const {
    std::vector<TTabrixGroupHeaderBand*> result;
    for (const auto& b : FList)
        if (b->BandType() == tbxbtGroupHeader)
            if (auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(b.get()); header && header->Footer() == footer)
                result.push_back(header);
    return result;
}

void TTabrixBands::InsertItem(TTabrixBand* band) {
    auto pos =
        std::find_if(FList.begin(), FList.end(), [band](const auto& b) { return b->FBandType > band->FBandType; });
    FList.emplace(pos, band);
    band->FBands = this;
    band->FID = FNextID++;
    DesignNotification(band, TOperation::opInsert);
}

void TTabrixBands::RemoveItem(TTabrixBand* band) {
    if (band->FBandType == tbxbtGroupFooter) {
        for (TTabrixGroupHeaderBand* header : HeadersOf(band)) header->SetFooter(nullptr);
    } else if (band->FBandType == tbxbtGroupHeader) {
        if (auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(band)) header->SetFooter(nullptr);
    }
    auto it = std::find_if(FList.begin(), FList.end(), [band](const auto& b) { return b.get() == band; });
    if (it != FList.end()) {
        (void)it->release();  // ownership goes back to whoever removes the band
        FList.erase(it);
    }
    band->FBands = nullptr;
    DesignNotification(band, TOperation::opRemove);
}

void TTabrixBands::MoveItem(int from, int to) {
    std::unique_ptr<TTabrixBand> band = std::move(FList[static_cast<size_t>(from)]);
    FList.erase(FList.begin() + from);
    FList.insert(FList.begin() + to, std::move(band));
}

void TTabrixBands::RearrangeItem(TTabrixBand* band) {
    int p = band->GetIndex();
    if (p < 0) return;
    for (int i = 0; i < p; ++i)
        if (band->Compare(*GetItem(i)) < 0) {
            MoveItem(p, i);
            return;
        }
    for (int i = GetCount() - 1; i > p; --i)
        if (band->Compare(*GetItem(i)) > 0) {
            MoveItem(p, i);
            return;
        }
}

void TTabrixBands::Deleting(TTabrixBand* band) {
    if (band->BandType() != tbxbtGroupFooter) return;
    for (TTabrixGroupHeaderBand* header : HeadersOf(band)) header->SetFooter(nullptr);
}

void TTabrixBands::Delete(int index) {
    TTabrixBand* band = GetItem(index);
    Deleting(band);
    delete band;  // its destructor takes it out of the list
}

void TTabrixBands::Clear() {
    while (!FList.empty()) delete FList.back().get();
}

TTabrixBand* TTabrixBands::FindItemID(int id) const {
    for (const auto& b : FList)
        if (b->ID() == id) return b.get();
    return nullptr;
}

TTabrixBand* TTabrixBands::GetNotEmptyBand(TTabrixBandType bandType) const {
    for (const auto& b : FList)
        if (b->BandType() == bandType && !b->RangeIsBlank()) return b.get();
    return nullptr;
}

int TTabrixBands::GetBandCount(TTabrixBandType bandType) const {
    return static_cast<int>(
        std::count_if(FList.begin(), FList.end(), [bandType](const auto& b) { return b->BandType() == bandType; }));
}

AnsiString TTabrixBands::GetPropName() const {
    if (FPropName.empty() && FOwner) FPropName = FindPropNameOfValue(*FOwner, this);
    return FPropName;
}

std::string TTabrixBands::GetNamePath() const {
    if (FOwner) {
        std::string ownerPath = FOwner->GetNamePath();
        AnsiString prop = GetPropName();
        if (!ownerPath.empty() && !prop.empty()) return ownerPath + "." + prop;
    }
    return ClassName();
}

ITabrixBandsDataSource* TTabrixBands::DataSource() const {
    // Not cached while null: an owner still being made is not yet its final type.
    if (!FDataSource) FDataSource = dynamic_cast<ITabrixBandsDataSource*>(FOwner);
    return FDataSource;
}

void TTabrixBands::RaiseError(const AnsiString& message) const { TabrixRaiseError(FOwner, message); }

void TTabrixBands::Assign(const TPersistent* source) {
    auto* src = dynamic_cast<const TTabrixBands*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this) return;
    Clear();
    for (const auto& b : src->FList) AddBand(b->BandType())->Assign(b.get());
    // Links once every footer exists; both lists are in the same order.
    std::vector<TTabrixBand*> mine;
    for (const auto& b : FList) mine.push_back(b.get());
    for (size_t i = 0; i < src->FList.size(); ++i) {
        auto* header = dynamic_cast<const TTabrixGroupHeaderBand*>(src->FList[i].get());
        if (!header || !header->Footer()) continue;
        int footerIndex = header->Footer()->GetIndex();
        auto* myHeader = dynamic_cast<TTabrixGroupHeaderBand*>(mine[i]);
        auto* myFooter = dynamic_cast<TTabrixGroupFooterBand*>(mine[static_cast<size_t>(footerIndex)]);
        if (myHeader && myFooter) myHeader->SetFooter(myFooter);
    }
}

void TTabrixBands::LoadBandsInfo(bool includeEmptyHeaders, std::vector<TTabrixBand*>& Headers,
                                 std::vector<TTabrixBand*>& Footers, std::vector<int>& HeaderRowCounts,
                                 std::vector<int>& FooterRowCounts, AnsiString& rightColumn,
                                 AnsiString& widestColumns) const {
    Headers.clear();
    Footers.clear();
    HeaderRowCounts.clear();
    FooterRowCounts.clear();
    // A blank range has no rows (an empty header kept for its footer).
    auto rowCount = [](const TTabrixBand* b) {
        if (!b || b->RangeIsBlank()) return 0;
        return TabrixGetRangeRow(TabrixGetRangeLast(b->Range())) - TabrixGetRangeRow(TabrixGetRangeFirst(b->Range())) +
               1;
    };
    auto addPair = [&](TTabrixBand* h, TTabrixBand* f) {
        if (!h && !f) return;
        Headers.push_back(h);
        HeaderRowCounts.push_back(rowCount(h));
        Footers.push_back(f);
        FooterRowCounts.push_back(rowCount(f));
    };

    addPair(GetNotEmptyBand(tbxbtTitle), GetNotEmptyBand(tbxbtSummary));
    int r = 1, w = 1;
    for (const auto& b : FList) {
        if (!b->RangeIsBlank()) {
            int right = TabrixGetRangeColumn(TabrixGetRangeLast(b->Range()));
            int left = TabrixGetRangeColumn(TabrixGetRangeFirst(b->Range()));
            r = std::max(r, right);
            w = std::max(w, right - left + 1);
        }
        if (b->BandType() != tbxbtGroupHeader) continue;
        auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(b.get());
        if (!header) continue;
        TTabrixBand* h = header->RangeIsBlank() ? nullptr : header;
        TTabrixBand* f = header->Footer() && !header->Footer()->RangeIsBlank() ? header->Footer() : nullptr;
        if (f && includeEmptyHeaders) h = header;
        addPair(h, f);
    }
    auto letters = [](int column) {
        AnsiString cell = TabrixGetRange(1, column);
        cell.pop_back();  // the row digit
        return cell;
    };
    rightColumn = letters(r);
    widestColumns = letters(w);
    addPair(GetNotEmptyBand(tbxbtMasterData), nullptr);
    addPair(GetNotEmptyBand(tbxbtDetailHeader), GetNotEmptyBand(tbxbtDetailFooter));
    addPair(GetNotEmptyBand(tbxbtDetailData), nullptr);
}

}  // namespace tabrix
