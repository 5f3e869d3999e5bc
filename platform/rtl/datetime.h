#pragma once
// TDateTime: days since 1899-12-30 as a double, the fraction is the time of
// day. Also the spreadsheet's serial date in the 1900 date system from
// 1900-03-01 on.

#include <string>
#include <string_view>

#include "platform/rtl/locale.h"

namespace tabrix {

using TDateTime = double;

TDateTime Now();
TDateTime Date();

// Raise EConvertError for an impossible date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Tokens: d dd (day), m mm (month; minutes after h or before s), yy yyyy,
// h hh, n nn (minutes), s ss, z zzz (milliseconds), "/" date and ":" time
// separators of the settings, 'quoted' and "quoted" literals. Case ignored.
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings);

// Short date; long time; date plus time (time left out at midnight).
std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value);

// Text in the short date format of the settings (with an optional time
// after a blank) as a TDateTime.
bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& settings);
bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& settings);
bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& settings);

}  // namespace tabrix
