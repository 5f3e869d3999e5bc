#include "platform/db/iso_datetime.h"

#include <fmt/format.h>

namespace tabrix {

namespace {

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

bool ParseDatePart(std::string_view& s, TDateTime& value) {
    int y, m, d;
    if (!Digits(s, 4, y) || !Char(s, '-') || !Digits(s, 2, m) || !Char(s, '-') || !Digits(s, 2, d)) return false;
    return TryEncodeDate(y, m, d, value);
}

// hh:mm[:ss[.fraction]] followed by an optional zone.
bool ParseTimePart(std::string_view& s, TDateTime& value) {
    int h, n, sec = 0, ms = 0;
    if (!Digits(s, 2, h) || !Char(s, ':') || !Digits(s, 2, n)) return false;
    if (Char(s, ':')) {
        if (!Digits(s, 2, sec)) return false;
        if (Char(s, '.') || Char(s, ',')) {
            int scale = 100;
            size_t digits = 0;
            while (!s.empty() && s[0] >= '0' && s[0] <= '9') {
                ms += (s[0] - '0') * scale;
                scale /= 10;
                s.remove_prefix(1);
                ++digits;
            }
            if (digits == 0) return false;
        }
    }
    if (!s.empty()) {
        if (s == "Z" || s == "z") {
            s = {};
        } else if (s[0] == '+' || s[0] == '-') {
            std::string_view z = s.substr(1);
            int zh, zm;
            if (!Digits(z, 2, zh)) return false;
            if (Char(z, ':') ? !Digits(z, 2, zm) : (!z.empty() && !Digits(z, 2, zm))) return false;
            if (!z.empty()) return false;
            s = {};
        }
    }
    return TryEncodeTime(h, n, sec, ms, value);
}

std::string FractionText(int ms) { return ms ? fmt::format(".{:03}", ms) : std::string(); }

}  // namespace

bool TryParseIsoDate(std::string_view text, TDateTime& value) {
    TDateTime d;
    if (!ParseDatePart(text, d) || !text.empty()) return false;
    value = d;
    return true;
}

bool TryParseIsoTime(std::string_view text, TDateTime& value) {
    TDateTime t;
    if (!ParseTimePart(text, t) || !text.empty()) return false;
    value = t;
    return true;
}

bool TryParseIsoDateTime(std::string_view text, TDateTime& value) {
    TDateTime d, t = 0;
    if (!ParseDatePart(text, d)) return false;
    if (!text.empty()) {
        if (text[0] != ' ' && text[0] != 'T' && text[0] != 't') return false;
        text.remove_prefix(1);
        if (!ParseTimePart(text, t) || !text.empty()) return false;
    }
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
