#include "platform/spreadsheet/copy_range.h"

#include <algorithm>
#include <unordered_map>

#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::xl {

namespace {

// A cell read from the source: small, since a copy of many rows holds one
// for each cell; formulas and kept attributes wait in lists of their own.
struct TCopied {
    static constexpr uint32_t kNone = UINT32_MAX;
    int Row;
    TCell Cell;
    uint32_t Formula = kNone;     // Kind Formula: index into TRangeCopy::FFormulas
    uint32_t RichSource = kNone;  // a rich string to carry to another workbook
    uint32_t Extra = kNone;       // attributes kept as read (cm, vm, ph): index into FExtras
};

// Moves a copied formula's references (its cell lands at row, column of
// target, dRow and dCol from where it was).
void MoveFormula(TCellFormula& f, const TWorksheet& target, int row, int column, int dRow, int dCol) {
    if (!dRow && !dCol) return;
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

// A formula as a copy takes it: computed anew, standing on its own.
TCellFormula CopiedFormula(const TCellFormula& source) {
    TCellFormula f = source;
    f.NeedsValue = true;
    f.SharedIndex = -1;
    f.SharedMaster = false;
    return f;
}

}  // namespace

// Rows of a sheet copied to rows of the same sheet that hold nothing, the
// columns kept: the destination rows take the source rows' cells as they
// are (the same styles and strings), formulas as moved copies of their own.
class TRowTakeOver {
public:
    // False, with nothing changed, when a destination row holds a cell or a
    // source cell needs the cell-by-cell copy (kept attributes, a data table).
    static bool Copy(TWorksheet& sheet, const TCellRect& from, int dRow) {
        const int last = std::min(from.Bottom, sheet.LastRow());
        for (int row = from.Top; row <= last; ++row) {
            if (row + dRow <= sheet.LastRow() && !sheet.FRows[row + dRow - 1].Cells.empty()) return false;
            const auto [first, end] = Span(sheet.FRows[row - 1].Cells, from);
            for (auto it = first; it != end; ++it) {
                if (it->Flags & TCell::kCellHasExtra) return false;
                if (it->Kind == TCellKind::Formula && sheet.FormulaOf(*it).Type == TCellFormula::TType::DataTable)
                    return false;
            }
        }
        if (last < from.Top) return true;
        sheet.FModified = sheet.FValuesChanged = true;
        if (last + dRow > sheet.LastRow()) sheet.FRows.resize(static_cast<size_t>(last + dRow));
        for (int row = from.Top; row <= last; ++row) {
            const auto [first, end] = Span(sheet.FRows[row - 1].Cells, from);
            std::vector<TCell>& cells = sheet.FRows[row + dRow - 1].Cells;
            cells.assign(first, end);
            for (TCell& c : cells) {
                if (c.Kind != TCellKind::Formula) continue;
                // The cell still names the source's formula: it gets a moved copy.
                TCellFormula f = CopiedFormula(sheet.FormulaOf(c));
                c.Kind = TCellKind::Empty;
                c.Number = 0;
                MoveFormula(f, sheet, row + dRow, c.Column, dRow, 0);
                sheet.SetFormula(row + dRow, c.Column, std::move(f));
            }
        }
        return true;
    }

private:
    using TCells = std::vector<TCell>;
    static std::pair<TCells::const_iterator, TCells::const_iterator> Span(const TCells& cells, const TCellRect& r) {
        auto first = std::lower_bound(cells.begin(), cells.end(), r.Left,
                                      [](const TCell& c, int column) { return c.Column < column; });
        auto end =
            std::upper_bound(first, cells.end(), r.Right, [](int column, const TCell& c) { return column < c.Column; });
        return {first, end};
    }
};

namespace {

// Style indexes of the source as the target knows them: the same index
// within a workbook or between workbooks of one origin, else imported by
// content once per source style.
class TStyleMapper {
public:
    TStyleMapper(TWorkbook& sourceBook, TWorkbook& targetBook, bool sameStyles)
        : FSource(sourceBook.Styles()), FTarget(targetBook.Styles()), FSameStyles(sameStyles) {
        // Formats added after reading differ between the two even when they
        // share an origin: only the ones read are shared.
        FShared = &sourceBook == &targetBook ? FTarget.Count() : std::min(FTarget.CountAsRead(), FSource.CountAsRead());
    }

    uint32_t Map(uint32_t xf) {
        if (xf == 0 || (FSameStyles && xf < FShared)) return xf;
        auto it = FMap.find(xf);
        if (it != FMap.end()) return it->second;
        uint32_t mapped = FTarget.Import(FSource, xf);
        FMap.emplace(xf, mapped);
        return mapped;
    }

private:
    TStyles& FSource;
    TStyles& FTarget;
    bool FSameStyles;
    uint32_t FShared = 0;
    std::unordered_map<uint32_t, uint32_t> FMap;
};

// One copy: everything is read from the source before anything is written,
// since source and destination may overlap.
class TRangeCopy {
public:
    TRangeCopy(const TWorksheet& source, const TCellRect& from, TWorksheet& target, int toRow, int toColumn)
        : FSource(source),
          FFrom(from),
          FTarget(target),
          FSourceBook(source.Workbook()),
          FTargetBook(target.Workbook()),
          FSameBook(&FSourceBook == &FTargetBook),
          FSameOrigin(FSameBook || FSourceBook.SameStyleOrigin(FTargetBook)),
          FDRow(toRow - from.Top),
          FDCol(toColumn - from.Left),
          FDest{toRow, toColumn, toRow + from.RowCount() - 1, toColumn + from.ColumnCount() - 1},
          FStyles(FSourceBook, FTargetBook, FSameOrigin) {}

    void Run() {
        CheckDestination();
        // Within a sheet, to rows apart from the source, columns kept: the
        // doubling copies of a report, which may take over whole rows.
        const bool takeOver = &FSource == &FTarget && FDCol == 0 && !FFrom.Intersects(FDest);
        if (!takeOver) CollectCells();
        CollectMerges();
        FRules = FSource.Rules().Collect(FFrom, FDRow, FDCol);
        FLinks = FSource.Links().Collect(FFrom, FDRow, FDCol);
        FNotes = FSource.Notes().Collect(FFrom, FDRow, FDCol);
        FObjects = FSource.Drawing().Collect(FFrom, FDRow, FDCol, !FSameBook);

        FTarget.Clear(FDest);
        if (FSameOrigin) {
            FTarget.Rules().Apply(FSource.Rules(), FRules);
        } else {
            TStyles& sourceStyles = FSourceBook.Styles();
            TStyles& targetStyles = FTargetBook.Styles();
            FTarget.Rules().Apply(FSource.Rules(), FRules,
                                  [&](uint32_t dxf) { return targetStyles.ImportDifferential(sourceStyles, dxf); });
        }
        FTarget.Links().Add(FLinks);
        FTarget.Notes().Add(FNotes);
        FTarget.Drawing().Add(FObjects);
        if (takeOver && TRowTakeOver::Copy(FTarget, FFrom, FDRow)) return;
        // The source is apart from the cleared destination: still as it was.
        if (takeOver) CollectCells();
        for (TCopied& c : FCells) WriteCell(c);
    }

    // The clear removed every merge touching the destination, and the
    // source's merges do not overlap: they go in without a search each, which
    // keeps copies into a sheet with many merges linear.
    const std::vector<TCellRect>& Merges() const { return FMerges; }

private:
    void CheckDestination() const {
        if (FDest.Top < 1 || FDest.Left < 1 || FDest.Bottom > kMaxRows || FDest.Right > kMaxColumns)
            FTarget.ThrowAt(
                FDest.Top, FDest.Left,
                "the copy of " + RectAddress(FFrom) + " would reach beyond the sheet (1048576 rows, 16384 columns)");
    }

    void CollectCells() {
        FSource.ForEachCell(FFrom, [&](int row, const TCell& c) {
            TCopied& copied = FCells.emplace_back();
            copied.Row = row + FDRow;
            copied.Cell = c;
            copied.Cell.Column = static_cast<uint16_t>(c.Column + FDCol);
            copied.Cell.Flags = 0;
            // cm and vm index the metadata part, which only a workbook of the
            // same origin shares.
            if ((c.Flags & TCell::kCellHasExtra) && FSameOrigin) {
                copied.Extra = static_cast<uint32_t>(FExtras.size());
                FExtras.emplace_back(FSource.ExtraAttributes(row, c.Column));
            }
            if (c.Kind == TCellKind::Formula) {
                copied.Formula = static_cast<uint32_t>(FFormulas.size());
                FFormulas.push_back(CopiedFormula(FSource.FormulaOf(c)));
            } else if (c.Kind == TCellKind::String && !FSameBook) {
                if (FSourceBook.Strings().RichXml(c.Index)) copied.RichSource = c.Index;
            }
            return true;
        });
    }

    void CollectMerges() {
        for (const TCellRect& m : FSource.MergedRanges())
            if (FFrom.Contains(m))
                FMerges.push_back({m.Top + FDRow, m.Left + FDCol, m.Bottom + FDRow, m.Right + FDCol});
    }

    void WriteCell(TCopied& c) {
        const int row = c.Row, column = c.Cell.Column;
        switch (c.Cell.Kind) {
            case TCellKind::Empty:
                break;
            case TCellKind::Number:
                FTarget.SetNumber(row, column, c.Cell.Number);
                break;
            case TCellKind::Boolean:
                FTarget.SetBoolean(row, column, c.Cell.Number != 0);
                break;
            case TCellKind::Error:
                FTarget.SetError(row, column, TWorksheet::ErrorCode(c.Cell.Index));
                break;
            case TCellKind::String:
                WriteString(c);
                break;
            case TCellKind::Formula:
                WriteFormula(c);
                break;
        }
        FTarget.SetStyle(row, column, FStyles.Map(c.Cell.Style));
        if (c.Extra != TCopied::kNone) FTarget.SetExtraAttributes(row, column, FExtras[c.Extra]);
    }

    void WriteString(const TCopied& c) {
        const int row = c.Row, column = c.Cell.Column;
        if (FSameBook) {
            FTarget.SetSharedString(row, column, c.Cell.Index);
        } else if (c.RichSource != TCopied::kNone) {
            TSharedStrings& sourceStrings = FSourceBook.Strings();
            FTarget.SetSharedString(
                row, column,
                FTargetBook.Strings().AddRich(sourceStrings.Text(c.RichSource), *sourceStrings.RichXml(c.RichSource)));
        } else {
            FTarget.SetString(row, column, FSourceBook.Strings().Text(c.Cell.Index));
        }
    }

    void WriteFormula(TCopied& c) {
        const int row = c.Row, column = c.Cell.Column;
        TCellFormula& f = FFormulas[c.Formula];
        if (f.Type == TCellFormula::TType::DataTable) {
            // A data table belongs to its place; the copy keeps its values.
            FTarget.SetValue(row, column, f.Cached);
            return;
        }
        MoveFormula(f, FTarget, row, column, FDRow, FDCol);
        FTarget.SetFormula(row, column, std::move(f));
    }

    const TWorksheet& FSource;
    const TCellRect FFrom;
    TWorksheet& FTarget;
    TWorkbook& FSourceBook;
    TWorkbook& FTargetBook;
    const bool FSameBook;
    const bool FSameOrigin;
    const int FDRow, FDCol;
    const TCellRect FDest;
    TStyleMapper FStyles;
    std::vector<TCopied> FCells;
    std::vector<TCellFormula> FFormulas;
    std::vector<std::string> FExtras;
    std::vector<TCellRect> FMerges;
    std::vector<TRuleCopy> FRules;
    std::vector<THyperlink> FLinks;
    std::vector<TNote> FNotes;
    std::vector<TDrawingObject> FObjects;
};

}  // namespace

void CopyRange(const TWorksheet& source, const TCellRect& from, TWorksheet& target, int toRow, int toColumn) {
    TRangeCopy copy(source, from, target, toRow, toColumn);
    copy.Run();
    target.FMerges.insert(target.FMerges.end(), copy.Merges().begin(), copy.Merges().end());
}

}  // namespace tabrix::xl
