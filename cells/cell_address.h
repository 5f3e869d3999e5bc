#pragma once
// A1 cell addresses and ranges: "AB300", "$A$1", "A1:H3". Columns and rows
// count from 1; at most two column letters (A..ZZ, columns 1..702).

#include <string_view>

#include "platform/rtl/strings.h"

namespace tabrix {

// The address of a cell, upper case and without "$": row 3, column 28 is
// "AB3". A column outside 1..702 raises ETabrixError.
AnsiString TabrixGetRange(int row, int column);

// The column of a cell address: one leading "$" is skipped, letters may be
// lower case, a third letter and anything after it is not looked at.
int TabrixGetRangeColumn(std::string_view cell);

// The row: the whole text from the first digit on, as a decimal integer.
int TabrixGetRangeRow(std::string_view cell);

// The text before the first colon, or the whole range when it has none.
AnsiString TabrixGetRangeFirst(std::string_view range);

// The text after the first colon (further colons included), or the whole
// range when it has no colon or the colon is its last character.
AnsiString TabrixGetRangeLast(std::string_view range);

// Why a band's range is no block of cells these routines read the same way
// the spreadsheet does: one cell or two cells joined by ":", each one or
// two letters (each with an optional "$") and a row from 1, the first cell
// the top left one. Empty when it is such a block, or blank.
//   TabrixRangeFault("A1:F3") == ""; TabrixRangeFault("A0") == "row 0 of A0 is before row 1"
AnsiString TabrixRangeFault(std::string_view range);

}  // namespace tabrix
