#pragma once
// A value as a user types it into a cell in his locale.

#include <string>
#include <string_view>

#include "platform/rtl/locale.h"

namespace tabrix::xl {

// "=..." is a formula (text holds it without '='); numbers with the locale's
// decimal separator, thousands separators, sign and exponent; percentages
// ("12,5 %" -> 0.125 with format "0.0%"); dates and times in the locale's
// short date and time forms (serial number and a fitting format code such as
// "dd.mm.yyyy" or "h:mm"); TRUE/FALSE -> Boolean; a leading apostrophe forces
// text (without it); "" -> Empty; anything else is text. numberFormat is ""
// where the cell's own format should stay.
struct TTypedInput {
    enum class Kind { Empty, Formula, Number, Text, Boolean } kind = Kind::Empty;
    double number = 0;
    bool boolean = false;
    std::string text;
    std::string numberFormat;
};

TTypedInput ParseTypedInput(std::string_view utf8, const TFormatSettings& settings);
// Same, reusing the strings of result (no allocation for numbers and Booleans).
void ParseTypedInput(std::string_view utf8, const TFormatSettings& settings, TTypedInput& result);

}  // namespace tabrix::xl
