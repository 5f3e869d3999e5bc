#include "platform/spreadsheet/formula/dialect.h"

namespace tabrix::xl {

TFormulaDialect TFormulaDialect::English() { return TFormulaDialect{}; }

TFormulaDialect TFormulaDialect::Local(const TFormatSettings& settings) {
    TFormulaDialect d;
    d.DecimalSeparator = settings.DecimalSeparator;
    d.ListSeparator = settings.ListSeparator;
    if (d.ListSeparator == d.DecimalSeparator || d.ListSeparator == '\0')
        d.ListSeparator = d.DecimalSeparator == ',' ? ';' : ',';
    // Array columns cannot share the decimal separator.
    d.ArrayColumnSeparator = d.DecimalSeparator == ',' ? '.' : ',';
    d.ArrayRowSeparator = ';';
    d.FunctionPrefixes = false;
    return d;
}

}  // namespace tabrix::xl
