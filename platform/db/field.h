#pragma once
// TField: one column of a data set, read at the data set's current record.
// Fields are made when the data set opens (one per column of the source),
// or declared beforehand, e.g. in a form file, as persistent fields linked by
// DataSet and FieldName; a declared TDataSetField is what a nested table's
// DataSetField property names.
//
// Texts are those the spreadsheet turns back into the same value when they
// are typed in the user's locale: numbers with the locale's decimal
// separator and 15 significant digits, dates in the short date format,
// times in the long time format. A null field reads as "" and 0.

#include <string_view>

#include "platform/classes/component.h"
#include "platform/db/field_type.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"

namespace tabrix {

class TDataSet;
class TRecordStore;

class TField : public TComponent {
    TABRIX_CLASS(TField)
public:
    explicit TField(TComponent* owner = nullptr);
    ~TField() override;

    const AnsiString& FieldName() const { return FFieldName; }
    void SetFieldName(const AnsiString& name);
    // The data set the field belongs to; setting it declares a persistent
    // field of that data set (the data set must be closed).
    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* dataSet);

    TFieldType DataType() const;
    int Size() const { return FSize; }
    int Index() const { return FIndex; }  // position in the data set's Fields, -1 when not bound

    bool IsNull() const;
    AnsiString AsString() const;
    double AsFloat() const;
    int64_t AsInteger() const;
    TDateTime AsDateTime() const;
    bool AsBoolean() const;
    // Typed value: null, integer, double, currency, date, Boolean or text.
    Variant Value() const;

protected:
    // The store and record that hold the current value; false when the
    // data set has no current record. Raises when the data set is closed.
    bool Current(const TRecordStore*& store, size_t& record) const;

private:
    friend class TDataSet;
    void Bind(int index, TFieldType type, int size);
    [[noreturn]] void AccessError(const char* asType) const;
    const std::string& DataSetName() const;

    AnsiString FFieldName;
    TDataSet* FDataSet = nullptr;
    TFieldType FDataType = TFieldType::ftUnknown;
    int FSize = 0;
    int FIndex = -1;
};

// A field holding a nested table per record. The data set that shows it is
// the one whose DataSetField is this field.
class TDataSetField : public TField {
    TABRIX_CLASS(TDataSetField)
public:
    explicit TDataSetField(TComponent* owner = nullptr) : TField(owner) {}
    ~TDataSetField() override;

    // The nested table of the current record; null when there is none.
    const TRecordStore* NestedRecords() const;
    TDataSet* NestedDataSet() const { return FNestedDataSet; }

private:
    friend class TMemTable;
    TDataSet* FNestedDataSet = nullptr;  // maintained by the nested table
};

}  // namespace tabrix
