#pragma once
// Dates and times as databases and data files write them (ISO 8601:
// "2024-01-31", "13:45:00.250", "2024-01-31 13:45:00" or with "T"), read
// and written independently of the user's locale.

#include <string>
#include <string_view>

#include "platform/rtl/datetime.h"

namespace tabrix {

// A trailing zone ("Z", "+01", "+01:00") is accepted and left out: the wall
// time is what the source shows.
bool TryParseIsoDate(std::string_view text, TDateTime& value);
bool TryParseIsoTime(std::string_view text, TDateTime& value);
// A date alone is accepted too (midnight).
bool TryParseIsoDateTime(std::string_view text, TDateTime& value);

std::string IsoDateText(TDateTime value);      // 2024-01-31
std::string IsoTimeText(TDateTime value);      // 13:45:00 or 13:45:00.250
std::string IsoDateTimeText(TDateTime value);  // 2024-01-31 13:45:00[.250]

}  // namespace tabrix
