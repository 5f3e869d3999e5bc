#pragma once
// Every limit of the spreadsheet engine (workbook model and formula
// language) in one place, each with its reason. Messages that state a limit
// are formatted from these constants, and tests check the values at N and
// N + 1.

#include <cstddef>

namespace tabrix::xl {

// Rows and columns of a sheet of the xlsx format (1..1048576, A..XFD).
inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;

// The longest text of a cell, in UTF-16 units as the spreadsheet counts
// them (a character beyond the basic plane counts twice).
inline constexpr std::size_t kMaxCellChars = 32767;

// The tallest row the spreadsheet accepts, in points; taller heights in a
// file are ignored and taller heights set by a program are refused.
inline constexpr double kMaxRowHeightPoints = 409;

// The spreadsheet's longest formula, in characters (code points, counted
// the same way by the parser and by the sheet store).
inline constexpr std::size_t kMaxFormulaChars = 8192;

// Days between the 1900 and the 1904 date systems: serial 0 of a 1904
// workbook is serial 1462 of a 1900 one.
inline constexpr int kDate1904Offset = 1462;

// Nesting of a formula's brackets and calls. The spreadsheet allows 64
// levels of calls; deeper than any workbook holds, the limit keeps hostile
// input from exhausting the parser's stack.
inline constexpr int kMaxFormulaNesting = 200;

// Formulas that refer forward nest the evaluation; beyond this depth the
// value is left for the spreadsheet to compute when it opens the file.
inline constexpr int kMaxEvaluationDepth = 200;

// Names that refer to names stop here (a name defined through itself).
inline constexpr int kMaxNameDepth = 8;

// Elements of the workbook's XML nest a few levels; anything far deeper is
// hostile and refused before it is walked.
inline constexpr int kMaxXmlDepth = 256;

}  // namespace tabrix::xl
