// User fields: lookups by name, the error for a missing one, the streamed
// form as a collection.
#include <gtest/gtest.h>

#include "cells/tabrix_error.h"
#include "dictionary/tabrix_dictionary.h"
#include "messages/messages.h"
#include "platform/classes/classes.h"
#include "platform/rtl/locale.h"

namespace tabrix {
namespace {

class TDictOwner : public TComponent {
    TABRIX_CLASS(TDictOwner)
public:
    explicit TDictOwner(TComponent* owner = nullptr) : TComponent(owner), FDictionary(this) {}
    TTabrixDictionary* Dictionary() const { return const_cast<TTabrixDictionary*>(&FDictionary); }

private:
    TTabrixDictionary FDictionary;
};

const TClassInfo& TDictOwner::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDictOwner, TComponent>("TDictOwner").Object("Dictionary", &TDictOwner::Dictionary).Build();
    return info;
}

TTabrixField* AddField(TTabrixDictionary& d, const char* name, const char* value) {
    TTabrixField* f = d.Add();
    f->SetFieldName(name);
    f->SetValueAsString(value);
    return f;
}

TEST(DictionaryLookup, NamesMatchIgnoringCaseButNotBlanksAndTheFirstWins) {
    TDictOwner owner;
    TTabrixDictionary& d = *owner.Dictionary();
    TTabrixField* first = AddField(d, "Company", "Tabrix Ltd.");
    AddField(d, "company", "second");
    EXPECT_EQ(d.FindField("COMPANY"), first);
    EXPECT_EQ(d.FindField("Company "), nullptr);
    EXPECT_EQ(d.FieldByName("company")->ValueAsString(), "Tabrix Ltd.");
    EXPECT_EQ(d.GetItem(1)->GetDisplayName(), "company");
    EXPECT_EQ(d.Owner(), &owner);
    EXPECT_EQ(d.GetOwner(), &owner);
}

TEST(DictionaryLookup, NonAsciiNamesMatchInOtherCase) {
    TDictOwner owner;
    AddField(*owner.Dictionary(), "Straße", "x");
    AddField(*owner.Dictionary(), "ÄRGER", "y");
    EXPECT_NE(owner.Dictionary()->FindField("STRASSE"), owner.Dictionary()->GetItem(0));  // no folding to SS
    EXPECT_EQ(owner.Dictionary()->FindField("ärger"), owner.Dictionary()->GetItem(1));
}

TEST(DictionaryLookup, MissingFieldRaisesWithTheNameBetweenTheQuotes) {
    TDictOwner owner;
    EXPECT_EQ(owner.Dictionary()->FindField("Anything"), nullptr);  // empty: everything goes to the data sets
    try {
        owner.Dictionary()->FieldByName(" Period");
        FAIL();
    } catch (const ETabrixError& e) {
        EXPECT_STREQ(e.what(), "The field \" Period\" is not found in the dictionary. ");
    }
}

TEST(DictionaryItems, SetItemAndAssignCopyNameAndValue) {
    TDictOwner a, b;
    AddField(*a.Dictionary(), "Period", "2026");
    AddField(*a.Dictionary(), "User", "ann");
    AddField(*b.Dictionary(), "Old", "gone");
    b.Dictionary()->Assign(a.Dictionary());
    ASSERT_EQ(b.Dictionary()->Count(), 2);
    EXPECT_EQ(b.Dictionary()->GetItem(1)->ValueAsString(), "ann");
    EXPECT_EQ(b.Dictionary()->GetItem(1)->Collection(), b.Dictionary());
    b.Dictionary()->SetItem(0, a.Dictionary()->GetItem(1));
    EXPECT_EQ(b.Dictionary()->GetItem(0)->FieldName(), "User");
    EXPECT_EQ(a.Dictionary()->Count(), 2);  // the source keeps its fields
    EXPECT_THROW(b.Dictionary()->GetItem(2), EListError);
}

TEST(DictionaryStream, StoredAsAStandardCollectionAndReadBack) {
    RegisterClass(TDictOwner::StaticClassInfo());
    TDataModule dm;
    dm.SetName("Module");
    auto* owner = new TDictOwner(&dm);
    owner->SetName("Report");
    AddField(*owner->Dictionary(), "Company", "Tabrix Ltd.");
    AddField(*owner->Dictionary(), "", "");  // an empty field writes no values
    std::string text = WriteFormText(dm);
    EXPECT_NE(text.find("    Dictionary = <\n      item\n        FieldName = 'Company'\n"
                        "        ValueAsString = 'Tabrix Ltd.'\n      end\n      item\n      end>\n"),
              std::string::npos)
        << text;
    auto back = ReadFormText(text, "dict.tfm");
    auto* report = dynamic_cast<TDictOwner*>(back->FindComponent("Report"));
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->Dictionary()->Count(), 2);
    EXPECT_EQ(report->Dictionary()->FieldByName("company")->ValueAsString(), "Tabrix Ltd.");
    EXPECT_EQ(report->Dictionary()->GetNamePath(), "Report.Dictionary");
    EXPECT_EQ(report->Dictionary()->GetItem(0)->GetNamePath(), "Report.Dictionary[0]");
}

}  // namespace
}  // namespace tabrix
