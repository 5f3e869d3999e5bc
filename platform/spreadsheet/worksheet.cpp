#include "platform/spreadsheet/worksheet.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "platform/rtl/ascii.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::xl {

namespace {

constexpr std::string_view kErrorCodes[] = {
    "#NULL!",  "#DIV/0!", "#VALUE!", "#REF!",     "#NAME?",    "#NUM!",     "#N/A",   "#GETTING_DATA",
    "#SPILL!", "#CALC!",  "#FIELD!", "#BLOCKED!", "#CONNECT!", "#UNKNOWN!", "#BUSY!",
};
constexpr uint32_t kNotAvailable = 6;

uint64_t ExtraKey(int row, int column) { return (static_cast<uint64_t>(row) << 16) | static_cast<uint64_t>(column); }

auto CellLess = [](const TCell& c, int column) { return c.Column < column; };

// Points of one line of text in a font of that size (Calibri 11 gives 15,
// 14 gives 18.75), on the 0.75-point grid of screen pixels.
double LineHeight(double fontSize) {
    double h = fontSize * 1.31 + 0.6;
    return std::round(h / 0.75) * 0.75;
}

}  // namespace

TWorksheet::TWorksheet(TWorkbook& workbook, std::string name, std::string partName)
    : FWorkbook(&workbook), FName(std::move(name)), FPartName(std::move(partName)) {}

std::string TWorksheet::Where() const { return "File \"" + FWorkbook->DisplayName() + "\", sheet \"" + FName + "\""; }

void TWorksheet::ThrowAt(int row, int column, std::string_view what) const {
    std::string cell = row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns
                           ? CellAddress(row, column)
                           : "(row " + std::to_string(row) + ", column " + std::to_string(column) + ")";
    throw ESpreadsheetError(Where() + ", cell " + cell + ": " + std::string(what));
}

void TWorksheet::CheckPosition(int row, int column) const {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        ThrowAt(row, column, "the position lies outside the sheet (1048576 rows, 16384 columns)");
}

std::string_view TWorksheet::ErrorCode(uint32_t index) {
    return index < std::size(kErrorCodes) ? kErrorCodes[index] : kErrorCodes[kNotAvailable];
}

uint32_t TWorksheet::ErrorIndex(std::string_view code) {
    for (uint32_t i = 0; i < std::size(kErrorCodes); ++i)
        if (kErrorCodes[i] == code) return i;
    return kNotAvailable;
}

const TCell* TWorksheet::FindCell(int row, int column) const {
    if (row < 1 || row > LastRow()) return nullptr;
    const std::vector<TCell>& cells = FRows[row - 1].Cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), column, CellLess);
    return it != cells.end() && it->Column == column ? &*it : nullptr;
}

TCell& TWorksheet::Slot(int row, int column) {
    CheckPosition(row, column);
    if (row > LastRow()) FRows.resize(row);
    TRow& r = FRows[row - 1];
    std::vector<TCell>& cells = r.Cells;
    FModified = FValuesChanged = true;
    if (cells.empty() || cells.back().Column < column) {
        // The rows of a sheet tend to be alike: a new row gets room for as
        // many cells as the one above, and is not grown cell by cell.
        if (cells.capacity() == 0 && row > 1) cells.reserve(FRows[row - 2].Cells.size());
        TCell& c = cells.emplace_back();
        c.Column = static_cast<uint16_t>(column);
        c.Style = r.Props.CustomFormat ? r.Props.Style : ColumnStyle(column);
        return c;
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), column, CellLess);
    if (it != cells.end() && it->Column == column) return *it;
    TCell c;
    c.Column = static_cast<uint16_t>(column);
    c.Style = r.Props.CustomFormat ? r.Props.Style : ColumnStyle(column);
    return *cells.insert(it, c);
}

void TWorksheet::ReleaseFormula(TCell& cell, int row) {
    if (cell.Kind == TCellKind::Formula) {
        FFormulas[cell.Index] = TCellFormula{};
        FFreeFormulas.push_back(cell.Index);
    }
    if (cell.Flags & TCell::kCellHasExtra) {
        cell.Flags &= static_cast<uint8_t>(~TCell::kCellHasExtra);
        uint64_t key = ExtraKey(row, cell.Column);
        auto it = std::lower_bound(FExtras.begin(), FExtras.end(), key,
                                   [](const auto& e, uint64_t k) { return e.first < k; });
        if (it != FExtras.end() && it->first == key) FExtras.erase(it);
    }
    cell.Kind = TCellKind::Empty;
    cell.Number = 0;
}

uint32_t TWorksheet::NewFormula(TCellFormula formula) {
    if (!FFreeFormulas.empty()) {
        uint32_t index = FFreeFormulas.back();
        FFreeFormulas.pop_back();
        FFormulas[index] = std::move(formula);
        return index;
    }
    FFormulas.push_back(std::move(formula));
    return static_cast<uint32_t>(FFormulas.size() - 1);
}

TCellContent TWorksheet::Content(int row, int column) const {
    TCellContent content;
    const TCell* cell = FindCell(row, column);
    content.Style = Style(row, column);
    if (!cell) return content;
    content.Kind = cell->Kind;
    switch (cell->Kind) {
        case TCellKind::Empty:
            break;
        case TCellKind::Number:
            content.Value = {TCellKind::Number, cell->Number, {}};
            break;
        case TCellKind::Boolean:
            content.Value = {TCellKind::Boolean, cell->Number, {}};
            break;
        case TCellKind::String:
            content.Value = {TCellKind::String, 0, std::string(StringOf(*cell))};
            break;
        case TCellKind::Error:
            content.Value = {TCellKind::Error, 0, std::string(ErrorCode(cell->Index))};
            break;
        case TCellKind::Formula: {
            const TCellFormula& f = FFormulas[cell->Index];
            content.Formula = f.Text;
            content.Value = f.Cached;
            break;
        }
    }
    return content;
}

uint32_t TWorksheet::Style(int row, int column) const {
    if (const TCell* c = FindCell(row, column)) return c->Style;
    if (row >= 1 && row <= LastRow() && FRows[row - 1].Props.CustomFormat) return FRows[row - 1].Props.Style;
    return ColumnStyle(column);
}

std::string_view TWorksheet::StringOf(const TCell& cell) const { return FWorkbook->Strings().Text(cell.Index); }

const TCellFormula& TWorksheet::FormulaOf(const TCell& cell) const { return FFormulas.at(cell.Index); }
TCellFormula& TWorksheet::FormulaOf(const TCell& cell) { return FFormulas.at(cell.Index); }

void TWorksheet::SetNumber(int row, int column, double value) {
    if (!std::isfinite(value)) {
        SetError(row, column, "#NUM!");
        return;
    }
    TCell& c = Slot(row, column);
    ReleaseFormula(c, row);
    c.Kind = TCellKind::Number;
    c.Number = value;
}

void TWorksheet::SetString(int row, int column, std::string_view utf8) {
    if (CodePointsOver(utf8)) ThrowAt(row, column, fmt::format("a cell holds at most {} characters", kMaxCellChars));
    SetSharedString(row, column, FWorkbook->Strings().Add(utf8));
}

// The limit counts UTF-16 units, as the spreadsheet does: characters
// beyond the basic plane count twice.
bool TWorksheet::CodePointsOver(std::string_view utf8) {
    if (utf8.size() <= kMaxCellChars) return false;
    size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80) continue;
        units += (c & 0xF8) == 0xF0 ? 2 : 1;
    }
    return units > kMaxCellChars;
}

void TWorksheet::SetSharedString(int row, int column, uint32_t index) {
    TCell& c = Slot(row, column);
    ReleaseFormula(c, row);
    c.Kind = TCellKind::String;
    c.Index = index;
}

void TWorksheet::SetBoolean(int row, int column, bool value) {
    TCell& c = Slot(row, column);
    ReleaseFormula(c, row);
    c.Kind = TCellKind::Boolean;
    c.Number = value ? 1 : 0;
}

void TWorksheet::SetError(int row, int column, std::string_view code) {
    TCell& c = Slot(row, column);
    ReleaseFormula(c, row);
    c.Kind = TCellKind::Error;
    c.Index = ErrorIndex(code);
}

void TWorksheet::SetFormula(int row, int column, std::string_view englishText) {
    TCellFormula f;
    f.Text = std::string(englishText);
    f.NeedsValue = true;
    SetFormula(row, column, std::move(f));
}

void TWorksheet::SetFormula(int row, int column, TCellFormula formula) {
    if (ascii::CharCount(formula.Text) > kMaxFormulaChars)
        ThrowAt(row, column, fmt::format("a formula holds at most {} characters", kMaxFormulaChars));
    TCell& c = Slot(row, column);
    ReleaseFormula(c, row);
    // Slot may have moved the row's cells; the index stays valid.
    uint32_t index = NewFormula(std::move(formula));
    TCell& again = Slot(row, column);
    again.Kind = TCellKind::Formula;
    again.Index = index;
}

void TWorksheet::SetValue(int row, int column, const TStoredValue& value) {
    switch (value.Kind) {
        case TCellKind::Empty:
            ClearContents(row, column);
            break;
        case TCellKind::Number:
            SetNumber(row, column, value.Number);
            break;
        case TCellKind::Boolean:
            SetBoolean(row, column, value.Number != 0);
            break;
        case TCellKind::String:
            SetString(row, column, value.Text);
            break;
        case TCellKind::Error:
            SetError(row, column, value.Text);
            break;
        case TCellKind::Formula:
            SetFormula(row, column, value.Text);
            break;
    }
}

void TWorksheet::SetStyle(int row, int column, uint32_t style) { Slot(row, column).Style = style; }

void TWorksheet::ClearContents(int row, int column) {
    CheckPosition(row, column);
    if (row > LastRow()) return;
    std::vector<TCell>& cells = FRows[row - 1].Cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), column, CellLess);
    if (it == cells.end() || it->Column != column) return;
    ReleaseFormula(*it, row);
    FModified = FValuesChanged = true;
}

void TWorksheet::Clear(const TCellRect& rect) {
    CheckPosition(rect.Top, rect.Left);
    CheckPosition(rect.Bottom, rect.Right);
    FModified = FValuesChanged = true;
    RemoveMergesIntersecting(rect);
    Rules().Clear(rect);
    Links().Clear(rect);
    Notes().Clear(rect);
    Drawing().Clear(rect);
    bool wholeRows = rect.Left == 1 && rect.Right == kMaxColumns;
    int bottom = std::min(rect.Bottom, LastRow());
    for (int row = rect.Top; row <= bottom; ++row) {
        TRow& r = FRows[row - 1];
        auto first = std::lower_bound(r.Cells.begin(), r.Cells.end(), rect.Left, CellLess);
        auto last = std::lower_bound(first, r.Cells.end(), rect.Right + 1, CellLess);
        for (auto it = first; it != last; ++it) ReleaseFormula(*it, row);
        r.Cells.erase(first, last);
        if (wholeRows) {
            r.Props.Style = 0;
            r.Props.CustomFormat = false;
        }
    }
    while (!FRows.empty() && FRows.back().Cells.empty() && FRows.back().Props.IsDefault()) FRows.pop_back();
}

const TRow* TWorksheet::Row(int row) const { return row >= 1 && row <= LastRow() ? &FRows[row - 1] : nullptr; }

TRowProps TWorksheet::RowProps(int row) const {
    const TRow* r = Row(row);
    return r ? r->Props : TRowProps{};
}

void TWorksheet::SetRowProps(int row, const TRowProps& props) {
    CheckPosition(row, 1);
    if (row > LastRow()) {
        if (props.IsDefault()) return;
        FRows.resize(row);
    }
    FRows[row - 1].Props = props;
    FModified = true;
}

double TWorksheet::RowHeight(int row) const {
    TRowProps p = RowProps(row);
    return p.HasHeight ? p.Height : FDefaultRowHeight;
}

void TWorksheet::SetRowHeight(int row, double points) {
    if (!(points >= 0 && points <= kMaxRowHeightPoints))
        ThrowAt(row, 1, fmt::format("a row height lies between 0 and {} points", kMaxRowHeightPoints));
    TRowProps p = RowProps(row);
    p.Height = std::round(points * 4) / 4;  // Excel keeps quarter points
    p.HasHeight = true;
    p.CustomHeight = true;
    SetRowProps(row, p);
}

double TWorksheet::ColumnWidth(int column) const {
    for (const TColumnInfo& c : FColumns)
        if (column >= c.Left && column <= c.Right && c.Width > 0) return c.Width;
    return FDefaultColumnWidth;
}

void TWorksheet::MapUnknownStyles(uint32_t styleCount) {
    FUnknownStyles = {};
    auto map = [&](uint32_t& style, int row, int column) {
        if (style < styleCount) return;
        if (FUnknownStyles.Count++ == 0) {
            FUnknownStyles.FirstRow = row;
            FUnknownStyles.FirstColumn = column;
        }
        FUnknownStyles.Highest = std::max(FUnknownStyles.Highest, style);
        style = 0;
    };
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        map(FRows[i].Props.Style, row, 0);
        for (TCell& cell : FRows[i].Cells) map(cell.Style, row, cell.Column);
    }
    if (FUnknownStyles.Count) FModified = true;
}

uint32_t TWorksheet::ColumnStyle(int column) const {
    for (const TColumnInfo& c : FColumns)
        if (column >= c.Left && column <= c.Right) return c.Style;
    return 0;
}

void TWorksheet::AutoFitRow(int row) {
    CheckPosition(row, 1);
    TStyles& styles = FWorkbook->Styles();
    double height = LineHeight(styles.FontSize(0));
    if (const TRow* r = Row(row)) {
        for (const TCell& c : r->Cells) {
            if (c.Kind == TCellKind::Empty && c.Style == 0) continue;
            // Merged cells do not take part, as in the spreadsheet.
            bool merged = false;
            for (const TCellRect& m : FMerges)
                if (!m.IsSingleCell() && m.Contains(row, c.Column)) {
                    merged = true;
                    break;
                }
            if (merged) continue;
            double size = styles.FontSize(c.Style);
            double line = LineHeight(size);
            int lines = 1;
            if (styles.WrapText(c.Style) && c.Kind == TCellKind::String) {
                // Characters per line: the column's width in digit widths of
                // the default font, scaled by the cell's font size.
                double perLine = std::max(1.0, ColumnWidth(c.Column) * styles.FontSize(0) / size);
                lines = 0;
                std::string_view text = StringOf(c);
                size_t start = 0;
                while (true) {
                    size_t nl = text.find('\n', start);
                    std::string_view para = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
                    lines +=
                        std::max(1, static_cast<int>(std::ceil(static_cast<double>(ascii::CharCount(para)) / perLine)));
                    if (nl == std::string_view::npos) break;
                    start = nl + 1;
                }
            }
            height = std::max(height, std::min(kMaxRowHeightPoints, line * lines));
        }
    }
    TRowProps p = RowProps(row);
    // A row that needs no more than the default keeps no height of its own,
    // so fitting empty rows does not make them part of the used range.
    p.HasHeight = height != FDefaultRowHeight;
    p.Height = p.HasHeight ? height : 0;
    p.CustomHeight = false;
    SetRowProps(row, p);
}

bool TWorksheet::MayFilterRows() const {
    return FTail.find("autoFilter") != std::string::npos || FTail.find("tablePart") != std::string::npos ||
           FHead.find("autoFilter") != std::string::npos;
}

void TWorksheet::AddMerge(const TCellRect& rect) {
    CheckPosition(rect.Top, rect.Left);
    CheckPosition(rect.Bottom, rect.Right);
    RemoveMergesIntersecting(rect);
    if (!rect.IsSingleCell()) FMerges.push_back(rect);
    FModified = FValuesChanged = true;
}

void TWorksheet::RemoveMergesIntersecting(const TCellRect& rect) {
    auto end = std::remove_if(FMerges.begin(), FMerges.end(), [&](const TCellRect& m) { return m.Intersects(rect); });
    if (end != FMerges.end()) {
        FMerges.erase(end, FMerges.end());
        FModified = true;
    }
}

TCellRect TWorksheet::UsedRange() const {
    int top = 0, bottom = 0, left = 0, right = 0;
    for (int row = 1; row <= LastRow(); ++row) {
        const TRow& r = FRows[row - 1];
        bool used = !r.Props.IsDefault();
        if (!r.Cells.empty()) {
            used = true;
            int l = r.Cells.front().Column, rr = r.Cells.back().Column;
            left = left ? std::min(left, l) : l;
            right = std::max(right, rr);
        }
        if (used) {
            if (!top) top = row;
            bottom = row;
        }
    }
    for (const TCellRect& m : FMerges) {
        top = top ? std::min(top, m.Top) : m.Top;
        bottom = std::max(bottom, m.Bottom);
        left = left ? std::min(left, m.Left) : m.Left;
        right = std::max(right, m.Right);
    }
    if (!top) return TCellRect{};
    if (!left) left = right = 1;
    return TCellRect{top, left, bottom, right};
}

bool TWorksheet::IsEmpty() const {
    for (const TRow& r : FRows)
        if (!r.Cells.empty() || !r.Props.IsDefault()) return false;
    return FMerges.empty();
}

void TWorksheet::ForEachCell(const TCellRect& rect, const std::function<bool(int row, const TCell& cell)>& fn) const {
    int bottom = std::min(rect.Bottom, LastRow());
    for (int row = rect.Top; row <= bottom; ++row) {
        const std::vector<TCell>& cells = FRows[row - 1].Cells;
        auto it = std::lower_bound(cells.begin(), cells.end(), rect.Left, CellLess);
        for (; it != cells.end() && it->Column <= rect.Right; ++it)
            if (!fn(row, *it)) return;
    }
}

std::string_view TWorksheet::ExtraAttributes(int row, int column) const {
    const TCell* c = FindCell(row, column);
    if (!c || !(c->Flags & TCell::kCellHasExtra)) return {};
    uint64_t key = ExtraKey(row, column);
    auto it =
        std::lower_bound(FExtras.begin(), FExtras.end(), key, [](const auto& e, uint64_t k) { return e.first < k; });
    return it != FExtras.end() && it->first == key ? std::string_view(it->second) : std::string_view();
}

void TWorksheet::SetExtraAttributes(int row, int column, std::string_view attributes) {
    TCell* c = const_cast<TCell*>(FindCell(row, column));
    if (!c) ThrowAt(row, column, "the cell to take kept attributes does not exist");
    uint64_t key = ExtraKey(row, column);
    auto it =
        std::lower_bound(FExtras.begin(), FExtras.end(), key, [](const auto& e, uint64_t k) { return e.first < k; });
    const bool present = it != FExtras.end() && it->first == key;
    FModified = true;
    if (attributes.empty()) {
        if (present) FExtras.erase(it);
        c->Flags &= static_cast<uint8_t>(~TCell::kCellHasExtra);
        return;
    }
    if (present)
        it->second = std::string(attributes);
    else
        FExtras.emplace(it, key, std::string(attributes));
    c->Flags |= TCell::kCellHasExtra;
}

TSheetRules& TWorksheet::Rules() const {
    if (!FRules) FRules = std::make_unique<TSheetRules>(FTail, FMergeInsertAt, FPrefix, FHead);
    return *FRules;
}

// The rules come before the links in the kept text: they are cut first, so
// that cutting the links leaves the rules' place where it is.
TSheetLinks& TWorksheet::Links() const {
    if (!FLinks) {
        size_t after = Rules().InsertAt();
        FLinks = std::make_unique<TSheetLinks>(FTail, std::max(after, FMergeInsertAt), FPrefix, FRels);
    }
    return *FLinks;
}

}  // namespace tabrix::xl
