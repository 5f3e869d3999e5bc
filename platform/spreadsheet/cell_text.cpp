#include "platform/spreadsheet/cell_text.h"

#include <cmath>

#include "platform/rtl/convert.h"
#include "platform/rtl/datetime.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix::xl {

namespace {

const TFormatSettings& EnglishSettings() {
    static const TFormatSettings s = TFormatSettings::Invariant();
    return s;
}

const TFormatSettings& SettingsFor(TTextForm form, const TFormatSettings& local) {
    return form == TTextForm::Local ? local : EnglishSettings();
}

TFormulaDialect DialectFor(TTextForm form, const TFormatSettings& settings) {
    return form == TTextForm::Local ? TFormulaDialect::Local(settings) : TFormulaDialect::English();
}

// The locale's short date as a number format code ("dd.mm.yyyy").
std::string DateFormatCode(const TFormatSettings& s) {
    std::string code;
    for (char c : s.ShortDateFormat) {
        if (c == '/') {
            code.push_back('\\');
            code.push_back(s.DateSeparator);
        } else {
            code.push_back(c);
        }
    }
    return code;
}

// Applies the fitting format only where the cell shows numbers generally,
// as the spreadsheet does.
void TakeFormat(TWorksheet& sheet, int row, int column, std::string_view code) {
    if (code.empty()) return;
    TStyles& styles = sheet.Workbook().Styles();
    uint32_t xf = sheet.Style(row, column);
    if (styles.NumberFormatKind(xf) != TNumberFormatKind::General) return;
    sheet.SetStyle(row, column, styles.WithNumberFormat(xf, code));
}

double ToSerial(const TWorksheet& sheet, TDateTime value) {
    return sheet.Workbook().Date1904() ? value - kDate1904Offset : value;
}

TDateTime FromSerial(const TWorksheet& sheet, double serial) {
    return sheet.Workbook().Date1904() ? serial + kDate1904Offset : serial;
}

// A block retypes the formulas its copies brought (a row's "=C6*D6"): when
// the text is the cell's own formula and both forms read it alike, the cell
// keeps it as it is, without a parse and a new formula.
bool HoldsSameFormula(const TWorksheet& sheet, int row, int column, std::string_view text,
                      const TFormulaDialect& dialect) {
    const TFormulaDialect english = TFormulaDialect::English();
    if (dialect.ListSeparator != english.ListSeparator || dialect.DecimalSeparator != english.DecimalSeparator ||
        dialect.ArrayColumnSeparator != english.ArrayColumnSeparator ||
        dialect.ArrayRowSeparator != english.ArrayRowSeparator)
        return false;
    const TCell* cell = sheet.FindCell(row, column);
    if (!cell || cell->Kind != TCellKind::Formula) return false;
    const TCellFormula& formula = sheet.FormulaOf(*cell);
    return formula.Type == TCellFormula::TType::Normal && formula.SharedIndex < 0 && formula.Text == text;
}

// A cell shown as text ("@") keeps what is typed as text; false for others.
bool EnterShownAsText(TWorksheet& sheet, int row, int column, std::string_view utf8) {
    if (sheet.Workbook().Styles().NumberFormatKind(sheet.Style(row, column)) != TNumberFormatKind::Text) return false;
    if (utf8.empty()) {
        sheet.ClearContents(row, column);
        return true;
    }
    if (utf8.front() == '\'') utf8.remove_prefix(1);
    sheet.SetString(row, column, utf8);
    return true;
}

void EnterInput(TWorksheet& sheet, int row, int column, const TTypedInput& input, TTextForm form,
                const TFormatSettings& settings) {
    switch (input.kind) {
        case TTypedInput::Kind::Empty:
            sheet.ClearContents(row, column);
            break;
        case TTypedInput::Kind::Text:
            sheet.SetString(row, column, input.text);
            break;
        case TTypedInput::Kind::Boolean:
            sheet.SetBoolean(row, column, input.boolean);
            break;
        case TTypedInput::Kind::Number: {
            // Dates are typed in the 1900 system; a 1904 workbook counts from later.
            TNumberFormatKind kind = TStyles::ClassifyFormat(input.numberFormat);
            bool date = kind == TNumberFormatKind::Date || kind == TNumberFormatKind::DateTime;
            sheet.SetNumber(row, column, date ? ToSerial(sheet, input.number) : input.number);
            TakeFormat(sheet, row, column, input.numberFormat);
            break;
        }
        case TTypedInput::Kind::Formula: {
            if (HoldsSameFormula(sheet, row, column, input.text, DialectFor(form, settings))) break;
            std::string english;
            try {
                english = form == TTextForm::English
                              ? FormatFormula(ParseFormula(input.text, TFormulaDialect::English()),
                                              TFormulaDialect::English())
                              : TranslateFormula(input.text, DialectFor(form, settings), TFormulaDialect::English());
            } catch (const Exception& e) {
                sheet.ThrowAt(row, column, "formula \"=" + input.text + "\": " + e.Message());
            }
            sheet.SetFormula(row, column, english);
            break;
        }
    }
}

}  // namespace

void EnterText(TWorksheet& sheet, int row, int column, std::string_view utf8, TTextForm form,
               const TFormatSettings& settings) {
    if (EnterShownAsText(sheet, row, column, utf8)) return;
    thread_local TTypedInput input;
    ParseTypedInput(utf8, SettingsFor(form, settings), input);
    EnterInput(sheet, row, column, input, form, settings);
}

void ReadTypedText(const Variant& value, TTextForm form, const TFormatSettings& settings, TTypedText& read) {
    read.IsText = false;
    if (const AnsiString* a = value.AnsiStringPtr())
        read.Utf8.assign(*a);
    else if (const UnicodeString* u = value.UnicodeStringPtr())
        read.Utf8 = UnicodeToUtf8(*u);
    else
        return;
    read.IsText = true;
    ParseTypedInput(read.Utf8, SettingsFor(form, settings), read.Input);
}

void EnterVariant(TWorksheet& sheet, int row, int column, const Variant& value, const TTypedText& read, TTextForm form,
                  const TFormatSettings& settings) {
    if (!read.IsText) {
        EnterVariant(sheet, row, column, value, form, settings);
        return;
    }
    if (EnterShownAsText(sheet, row, column, read.Utf8)) return;
    EnterInput(sheet, row, column, read.Input, form, settings);
}

void EnterVariant(TWorksheet& sheet, int row, int column, const Variant& value, TTextForm form,
                  const TFormatSettings& settings) {
    switch (value.VarType()) {
        case TVarType::varEmpty:
        case TVarType::varNull:
            sheet.ClearContents(row, column);
            break;
        case TVarType::varString:
            EnterText(sheet, row, column, *value.AnsiStringPtr(), form, settings);
            break;
        case TVarType::varUString:
            EnterText(sheet, row, column, UnicodeToUtf8(*value.UnicodeStringPtr()), form, settings);
            break;
        case TVarType::varInteger:
        case TVarType::varDouble:
        case TVarType::varCurrency:
            sheet.SetNumber(row, column, value.AsDouble());
            break;
        case TVarType::varBoolean:
            sheet.SetBoolean(row, column, value.AsBoolean());
            break;
        case TVarType::varDate: {
            TDateTime d = value.AsDateTime();
            sheet.SetNumber(row, column, ToSerial(sheet, d));
            bool hasTime = std::floor(d) != d;
            bool hasDate = std::floor(d) != 0;
            std::string code = hasDate ? DateFormatCode(settings) : std::string();
            if (hasTime) code += hasDate ? " h:mm" : "h:mm:ss";
            TakeFormat(sheet, row, column, code);
            break;
        }
    }
}

std::string CellText(const TWorksheet& sheet, int row, int column, TTextForm form, const TFormatSettings& settings) {
    const TCell* cell = sheet.FindCell(row, column);
    if (!cell) return {};
    const TFormatSettings& s = SettingsFor(form, settings);
    switch (cell->Kind) {
        case TCellKind::Empty:
            return {};
        case TCellKind::String:
            return std::string(sheet.StringOf(*cell));
        case TCellKind::Boolean:
            return cell->Number != 0 ? "TRUE" : "FALSE";
        case TCellKind::Error:
            return std::string(TWorksheet::ErrorCode(cell->Index));
        case TCellKind::Formula: {
            const std::string& text = sheet.FormulaOf(*cell).Text;
            if (form == TTextForm::English) return "=" + text;
            try {
                return "=" + TranslateFormula(text, TFormulaDialect::English(), TFormulaDialect::Local(settings),
                                              TParseOptions{true, false});
            } catch (const Exception&) {
                return "=" + text;  // a formula of the file our parser does not read stays as written
            }
        }
        case TCellKind::Number:
            break;
    }
    double number = cell->Number;
    TStyles& styles = sheet.Workbook().Styles();
    switch (styles.NumberFormatKind(cell->Style)) {
        case TNumberFormatKind::Date:
        case TNumberFormatKind::DateTime:
        case TNumberFormatKind::Time: {
            TDateTime d = FromSerial(sheet, number);
            if (d < 0 || d > 2958465) break;  // outside the calendar: shown as a number
            bool hasTime = std::floor(d) != d;
            if (std::floor(number) == 0 && hasTime) return FormatDateTime(s.LongTimeFormat, d, s);
            std::string text = FormatDateTime(s.ShortDateFormat, d, s);
            if (hasTime) text += " " + FormatDateTime(s.LongTimeFormat, d, s);
            return text;
        }
        case TNumberFormatKind::Percent: {
            std::string text = FloatToStr(number * 100, s);
            return text + "%";
        }
        default:
            break;
    }
    return FloatToStr(number, s);
}

}  // namespace tabrix::xl
