// Typed input: what a spreadsheet makes of a text typed into a cell.

#include "platform/spreadsheet/formula/typed_input.h"
#include "platform/rtl/ascii.h"

#include <charconv>
#include <cmath>

#include "platform/rtl/datetime.h"

namespace tabrix::xl {

namespace {

using ascii::EqualsNoCase;
using ascii::IsDigit;
using ascii::Upper;

std::string_view TrimBlanks(std::string_view s) noexcept {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

struct TNumber {
    double Value = 0;
    int Decimals = 0;
    bool Percent = false, Grouped = false, Exponent = false;
};

// Sign or parentheses, digits with the locale's thousands separators in groups
// of three, the decimal separator, an exponent, a trailing percent sign.
bool TryNumber(std::string_view s, const TFormatSettings& fs, TNumber& n) {
    char buf[72];
    std::size_t len = 0;
    std::size_t i = 0;
    bool negative = false, parens = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    else if (i < s.size() && s[i] == '(')
        parens = negative = true, ++i;
    if (parens) {
        if (s.back() != ')') return false;
        s.remove_suffix(1);
    }
    if (s.size() > 64) return false;
    const auto put = [&](char c) { buf[len++] = c; };
    if (negative) put('-');
    // Integer part.
    std::size_t groupDigits = 0, digits = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (IsDigit(c)) {
            put(c), ++digits, ++groupDigits, ++i;
        } else if (c == fs.ThousandSeparator && c != fs.DecimalSeparator && digits > 0 &&
                   (n.Grouped ? groupDigits == 3 : groupDigits <= 3)) {
            // A separator must be followed by exactly three digits.
            if (i + 3 >= s.size() || !IsDigit(s[i + 1]) || !IsDigit(s[i + 2]) || !IsDigit(s[i + 3])) return false;
            n.Grouped = true, groupDigits = 0, ++i;
        } else {
            break;
        }
    }
    if (n.Grouped && groupDigits != 3) return false;
    // Fraction.
    if (i < s.size() && s[i] == fs.DecimalSeparator) {
        ++i;
        put('.');
        while (i < s.size() && IsDigit(s[i])) put(s[i++]), ++digits, ++n.Decimals;
    }
    if (digits == 0) return false;
    // Exponent.
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        std::size_t k = i + 1;
        put('e');
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) put(s[k++]);
        if (k >= s.size() || !IsDigit(s[k])) return false;
        while (k < s.size() && IsDigit(s[k])) put(s[k++]);
        n.Exponent = true;
        i = k;
    }
    // Percent, maybe after a blank.
    std::size_t k = i;
    while (k < s.size() && s[k] == ' ') ++k;
    if (k < s.size() && s[k] == '%') {
        n.Percent = true;
        i = k + 1;
    }
    if (i != s.size()) return false;
    double v = 0;
    const auto r = std::from_chars(buf, buf + len, v);
    if (r.ec != std::errc() || r.ptr != buf + len || !std::isfinite(v)) return false;
    n.Value = n.Percent ? v / 100 : v;
    return true;
}

// Reads up to maxDigits digits at s[i]; false when there are none.
bool ReadInt(std::string_view s, std::size_t& i, int maxDigits, int& value, int& count) {
    value = 0, count = 0;
    while (i < s.size() && IsDigit(s[i]) && count < maxDigits) value = value * 10 + (s[i++] - '0'), ++count;
    return count > 0 && !(i < s.size() && IsDigit(s[i]));
}

enum class TDateOrder { DMY, MDY, YMD };

TDateOrder DateOrder(const std::string& format) {
    std::size_t d = format.find_first_of("dD"), m = format.find_first_of("mM"), y = format.find_first_of("yY");
    if (y != std::string::npos && (d == std::string::npos || y < d) && (m == std::string::npos || y < m))
        return TDateOrder::YMD;
    if (m != std::string::npos && d != std::string::npos && m < d) return TDateOrder::MDY;
    return TDateOrder::DMY;
}

// The short date format as a number format code: "/" becomes the locale's date separator.
void AppendShortDateCode(std::string& out, const TFormatSettings& fs) {
    for (char c : fs.ShortDateFormat) {
        if (c == '/')
            out += fs.DateSeparator;
        else
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
}

// Serial number of the 1900 date system; false for dates before 1900.
bool DateSerial(int year, int month, int day, double& serial) {
    if (year < 1900 || year > 9999) return false;
    TDateTime d = 0;
    if (!TryEncodeDate(year, month, day, d)) return false;
    // Before March 1900 the spreadsheet counts one day less (its 29 February 1900).
    serial = d < 61 ? d - 1 : d;
    return true;
}

enum class TDateKind { None, Full, DayMonth, MonthYear };

// A date in the locale's order at the start of s; i moves past it.
TDateKind TryDate(std::string_view s, std::size_t& i, const TFormatSettings& fs, double& serial) {
    int part[3], width[3];
    char sep = 0;
    int count = 0;
    std::size_t j = i;
    while (count < 3) {
        if (!ReadInt(s, j, 4, part[count], width[count])) return TDateKind::None;
        ++count;
        if (j >= s.size()) break;
        const char c = s[j];
        const bool isSep = c == fs.DateSeparator || c == '/' || c == '-' || (c == '.' && fs.DateSeparator == '.');
        if (!isSep || (sep != 0 && c != sep)) break;
        sep = c;
        if (count == 3) return TDateKind::None;
        ++j;
        if (j >= s.size() || !IsDigit(s[j])) {
            // "1.5." as typed in German.
            if (c != '.' || count != 2) return TDateKind::None;
            break;
        }
    }
    if (count < 2 || sep == 0) return TDateKind::None;
    const TDateOrder order = DateOrder(fs.ShortDateFormat);
    int year = 0, month = 0, day = 0, yearWidth = 4;
    TDateKind kind = TDateKind::Full;
    if (count == 3 && width[0] == 4) {  // ISO order is understood in every locale
        year = part[0], month = part[1], day = part[2];
    } else if (count == 3) {
        switch (order) {
            case TDateOrder::DMY:
                day = part[0], month = part[1], year = part[2], yearWidth = width[2];
                break;
            case TDateOrder::MDY:
                month = part[0], day = part[1], year = part[2], yearWidth = width[2];
                break;
            case TDateOrder::YMD:
                year = part[0], month = part[1], day = part[2], yearWidth = width[0];
                break;
        }
    } else if (width[1] == 4 || (order != TDateOrder::YMD && part[1] > 31 && part[0] <= 12)) {
        kind = TDateKind::MonthYear, month = part[0], year = part[1], day = 1, yearWidth = width[1];
    } else {
        kind = TDateKind::DayMonth;
        if (order == TDateOrder::MDY || order == TDateOrder::YMD)
            month = part[0], day = part[1];
        else
            day = part[0], month = part[1];
        int d = 0;
        DecodeDate(Date(), year, d, d);
    }
    if (yearWidth == 3) return TDateKind::None;
    if (yearWidth <= 2 && kind != TDateKind::DayMonth) year += year < 30 ? 2000 : 1900;
    if (!DateSerial(year, month, day, serial)) return TDateKind::None;
    i = j;
    return kind;
}

// h:mm, h:mm:ss, with fractions of seconds and AM/PM; i moves past it.
bool TryTime(std::string_view s, std::size_t& i, const TFormatSettings& fs, double& fraction, bool& seconds, bool& ampm,
             bool& over24) {
    std::size_t j = i;
    int h = 0, m = 0, sec = 0, w = 0;
    if (!ReadInt(s, j, 4, h, w)) return false;
    const auto isTimeSep = [&](char c) { return c == ':' || c == fs.TimeSeparator; };
    if (j >= s.size() || !isTimeSep(s[j])) return false;
    ++j;
    if (!ReadInt(s, j, 2, m, w) || m > 59) return false;
    seconds = false;
    double frac = 0;
    if (j < s.size() && isTimeSep(s[j])) {
        ++j;
        if (!ReadInt(s, j, 2, sec, w) || sec > 59) return false;
        seconds = true;
        if (j < s.size() && (s[j] == fs.DecimalSeparator) && j + 1 < s.size() && IsDigit(s[j + 1])) {
            ++j;
            double scale = 0.1;
            while (j < s.size() && IsDigit(s[j])) frac += (s[j++] - '0') * scale, scale /= 10;
        }
    }
    ampm = false;
    std::size_t k = j;
    while (k < s.size() && s[k] == ' ') ++k;
    if (k < s.size() && (Upper(s[k]) == 'A' || Upper(s[k]) == 'P')) {
        const bool pm = Upper(s[k]) == 'P';
        std::size_t e = k + 1;
        if (e < s.size() && Upper(s[e]) == 'M') ++e;
        if (h < 1 || h > 12) return false;
        h = (h % 12) + (pm ? 12 : 0);
        ampm = true;
        j = e;
    }
    over24 = h >= 24;
    fraction = (h * 3600.0 + m * 60.0 + sec + frac) / 86400.0;
    i = j;
    return true;
}

bool TryDateTime(std::string_view s, const TFormatSettings& fs, TTypedInput& out) {
    std::size_t i = 0;
    double serial = 0;
    const TDateKind date = TryDate(s, i, fs, serial);
    double time = 0;
    bool seconds = false, ampm = false, over24 = false, hasTime = false;
    if (date != TDateKind::None) {
        if (i < s.size()) {
            if (s[i] != ' ') return false;
            while (i < s.size() && s[i] == ' ') ++i;
            if (!TryTime(s, i, fs, time, seconds, ampm, over24) || over24) return false;
            hasTime = true;
        }
    } else {
        i = 0;
        if (!TryTime(s, i, fs, time, seconds, ampm, over24)) return false;
        hasTime = true;
    }
    if (i != s.size()) return false;
    out.kind = TTypedInput::Kind::Number;
    out.number = serial + time;
    out.numberFormat.clear();
    if (date == TDateKind::Full)
        AppendShortDateCode(out.numberFormat, fs);
    else if (date == TDateKind::DayMonth)
        out.numberFormat = "d-mmm";
    else if (date == TDateKind::MonthYear)
        out.numberFormat = "mmm-yy";
    if (hasTime) {
        if (date == TDateKind::DayMonth || date == TDateKind::MonthYear) return false;
        if (!out.numberFormat.empty()) out.numberFormat += ' ';
        out.numberFormat += over24 ? "[h]:mm" : "h:mm";
        if (seconds || over24) out.numberFormat += ":ss";
        if (ampm) out.numberFormat += " AM/PM";
    }
    return true;
}

void NumberFormatFor(const TNumber& n, std::string& format) {
    format.clear();
    const int decimals = n.Decimals > 10 ? 10 : n.Decimals;
    if (n.Percent) {
        format = "0";
        if (decimals > 0) format += '.', format.append(std::size_t(decimals), '0');
        format += '%';
    } else if (n.Exponent) {
        format = "0.00E+00";
    } else if (n.Grouped) {
        format = decimals > 0 ? "#,##0.00" : "#,##0";
    }
}

}  // namespace

void ParseTypedInput(std::string_view utf8, const TFormatSettings& settings, TTypedInput& result) {
    result.number = 0;
    result.boolean = false;
    result.text.clear();
    result.numberFormat.clear();
    if (utf8.empty()) {
        result.kind = TTypedInput::Kind::Empty;
        return;
    }
    if (utf8.front() == '\'') {
        result.kind = TTypedInput::Kind::Text;
        result.text.assign(utf8.substr(1));
        return;
    }
    if (utf8.front() == '=') {
        result.kind = TTypedInput::Kind::Formula;
        result.text.assign(utf8.substr(1));
        return;
    }
    const std::string_view s = TrimBlanks(utf8);
    if (EqualsNoCase(s, "TRUE") || EqualsNoCase(s, "FALSE")) {
        result.kind = TTypedInput::Kind::Boolean;
        result.boolean = s.size() == 4;
        return;
    }
    if (!s.empty() && (IsDigit(s.front()) || s.front() == '-' || s.front() == '+' || s.front() == '(' ||
                       s.front() == settings.DecimalSeparator)) {
        TNumber n;
        if (TryNumber(s, settings, n)) {
            result.kind = TTypedInput::Kind::Number;
            result.number = n.Value;
            NumberFormatFor(n, result.numberFormat);
            return;
        }
        if (IsDigit(s.front()) && TryDateTime(s, settings, result)) return;
    }
    result.kind = TTypedInput::Kind::Text;
    result.numberFormat.clear();
    result.text.assign(utf8);
}

TTypedInput ParseTypedInput(std::string_view utf8, const TFormatSettings& settings) {
    TTypedInput result;
    ParseTypedInput(utf8, settings, result);
    return result;
}

}  // namespace tabrix::xl
