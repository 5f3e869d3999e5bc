#pragma once
// Cell positions of the engine: rows and columns counted from 1 up to the
// xlsx limits, A1 texts with optional '$' markers, rectangles and lists of
// rectangles (references with several areas).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/formula/dialect.h"  // kMaxRows, kMaxColumns

namespace tabrix::xl {

struct TCellRef {
    int Row = 0;     // 1-based
    int Column = 0;  // 1-based
    bool operator==(const TCellRef&) const = default;
};

// A rectangle, always normalised (Top <= Bottom, Left <= Right).
struct TCellRect {
    int Top = 1, Left = 1, Bottom = 1, Right = 1;

    static TCellRect Spanning(TCellRef a, TCellRef b);
    int RowCount() const { return Bottom - Top + 1; }
    int ColumnCount() const { return Right - Left + 1; }
    bool Contains(int row, int column) const {
        return row >= Top && row <= Bottom && column >= Left && column <= Right;
    }
    bool Contains(const TCellRect& r) const {
        return r.Top >= Top && r.Bottom <= Bottom && r.Left >= Left && r.Right <= Right;
    }
    bool Intersects(const TCellRect& r) const {
        return r.Top <= Bottom && r.Bottom >= Top && r.Left <= Right && r.Right >= Left;
    }
    bool IsSingleCell() const { return Top == Bottom && Left == Right; }
    bool operator==(const TCellRect&) const = default;
};

// "A" for column 1, "XFD" for 16384 (1-based); appends to out, narrow or
// UTF-16 text (no allocation when out has room).
template <class CharT>
void AppendColumnLetters(std::basic_string<CharT>& out, int column) {
    CharT letters[4];
    int n = 0;
    while (column > 0 && n < 4) {
        letters[n++] = static_cast<CharT>('A' + (column - 1) % 26);
        column = (column - 1) / 26;
    }
    while (n > 0) out.push_back(letters[--n]);
}
std::string ColumnLetters(int column);
// "B3"; absolute markers on request ("$B$3").
void AppendCellAddress(std::string& out, int row, int column, bool rowAbsolute = false, bool columnAbsolute = false);
std::string CellAddress(int row, int column, bool rowAbsolute = false, bool columnAbsolute = false);
// The cells both hold; only meaningful when a.Intersects(b).
TCellRect Intersection(const TCellRect& a, const TCellRect& b);
// Appends what is left of r once cut is taken out of it: at most four
// rectangles (above, below, left and right of the cut); r itself when they
// do not meet.
void AppendRectMinus(const TCellRect& r, const TCellRect& cut, std::vector<TCellRect>& out);
// Moves a rectangle by whole rows and columns.
TCellRect Shifted(const TCellRect& r, int dRow, int dCol);

// "A1:C3", or "B2" for a single cell.
std::string RectAddress(const TCellRect& r, bool rowAbsolute = false, bool columnAbsolute = false);

// Reads one A1 cell ("b3", "$B$3"); false for anything else, including
// positions beyond the sheet.
bool TryParseCellAddress(std::string_view text, TCellRef& cell);
// Reads "A1", "A1:C3", "A:C" (whole columns), "2:5" (whole rows), with '$'
// markers; false for anything else.
bool TryParseRect(std::string_view text, TCellRect& rect);
// A reference with several areas as the spreadsheet reads it: areas joined
// by ',' (':' binds tighter, so "A1,B2:C3" is two areas). Blanks around
// the parts are not allowed. Raises ESpreadsheetError naming the text.
std::vector<TCellRect> ParseAreas(std::string_view text);

}  // namespace tabrix::xl
