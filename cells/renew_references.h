#pragma once
// Moving the cell references of a formula text when its cell moves, as the
// spreadsheet does when it copies a cell: relative rows and columns shift by
// the offsets (whole-column ranges such as C:D by the column offset, whole-row
// ranges such as 5:7 by the row offset); "$" parts, quoted text, sheet names
// in apostrophes, bracketed parts and field references stay as written.

#include <string_view>

#include "platform/rtl/strings.h"

namespace tabrix {

// formula is a cell text; only a text beginning with "=" (or with fieldSign and
// "=") after trimming is treated, and only when an offset is not 0. A
// reference whose moved row or column would leave 1..65535 or 1..256 (A..IV)
// is kept unchanged, row and column together.
UnicodeString TabrixRenewCellReferences(std::u16string_view formula, int rowOffset, int colOffset, char fieldSign);

}  // namespace tabrix
