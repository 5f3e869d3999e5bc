#include "platform/db/record_store.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"

namespace tabrix {
namespace {

TRecordStore TwoColumns() {
    return TRecordStore({{"Id", TFieldType::ftInteger, 0, nullptr}, {"Name", TFieldType::ftString, 10, nullptr}});
}

TEST(RecordStore, KeepsValuesPerRecordAndField) {
    TRecordStore s = TwoColumns();
    s.AppendInteger(0, 7);
    s.AppendText(1, "seven");
    s.EndRecord();
    s.AppendNull(0);
    s.AppendText(1, "");
    s.EndRecord();
    s.AppendInteger(0, -1);
    s.AppendNull(1);
    s.EndRecord();
    ASSERT_EQ(s.RecordCount(), 3u);
    EXPECT_EQ(s.Integer(0, 0), 7);
    EXPECT_EQ(s.Text(0, 1), "seven");
    EXPECT_TRUE(s.IsNull(1, 0));
    EXPECT_FALSE(s.IsNull(1, 1)) << "an empty text is not null";
    EXPECT_EQ(s.Text(1, 1), "");
    EXPECT_TRUE(s.IsNull(2, 1));
    EXPECT_EQ(s.Text(2, 1), "");
    EXPECT_EQ(s.Value(2, 0), Variant(int64_t{-1}));
    EXPECT_TRUE(s.Value(1, 0).IsNull());
}

TEST(RecordStore, ARecordMissingAValueIsRefused) {
    TRecordStore s = TwoColumns();
    s.AppendInteger(0, 1);
    EXPECT_THROW(s.EndRecord(), EAssertionFailed);
}

TEST(RecordStore, CancelledRecordLeavesNoTrace) {
    TRecordStore s = TwoColumns();
    s.AppendInteger(0, 1);
    s.AppendText(1, "one");
    s.EndRecord();
    s.AppendInteger(0, 2);
    s.AppendText(1, "half-read");
    s.CancelRecord();
    s.AppendInteger(0, 3);
    s.AppendText(1, "three");
    s.EndRecord();
    ASSERT_EQ(s.RecordCount(), 2u);
    EXPECT_EQ(s.Integer(1, 0), 3);
    EXPECT_EQ(s.Text(1, 1), "three");
    EXPECT_EQ(s.Text(0, 1), "one");
}

TEST(RecordStore, ChangeTypeWidensWithoutLosingValues) {
    TRecordStore s({{"V", TFieldType::ftLargeint, 0, nullptr}});
    s.AppendInteger(0, 2);
    s.EndRecord();
    s.AppendNull(0);
    s.EndRecord();
    s.ChangeType(0, TFieldType::ftFloat);
    EXPECT_EQ(s.Float(0, 0), 2.0);
    EXPECT_TRUE(s.IsNull(1, 0));
    s.AppendFloat(0, 2.5);
    s.EndRecord();
    s.ChangeType(0, TFieldType::ftString);
    EXPECT_EQ(s.Text(0, 0), "2");
    EXPECT_EQ(s.Text(2, 0), "2.5");
    EXPECT_TRUE(s.IsNull(1, 0));
}

TEST(RecordStore, AnAllNullColumnTakesAnyType) {
    TRecordStore s({{"V", TFieldType::ftString, 0, nullptr}});
    s.AppendNull(0);
    s.EndRecord();
    s.ChangeType(0, TFieldType::ftLargeint);
    s.AppendInteger(0, 9);
    s.EndRecord();
    EXPECT_TRUE(s.IsNull(0, 0));
    EXPECT_EQ(s.Integer(1, 0), 9);
}

}  // namespace
}  // namespace tabrix
