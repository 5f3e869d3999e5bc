#pragma once
// Cells as a user types and reads them: the engine side of FormulaLocal and
// Formula. Entering treats a text as typed in the given locale ("=" starts a
// formula that must parse, numbers, percentages, dates, times and Booleans
// become values keeping the cell's number format or taking a fitting one, a
// leading apostrophe forces text, "" clears the content and keeps the style;
// a cell formatted as text "@" keeps what is typed as text). Other variants
// are written as their type. Reading gives the text the user would type to
// get the cell back.

#include <string>
#include <string_view>

#include "platform/rtl/locale.h"
#include "platform/rtl/variant.h"
#include "platform/spreadsheet/formula/typed_input.h"
#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

// Local form: the locale's separators (FormulaLocal). English form: ","
// and "." (Formula). Function names are English in both.
enum class TTextForm : uint8_t { Local, English };

// Raises ESpreadsheetError naming the sheet, the cell and the formula when
// a formula does not parse.
void EnterText(TWorksheet& sheet, int row, int column, std::string_view utf8, TTextForm form,
               const TFormatSettings& settings);
void EnterVariant(TWorksheet& sheet, int row, int column, const Variant& value, TTextForm form,
                  const TFormatSettings& settings);

// A value's text read as typed input before its cell is written: the half
// of EnterVariant that touches no workbook, so that it may run on another
// thread while the cells are still being formatted.
struct TTypedText {
    bool IsText = false;  // a text value; the others are entered as their type
    std::string Utf8;     // the text
    TTypedInput Input;    // what it reads as, unless the cell shows text ("@")
};
void ReadTypedText(const Variant& value, TTextForm form, const TFormatSettings& settings, TTypedText& read);
// EnterVariant of value with its text read ahead by ReadTypedText.
void EnterVariant(TWorksheet& sheet, int row, int column, const Variant& value, const TTypedText& read, TTextForm form,
                  const TFormatSettings& settings);

// "=SUM(A1;B2)" for a formula (in the form asked for), the value as typed
// for a constant (numbers with the locale's separator, dates in the short
// date format when the cell shows a date), "" for an empty cell.
std::string CellText(const TWorksheet& sheet, int row, int column, TTextForm form, const TFormatSettings& settings);

}  // namespace tabrix::xl
