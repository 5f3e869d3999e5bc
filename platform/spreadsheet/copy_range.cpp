#include "platform/spreadsheet/copy_range.h"

#include <algorithm>
#include <unordered_map>

#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::xl {

namespace {

struct TCopied {
    int Row;
    TCell Cell;
    TCellFormula Formula;              // Kind Formula
    uint32_t RichSource = UINT32_MAX;  // a rich string to carry to another workbook
};

}  // namespace

void CopyRange(const TWorksheet& source, const TCellRect& from, TWorksheet& target, int toRow, int toColumn) {
    const int dRow = toRow - from.Top;
    const int dCol = toColumn - from.Left;
    TCellRect dest{toRow, toColumn, toRow + from.RowCount() - 1, toColumn + from.ColumnCount() - 1};
    if (toRow < 1 || toColumn < 1 || dest.Bottom > kMaxRows || dest.Right > kMaxColumns)
        target.ThrowAt(
            toRow, toColumn,
            "the copy of " + RectAddress(from) + " would reach beyond the sheet (1048576 rows, 16384 columns)");

    TWorkbook& sourceBook = source.Workbook();
    TWorkbook& targetBook = target.Workbook();
    const bool sameBook = &sourceBook == &targetBook;
    const bool sameStyles = sameBook || sourceBook.SameStyleOrigin(targetBook);
    TStyles& targetStyles = targetBook.Styles();
    // Formats added after reading differ between the two even when they
    // share an origin: only the ones read are shared.
    const uint32_t styleCount =
        sameBook ? targetStyles.Count() : std::min(targetStyles.CountAsRead(), sourceBook.Styles().CountAsRead());
    std::unordered_map<uint32_t, uint32_t> styleMap;
    auto mapStyle = [&](uint32_t xf) -> uint32_t {
        if (xf == 0 || (sameStyles && xf < styleCount)) return xf;
        auto it = styleMap.find(xf);
        if (it != styleMap.end()) return it->second;
        uint32_t mapped = targetStyles.Import(sourceBook.Styles(), xf);
        styleMap.emplace(xf, mapped);
        return mapped;
    };

    // Everything is read before anything is written: source and destination
    // may overlap.
    std::vector<TCopied> cells;
    source.ForEachCell(from, [&](int row, const TCell& c) {
        TCopied copied{row + dRow, c, {}, UINT32_MAX};
        copied.Cell.Column = static_cast<uint16_t>(c.Column + dCol);
        copied.Cell.Flags = 0;
        if (c.Kind == TCellKind::Formula) {
            copied.Formula = source.FormulaOf(c);
            copied.Formula.NeedsValue = true;
            copied.Formula.SharedIndex = -1;  // a copy stands on its own
            copied.Formula.SharedMaster = false;
        } else if (c.Kind == TCellKind::String && !sameBook) {
            if (sourceBook.Strings().RichXml(c.Index)) copied.RichSource = c.Index;
        }
        cells.push_back(std::move(copied));
        return true;
    });
    std::vector<TCellRect> merges;
    for (const TCellRect& m : source.MergedRanges())
        if (from.Contains(m)) merges.push_back({m.Top + dRow, m.Left + dCol, m.Bottom + dRow, m.Right + dCol});

    std::vector<TRuleCopy> rules = source.Rules().Collect(from, dRow, dCol);

    target.Clear(dest);
    target.Rules().Apply(source.Rules(), rules);
    for (TCopied& c : cells) {
        const int row = c.Row, column = c.Cell.Column;
        switch (c.Cell.Kind) {
            case TCellKind::Empty:
                break;
            case TCellKind::Number:
                target.SetNumber(row, column, c.Cell.Number);
                break;
            case TCellKind::Boolean:
                target.SetBoolean(row, column, c.Cell.Number != 0);
                break;
            case TCellKind::Error:
                target.SetError(row, column, TWorksheet::ErrorCode(c.Cell.Index));
                break;
            case TCellKind::String:
                if (sameBook) {
                    target.SetSharedString(row, column, c.Cell.Index);
                } else if (c.RichSource != UINT32_MAX) {
                    TSharedStrings& sourceStrings = sourceBook.Strings();
                    target.SetSharedString(row, column,
                                           targetBook.Strings().AddRich(sourceStrings.Text(c.RichSource),
                                                                        *sourceStrings.RichXml(c.RichSource)));
                } else {
                    target.SetString(row, column, sourceBook.Strings().Text(c.Cell.Index));
                }
                break;
            case TCellKind::Formula: {
                TCellFormula& f = c.Formula;
                if (f.Type == TCellFormula::TType::DataTable) {
                    // A data table belongs to its place; the copy keeps its values.
                    target.SetValue(row, column, f.Cached);
                    break;
                }
                if (dRow || dCol) {
                    try {
                        f.Text = ShiftFormula(f.Text, dRow, dCol);
                    } catch (const Exception& e) {
                        target.ThrowAt(row, column, "formula \"=" + f.Text + "\" cannot be moved: " + e.Message());
                    }
                    if (f.Type == TCellFormula::TType::Array) {
                        f.ArrayRange = {f.ArrayRange.Top + dRow, f.ArrayRange.Left + dCol, f.ArrayRange.Bottom + dRow,
                                        f.ArrayRange.Right + dCol};
                        if (f.ArrayRange.Top < 1 || f.ArrayRange.Left < 1 || f.ArrayRange.Bottom > kMaxRows ||
                            f.ArrayRange.Right > kMaxColumns)
                            f.ArrayRange = {row, column, row, column};
                    }
                }
                target.SetFormula(row, column, std::move(f));
                break;
            }
        }
        target.SetStyle(row, column, mapStyle(c.Cell.Style));
    }
    // The clear above removed every merge touching the destination, and the
    // source's merges do not overlap: they go in without a search each, which
    // keeps copies into a sheet with many merges linear.
    target.FMerges.insert(target.FMerges.end(), merges.begin(), merges.end());
}

}  // namespace tabrix::xl
