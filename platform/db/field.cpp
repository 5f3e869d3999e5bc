#include "platform/db/field.h"

#include <cmath>

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"
#include "platform/db/record_store.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

const TClassInfo& TField::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TField, TComponent>("TField")
                                       .Component("DataSet", &TField::DataSet, &TField::SetDataSet)
                                       .String("FieldName", &TField::FieldName, &TField::SetFieldName)
                                       .Build();
    return info;
}

const TClassInfo& TDataSetField::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TDataSetField, TField>("TDataSetField").Build();
    return info;
}

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
    if (FDataSet) FDataSet->FieldDestroying(*this);
}

void TField::SetFieldName(const AnsiString& name) {
    if (FDataSet && FDataSet->Active()) db_errors::DataSetOpen(DataSetName(), "the fields");
    FFieldName = name;
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet) return;
    if (dataSet && dataSet->Active()) db_errors::DataSetOpen(dataSet->Name(), "the fields");
    if (FDataSet) {
        if (FDataSet->Active()) db_errors::DataSetOpen(FDataSet->Name(), "the fields");
        FDataSet->RemovePersistentField(*this);
    }
    FDataSet = dataSet;
    FIndex = -1;
    if (FDataSet) FDataSet->AddPersistentField(*this);
}

void TField::Bind(int index, TFieldType type, int size) {
    FIndex = index;
    FDataType = type;
    FSize = size;
}

const std::string& TField::DataSetName() const {
    static const std::string none;
    return FDataSet ? FDataSet->Name() : none;
}

TFieldType TField::DataType() const {
    // A source without declared types may widen a column while it is read.
    if (FDataSet && FIndex >= 0 && FDataSet->Active()) {
        if (const TRecordStore* s = FDataSet->Records()) return s->FieldDefs()[FIndex].DataType;
    }
    return FDataType;
}

bool TField::Current(const TRecordStore*& store, size_t& record) const {
    if (!FDataSet || FIndex < 0) db_errors::DataSetClosed(DataSetName());
    return FDataSet->CurrentRecord(store, record);
}

void TField::AccessError(const char* asType) const {
    db_errors::FieldAccess(DataSetName(), FFieldName, FieldTypeName(DataType()), asType);
}

bool TField::IsNull() const {
    const TRecordStore* s;
    size_t r;
    return !Current(s, r) || s->IsNull(r, FIndex);
}

AnsiString TField::AsString() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r) || s->IsNull(r, FIndex)) return {};
    switch (s->FieldDefs()[FIndex].DataType) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
            return IntToStr(s->Integer(r, FIndex));
        case TFieldType::ftBoolean:
            return s->Integer(r, FIndex) ? "True" : "False";
        case TFieldType::ftCurrency:
            return CurrToStr(s->Integer(r, FIndex));
        case TFieldType::ftFloat:
        case TFieldType::ftFMTBcd:
            return FloatToStr(s->Float(r, FIndex));
        case TFieldType::ftDate:
            return DateToStr(s->Float(r, FIndex));
        case TFieldType::ftTime:
            return TimeToStr(s->Float(r, FIndex));
        case TFieldType::ftDateTime:
            return DateTimeToStr(s->Float(r, FIndex));
        case TFieldType::ftDataSet:
            return "(DataSet)";
        default:
            return AnsiString(s->Text(r, FIndex));
    }
}

double TField::AsFloat() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r) || s->IsNull(r, FIndex)) return 0;
    const TFieldType type = s->FieldDefs()[FIndex].DataType;
    switch (type) {
        case TFieldType::ftCurrency:
            return static_cast<double>(s->Integer(r, FIndex)) / 10000.0;
        case TFieldType::ftString:
        case TFieldType::ftMemo:
            try {
                return StrToFloat(s->Text(r, FIndex));
            } catch (const EConvertError& e) {
                db_errors::FieldConvert(DataSetName(), FFieldName, e);
            }
        case TFieldType::ftBlob:
        case TFieldType::ftDataSet:
        case TFieldType::ftUnknown:
            AccessError("Float");
        default:
            break;
    }
    return StorageKindOf(type) == TStorageKind::Integer ? static_cast<double>(s->Integer(r, FIndex))
                                                        : s->Float(r, FIndex);
}

int64_t TField::AsInteger() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r) || s->IsNull(r, FIndex)) return 0;
    switch (s->FieldDefs()[FIndex].DataType) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
        case TFieldType::ftBoolean:
            return s->Integer(r, FIndex);
        case TFieldType::ftCurrency:
            return std::llround(static_cast<double>(s->Integer(r, FIndex)) / 10000.0);
        case TFieldType::ftFloat:
        case TFieldType::ftFMTBcd: {
            const double d = s->Float(r, FIndex);
            if (!(std::fabs(d) < 9.2e18)) AccessError("Integer");
            return std::llround(d);
        }
        case TFieldType::ftString:
        case TFieldType::ftMemo: {
            int64_t v = 0;
            if (!TryStrToInt64(s->Text(r, FIndex), v))
                db_errors::FieldConvert(
                    DataSetName(), FFieldName,
                    EConvertError("'" + AnsiString(s->Text(r, FIndex)) + "' is not a valid integer value"));
            return v;
        }
        default:
            AccessError("Integer");
    }
}

TDateTime TField::AsDateTime() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r) || s->IsNull(r, FIndex)) return 0;
    switch (s->FieldDefs()[FIndex].DataType) {
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime:
            return s->Float(r, FIndex);
        case TFieldType::ftString:
        case TFieldType::ftMemo: {
            TDateTime v = 0;
            const std::string_view text = s->Text(r, FIndex);
            if (!TryStrToDateTime(text, v, FormatSettings()) && !TryStrToTime(text, v, FormatSettings()))
                db_errors::FieldConvert(DataSetName(), FFieldName,
                                        EConvertError("'" + AnsiString(text) + "' is not a valid date and time"));
            return v;
        }
        default:
            AccessError("DateTime");
    }
}

bool TField::AsBoolean() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r) || s->IsNull(r, FIndex)) return false;
    switch (s->FieldDefs()[FIndex].DataType) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
        case TFieldType::ftBoolean:
            return s->Integer(r, FIndex) != 0;
        case TFieldType::ftString:
        case TFieldType::ftMemo: {
            const std::string_view text = s->Text(r, FIndex);
            if (SameText(text, "True")) return true;
            if (SameText(text, "False")) return false;
            db_errors::FieldConvert(DataSetName(), FFieldName,
                                    EConvertError("'" + AnsiString(text) + "' is not a valid boolean value"));
        }
        default:
            AccessError("Boolean");
    }
}

Variant TField::Value() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r)) return Variant::Null();
    return s->Value(r, FIndex);
}

TDataSetField::~TDataSetField() {
    if (FNestedDataSet) FNestedDataSet->DataSetFieldDestroying(*this);
}

const TRecordStore* TDataSetField::NestedRecords() const {
    const TRecordStore* s;
    size_t r;
    if (!Current(s, r)) return nullptr;
    if (StorageKindOf(s->FieldDefs()[Index()].DataType) != TStorageKind::Nested) return nullptr;
    return s->Nested(r, Index());
}

}  // namespace tabrix
