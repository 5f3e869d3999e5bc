#pragma once
// Variant: empty (unassigned), null, integer, double, currency, date, Boolean,
// narrow (UTF-8) or wide (UTF-16) string, with the platform's conversions.
// TVariantArray2D: a two-dimensional array of variants with any bounds
// (the row buffer uses 1-based ones), stored row by row in one block.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix {

enum class TVarType : uint8_t {
    varEmpty,
    varNull,
    varInteger,
    varDouble,
    varCurrency,
    varDate,
    varBoolean,
    varString,   // AnsiString
    varUString,  // UnicodeString
};

const char* VarTypeName(TVarType type);

class Variant {
public:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct CurrencyValue {
        int64_t Scaled;
        bool operator==(const CurrencyValue&) const = default;
    };
    struct DateValue {
        TDateTime Value;
        bool operator==(const DateValue&) const = default;
    };

    Variant() = default;
    Variant(NullTag) : FValue(NullTag{}) {}
    Variant(int v) : FValue(static_cast<int64_t>(v)) {}
    Variant(int64_t v) : FValue(v) {}
    Variant(double v) : FValue(v) {}
    Variant(bool v) : FValue(v) {}
    Variant(const char* v) : FValue(AnsiString(v)) {}
    Variant(AnsiString v) : FValue(std::move(v)) {}
    Variant(const char16_t* v) : FValue(UnicodeString(v)) {}
    Variant(UnicodeString v) : FValue(std::move(v)) {}

    static Variant Null() { return Variant(NullTag{}); }
    static Variant FromCurrency(int64_t scaled) {
        Variant v;
        v.FValue = CurrencyValue{scaled};
        return v;
    }
    static Variant FromCurrency(double value);
    static Variant FromDate(TDateTime value) {
        Variant v;
        v.FValue = DateValue{value};
        return v;
    }

    TVarType VarType() const { return static_cast<TVarType>(FValue.index()); }
    bool IsEmpty() const { return VarType() == TVarType::varEmpty; }
    bool IsNull() const { return VarType() == TVarType::varNull; }
    bool IsString() const { return VarType() == TVarType::varString || VarType() == TVarType::varUString; }
    bool IsNumeric() const;  // integer, double or currency
    void Clear() { FValue = std::monostate{}; }

    // Conversions raise EVariantError when the value has no such meaning
    // (a null as a number, a text that is no number).
    int64_t AsInteger() const;
    double AsDouble() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;
    int64_t AsCurrency() const;  // scaled by 10000
    // Text of the value: empty and null give "", numbers use the locale's
    // decimal separator, dates the short date format (plus the time).
    AnsiString AsAnsiString() const;
    UnicodeString AsUnicodeString() const;

    // Direct access when the kind is known.
    const AnsiString* AnsiStringPtr() const { return std::get_if<AnsiString>(&FValue); }
    const UnicodeString* UnicodeStringPtr() const { return std::get_if<UnicodeString>(&FValue); }

    bool operator==(const Variant& other) const = default;

private:
    [[noreturn]] void CannotConvert(const char* target) const;

    std::variant<std::monostate, NullTag, int64_t, double, CurrencyValue, DateValue, bool, AnsiString, UnicodeString>
        FValue;
};

class TVariantArray2D {
public:
    TVariantArray2D() = default;
    TVariantArray2D(int rowLow, int rowHigh, int colLow, int colHigh);

    int RowLow() const { return FRowLow; }
    int RowHigh() const { return FRowLow + FRows - 1; }
    int ColLow() const { return FColLow; }
    int ColHigh() const { return FColLow + FCols - 1; }
    int RowCount() const { return FRows; }
    int ColCount() const { return FCols; }

    // Raise ERangeError outside the bounds.
    Variant& operator()(int row, int col);
    const Variant& operator()(int row, int col) const;
    // The cells of one row, ColCount() of them, without a bounds check of
    // the columns (the row buffer's hot path).
    Variant* Row(int row);
    const Variant* Row(int row) const;

private:
    size_t Index(int row, int col) const;

    int FRowLow = 0, FRows = 0, FColLow = 0, FCols = 0;
    std::vector<Variant> FCells;
};

}  // namespace tabrix
