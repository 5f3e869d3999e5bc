#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/rtl/files.h"
#include "platform/rtl/locale.h"
#include "tests/platform/db/test_support.h"

namespace tabrix {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const char* kCustomersCsv = "Id,Name\r\n1,Alpha\r\n2,Beta\r\n3,Gamma\r\n";
const char* kOrdersCsv = "OrderId,CustomerId,Amount\r\n10,1,100.5\r\n11,3,7\r\n12,1,20\r\n13,1,1\r\n";
const char* kOrdersJson = R"([
  {"Id": 1, "Customer": "Alpha", "Lines": [{"Sku": "A", "Qty": 1}, {"Sku": "B", "Qty": 2}]},
  {"Id": 2, "Customer": "Beta", "Lines": []},
  {"Id": 3, "Customer": "Gamma", "Lines": [{"Sku": "C", "Qty": 3}]}
])";

class MemTable : public ::testing::Test {
protected:
    TMemTable* Table(const std::string& name, const std::string& file, const std::string& content) {
        auto* t = test::Make<TMemTable>(FRoot.get(), name);
        t->SetFileName(FDir.Write(file, content));
        return t;
    }

    test::TempFolder FDir;
    std::unique_ptr<TComponent> FRoot = test::MakeRoot();
};

TEST_F(MemTable, LoadsCsvAndJsonFilesByExtension) {
    TMemTable* csv = Table("Customers", "customers.csv", kCustomersCsv);
    TMemTable* json = Table("Orders", "orders.JSON", kOrdersJson);
    csv->Open();
    json->Open();
    EXPECT_THAT(test::WalkLikeReport(*csv, "Name"), ElementsAre("Alpha", "Beta", "Gamma", "<Beta", ">Gamma"));
    EXPECT_EQ(json->FieldByName("Lines")->DataType(), TFieldType::ftDataSet);
    EXPECT_NE(dynamic_cast<TDataSetField*>(json->FieldByName("Lines")), nullptr);
}

TEST_F(MemTable, MasterSourceShowsTheRecordsOfTheMastersKey) {
    TMemTable* customers = Table("Customers", "customers.csv", kCustomersCsv);
    auto* src = test::Make<TDataSource>(FRoot.get(), "CustomersSrc");
    src->SetDataSet(customers);
    TMemTable* orders = Table("Orders", "orders.csv", kOrdersCsv);
    orders->SetMasterSource(src);
    orders->SetMasterFields("Id");
    orders->SetDetailFields("CustomerId");
    customers->Open();
    orders->Open();
    EXPECT_THAT(test::MasterDetailLines(*customers, "Name", *orders, "OrderId"),
                ElementsAre("Alpha: 10 12 13", "Beta:", "Gamma: 11"));
    // Backward and forward, as at a group change.
    customers->Prior();
    EXPECT_TRUE(orders->IsEmpty());
    customers->Prior();
    EXPECT_THAT(test::WalkLikeReport(*orders, "OrderId"), ElementsAre("10", "12", "13", "<12", ">13"));
    customers->Next();
    customers->Next();
    EXPECT_THAT(test::WalkLikeReport(*orders, "OrderId"), ElementsAre("11", "<11", ">11"));
}

TEST_F(MemTable, KeysMatchByValueAndByMoreThanOneField) {
    auto* master = test::Make<TMemTable>(FRoot.get(), "M");
    master->LoadFromJson(R"([{"Y": 2024, "Q": 1.0}, {"Y": 2024, "Q": 2}])");
    auto* src = test::Make<TDataSource>(FRoot.get(), "MSrc");
    src->SetDataSet(master);
    auto* detail = test::Make<TMemTable>(FRoot.get(), "D");
    detail->LoadFromCsv("Year,Quarter,V\n2024,1,a\n2024,2,b\n2023,1,c\n2024,1,d\n");
    detail->SetMasterSource(src);
    detail->SetMasterFields("Y;Q");
    detail->SetDetailFields("Year; Quarter");
    master->Open();
    detail->Open();
    EXPECT_THAT(test::MasterDetailLines(*master, "Q", *detail, "V"), ElementsAre("1: a d", "2: b"))
        << "1.0 in the master matches 1 in the detail";
}

TEST_F(MemTable, NestedJsonTableFollowsItsDataSetField) {
    TMemTable* orders = Table("Orders", "orders.json", kOrdersJson);
    orders->Open();
    auto* lines = test::Make<TMemTable>(FRoot.get(), "Lines");
    auto* field = dynamic_cast<TDataSetField*>(orders->FieldByName("lines"));
    ASSERT_NE(field, nullptr);
    lines->SetDataSetField(field);
    lines->Open();
    EXPECT_EQ(field->NestedDataSet(), lines);
    EXPECT_EQ(field->DataSet(), orders) << "the field's owning data set";
    EXPECT_EQ(lines->MasterDataSet(), orders);
    EXPECT_THAT(test::MasterDetailLines(*orders, "Customer", *lines, "Sku"),
                ElementsAre("Alpha: A B", "Beta:", "Gamma: C"));
    orders->Prior();
    EXPECT_TRUE(lines->Eof() && lines->Bof());
    EXPECT_NE(lines->FindField("Qty"), nullptr) << "an empty nested table still has its fields";
    orders->Prior();
    EXPECT_THAT(test::WalkLikeReport(*lines, "Qty"), ElementsAre("1", "2", "<1", ">2"));
    orders->Next();
    orders->Next();
    EXPECT_EQ(lines->FieldByName("Sku")->AsString(), "C");
}

TEST_F(MemTable, NestedTablesNestTwoLevelsDeep) {
    auto* orders = test::Make<TMemTable>(FRoot.get(), "Orders");
    orders->LoadFromJson(R"([
        {"No": 1, "Lines": [{"Sku": "A", "Serials": [{"S": "a1"}, {"S": "a2"}]}, {"Sku": "B", "Serials": []}]},
        {"No": 2, "Lines": [{"Sku": "C", "Serials": [{"S": "c1"}]}]}
    ])");
    orders->Open();
    auto* lines = test::Make<TMemTable>(FRoot.get(), "Lines");
    lines->SetDataSetField(dynamic_cast<TDataSetField*>(orders->FieldByName("Lines")));
    lines->Open();
    auto* serials = test::Make<TMemTable>(FRoot.get(), "Serials");
    serials->SetDataSetField(dynamic_cast<TDataSetField*>(lines->FieldByName("Serials")));
    serials->Open();
    EXPECT_THAT(test::MasterDetailLines(*lines, "Sku", *serials, "S"), ElementsAre("A: a1 a2", "B:"));
    orders->Next();
    EXPECT_EQ(serials->MasterDataSet(), lines) << "the link survives the master's moves";
    EXPECT_THAT(test::MasterDetailLines(*lines, "Sku", *serials, "S"), ElementsAre("C: c1"));
}

TEST_F(MemTable, DeclaredFieldsMustExist) {
    TMemTable* customers = Table("Customers", "customers.csv", kCustomersCsv);
    auto* declared = test::Make<TField>(FRoot.get(), "CustomersCode");
    declared->SetFieldName("Code");
    declared->SetDataSet(customers);
    EXPECT_EQ(test::OpenError(*customers), "Customers: Field 'Code' not found");
    EXPECT_FALSE(customers->Active());
    declared->SetFieldName("NAME");
    customers->Open();
    EXPECT_EQ(customers->FieldByName("name"), declared) << "a declared field takes the column's place";
    EXPECT_EQ(declared->AsString(), "Alpha");
    EXPECT_THROW(declared->SetFieldName("Id"), EDatabaseError) << "not while the data set is open";
    delete declared;
    EXPECT_EQ(customers->FindField("Name"), nullptr) << "a destroyed field leaves the data set";
}

TEST_F(MemTable, OpeningANestedTableOpensItsMaster) {
    TMemTable* orders = Table("Orders", "orders.json", kOrdersJson);
    orders->Open();
    auto* field = dynamic_cast<TDataSetField*>(orders->FieldByName("Lines"));
    auto* lines = test::Make<TMemTable>(FRoot.get(), "Lines");
    lines->SetDataSetField(field);
    orders->Close();
    lines->Open();
    EXPECT_TRUE(orders->Active());
    EXPECT_EQ(lines->FieldByName("Sku")->AsString(), "A");
    orders->Close();
    EXPECT_TRUE(lines->IsEmpty()) << "a closed master shows no nested records";
}

TEST_F(MemTable, FileErrorsNameTheTableAndTheFile) {
    TMemTable* bad = Table("Items", "items.csv", "Id,Name\n1,\"open\n");
    EXPECT_EQ(test::OpenError(*bad),
              "Items: File \"" + FDir.File("items.csv") + "\", line 2, column 3: the quoted field is not closed");
    TMemTable* badJson = Table("Orders", "orders.json", "[{\"Id\": 1},\n {\"Id\": }]");
    EXPECT_THAT(test::OpenError(*badJson),
                HasSubstr("Orders: File \"" + FDir.File("orders.json") + "\", line 2, column 9: "));
    auto* gone = test::Make<TMemTable>(FRoot.get(), "Gone");
    gone->SetFileName(FDir.File("missing.csv"));
    EXPECT_EQ(test::OpenError(*gone), "Gone: File \"" + FDir.File("missing.csv") + "\": the file does not exist");
    auto* nothing = test::Make<TMemTable>(FRoot.get(), "Nothing");
    EXPECT_EQ(test::OpenError(*nothing), "Nothing: No FileName given and no records set");
}

TEST_F(MemTable, SemicolonSeparatedFilesWithDecimalCommas) {
    TMemTable* t = Table("Prices", "prices.csv", "Item;Price\nTea;\"1,5\"\nCake;2,25\n");
    t->SetDelimiter(";");
    t->Open();
    EXPECT_EQ(t->FieldByName("Price")->DataType(), TFieldType::ftString) << "the file's numbers are the locale's";
    TFormatSettingsScope de(TFormatSettings::FromLocale("de_DE.UTF-8"));
    t->Last();
    EXPECT_EQ(t->FieldByName("Price")->AsFloat(), 2.25);
    EXPECT_THROW(t->SetDelimiter("\""), EDatabaseError);
    EXPECT_THROW(t->SetDelimiter(";;"), EDatabaseError);
}

TEST_F(MemTable, RelativeFileNamesFollowTheApplicationFolder) {
    FDir.Write("customers.csv", kCustomersCsv);
    const std::string saved = ApplicationFolder();
    SetApplicationFolder(FDir.Path());
    auto* t = test::Make<TMemTable>(FRoot.get(), "Customers");
    t->SetFileName("customers.csv");
    t->Open();
    SetApplicationFolder(saved);
    EXPECT_EQ(t->RecordCount(), 3);
}

TEST_F(MemTable, MasterFieldsErrors) {
    TMemTable* customers = Table("Customers", "customers.csv", kCustomersCsv);
    auto* src = test::Make<TDataSource>(FRoot.get(), "Src");
    src->SetDataSet(customers);
    TMemTable* orders = Table("Orders", "orders.csv", kOrdersCsv);
    orders->SetMasterSource(src);
    orders->SetMasterFields("Id");
    customers->Open();
    EXPECT_EQ(test::OpenError(*orders), "Orders: Field 'Id' not found") << "DetailFields defaults to MasterFields";
    orders->SetDetailFields("CustomerId");
    orders->SetMasterFields("Code");
    EXPECT_EQ(test::OpenError(*orders), "Customers: Field 'Code' not found");
}

}  // namespace
}  // namespace tabrix
