#include "template/templ_parser.h"

#include <algorithm>

#include "bands/bands.h"
#include "cells/cell_address.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/db/dataset.h"
#include "platform/rtl/format.h"

namespace tabrix {

TTabrixTemplParser::TTabrixTemplParser(ITabrixTemplOwner& owner, const TExcelWorksheet& sheet,
                                       TTabrixGetValueCallback onGetValue)
    : FHolder(owner), FSheet(sheet), FOnGetValue(std::move(onGetValue)) {
    // The ranges are checked before anything reads them, so that a bad one is
    // reported as the band's range error with the spreadsheet's message.
    const TTabrixBands& bands = owner.TemplBands();
    for (int i = 0; i < bands.GetCount(); ++i)
        if (!bands.GetItem(i)->RangeIsBlank()) TTabrixBandInfo::CheckedRange(FSheet, *bands.GetItem(i));
    std::vector<TTabrixBand*> headers, footers;
    std::vector<int> headerRows, footerRows;
    AnsiString rightColumn, widestColumns;
    bands.LoadBandsInfo(true, headers, footers, headerRows, footerRows, rightColumn, widestColumns);

    // The scratch cell lies right of every band, so no band reads it.
    AddFuncNames(TabrixGetRange(1, TabrixGetRangeColumn(rightColumn + "1") + 1));

    for (int i = static_cast<int>(headers.size()) - 1; i >= 0; --i) {
        TTabrixBand* header = headers[i];
        if (header && !header->RangeIsBlank())
            FBandInfos.push_back(std::make_unique<TTabrixBandInfo>(this, FSheet, header, nullptr, i));
        if (TTabrixBand* footer = footers[i]) {
            TTabrixBand* footerHeader = footer->BandType() == tbxbtGroupFooter ? header : nullptr;
            FBandInfos.push_back(std::make_unique<TTabrixBandInfo>(this, FSheet, footer, footerHeader, i));
        }
    }
}

TTabrixTemplParser::~TTabrixTemplParser() = default;

TTabrixBandInfo& TTabrixTemplParser::GetBandInfos(int index) const {
    if (index < 0 || index >= GetBandCount()) RaiseListIndexError(index);
    return *FBandInfos[index];
}

int TTabrixTemplParser::GetMaxColumn() const {
    int result = 0;
    for (const auto& info : FBandInfos) result = std::max(result, info->ColCount());
    return result;
}

TTabrixBandInfo& TTabrixTemplParser::FindBandInfo(const TTabrixBand* band, const TTabrixBand* headerBand) {
    if (FLastFound && FLastFound->Band() == band && FLastFound->HeaderBand() == headerBand) return *FLastFound;
    for (const auto& info : FBandInfos)
        if (info->Band() == band && info->HeaderBand() == headerBand) {
            FLastFound = info.get();
            return *info;
        }
    throw ETabrixTemplParserError(Format(SBandNotFound, {band ? band->GetDisplayName() : AnsiString()}));
}

UnicodeString TTabrixTemplParser::GetValue(const TTabrixBand* band, const TTabrixBand* headerBand, int row, int col,
                                           int outRow) {
    return FindBandInfo(band, headerBand).GetValue(row, col, outRow);
}

void TTabrixTemplParser::SetOutputRow(const TTabrixBand* band, const TTabrixBand* headerBand, int outRow) {
    FindBandInfo(band, headerBand).SetRowInterval(outRow);
}

void TTabrixTemplParser::ResetAccumulation(const TTabrixBand* band, const TTabrixBand* headerBand) {
    FindBandInfo(band, headerBand).ResetAccumulation();
}

void TTabrixTemplParser::Accumulate(TTabrixAccType accType) {
    for (const auto& info : FBandInfos) info->Accumulate(accType);
}

namespace {

// Clears the scratch cell when learning the names ends, also by an error.
class TScratchCell {
public:
    explicit TScratchCell(TExcelRange cell) : FCell(std::move(cell)) { FCell.Clear(); }
    ~TScratchCell() {
        try {
            FCell.Clear();
        } catch (...) {  // the error that ended the learning is the one to report
        }
    }
    TScratchCell(const TScratchCell&) = delete;
    TScratchCell& operator=(const TScratchCell&) = delete;
    const TExcelRange& Cell() const { return FCell; }

private:
    TExcelRange FCell;
};

constexpr TTabrixFieldFunc kFormulaFuncs[] = {TTabrixFieldFunc::ffSum, TTabrixFieldFunc::ffAvg, TTabrixFieldFunc::ffMax,
                                              TTabrixFieldFunc::ffMin, TTabrixFieldFunc::ffCnt};

}  // namespace

void TTabrixTemplParser::AddFuncNames(const AnsiString& cell) {
    TScratchCell scratch(FSheet.Range(cell, cell));
    for (TTabrixFieldFunc func : kFormulaFuncs) {
        const AnsiString english = TabrixEnglishFuncName(func);
        scratch.Cell().SetFormula(Variant("=" + english + "(A2)"));
        const AnsiString local = scratch.Cell().FormulaLocal().AsAnsiString();
        const size_t open = local.find('(');
        const AnsiString native = open == AnsiString::npos || open < 1 ? AnsiString() : local.substr(1, open - 1);
        if (!native.empty()) FFuncNames.emplace_back(english, native);
    }
}

AnsiString TTabrixTemplParser::GetFuncName(TTabrixFieldFunc func) const {
    if (func == TTabrixFieldFunc::ffNone) return {};
    const char* english = TabrixEnglishFuncName(func);
    for (const auto& [name, native] : FFuncNames)
        if (name == english) return native;
    throw ETabrixError(Format(SNoNativeFuncName, {english}));
}

namespace {

bool IsDetailBandType(TTabrixBandType t) { return t == tbxbtDetailData || t == tbxbtDetailFooter; }

}  // namespace

bool TTabrixTemplParser::FindFieldInDetailData(const TDataSet* dataSet, const AnsiString& name) const {
    for (const auto& info : FBandInfos) {
        const TTabrixBandType type = info->Band()->BandType();
        if (!IsDetailBandType(type)) continue;
        for (int c = 0; c < info->CellParserCount(); ++c) {
            const TTabrixCellParser& cell = info->CellParser(c);
            for (int i = 0; i < cell.GetCount(); ++i) {
                if (cell.GetDataSet(i) != dataSet || !AnsiSameText(cell.GetDSFieldName(i), name)) continue;
                if (type == tbxbtDetailData || cell.GetFunc(i) != TTabrixFieldFunc::ffNone) return true;
            }
        }
    }
    return false;
}

bool TTabrixTemplParser::FindDetailForSumFields(const AnsiString& name, const TDataSet* dataSet, int level,
                                                TTabrixAccType accType, TTabrixFieldFunc func,
                                                TTabrixBandInfo*& bandInfo, TTabrixCellParser*& foundCell,
                                                TTabrixFieldFunc& formulaFunc) const {
    for (auto it = FBandInfos.rbegin(); it != FBandInfos.rend(); ++it) {
        TTabrixBandInfo& info = **it;
        if (info.Level() <= level) continue;
        const TTabrixBandType type = info.Band()->BandType();
        const bool dataMatch =
            (type == tbxbtMasterData && accType == xatMaster) || (type == tbxbtDetailData && accType == xatDetail);
        const bool totalBand = type == tbxbtDetailFooter || type == tbxbtGroupFooter || type == tbxbtSummary;
        if (!dataMatch && !(totalBand && info.AccTypes().Contains(accType))) continue;
        if (func == TTabrixFieldFunc::ffAvg && !dataMatch) continue;  // no average of averages
        for (int c = 0; c < info.CellParserCount(); ++c) {
            TTabrixCellParser& cell = info.CellParser(c);
            if (!cell.IsSingleField() || cell.GetDataSet(0) != dataSet || !AnsiSameText(cell.GetDSFieldName(0), name))
                continue;
            if (totalBand && cell.GetFunc(0) == TTabrixFieldFunc::ffNone) continue;
            const TTabrixFieldFunc f = TabrixCombineFuncs(func, cell.GetFunc(0));
            if (f == TTabrixFieldFunc::ffNone) continue;
            bandInfo = &info;
            foundCell = &cell;
            formulaFunc = f;
            return true;
        }
    }
    return false;
}

}  // namespace tabrix
