#pragma once
// The kinds of field a data set can hold, as the sources deliver them.

#include <cstdint>

namespace tabrix {

enum class TFieldType : uint8_t {
    ftUnknown,
    ftString,  // short text (CHAR, VARCHAR, CSV and JSON strings)
    ftMemo,    // long text (TEXT, CLOB, JSON objects kept as text)
    ftInteger,
    ftLargeint,
    ftBoolean,
    ftFloat,
    ftCurrency,  // fixed point, 4 decimals (money)
    ftFMTBcd,    // numeric / decimal, held as a double
    ftDate,
    ftTime,
    ftDateTime,
    ftBlob,
    ftDataSet,  // a nested table (JSON array of objects)
};

const char* FieldTypeName(TFieldType type);

// How a value of the type is held in a record store.
enum class TStorageKind : uint8_t { Integer, Float, Text, Nested };

constexpr TStorageKind StorageKindOf(TFieldType type) {
    switch (type) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
        case TFieldType::ftBoolean:
        case TFieldType::ftCurrency:  // scaled by 10000
            return TStorageKind::Integer;
        case TFieldType::ftFloat:
        case TFieldType::ftFMTBcd:
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime:
            return TStorageKind::Float;
        case TFieldType::ftDataSet:
            return TStorageKind::Nested;
        default:
            return TStorageKind::Text;
    }
}

}  // namespace tabrix
