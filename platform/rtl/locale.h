#pragma once
// The user's locale settings (the platform's FormatSettings): read once from
// the environment's locale (LC_ALL / LC_NUMERIC / LC_TIME), replaceable for
// tests and for programs that want fixed settings.

#include <array>
#include <string>
#include <string_view>

namespace tabrix {

struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char ListSeparator = ',';  // ';' where the decimal separator is ','
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "mm/dd/yyyy";  // tokens d dd m mm yy yyyy; "/" is DateSeparator
    std::string LongTimeFormat = "h:mm:ss";
    std::string ShortTimeFormat = "h:mm";
    // Names of months (January first) and days (Sunday first) in the user's
    // language, UTF-8, for the number formats "mmm", "mmmm", "ddd" and "dddd".
    std::array<std::string, 12> LongMonthNames = {"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};
    std::array<std::string, 12> ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 7> LongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
    std::array<std::string, 7> ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    // The letters of days and years in the format codes the user types in
    // TEXT (German "TT.MM.JJJJ"); 0 where the engine does not know them for
    // the user's language, so that TEXT with day or year codes gets no value.
    char DayCode = 'd';
    char YearCode = 'y';

    // Settings of a named POSIX locale ("de_DE.UTF-8"); "" is the
    // environment's. An unknown locale gives the settings of "C".
    static TFormatSettings FromLocale(const std::string& name);
    // Fixed settings of the "C" locale.
    static TFormatSettings Invariant();
};

// The settings in force; read from the environment on first use.
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Locale 1024 of the spreadsheet calls: the user's default locale.
constexpr int kUserDefaultLocale = 1024;

// Sets the settings for the lifetime of the object (tests).
class TFormatSettingsScope {
public:
    explicit TFormatSettingsScope(const TFormatSettings& settings);
    ~TFormatSettingsScope();
    TFormatSettingsScope(const TFormatSettingsScope&) = delete;
    TFormatSettingsScope& operator=(const TFormatSettingsScope&) = delete;

private:
    TFormatSettings FSaved;
};

}  // namespace tabrix
