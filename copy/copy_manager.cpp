#include "copy/copy_manager.h"

#include <algorithm>

#include "cells/cell_address.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"

namespace tabrix {

namespace {

TTabrixCopyManager* GCurrentCopyManager = nullptr;

[[noreturn]] void RaiseInternalError(int number) {
    throw ETabrixCopyManagerError(Format(SCopyManagerInternalError, {number}));
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

void PutHex(char* out, uint16_t value) {
    for (int i = 3; i >= 0; --i, value >>= 4) out[i] = kHexDigits[value & 0xF];
}

uint16_t ReadHex(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            throw EConvertError(Format(SCopyManagerInternalError, {4}));
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

TTabrixCopyManager* TabrixCurrentCopyManager() { return GCurrentCopyManager; }

// --- copies on the sheets ----------------------------------------------

TTabrixSheetCopyTarget::TTabrixSheetCopyTarget(TExcelWorksheet templateSheet, TExcelWorksheet reportSheet,
                                               AnsiString widestColumns)
    : FTemplateSheet(std::move(templateSheet)),
      FReportSheet(std::move(reportSheet)),
      FWidestColumns(std::move(widestColumns)) {}

void TTabrixSheetCopyTarget::CopyFromTempl(const TTabrixBand& band, int row) {
    const AnsiString first = TabrixGetRangeFirst(band.Range());
    const AnsiString last = TabrixGetRangeLast(band.Range());
    const int top = TabrixGetRangeRow(first);
    const int bottom = TabrixGetRangeRow(last);
    const AnsiString dest = TabrixGetRange(row, 1);
    FTemplateSheet.Range(first, last).Copy(FReportSheet.Range(dest, dest));
    for (int i = 0; i <= bottom - top; ++i) {
        const AnsiString templateCell = TabrixGetRange(top + i, 1);
        const AnsiString reportCell = TabrixGetRange(row + i, 1);
        const TExcelRange reportRow = FReportSheet.Range(reportCell, reportCell);
        reportRow.Rows().AutoFit();
        const Variant height = FTemplateSheet.Range(templateCell, templateCell).RowHeight();
        if (height != reportRow.RowHeight()) reportRow.SetRowHeight(height.AsDouble());
    }
}

TExcelRange TTabrixSheetCopyTarget::ReportRows(int first, int last) const {
    return FReportSheet.Range("A" + std::to_string(first), "A" + std::to_string(last));
}

void TTabrixSheetCopyTarget::DoCopyAction(int dest, int src, int count) {
    const TExcelRange from =
        FReportSheet.Range("A" + std::to_string(src), FWidestColumns + std::to_string(src + count - 1));
    const AnsiString to = "A" + std::to_string(dest);
    from.Copy(FReportSheet.Range(to, to));
    CopyRowHeights(dest, src, count);
}

// A range copy leaves row heights alone, so the copied rows get those of
// their source rows here: a stretch of one height costs one comparison
// (and one write when it differs), a mixed stretch is halved.
void TTabrixSheetCopyTarget::CopyRowHeights(int dest, int src, int count) {
    const Variant height = ReportRows(src, src + count - 1).Rows().RowHeight();
    if (!height.IsNull()) {
        const TExcelRange target = ReportRows(dest, dest + count - 1).Rows();
        if (target.RowHeight() != height) target.SetRowHeight(height.AsDouble());
        return;
    }
    const int half = count / 2;
    CopyRowHeights(dest, src, half);
    CopyRowHeights(dest + half, src + half, count - half);
}

// --- the manager ---------------------------------------------------------

TTabrixCopyManager::TTabrixCopyManager(const TTabrixBands& bands, TExcelWorksheet templateSheet,
                                       TExcelWorksheet reportSheet)
    : FTarget(nullptr), FRoot(*this), FCurrent(&FRoot) {
    LoadLevels(bands);
    FOwnTarget =
        std::make_unique<TTabrixSheetCopyTarget>(std::move(templateSheet), std::move(reportSheet), FWidestColumns);
    FTarget = FOwnTarget.get();
    GCurrentCopyManager = this;
}

TTabrixCopyManager::TTabrixCopyManager(const TTabrixBands& bands, ITabrixCopyTarget& target)
    : FTarget(&target), FRoot(*this), FCurrent(&FRoot) {
    LoadLevels(bands);
    GCurrentCopyManager = this;
}

TTabrixCopyManager::~TTabrixCopyManager() {
    // No group outlives its manager: the current reference does not either.
    if (GCurrentCopyManager == this) GCurrentCopyManager = nullptr;
}

void TTabrixCopyManager::LoadLevels(const TTabrixBands& bands) {
    FRoot.FLevel = -1;
    FRoot.FStartRow = 1;
    AnsiString rightColumn;
    bands.LoadBandsInfo(false, FHeaders, FFooters, FHeaderRowCounts, FFooterRowCounts, rightColumn, FWidestColumns);
    if (LevelCount() == 0) RaiseInternalError(1);
    FRecordHeight = FHeaderRowCounts.back() + FFooterRowCounts.back();
}

bool TTabrixCopyManager::IsHeaderSide(const TTabrixBand& band) {
    switch (band.BandType()) {
        case tbxbtDetailFooter:
        case tbxbtGroupFooter:
        case tbxbtSummary:
            return false;
        default:
            return true;
    }
}

int TTabrixCopyManager::GetHierarchy(const TTabrixBand* band, const TTabrixBand* groupHeader) const {
    const TTabrixBand* key = groupHeader ? groupHeader : band;
    // A missing band would match a level without header or footer.
    if (key)
        for (int level = 0; level < LevelCount(); ++level)
            if (FHeaders[level] == key || FFooters[level] == key) return level;
    // A group header with a blank range is on no level, but its footer is:
    // the level that has the footer and no header band.
    if (groupHeader && band)
        for (int level = 0; level < LevelCount(); ++level)
            if (!FHeaders[level] && FFooters[level] == band) return level;
    RaiseInternalError(3);
}

TTabrixCopyGroup* TTabrixCopyManager::CreateCopyGroup() {
    TTabrixCopyGroup& group = FGroups.emplace_back(*this);
    group.FStartRow = static_cast<uint16_t>(FRow);
    return &group;
}

TTabrixCopyGroup* TTabrixCopyManager::CreateChildren(TTabrixCopyGroup* group, int level) {
    const int target = level == LevelCount() - 1 ? level - 1 : level;  // records are never groups
    TTabrixCopyGroup* parent = group;
    for (int v = group->FLevel + 1; v <= target; ++v) {
        ++parent->FChildCount;
        TTabrixCopyGroup* child = CreateCopyGroup();
        child->FLevel = v;
        child->FParent = parent;
        child->FPrev = parent->FLastChild;
        child->FHeaderIn = FGroupsCreated || !FHeaders[v];
        child->FFooterIn = false;
        if (parent->FLastChild)
            parent->FLastChild->FNext = child;
        else
            parent->FFirstChild = child;
        parent->FLastChild = child;
        parent = child;
    }
    FGroupsCreated = true;
    return parent;
}

void TTabrixCopyManager::AddBand(const TTabrixBand* band, const TTabrixBand* groupHeader) {
    if (!FBlockOpen) OpenBlock();
    const int level = GetHierarchy(band, groupHeader);
    const bool headerSide = IsHeaderSide(*band);
    // Rows are kept in 16 bits: a band that would end on the last row or
    // beyond is refused before the tree holds a row it cannot name.
    if (FRow + (headerSide ? FHeaderRowCounts[level] : FFooterRowCounts[level]) > kTabrixCopyMaxRow)
        throw ETabrixError(STooManyLines);
    const int recordLevel = LevelCount() - 1;
    if (level == recordLevel) {
        const bool blockStart = FCurrent->FLevel + 1 != level || (FCurrent == &FRoot && FRoot.FChildCount == 0);
        if (blockStart && !headerSide && FHeaders[level]) {
            // The footer part of a record whose header went with the
            // previous block: the tree only knows whole records, so this
            // piece gets its formats on its own.
            CopyFromTempl(band, FRow);
            FRow += FFooterRowCounts[level];
            if (FCurrent == &FRoot) FRoot.FStartRow = static_cast<uint16_t>(FRow);
            return;
        }
        if (FCurrent->FLevel + 1 != level) {
            FCurrent = CreateChildren(FCurrent, level - 1);
            FCurrent->FChildCount = 1;
        } else if (FHeaders[level] == band || !FHeaders[level]) {
            ++FCurrent->FChildCount;  // another band of the record adds nothing
        }
    } else if (FCurrent->FLevel < level) {
        const bool opened = FGroupsCreated;
        FCurrent = CreateChildren(FCurrent, level);
        // A footer-side band that opens its level (one without a header
        // band, or the first band of a block) also ends the group there,
        // as a footer reached from inside does (below).
        if (!headerSide) {
            FCurrent->FFooterIn = true;
            FCurrent = FCurrent->FParent;
        } else if (!opened) {
            FCurrent->FHeaderIn = true;
        }
    } else {
        while (FCurrent->FLevel != level - 1) {
            FCurrent->FFooterIn = true;
            FCurrent = FCurrent->FParent;
        }
        if (headerSide) FCurrent = CreateChildren(FCurrent, level);
    }
    FRow += headerSide ? FHeaderRowCounts[level] : FFooterRowCounts[level];
}

void TTabrixCopyManager::CopyFromTempl(const TTabrixBand* band, int row) {
    if (!band) return;
    FTemplateCopies.push_back({band, row});
    FTarget->CopyFromTempl(*band, row);
}

TTabrixCopyActionKey TTabrixCopyManager::CopyActionKey(uint16_t dest, uint16_t src, uint16_t count) {
    TTabrixCopyActionKey key;
    PutHex(key.data(), dest);
    PutHex(key.data() + 4, src);
    PutHex(key.data() + 8, count);
    return key;
}

TTabrixCopyAction TTabrixCopyManager::ParseCopyActionKey(std::string_view key) {
    if (key.size() != std::tuple_size_v<TTabrixCopyActionKey>)
        throw EConvertError(Format(SCopyManagerInternalError, {4}));
    return {ReadHex(key.substr(0, 4)), ReadHex(key.substr(4, 4)), ReadHex(key.substr(8, 4))};
}

void TTabrixCopyManager::AddCopyAction(uint16_t dest, uint16_t src, uint16_t count) {
    FActions.push_back(CopyActionKey(dest, src, count));
}

void TTabrixCopyManager::DoCopyAction(uint16_t dest, uint16_t src, uint16_t count) {
    FTarget->DoCopyAction(dest, src, count);
}

void TTabrixCopyManager::OpenBlock() {
    FTemplateCopies.clear();
    FActions.clear();
    FBlockOpen = true;
}

void TTabrixCopyManager::Output() {
    if (!FBlockOpen) OpenBlock();
    if (FRoot.FLastChild) {
        for (TTabrixCopyGroup* child = FRoot.GetFirstChild(); child; child = child->GetNext()) child->Output();
    } else if (FRoot.FHeaderIn || FRoot.FFooterIn || FRoot.FChildCount > 0) {
        FRoot.OutputDetail();  // the only level is the record level
    }
    std::sort(FActions.begin(), FActions.end());
    for (const TTabrixCopyActionKey& key : FActions) {
        const TTabrixCopyAction action = ParseCopyActionKey(std::string_view(key.data(), key.size()));
        DoCopyAction(action.Dest, action.Src, action.Count);
    }
    StartBlock();
}

void TTabrixCopyManager::StartBlock() {
    FBlockOpen = false;  // the plan stays readable until the next block begins
    FGroupsCreated = false;
    FCurrent = &FRoot;
    FRoot.FStartRow = static_cast<uint16_t>(FRow);
    FRoot.FLastChild = FRoot.FPrev = FRoot.FFirstChild = FRoot.FNext = nullptr;
    FRoot.FChildCount = FRoot.FForwOffset = FRoot.FDoneCount = 0;
    FRoot.FHeaderIn = FRoot.FFooterIn = FRoot.FHeaderDone = FRoot.FFooterDone = false;
    // The groups of a finished block are never visited again.
    FGroups.clear();
}

}  // namespace tabrix
