// Which data set supplies a field reference, user fields from the dictionary
// and OnGetFieldValue, and the detail data set found through the three kinds
// of master/detail link.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "tests/report/templ_fixture.h"

namespace tabrix::testing {
namespace {

using FieldResolution = TTemplFixture;

void AddUserField(TTabrix& report, const char* name, const char* value) {
    auto* field = static_cast<TTabrixField*>(report.Dictionary()->Add());
    field->SetFieldName(name);
    field->SetValueAsString(value);
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST_F(FieldResolution, ADictionaryNameShadowsAFieldOfTheDataSet) {
    Report->SetDataSet(Table("Orders", "Qty\n3\n"));
    AddUserField(*Report, "qty", "many");
    EXPECT_EQ(Report->FindFieldDataSet("Qty"), nullptr);
    Variant value;
    Report->GetUserFieldValue(nullptr, "QTY", value);
    EXPECT_EQ(value, Variant(AnsiString("many")));
}

TEST_F(FieldResolution, NamedDataSetsAreCachedByTheirDataSetPartIgnoringFieldAndCase) {
    TMemTable* customers = Table("Customers", "Name,City\nAnn,Rome\n");
    EXPECT_EQ(Report->FindFieldDataSet("Customers.Name"), customers);
    customers->SetName("Clients");  // only the cache still knows it by the old name
    EXPECT_EQ(Report->FindFieldDataSet("CUSTOMERS.City"), customers);
    EXPECT_EQ(Report->FindFieldDataSet("Clients.City"), customers);
    EXPECT_EQ(MessageOf([&] { Report->FindFieldDataSet("customers.Street"); }),
              Format(SFieldNotFoundInTable, {"customers.Street", "Clients"}));
}

TEST_F(FieldResolution, ANamedDataSetIsOpenedWhenItIsClosed) {
    TMemTable* customers = Table("Customers", "Name\nAnn\n");
    customers->Close();
    EXPECT_EQ(Report->FindFieldDataSet("Customers.Name"), customers);
    EXPECT_TRUE(customers->Active());
}

TEST_F(FieldResolution, ADottedFieldNameOfTheDataSetFallsBackToTheDataSetAndIsNotCached) {
    TMemTable* orders = Table("Orders", "Address.City,Qty\nRome,1\n");
    Report->SetDataSet(orders);
    EXPECT_EQ(MessageOf([&] { Report->FindFieldDataSet("Address.City"); }),
              Format(SFieldNotFoundInTable, {"Address.City", "Orders"}))
        << "the field test looks for City";
    TMemTable* withCity = Table("Shops", "Address.City,City\nRome,Milan\n");
    Report->SetDataSet(withCity);
    EXPECT_EQ(Report->FindFieldDataSet("Address.City"), withCity);
    Report->SetDataSet(orders);
    EXPECT_EQ(MessageOf([&] { Report->FindFieldDataSet("Address.City"); }),
              Format(SFieldNotFoundInTable, {"Address.City", "Orders"}))
        << "a fallback is not cached";
}

TEST_F(FieldResolution, PlainNamesComeFromTheDataSetThenTheDetailDataSetElseTheyAreUserFields) {
    TMemTable* orders = Table("Orders", "Qty\n3\n");
    TMemTable* lines = Table("Lines", "Sku,Qty\nA,1\n");
    lines->Close();  // a detail is found even before the build moved it
    Report->SetDataSet(orders);
    Report->SetDetailDataSet(lines);
    EXPECT_EQ(Report->FindFieldDataSet("Qty"), orders);
    EXPECT_EQ(Report->FindFieldDataSet("sku"), lines);
    EXPECT_EQ(Report->FindFieldDataSet("Today"), nullptr);
}

TEST_F(FieldResolution, FormsAndDataModulesAreSearchedForThreePartNames) {
    auto other = std::make_unique<TDataModule>();
    other->SetName("Stock");
    auto* items = new TMemTable(other.get());
    items->SetName("Items");
    items->LoadFromCsv("Sku\nA\n", "Items");
    EXPECT_EQ(Report->FindFieldDataSet("stock.items.Sku"), items);
    EXPECT_TRUE(items->Active());
    EXPECT_EQ(Report->FindFieldDataSet("Nowhere.Items.Sku"), nullptr);
    EXPECT_EQ(MessageOf([&] { Report->FindFieldDataSet("A.B.C.D"); }), Format(SBadFieldName, {"A.B.C.D"}));
    (new TDataSource(Module.get()))->SetName("Src");
    EXPECT_THROW(Report->FindFieldDataSet("Src.X"), EConvertError) << "a named component that is no data set";
}

TEST_F(FieldResolution, UserFieldsFromTheEventAndWhenNobodySuppliesThem) {
    std::vector<std::pair<std::string, Variant>> given = {
        {"Null", Variant::Null()}, {"Blank", Variant(AnsiString())}, {"Count", Variant(3)}};
    Report->OnGetFieldValue = [&](TComponent* sender, const AnsiString& field, Variant& value) {
        EXPECT_EQ(sender, Report);
        EXPECT_TRUE(value.IsEmpty()) << "the value starts unassigned";
        for (const auto& [name, v] : given)
            if (name == field) value = v;
    };
    for (const auto& [name, v] : given) {
        Variant value("stale");
        Report->GetUserFieldValue(nullptr, name, value);
        EXPECT_EQ(value, v) << name;
    }
    Variant value;
    EXPECT_EQ(MessageOf([&] { Report->GetUserFieldValue(nullptr, "Other", value); }),
              Format(SFieldNotFoundInTables, {"Other"}));
    Report->OnGetFieldValue.Clear();
    EXPECT_EQ(MessageOf([&] { Report->GetUserFieldValue(nullptr, "Null", value); }),
              Format(SFieldNotFoundInTables, {"Null"}));
}

// ---- the detail data set of a band

class DetailLink : public TTemplFixture {
protected:
    void SetUp() override {
        TTemplFixture::SetUp();
        Customers = Table("Customers", "Id,Name\n1,Ann\n2,Bob\n");
        CustomersSrc = new TDataSource(Module.get());
        CustomersSrc->SetName("CustomersSrc");
        CustomersSrc->SetDataSet(Customers);
        Report->SetDataSet(Customers);
    }
    TDataSet* Detail(const char16_t* text) {
        Cell("B3", text);
        return Report->FindDetailDataSetInTempl(Book->Worksheets().Item(1), "A3:C3");
    }
    TMemTable* Customers = nullptr;
    TDataSource* CustomersSrc = nullptr;
};

TEST_F(DetailLink, ATableWithMasterSourceOnTheDataSet) {
    TMemTable* orders = Table("Orders", "CustomerId,Amount\n1,5\n");
    orders->Close();
    orders->SetMasterSource(CustomersSrc);
    orders->SetMasterFields("Id");
    orders->SetDetailFields("CustomerId");
    EXPECT_EQ(Detail(u"Sum: #Orders.Amount"), orders);
    EXPECT_EQ(Detail(u"#Amount"), nullptr) << "a plain name names no data set";
}

TEST_F(DetailLink, AQueryWithDataSourceOnTheDataSet) {
    const std::string file = Folder + "shop.db";
    std::ofstream(file).close();
    auto* db = new TSQLiteConnection(Module.get());
    db->SetDatabase(file);
    db->SetReadOnly(false);  // it makes its table
    db->ExecSQL("create table orders(customer_id integer, amount real); insert into orders values (1, 5)");
    auto* query = new TSQLQuery(Module.get());
    query->SetName("OrderQuery");
    query->SetConnection(db);
    query->SQL()->SetText("select * from orders where customer_id = :Id");
    query->SetDataSource(CustomersSrc);
    EXPECT_EQ(Detail(u"#OrderQuery.amount"), query);
}

TEST_F(DetailLink, ANestedTableOfAFieldOfTheDataSet) {
    Customers->Close();
    Customers->LoadFromJson(R"([{"Id": 1, "Lines": [{"Sku": "A"}]}])", "Customers");
    auto* linesField = new TDataSetField(Module.get());
    linesField->SetName("CustomersLines");
    linesField->SetDataSet(Customers);
    linesField->SetFieldName("Lines");
    Customers->Open();
    auto* lines = new TMemTable(Module.get());
    lines->SetName("Lines");
    lines->SetDataSetField(linesField);
    EXPECT_EQ(Detail(u"#Lines.Sku"), lines);
}

TEST_F(DetailLink, NoLinkToTheDataSetMeansNoDetail) {
    TMemTable* other = Table("Other", "Id\n1\n");
    auto* otherSrc = new TDataSource(Module.get());
    otherSrc->SetDataSet(other);
    TMemTable* orders = Table("Orders", "Id,Amount\n1,5\n");
    orders->Close();
    orders->SetMasterSource(otherSrc);
    orders->SetMasterFields("Id");
    EXPECT_EQ(Detail(u"#Orders.Amount"), nullptr) << "a detail of another master";
    EXPECT_EQ(Detail(u"#Customers.Name"), nullptr) << "the master itself";
    Report->SetDataSet(nullptr);
    EXPECT_EQ(Detail(u"#Orders.Amount"), nullptr) << "no data set, no detail";
}

}  // namespace
}  // namespace tabrix::testing
