// Number format codes applied to a number (the TEXT function).

#include "platform/spreadsheet/formula/number_format.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/rtl/ascii.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix::xl {

namespace {

// The largest serial number of a date (31 December 9999).
constexpr double kLastSerial = 2958465.99999;
// Placeholders of a fraction's denominator: "?/????" at most, as the spreadsheet allows.
constexpr int kMaxDenominatorDigits = 4;
// Decimals beyond these are beyond what the 15 digits of a double carry.
constexpr int kMaxDecimals = 30;

// The decimal digits of a number to 15 significant digits, half away from
// zero: the value is 0.D1D2... times 10^Point. Rounding the decimal form and
// not the binary one is what makes 32.5 round to 33 and 0.125 to 0.13.
struct TDigits {
    std::string Digits;  // without leading zeros; "" for zero
    int Point = 0;
};

TDigits DigitsOf(double v) {
    TDigits d;
    if (v == 0) return d;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    const std::string s(buf);
    const std::size_t e = s.find('e');
    d.Digits = s.substr(0, 1) + s.substr(2, e - 2);
    d.Point = std::atoi(s.c_str() + e + 1) + 1;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    return d;
}

// Keeps the first count digits, rounding half away from zero.
void RoundToDigits(TDigits& d, int count) {
    if (count >= int(d.Digits.size())) return;
    if (count < 0) {
        d.Digits.clear();
        return;
    }
    const bool up = d.Digits[std::size_t(count)] >= '5';
    d.Digits.resize(std::size_t(count));
    if (up) {
        int i = count - 1;
        for (; i >= 0 && d.Digits[std::size_t(i)] == '9'; --i) d.Digits[std::size_t(i)] = '0';
        if (i >= 0)
            ++d.Digits[std::size_t(i)];
        else
            d.Digits.insert(0, "1"), ++d.Point;
    }
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    if (d.Digits.empty()) d.Point = 0;
}

// Integer and fraction digits of v with the given decimals.
void FixedDigits(double v, int decimals, std::string& ip, std::string& fp) {
    TDigits d = DigitsOf(v);
    RoundToDigits(d, d.Point + decimals);
    ip.clear();
    fp.clear();
    for (int i = 0; i < d.Point; ++i) ip += i < int(d.Digits.size()) ? d.Digits[std::size_t(i)] : '0';
    for (int i = 0; i < decimals; ++i) {
        const int at = d.Point + i;
        fp += at >= 0 && at < int(d.Digits.size()) ? d.Digits[std::size_t(at)] : '0';
    }
}

bool IsColorName(std::string_view s) {
    static constexpr std::string_view kColors[] = {"BLACK",   "BLUE", "CYAN",  "GREEN",
                                                   "MAGENTA", "RED",  "WHITE", "YELLOW"};
    for (std::string_view c : kColors)
        if (SameText(s, c)) return true;
    return s.size() > 5 && SameText(s.substr(0, 5), "COLOR");
}

// The sections of a code, split at ';' outside quotes and escapes.
std::vector<std::string_view> SplitSections(std::string_view code) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '\\')
            ++i;
        else if (!quoted && c == ';') {
            out.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(code.substr(start));
    return out;
}

// One piece of a number section.
struct TPiece {
    enum class TKind { Literal, Digit, Point, Group, Percent, Exponent, Slash, Denominator };
    TKind Kind;
    char Ch = 0;       // the placeholder (0 # ?), the exponent's sign (+ -)
    std::string Text;  // literal text; the fixed denominator's digits
};

// Splits a section into pieces; false for codes left to the spreadsheet.
// The date code a letter of a format code stands for in the user's
// language ('D', 'M', 'Y', 'H' or 'S'), 0 for none: German writes days and
// years with 'T' and 'J', and there an English 'd' or 'y' is no code (the
// spreadsheet shows it as it stands, so no value is computed for it).
char DateLetter(char c, const TFormatSettings& fs) {
    const char u = ascii::Upper(c);
    if (u == 'M' || u == 'H' || u == 'S') return u;
    if (fs.DayCode != 0 && u == ascii::Upper(fs.DayCode)) return 'D';
    if (fs.YearCode != 0 && u == ascii::Upper(fs.YearCode)) return 'Y';
    return 0;
}

bool ReadPieces(std::string_view s, const TFormatSettings& fs, std::vector<TPiece>& out, bool& general,
                bool& dateCodes) {
    using K = TPiece::TKind;
    const bool groupChar = fs.ThousandSeparator == ',' || fs.ThousandSeparator == '.';
    const auto literal = [&](std::string text) {
        if (!out.empty() && out.back().Kind == K::Literal)
            out.back().Text += text;
        else
            out.push_back({K::Literal, 0, std::move(text)});
    };
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            literal(std::string(s.substr(i + 1, close - i - 1)));
            i = close + 1;
        } else if (c == '\\' || c == '_') {
            if (i + 1 >= s.size()) return false;
            std::size_t len = 1;
            while (i + 1 + len < s.size() && (static_cast<unsigned char>(s[i + 1 + len]) & 0xC0) == 0x80) ++len;
            literal(c == '_' ? std::string(" ") : std::string(s.substr(i + 1, len)));
            i += 1 + len;
        } else if (c == '[') {
            const std::size_t close = s.find(']', i);
            if (close == std::string_view::npos || !IsColorName(s.substr(i + 1, close - i - 1))) return false;
            i = close + 1;
        } else if (c == '0' || c == '#' || c == '?') {
            out.push_back({K::Digit, c, {}});
            ++i;
        } else if (c == fs.DecimalSeparator) {
            out.push_back({K::Point, c, {}});
            ++i;
        } else if (c == fs.ThousandSeparator && groupChar) {
            out.push_back({K::Group, c, {}});
            ++i;
        } else if (c == '%') {
            out.push_back({K::Percent, c, {}});
            ++i;
        } else if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            out.push_back({K::Exponent, s[i + 1], {}});
            i += 2;
        } else if (c == '/' && !out.empty() && out.back().Kind == K::Digit) {
            out.push_back({K::Slash, c, {}});
            ++i;
            if (i < s.size() && s[i] >= '1' && s[i] <= '9') {
                std::string den;
                while (i < s.size() && ascii::IsDigit(s[i])) den += s[i++];
                out.push_back({K::Denominator, 0, den});
            }
        } else if (SameText(s.substr(i, 7), "General")) {
            general = true;
            i += 7;
        } else if (DateLetter(c, fs) != 0) {
            dateCodes = true;
            ++i;
        } else if (u >= 0x80 || std::string_view(" -+()$:/!&'^{}<>=~,.").find(c) != std::string_view::npos ||
                   ascii::IsDigit(c)) {
            literal(std::string(1, c));
            ++i;
        } else {
            return false;  // letters and fill characters ("*"), AM/PM and the like
        }
    }
    return true;
}

// A number pattern read from the pieces.
struct TPattern {
    std::string Prefix, Suffix;
    std::string Int, Frac, Exp;  // placeholders of each part
    bool Point = false, Grouped = false;
    int Scale = 0;    // thousands dropped by trailing separators
    int Percent = 0;  // each % multiplies by 100
    char ExpSign = 0;
    bool Fraction = false;
    std::string Numerator, Denominator;  // placeholders
    std::string FixedDenominator;
    std::string FractionGap;  // the literal between the whole number and the fraction
};

bool ReadPattern(const std::vector<TPiece>& pieces, TPattern& p) {
    using K = TPiece::TKind;
    int first = -1, last = -1;
    for (int i = 0; i < int(pieces.size()); ++i) {
        const K k = pieces[std::size_t(i)].Kind;
        if (k == K::Digit || k == K::Point || k == K::Exponent || k == K::Slash || k == K::Denominator ||
            (k == K::Group && first >= 0)) {
            if (first < 0) first = i;
            last = i;
        }
        if (k == K::Percent) ++p.Percent;
    }
    if (first < 0) return false;
    for (int i = 0; i < int(pieces.size()); ++i) {
        const TPiece& x = pieces[std::size_t(i)];
        if (i >= first && i <= last) continue;
        if (x.Kind == K::Group) return false;
        std::string& to = i < first ? p.Prefix : p.Suffix;
        to += x.Kind == K::Percent ? std::string("%") : x.Text;
    }
    bool slash = false;
    for (int i = first; i <= last; ++i)
        if (pieces[std::size_t(i)].Kind == K::Slash) slash = true;
    if (slash) {
        // [whole placeholders, gap] numerator / denominator
        std::vector<std::string> runs(1);
        for (int i = first; i <= last; ++i) {
            const TPiece& x = pieces[std::size_t(i)];
            switch (x.Kind) {
                case K::Digit:
                    runs.back() += x.Ch;
                    break;
                case K::Literal:
                    if (!p.FractionGap.empty() || runs.size() != 1) return false;
                    p.FractionGap = x.Text;
                    runs.emplace_back();
                    break;
                case K::Slash:
                    runs.emplace_back();
                    break;
                case K::Denominator:
                    p.FixedDenominator = x.Text;
                    break;
                default:
                    return false;
            }
        }
        if (runs.size() == 3) {
            p.Int = runs[0];
            p.Numerator = runs[1];
            p.Denominator = runs[2];
        } else if (runs.size() == 2 && p.FractionGap.empty()) {
            p.Numerator = runs[0];
            p.Denominator = runs[1];
        } else {
            return false;
        }
        if (p.Numerator.empty() || (p.Denominator.empty() == p.FixedDenominator.empty()) ||
            int(p.Denominator.size()) > kMaxDenominatorDigits || p.Percent > 0)
            return false;
        p.Fraction = true;
        return true;
    }
    int part = 0;  // 0 integer, 1 fraction, 2 exponent
    for (int i = first; i <= last; ++i) {
        const TPiece& x = pieces[std::size_t(i)];
        switch (x.Kind) {
            case K::Digit:
                (part == 0 ? p.Int : part == 1 ? p.Frac : p.Exp) += x.Ch;
                break;
            case K::Point:
                if (part != 0) return false;
                p.Point = true;
                part = 1;
                break;
            case K::Exponent:
                if (part == 2) return false;
                p.ExpSign = x.Ch;
                part = 2;
                break;
            case K::Group: {
                if (part != 0) return false;
                // Between placeholders it groups; after the last one it divides by 1,000.
                bool digitAfter = false;
                for (int j = i + 1; j <= last; ++j) {
                    const K k = pieces[std::size_t(j)].Kind;
                    if (k == K::Digit) digitAfter = true;
                    if (k != K::Digit && k != K::Group) break;
                }
                if (digitAfter)
                    p.Grouped = true;
                else
                    ++p.Scale;
                break;
            }
            default:
                return false;
        }
    }
    if (part == 2 && (p.Exp.empty() || p.Int.size() != 1 || p.Grouped)) return false;
    if (int(p.Frac.size()) > kMaxDecimals) return false;
    return true;
}

// The integer digits laid over their placeholders, grouped when asked.
bool LayInteger(const std::string& digits, const std::string& placeholders, bool grouped, const TFormatSettings& fs,
                std::string& out) {
    std::string s = digits;
    const int missing = int(placeholders.size()) - int(s.size());
    std::string pad;
    for (int i = 0; i < missing; ++i) {
        const char ph = placeholders[std::size_t(i)];
        if (ph == '0') pad += '0';
        if (ph == '?') {
            if (grouped) return false;
            pad += ' ';
        }
    }
    s.insert(0, pad);
    if (grouped)
        for (int k = int(s.size()) - 3; k > 0; k -= 3) s.insert(std::size_t(k), 1, fs.ThousandSeparator);
    out += s;
    return true;
}

// Fraction digits over their placeholders: trailing zeros of # go, of ? become spaces.
std::string LayFraction(std::string digits, const std::string& placeholders) {
    for (int i = int(digits.size()) - 1; i >= 0; --i) {
        const char ph = placeholders[std::size_t(i)];
        if (digits[std::size_t(i)] != '0' || ph == '0') break;
        if (ph == '#')
            digits.erase(std::size_t(i));
        else
            digits[std::size_t(i)] = ' ';
    }
    return digits;
}

bool AllZero(const std::string& s) { return s.find_first_of("123456789") == std::string::npos; }

bool FormatFraction(double v, const TPattern& p, std::string& body) {
    double whole = 0, part = v;
    if (!p.Int.empty()) {
        whole = std::floor(v);
        part = v - whole;
    }
    // Beyond these the numerator no longer fits a long: no value rather
    // than a guess.
    constexpr double kMaxNumerator = 1e15;
    if (int(p.FixedDenominator.size()) > kMaxDenominatorDigits) return false;
    const double denLimit =
        p.FixedDenominator.empty() ? std::pow(10, double(p.Denominator.size())) : std::atof(p.FixedDenominator.c_str());
    if (!(std::fabs(part) * denLimit < kMaxNumerator)) return false;
    long num = 0, den = 1;
    if (!p.FixedDenominator.empty()) {
        den = std::atol(p.FixedDenominator.c_str());
        num = long(std::floor(part * double(den) + 0.5));
    } else {
        const long maxDen = long(std::pow(10, double(p.Denominator.size()))) - 1;
        double best = 2;
        for (long d = 1; d <= maxDen; ++d) {
            const long n = long(std::floor(part * double(d) + 0.5));
            const double err = std::fabs(part - double(n) / double(d));
            if (err < best - 1e-12) best = err, num = n, den = d;
        }
    }
    if (!p.Int.empty() && num == den && p.FixedDenominator.empty()) whole += 1, num = 0;
    // A whole number or a zero shows padding the spreadsheets lay out differently.
    if (num == 0 || (!p.Int.empty() && whole == 0)) return false;
    if (whole > 1e15) return false;
    if (!p.Int.empty()) body += std::to_string(static_cast<long long>(whole)) + p.FractionGap;
    std::string n = std::to_string(num), d = std::to_string(den);
    for (std::size_t i = n.size(); i < p.Numerator.size(); ++i) body += p.Numerator[i - n.size()] == '0' ? '0' : ' ';
    body += n + "/" + d;
    if (p.FixedDenominator.empty())
        for (std::size_t i = d.size(); i < p.Denominator.size(); ++i) body += p.Denominator[i] == '#' ? "" : " ";
    return true;
}

bool FormatNumberSection(double v, const std::vector<TPiece>& pieces, bool withSign, const TFormatSettings& fs,
                         std::string& out) {
    TPattern p;
    if (!ReadPattern(pieces, p)) return false;
    double a = std::fabs(v) * std::pow(100.0, p.Percent) / std::pow(1000.0, p.Scale);
    std::string body;
    bool zero = false;
    if (p.Fraction) {
        if (!FormatFraction(a, p, body)) return false;
    } else if (p.ExpSign) {
        TDigits d = DigitsOf(a);
        RoundToDigits(d, 1 + int(p.Frac.size()));
        int exponent = d.Digits.empty() ? 0 : d.Point - 1;
        std::string digits = d.Digits;
        digits.resize(1 + p.Frac.size(), '0');
        zero = d.Digits.empty();
        body += digits[0];
        if (p.Point) body += fs.DecimalSeparator;
        body += LayFraction(digits.substr(1), p.Frac);
        body += 'E';
        if (exponent < 0)
            body += '-';
        else if (p.ExpSign == '+')
            body += '+';
        std::string e = std::to_string(std::abs(exponent));
        while (e.size() < p.Exp.size()) e.insert(0, "0");
        body += e;
    } else {
        std::string ip, fp;
        FixedDigits(a, int(p.Frac.size()), ip, fp);
        zero = ip.empty() && AllZero(fp);
        if (!LayInteger(ip, p.Int, p.Grouped, fs, body)) return false;
        if (p.Point) body += fs.DecimalSeparator;
        body += LayFraction(fp, p.Frac);
    }
    // Whether "-0" shows for a negative number that rounds to zero differs between spreadsheets.
    if (withSign && v < 0 && zero) return false;
    out = (withSign && v < 0 ? "-" : "") + p.Prefix + body + p.Suffix;
    return true;
}

// One piece of a date code: a run of one date letter (Letter its code,
// Count its length) or a literal text (Letter 0).
struct TDateCodePart {
    char Letter;
    int Count;
    std::string Literal;
};

// The date code as pieces; false for what is no date code here (AM/PM,
// elapsed hours, tenths of seconds and the like).
bool SplitDateCode(std::string_view format, const TFormatSettings& fs, std::vector<TDateCodePart>& parts) {
    for (std::size_t i = 0; i < format.size();) {
        const char c = ascii::Upper(format[i]);
        if (const char code = DateLetter(c, fs); code != 0) {
            std::size_t j = i;
            while (j < format.size() && ascii::Upper(format[j]) == c) ++j;
            parts.push_back({code, int(j - i), {}});
            i = j;
        } else if (c == '"') {
            const std::size_t close = format.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            parts.push_back({0, 0, std::string(format.substr(i + 1, close - i - 1))});
            i = close + 1;
        } else if (c == '\\' && i + 1 < format.size() && static_cast<unsigned char>(format[i + 1]) < 0x80) {
            parts.push_back({0, 0, std::string(1, format[i + 1])});
            i += 2;
        } else if (c == '[') {
            const std::size_t close = format.find(']', i);
            if (close == std::string_view::npos || !IsColorName(format.substr(i + 1, close - i - 1))) return false;
            i = close + 1;
        } else if (std::string_view(" .,/-:()").find(c) != std::string_view::npos) {
            parts.push_back({0, 0, std::string(1, c)});
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

// An "m" or "mm" at k means minutes right after hours or right before seconds.
bool IsMinutes(const std::vector<TDateCodePart>& parts, std::size_t k) {
    for (std::size_t b = k; b-- > 0;)
        if (parts[b].Letter != 0) {
            if (parts[b].Letter == 'H') return true;
            break;
        }
    for (std::size_t a = k + 1; a < parts.size(); ++a)
        if (parts[a].Letter != 0) return parts[a].Letter == 'S';
    return false;
}

}  // namespace

std::string GeneralNumberText(double d, char decimalSeparator) {
    if (d == 0) return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::string s(buf);
    const std::size_t e = s.find('E');
    if (e != std::string::npos) {
        // "1.50000000000000E+20" has no trailing zeros in the spreadsheet: "1.5E+20".
        std::string mantissa = s.substr(0, e);
        if (mantissa.find('.') != std::string::npos) {
            while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
            if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
        }
        s = mantissa + s.substr(e);
    }
    for (char& c : s)
        if (c == '.') c = decimalSeparator;
    return s;
}

bool FormatDateCode(double serial, std::string_view format, const TFormatSettings& fs, std::string& out) {
    if (serial < 0 || serial > kLastSerial) return false;
    const double total = std::round(serial * 86400);
    const double dayPart = std::floor(total / 86400);
    const long secs = long(total - dayPart * 86400);
    int y = 1900, mo = 1, d = 0;
    if (dayPart == 60) {
        mo = 2, d = 29;  // the 29 February 1900 the serial numbers count
    } else if (dayPart > 0) {
        DecodeDate(dayPart < 60 ? dayPart + 1 : dayPart, y, mo, d);
    }
    const long weekday = ((long(dayPart) - 1) % 7 + 7) % 7;  // serial 1 is a Sunday; 0 = Sunday
    std::vector<TDateCodePart> parts;
    if (!SplitDateCode(format, fs, parts)) return false;
    const auto two = [&](long v, int count) {
        if (count >= 2 && v < 10) out += '0';
        out += std::to_string(v);
    };
    const auto firstChar = [](const std::string& s) {
        std::size_t len = 1;
        while (len < s.size() && (static_cast<unsigned char>(s[len]) & 0xC0) == 0x80) ++len;
        return s.substr(0, len);
    };
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const TDateCodePart& p = parts[k];
        switch (p.Letter) {
            case 0:
                out += p.Literal;
                break;
            case 'Y':
                if (p.Count > 4) return false;
                out += p.Count <= 2 ? (y % 100 < 10 ? "0" : "") + std::to_string(y % 100) : std::to_string(y);
                break;
            case 'D':
                if (p.Count <= 2)
                    two(d, p.Count);
                else
                    out += (p.Count == 3 ? fs.ShortDayNames : fs.LongDayNames)[std::size_t(weekday)];
                break;
            case 'H':
                if (p.Count > 2) return false;
                two(secs / 3600, p.Count);
                break;
            case 'S':
                if (p.Count > 2) return false;
                two(secs % 60, p.Count);
                break;
            case 'M': {
                const bool minutes = p.Count <= 2 && IsMinutes(parts, k);
                const std::size_t month = std::size_t(mo - 1);
                if (minutes || p.Count <= 2)
                    two(minutes ? (secs / 60) % 60 : mo, p.Count);
                else if (p.Count == 3)
                    out += fs.ShortMonthNames[month];
                else if (p.Count == 4)
                    out += fs.LongMonthNames[month];
                else if (p.Count == 5)
                    out += firstChar(fs.LongMonthNames[month]);
                else
                    return false;
                break;
            }
        }
    }
    return true;
}

bool FormatNumberCode(double x, std::string_view code, const TFormatSettings& fs, std::string& out) {
    std::vector<std::string_view> sections = SplitSections(code);
    if (sections.size() > 4) return false;
    // Sections: positive; negative (shown without its sign); zero; text.
    std::size_t which = 0;
    if (x < 0 && sections.size() >= 2) which = 1;
    if (x == 0 && sections.size() >= 3) which = 2;
    const bool withSign = which == 0 && !(sections.size() >= 2 && x < 0);
    const std::string_view s = sections[which];
    std::vector<TPiece> pieces;
    bool general = false, dateCodes = false;
    if (!ReadPieces(s, fs, pieces, general, dateCodes)) return false;
    bool digits = false;
    for (const TPiece& p : pieces)
        if (p.Kind == TPiece::TKind::Digit) digits = true;
    if (dateCodes) {
        if (digits || general || sections.size() > 1) return false;
        return FormatDateCode(x, s, fs, out);
    }
    if (general) {
        if (digits) return false;
        std::string text;
        for (const TPiece& p : pieces) {
            if (p.Kind != TPiece::TKind::Literal && p.Kind != TPiece::TKind::Percent) return false;
            text += p.Kind == TPiece::TKind::Percent ? std::string("%") : p.Text;
        }
        if (!text.empty()) return false;  // where the literals go around General is not kept
        out = GeneralNumberText(withSign ? x : std::fabs(x), fs.DecimalSeparator);
        return true;
    }
    if (!digits) {
        // Only literals: the text itself (a negative number would add its sign).
        if (withSign && x < 0) return false;
        out.clear();
        for (const TPiece& p : pieces) {
            if (p.Kind == TPiece::TKind::Literal || p.Kind == TPiece::TKind::Percent)
                out += p.Kind == TPiece::TKind::Percent ? std::string("%") : p.Text;
            else
                return false;
        }
        return true;
    }
    return FormatNumberSection(x, pieces, withSign, fs, out);
}

}  // namespace tabrix::xl
