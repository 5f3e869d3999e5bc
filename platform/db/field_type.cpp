#include "platform/db/field_type.h"

namespace tabrix {

const char* FieldTypeName(TFieldType type) {
    switch (type) {
        case TFieldType::ftUnknown:
            return "Unknown";
        case TFieldType::ftString:
            return "String";
        case TFieldType::ftMemo:
            return "Memo";
        case TFieldType::ftInteger:
            return "Integer";
        case TFieldType::ftLargeint:
            return "Largeint";
        case TFieldType::ftBoolean:
            return "Boolean";
        case TFieldType::ftFloat:
            return "Float";
        case TFieldType::ftCurrency:
            return "Currency";
        case TFieldType::ftFMTBcd:
            return "FMTBcd";
        case TFieldType::ftDate:
            return "Date";
        case TFieldType::ftTime:
            return "Time";
        case TFieldType::ftDateTime:
            return "DateTime";
        case TFieldType::ftBlob:
            return "Blob";
        case TFieldType::ftDataSet:
            return "DataSet";
    }
    return "Unknown";
}

}  // namespace tabrix
