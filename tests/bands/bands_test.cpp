// The band collection: lookups, removal and relinking, header/footer pairs,
// copying, designer notifications.
#include <gtest/gtest.h>

#include "cells/tabrix_error.h"
#include "tests/bands/report_stub.h"

namespace tabrix::testing {
namespace {

TEST(BandLookups, NotEmptyBandSkipsBlankRangesAndCountsIncludeThem) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    TTabrixBand* first = bands.AddBand(tbxbtMasterData);
    first->SetRange("  ");
    TTabrixBand* second = bands.AddBand(tbxbtMasterData);
    second->SetRange("A3:D3");
    EXPECT_EQ(bands.GetNotEmptyBand(tbxbtMasterData), second);
    EXPECT_EQ(bands.GetNotEmptyBand(tbxbtTitle), nullptr);
    EXPECT_EQ(bands.GetBandCount(tbxbtMasterData), 2);
    EXPECT_EQ(bands.FindItemID(second->ID()), second);
    EXPECT_EQ(bands.FindItemID(99), nullptr);
    EXPECT_THROW(bands.GetItem(2), EListError);
    EXPECT_EQ(bands.GetPropName(), "Bands");
}

TEST(BandLookups, IdsAreNeverReusedAndMovingABandGivesItANewOne) {
    TBandsOwner one, two;
    TTabrixBand* a = one.Bands()->AddBand(tbxbtTitle);
    TTabrixBand* b = one.Bands()->AddBand(tbxbtTitle);
    EXPECT_EQ(b->ID(), a->ID() + 1);
    one.Bands()->Delete(1);
    EXPECT_EQ(one.Bands()->AddBand(tbxbtTitle)->ID(), a->ID() + 2);
    auto* h = Header(*one.Bands());
    h->SetFooter(Footer(*one.Bands()));
    h->SetBands(two.Bands());
    EXPECT_EQ(h->Footer(), nullptr);  // the link did not travel
    EXPECT_EQ(h->Bands(), two.Bands());
    EXPECT_EQ(h->GroupID(), 1);
    EXPECT_EQ(two.Bands()->GetCount(), 1);
    std::unique_ptr<TTabrixBand> loose(one.Bands()->GetItem(0));
    loose->SetBands(nullptr);  // ownership passes to whoever takes it out
    EXPECT_EQ(one.Bands()->GetCount(), 2);
}

TEST(BandRemoval, DeletingAFooterUnlinksItsHeaders) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    auto* h1 = Header(bands);
    auto* h2 = Header(bands);
    auto* f = Footer(bands);
    h1->SetFooter(f);
    h2->SetFooter(f);
    bands.Delete(f->GetIndex());
    EXPECT_EQ(h1->Footer(), nullptr);
    EXPECT_EQ(h2->GetFooterBand(), "");
}

TEST(BandRemoval, DestroyingAFooterDirectlyUnlinksItsHeadersToo) {
    TBandsOwner owner;
    auto* h = Header(*owner.Bands());
    auto* f = Footer(*owner.Bands());
    h->SetFooter(f);
    delete f;
    EXPECT_EQ(h->Footer(), nullptr);
    EXPECT_EQ(owner.Bands()->GetCount(), 1);
}

TEST(BandRemoval, DeletingAHeaderResortsItsFormerFooterAmongTheUnlinked) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    auto* h1 = Header(bands);
    auto* h2 = Header(bands);
    auto* f1 = Footer(bands);
    auto* f2 = Footer(bands);
    auto* f3 = Footer(bands);
    h1->SetFooter(f3);
    h2->SetFooter(f2);
    // f2 (GH2), f3 (GH1), f1
    EXPECT_EQ(f2->GetIndex(), 2);
    EXPECT_EQ(f3->GetIndex(), 3);
    bands.Delete(h1->GetIndex());
    // f3 lost its header: after the linked f2, in GroupID order with f1
    EXPECT_EQ(f2->GetIndex(), 1);
    EXPECT_EQ(f1->GetIndex(), 2);
    EXPECT_EQ(f3->GetIndex(), 3);
}

struct TBandsInfo {
    std::vector<TTabrixBand*> Headers, Footers;
    std::vector<int> HeaderRows, FooterRows;
    AnsiString Right, Widest;
    void Load(const TTabrixBands& bands, bool includeEmpty) {
        bands.LoadBandsInfo(includeEmpty, Headers, Footers, HeaderRows, FooterRows, Right, Widest);
    }
};

TEST(BandsInfo, OnlyATitleBandGivesOnePairAndTheColumnsOfItsRange) {
    TBandsOwner owner;
    owner.Bands()->AddBand(tbxbtTitle)->SetRange("C2:F4");
    TBandsInfo info;
    info.Load(*owner.Bands(), false);
    ASSERT_EQ(info.Headers.size(), 1u);
    EXPECT_EQ(info.Headers[0], owner.Bands()->GetItem(0));
    EXPECT_EQ(info.Footers[0], nullptr);
    EXPECT_EQ(info.HeaderRows[0], 3);
    EXPECT_EQ(info.FooterRows[0], 0);
    EXPECT_EQ(info.Right, "F");
    EXPECT_EQ(info.Widest, "D");
}

TEST(BandsInfo, NoBandWithARangeGivesNoPairAndColumnA) {
    TBandsOwner owner;
    owner.Bands()->AddBand(tbxbtMasterData);
    TBandsInfo info;
    info.Headers.push_back(nullptr);  // outputs are replaced, not appended to
    info.Load(*owner.Bands(), true);
    EXPECT_TRUE(info.Headers.empty());
    EXPECT_TRUE(info.FooterRows.empty());
    EXPECT_EQ(info.Right, "A");
    EXPECT_EQ(info.Widest, "A");
}

TEST(BandsInfo, PairsRunFromTheOutermostLevelInAndEmptyHeadersCountOnlyWhenAsked) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    bands.AddBand(tbxbtTitle)->SetRange("A1:C1");
    bands.AddBand(tbxbtSummary)->SetRange("A20:C21");
    auto* h1 = Header(bands);
    h1->SetRange("A2:AB2");
    auto* h2 = Header(bands);  // blank range
    auto* f1 = Footer(bands);
    f1->SetRange("A10:C12");
    auto* f2 = Footer(bands);
    f2->SetRange("A13:C13");
    h1->SetFooter(f1);
    h2->SetFooter(f2);
    bands.AddBand(tbxbtMasterData)->SetRange("B4:E5");
    bands.AddBand(tbxbtDetailFooter)->SetRange("A8:C8");
    bands.AddBand(tbxbtDetailData)->SetRange("A7:C7");

    TBandsInfo info;
    info.Load(bands, false);
    ASSERT_EQ(info.Headers.size(), 6u);
    EXPECT_EQ(info.Headers[0], bands.GetNotEmptyBand(tbxbtTitle));
    EXPECT_EQ(info.Footers[0], bands.GetNotEmptyBand(tbxbtSummary));
    EXPECT_EQ(info.FooterRows[0], 2);
    EXPECT_EQ(info.Headers[1], h1);
    EXPECT_EQ(info.Footers[1], f1);
    EXPECT_EQ(info.FooterRows[1], 3);
    EXPECT_EQ(info.Headers[2], nullptr);  // blank header with a footer
    EXPECT_EQ(info.Footers[2], f2);
    EXPECT_EQ(info.HeaderRows[2], 0);
    EXPECT_EQ(info.Headers[3], bands.GetNotEmptyBand(tbxbtMasterData));
    EXPECT_EQ(info.HeaderRows[3], 2);
    EXPECT_EQ(info.Headers[4], nullptr);  // no detail header, but a footer
    EXPECT_EQ(info.Footers[4], bands.GetNotEmptyBand(tbxbtDetailFooter));
    EXPECT_EQ(info.Headers[5], bands.GetNotEmptyBand(tbxbtDetailData));
    EXPECT_EQ(info.Right, "AB");
    EXPECT_EQ(info.Widest, "AB");

    info.Load(bands, true);
    EXPECT_EQ(info.Headers[2], h2);
    EXPECT_EQ(info.HeaderRows[2], 0);  // a blank range has no rows
}

TEST(BandsAssign, CopiesBandsSettingsAndLinksIntoAnotherCollection) {
    TBandsOwner source, target;
    TTabrixBands& s = *source.Bands();
    s.AddBand(tbxbtTitle)->SetRange("A1:B1");
    auto* h1 = Header(s);
    auto* h2 = Header(s);
    auto* f1 = Footer(s);
    auto* f2 = Footer(s);
    h1->SetFooter(f2);
    h2->SetFooter(f1);
    h2->SetFieldName("Region");
    h2->SetCaseInsensitiveCompare(false);
    s.AddBand(tbxbtMasterData)->SetRange("A3:B3");
    target.Bands()->AddBand(tbxbtSummary);

    target.Bands()->Assign(&s);
    TTabrixBands& t = *target.Bands();
    ASSERT_EQ(t.GetCount(), s.GetCount());
    for (int i = 0; i < s.GetCount(); ++i) {
        EXPECT_EQ(t.GetItem(i)->GetDisplayName(), s.GetItem(i)->GetDisplayName()) << i;
        EXPECT_EQ(t.GetItem(i)->Range(), s.GetItem(i)->Range()) << i;
        EXPECT_EQ(t.GetItem(i)->ClassName(), s.GetItem(i)->ClassName()) << i;
        EXPECT_EQ(t.GetItem(i)->Bands(), &t);
    }
    auto* th2 = static_cast<TTabrixGroupHeaderBand*>(t.GetItem(h2->GetIndex()));
    EXPECT_EQ(th2->FieldName(), "Region");
    EXPECT_FALSE(th2->CaseInsensitiveCompare());
    EXPECT_EQ(th2->Footer(), t.GetItem(f1->GetIndex()));
    TStringList other;
    EXPECT_THROW(t.Assign(&other), EConvertError);
}

TEST(BandsDesigner, InsertsAndRemovalsAreReportedToTheRootDesigner) {
    struct TLog : IDesigner {
        std::vector<std::pair<std::string, TOperation>> Seen;
        void Notification(TPersistent* o, TOperation op) override { Seen.emplace_back(o->ClassName(), op); }
    } log;
    TComponent root;
    root.SetDesigner(&log);
    {
        auto* owner = new TBandsOwner(&root);
        owner->Bands()->AddBand(tbxbtTitle);
        owner->Bands()->Delete(0);
        delete owner;
    }
    ASSERT_EQ(log.Seen.size(), 4u);
    EXPECT_EQ(log.Seen[0], std::make_pair(std::string("TTabrixBands"), TOperation::opInsert));
    EXPECT_EQ(log.Seen[1], std::make_pair(std::string("TTabrixBand"), TOperation::opInsert));
    EXPECT_EQ(log.Seen[2], std::make_pair(std::string("TTabrixBand"), TOperation::opRemove));
    EXPECT_EQ(log.Seen[3], std::make_pair(std::string("TTabrixBands"), TOperation::opRemove));
}

}  // namespace
}  // namespace tabrix::testing
