#include "platform/rtl/convert.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string IntToStr(int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

bool TryStrToInt64(std::string_view text, int64_t& value) {
    std::string_view s = TrimView(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    uint64_t magnitude = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    const uint64_t limit =
        negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1 : uint64_t(std::numeric_limits<int64_t>::max());
    if (magnitude > limit) return false;
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool TryStrToInt(std::string_view text, int& value) {
    int64_t v = 0;
    if (!TryStrToInt64(text, v)) return false;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

int StrToInt(std::string_view text) {
    int v = 0;
    if (!TryStrToInt(text, v)) throw EConvertError(fmt::format("'{}' is not a valid integer value", text));
    return v;
}

int StrToIntDef(std::string_view text, int fallback) {
    int v = 0;
    return TryStrToInt(text, v) ? v : fallback;
}

std::string FloatToStr(double value) { return FloatToStr(value, FormatSettings()); }

std::string FloatToStr(double value, const TFormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string_view text(buf, r.ptr - buf);
    // to_chars writes "1.5e+20"; the platform writes "1.5E20" and "1.5E-7".
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            out += settings.DecimalSeparator;
        } else if (c == 'e') {
            out += 'E';
            size_t j = i + 1;
            if (j < text.size() && text[j] == '+')
                ++j;
            else if (j < text.size() && text[j] == '-') {
                out += '-';
                ++j;
            }
            while (j + 1 < text.size() && text[j] == '0') ++j;
            out.append(text.substr(j));
            break;
        } else {
            out += c;
        }
    }
    return out;
}

bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& settings) {
    std::string_view s = TrimView(text);
    if (s.empty()) return false;
    std::string normal;
    normal.reserve(s.size());
    for (char c : s) {
        if (c == settings.DecimalSeparator)
            normal += '.';
        else if (c == '.' && settings.DecimalSeparator != '.')
            return false;
        else if ((c >= '0' && c <= '9') || c == 'e' || c == 'E' || c == '+' || c == '-')
            normal += c;
        else
            return false;  // "inf", "nan", thousands separators: not a number here
    }
    const char* b = normal.data();
    const char* e = b + normal.size();
    if (*b == '+') ++b;
    if (b == e) return false;
    double v = 0;
    auto r = std::from_chars(b, e, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != e) return false;
    value = v;
    return true;
}

bool TryStrToFloat(std::string_view text, double& value) { return TryStrToFloat(text, value, FormatSettings()); }

double StrToFloat(std::string_view text, const TFormatSettings& settings) {
    double v = 0;
    if (!TryStrToFloat(text, v, settings))
        throw EConvertError(fmt::format("'{}' is not a valid floating point value", text));
    return v;
}

double StrToFloat(std::string_view text) { return StrToFloat(text, FormatSettings()); }

std::string CurrToStr(int64_t scaled) { return CurrToStr(scaled, FormatSettings()); }

std::string CurrToStr(int64_t scaled, const TFormatSettings& settings) {
    const bool negative = scaled < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string out = negative ? "-" : "";
    out += std::to_string(magnitude / 10000);
    uint64_t frac = magnitude % 10000;
    if (frac) {
        std::string digits = fmt::format("{:04}", frac);
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
        out += settings.DecimalSeparator;
        out += digits;
    }
    return out;
}

}  // namespace tabrix
