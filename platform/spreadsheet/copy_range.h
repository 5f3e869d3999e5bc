#pragma once
// Copying a rectangle of cells as a spreadsheet's copy and paste does:
// values, formulas with their relative references moved by the distance of
// the copy, styles (imported by content between workbooks of different
// origin), the merged areas that lie inside the source, the conditional
// formats, validations, hyperlinks, notes and
// the pictures and shapes anchored in the source. Row heights are
// not copied. Source and destination may overlap.

#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

// Raises ESpreadsheetError when the destination would lie beyond the sheet.
void CopyRange(const TWorksheet& source, const TCellRect& from, TWorksheet& target, int toRow, int toColumn);

}  // namespace tabrix::xl
