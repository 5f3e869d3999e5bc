// The text and numbers of every field type, from every kind of source, in
// the C and the German locale.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/rtl/convert.h"
#include "platform/rtl/locale.h"
#include "tests/platform/db/test_support.h"

namespace tabrix {
namespace {

using ::testing::HasSubstr;

// One SQLite row with a value of each type; the order of the fields is the
// order of the expectations below.
const char* kTypesDb = R"(
create table t (i integer, big bigint, f real, n numeric(10,2), m money, s varchar(20), memo text,
                d date, dt datetime, tm time, b boolean, nada integer);
insert into t values (42, 5000000000, 1234.5, 0.1, 12.3456, 'Text', 'long text', '2024-01-31',
                      '2024-01-31 13:45:00', '08:30:15', 1, null);
insert into t values (-7, 0, 1e20, 2, 0, '', '', '1999-12-31', '1999-12-31 00:00:00', '23:59:59', 0, null);
)";

class FieldText : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeSqliteDatabase(FDir.File("types.db"), kTypesDb);
        auto* db = test::Make<TSQLiteConnection>(FRoot.get(), "Db");
        db->SetDatabase(FDir.File("types.db"));
        FQuery = test::Make<TSQLQuery>(FRoot.get(), "Types");
        FQuery->SetConnection(db);
        FQuery->SQL()->SetText("select * from t");
        FQuery->Open();
    }
    std::string Text(const char* field) { return FQuery->FieldByName(field)->AsString(); }

    test::TempFolder FDir;
    std::unique_ptr<TComponent> FRoot = test::MakeRoot();
    TSQLQuery* FQuery = nullptr;
};

TEST_F(FieldText, DeclaredTypesMapToFieldTypes) {
    const TFieldType expected[] = {TFieldType::ftInteger, TFieldType::ftLargeint, TFieldType::ftFloat,
                                   TFieldType::ftFMTBcd,  TFieldType::ftCurrency, TFieldType::ftString,
                                   TFieldType::ftMemo,    TFieldType::ftDate,     TFieldType::ftDateTime,
                                   TFieldType::ftTime,    TFieldType::ftBoolean,  TFieldType::ftInteger};
    ASSERT_EQ(FQuery->FieldCount(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(FQuery->Fields()[i]->DataType(), expected[i]) << FQuery->Fields()[i]->FieldName();
    EXPECT_EQ(FQuery->FieldByName("s")->Size(), 20);
}

TEST_F(FieldText, TextsInTheCLocale) {
    TFormatSettingsScope c(TFormatSettings::Invariant());
    EXPECT_EQ(Text("i"), "42");
    EXPECT_EQ(Text("big"), "5000000000");
    EXPECT_EQ(Text("f"), "1234.5");
    EXPECT_EQ(Text("n"), "0.1");
    EXPECT_EQ(Text("m"), "12.3456");
    EXPECT_EQ(Text("s"), "Text");
    EXPECT_EQ(Text("memo"), "long text");
    EXPECT_EQ(Text("d"), FormatDateTime(TFormatSettings::Invariant().ShortDateFormat, EncodeDate(2024, 1, 31)));
    EXPECT_EQ(Text("tm"), "8:30:15");
    EXPECT_EQ(Text("b"), "True");
    EXPECT_EQ(Text("nada"), "");
    FQuery->Next();
    EXPECT_EQ(Text("f"), "1E20");
    EXPECT_EQ(Text("b"), "False");
    EXPECT_EQ(Text("tm"), "23:59:59");
    EXPECT_EQ(Text("dt"), FormatDateTime(TFormatSettings::Invariant().ShortDateFormat, EncodeDate(1999, 12, 31)))
        << "midnight leaves the time out";
}

TEST_F(FieldText, TextsInTheGermanLocale) {
    const TFormatSettings de = TFormatSettings::FromLocale("de_DE.UTF-8");
    ASSERT_EQ(de.DecimalSeparator, ',') << "the de_DE.UTF-8 locale is missing (scripts/bootstrap makes it)";
    TFormatSettingsScope scope(de);
    EXPECT_EQ(Text("f"), "1234,5");
    EXPECT_EQ(Text("n"), "0,1");
    EXPECT_EQ(Text("m"), "12,3456");
    EXPECT_EQ(Text("d"), "31.01.2024");
    EXPECT_EQ(Text("dt"), "31.01.2024 13:45:00");
    TDateTime t = 0;
    ASSERT_TRUE(TryStrToTime(Text("tm"), t, de)) << Text("tm");
    EXPECT_NEAR(t, EncodeTime(8, 30, 15, 0), 1e-9);
    FQuery->Next();
    EXPECT_EQ(Text("dt"), "31.12.1999") << "midnight leaves the time out";
}

TEST_F(FieldText, TextReadsBackAsTheSameValueInItsLocale) {
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        const TFormatSettings settings = TFormatSettings::FromLocale(locale);
        TFormatSettingsScope scope(settings);
        FQuery->First();
        for (; !FQuery->Eof(); FQuery->Next()) {
            for (const char* name : {"f", "n", "m"}) {
                TField* f = FQuery->FieldByName(name);
                EXPECT_EQ(StrToFloat(f->AsString(), settings), f->AsFloat()) << locale << " " << name;
            }
            TDateTime d = 0;
            ASSERT_TRUE(TryStrToDateTime(Text("dt"), d, settings)) << Text("dt");
            EXPECT_NEAR(d, FQuery->FieldByName("dt")->AsDateTime(), 1e-9);
        }
    }
}

TEST_F(FieldText, NumbersDatesAndNulls) {
    EXPECT_EQ(FQuery->FieldByName("i")->AsInteger(), 42);
    EXPECT_EQ(FQuery->FieldByName("i")->AsFloat(), 42.0);
    EXPECT_EQ(FQuery->FieldByName("m")->AsFloat(), 12.3456);
    EXPECT_EQ(FQuery->FieldByName("f")->AsInteger(), 1235) << "rounded";
    EXPECT_EQ(FQuery->FieldByName("b")->AsFloat(), 1.0);
    EXPECT_DOUBLE_EQ(FQuery->FieldByName("dt")->AsDateTime(), EncodeDate(2024, 1, 31) + EncodeTime(13, 45, 0, 0));
    EXPECT_DOUBLE_EQ(FQuery->FieldByName("dt")->AsFloat(), FQuery->FieldByName("dt")->AsDateTime());
    TField* nada = FQuery->FieldByName("nada");
    EXPECT_TRUE(nada->IsNull());
    EXPECT_EQ(nada->AsFloat(), 0.0);
    EXPECT_EQ(nada->AsInteger(), 0);
    EXPECT_TRUE(nada->Value().IsNull());
    EXPECT_EQ(FQuery->FieldByName("m")->Value(), Variant::FromCurrency(int64_t{123456}));
}

TEST_F(FieldText, AsFloatOfTextThatIsNoNumberIsAConversionError) {
    try {
        (void)FQuery->FieldByName("s")->AsFloat();
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Types: Field 's': 'Text' is not a valid floating point value");
    }
    EXPECT_THROW((void)FQuery->FieldByName("s")->AsInteger(), EConvertError);
    EXPECT_THROW((void)FQuery->FieldByName("d")->AsInteger(), EDatabaseError);
}

TEST_F(FieldText, NumericTextInTheLocaleIsANumber) {
    auto* t = test::Make<TMemTable>(FRoot.get(), "Texts");
    t->LoadFromJson(R"([{"v": "1,5"}, {"v": "2.5"}])");
    t->Open();
    {
        TFormatSettingsScope scope(TFormatSettings::FromLocale("de_DE.UTF-8"));
        EXPECT_EQ(t->FieldByName("v")->AsFloat(), 1.5);
    }
    t->Next();
    TFormatSettingsScope c(TFormatSettings::Invariant());
    EXPECT_EQ(t->FieldByName("v")->AsFloat(), 2.5);
}

TEST_F(FieldText, FileSourcesInTwoLocales) {
    auto* csv = test::Make<TMemTable>(FRoot.get(), "Csv");
    csv->LoadFromCsv("Amount,Day,At,Flag\n-1234.75,2024-03-05,2024-03-05T06:07:08,true\n");
    csv->Open();
    auto* json = test::Make<TMemTable>(FRoot.get(), "Json");
    json->LoadFromJson(R"([{"Amount": -1234.75, "Day": "2024-03-05", "At": "2024-03-05T06:07:08", "Flag": true}])");
    json->Open();
    for (TDataSet* ds : {static_cast<TDataSet*>(csv), static_cast<TDataSet*>(json)}) {
        {
            TFormatSettingsScope scope(TFormatSettings::FromLocale("de_DE.UTF-8"));
            EXPECT_EQ(ds->FieldByName("Amount")->AsString(), "-1234,75");
            EXPECT_EQ(ds->FieldByName("Day")->AsString(), "05.03.2024");
            EXPECT_EQ(ds->FieldByName("At")->AsString().substr(0, 11), "05.03.2024 ");
        }
        TFormatSettingsScope scope(TFormatSettings::Invariant());
        EXPECT_EQ(ds->FieldByName("Amount")->AsString(), "-1234.75");
        EXPECT_EQ(ds->FieldByName("Flag")->AsString(), "True");
        EXPECT_TRUE(ds->FieldByName("Flag")->AsBoolean());
    }
}

}  // namespace
}  // namespace tabrix
