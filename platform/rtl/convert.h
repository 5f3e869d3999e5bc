#pragma once
// Conversions between numbers and text as the platform makes them: integers
// in plain decimal, floats in the general format (15 significant digits, the
// locale's decimal separator). Failing conversions raise EConvertError.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/locale.h"

namespace tabrix {

std::string IntToStr(int64_t value);
// Whole text as a 32-bit signed integer: optional sign, decimal digits (or
// "$" followed by hex digits), surrounding blanks allowed.
int StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int& value);
int StrToIntDef(std::string_view text, int fallback);
bool TryStrToInt64(std::string_view text, int64_t& value);

std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& settings);
// Text with the locale's decimal separator (and optional exponent) as a
// double; surrounding blanks allowed.
double StrToFloat(std::string_view text);
double StrToFloat(std::string_view text, const TFormatSettings& settings);
bool TryStrToFloat(std::string_view text, double& value);
bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& settings);

// Currency: a 64-bit integer holding value * 10000.
std::string CurrToStr(int64_t scaled);
std::string CurrToStr(int64_t scaled, const TFormatSettings& settings);

}  // namespace tabrix
