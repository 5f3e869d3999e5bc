#include "platform/spreadsheet/copy_range.h"

#include <algorithm>
#include <unordered_map>

#include "platform/spreadsheet/formula/formula.h"
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
        CollectCells();
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
                TCellFormula& f = FFormulas.emplace_back(FSource.FormulaOf(c));
                f.NeedsValue = true;
                f.SharedIndex = -1;  // a copy stands on its own
                f.SharedMaster = false;
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
        if (FDRow || FDCol) {
            try {
                f.Text = ShiftFormula(f.Text, FDRow, FDCol);
            } catch (const Exception& e) {
                FTarget.ThrowAt(row, column, "formula \"=" + f.Text + "\" cannot be moved: " + e.Message());
            }
            if (f.Type == TCellFormula::TType::Array) {
                f.ArrayRange = {f.ArrayRange.Top + FDRow, f.ArrayRange.Left + FDCol, f.ArrayRange.Bottom + FDRow,
                                f.ArrayRange.Right + FDCol};
                if (f.ArrayRange.Top < 1 || f.ArrayRange.Left < 1 || f.ArrayRange.Bottom > kMaxRows ||
                    f.ArrayRange.Right > kMaxColumns)
                    f.ArrayRange = {row, column, row, column};
            }
        }
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
