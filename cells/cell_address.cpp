#include "cells/cell_address.h"

#include <charconv>

#include "cells/report_limits.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/ascii.h"
#include "platform/rtl/format.h"
#include "platform/spreadsheet/cell_address.h"

namespace tabrix {

namespace {

struct TCellParts {
    int Row = 0;
    int Column = 0;
};

// One cell of a band range; empty when it is one, else why not.
AnsiString CellFault(std::string_view cell, TCellParts& parts) {
    std::string_view s = cell;
    if (!s.empty() && s.front() == '$') s.remove_prefix(1);
    size_t letters = 0;
    while (letters < s.size() && ascii::IsUpperLetter(ascii::Upper(s[letters]))) ++letters;
    std::string_view rest = s.substr(letters);
    if (!rest.empty() && rest.front() == '$') rest.remove_prefix(1);
    int row = -1;
    const auto r = std::from_chars(rest.data(), rest.data() + rest.size(), row, 10);
    const bool digitsOnly = !rest.empty() && ascii::IsDigit(rest.front()) && r.ptr == rest.data() + rest.size();
    if (letters == 0 || !digitsOnly || r.ec != std::errc())
        return Format("\"%s\" is no cell address", {AnsiString(cell)});
    if (letters > 2)
        return Format("column %s of %s is beyond ZZ, the last column a band can name",
                      {AnsiString(s.substr(0, letters)), AnsiString(cell)});
    if (row < 1) return Format("row %d of %s is before row 1", {row, AnsiString(cell)});
    parts.Row = row;
    parts.Column = TabrixGetRangeColumn(cell);
    return {};
}

}  // namespace

AnsiString TabrixGetRange(int row, int column) {
    if (column < 1 || column > kMaxAddressColumn) throw ETabrixError(Format(SWrongColumn, {column}));
    AnsiString result;
    xl::AppendColumnLetters(result, column);
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, row);
    result.append(digits, r.ptr);
    return result;
}

int TabrixGetRangeColumn(std::string_view cell) {
    std::string_view s = cell;
    if (!s.empty() && s.front() == '$') s.remove_prefix(1);
    if (s.empty() || !ascii::IsUpperLetter(ascii::Upper(s[0]))) throw ETabrixError(Format(SWrongRange, {cell}));
    int column = ascii::Upper(s[0]) - 'A' + 1;
    if (s.size() > 1 && ascii::IsUpperLetter(ascii::Upper(s[1]))) column = column * 26 + (ascii::Upper(s[1]) - 'A' + 1);
    return column;
}

int TabrixGetRangeRow(std::string_view cell) {
    size_t first = 0;
    while (first < cell.size() && !ascii::IsDigit(cell[first])) ++first;
    if (first == cell.size()) throw ETabrixError(Format(SRowNotDefined, {cell}));
    // Plain decimal digits to the end: no sign, no hex, no blanks.
    int row = 0;
    const char* begin = cell.data() + first;
    const char* end = cell.data() + cell.size();
    const auto r = std::from_chars(begin, end, row, 10);
    if (r.ec != std::errc() || r.ptr != end) throw ETabrixError(Format(SWrongRange, {cell}));
    return row;
}

AnsiString TabrixGetRangeFirst(std::string_view range) {
    const size_t colon = range.find(':');
    return AnsiString(colon == std::string_view::npos ? range : range.substr(0, colon));
}

AnsiString TabrixGetRangeLast(std::string_view range) {
    const size_t colon = range.find(':');
    if (colon == std::string_view::npos || colon + 1 == range.size()) return AnsiString(range);
    return AnsiString(range.substr(colon + 1));
}

AnsiString TabrixRangeFault(std::string_view range) {
    const AnsiString text = Trim(range);
    if (text.empty()) return {};
    if (text.find(',') != AnsiString::npos) return "a band is one block of cells, not a list of them";
    const size_t colon = text.find(':');
    const std::string_view first = std::string_view(text).substr(0, colon);
    const std::string_view last = colon == AnsiString::npos ? first : std::string_view(text).substr(colon + 1);
    TCellParts topLeft, bottomRight;
    if (AnsiString why = CellFault(first, topLeft); !why.empty()) return why;
    if (AnsiString why = CellFault(last, bottomRight); !why.empty()) return why;
    if (topLeft.Row > bottomRight.Row || topLeft.Column > bottomRight.Column)
        return Format("%s is not the top left cell of the block up to %s", {AnsiString(first), AnsiString(last)});
    return {};
}

}  // namespace tabrix
