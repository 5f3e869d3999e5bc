#pragma once
// Number format codes as the TEXT function applies them: up to four sections
// ("0.0;(0.0);-"), digit placeholders 0 # ?, grouping and scaling, percent,
// scientific ("0.000E+00"), fractions ("# ?/?"), General, literals, and date
// and time codes with the names of days and months in the user's language.
// The separators of the code are the locale's (German "#.##0,00").
//
//   std::string out;
//   if (FormatNumberCode(1234.5, "#,##0", FormatSettings(), out)) ...  // "1,235"

#include <string>
#include <string_view>

#include "platform/rtl/locale.h"

namespace tabrix::xl {

// False where the result is not certain (conditions, locale and currency
// codes, fill characters, AM/PM, an unknown code): the caller then leaves the
// value to the spreadsheet rather than guess.
bool FormatNumberCode(double x, std::string_view code, const TFormatSettings& settings, std::string& out);

// The date and time codes alone (d dd ddd dddd m ... mmmmm yy yyyy h hh mm ss).
bool FormatDateCode(double serial, std::string_view code, const TFormatSettings& settings, std::string& out);

// The General format: up to 15 significant digits, the locale's decimal separator.
std::string GeneralNumberText(double x, char decimalSeparator);

}  // namespace tabrix::xl
