#include "platform/rtl/iso_datetime.h"

#include <cstdint>

#include <fmt/format.h>

namespace tabrix {

namespace {

// Fraction digits beyond these are cut off: a double holds no more, and
// 10^15 stays exact, so the quotient is the nearest double of the digits.
constexpr int kMaxFractionDigits = 15;

// Reads exactly n digits.
bool Digits(std::string_view& s, size_t n, int& value) {
    if (s.size() < n) return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    value = v;
    s.remove_prefix(n);
    return true;
}

bool Char(std::string_view& s, char c) {
    if (s.empty() || s[0] != c) return false;
    s.remove_prefix(1);
    return true;
}

bool ReadDatePart(std::string_view& s, TIsoDateTime& parts) {
    if (!Digits(s, 4, parts.Year) || !Char(s, '-') || !Digits(s, 2, parts.Month) || !Char(s, '-') ||
        !Digits(s, 2, parts.Day))
        return false;
    TDateTime check;
    return TryEncodeDate(parts.Year, parts.Month, parts.Day, check);
}

// At least one digit after the separator.
bool ReadFraction(std::string_view& s, TIsoDateTime& parts) {
    int64_t mantissa = 0, scale = 1;
    int ms = 0, msScale = 100, digits = 0;
    while (!s.empty() && s[0] >= '0' && s[0] <= '9') {
        const int digit = s[0] - '0';
        ms += digit * msScale;
        msScale /= 10;
        if (digits < kMaxFractionDigits) {
            mantissa = mantissa * 10 + digit;
            scale *= 10;
        }
        ++digits;
        s.remove_prefix(1);
    }
    parts.Millisecond = ms;
    parts.Fraction = static_cast<double>(mantissa) / static_cast<double>(scale);
    return digits > 0;
}

// "Z", "+hh", "+hhmm", "+hh:mm" or the same with "-"; all of the rest.
bool ReadZone(std::string_view& s) {
    if (s == "Z" || s == "z") {
        s = {};
        return true;
    }
    if (!Char(s, '+') && !Char(s, '-')) return false;
    int zoneHours = 0, zoneMinutes = 0;
    if (!Digits(s, 2, zoneHours)) return false;
    if (Char(s, ':') ? !Digits(s, 2, zoneMinutes) : (!s.empty() && !Digits(s, 2, zoneMinutes))) return false;
    return s.empty();
}

// hh:mm[:ss[.fraction]] followed by an optional zone.
bool ReadTimePart(std::string_view& s, TIsoDateTime& parts) {
    if (!Digits(s, 2, parts.Hour) || !Char(s, ':') || !Digits(s, 2, parts.Minute)) return false;
    if (Char(s, ':')) {
        if (!Digits(s, 2, parts.Second)) return false;
        if ((Char(s, '.') || Char(s, ',')) && !ReadFraction(s, parts)) return false;
    }
    if (!s.empty() && !ReadZone(s)) return false;
    TDateTime check;
    return TryEncodeTime(parts.Hour, parts.Minute, parts.Second, parts.Millisecond, check);
}

TDateTime TimeOf(const TIsoDateTime& parts) {
    return EncodeTime(parts.Hour, parts.Minute, parts.Second, parts.Millisecond);
}

std::string FractionText(int ms) { return ms ? fmt::format(".{:03}", ms) : std::string(); }

}  // namespace

bool TryReadIsoDateTime(std::string_view text, TIsoForm form, TIsoDateTime& parts) {
    TIsoDateTime read;
    if (form != TIsoForm::Time) {
        if (!ReadDatePart(text, read)) return false;
        read.HasDate = true;
        if (form == TIsoForm::DateTime && !text.empty()) {
            if (text[0] != ' ' && text[0] != 'T' && text[0] != 't') return false;
            text.remove_prefix(1);
            if (!ReadTimePart(text, read)) return false;
            read.HasTime = true;
        }
    } else {
        if (!ReadTimePart(text, read)) return false;
        read.HasTime = true;
    }
    if (!text.empty()) return false;
    parts = read;
    return true;
}

bool TryParseIsoDate(std::string_view text, TDateTime& value) {
    TIsoDateTime parts;
    if (!TryReadIsoDateTime(text, TIsoForm::Date, parts)) return false;
    value = EncodeDate(parts.Year, parts.Month, parts.Day);
    return true;
}

bool TryParseIsoTime(std::string_view text, TDateTime& value) {
    TIsoDateTime parts;
    if (!TryReadIsoDateTime(text, TIsoForm::Time, parts)) return false;
    value = TimeOf(parts);
    return true;
}

bool TryParseIsoDateTime(std::string_view text, TDateTime& value) {
    TIsoDateTime parts;
    if (!TryReadIsoDateTime(text, TIsoForm::DateTime, parts)) return false;
    const TDateTime d = EncodeDate(parts.Year, parts.Month, parts.Day), t = TimeOf(parts);
    value = d < 0 ? d - t : d + t;  // before 1899-12-30 the fraction counts away from zero
    return true;
}

std::string IsoDateText(TDateTime value) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    return fmt::format("{:04}-{:02}-{:02}", y, m, d);
}

std::string IsoTimeText(TDateTime value) {
    int h, n, s, ms;
    DecodeTime(value, h, n, s, ms);
    return fmt::format("{:02}:{:02}:{:02}{}", h, n, s, FractionText(ms));
}

std::string IsoDateTimeText(TDateTime value) { return IsoDateText(value) + ' ' + IsoTimeText(value); }

}  // namespace tabrix
