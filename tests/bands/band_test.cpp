// Bands: order, group numbers, display names, header/footer links, group
// values and ranges.
#include <gtest/gtest.h>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "tests/bands/report_stub.h"

namespace tabrix::testing {
namespace {

std::string Names(const TTabrixBands& bands) {
    std::string s;
    for (int i = 0; i < bands.GetCount(); ++i) s += (i ? " " : "") + bands.GetItem(i)->GetDisplayName();
    return s;
}

TEST(BandOrder, BandsStandInTypeOrderWhateverTheyAreAddedIn) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    bands.AddBand(tbxbtSummary);
    Footer(bands);
    bands.AddBand(tbxbtDetailData);
    bands.AddBand(tbxbtMasterData);
    Header(bands);
    bands.AddBand(tbxbtTitle);
    bands.AddBand(tbxbtDetailFooter);
    bands.AddBand(tbxbtDetailHeader);
    EXPECT_EQ(Names(bands), "Title GroupHeader1 MasterData DetailHeader DetailData DetailFooter GroupFooter1 Summary");
    auto* type = bands.GetItem(1);
    EXPECT_EQ(type->ClassName(), "TTabrixGroupHeaderBand");
    EXPECT_EQ(bands.GetItem(6)->ClassName(), "TTabrixGroupFooterBand");
    EXPECT_EQ(bands.GetItem(2)->ClassName(), "TTabrixBand");
}

TEST(BandOrder, PlainBandsOfOneTypeKeepTheOrderTheyWereAddedIn) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    bands.AddBand(tbxbtTitle);
    Header(bands);
    TTabrixBand* a = bands.AddBand(tbxbtMasterData);
    bands.AddBand(tbxbtSummary);
    TTabrixBand* d = bands.AddBand(tbxbtDetailData);
    TTabrixBand* b = bands.AddBand(tbxbtMasterData);
    EXPECT_EQ(d->GetIndex(), 4);  // before Summary
    EXPECT_EQ(a->GetIndex(), 2);
    EXPECT_EQ(b->GetIndex(), 3);  // after the first MasterData
}

TEST(GroupNumbering, HeadersAndFootersAreNumberedApartAndTheHighestNumberIsReused) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    auto* h1 = Header(bands);
    auto* f1 = Footer(bands);
    EXPECT_EQ(h1->GroupID(), 1);
    EXPECT_EQ(f1->GroupID(), 1);
    Header(bands);
    auto* h3 = Header(bands);
    EXPECT_EQ(h3->GroupID(), 3);
    bands.Delete(h3->GetIndex());
    EXPECT_EQ(Header(bands)->GroupID(), 3);  // the highest number comes back
    bands.Delete(h1->GetIndex());
    EXPECT_EQ(Header(bands)->GroupID(), 4);  // a lower one leaves a gap
    EXPECT_EQ(Names(bands), "GroupHeader2 GroupHeader3 GroupHeader4 GroupFooter1");
}

TEST(FooterLinks, FooterNamesItsHeadersAndHeadersNameTheFooterAlone) {
    TBandsOwner owner;
    owner.SetName("Report");
    TTabrixBands& bands = *owner.Bands();
    auto* h1 = Header(bands);
    Header(bands);
    auto* h3 = Header(bands);
    Footer(bands);
    auto* f2 = Footer(bands);
    EXPECT_EQ(f2->GetDisplayName(), "GroupFooter2");
    h1->SetFooter(f2);
    EXPECT_EQ(f2->GetDisplayName(), "GroupFooter2 - GH1");
    h3->SetFooter(f2);
    EXPECT_EQ(f2->GetDisplayName(), "GroupFooter2 - GH1, 3");
    EXPECT_EQ(h1->GetFooterBand(), "GroupFooter2");
    EXPECT_EQ(h3->GetFooterBand(), "GroupFooter2");
    EXPECT_EQ(f2->GetLastHeaderBand(), h3);
    EXPECT_EQ(h1->GetNamePath(), "Report.Bands.GroupHeader1");
    EXPECT_EQ(f2->GetNamePath(), "Report.Bands.GroupFooter2 - GH1, 3");
    EXPECT_EQ(bands.GetNamePath(), "Report.Bands");
    TTabrixBand loose(nullptr, tbxbtTitle);
    EXPECT_EQ(loose.GetNamePath(), "TTabrixBand");
    EXPECT_EQ(loose.GetIndex(), -1);
}

TEST(FooterLinks, FootersStandInReverseOrderOfTheirHeadersUnlinkedOnesLast) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    auto* h1 = Header(bands);
    auto* h2 = Header(bands);
    auto* f1 = Footer(bands);
    auto* f2 = Footer(bands);
    auto* f3 = Footer(bands);
    h2->SetFooter(f1);
    h1->SetFooter(f2);
    EXPECT_LT(f1->GetIndex(), f2->GetIndex());
    EXPECT_GT(f3->GetIndex(), f2->GetIndex());
    h2->SetFooter(f3);  // f1 loses its header and moves behind the linked footers
    EXPECT_EQ(Names(bands), "GroupHeader1 GroupHeader2 GroupFooter3 - GH2 GroupFooter2 - GH1 GroupFooter1");
}

TEST(FooterLinks, SetFooterBandFindsTheFooterIgnoringCaseAndBlanks) {
    TBandsOwner owner;
    TTabrixBands& bands = *owner.Bands();
    auto* h = Header(bands);
    Footer(bands);
    auto* f2 = Footer(bands);
    h->SetFooterBand("  groupFOOTER2  ");
    EXPECT_EQ(h->Footer(), f2);
    h->SetFooterBand(" ");
    EXPECT_EQ(h->Footer(), nullptr);
    h->SetFooter(f2);
    try {
        h->SetFooterBand("GroupFooter9");
        FAIL();
    } catch (const ETabrixError& e) {
        EXPECT_STREQ(e.what(), SFooterInOtherBands);
    }
    EXPECT_EQ(h->Footer(), f2);  // unchanged
}

TEST(FooterLinks, FooterOfAnotherCollectionIsRaisedAtRunTimeAndOnlyShownWhileDesigning) {
    TBandsOwner one, two;
    auto* h = Header(*one.Bands());
    auto* own = Footer(*one.Bands());
    auto* foreign = Footer(*two.Bands());
    h->SetFooter(own);
    EXPECT_THROW(h->SetFooter(foreign), ETabrixError);
    EXPECT_EQ(h->Footer(), own);
    one.SetDesigning(true);
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(h->SetFooter(foreign));
    EXPECT_NO_THROW(h->SetFooterBand("GroupFooter7"));
    std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find(SFooterInOtherBands), std::string::npos);
    EXPECT_EQ(h->Footer(), own);
    TTabrixGroupHeaderBand loose(nullptr);
    EXPECT_THROW(loose.SetFooter(foreign), ETabrixError);  // reported against the footer's report
    loose.SetFooterBand("GroupFooter1");                   // no collection: ignored
    EXPECT_EQ(loose.Footer(), nullptr);
}

TEST(GroupValue, FieldTextThenHandlerThenNothing) {
    TBandsOwner owner;
    auto* h = Header(*owner.Bands());
    EXPECT_EQ(h->CalcGroupExpr(), "");  // never changes
    h->OnCalcExpression = [](TTabrixBand* sender, AnsiString& value) { value = "H" + sender->GetDisplayName(); };
    EXPECT_EQ(h->CalcGroupExpr(), "HGroupHeader1");
    owner.Record["Region "] = "North";
    h->SetFieldName("Region ");  // looked up as stored, untrimmed
    EXPECT_EQ(h->CalcGroupExpr(), "North");
    h->SetFieldName("Country");
    EXPECT_THROW(h->CalcGroupExpr(), EDatabaseError);
    owner.DataSetOpen = false;
    try {
        h->CalcGroupExpr();
        FAIL();
    } catch (const ETabrixError& e) {
        EXPECT_STREQ(
            e.what(),
            "Group band GroupHeader1 takes its value from field \"Country\", but the report has no data set. ");
    }
    h->SetFieldName("   ");  // blank: the handler again
    EXPECT_EQ(h->CalcGroupExpr(), "HGroupHeader1");
}

TEST(BandRange, CornersOfTheRangeAndBlankRanges) {
    TBandsOwner owner;
    TTabrixBand* b = owner.Bands()->AddBand(tbxbtMasterData);
    b->SetRange("   ");
    EXPECT_EQ(b->GetRangeTop() + b->GetRangeLeft() + b->GetRangeBottom() + b->GetRangeRight(), 0);
    b->SetRange("$B$5:h7");
    EXPECT_EQ(b->GetRangeTop(), 5);
    EXPECT_EQ(b->GetRangeLeft(), 2);
    EXPECT_EQ(b->GetRangeBottom(), 7);
    EXPECT_EQ(b->GetRangeRight(), 8);
    EXPECT_EQ(b->Range(), "$B$5:h7");  // stored as assigned
    b->SetRange("C9");
    EXPECT_EQ(b->GetRangeTop(), 9);
    EXPECT_EQ(b->GetRangeBottom(), 9);
    EXPECT_EQ(b->GetRangeRight(), 3);
    b->SetRange("A:B5");
    EXPECT_THROW(b->GetRangeTop(), ETabrixError);
}

TEST(BandEquality, ComparesWhatTheFormStores) {
    TBandsOwner one, two;
    auto* a = Header(*one.Bands());
    auto* b = Header(*two.Bands());
    a->SetRange("A1:B2");
    b->SetRange("A1:B2");
    EXPECT_TRUE(a->IsEqual(*b));
    b->SetCaseInsensitiveCompare(false);
    EXPECT_TRUE(a->IsEqual(*b));  // not compared
    b->SetRange("a1:b2");
    EXPECT_FALSE(a->IsEqual(*b));
    b->SetRange("A1:B2");
    b->SetFieldName("Region");
    EXPECT_FALSE(a->IsEqual(*b));
    b->SetFieldName("");
    b->OnCalcExpression = TTabrixCalcExpressionEvent("CalcRegion", [](TTabrixBand*, AnsiString&) {});
    EXPECT_FALSE(a->IsEqual(*b));
    a->OnCalcExpression = TTabrixCalcExpressionEvent("CalcRegion", [](TTabrixBand*, AnsiString& v) { v = "x"; });
    EXPECT_TRUE(a->IsEqual(*b));
    EXPECT_FALSE(a->IsEqual(*two.Bands()->AddBand(tbxbtTitle)));
}

}  // namespace
}  // namespace tabrix::testing
