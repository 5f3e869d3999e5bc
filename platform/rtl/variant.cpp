#include "platform/rtl/variant.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "platform/rtl/convert.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

const char* VarTypeName(TVarType type) {
    switch (type) {
        case TVarType::varEmpty:
            return "Empty";
        case TVarType::varNull:
            return "Null";
        case TVarType::varInteger:
            return "Int64";
        case TVarType::varDouble:
            return "Double";
        case TVarType::varCurrency:
            return "Currency";
        case TVarType::varDate:
            return "Date";
        case TVarType::varBoolean:
            return "Boolean";
        case TVarType::varString:
            return "String";
        case TVarType::varUString:
            return "UnicodeString";
    }
    return "Unknown";
}

Variant Variant::FromCurrency(double value) {
    return FromCurrency(static_cast<int64_t>(std::llround(value * 10000.0)));
}

bool Variant::IsNumeric() const {
    const TVarType t = VarType();
    return t == TVarType::varInteger || t == TVarType::varDouble || t == TVarType::varCurrency;
}

void Variant::CannotConvert(const char* target) const {
    throw EVariantError(
        fmt::format("Could not convert variant of type ({}) into type ({})", VarTypeName(VarType()), target));
}

double Variant::AsDouble() const {
    switch (VarType()) {
        case TVarType::varEmpty:
            return 0;
        case TVarType::varInteger:
            return static_cast<double>(std::get<int64_t>(FValue));
        case TVarType::varDouble:
            return std::get<double>(FValue);
        case TVarType::varCurrency:
            return static_cast<double>(std::get<CurrencyValue>(FValue).Scaled) / 10000.0;
        case TVarType::varDate:
            return std::get<DateValue>(FValue).Value;
        case TVarType::varBoolean:
            return std::get<bool>(FValue) ? -1 : 0;
        case TVarType::varString:
        case TVarType::varUString: {
            double v = 0;
            if (TryStrToFloat(AsAnsiString(), v)) return v;
            CannotConvert("Double");
        }
        default:
            CannotConvert("Double");
    }
}

int64_t Variant::AsInteger() const {
    switch (VarType()) {
        case TVarType::varInteger:
            return std::get<int64_t>(FValue);
        case TVarType::varBoolean:
            return std::get<bool>(FValue) ? -1 : 0;
        case TVarType::varString:
        case TVarType::varUString: {
            int64_t i = 0;
            if (TryStrToInt64(AsAnsiString(), i)) return i;
            break;
        }
        default:
            break;
    }
    const double d = AsDouble();
    if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18) CannotConvert("Int64");
    return static_cast<int64_t>(std::nearbyint(d));  // banker's rounding, as the platform
}

bool Variant::AsBoolean() const {
    switch (VarType()) {
        case TVarType::varEmpty:
            return false;
        case TVarType::varBoolean:
            return std::get<bool>(FValue);
        case TVarType::varString:
        case TVarType::varUString: {
            const AnsiString s = AsAnsiString();
            if (SameText(s, "true")) return true;
            if (SameText(s, "false")) return false;
            double v = 0;
            if (TryStrToFloat(s, v)) return v != 0;
            CannotConvert("Boolean");
        }
        default:
            return AsDouble() != 0;
    }
}

TDateTime Variant::AsDateTime() const {
    if (IsString()) {
        TDateTime d = 0;
        if (TryStrToDateTime(AsAnsiString(), d, FormatSettings()) || TryStrToTime(AsAnsiString(), d, FormatSettings()))
            return d;
        CannotConvert("Date");
    }
    return AsDouble();
}

int64_t Variant::AsCurrency() const {
    if (VarType() == TVarType::varCurrency) return std::get<CurrencyValue>(FValue).Scaled;
    return static_cast<int64_t>(std::llround(AsDouble() * 10000.0));
}

AnsiString Variant::AsAnsiString() const {
    switch (VarType()) {
        case TVarType::varEmpty:
        case TVarType::varNull:
            return {};
        case TVarType::varInteger:
            return IntToStr(std::get<int64_t>(FValue));
        case TVarType::varDouble:
            return FloatToStr(std::get<double>(FValue));
        case TVarType::varCurrency:
            return CurrToStr(std::get<CurrencyValue>(FValue).Scaled);
        case TVarType::varDate:
            return DateTimeToStr(std::get<DateValue>(FValue).Value);
        case TVarType::varBoolean:
            return std::get<bool>(FValue) ? "True" : "False";
        case TVarType::varString:
            return std::get<AnsiString>(FValue);
        case TVarType::varUString:
            return UnicodeToUtf8(std::get<UnicodeString>(FValue));
    }
    return {};
}

UnicodeString Variant::AsUnicodeString() const {
    if (const auto* u = std::get_if<UnicodeString>(&FValue)) return *u;
    return Utf8ToUnicode(AsAnsiString());
}

TVariantArray2D::TVariantArray2D(int rowLow, int rowHigh, int colLow, int colHigh)
    : FRowLow(rowLow),
      FRows(rowHigh >= rowLow ? rowHigh - rowLow + 1 : 0),
      FColLow(colLow),
      FCols(colHigh >= colLow ? colHigh - colLow + 1 : 0),
      FCells(static_cast<size_t>(FRows) * static_cast<size_t>(FCols)) {}

size_t TVariantArray2D::Index(int row, int col) const {
    if (row < FRowLow || row >= FRowLow + FRows || col < FColLow || col >= FColLow + FCols)
        throw ERangeError(fmt::format("Variant array index out of bounds: [{}, {}] of [{}..{}, {}..{}]", row, col,
                                      FRowLow, RowHigh(), FColLow, ColHigh()));
    return static_cast<size_t>(row - FRowLow) * static_cast<size_t>(FCols) + static_cast<size_t>(col - FColLow);
}

Variant& TVariantArray2D::operator()(int row, int col) { return FCells[Index(row, col)]; }
const Variant& TVariantArray2D::operator()(int row, int col) const { return FCells[Index(row, col)]; }

Variant* TVariantArray2D::Row(int row) {
    if (FCols == 0) return nullptr;
    return &FCells[Index(row, FColLow)];
}

const Variant* TVariantArray2D::Row(int row) const {
    if (FCols == 0) return nullptr;
    return &FCells[Index(row, FColLow)];
}

}  // namespace tabrix
