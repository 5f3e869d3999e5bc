// The data classes as components: created by class name from a form file,
// linked by name, readable through published properties, and let go of
// when a linked component goes away.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/classes/formfile.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/files.h"
#include "tests/platform/db/test_support.h"

namespace tabrix {
namespace {

using ::testing::ElementsAre;

class Components : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDbClasses();
        test::MakeSqliteDatabase(FDir.File("sales.db"),
                                 "create table customers (id integer, name text);"
                                 "insert into customers values (1, 'Alpha'), (2, 'Beta');"
                                 "create table orders (id integer, customer_id integer);"
                                 "insert into orders values (10, 1), (11, 2), (12, 2);");
        FDir.Write("orders.json", R"([{"Id": 1, "Lines": [{"Sku": "A"}, {"Sku": "B"}]}, {"Id": 2, "Lines": []}])");
        FDir.Write("regions.csv", "Customer,Region\n1,North\n2,South\n2,East\n");
        FSavedFolder = ApplicationFolder();
        SetApplicationFolder(FDir.Path());
    }
    void TearDown() override { SetApplicationFolder(FSavedFolder); }

    test::TempFolder FDir;
    std::string FSavedFolder;
};

const char* kForm = R"(object SalesModule: TDataModule
  object Db: TSQLiteConnection
    Database = 'sales.db'
  end
  object Customers: TSQLQuery
    Connection = Db
    SQL.Strings = (
      'select * from customers'
      'order by id')
    Active = True
  end
  object CustomersSrc: TDataSource
    DataSet = Customers
  end
  object Orders: TSQLQuery
    Connection = Db
    DataSource = CustomersSrc
    SQL.Strings = (
      'select id from orders where customer_id = :id order by id')
  end
  object Regions: TMemTable
    FileName = 'regions.csv'
    MasterSource = CustomersSrc
    MasterFields = 'id'
    DetailFields = 'Customer'
  end
  object Nested: TMemTable
    FileName = 'orders.json'
  end
  object NestedLines: TDataSetField
    DataSet = Nested
    FieldName = 'Lines'
  end
  object Lines: TMemTable
    DataSetField = NestedLines
  end
end
)";

TEST_F(Components, AFormFileCreatesAndLinksEveryDataClass) {
    std::unique_ptr<TComponent> module = ReadFormText(kForm, "sales.tfm");
    auto* customers = dynamic_cast<TSQLQuery*>(module->FindComponent("customers"));
    auto* orders = dynamic_cast<TSQLQuery*>(module->FindComponent("Orders"));
    auto* regions = dynamic_cast<TMemTable*>(module->FindComponent("Regions"));
    auto* nested = dynamic_cast<TMemTable*>(module->FindComponent("Nested"));
    auto* lines = dynamic_cast<TMemTable*>(module->FindComponent("Lines"));
    ASSERT_TRUE(customers && orders && regions && nested && lines);
    EXPECT_TRUE(customers->Active()) << "Active = True opens the query once the form is loaded";
    EXPECT_EQ(orders->Connection(), module->FindComponent("Db"));
    orders->Open();
    regions->Open();
    lines->Open();
    EXPECT_THAT(test::WalkLikeReport(*orders, "id"), ElementsAre("10", "<10", ">10"));
    EXPECT_THAT(test::WalkLikeReport(*regions, "Region"), ElementsAre("North", "<North", ">North"));
    customers->Next();
    EXPECT_THAT(test::WalkLikeReport(*orders, "id"), ElementsAre("11", "12", "<11", ">12"));
    EXPECT_THAT(test::WalkLikeReport(*regions, "Region"), ElementsAre("South", "East", "<South", ">East"));
    EXPECT_TRUE(nested->Active()) << "the nested table opened its master";
    EXPECT_THAT(test::WalkLikeReport(*lines, "Sku"), ElementsAre("A", "B", "<A", ">B"));
}

TEST_F(Components, LinksAreReadableByPropertyName) {
    std::unique_ptr<TComponent> module = ReadFormText(kForm, "sales.tfm");
    TComponent* customers = module->FindComponent("Customers");
    auto* src = dynamic_cast<TDataSource*>(GetObjectProp(*module->FindComponent("Orders"), "DataSource"));
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(src->DataSet(), customers);
    auto* master = dynamic_cast<TDataSource*>(GetObjectProp(*module->FindComponent("Regions"), "MasterSource"));
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(master->DataSet(), customers);
    auto* field = dynamic_cast<TDataSetField*>(GetObjectProp(*module->FindComponent("Lines"), "DataSetField"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->DataSet(), module->FindComponent("Nested")) << "a data-set field's owning data set";
    // Properties a class does not publish are absent, not errors of a link.
    EXPECT_EQ(GetPropInfo(*customers, "MasterSource"), nullptr);
    EXPECT_EQ(GetPropInfo(*module->FindComponent("Orders"), "DataSetField"), nullptr);
    EXPECT_EQ(GetPropValue(*module->FindComponent("Db"), "Database"), Variant("sales.db"));
}

TEST_F(Components, FormFileRoundTripKeepsTheLinks) {
    std::unique_ptr<TComponent> module = ReadFormText(kForm, "sales.tfm");
    const std::string text = WriteFormText(*module);
    EXPECT_NE(text.find("DataSource = CustomersSrc"), std::string::npos) << text;
    EXPECT_NE(text.find("DataSetField = NestedLines"), std::string::npos) << text;
    module.reset();  // the names must be free again for the copy
    std::unique_ptr<TComponent> copy = ReadFormText(text, "copy.tfm");
    auto* regions = dynamic_cast<TMemTable*>(copy->FindComponent("Regions"));
    ASSERT_NE(regions, nullptr);
    EXPECT_EQ(regions->MasterFields(), "id");
    EXPECT_EQ(regions->MasterSource(), copy->FindComponent("CustomersSrc"));
}

TEST_F(Components, ReadOnlyIsWrittenOnlyWhenAConnectionWrites) {
    std::unique_ptr<TComponent> module = ReadFormText(kForm, "sales.tfm");
    auto* db = dynamic_cast<TSQLConnection*>(module->FindComponent("Db"));
    ASSERT_NE(db, nullptr);
    EXPECT_TRUE(db->ReadOnly()) << "a form that says nothing reads only";
    db->Close();
    EXPECT_EQ(WriteFormText(*module).find("ReadOnly"), std::string::npos);
    db->SetReadOnly(false);
    const std::string text = WriteFormText(*module);
    EXPECT_NE(text.find("    ReadOnly = False\n    Database = 'sales.db'\n"), std::string::npos) << text;
    module.reset();
    std::unique_ptr<TComponent> copy = ReadFormText(text, "copy.tfm");
    EXPECT_FALSE(dynamic_cast<TSQLConnection*>(copy->FindComponent("Db"))->ReadOnly());
}

TEST_F(Components, DetailsLetGoOfALinkThatGoesAway) {
    std::unique_ptr<TComponent> module = ReadFormText(kForm, "sales.tfm");
    auto* orders = dynamic_cast<TSQLQuery*>(module->FindComponent("Orders"));
    auto* regions = dynamic_cast<TMemTable*>(module->FindComponent("Regions"));
    auto* lines = dynamic_cast<TMemTable*>(module->FindComponent("Lines"));
    orders->Open();
    lines->Open();
    delete module->FindComponent("CustomersSrc");
    EXPECT_EQ(orders->DataSource(), nullptr);
    EXPECT_EQ(regions->MasterSource(), nullptr);
    EXPECT_EQ(GetObjectProp(*orders, "DataSource"), nullptr);
    delete module->FindComponent("NestedLines");
    EXPECT_EQ(lines->DataSetField(), nullptr);
    EXPECT_FALSE(lines->Active());
    delete module->FindComponent("Db");
    EXPECT_EQ(orders->Connection(), nullptr);
    EXPECT_FALSE(orders->Active());
    delete module->FindComponent("Customers");  // with no one left to tell
    EXPECT_EQ(module->FindComponent("Customers"), nullptr);
}

TEST_F(Components, AMasterThatGoesAwayLeavesItsSourceEmpty) {
    auto root = test::MakeRoot();
    auto* master = test::Make<TMemTable>(root.get(), "Master");
    master->LoadFromCsv("Id\n1\n");
    auto* src = test::Make<TDataSource>(root.get(), "Src");
    src->SetDataSet(master);
    auto* detail = test::Make<TMemTable>(root.get(), "Detail");
    detail->LoadFromCsv("Id,V\n1,a\n");
    detail->SetMasterSource(src);
    detail->SetMasterFields("Id");
    master->Open();
    detail->Open();
    EXPECT_FALSE(detail->IsEmpty());
    delete master;
    EXPECT_EQ(src->DataSet(), nullptr);
    EXPECT_TRUE(detail->Active());
    EXPECT_TRUE(detail->IsEmpty()) << "no master record: no details";
}

TEST_F(Components, CircularLinksAreRefused) {
    auto root = test::MakeRoot();
    auto* a = test::Make<TMemTable>(root.get(), "A");
    auto* b = test::Make<TMemTable>(root.get(), "B");
    auto* srcA = test::Make<TDataSource>(root.get(), "SrcA");
    auto* srcB = test::Make<TDataSource>(root.get(), "SrcB");
    srcA->SetDataSet(a);
    srcB->SetDataSet(b);
    b->SetMasterSource(srcA);
    EXPECT_THROW(a->SetMasterSource(srcB), EDatabaseError);
    EXPECT_THROW(a->SetMasterSource(srcA), EDatabaseError);
    auto* c = test::Make<TMemTable>(root.get(), "C");
    c->SetMasterSource(srcB);
    EXPECT_THROW(srcA->SetDataSet(c), EDatabaseError) << "a source whose client is c's master";
}

}  // namespace
}  // namespace tabrix
