#pragma once
// The two written forms of a formula and the error of the formula layer.

#include "platform/rtl/exceptions.h"
#include "platform/rtl/locale.h"
#include "platform/spreadsheet/limits.h"

namespace tabrix::xl {

// Says what is wrong, at which position (1-based character), in which formula.
TABRIX_EXCEPTION_CLASS(EFormulaError, Exception);

struct TFormulaDialect {
    char ListSeparator = ',';
    char DecimalSeparator = '.';
    char ArrayColumnSeparator = ',';
    char ArrayRowSeparator = ';';
    // Newer functions carry the "_xlfn." prefix in files ("_xlfn.CONCAT");
    // a user types and reads them without it. Parsing accepts both forms.
    bool FunctionPrefixes = true;

    // The form stored in files and used by Range.Formula: ',' and '.'.
    static TFormulaDialect English();
    // The user's form (Range.FormulaLocal): separators from the locale,
    // English function names without file prefixes. Where the decimal
    // separator is ',' the list separator is ';' and array columns are
    // separated by '.'.
    static TFormulaDialect Local(const TFormatSettings& settings);
};

}  // namespace tabrix::xl
