// The planned copies of band sequences: template copies with their rows and
// the copy action keys in the order they run.
#include <gtest/gtest.h>

#include <algorithm>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "tests/copy/copy_fixture.h"

namespace tabrix::testing {
namespace {

using Keys = std::vector<std::string>;

// One group level with one-row bands: GH1, M, GF1 (levels: group, record).
std::vector<TBandSpec> OneGroup() { return {{tbxbtGroupHeader, 1}, {tbxbtMasterData}, {tbxbtGroupFooter, 1}}; }

struct TPlan {
    explicit TPlan(const std::vector<TBandSpec>& specs, const std::vector<int>& blankHeaders = {})
        : Set(specs, blankHeaders), Manager(Set.Bands(), Model) {}
    void Add(const TTabrixBand* band, const TTabrixBand* header = nullptr) {
        Manager.AddBand(band, header);
        for (int row = band->GetRangeTop(); row <= band->GetRangeBottom(); ++row) Expected.push_back(row);
    }
    // Report rows whose template row is not the one of their band.
    Keys WrongRows() const {
        Keys wrong;
        for (size_t i = 0; i < Expected.size(); ++i)
            if (Model.TemplateRowAt(static_cast<int>(i) + 1) != Expected[i])
                wrong.push_back("row " + std::to_string(i + 1) + ": " +
                                std::to_string(Model.TemplateRowAt(static_cast<int>(i) + 1)));
        return wrong;
    }
    void Group(int records) {
        Add(Set.GroupHeader(1));
        for (int i = 0; i < records; ++i) Add(Set.Master());
        Add(Set.GroupFooter(1), Set.GroupHeader(1));
    }
    void Output() {
        Model.StartBlock(Manager.Root().FStartRow, Manager.Row());
        Manager.Output();
    }
    TTabrixCopyGroup& Child(int index) {
        TTabrixCopyGroup* g = Manager.Root().GetFirstChild();
        for (int i = 0; i < index; ++i) g = g->GetNext();
        return *g;
    }
    Keys Copies() const { return TemplateCopies(Set, Manager); }
    Keys Actions() const { return ActionKeys(Manager); }
    TBandSet Set;
    TModelSheet Model;
    TTabrixCopyManager Manager;
    std::vector<int> Expected;
};

TEST(CopyPlan, ThirteenRecordsWithoutEarlierGroupDouble) {
    TPlan p(OneGroup());
    p.Group(13);
    p.Output();
    EXPECT_EQ(p.Copies(), (Keys{"GH1@1", "GF1@15", "M@2"}));
    // 1, 2, 4 and 5 records: DoneCount 1, 2, 4, 8, 13.
    EXPECT_EQ(p.Actions(), (Keys{"000300020001", "000400020002", "000600020004", "000A00020005"}));
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, TenRecordsAfterThreeAloneCopyFromTheEarlierGroupThenDouble) {
    TPlan p(OneGroup());
    p.Group(3);
    p.Group(10);
    TTabrixCopyGroup& second = p.Child(1);
    second.OutputDetail();
    EXPECT_EQ(second.FDoneCount, 10);
    EXPECT_EQ(p.Copies(), Keys{});
    EXPECT_EQ(p.Actions(), (Keys{"000700020003", "000A00070003", "000D00070004"}));
}

TEST(CopyPlan, TenRecordsAfterThreeInAWholeOutputNeedFourCopiesAndNoTemplate) {
    TPlan p(OneGroup());
    p.Group(3);
    p.Group(10);
    p.Output();
    // The first group: header, footer and one record from the template.
    EXPECT_EQ(p.Copies(), (Keys{"GH1@1", "GF1@5", "M@2"}));
    // Second: header chain (header and 3 records), footer chain (3 records
    // and footer), then 3 and 1 records from the first group.
    EXPECT_EQ(p.Actions(),
              (Keys{"000300020001", "000400020001", "000600010004", "000A00020003", "000D00020001", "000E00020004"}));
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, FourAfterThreeIsCoveredByTheTwoChains) {
    TPlan p(OneGroup());
    p.Group(3);
    p.Group(4);
    p.Output();
    EXPECT_EQ(p.Copies(), (Keys{"GH1@1", "GF1@5", "M@2"}));
    EXPECT_EQ(p.Actions(), (Keys{"000300020001", "000400020001", "000600010004", "000A00040002"}));
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, EqualConsecutiveGroupsUnderOneParentNeedOneCopy) {
    TPlan p({{tbxbtTitle}, {tbxbtGroupHeader, 1}, {tbxbtMasterData}, {tbxbtGroupFooter, 1}, {tbxbtSummary}});
    p.Add(p.Set.Title());
    p.Group(3);
    p.Group(3);
    p.Add(p.Set.Summary());
    p.Output();
    EXPECT_EQ(p.Copies(), (Keys{"T@1", "S@12", "GH1@2", "GF1@6", "M@3"}));
    // The second group's header chain: header, 3 records, footer.
    EXPECT_EQ(p.Actions(), (Keys{"000400030001", "000500030001", "000700020005"}));
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, EqualGroupsAtTheOutermostLevelEndTheChainAtTheLastGroup) {
    // No title: the chain from the second group steps past the last group
    // of level 0 and ends there with what it has, not complete.
    TPlan p(OneGroup());
    p.Group(3);
    p.Group(3);
    TTabrixCopyGroup& second = p.Child(1);
    bool complete = true;
    EXPECT_EQ(second.FindHeaderChain(p.Child(0), complete, 65535), 5);
    EXPECT_FALSE(complete);
    int back = -1;
    EXPECT_EQ(second.FindFooterChain(p.Child(0), back, complete), 5);
    EXPECT_EQ(back, 5);
    EXPECT_FALSE(complete);
    p.Output();
    EXPECT_EQ(p.Actions(), (Keys{"000300020001", "000400020001", "000600010005"}));
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, EqualChainLengthsTakeTheNearerGroup) {
    TPlan p(OneGroup());
    p.Group(3);  // rows 1-5
    p.Group(3);  // rows 6-10
    p.Group(5);  // rows 11-17
    p.Output();
    // Both earlier groups give a header chain of 4 rows: the second serves.
    const Keys keys = p.Actions();
    EXPECT_NE(std::find(keys.begin(), keys.end(), "000B00060004"), keys.end()) << ::testing::PrintToString(keys);
    EXPECT_EQ(std::find(keys.begin(), keys.end(), "000B00010004"), keys.end());
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, MaxLenEndingInsideTheRecordsTakesWholeRecords) {
    TPlan p({{tbxbtGroupHeader, 1}, {tbxbtMasterData, 0, 2}, {tbxbtGroupFooter, 1}});
    p.Group(10);
    p.Group(10);
    bool complete = true;
    // Header 1 row, then (6 - 1) div 2 = 2 records of 2 rows.
    EXPECT_EQ(p.Child(1).FindHeaderChain(p.Child(0), complete, 6), 5);
    EXPECT_FALSE(complete);
    EXPECT_EQ(p.Child(1).FindHeaderChain(p.Child(0), complete, 1), 1);
    EXPECT_FALSE(complete);
}

TEST(CopyPlan, ABlockWithoutBandsCopiesNothing) {
    TPlan p(OneGroup());
    p.Group(2);
    p.Output();
    const int row = p.Manager.Row();
    const int calls = p.Model.Calls();
    p.Output();
    EXPECT_EQ(p.Copies(), Keys{});
    EXPECT_EQ(p.Actions(), Keys{});
    EXPECT_EQ(p.Manager.Row(), row);
    EXPECT_EQ(p.Model.Calls(), calls);
}

TEST(CopyPlan, ABlockBeginningInsideAGroupMakesContinuationGroups) {
    TPlan p({{tbxbtTitle},
             {tbxbtGroupHeader, 1},
             {tbxbtMasterData},
             {tbxbtDetailData},
             {tbxbtGroupFooter, 1},
             {tbxbtSummary}});
    const TBandSet& s = p.Set;
    p.Add(s.Title());
    p.Add(s.GroupHeader(1));
    p.Add(s.Master());
    p.Add(s.DetailData());
    p.Output();  // rows 1-4
    p.Add(s.DetailData());
    p.Add(s.DetailData());
    p.Add(s.Master());
    p.Add(s.DetailData());
    p.Add(s.GroupFooter(1), s.GroupHeader(1));
    p.Add(s.Summary());
    // Title/summary, group and master data all continue: their headers lie
    // in the earlier block, and the first record counts 1 at once.
    const TTabrixCopyGroup& outer = p.Child(0);
    const TTabrixCopyGroup* group = outer.GetFirstChild();
    ASSERT_NE(group, nullptr);
    const TTabrixCopyGroup* master = group->GetFirstChild();
    ASSERT_NE(master, nullptr);
    EXPECT_FALSE(outer.FHeaderIn);
    EXPECT_FALSE(group->FHeaderIn);
    EXPECT_FALSE(master->FHeaderIn);
    EXPECT_EQ(master->FChildCount, 2);
    EXPECT_EQ(master->FStartRow, 5);
    EXPECT_TRUE(master->FFooterIn);
    EXPECT_TRUE(master->GetNext()->FHeaderIn);
    EXPECT_EQ(master->GetNext()->FChildCount, 1);
    p.Output();
    EXPECT_EQ(p.Model.Faults(), Keys{});
    const int expected[] = {0, 1, 2, 3, 4, 4, 4, 3, 4, 5, 6};
    for (int row = 1; row <= 10; ++row) EXPECT_EQ(p.Model.TemplateRowAt(row), expected[row]) << "row " << row;
}

TEST(CopyPlan, AFooterPassedWithItsHeaderTakesTheHeadersLevel) {
    TBandSet set({{tbxbtGroupHeader, 1}, {tbxbtGroupHeader, 2}, {tbxbtMasterData}, {tbxbtGroupFooter, 1}});
    // One footer serving both group levels.
    dynamic_cast<TTabrixGroupHeaderBand*>(set.GroupHeader(2))
        ->SetFooter(dynamic_cast<TTabrixGroupFooterBand*>(set.GroupFooter(1)));
    TModelSheet model;
    TTabrixCopyManager manager(set.Bands(), model);
    EXPECT_EQ(manager.GetHierarchy(set.GroupFooter(1), set.GroupHeader(2)), 1);
    EXPECT_EQ(manager.GetHierarchy(set.GroupFooter(1), set.GroupHeader(1)), 0);
    EXPECT_EQ(manager.GetHierarchy(set.GroupFooter(1), nullptr), 0);
    manager.AddBand(set.GroupHeader(1), nullptr);
    manager.AddBand(set.GroupHeader(2), nullptr);
    manager.AddBand(set.Master(), nullptr);
    manager.AddBand(set.GroupFooter(1), set.GroupHeader(2));
    EXPECT_EQ(manager.Row(), 5);
    const TTabrixCopyGroup* inner = manager.Root().GetFirstChild()->GetFirstChild();
    EXPECT_TRUE(inner->FFooterIn);
    EXPECT_FALSE(manager.Root().GetFirstChild()->FFooterIn);
}

TEST(CopyPlan, OnlyMasterDataFillsTheRootByDoubling) {
    TPlan p(std::vector<TBandSpec>{{tbxbtMasterData}});
    for (int i = 0; i < 6; ++i) p.Add(p.Set.Master());
    EXPECT_EQ(p.Manager.Root().FChildCount, 6);
    p.Output();
    EXPECT_EQ(p.Copies(), Keys{"M@1"});
    EXPECT_EQ(p.Actions(), (Keys{"000200010001", "000300010002", "000500010002"}));
    for (int i = 0; i < 3; ++i) p.Add(p.Set.Master());
    p.Output();
    EXPECT_EQ(p.Copies(), Keys{"M@7"});
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

// Sequences the tree has to take apart carefully; each must leave every
// row with its band's template row.
TEST(CopyPlan, ARecordFooterThatBeginsABlockGetsItsFormatsOnItsOwn) {
    // Detail header and footer only: one level, and it holds the records.
    TPlan p(std::vector<TBandSpec>{{tbxbtDetailHeader}, {tbxbtDetailFooter}});
    const TBandSet& s = p.Set;
    p.Add(s.DetailHeader());
    p.Add(s.DetailFooter());
    p.Add(s.DetailHeader());
    p.Output();
    p.Add(s.DetailFooter());
    p.Add(s.DetailHeader());
    p.Add(s.DetailFooter());
    p.Output();
    EXPECT_EQ(p.Copies(), (Keys{"DF@4", "DH@5", "DF@6"}));
    EXPECT_EQ(p.WrongRows(), Keys{});
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, AFooterThatOpensItsLevelClosesItAgain) {
    // Master data, a detail footer without detail header, detail data.
    TPlan p({{tbxbtMasterData}, {tbxbtDetailFooter}, {tbxbtDetailData}});
    const TBandSet& s = p.Set;
    for (int records : {0, 2, 1}) {
        p.Add(s.Master());
        for (int i = 0; i < records; ++i) p.Add(s.DetailData());
        p.Add(s.DetailFooter());
    }
    p.Output();
    EXPECT_EQ(p.WrongRows(), Keys{});
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyPlan, AGroupWithABlankHeaderTakesItsFooterWithTheHeaderGiven) {
    // The outer group has a footer only: its header's range is blank.
    TPlan p({{tbxbtGroupHeader, 1}, {tbxbtGroupFooter, 1}, {tbxbtGroupHeader, 2}, {tbxbtMasterData}}, {1});
    const TBandSet& s = p.Set;
    EXPECT_EQ(p.Manager.Headers()[0], nullptr);
    EXPECT_EQ(p.Manager.GetHierarchy(s.GroupFooter(1), s.GroupHeader(1)), 0);
    for (int group = 0; group < 3; ++group) {
        p.Add(s.GroupHeader(2));
        p.Add(s.Master());
        p.Add(s.Master());
        p.Add(s.GroupFooter(1), s.GroupHeader(1));
        if (group == 0) p.Output();  // the next block begins with a deeper header
    }
    p.Output();
    EXPECT_EQ(p.WrongRows(), Keys{});
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

TEST(CopyActionKeys, AreFourHexDigitsEachAndSortByDestThenSrc) {
    EXPECT_EQ(ActionKeyText(TTabrixCopyManager::CopyActionKey(300, 12, 40)), "012C000C0028");
    EXPECT_EQ(ActionKeyText(TTabrixCopyManager::CopyActionKey(10, 3, 2)), "000A00030002");
    EXPECT_EQ(TTabrixCopyManager::ParseCopyActionKey("012c000C0028"), (TTabrixCopyAction{300, 12, 40}));
    TBandSet set(OneGroup());
    TModelSheet model;
    TTabrixCopyManager manager(set.Bands(), model);
    manager.AddCopyAction(300, 40, 1);
    manager.AddCopyAction(300, 12, 40);
    manager.AddCopyAction(16, 1, 1);
    manager.AddCopyAction(300, 12, 40);  // equal keys are all kept
    std::vector<TTabrixCopyActionKey> keys = manager.Actions();
    std::sort(keys.begin(), keys.end());
    std::vector<std::string> text;
    for (const auto& k : keys) text.push_back(ActionKeyText(k));
    EXPECT_EQ(text, (Keys{"001000010001", "012C000C0028", "012C000C0028", "012C00280001"}));
}

TEST(CopyManagerErrors, InternalErrorsCarryTheirNumbers) {
    const std::string one = Format(SCopyManagerInternalError, {1});
    EXPECT_EQ(one, "TTabrix\\TTabrixCopyManager internal error 1. ");
    {
        TBandSet empty({});
        TModelSheet model;
        try {
            TTabrixCopyManager manager(empty.Bands(), model);
            ADD_FAILURE() << "no level accepted";
        } catch (const ETabrixCopyManagerError& e) {
            EXPECT_EQ(e.Message(), one);
        }
    }
    TBandSet set(std::vector<TBandSpec>{{tbxbtMasterData}, {tbxbtMasterData}});
    TModelSheet model;
    TTabrixCopyManager manager(set.Bands(), model);
    // The second master band is on no level; neither is a missing band.
    const TTabrixBand* second = set.Bands().GetItem(1);
    for (const TTabrixBand* band : {second, static_cast<const TTabrixBand*>(nullptr)}) {
        try {
            manager.GetHierarchy(band, nullptr);
            ADD_FAILURE() << "band on no level accepted";
        } catch (const ETabrixCopyManagerError& e) {
            EXPECT_EQ(e.Message(), Format(SCopyManagerInternalError, {3}));
        }
    }
    for (const char* key : {"00G000010001", "0001", "00010001000 "}) {
        try {
            TTabrixCopyManager::ParseCopyActionKey(key);
            ADD_FAILURE() << key;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), Format(SCopyManagerInternalError, {4}));
        }
    }
}

TEST(CopyManagerErrors, BandsEndOnRow65534AtTheLatest) {
    TPlan p({{tbxbtGroupHeader, 1}, {tbxbtMasterData, 0, 2}, {tbxbtGroupFooter, 1}});
    p.Manager.AddBand(p.Set.GroupHeader(1), nullptr);
    for (int i = 0; i < 32766; ++i) p.Manager.AddBand(p.Set.Master(), nullptr);
    EXPECT_EQ(p.Manager.Row(), 65534);
    // Two more rows would end on row 65535; one footer row ends on 65534.
    try {
        p.Manager.AddBand(p.Set.Master(), nullptr);
        ADD_FAILURE() << "a band ending on row 65535 accepted";
    } catch (const ETabrixError& e) {
        EXPECT_EQ(e.Message(), STooManyLines);
    }
    EXPECT_EQ(p.Manager.Row(), 65534);
    p.Manager.AddBand(p.Set.GroupFooter(1), p.Set.GroupHeader(1));
    EXPECT_EQ(p.Manager.Row(), 65535);
    p.Output();
    EXPECT_EQ(p.Model.TemplateRowAt(65534), 4);
    EXPECT_EQ(p.Model.Faults(), Keys{});
}

// Each consistency check, reached by a tree whose marks disagree.
TEST(CopyGroupChecks, RaiseTheAssertionWithTheirMessage) {
    struct TCase {
        const char* Message;
        void (*Run)(TPlan& p);
    };
    const TCase cases[] = {
        {SCGHeaderChainLevels,
         [](TPlan& p) {
             bool c;
             p.Child(1).FindHeaderChain(*p.Child(0).GetFirstChild(), c, 100);
         }},
        {SCGHeaderChainDone,
         [](TPlan& p) {
             bool c;
             p.Child(1).FHeaderDone = true;
             p.Child(1).FindHeaderChain(p.Child(0), c, 100);
         }},
        {SCGHeaderChainDstHeader,
         [](TPlan& p) {
             bool c;
             p.Child(1).FHeaderIn = false;
             p.Child(1).FindHeaderChain(p.Child(0), c, 100);
         }},
        {SCGFooterChainLevels,
         [](TPlan& p) {
             int b;
             bool c;
             p.Child(1).FindFooterChain(*p.Child(0).GetFirstChild(), b, c);
         }},
        {SCGFooterChainDone,
         [](TPlan& p) {
             int b;
             bool c;
             p.Child(1).FFooterDone = true;
             p.Child(1).FindFooterChain(p.Child(0), b, c);
         }},
        {SCGFooterChainDstFooter,
         [](TPlan& p) {
             int b;
             bool c;
             p.Child(1).FFooterIn = false;
             p.Child(1).FindFooterChain(p.Child(0), b, c);
         }},
        {SCGMarkForwWrongNum, [](TPlan& p) { p.Child(1).MarkAsOutputtedForw(7); }},
        {SCGMarkBackWrongNum, [](TPlan& p) { p.Child(0).MarkAsOutputtedBack(8); }},
        {SCGMarkForwTooMany,
         [](TPlan& p) {
             p.Child(0).GetFirstChild()->FDoneCount = 2;
             p.Child(0).GetFirstChild()->MarkAsOutputtedForw(3);
         }},
        {SCGOutputDetailNotBottom, [](TPlan& p) { p.Child(0).OutputDetail(); }},
    };
    for (const TCase& c : cases) {
        // Two outer groups, each holding one inner group of two records.
        TPlan p({{tbxbtGroupHeader, 1},
                 {tbxbtGroupHeader, 2},
                 {tbxbtMasterData},
                 {tbxbtGroupFooter, 2},
                 {tbxbtGroupFooter, 1}});
        for (int g = 0; g < 2; ++g) {
            p.Add(p.Set.GroupHeader(1));
            p.Add(p.Set.GroupHeader(2));
            p.Add(p.Set.Master());
            p.Add(p.Set.Master());
            p.Add(p.Set.GroupFooter(2), p.Set.GroupHeader(2));
            p.Add(p.Set.GroupFooter(1), p.Set.GroupHeader(1));
        }
        try {
            c.Run(p);
            ADD_FAILURE() << "no failure for " << c.Message;
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
}

}  // namespace
}  // namespace tabrix::testing
