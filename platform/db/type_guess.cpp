#include "platform/db/type_guess.h"

#include <charconv>
#include <limits>

#include "platform/rtl/ascii.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

// Texts longer than this, or holding a line break, make a memo.
constexpr size_t kMaxStringLength = 255;

// Digits without a superfluous leading zero ("007" is a code, not 7).
bool PlainDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!ascii::IsDigit(c)) return false;
    return s.size() == 1 || s[0] != '0';
}

}  // namespace

bool TryParseCsvInteger(std::string_view text, int64_t& value) {
    std::string_view digits = text;
    if (!digits.empty() && digits[0] == '-') digits.remove_prefix(1);
    if (!PlainDigits(digits) || digits.size() > 19) return false;
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool TryParseCsvFloat(std::string_view text, double& value) {
    std::string_view s = text;
    if (!s.empty() && s[0] == '-') s.remove_prefix(1);
    // Mantissa: plain digits, optionally "." and digits; then an optional exponent.
    size_t i = 0;
    while (i < s.size() && ascii::IsDigit(s[i])) ++i;
    if (!PlainDigits(s.substr(0, i))) return false;
    if (i < s.size() && s[i] == '.') {
        const size_t start = ++i;
        while (i < s.size() && ascii::IsDigit(s[i])) ++i;
        if (i == start) return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        const size_t start = i;
        while (i < s.size() && ascii::IsDigit(s[i])) ++i;
        if (i == start) return false;
    }
    if (i != s.size()) return false;
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool TryParseBooleanText(std::string_view text, bool& value) {
    if (SameText(text, "true")) {
        value = true;
        return true;
    }
    if (SameText(text, "false")) {
        value = false;
        return true;
    }
    return false;
}

void TTypeGuess::AddOtherText(std::string_view text) {
    FAny = true;
    FNested = false;
    if (text.size() > static_cast<size_t>(FMaxLength))
        FMaxLength = static_cast<int>(std::min<size_t>(text.size(), std::numeric_limits<int>::max()));
    if (text.size() > kMaxStringLength || text.find_first_of("\r\n") != std::string_view::npos) FMemo = true;
    TDateTime d;
    if (FDate && !TryParseIsoDate(text, d)) FDate = false;
    if (FTime && !TryParseIsoTime(text, d)) FTime = false;
    if (FDateTime && !TryParseIsoDateTime(text, d)) FDateTime = false;
}

void TTypeGuess::AddText(std::string_view text) {
    if (text.empty()) return;
    AddOtherText(text);
    int64_t i;
    double f;
    bool b;
    if (FInteger) {
        if (!TryParseCsvInteger(text, i))
            FInteger = false;
        else if (i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max())
            FLarge = true;
    }
    if (FFloat && !TryParseCsvFloat(text, f)) FFloat = false;
    if (FBoolean && !TryParseBooleanText(text, b)) FBoolean = false;
}

void TTypeGuess::AddString(std::string_view text) {
    AddOtherText(text);
    FInteger = FFloat = FBoolean = false;
}

void TTypeGuess::AddInteger(int64_t value) {
    FAny = true;
    FBoolean = FDate = FTime = FDateTime = FNested = false;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) FLarge = true;
}

void TTypeGuess::AddFloat() {
    FAny = true;
    FInteger = FBoolean = FDate = FTime = FDateTime = FNested = false;
}

void TTypeGuess::AddBoolean() {
    FAny = true;
    FInteger = FFloat = FDate = FTime = FDateTime = FNested = false;
}

void TTypeGuess::AddNested() {
    FAny = true;
    FInteger = FFloat = FBoolean = FDate = FTime = FDateTime = false;
}

void TTypeGuess::AddStructured() {
    FAny = true;
    FInteger = FFloat = FBoolean = FDate = FTime = FDateTime = FNested = false;
    FMemo = true;
}

TFieldType TTypeGuess::Result() const {
    if (!FAny) return TFieldType::ftString;
    if (FNested) return TFieldType::ftDataSet;
    if (FBoolean) return TFieldType::ftBoolean;
    if (FInteger) return FLarge ? TFieldType::ftLargeint : TFieldType::ftInteger;
    if (FFloat) return TFieldType::ftFloat;
    if (FDate) return TFieldType::ftDate;
    if (FDateTime) return TFieldType::ftDateTime;
    if (FTime) return TFieldType::ftTime;
    return FMemo ? TFieldType::ftMemo : TFieldType::ftString;
}

}  // namespace tabrix
