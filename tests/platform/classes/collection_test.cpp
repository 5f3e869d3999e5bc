// Collections and string lists.
#include <gtest/gtest.h>

#include "tests/platform/classes/test_classes.h"

namespace tabrix::testing {
namespace {

TEST(Collection, ItemsKeepOrderIdsAndLeaveWhenDestroyed) {
    TTestReport report;
    TCollection& fields = *report.Fields();
    auto* a = static_cast<TTestField*>(fields.Add());
    auto* b = static_cast<TTestField*>(fields.Add());
    auto* c = static_cast<TTestField*>(fields.Add());
    EXPECT_EQ(a->ID(), 0);
    EXPECT_EQ(c->ID(), 2);
    fields.Delete(1);
    ASSERT_EQ(fields.Count(), 2);
    EXPECT_EQ(fields.Items(1), c);
    EXPECT_EQ(fields.FindItemID(1), nullptr);
    EXPECT_EQ(fields.FindItemID(2), c);
    auto* d = fields.Add();
    EXPECT_EQ(d->ID(), 3);  // never reused
    delete a;
    EXPECT_EQ(fields.Items(0), c);
    EXPECT_THROW(fields.Items(2), EListError);
    (void)b;
}

TEST(Collection, IndexMovesAndInsertPlacesItems) {
    TTestReport report;
    TCollection& fields = *report.Fields();
    auto* a = fields.Add();
    auto* b = fields.Add();
    auto* x = fields.Insert(0);
    EXPECT_EQ(x->Index(), 0);
    EXPECT_EQ(a->Index(), 1);
    b->SetIndex(0);
    EXPECT_EQ(fields.Items(0), b);
    EXPECT_EQ(fields.Items(1), x);
    EXPECT_THROW(b->SetIndex(5), EListError);
}

TEST(Collection, AssignCopiesItemsAndNamePathsUseTheOwnersProperty) {
    TTestReport report;
    report.SetName("Report");
    auto* f = static_cast<TTestField*>(report.Fields()->Add());
    f->FieldName = "Qty";
    f->Width = 4;
    EXPECT_EQ(report.Fields()->GetNamePath(), "Report.Fields");
    EXPECT_EQ(f->GetNamePath(), "Report.Fields[0]");
    EXPECT_EQ(f->DisplayName(), "Qty");

    TCollection copy(TTestField::StaticClassInfo());
    copy.Add();
    copy.Assign(report.Fields());
    ASSERT_EQ(copy.Count(), 1);
    auto* g = static_cast<TTestField*>(copy.Items(0));
    EXPECT_EQ(g->FieldName, "Qty");
    EXPECT_EQ(g->Width, 4);
    EXPECT_EQ(copy.GetNamePath(), "TCollection");  // no owner
    TStringList notACollection;
    EXPECT_THROW(copy.Assign(&notACollection), EConvertError);
}

TEST(Collection, ItemMovesBetweenCollections) {
    TCollection one(TTestField::StaticClassInfo()), two(TTestField::StaticClassInfo());
    auto* item = one.Add();
    item->SetCollection(&two);
    EXPECT_EQ(one.Count(), 0);
    EXPECT_EQ(two.Count(), 1);
    EXPECT_EQ(item->Collection(), &two);
}

TEST(StringList, TextSplitsEveryLineBreakAndJoinsWithNewlines) {
    TStringList s;
    s.SetText("select *\r\nfrom t\rwhere a = 1\norder by 1");
    ASSERT_EQ(s.Count(), 4);
    EXPECT_EQ(s[2], "where a = 1");
    EXPECT_EQ(s.Text(), "select *\nfrom t\nwhere a = 1\norder by 1\n");
    s.SetText("");
    EXPECT_EQ(s.Count(), 0);
    s.SetText("a\n\nb\n");
    EXPECT_EQ(s.Count(), 3);
    EXPECT_EQ(s[1], "");
}

TEST(StringList, NameValuePairsAndChangeEvents) {
    TStringList s;
    int changes = 0;
    s.OnChange = [&](TStrings*) { ++changes; };
    s.SetValue("Host", "localhost");
    s.SetValue("port", "5432");
    s.SetValue("HOST", "db");
    EXPECT_EQ(s.Values("host"), "db");
    EXPECT_EQ(s.Names(1), "port");
    s.SetValue("Port", "");
    EXPECT_EQ(s.Count(), 1);
    EXPECT_EQ(changes, 4);
    s.BeginUpdate();
    s.Add("x");
    s.Add("y");
    s.EndUpdate();
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(s.IndexOf("X"), 1);
    EXPECT_THROW(s.Strings(7), EListError);
}

}  // namespace
}  // namespace tabrix::testing
