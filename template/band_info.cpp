#include "template/band_info.h"

#include <optional>

#include "bands/band.h"
#include "cells/cell_address.h"
#include "cells/renew_references.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "template/templ_parser.h"

namespace tabrix {

namespace {

uint32_t CellKey(int row, int col) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(row)) << 16) | static_cast<uint16_t>(col);
}

}  // namespace

TTabrixBandInfo::TTabrixBandInfo(TTabrixTemplParser* parser, const TExcelWorksheet& sheet, TTabrixBand* band,
                                 TTabrixBand* headerBand, int level)
    : FLevel(level), FBand(band), FParser(parser), FHeaderBand(headerBand) {
    if (band->RangeIsBlank()) throw ETabrixTemplParserError(Format(SBandRangeEmpty, {band->GetDisplayName()}));
    const AnsiString& range = band->Range();
    const AnsiString first = TabrixGetRangeFirst(range);
    const AnsiString last = TabrixGetRangeLast(range);
    ReadCells(sheet, first, last);
}

TTabrixBandInfo::~TTabrixBandInfo() {
    // Cell parsers first, then the totals that may point at them.
    FCellParsers.clear();
    FAccFields.clear();
}

TExcelRange TTabrixBandInfo::CheckedRange(const TExcelWorksheet& sheet, const TTabrixBand& band) {
    const AnsiString& range = band.Range();
    const AnsiString name = band.GetDisplayName();
    const AnsiString first = TabrixGetRangeFirst(range), last = TabrixGetRangeLast(range);
    std::optional<TExcelRange> cells;
    try {
        cells = sheet.Range(first, last);
    } catch (const Exception& e) {
        throw ETabrixError(Format(SBandWrongRange, {name, range}) + "\r\n" + e.Message());
    }
    if (int areas = cells->Areas().Count(); areas != 1)
        throw ETabrixError(Format(SBandAreaCount, {name, range, areas}));
    if (TabrixGetRangeColumn(first) > TabrixGetRangeColumn(last) || TabrixGetRangeRow(first) > TabrixGetRangeRow(last))
        throw ETabrixError(Format(SBandWrongRange, {name, range}));
    return *cells;
}

void TTabrixBandInfo::ReadCells(const TExcelWorksheet& sheet, const AnsiString& first, const AnsiString& last) {
    const TExcelRange cells = CheckedRange(sheet, *FBand);
    const int row1 = TabrixGetRangeRow(first), col1 = TabrixGetRangeColumn(first);
    const int row2 = TabrixGetRangeRow(last), col2 = TabrixGetRangeColumn(last);
    FTop = row1;
    FLeft = col1;
    FRowCount = row2 - row1 + 1;
    FColCount = col2 - col1 + 1;

    // The whole band in one read; the template is not touched again.
    const TVariantArray2D texts = cells.FormulaLocalArray();
    const ITabrixTemplOwner& owner = FParser->Owner();
    const char sign = owner.TemplFieldSign();
    TTabrixFieldParser plain(sign);
    FCellMap.reserve(static_cast<size_t>(FRowCount) * FColCount);
    for (int r = 0; r < FRowCount; ++r) {
        const Variant* row = texts.Row(texts.RowLow() + r);
        for (int c = 0; c < FColCount; ++c) {
            const int templRow = row1 + r, templCol = col1 + c;
            UnicodeString text = row[c].AsUnicodeString();
            // Every band is written from report column 1 (A).
            if (col1 != 1) text = TabrixRenewCellReferences(text, 0, 1 - col1, sign);
            plain.SetFieldString(text);
            if (plain.GetCount() == 0) {
                FCellMap.push_back(static_cast<uint32_t>(AddCellStrValue(plain.GetResultString(), templRow, templCol)));
                continue;
            }
            auto cell = std::make_unique<TTabrixCellParser>(this, plain, templRow, templCol);
            TTabrixCellParser& added = *cell;
            FCellParsers.push_back(std::move(cell));
            FCellMap.push_back(static_cast<uint32_t>(FCellParsers.size() - 1) | kParserBit);
            if (!added.GetAccTypes().Empty()) {
                FAccTypes.Include(added.GetAccTypes());
                AddAccFields(added);
            }
        }
    }
}

int TTabrixBandInfo::AddCellStrValue(const UnicodeString& s, int row, int col) {
    FCellStrValues.push_back({s, CellKey(row, col), TabrixTextMovesWithRow(s, FParser->Owner().TemplFieldSign())});
    return static_cast<int>(FCellStrValues.size()) - 1;
}

const UnicodeString& TTabrixBandInfo::GetCellStrValue(int index) const {
    if (index < 0 || index >= GetCellStrCount()) RaiseListIndexError(index);
    return FCellStrValues[index].Text;
}

int TTabrixBandInfo::CellIndex(int row, int col) const {
    const int r = row - FTop, c = col - FLeft;
    if (r < 0 || r >= FRowCount || c < 0 || c >= FColCount) return -1;
    return r * FColCount + c;
}

UnicodeString TTabrixBandInfo::GetValue(int row, int col, int outRow) {
    const int index = CellIndex(row, col);
    if (index < 0) throw ETabrixTemplParserError(Format(SCellNotFound, {row, col}));
    const uint32_t entry = FCellMap[index];
    if (entry & kParserBit) return FCellParsers[entry & ~kParserBit]->GetCellValue(outRow);
    const TCellStr& fixed = FCellStrValues[entry];
    if (!fixed.MovesWithRow) return fixed.Text;
    return TabrixRenewCellReferences(fixed.Text, outRow - row, 0, FParser->Owner().TemplFieldSign());
}

bool TTabrixBandInfo::GetHasFields(int row, int col) const {
    const int index = CellIndex(row, col);
    return index >= 0 && (FCellMap[index] & kParserBit) != 0;
}

void TTabrixBandInfo::SetRowInterval(int outRow) {
    if (!FRowIntervals.empty()) {
        TTabrixRowInterval& last = FRowIntervals.back();
        if (outRow == last.First + last.Extra + 1) {
            ++last.Extra;
            return;
        }
    }
    FRowIntervals.push_back({0, static_cast<uint16_t>(outRow)});
}

}  // namespace tabrix
