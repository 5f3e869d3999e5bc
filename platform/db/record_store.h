#pragma once
// TRecordStore: the records of one result, held column by column. Numbers
// and dates are 8-byte cells, texts share one character block per column,
// nested tables are stores of their own; so a million-row result costs a few
// allocations per column instead of one per value.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/field_type.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"

namespace tabrix {

struct TFieldDef {
    AnsiString Name;
    TFieldType DataType = TFieldType::ftUnknown;
    int Size = 0;  // declared length of a text, 0 when not known
    // ftDataSet: the fields of the nested tables (known without a record).
    std::shared_ptr<const std::vector<TFieldDef>> NestedDefs;
};

class TRecordStore {
public:
    explicit TRecordStore(std::vector<TFieldDef> defs = {});
    ~TRecordStore();
    TRecordStore(TRecordStore&&) noexcept;
    TRecordStore& operator=(TRecordStore&&) noexcept;

    const std::vector<TFieldDef>& FieldDefs() const { return FDefs; }
    size_t FieldCount() const { return FDefs.size(); }
    size_t RecordCount() const { return FRecordCount; }

    // A record is appended value by value: one Append call per field, in
    // field order, then EndRecord. The value's kind must suit the field's
    // storage kind (TStorageKind).
    void AppendNull(size_t field);
    void AppendInteger(size_t field, int64_t value);
    void AppendFloat(size_t field, double value);
    void AppendText(size_t field, std::string_view value);
    void AppendNested(size_t field, std::unique_ptr<TRecordStore> value);
    void EndRecord();
    // Drops a record begun but not ended (a conversion failed half-way).
    void CancelRecord();

    bool IsNull(size_t record, size_t field) const { return FColumns[field].Null[record]; }
    int64_t Integer(size_t record, size_t field) const { return static_cast<int64_t>(FColumns[field].Cells[record]); }
    double Float(size_t record, size_t field) const;
    std::string_view Text(size_t record, size_t field) const;
    // Null when the record holds no nested table.
    const TRecordStore* Nested(size_t record, size_t field) const;
    // The value as a Variant of its type (null, integer, double, currency,
    // date, Boolean, text); a nested table gives null.
    Variant Value(size_t record, size_t field) const;

    // Changes a field's type after values were stored: an all-null column
    // takes any type, integers become floats, anything but nested tables
    // becomes text (in the invariant form). Used when a source without
    // declared types delivers a wider value than the first ones.
    void ChangeType(size_t field, TFieldType type);
    bool HasValues(size_t field) const;

    void Clear();  // all records; the field definitions stay

private:
    struct Column {
        std::vector<uint64_t> Cells;  // integer, float bits, or end offset of a text
        std::vector<bool> Null;
        std::string Text;
        std::vector<std::unique_ptr<TRecordStore>> Nested;  // one per record of a nested field
    };

    std::vector<TFieldDef> FDefs;
    std::vector<Column> FColumns;
    size_t FRecordCount = 0;
};

}  // namespace tabrix
