#include "platform/db/csv_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "tests/support/test_support.h"

namespace tabrix {
namespace {

using ::testing::HasSubstr;

const TDataFileSource kSource{"Items", "items.csv"};

std::string ErrorOf(const std::string& text) {
    return tabrix::testing::RaisedMessage<EDatabaseError>([&] { ReadCsv(text, kSource); }, "(no error)");
}

TEST(CsvReader, QuotedFieldsHoldDelimitersQuotesAndLineBreaks) {
    const TRecordStore s =
        ReadCsv("Name,Note\r\n\"Smith, John\",\"said \"\"hi\"\"\"\r\nLee,\"two\r\nlines\"\r\n", kSource);
    ASSERT_EQ(s.RecordCount(), 2u);
    EXPECT_EQ(s.Text(0, 0), "Smith, John");
    EXPECT_EQ(s.Text(0, 1), "said \"hi\"");
    EXPECT_EQ(s.Text(1, 1), "two\r\nlines");
    EXPECT_EQ(s.FieldDefs()[1].DataType, TFieldType::ftMemo) << "a text with a line break is a memo";
}

TEST(CsvReader, LineEndingsByteOrderMarkAndLastLine) {
    // LF only, a BOM, no line break after the last record.
    const TRecordStore s = ReadCsv("\xEF\xBB\xBFId,Name\n1,a\n2,b", kSource);
    ASSERT_EQ(s.FieldDefs()[0].Name, "Id");
    ASSERT_EQ(s.RecordCount(), 2u);
    EXPECT_EQ(s.Text(1, 1), "b");
    // Blank lines between records are no records.
    EXPECT_EQ(ReadCsv("Id\n1\n\n2\n\n", kSource).RecordCount(), 2u);
}

TEST(CsvReader, TypesAreGuessedFromAllValues) {
    const TRecordStore s = ReadCsv(
        "Int,Big,Float,Code,Flag,Day,Stamp,Clock,Mixed,Empty\n"
        "1,5000000000,1.5,007,true,2024-01-31,2024-01-31 10:00:00,10:30,1,\n"
        "-2,1,2,010,FALSE,2024-02-01,2024-02-01T11:00,23:59:59,x,\n",
        kSource);
    const auto& d = s.FieldDefs();
    EXPECT_EQ(d[0].DataType, TFieldType::ftInteger);
    EXPECT_EQ(d[1].DataType, TFieldType::ftLargeint);
    EXPECT_EQ(d[2].DataType, TFieldType::ftFloat);
    EXPECT_EQ(d[3].DataType, TFieldType::ftString) << "leading zeros make a code, not a number";
    EXPECT_EQ(d[4].DataType, TFieldType::ftBoolean);
    EXPECT_EQ(d[5].DataType, TFieldType::ftDate);
    EXPECT_EQ(d[6].DataType, TFieldType::ftDateTime);
    EXPECT_EQ(d[7].DataType, TFieldType::ftTime);
    EXPECT_EQ(d[8].DataType, TFieldType::ftString);
    EXPECT_EQ(d[9].DataType, TFieldType::ftString);
    EXPECT_EQ(s.Integer(1, 0), -2);
    EXPECT_EQ(s.Integer(0, 1), 5000000000);
    EXPECT_EQ(s.Float(1, 2), 2.0);
    EXPECT_EQ(s.Text(0, 3), "007");
    EXPECT_EQ(s.Integer(1, 4), 0);
    EXPECT_EQ(s.Float(0, 5), EncodeDate(2024, 1, 31));
    EXPECT_EQ(s.Text(0, 8), "1");
    EXPECT_TRUE(s.IsNull(0, 9));
}

TEST(CsvReader, EmptyUnquotedIsNullEmptyQuotedIsText) {
    const TRecordStore s = ReadCsv("A,B,N\n,\"\",\n\"x\",y,3\n", kSource);
    EXPECT_TRUE(s.IsNull(0, 0));
    EXPECT_FALSE(s.IsNull(0, 1));
    EXPECT_TRUE(s.IsNull(0, 2));
    EXPECT_EQ(s.FieldDefs()[2].DataType, TFieldType::ftInteger) << "nulls do not spoil a number column";
}

TEST(CsvReader, ErrorsNameTheFileLineAndColumn) {
    EXPECT_THAT(ErrorOf("A,B\n1,\"open\n2,3\n"), HasSubstr("line 2, column 3: the quoted field is not closed"));
    EXPECT_THAT(ErrorOf("A,B\n1,ab\"c\n"), HasSubstr("line 2, column 5: a quote inside an unquoted field"));
    EXPECT_THAT(ErrorOf("A,B\n\"x\"y,1\n"), HasSubstr("line 2, column 4: a delimiter or a line break must follow"));
    EXPECT_THAT(ErrorOf("A,B\n1,2\n1,2,3\n"), HasSubstr("line 3, column 5: the record has 3 fields, the header 2"));
    EXPECT_THAT(ErrorOf("A,B\n1\n"), HasSubstr("line 2, column 2: the record has 1 fields, the header 2"));
    EXPECT_THAT(ErrorOf("A,,C\n"), HasSubstr("line 1, column 3: the column has no name"));
    EXPECT_THAT(ErrorOf("Id,id\n"), HasSubstr("the column name 'id' is used twice"));
    EXPECT_EQ(ErrorOf("A,B\n1,\"x\n"), "Items: File \"items.csv\", line 2, column 3: the quoted field is not closed");
    EXPECT_THAT(ErrorOf(""), HasSubstr("Items: File \"items.csv\": the file has no header row"));
}

TEST(CsvReader, ColumnsCountCharactersNotBytes) {
    EXPECT_THAT(ErrorOf("Name,B\n\xC3\xA4\xC3\xB6x\"\n"), HasSubstr("line 2, column 4"));
}

}  // namespace
}  // namespace tabrix
