#include "cells/cell_address.h"

#include <charconv>

#include "cells/column_letters.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/ascii.h"
#include "platform/rtl/format.h"

namespace tabrix {

namespace {}  // namespace

AnsiString TabrixGetRange(int row, int column) {
    if (column < 1 || column > kMaxAddressColumn) throw ETabrixError(Format(SWrongColumn, {column}));
    AnsiString result;
    cells_detail::AppendColumnLetters(column, result);
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

}  // namespace tabrix
