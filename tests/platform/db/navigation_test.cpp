// Navigation as the report loop relies on it, the same for every data set.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/platform/db/test_support.h"

namespace tabrix {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class Navigation : public ::testing::Test {
protected:
    TMemTable* Table(const std::string& csv) {
        auto* t = test::Make<TMemTable>(FRoot.get(), "Items");
        t->LoadFromCsv(csv);
        t->Open();
        return t;
    }
    std::unique_ptr<TComponent> FRoot = test::MakeRoot();
};

TEST_F(Navigation, EmptyDataSetIsAtEofAndBof) {
    TMemTable* t = Table("Id\n");
    EXPECT_TRUE(t->Eof());
    EXPECT_TRUE(t->Bof());
    EXPECT_TRUE(t->IsEmpty());
    t->Next();
    t->Prior();
    t->First();
    EXPECT_TRUE(t->Eof());
    EXPECT_TRUE(t->Bof());
    EXPECT_EQ(t->RecNo(), 0);
    EXPECT_TRUE(t->FieldByName("Id")->IsNull()) << "no record: fields read as null";
    EXPECT_EQ(t->FieldByName("Id")->AsString(), "");
    EXPECT_EQ(t->FieldByName("Id")->AsFloat(), 0.0);
}

TEST_F(Navigation, NextOnTheLastSetsEofAndStays) {
    TMemTable* t = Table("Id\n1\n2\n3\n");
    EXPECT_THAT(test::WalkLikeReport(*t, "Id"), ElementsAre("1", "2", "3", "<2", ">3"));
    t->Last();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->RecNo(), 3);
    t->Next();
    EXPECT_EQ(t->FieldByName("Id")->AsString(), "3");
}

TEST_F(Navigation, PriorOnTheFirstSetsBofAndStays) {
    TMemTable* t = Table("Id\n1\n2\n");
    t->Next();
    t->Prior();
    EXPECT_FALSE(t->Bof());
    EXPECT_EQ(t->RecNo(), 1);
    t->Prior();
    EXPECT_TRUE(t->Bof());
    EXPECT_FALSE(t->Eof());
    EXPECT_EQ(t->FieldByName("Id")->AsString(), "1");
    t->Next();
    EXPECT_FALSE(t->Bof());
    EXPECT_EQ(t->FieldByName("Id")->AsString(), "2");
}

TEST_F(Navigation, ASingleRecord) {
    TMemTable* t = Table("Id\n9\n");
    EXPECT_THAT(test::WalkLikeReport(*t, "Id"), ElementsAre("9", "<9", ">9"));
}

TEST_F(Navigation, FieldsAreFoundIgnoringCase) {
    TMemTable* t = Table(
        "OrderId,Stra\xC3\x9F"
        "e\n1,x\n");
    EXPECT_EQ(t->FindField("ORDERID"), t->Fields()[0]);
    EXPECT_EQ(t->FindField("orderid"), t->Fields()[0]);
    EXPECT_EQ(t->FindField("STRA\xC3\x9F"
                           "E"),
              t->Fields()[1])
        << "non-ASCII names too";
    EXPECT_EQ(t->FindField("OrderId "), nullptr) << "no trimming";
    EXPECT_EQ(t->FindField("Order"), nullptr);
}

TEST_F(Navigation, MissingFieldNamesTheFieldAndTheDataSet) {
    TMemTable* t = Table("Id\n1\n");
    try {
        t->FieldByName("Qty");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Items: Field 'Qty' not found");
    }
}

TEST_F(Navigation, AClosedDataSetRefusesToMoveAndToRead) {
    TMemTable* t = Table("Id\n1\n");
    TField* id = t->FieldByName("Id");
    t->Close();
    EXPECT_FALSE(t->Active());
    EXPECT_THROW(t->Next(), EDatabaseError);
    try {
        (void)id->AsString();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("Items: Cannot perform this operation on a closed dataset"));
    }
    t->Open();
    EXPECT_EQ(t->FieldByName("Id"), id) << "fields survive a close and open of the same structure";
    EXPECT_EQ(id->AsString(), "1");
}

}  // namespace
}  // namespace tabrix
