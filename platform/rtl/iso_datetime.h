#pragma once
// Dates and times in the ISO 8601 form that databases, data files and the
// date cells of workbooks write ("2024-01-31", "13:45:00.250",
// "2024-01-31 13:45:00", "2024-01-31T13:45:00.5Z"), read and written
// independently of the user's locale. This is the one reader of that form:
// the data sets, the parameters of the command line and the sheet reader all
// go through TryReadIsoDateTime.
//
// What is read: a date yyyy-mm-dd (four-digit year 1..9999); a time
// hh:mm[:ss[(.|,)fraction]] (24-hour clock, 00..23; any number of fraction
// digits) followed by an optional zone "Z", "+hh", "+hhmm" or "+hh:mm" (or
// "-"), which is checked and left out: the wall time is what the source
// shows; a date-time is a date, "T" or a blank, a time. Nothing may follow.
//
//   TIsoDateTime parts;
//   if (TryReadIsoDateTime("2024-01-31T13:45:30.25Z", TIsoForm::DateTime, parts))
//       ...  // parts.Year 2024, parts.Hour 13, parts.Millisecond 250, parts.Fraction 0.25
//   TDateTime value;
//   TryParseIsoDateTime("2024-01-31 13:45", value);  // to the millisecond

#include <string>
#include <string_view>

#include "platform/rtl/datetime.h"

namespace tabrix {

// The parts of a text read; a value type. Month and day are 1-based, hour,
// minute and second count from 0 as on a clock. The time parts are 0 where
// the text holds a date alone.
struct TIsoDateTime {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0;
    int Millisecond = 0;  // the first three digits of the fraction; the rest is cut off
    double Fraction = 0;  // the fraction of the second with every digit, 0 <= Fraction < 1
    bool HasDate = false, HasTime = false;

    // Seconds since midnight with the whole fraction.
    double SecondsOfDay() const { return Hour * 3600.0 + Minute * 60.0 + Second + Fraction; }
};

// Which forms a reader takes: a date alone, a time alone, or a date with an
// optional time.
enum class TIsoForm { Date, Time, DateTime };

// False (parts unchanged) where the text is not wholly of the form or names
// an impossible date or time (2023-02-29, 25:00).
bool TryReadIsoDateTime(std::string_view text, TIsoForm form, TIsoDateTime& parts);

// The same as a TDateTime to the millisecond (the fraction cut off after
// three digits); value unchanged where they return false.
bool TryParseIsoDate(std::string_view text, TDateTime& value);
bool TryParseIsoTime(std::string_view text, TDateTime& value);
// A date alone is accepted too (midnight).
bool TryParseIsoDateTime(std::string_view text, TDateTime& value);

std::string IsoDateText(TDateTime value);      // 2024-01-31
std::string IsoTimeText(TDateTime value);      // 13:45:00 or 13:45:00.250
std::string IsoDateTimeText(TDateTime value);  // 2024-01-31 13:45:00[.250]

}  // namespace tabrix
