#include "platform/spreadsheet/cell_address.h"

#include <algorithm>
#include <charconv>

#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

TCellRect TCellRect::Spanning(TCellRef a, TCellRef b) {
    TCellRect r;
    r.Top = std::min(a.Row, b.Row);
    r.Bottom = std::max(a.Row, b.Row);
    r.Left = std::min(a.Column, b.Column);
    r.Right = std::max(a.Column, b.Column);
    return r;
}

std::string ColumnLetters(int column) {
    std::string s;
    AppendColumnLetters(s, column);
    return s;
}

void AppendCellAddress(std::string& out, int row, int column, bool rowAbsolute, bool columnAbsolute) {
    if (columnAbsolute) out.push_back('$');
    AppendColumnLetters(out, column);
    if (rowAbsolute) out.push_back('$');
    char buf[12];
    auto res = std::to_chars(buf, buf + sizeof buf, row);
    out.append(buf, res.ptr);
}

std::string CellAddress(int row, int column, bool rowAbsolute, bool columnAbsolute) {
    std::string s;
    AppendCellAddress(s, row, column, rowAbsolute, columnAbsolute);
    return s;
}

std::string RectAddress(const TCellRect& r, bool rowAbsolute, bool columnAbsolute) {
    std::string s;
    AppendCellAddress(s, r.Top, r.Left, rowAbsolute, columnAbsolute);
    if (!r.IsSingleCell()) {
        s.push_back(':');
        AppendCellAddress(s, r.Bottom, r.Right, rowAbsolute, columnAbsolute);
    }
    return s;
}

namespace {

// Reads "[$]letters" at p; 0 when there are none or the column is too far.
int ReadColumn(std::string_view text, size_t& p) {
    size_t q = p;
    if (q < text.size() && text[q] == '$') ++q;
    int column = 0;
    size_t start = q;
    while (q < text.size()) {
        char c = text[q];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + (c - 'A' + 1);
        if (column > kMaxColumns) return 0;
        ++q;
    }
    if (q == start) return 0;
    p = q;
    return column;
}

int ReadRow(std::string_view text, size_t& p) {
    size_t q = p;
    if (q < text.size() && text[q] == '$') ++q;
    int row = 0;
    size_t start = q;
    while (q < text.size() && text[q] >= '0' && text[q] <= '9') {
        row = row * 10 + (text[q] - '0');
        if (row > kMaxRows) return 0;
        ++q;
    }
    if (q == start || row == 0) return 0;
    p = q;
    return row;
}

}  // namespace

bool TryParseCellAddress(std::string_view text, TCellRef& cell) {
    size_t p = 0;
    int column = ReadColumn(text, p);
    if (column == 0) return false;
    int row = ReadRow(text, p);
    if (row == 0 || p != text.size()) return false;
    cell = {row, column};
    return true;
}

bool TryParseRect(std::string_view text, TCellRect& rect) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        TCellRef c;
        if (!TryParseCellAddress(text, c)) return false;
        rect = TCellRect::Spanning(c, c);
        return true;
    }
    std::string_view a = text.substr(0, colon), b = text.substr(colon + 1);
    TCellRef ca, cb;
    if (TryParseCellAddress(a, ca) && TryParseCellAddress(b, cb)) {
        rect = TCellRect::Spanning(ca, cb);
        return true;
    }
    // Whole columns "A:C" or whole rows "2:5".
    size_t p = 0, q = 0;
    int c1 = ReadColumn(a, p), c2 = ReadColumn(b, q);
    if (c1 && c2 && p == a.size() && q == b.size()) {
        rect = TCellRect::Spanning({1, c1}, {kMaxRows, c2});
        return true;
    }
    p = q = 0;
    int r1 = ReadRow(a, p), r2 = ReadRow(b, q);
    if (r1 && r2 && p == a.size() && q == b.size()) {
        rect = TCellRect::Spanning({r1, 1}, {r2, kMaxColumns});
        return true;
    }
    return false;
}

std::vector<TCellRect> ParseAreas(std::string_view text) {
    auto fail = [&]() -> ESpreadsheetError {
        return ESpreadsheetError("Invalid cell reference \"" + std::string(text) + "\"");
    };
    std::vector<TCellRect> areas;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        size_t end = comma == std::string_view::npos ? text.size() : comma;
        std::string_view part = text.substr(start, end - start);
        // The first two corners read as a pair (so whole rows and columns
        // work); further corners widen the area, as the ':' operator does.
        size_t c1 = part.find(':');
        size_t c2 = c1 == std::string_view::npos ? c1 : part.find(':', c1 + 1);
        TCellRect rect;
        if (!TryParseRect(part.substr(0, c2), rect)) throw fail();
        while (c2 != std::string_view::npos) {
            size_t next = part.find(':', c2 + 1);
            TCellRect r;
            if (!TryParseRect(part.substr(c2 + 1, next == std::string_view::npos ? next : next - c2 - 1), r))
                throw fail();
            rect.Top = std::min(rect.Top, r.Top);
            rect.Left = std::min(rect.Left, r.Left);
            rect.Bottom = std::max(rect.Bottom, r.Bottom);
            rect.Right = std::max(rect.Right, r.Right);
            c2 = next;
        }
        areas.push_back(rect);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return areas;
}

TCellRect Intersection(const TCellRect& a, const TCellRect& b) {
    return {std::max(a.Top, b.Top), std::max(a.Left, b.Left), std::min(a.Bottom, b.Bottom), std::min(a.Right, b.Right)};
}

void AppendRectMinus(const TCellRect& r, const TCellRect& cut, std::vector<TCellRect>& out) {
    if (!r.Intersects(cut)) {
        out.push_back(r);
        return;
    }
    if (r.Top < cut.Top) out.push_back({r.Top, r.Left, cut.Top - 1, r.Right});
    if (r.Bottom > cut.Bottom) out.push_back({cut.Bottom + 1, r.Left, r.Bottom, r.Right});
    int top = std::max(r.Top, cut.Top), bottom = std::min(r.Bottom, cut.Bottom);
    if (r.Left < cut.Left) out.push_back({top, r.Left, bottom, cut.Left - 1});
    if (r.Right > cut.Right) out.push_back({top, cut.Right + 1, bottom, r.Right});
}

TCellRect Shifted(const TCellRect& r, int dRow, int dCol) {
    return {r.Top + dRow, r.Left + dCol, r.Bottom + dRow, r.Right + dCol};
}

}  // namespace tabrix::xl
