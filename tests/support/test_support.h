#pragma once
// What tests, benchmarks and fuzzers of every layer share: fixed locale
// settings (so that no test depends on the locales a machine has), and the
// message of a raised error. Header only; it needs nothing but platform/rtl.
//
//   TFormatSettingsScope de(tabrix::testing::GermanSettings());
//   EXPECT_EQ(tabrix::testing::RaisedMessage<ETabrixError>([] { TabrixGetRangeRow("7"); }),
//             "Wrong range: \"7\". ");

#include <string>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/locale.h"

namespace tabrix::testing {

// de_DE: "," decimals, "." thousands and dates, ";" lists, 24-hour times.
inline TFormatSettings GermanSettings() {
    TFormatSettings s;
    s.DecimalSeparator = ',';
    s.ThousandSeparator = '.';
    s.ListSeparator = ';';
    s.DateSeparator = '.';
    s.TimeSeparator = ':';
    s.ShortDateFormat = "dd/mm/yyyy";
    s.LongTimeFormat = "hh:nn:ss";
    s.ShortTimeFormat = "hh:nn";
    s.LongMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    s.ShortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    s.LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    s.ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    s.DayCode = 'T';
    s.YearCode = 'J';
    return s;
}

// en_US: "." decimals, "," thousands and lists, month first.
inline TFormatSettings UsSettings() {
    TFormatSettings s;
    s.DecimalSeparator = '.';
    s.ThousandSeparator = ',';
    s.ListSeparator = ',';
    s.DateSeparator = '/';
    s.ShortDateFormat = "mm/dd/yyyy";
    return s;
}

// The message of the E that step raises, or noError when it raises none.
// Any other exception passes on, so the test fails with it.
template <class E = Exception, class F>
std::string RaisedMessage(F&& step, std::string noError = "no error") {
    try {
        std::forward<F>(step)();
    } catch (const E& e) {
        return e.Message();
    }
    return noError;
}

}  // namespace tabrix::testing
