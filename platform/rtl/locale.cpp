#include "platform/rtl/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <memory>
#include <optional>

namespace tabrix {

namespace {

// Turns an strftime date format ("%d.%m.%Y") into the platform's tokens
// ("dd.mm.yyyy"). Two-digit years become four digits: a short date must
// read back as the same day, and "yy" cannot say which century.
std::string DateFormatFromStrftime(std::string_view f, char& separator) {
    std::string out;
    bool sawSeparator = false;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '%' && i + 1 < f.size()) {
            char c = f[++i];
            if (c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0') {
                if (i + 1 >= f.size()) break;
                c = f[++i];
            }
            switch (c) {
                case 'd':
                    out += "dd";
                    break;
                case 'e':
                    out += "d";
                    break;
                case 'm':
                    out += "mm";
                    break;
                case 'y':
                case 'Y':
                case 'C':
                    out += "yyyy";
                    break;
                case 'D':
                    out += "mm/dd/yyyy";
                    if (!sawSeparator) {
                        separator = '/';
                        sawSeparator = true;
                    }
                    break;
                case 'F':
                    out += "yyyy-mm-dd";
                    if (!sawSeparator) {
                        separator = '-';
                        sawSeparator = true;
                    }
                    break;
                default:
                    break;  // weekday names and the like are not part of a short date
            }
        } else {
            const unsigned char ch = static_cast<unsigned char>(f[i]);
            if (ch >= 0x80) continue;  // non-ASCII decoration
            if (!sawSeparator && (f[i] == '.' || f[i] == '/' || f[i] == '-')) {
                separator = f[i];
                sawSeparator = true;
            }
            out += f[i] == separator ? '/' : f[i];
        }
    }
    // Keep a date of day, month and year; anything else falls back.
    if (out.find('d') == std::string::npos || out.find('m') == std::string::npos || out.find('y') == std::string::npos)
        return "mm/dd/yyyy";
    // Trim decorations such as a trailing separator ("dd.mm.yyyy.").
    while (!out.empty() && (out.back() == '/' || out.back() == ' ')) out.pop_back();
    return out;
}

char AsciiOr(const char* s, char fallback) {
    if (!s || !*s) return fallback;
    const unsigned char c = static_cast<unsigned char>(s[0]);
    return (c < 0x80 && s[1] == '\0') ? s[0] : fallback;
}

// Month and day names of the locale; "C" keeps the English defaults.
void ReadNames(locale_t time, TFormatSettings& s) {
    static constexpr nl_item kMon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                         MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr nl_item kAbMon[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                           ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr nl_item kDay[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    static constexpr nl_item kAbDay[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    const auto set = [&](std::string& to, nl_item item) {
        const char* v = nl_langinfo_l(item, time);
        if (v && *v) to = v;
    };
    for (int i = 0; i < 12; ++i)
        set(s.LongMonthNames[std::size_t(i)], kMon[i]), set(s.ShortMonthNames[std::size_t(i)], kAbMon[i]);
    for (int i = 0; i < 7; ++i)
        set(s.LongDayNames[std::size_t(i)], kDay[i]), set(s.ShortDayNames[std::size_t(i)], kAbDay[i]);
}

std::optional<TFormatSettings>& Current() {
    static std::optional<TFormatSettings> settings;
    return settings;
}

}  // namespace

TFormatSettings TFormatSettings::Invariant() {
    TFormatSettings s;
    s.ShortDateFormat = "mm/dd/yyyy";
    return s;
}

TFormatSettings TFormatSettings::FromLocale(const std::string& name) {
    TFormatSettings s = Invariant();
    locale_t numeric = nullptr;
    locale_t time = nullptr;
    if (name.empty()) {
        numeric = newlocale(LC_NUMERIC_MASK, "", nullptr);
        time = newlocale(LC_TIME_MASK, "", nullptr);
    } else {
        numeric = newlocale(LC_NUMERIC_MASK, name.c_str(), nullptr);
        time = newlocale(LC_TIME_MASK, name.c_str(), nullptr);
    }
    if (numeric) {
        s.DecimalSeparator = AsciiOr(nl_langinfo_l(RADIXCHAR, numeric), '.');
        // A locale without grouping (C, POSIX) says nothing; the spreadsheet
        // then groups with the separator that is not the decimal one.
        const char* group = nl_langinfo_l(THOUSEP, numeric);
        s.ThousandSeparator = AsciiOr(group, group && *group ? ' ' : (s.DecimalSeparator == ',' ? '.' : ','));
        if (s.ThousandSeparator == s.DecimalSeparator) s.ThousandSeparator = ' ';
        freelocale(numeric);
    }
    s.ListSeparator = s.DecimalSeparator == ',' ? ';' : ',';
    if (time) {
        char sep = '/';
        s.ShortDateFormat = DateFormatFromStrftime(nl_langinfo_l(D_FMT, time), sep);
        s.DateSeparator = sep;
        ReadNames(time, s);
        freelocale(time);
        // The names tell the language: its letters for days and years in
        // format codes are known for English and German only.
        if (s.LongMonthNames[0] == "Januar" || s.LongMonthNames[0] == "Jänner") {
            s.DayCode = 'T';
            s.YearCode = 'J';
        } else if (s.LongMonthNames[0] != "January") {
            s.DayCode = s.YearCode = 0;
        }
    }
    return s;
}

const TFormatSettings& FormatSettings() {
    auto& current = Current();
    if (!current) current = TFormatSettings::FromLocale("");
    return *current;
}

void SetFormatSettings(const TFormatSettings& settings) { Current() = settings; }

TFormatSettingsScope::TFormatSettingsScope(const TFormatSettings& settings) : FSaved(FormatSettings()) {
    SetFormatSettings(settings);
}

TFormatSettingsScope::~TFormatSettingsScope() { SetFormatSettings(FSaved); }

}  // namespace tabrix
