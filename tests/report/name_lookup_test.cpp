// Reference names split into form, data set and field, and data sets found
// in the application's open data modules and forms.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "cells/name_lookup.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/classes/application.h"
#include "platform/db/db.h"
#include "platform/rtl/format.h"

namespace tabrix {
namespace {

std::tuple<std::string, std::string, std::string> Parts(const std::string& name) {
    AnsiString form = "stale", dataSet = "stale", field = "stale";
    TabrixFindStrParts(name, form, dataSet, field);
    return {form, dataSet, field};
}

TEST(NameParts, OneTwoAndThreePartsEachTrimmed) {
    using P = std::tuple<std::string, std::string, std::string>;
    EXPECT_EQ(Parts(" Amount "), (P{"", "", "Amount"}));
    EXPECT_EQ(Parts("Orders.Amount"), (P{"", "Orders", "Amount"}));
    EXPECT_EQ(Parts(" Frm . Orders . Amount "), (P{"Frm", "Orders", "Amount"}));
    EXPECT_EQ(Parts(".Amount"), (P{"", "", "Amount"})) << "an empty data set part is no error";
}

TEST(NameParts, FourPartsOrATrailingDotAreRefused) {
    for (const char* bad : {"Orders.", "Frm.Orders.", "A.B.C.D", "A..", "A.B.C."}) {
        try {
            Parts(bad);
            ADD_FAILURE() << bad << " was accepted";
        } catch (const ETabrixError& e) {
            EXPECT_EQ(e.Message(), Format(SBadFieldName, {bad}));
        }
    }
}

TEST(DataSetsInForms, DataModulesFirstThenFormsAndTheFirstNameMatchEndsTheSearch) {
    RegisterDbClasses();
    auto module = std::make_unique<TDataModule>();
    module->SetName("SalesModule");
    auto* orders = new TMemTable(module.get());
    orders->SetName("Orders");
    auto* db = new TSQLiteConnection(module.get());
    db->SetName("Db");
    auto form = std::make_unique<TForm>();
    form->SetName("salesmodule");  // same name as the module, ignoring case
    auto* formOrders = new TMemTable(form.get());
    formOrders->SetName("Orders");
    auto* customers = new TMemTable(form.get());
    customers->SetName("Customers");
    auto other = std::make_unique<TForm>();
    other->SetName("Entry");
    auto* entryCustomers = new TMemTable(other.get());
    entryCustomers->SetName("Customers");

    EXPECT_EQ(TabrixFindDSInForms("SALESMODULE", "orders"), orders) << "the data module comes first";
    EXPECT_EQ(TabrixFindDSInForms("SalesModule", "Customers"), nullptr)
        << "the module of that name has none; the form of the same name is not searched";
    EXPECT_EQ(TabrixFindDSInForms("entry", "Customers"), entryCustomers);
    EXPECT_EQ(TabrixFindDSInForms("Nowhere", "Orders"), nullptr);
    EXPECT_THROW(TabrixFindDSInForms("SalesModule", "Db"), EConvertError) << "a connection is no data set";
}

}  // namespace
}  // namespace tabrix
