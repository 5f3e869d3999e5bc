// Ownership, names, lookups and removal notification of components.
#include <gtest/gtest.h>

#include "tests/platform/classes/test_classes.h"

namespace tabrix::testing {
namespace {

class TRecorder : public TComponent {
public:
    explicit TRecorder(TComponent* owner = nullptr) : TComponent(owner) {}
    std::vector<std::pair<std::string, TOperation>> Seen;
    void Notification(TComponent* c, TOperation op) override {
        Seen.emplace_back(c->Name(), op);
        TComponent::Notification(c, op);
    }
};

TEST(ComponentOwnership, OwnerDestroysItsComponentsAndDirectDeleteLeavesTheList) {
    auto root = std::make_unique<TComponent>();
    auto* a = new TTestConnection(root.get());
    a->SetName("A");
    auto* b = new TTestConnection(root.get());
    b->SetName("B");
    ASSERT_EQ(root->ComponentCount(), 2);
    EXPECT_EQ(b->ComponentIndex(), 1);
    delete a;
    ASSERT_EQ(root->ComponentCount(), 1);
    EXPECT_EQ(root->Components(0), b);
    EXPECT_EQ(b->ComponentIndex(), 0);
    EXPECT_THROW(root->Components(1), EListError);
    root.reset();  // b goes with its owner; ASan would report a leak or double free
}

TEST(ComponentOwnership, InsertComponentMovesOwnershipAndRemoveGivesItBack) {
    TComponent first, second;
    auto* c = new TTestConnection(&first);
    c->SetName("Db");
    second.InsertComponent(c);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(c->Owner(), &second);
    std::unique_ptr<TComponent> back = second.RemoveComponent(c);
    EXPECT_EQ(back.get(), c);
    EXPECT_EQ(c->Owner(), nullptr);
    EXPECT_EQ(second.ComponentCount(), 0);
}

TEST(ComponentNames, FindComponentIgnoresCaseAndNamesAreCheckedAgainstSiblings) {
    TComponent root;
    auto* q = new TTestQuery(&root);
    q->SetName("Orders");
    EXPECT_EQ(root.FindComponent("ORDERS"), q);
    EXPECT_EQ(root.FindComponent("orders"), q);
    EXPECT_EQ(root.FindComponent("Order"), nullptr);
    EXPECT_EQ(root.FindComponent(""), nullptr);
    auto* other = new TTestQuery(&root);
    EXPECT_THROW(other->SetName("oRdErS"), EComponentError);
    EXPECT_THROW(other->SetName("1abc"), EComponentError);
    EXPECT_THROW(other->SetName("a b"), EComponentError);
    other->SetName("Orders2");
    EXPECT_EQ(other->Name(), "Orders2");
    EXPECT_EQ(GetPropValue(*other, "name").AsAnsiString(), "Orders2");
}

TEST(ComponentNotification, PublishedReferenceIsClearedWhenTheTargetGoes) {
    TComponent root;
    auto* db = new TTestConnection(&root);
    auto* q = new TTestQuery(&root);
    auto* detail = new TTestQuery(&root);
    q->SetConnection(db);
    detail->SetMasterQuery(q);  // no FreeNotification asked: the owner's notice reaches it
    delete db;
    EXPECT_EQ(q->Connection(), nullptr);
    delete q;
    EXPECT_EQ(detail->MasterQuery(), nullptr);
}

TEST(ComponentNotification, FreeNotificationWorksAcrossOwners) {
    TComponent moduleA, moduleB;
    auto* db = new TTestConnection(&moduleA);
    auto* q = new TTestQuery(&moduleB);
    q->SetConnection(db);
    delete db;
    EXPECT_EQ(q->Connection(), nullptr);

    auto* db2 = new TTestConnection(&moduleA);
    q->SetConnection(db2);
    q->RemoveFreeNotification(db2);
    q->SetConnection(nullptr);
    delete db2;  // q no longer listens; nothing to clear, nothing dangling
    EXPECT_EQ(q->Connection(), nullptr);
}

TEST(ComponentNotification, OwnerAndSiblingsHearOfInsertAndRemove) {
    TRecorder root;
    auto* listener = new TRecorder(&root);
    listener->SetName("L");
    auto* c = new TComponent(nullptr);
    c->SetName("C");
    root.InsertComponent(c);
    delete c;
    ASSERT_GE(root.Seen.size(), 3u);
    EXPECT_EQ(root.Seen[1], std::make_pair(std::string("C"), TOperation::opInsert));
    EXPECT_EQ(root.Seen.back(), std::make_pair(std::string("C"), TOperation::opRemove));
    EXPECT_EQ(listener->Seen.back(), std::make_pair(std::string("C"), TOperation::opRemove));
}

TEST(ComponentState, DesigningReachesOwnedComponentsAndLoadedEndsLoading) {
    TComponent root;
    auto* q = new TTestQuery(&root);
    root.SetDesigning(true);
    EXPECT_TRUE(q->HasState(csDesigning));
    root.SetDesigning(false);
    EXPECT_FALSE(q->HasState(csDesigning));
    q->SetState(csLoading, true);
    q->Loaded();
    EXPECT_FALSE(q->HasState(csLoading));
    EXPECT_EQ(q->LoadedCalls, 1);
}

TEST(ComponentState, RootDesignerIsFoundFromAnyOwnedComponent) {
    struct TDesigner : IDesigner {
        int Calls = 0;
        void Notification(TPersistent*, TOperation) override { ++Calls; }
    } designer;
    TComponent root;
    auto* mid = new TComponent(&root);
    auto* leaf = new TComponent(mid);
    EXPECT_EQ(leaf->FindRootDesigner(), nullptr);
    root.SetDesigner(&designer);
    EXPECT_EQ(leaf->FindRootDesigner(), &designer);
}

TEST(ApplicationLists, DataModulesAndFormsEnterAndLeave) {
    int before = Application().DataModuleCount();
    {
        TDataModule dm;
        dm.SetName("SalesModule");
        TForm form;
        form.SetName("MainForm");
        EXPECT_EQ(Application().DataModuleCount(), before + 1);
        EXPECT_EQ(Application().FindGlobalComponent("salesmodule"), &dm);
        EXPECT_EQ(Application().FindGlobalComponent("MAINFORM"), &form);
    }
    EXPECT_EQ(Application().DataModuleCount(), before);
    EXPECT_EQ(Application().FindGlobalComponent("SalesModule"), nullptr);
}

}  // namespace
}  // namespace tabrix::testing
