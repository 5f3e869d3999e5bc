// Published properties through the registry: lookups by name, every kind,
// the class registry.
#include <gtest/gtest.h>

#include "tests/platform/classes/test_classes.h"

namespace tabrix::testing {
namespace {

TEST(PublishedProperties, ListedBaseFirstAndFoundIgnoringCase) {
    const auto props = TTestQuery::StaticClassInfo().Properties();
    ASSERT_GE(props.size(), 2u);
    EXPECT_EQ(props[0]->Name, "Name");  // TComponent's
    EXPECT_EQ(props[1]->Name, "Connection");
    TTestQuery q;
    EXPECT_TRUE(IsPublishedProp(q, "maxrows"));
    EXPECT_FALSE(IsPublishedProp(q, "FConnection"));
    EXPECT_EQ(GetPropInfo(q, "SQL")->Kind, TTypeKind::tkClass);
    EXPECT_THROW(GetPropValue(q, "NoSuch"), EPropertyError);
}

TEST(PublishedProperties, ScalarValuesReadAndWrittenByName) {
    TTestQuery q;
    SetPropValue(q, "MaxRows", Variant(25));
    SetPropValue(q, "Ratio", Variant(0.5));
    SetPropValue(q, "Active", Variant(true));
    SetPropValue(q, "Kind", Variant("QKVIEW"));
    SetPropValue(q, "Options", Variant(int64_t{(1 << qoUnique) | (1 << qoCached)}));
    EXPECT_EQ(q.MaxRows, 25);
    EXPECT_DOUBLE_EQ(q.Ratio, 0.5);
    EXPECT_TRUE(q.Active);
    EXPECT_EQ(q.Kind, TQueryKind::qkView);
    EXPECT_EQ(GetPropValue(q, "Kind").AsAnsiString(), "qkView");
    EXPECT_EQ(SetToString(QueryOptionInfo, q.Options), "[qoUnique,qoCached]");
    EXPECT_THROW(SetPropValue(q, "MaxRows", Variant(-1)), EPropertyError);  // below its range
    EXPECT_THROW(SetPropValue(q, "Kind", Variant("qkNone")), EPropertyError);
    EXPECT_THROW(SetPropValue(q, "SQL", Variant("x")), EPropertyError);
}

TEST(PublishedProperties, ObjectPropertiesGiveTheReferencedObject) {
    TComponent root;
    auto* db = new TTestConnection(&root);
    db->SetName("Db");
    auto* q = new TTestQuery(&root);
    EXPECT_EQ(GetObjectProp(*q, "Connection"), nullptr);
    SetObjectProp(*q, "Connection", db);
    EXPECT_EQ(GetObjectProp(*q, "connection"), db);
    EXPECT_EQ(GetPropValue(*q, "Connection").AsAnsiString(), "Db");
    EXPECT_EQ(GetObjectProp(*q, "SQL"), q->SQL());
    auto* other = new TTestQuery(&root);
    EXPECT_THROW(SetObjectProp(*q, "Connection", other), EPropertyError);  // not a connection
    EXPECT_THROW(GetObjectProp(*q, "MaxRows"), EPropertyError);

    TStringList lines;
    lines.Add("select 1");
    SetObjectProp(*q, "SQL", &lines);  // a sub-object takes a copy
    EXPECT_EQ(q->SQL()->Text(), "select 1\n");
    EXPECT_NE(static_cast<TPersistent*>(q->SQL()), &lines);
}

TEST(PublishedProperties, PropertyNameOfASubObjectIsFoundOnItsOwner) {
    TTestReport report;
    EXPECT_EQ(FindPropNameOfValue(report, report.Fields()), "Fields");
    EXPECT_EQ(FindPropNameOfValue(report, report.Options()), "Options");
    EXPECT_EQ(FindPropNameOfValue(report, nullptr), "DataSet");  // the unset reference
}

TEST(ClassRegistry, ClassesAreCreatedByNameIgnoringCase) {
    RegisterTestClasses();
    const TClassInfo* info = FindClass("ttestquery");
    ASSERT_NE(info, nullptr);
    TComponent owner;
    TComponent* c = info->ComponentFactory()(&owner);
    EXPECT_EQ(c->ClassName(), "TTestQuery");
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_TRUE(c->InheritsFrom(TComponent::StaticClassInfo()));
    EXPECT_NE(FindClass("TDataModule"), nullptr);
    EXPECT_NE(FindClass("TStringList"), nullptr);
    EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);
    EXPECT_THROW(GetClass("TNoSuchClass"), EClassNotFound);
    UnRegisterClass(TTestQuery::StaticClassInfo());
    EXPECT_EQ(FindClass("TTestQuery"), nullptr);
    RegisterTestClasses();
}

TEST(PersistentAssign, UnrelatedClassesFailWithBothNames) {
    TStringList lines;
    TTestOptions options;
    try {
        lines.Assign(&options);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TTestOptions to a TStringList");
    }
    EXPECT_THROW(lines.Assign(nullptr), EConvertError);
}

}  // namespace
}  // namespace tabrix::testing
