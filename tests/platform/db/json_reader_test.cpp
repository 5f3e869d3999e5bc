#include "platform/db/json_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "tests/support/test_support.h"

namespace tabrix {
namespace {

using ::testing::HasSubstr;

const TDataFileSource kSource{"Orders", "orders.json"};

std::string ErrorOf(const std::string& text) {
    return tabrix::testing::RaisedMessage<EDatabaseError>([&] { ReadJson(text, kSource); }, "(no error)");
}

TEST(JsonReader, FieldsAreTheUnionOfMembersInFileOrder) {
    const TRecordStore s = ReadJson(R"([{"Id": 1, "Name": "a"}, {"Note": "n", "id": 2}])", kSource);
    ASSERT_EQ(s.FieldCount(), 3u);
    EXPECT_EQ(s.FieldDefs()[0].Name, "Id");
    EXPECT_EQ(s.FieldDefs()[1].Name, "Name");
    EXPECT_EQ(s.FieldDefs()[2].Name, "Note");
    EXPECT_EQ(s.Integer(1, 0), 2) << "member names are matched ignoring case";
    EXPECT_TRUE(s.IsNull(1, 1)) << "a missing member is null";
    EXPECT_TRUE(s.IsNull(0, 2));
}

TEST(JsonReader, TypesFollowTheValues) {
    const TRecordStore s = ReadJson(R"([
        {"i": 1, "f": 1, "b": true, "d": "2024-01-31", "t": "2024-01-31T10:00:00", "s": "12", "o": {"x": 1},
         "a": [1, 2], "m": 1},
        {"i": 2, "f": 2.5, "b": false, "d": null, "t": "2024-02-01 11:00", "s": "x", "o": null, "a": [], "m": "one"}
    ])",
                                    kSource);
    const auto& d = s.FieldDefs();
    EXPECT_EQ(d[0].DataType, TFieldType::ftInteger);
    EXPECT_EQ(d[1].DataType, TFieldType::ftFloat);
    EXPECT_EQ(d[2].DataType, TFieldType::ftBoolean);
    EXPECT_EQ(d[3].DataType, TFieldType::ftDate);
    EXPECT_EQ(d[4].DataType, TFieldType::ftDateTime);
    EXPECT_EQ(d[5].DataType, TFieldType::ftString) << "a quoted number stays text";
    EXPECT_EQ(d[6].DataType, TFieldType::ftMemo) << "objects are kept as JSON text";
    EXPECT_EQ(d[7].DataType, TFieldType::ftMemo) << "arrays of scalars too";
    EXPECT_EQ(d[8].DataType, TFieldType::ftString) << "numbers and texts mixed give text";
    EXPECT_EQ(s.Float(0, 1), 1.0);
    EXPECT_EQ(s.Text(0, 6), R"({"x":1})");
    EXPECT_EQ(s.Text(0, 8), "1");
    EXPECT_EQ(s.Text(1, 8), "one");
}

TEST(JsonReader, ArraysOfObjectsBecomeNestedTablesWithOneSchema) {
    const TRecordStore s = ReadJson(R"([
        {"Id": 1, "Lines": [{"Sku": "A", "Qty": 2}, {"Sku": "B", "Qty": 1}]},
        {"Id": 2, "Lines": [{"Sku": "C", "Qty": 5, "Note": "late"}]},
        {"Id": 3}
    ])",
                                    kSource);
    ASSERT_EQ(s.FieldDefs()[1].DataType, TFieldType::ftDataSet);
    ASSERT_TRUE(s.FieldDefs()[1].NestedDefs);
    EXPECT_EQ(s.FieldDefs()[1].NestedDefs->size(), 3u) << "the nested fields are those of all records";
    const TRecordStore* first = s.Nested(0, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->RecordCount(), 2u);
    EXPECT_EQ(first->Text(1, 0), "B");
    EXPECT_EQ(first->FieldCount(), 3u);
    EXPECT_TRUE(first->IsNull(0, 2));
    const TRecordStore* none = s.Nested(2, 1);
    ASSERT_NE(none, nullptr) << "a record without the member has an empty nested table with its fields";
    EXPECT_EQ(none->RecordCount(), 0u);
    EXPECT_EQ(none->FieldCount(), 3u);
}

TEST(JsonReader, ErrorsNameTheFileLineAndColumn) {
    EXPECT_THAT(ErrorOf("[\n  {\"a\": 1},\n  {\"a\": tru}\n]"), HasSubstr("orders.json\", line 3, column "));
    EXPECT_THAT(ErrorOf("[\n  {\"a\": 1},\n  {\"a\": 2\n"), HasSubstr("line 4, column 1"));
    EXPECT_EQ(ErrorOf("[{\"a\": 1},\n {\"a\": 1E400}]"),
              "Orders: File \"orders.json\", line 2, column 8: number overflow parsing '1E400'");
    EXPECT_EQ(ErrorOf("  {\"a\": 1}"),
              "Orders: File \"orders.json\", line 1, column 3: an array of objects is expected");
    EXPECT_EQ(ErrorOf("[{\"a\": 1},\n 17]"),
              "Orders: File \"orders.json\", line 2, column 2: record 2 is not an object");
    EXPECT_EQ(ErrorOf("[{\"a\": \"]\"}, {\"b\": [1, {\"c\": \"}\"}]},\n  \"x\"]"),
              "Orders: File \"orders.json\", line 2, column 3: record 3 is not an object");
}

TEST(JsonReader, HostileNestingIsRefusedWithItsPosition) {
    std::string deep = "[{\"a\": ";
    for (int i = 0; i < 100000; ++i) deep += "[{\"a\": ";
    EXPECT_THAT(ErrorOf(deep), HasSubstr("line 1, column 701: arrays and objects are nested more than 200 deep"));
    // Brackets inside texts do not count.
    EXPECT_EQ(ReadJson("[{\"a\": \"" + std::string(1000, '[') + "\"}]", kSource).RecordCount(), 1u);
    // Nested tables within the limit are read.
    std::string fine = "[", close = "]";
    for (int i = 0; i < 60; ++i) fine += "{\"a\": [", close = "]}" + close;
    EXPECT_EQ(ReadJson(fine + close, kSource).FieldDefs()[0].DataType, TFieldType::ftDataSet);
}

TEST(JsonReader, AnEmptyArrayIsAnEmptyTable) {
    const TRecordStore s = ReadJson("[]", kSource);
    EXPECT_EQ(s.RecordCount(), 0u);
    EXPECT_EQ(s.FieldCount(), 0u);
}

}  // namespace
}  // namespace tabrix
