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

uint32_t CellKey(int Row, int Col) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(Row)) << 16) | static_cast<uint16_t>(Col);
}

}  // namespace

TTabrixBandInfo::TTabrixBandInfo(TTabrixTemplParser* Parser, const TExcelWorksheet& Sheet, TTabrixBand* Band,
                                 TTabrixBand* HeaderBand, int Level)
    : FLevel(Level), FBand(Band), FParser(Parser), FHeaderBand(HeaderBand) {
    if (Band->RangeIsBlank()) throw ETabrixTemplParserError(Format(SBandRangeEmpty, {Band->GetDisplayName()}));
    const AnsiString& range = Band->Range();
    const AnsiString first = TabrixGetRangeFirst(range);
    const AnsiString last = TabrixGetRangeLast(range);
    ReadCells(Sheet, first, last);
}

TTabrixBandInfo::~TTabrixBandInfo() {
    // Cell parsers first, then the totals that may point at them.
    FCellParsers.clear();
    FAccFields.clear();
}

TExcelRange TTabrixBandInfo::CheckedRange(const TExcelWorksheet& Sheet, const TTabrixBand& Band) {
    const AnsiString& range = Band.Range();
    const AnsiString name = Band.GetDisplayName();
    const AnsiString first = TabrixGetRangeFirst(range), last = TabrixGetRangeLast(range);
    std::optional<TExcelRange> cells;
    try {
        cells = Sheet.Range(first, last);
    } catch (const Exception& e) {
        throw ETabrixError(Format(SBandWrongRange, {name, range}) + "\r\n" + e.Message());
    }
    if (int areas = cells->Areas().Count(); areas != 1)
        throw ETabrixError(Format(SBandAreaCount, {name, range, areas}));
    if (TabrixGetRangeColumn(first) > TabrixGetRangeColumn(last) || TabrixGetRangeRow(first) > TabrixGetRangeRow(last))
        throw ETabrixError(Format(SBandWrongRange, {name, range}));
    return *cells;
}

void TTabrixBandInfo::ReadCells(const TExcelWorksheet& Sheet, const AnsiString& First, const AnsiString& Last) {
    const TExcelRange cells = CheckedRange(Sheet, *FBand);
    const int row1 = TabrixGetRangeRow(First), col1 = TabrixGetRangeColumn(First);
    const int row2 = TabrixGetRangeRow(Last), col2 = TabrixGetRangeColumn(Last);
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

int TTabrixBandInfo::AddCellStrValue(const UnicodeString& S, int Row, int Col) {
    FCellStrValues.push_back({S, CellKey(Row, Col), TabrixTextMovesWithRow(S, FParser->Owner().TemplFieldSign())});
    return static_cast<int>(FCellStrValues.size()) - 1;
}

const UnicodeString& TTabrixBandInfo::GetCellStrValue(int Index) const {
    if (Index < 0 || Index >= GetCellStrCount()) RaiseListIndexError(Index);
    return FCellStrValues[Index].Text;
}

int TTabrixBandInfo::CellIndex(int Row, int Col) const {
    const int r = Row - FTop, c = Col - FLeft;
    if (r < 0 || r >= FRowCount || c < 0 || c >= FColCount) return -1;
    return r * FColCount + c;
}

UnicodeString TTabrixBandInfo::GetValue(int Row, int Col, int OutRow) {
    const int index = CellIndex(Row, Col);
    if (index < 0) throw ETabrixTemplParserError(Format(SCellNotFound, {Row, Col}));
    const uint32_t entry = FCellMap[index];
    if (entry & kParserBit) return FCellParsers[entry & ~kParserBit]->GetCellValue(OutRow);
    const TCellStr& fixed = FCellStrValues[entry];
    if (!fixed.MovesWithRow) return fixed.Text;
    return TabrixRenewCellReferences(fixed.Text, OutRow - Row, 0, FParser->Owner().TemplFieldSign());
}

bool TTabrixBandInfo::GetHasFields(int Row, int Col) const {
    const int index = CellIndex(Row, Col);
    return index >= 0 && (FCellMap[index] & kParserBit) != 0;
}

void TTabrixBandInfo::SetRowInterval(int OutRow) {
    if (!FRowIntervals.empty()) {
        TTabrixRowInterval& last = FRowIntervals.back();
        if (OutRow == last.First + last.Extra + 1) {
            ++last.Extra;
            return;
        }
    }
    FRowIntervals.push_back({0, static_cast<uint16_t>(OutRow)});
}

}  // namespace tabrix
