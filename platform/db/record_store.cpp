#include "platform/db/record_store.h"

#include <bit>
#include <charconv>

#include <fmt/format.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/iso_datetime.h"

namespace tabrix {

TRecordStore::TRecordStore(std::vector<TFieldDef> defs) : FDefs(std::move(defs)), FColumns(FDefs.size()) {}
TRecordStore::~TRecordStore() = default;
TRecordStore::TRecordStore(TRecordStore&&) noexcept = default;
TRecordStore& TRecordStore::operator=(TRecordStore&&) noexcept = default;

void TRecordStore::AppendNull(size_t field) {
    Column& c = FColumns[field];
    c.Cells.push_back(StorageKindOf(FDefs[field].DataType) == TStorageKind::Text ? c.Text.size() : 0);
    c.Null.push_back(true);
    if (StorageKindOf(FDefs[field].DataType) == TStorageKind::Nested) c.Nested.emplace_back();
}

void TRecordStore::AppendInteger(size_t field, int64_t value) {
    Column& c = FColumns[field];
    c.Cells.push_back(static_cast<uint64_t>(value));
    c.Null.push_back(false);
}

void TRecordStore::AppendFloat(size_t field, double value) {
    Column& c = FColumns[field];
    c.Cells.push_back(std::bit_cast<uint64_t>(value));
    c.Null.push_back(false);
}

void TRecordStore::AppendText(size_t field, std::string_view value) {
    Column& c = FColumns[field];
    c.Text.append(value);
    c.Cells.push_back(c.Text.size());
    c.Null.push_back(false);
}

void TRecordStore::AppendNested(size_t field, std::unique_ptr<TRecordStore> value) {
    Column& c = FColumns[field];
    c.Cells.push_back(0);
    c.Null.push_back(value == nullptr);
    c.Nested.push_back(std::move(value));
}

void TRecordStore::EndRecord() {
    ++FRecordCount;
    // The message is built only on failure: this runs once per record.
    for (size_t f = 0; f < FColumns.size(); ++f)
        if (FColumns[f].Cells.size() != FRecordCount)
            Assert(false, fmt::format("TRecordStore.EndRecord: field {} has no value", FDefs[f].Name));
}

void TRecordStore::CancelRecord() {
    for (size_t f = 0; f < FColumns.size(); ++f) {
        Column& c = FColumns[f];
        if (c.Cells.size() <= FRecordCount) continue;
        if (StorageKindOf(FDefs[f].DataType) == TStorageKind::Text)
            c.Text.resize(FRecordCount ? c.Cells[FRecordCount - 1] : 0);
        if (c.Nested.size() > FRecordCount) c.Nested.resize(FRecordCount);
        c.Cells.resize(FRecordCount);
        c.Null.resize(FRecordCount);
    }
}

double TRecordStore::Float(size_t record, size_t field) const {
    return std::bit_cast<double>(FColumns[field].Cells[record]);
}

std::string_view TRecordStore::Text(size_t record, size_t field) const {
    const Column& c = FColumns[field];
    const size_t begin = record ? c.Cells[record - 1] : 0;
    return std::string_view(c.Text).substr(begin, c.Cells[record] - begin);
}

const TRecordStore* TRecordStore::Nested(size_t record, size_t field) const {
    const Column& c = FColumns[field];
    return record < c.Nested.size() ? c.Nested[record].get() : nullptr;
}

Variant TRecordStore::Value(size_t record, size_t field) const {
    if (IsNull(record, field)) return Variant::Null();
    switch (FDefs[field].DataType) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
            return Variant(Integer(record, field));
        case TFieldType::ftBoolean:
            return Variant(Integer(record, field) != 0);
        case TFieldType::ftCurrency:
            return Variant::FromCurrency(Integer(record, field));
        case TFieldType::ftFloat:
        case TFieldType::ftFMTBcd:
            return Variant(Float(record, field));
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime:
            return Variant::FromDate(Float(record, field));
        case TFieldType::ftDataSet:
            return Variant::Null();
        default:
            return Variant(AnsiString(Text(record, field)));
    }
}

bool TRecordStore::HasValues(size_t field) const {
    for (bool null : FColumns[field].Null)
        if (!null) return true;
    return false;
}

namespace {

std::string FloatText(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// The invariant text of a stored value, used when a column turns into text.
std::string InvariantText(TFieldType type, uint64_t cell) {
    const int64_t i = static_cast<int64_t>(cell);
    const double d = std::bit_cast<double>(cell);
    switch (type) {
        case TFieldType::ftBoolean:
            return i ? "true" : "false";
        case TFieldType::ftCurrency:
            return FloatText(static_cast<double>(i) / 10000.0);
        case TFieldType::ftDate:
            return IsoDateText(d);
        case TFieldType::ftTime:
            return IsoTimeText(d);
        case TFieldType::ftDateTime:
            return IsoDateTimeText(d);
        default:
            break;
    }
    return StorageKindOf(type) == TStorageKind::Integer ? std::to_string(i) : FloatText(d);
}

}  // namespace

void TRecordStore::ChangeType(size_t field, TFieldType type) {
    TFieldDef& def = FDefs[field];
    Column& c = FColumns[field];
    const TStorageKind from = StorageKindOf(def.DataType), to = StorageKindOf(type);
    if (from == to || !HasValues(field)) {
        if (from != to) {  // only nulls so far: re-lay the empty cells
            const size_t n = c.Cells.size();
            c = Column();
            def.DataType = type;
            for (size_t r = 0; r < n; ++r) AppendNull(field);
        }
        def.DataType = type;
        return;
    }
    Assert(from != TStorageKind::Nested && to != TStorageKind::Nested,
           "TRecordStore.ChangeType: a nested table cannot change its type");
    if (from == TStorageKind::Integer && to == TStorageKind::Float) {
        for (size_t r = 0; r < c.Cells.size(); ++r) {
            double v = static_cast<double>(static_cast<int64_t>(c.Cells[r]));
            if (def.DataType == TFieldType::ftCurrency) v /= 10000.0;
            c.Cells[r] = c.Null[r] ? 0 : std::bit_cast<uint64_t>(v);
        }
    } else if (to == TStorageKind::Text) {
        Column text;
        for (size_t r = 0; r < c.Cells.size(); ++r) {
            if (!c.Null[r]) text.Text += InvariantText(def.DataType, c.Cells[r]);
            text.Cells.push_back(text.Text.size());
            text.Null.push_back(c.Null[r]);
        }
        c = std::move(text);
    } else {
        Assert(false, fmt::format("TRecordStore.ChangeType: cannot change {} to {}", FieldTypeName(def.DataType),
                                  FieldTypeName(type)));
    }
    def.DataType = type;
}

void TRecordStore::Clear() {
    for (Column& c : FColumns) c = Column();
    FRecordCount = 0;
}

}  // namespace tabrix
