// Totals of real templates: running values, range formulas over the rows
// where the totalled values landed (data rows, or footer cells of inner
// groups), the combination of functions, the grouping of 30 references and
// the length limit.

#include <gtest/gtest.h>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "platform/rtl/locale.h"
#include "tests/report/templ_fixture.h"

namespace tabrix::testing {
namespace {

class Totals : public TTemplFixture {
protected:
    // A report of one group level over Orders: group header A1 (by Region),
    // master data A2:C2 showing Qty, Price and ID each alone in a cell, the
    // group footer A3:C3 and the summary A4:C4 with the texts given.
    void Build(const std::string& csv, const char16_t* footer[3], const char16_t* summary[3]) {
        Orders = Table("Orders", csv);
        Report->SetDataSet(Orders);
        Group = AddGroup("A1:C1", "A3:C3");
        Group->SetFieldName("Region");
        Master = AddBand(tbxbtMasterData, "A2:C2");
        Summary = AddBand(tbxbtSummary, "A4:C4");
        Cells({{"A1", u"#Region"}, {"A2", u"#Qty"}, {"B2", u"#Price"}, {"C2", u"#ID"}});
        const char* columns[3] = {"A", "B", "C"};
        for (int c = 0; c < 3; ++c) {
            if (footer[c]) Cell((std::string(columns[c]) + "3").c_str(), footer[c]);
            if (summary[c]) Cell((std::string(columns[c]) + "4").c_str(), summary[c]);
        }
        Parse();
    }

    // Walks the records as the generation loop does, one group per Region
    // value; returns the footer and summary texts in output order.
    std::vector<std::string> Run() {
        std::vector<std::string> totals;
        int row = 1;
        Orders->First();
        while (!Orders->Eof()) {
            const AnsiString region = Orders->FieldByName("Region")->AsString();
            Put(Group, row++);
            while (!Orders->Eof() && Orders->FieldByName("Region")->AsString() == region) {
                Put(Master, row++);
                Parser->Accumulate(xatMaster);
                Orders->Next();
            }
            totals.push_back(Put(Group->Footer(), row++, Group));
            Parser->ResetAccumulation(Group->Footer(), Group);
        }
        totals.push_back(Put(Summary, row++));
        Parser->ResetAccumulation(Summary, nullptr);
        return totals;
    }

    TMemTable* Orders = nullptr;
    TTabrixGroupHeaderBand* Group = nullptr;
    TTabrixBand* Master = nullptr;
    TTabrixBand* Summary = nullptr;
};

const char* kOrders =
    "Region,Qty,Price,ID\n"
    "North,2,10,1\n"
    "North,4,20,2\n"
    "South,9,30,3\n";

TEST_F(Totals, GroupFormulasCoverTheirOwnGroupAndTheSummaryTheFooterCells) {
    const char16_t* footer[3] = {u"#SUM(Qty)", u"#MAX(Price)", u"#COUNT(ID)"};
    const char16_t* summary[3] = {u"#SUM(Qty)", u"#MAX(Price)", u"#COUNT(ID)"};
    Build(kOrders, footer, summary);
    // North: header 1, masters 2-3, footer 4; South: header 5, master 6, footer 7.
    EXPECT_EQ(Run(), (std::vector<std::string>{"=SUM(A2:A3)|=MAX(B2:B3)|=COUNT(C2:C3)", "=SUM(A6)|=MAX(B6)|=COUNT(C6)",
                                               "=SUM(A4,A7)|=MAX(B4,B7)|=SUM(C4,C7)"}))
        << "counts of the groups are added up";
}

TEST_F(Totals, AverageIsNotBuiltOverAverages) {
    const char16_t* footer[3] = {u"#AVG(Qty)", nullptr, nullptr};
    const char16_t* summary[3] = {u"#AVG(Qty)", nullptr, nullptr};
    Build(kOrders, footer, summary);
    EXPECT_EQ(Run(), (std::vector<std::string>{"=AVERAGE(A2:A3)||", "=AVERAGE(A6)||", "=AVERAGE(A2:A3,A6)||"}))
        << "the summary averages the data rows, not the footer averages";
}

TEST_F(Totals, AverageWithoutDataCellsIsTheRunningAverage) {
    const char16_t* footer[3] = {nullptr, u"#AVG(Qty)", nullptr};
    const char16_t* summary[3] = {u"#AVG(Qty)", u"Qty: #SUM(Qty)", nullptr};
    Build(kOrders, footer, summary);
    Cell("A2", u"Qty: #Qty");  // no longer alone in its cell
    Parse();
    EXPECT_EQ(Run(), (std::vector<std::string>{"|3|", "|9|", "5|Qty: 15|"}))
        << "a total in a longer text gets no = either";
}

TEST_F(Totals, WithTotalsAsFormulaOffEveryTotalIsItsRunningValue) {
    Report->Options.Exclude(tbxoTotalsAsFormula);
    const char16_t* footer[3] = {u"#SUM(Qty)", u"#MIN(Price)", u"#COUNT(ID)"};
    const char16_t* summary[3] = {u"#AVG(Qty)", u"#MAX(Price)", u"#COUNT(ID)"};
    Build(kOrders, footer, summary);
    EXPECT_EQ(Run(), (std::vector<std::string>{"6|10|2", "9|30|1", "5|30|3"}));
}

TEST_F(Totals, MaxAndMinTakeTheFirstValueOfAPeriodAndNegativeTotalsBecomeFormulas) {
    Report->Options.Exclude(tbxoTotalsAsFormula);
    const char16_t* footer[3] = {u"#MAX(Qty)", u"#MIN(Price)", nullptr};
    const char16_t* summary[3] = {u"#MIN(Qty)", u"#SUM(Price)", nullptr};
    Build("Region,Qty,Price,ID\nA,-5,-1,1\nA,-3,-2,2\nB,-7,4,3\n", footer, summary);
    EXPECT_EQ(Run(), (std::vector<std::string>{"=-3|=-2|", "=-7|4|", "=-7|1|"}));
}

TEST_F(Totals, TheListSeparatorOfTheLocaleJoinsTheReferences) {
    TFormatSettings german = TFormatSettings::FromLocale("de_DE.UTF-8");
    german.ListSeparator = ';';
    german.DecimalSeparator = ',';
    TFormatSettingsScope scope(german);
    const char16_t* footer[3] = {u"#SUM(Qty)", nullptr, nullptr};
    const char16_t* summary[3] = {u"#SUM(Qty)", u"#AVG(Price)", nullptr};
    Build(kOrders, footer, summary);
    EXPECT_EQ(Run().back(), "=SUM(A4;A7)|=AVERAGE(B2:B3;B6)|");
}

TEST_F(Totals, TotalsOfAUserFieldAskTheCallback) {
    Report->Options.Exclude(tbxoTotalsAsFormula);
    int calls = 0;
    Report->OnGetFieldValue = [&](TComponent*, const AnsiString& field, Variant& value) {
        if (field == "Bonus") value = Variant(++calls * 1.5);
    };
    const char16_t* footer[3] = {nullptr, nullptr, nullptr};
    const char16_t* summary[3] = {u"#SUM(Bonus)", nullptr, nullptr};
    Build(kOrders, footer, summary);
    EXPECT_EQ(Run().back(), "9||") << "1.5 + 3 + 4.5";
}

// ---- range formulas of multi-row bands and their limits

class RangeFormulas : public TTemplFixture {
protected:
    void SetUp() override {
        TTemplFixture::SetUp();
        Orders = Table("Orders", "Qty\n1\n");
        Report->SetDataSet(Orders);
        // A two-row master band whose Qty is in its second row, column D.
        Master = AddBand(tbxbtMasterData, "A1:D2");
        Summary = AddBand(tbxbtSummary, "A3:A3");
        Cells({{"A1", u"Order"}, {"D2", u"#Qty"}, {"A3", u"#SUM(Qty)"}});
    }
    // Outputs of the master band at the given report rows.
    void Masters(std::initializer_list<int> rows) {
        for (int row : rows) {
            Put(Master, row);
            Parser->Accumulate(xatMaster);
        }
    }
    std::string Total() { return Output(Summary, 60000); }

    TMemTable* Orders = nullptr;
    TTabrixBand* Master = nullptr;
    TTabrixBand* Summary = nullptr;
};

TEST_F(RangeFormulas, AMultiRowBandGivesOneReferencePerOutput) {
    Parse();
    Masters({5, 7, 9});
    EXPECT_EQ(Total(), "=SUM(D6,D8,D10)");
}

// The formula an independent reading of the rules gives for references
// A(1+2k), k = 0..count-1, of a one-row band output every second row.
std::string ExpectedSum(int count) {
    std::vector<std::string> groups;
    std::string group;
    for (int k = 0; k < count; ++k) {
        if (k % 30 == 0 && k > 0) {
            groups.push_back(group);
            group.clear();
        }
        group += (group.empty() ? "" : ",") + std::string("A") + std::to_string(1 + 2 * k);
    }
    groups.push_back(group);
    if (groups.size() == 1) return "SUM(" + groups[0] + ")";
    std::string out = "SUM(";
    for (size_t g = 0; g < groups.size(); ++g) out += (g ? "," : "") + std::string("SUM(") + groups[g] + ")";
    return out + ")";
}

TEST_F(RangeFormulas, ThirtyReferencesToAGroupAndTheRunningValueBeyond1023Characters) {
    Report->Bands()->Clear();
    Master = AddBand(tbxbtMasterData, "A1:A1");
    Summary = AddBand(tbxbtSummary, "B1:B1");
    Cells({{"A1", u"#Qty"}, {"B1", u"#SUM(Qty)"}});
    Parse();
    int count = 0;
    while (ExpectedSum(count + 1).size() <= kTabrixMaxFormulaLength) {
        Masters({1 + 2 * count++});  // every second row: no contiguous run
        ASSERT_EQ(Total(), "=" + ExpectedSum(count)) << count;
    }
    EXPECT_GT(count, 30) << "the groups were used";
    EXPECT_EQ(ExpectedSum(count).size() <= kTabrixMaxFormulaLength, true);
    Masters({1 + 2 * count++});
    EXPECT_EQ(Total(), std::to_string(count)) << "1024 characters or more: the running value";
}

TEST_F(RangeFormulas, AverageBeyondThirtyReferencesIsSumOverCount) {
    Cell("A3", u"#AVG(Qty)");
    Parse();
    std::vector<std::string> first, second;
    for (int k = 0; k < 35; ++k) {
        Masters({5 + 2 * k});
        (k < 30 ? first : second).push_back("D" + std::to_string(6 + 2 * k));
    }
    auto join = [](const std::vector<std::string>& refs) {
        std::string s;
        for (const auto& r : refs) s += (s.empty() ? "" : ",") + r;
        return s;
    };
    EXPECT_EQ(Total(), "=SUM(SUM(" + join(first) + "),SUM(" + join(second) + ")) / SUM(COUNT(" + join(first) +
                           "),COUNT(" + join(second) + "))");
}

TEST_F(RangeFormulas, ARunCutByAResetStartsAfterTheOutputsAlreadyCovered) {
    Report->Bands()->Clear();
    Master = AddBand(tbxbtMasterData, "A1:A1");
    Summary = AddBand(tbxbtSummary, "B1:B1");
    Cells({{"A1", u"#Qty"}, {"B1", u"#SUM(Qty)"}});
    Parse();
    Masters({5, 6, 7});
    Parser->ResetAccumulation(Summary, nullptr);
    Masters({8, 9});  // the same run goes on
    EXPECT_EQ(Total(), "=SUM(A8:A9)");
    Parser->ResetAccumulation(Summary, nullptr);
    EXPECT_EQ(Total(), "0") << "nothing output since: the running value";
}

TEST_F(RangeFormulas, AStartIntervalBeyondTheRunsIsAnInternalError) {
    Parse();
    Masters({5});
    TTabrixBandInfo& info = Parser->FindBandInfo(Master, nullptr);
    try {
        info.GetBandRangeFormula(1, 4, TTabrixFieldFunc::ffSum, 1, 0);
        ADD_FAILURE();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), SBandInfoBadRowIdx);
    }
    EXPECT_EQ(info.GetBandRangeFormula(1, 4, TTabrixFieldFunc::ffSum, 0, 0), "SUM(D6)");
    EXPECT_EQ(Parser->GetFuncName(TTabrixFieldFunc::ffNone), "");
}

TEST_F(RangeFormulas, AMissingTotalIsAnInternalError) {
    Parse();
    TTabrixBandInfo& info = Parser->FindBandInfo(Summary, nullptr);
    try {
        info.GetAccFieldValue("Price", Orders, TTabrixFieldFunc::ffSum, xatMaster);
        ADD_FAILURE();
    } catch (const ETabrixError& e) {
        EXPECT_EQ(e.Message(), Format(STotalFieldNotFound, {"Price"}));
    }
}

}  // namespace
}  // namespace tabrix::testing

namespace tabrix::testing {
namespace {

// Master/detail: which counter drives a total, and formulas over the
// detail footer cells.
using MasterDetailTotals = TTemplFixture;

TEST_F(MasterDetailTotals, TotalsOfDetailFieldsCountDetailRecords) {
    TMemTable* orders = Table("Orders", "Id,Region,Qty\n1,N,2\n2,N,3\n");
    TMemTable* lines = Table("Lines", "OrderId,Amount\n1,10\n1,20\n2,5\n");
    auto* src = new TDataSource(Module.get());
    src->SetDataSet(orders);
    lines->Close();
    lines->SetMasterSource(src);
    lines->SetMasterFields("Id");
    lines->SetDetailFields("OrderId");
    lines->Open();
    Report->SetDataSet(orders);
    Report->SetDetailDataSet(lines);
    Report->OnGetFieldValue = [](TComponent*, const AnsiString&, Variant& value) { value = Variant(1); };
    TTabrixGroupHeaderBand* group = AddGroup("A1:C1", "A5:C5");
    group->SetFieldName("Region");
    TTabrixBand* master = AddBand(tbxbtMasterData, "A2:C2");
    TTabrixBand* detail = AddBand(tbxbtDetailData, "A3:C3");
    TTabrixBand* detailFooter = AddBand(tbxbtDetailFooter, "A4:C4");
    Cells({{"A2", u"#Qty"},
           {"A3", u"#Amount"},
           {"B3", u"#Bonus"},
           {"A4", u"#SUM(Amount)"},
           {"B4", u"#COUNT(Lines.Amount)"},
           {"A5", u"#SUM(Amount)"},
           {"B5", u"#SUM(Qty)"},
           {"C5", u"#SUM(Bonus)"}});
    TTabrixTemplParser& p = Parse();
    const TTabrixCellParser& a5 = p.FindBandInfo(group->Footer(), group).CellParser(0);
    EXPECT_EQ(a5.GetFieldAccType(0), xatDetail) << "a field of the detail data set";
    EXPECT_EQ(p.FindBandInfo(group->Footer(), group).CellParser(1).GetFieldAccType(0), xatMaster);
    EXPECT_EQ(p.FindBandInfo(group->Footer(), group).CellParser(2).GetFieldAccType(0), xatDetail)
        << "a user field shown in the detail data band";
    EXPECT_EQ(p.FindBandInfo(detailFooter, nullptr).CellParser(1).GetFieldAccType(0), xatDetail);

    int row = 1;
    Put(group, row++);
    for (orders->First(); !orders->Eof(); orders->Next()) {
        Put(master, row++);
        p.Accumulate(xatMaster);
        for (lines->First(); !lines->Eof(); lines->Next()) {
            Put(detail, row++);
            p.Accumulate(xatDetail);
        }
        const std::string footer = Put(detailFooter, row);
        EXPECT_EQ(footer, row == 5 ? "=SUM(A3:A4)|=COUNT(A3:A4)|" : "=SUM(A7)|=COUNT(A7)|") << row;
        ++row;
        p.ResetAccumulation(detailFooter, nullptr);
    }
    // Group: master 2, details 3-4, footer 5, master 6, detail 7, footer 8; group footer 9.
    EXPECT_EQ(Output(group->Footer(), row, group), "=SUM(A5,A8)|=SUM(A2,A6)|=SUM(B3:B4,B7)")
        << "a user field shown alone in a data cell is summed there too";
}

}  // namespace
}  // namespace tabrix::testing
