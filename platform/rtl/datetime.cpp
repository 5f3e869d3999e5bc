#include "platform/rtl/datetime.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>

#include <fmt/format.h>

#include "platform/rtl/ascii.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

namespace {

constexpr double kMsPerDay = 86400000.0;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);  // 1970 days of day 0

// Milliseconds of the time of day, rounded as the platform does.
int64_t TimeMs(TDateTime value) {
    double frac = std::fabs(value - std::trunc(value));
    int64_t ms = static_cast<int64_t>(std::llround(frac * kMsPerDay));
    return ms >= 86400000 ? 86399999 : ms;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    result = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r = 0;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        return false;
    result = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    TDateTime r = 0;
    if (!TryEncodeTime(hour, minute, second, millisecond, r)) throw EConvertError("Invalid argument to time encode");
    return r;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    CivilFromDays(static_cast<int64_t>(std::trunc(value)) + kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
    int64_t ms = TimeMs(value);
    millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    second = static_cast<int>(ms % 60);
    ms /= 60;
    minute = static_cast<int>(ms % 60);
    hour = static_cast<int>(ms / 60);
}

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    // A leap second (tm_sec 60, in "right/" zones) counts as the last second
    // of its minute, so that the clock never fails.
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime Date() { return std::trunc(Now()); }

std::string FormatDateTime(std::string_view format, TDateTime value) {
    return FormatDateTime(format, value, FormatSettings());
}

namespace {

// A number with leading zeros to `width` digits, as "{:0N}" formats it,
// without a formatting call per date part (dates of every report row).
void AppendPadded(std::string& out, int value, int width) {
    if (value < 0) {
        out += fmt::format("{:0{}}", value, width);
        return;
    }
    char buf[16];
    char* end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    for (int n = static_cast<int>(end - buf); n < width; ++n) out += '0';
    out.append(buf, end);
}

}  // namespace

std::string FormatDateTime(std::string_view f, TDateTime value, const TFormatSettings& settings) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, ms);
    std::string out;
    out.reserve(f.size() + 8);
    bool lastWasHour = false;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    for (size_t i = 0; i < f.size();) {
        const char c = lower(f[i]);
        size_t run = 1;
        while (i + run < f.size() && lower(f[i + run]) == c) ++run;
        switch (c) {
            case 'd':
                AppendPadded(out, day, run >= 2 ? 2 : 1);
                lastWasHour = false;
                break;
            case 'y':
                AppendPadded(out, run <= 2 ? year % 100 : year, run <= 2 ? 2 : 4);
                lastWasHour = false;
                break;
            case 'm': {
                // Minutes after an hour, or when seconds follow; else the month.
                size_t j = i + run;
                while (j < f.size() && !std::isalpha(static_cast<unsigned char>(f[j]))) ++j;
                const bool minutes = lastWasHour || (j < f.size() && lower(f[j]) == 's');
                const int v = minutes ? minute : month;
                AppendPadded(out, v, run >= 2 ? 2 : 1);
                lastWasHour = false;
                break;
            }
            case 'h':
                AppendPadded(out, hour, run >= 2 ? 2 : 1);
                lastWasHour = true;
                break;
            case 'n':
                AppendPadded(out, minute, run >= 2 ? 2 : 1);
                lastWasHour = false;
                break;
            case 's':
                AppendPadded(out, second, run >= 2 ? 2 : 1);
                lastWasHour = false;
                break;
            case 'z':
                AppendPadded(out, ms, run >= 3 ? 3 : 1);
                break;
            case '/':
                for (size_t k = 0; k < run; ++k) out += settings.DateSeparator;
                break;
            case ':':
                for (size_t k = 0; k < run; ++k) out += settings.TimeSeparator;
                break;
            case '"':
            case '\'': {
                const size_t end = f.find(f[i], i + 1);
                const size_t stop = end == std::string_view::npos ? f.size() : end;
                out.append(f.substr(i + 1, stop - i - 1));
                i = end == std::string_view::npos ? f.size() : end + 1;
                continue;
            }
            default:
                out.append(f.substr(i, run));
                break;
        }
        i += run;
    }
    return out;
}

std::string DateToStr(TDateTime value) { return FormatDateTime(FormatSettings().ShortDateFormat, value); }
std::string TimeToStr(TDateTime value) { return FormatDateTime(FormatSettings().LongTimeFormat, value); }

std::string DateTimeToStr(TDateTime value) {
    std::string s = DateToStr(value);
    if (TimeMs(value) != 0) s += ' ' + TimeToStr(value);
    return s;
}

bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& settings) {
    // Order of day, month and year as the short date format gives it.
    char order[3];
    int n = 0;
    for (char c : settings.ShortDateFormat) {
        const char l = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if ((l == 'd' || l == 'm' || l == 'y') && (n == 0 || order[n - 1] != l) && n < 3) order[n++] = l;
    }
    if (n != 3) {
        order[0] = 'm';
        order[1] = 'd';
        order[2] = 'y';
    }
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (i >= text.size() || text[i] != settings.DateSeparator) return false;
            ++i;
        }
        while (i < text.size() && ascii::IsDigit(text[i]) && digits[k] < 5) {
            parts[k] = parts[k] * 10 + (text[i] - '0');
            ++digits[k];
            ++i;
        }
        if (digits[k] == 0) return false;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return false;
    int year = 0, month = 0, day = 0;
    for (int k = 0; k < 3; ++k) {
        if (order[k] == 'd')
            day = parts[k];
        else if (order[k] == 'm')
            month = parts[k];
        else {
            year = parts[k];
            if (digits[k] <= 2) year += year < 30 ? 2000 : 1900;  // the spreadsheet's window
        }
    }
    return TryEncodeDate(year, month, day, value);
}

bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& settings) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    while (count < 3) {
        int digits = 0;
        while (i < text.size() && ascii::IsDigit(text[i]) && digits < 3) {
            parts[count] = parts[count] * 10 + (text[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0) return false;
        ++count;
        if (i < text.size() && text[i] == settings.TimeSeparator)
            ++i;
        else
            break;
    }
    if (count < 2) return false;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string_view rest = text.substr(i);
    if (rest == "PM" || rest == "pm" || rest == "AM" || rest == "am") {
        if (parts[0] < 1 || parts[0] > 12) return false;
        const bool pm = rest[0] == 'P' || rest[0] == 'p';
        parts[0] = parts[0] % 12 + (pm ? 12 : 0);
    } else if (!rest.empty()) {
        return false;
    }
    return TryEncodeTime(parts[0], parts[1], parts[2], 0, value);
}

bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& settings) {
    std::string_view t = text;
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    const size_t blank = t.find(' ');
    if (blank == std::string_view::npos) return TryStrToDate(t, value, settings);
    TDateTime d = 0, tm = 0;
    if (!TryStrToDate(t.substr(0, blank), d, settings)) return false;
    if (!TryStrToTime(t.substr(blank + 1), tm, settings)) return false;
    value = d + tm;
    return true;
}

}  // namespace tabrix
