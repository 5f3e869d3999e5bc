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

TTabrixBands::TTabrixBands(TComponent* Owner) : FOwner(Owner) { DesignNotification(this, TOperation::opInsert); }

TTabrixBands::~TTabrixBands() {
    Clear();
    DesignNotification(this, TOperation::opRemove);
}

void TTabrixBands::DesignNotification(TPersistent* Object, TOperation Operation) const {
    if (!FOwner) return;
    if (IDesigner* designer = FOwner->FindRootDesigner()) designer->Notification(Object, Operation);
}

TTabrixBand* TTabrixBands::GetItem(int Index) const {
    if (Index < 0 || Index >= GetCount()) RaiseListIndexError(Index);
    return FList[static_cast<size_t>(Index)].get();
}

TTabrixBand* TTabrixBands::AddBand(TTabrixBandType BandType) {
    // The band constructors insert the band, and the list takes it over.
    switch (BandType) {
        case tbxbtGroupHeader:
            return new TTabrixGroupHeaderBand(this);
        case tbxbtGroupFooter:
            return new TTabrixGroupFooterBand(this);
        default:
            return new TTabrixBand(this, BandType);
    }
}

// Taken before unlinking: unlinking re-sorts the list.
std::vector<TTabrixGroupHeaderBand*> TTabrixBands::HeadersOf(const TTabrixBand* Footer) const {
    std::vector<TTabrixGroupHeaderBand*> result;
    for (const auto& b : FList)
        if (b->BandType() == tbxbtGroupHeader)
            if (auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(b.get()); header && header->Footer() == Footer)
                result.push_back(header);
    return result;
}

void TTabrixBands::InsertItem(TTabrixBand* Band) {
    auto pos =
        std::find_if(FList.begin(), FList.end(), [Band](const auto& b) { return b->FBandType > Band->FBandType; });
    FList.emplace(pos, Band);
    Band->FBands = this;
    Band->FID = FNextID++;
    DesignNotification(Band, TOperation::opInsert);
}

void TTabrixBands::RemoveItem(TTabrixBand* Band) {
    if (Band->FBandType == tbxbtGroupFooter) {
        for (TTabrixGroupHeaderBand* header : HeadersOf(Band)) header->SetFooter(nullptr);
    } else if (Band->FBandType == tbxbtGroupHeader) {
        if (auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(Band)) header->SetFooter(nullptr);
    }
    auto it = std::find_if(FList.begin(), FList.end(), [Band](const auto& b) { return b.get() == Band; });
    if (it != FList.end()) {
        (void)it->release();  // ownership goes back to whoever removes the band
        FList.erase(it);
    }
    Band->FBands = nullptr;
    DesignNotification(Band, TOperation::opRemove);
}

void TTabrixBands::MoveItem(int From, int To) {
    std::unique_ptr<TTabrixBand> band = std::move(FList[static_cast<size_t>(From)]);
    FList.erase(FList.begin() + From);
    FList.insert(FList.begin() + To, std::move(band));
}

void TTabrixBands::RearrangeItem(TTabrixBand* Band) {
    int p = Band->GetIndex();
    if (p < 0) return;
    for (int i = 0; i < p; ++i)
        if (Band->Compare(*GetItem(i)) < 0) {
            MoveItem(p, i);
            return;
        }
    for (int i = GetCount() - 1; i > p; --i)
        if (Band->Compare(*GetItem(i)) > 0) {
            MoveItem(p, i);
            return;
        }
}

void TTabrixBands::Deleting(TTabrixBand* Band) {
    if (Band->BandType() != tbxbtGroupFooter) return;
    for (TTabrixGroupHeaderBand* header : HeadersOf(Band)) header->SetFooter(nullptr);
}

void TTabrixBands::Delete(int Index) {
    TTabrixBand* band = GetItem(Index);
    Deleting(band);
    delete band;  // its destructor takes it out of the list
}

void TTabrixBands::Clear() {
    while (!FList.empty()) delete FList.back().get();
}

TTabrixBand* TTabrixBands::FindItemID(int ID) const {
    for (const auto& b : FList)
        if (b->ID() == ID) return b.get();
    return nullptr;
}

TTabrixBand* TTabrixBands::GetNotEmptyBand(TTabrixBandType BandType) const {
    for (const auto& b : FList)
        if (b->BandType() == BandType && !b->RangeIsBlank()) return b.get();
    return nullptr;
}

int TTabrixBands::GetBandCount(TTabrixBandType BandType) const {
    return static_cast<int>(
        std::count_if(FList.begin(), FList.end(), [BandType](const auto& b) { return b->BandType() == BandType; }));
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

ITabrixBandsDataSource* TTabrixBands::DataSource() const { return dynamic_cast<ITabrixBandsDataSource*>(FOwner); }

void TTabrixBands::RaiseError(const AnsiString& Message) const { TabrixRaiseError(FOwner, Message); }

void TTabrixBands::Assign(const TPersistent* Source) {
    auto* src = dynamic_cast<const TTabrixBands*>(Source);
    if (!src) {
        TPersistent::Assign(Source);
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

void TTabrixBands::LoadBandsInfo(bool IncludeEmptyHeaders, std::vector<TTabrixBand*>& Headers,
                                 std::vector<TTabrixBand*>& Footers, std::vector<int>& HeaderRowCounts,
                                 std::vector<int>& FooterRowCounts, AnsiString& RightColumn,
                                 AnsiString& WidestColumns) const {
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
        if (f && IncludeEmptyHeaders) h = header;
        addPair(h, f);
    }
    auto letters = [](int column) {
        AnsiString cell = TabrixGetRange(1, column);
        cell.pop_back();  // the row digit
        return cell;
    };
    RightColumn = letters(r);
    WidestColumns = letters(w);
    addPair(GetNotEmptyBand(tbxbtMasterData), nullptr);
    addPair(GetNotEmptyBand(tbxbtDetailHeader), GetNotEmptyBand(tbxbtDetailFooter));
    addPair(GetNotEmptyBand(tbxbtDetailData), nullptr);
}

}  // namespace tabrix
