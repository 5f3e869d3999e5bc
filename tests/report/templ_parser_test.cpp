// The template parser over real template workbooks: fixed texts and their
// moved references, cell parsers with data set values, the range checks and
// their messages, row intervals and the lookups by band.

#include <gtest/gtest.h>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "tests/report/templ_fixture.h"

namespace tabrix::testing {
namespace {

using TemplParser = TTemplFixture;

TEST_F(TemplParser, FixedCellsMoveToTheReportColumnsAndFollowTheOutputRow) {
    TTabrixBand* band = AddBand(tbxbtMasterData, "B5:D6");
    Cells({{"B5", u"Name"}, {"C5", u"=B5*2"}, {"D5", u"=$B$5+C6"}, {"B6", u"50## off"}, {"C6", u"#=B6"}});
    TTabrixTemplParser& p = Parse();
    TTabrixBandInfo& info = p.GetBandInfos(0);
    EXPECT_EQ(info.ColCount(), 3);
    EXPECT_EQ(info.RowCount(), 2);
    EXPECT_EQ(info.GetCellStrCount(), 6) << "an empty cell is an empty fixed text";
    EXPECT_EQ(UnicodeToUtf8(info.GetCellStrValue(1)), "=A5*2") << "moved one column left at parse time";
    EXPECT_EQ(Output(band, 10), "Name|=A10*2|=$B$5+B11/50# off|=A11|");
    EXPECT_EQ(Output(band, 5), "Name|=A5*2|=$B$5+B6/50# off|=A6|");
    EXPECT_EQ(p.GetMaxColumn(), 3);
}

TEST_F(TemplParser, PiecesAroundFieldsMoveOnlyWhenThePieceIsAFormulaStart) {
    Report->SetDataSet(Table("Orders", "Qty,Price\n3,2.5\n"));
    TTabrixBand* band = AddBand(tbxbtMasterData, "A5:C5");
    Cells({{"A5", u"#=B5*#Qty"}, {"B5", u"#=#Qty*B5"}, {"C5", u"Qty: #Qty, =B5"}});
    Parse();
    EXPECT_EQ(Output(band, 12), "=B12*3|=3*B5|Qty: 3, =B5");
}

TEST_F(TemplParser, CellParsersReadDataSetsUserFieldsAndTheDictionary) {
    TMemTable* orders = Table("Orders", "Qty,Name\n3,Ann\n4,Bob\n");
    Report->SetDataSet(orders);
    auto* item = static_cast<TTabrixField*>(Report->Dictionary()->Add());
    item->SetFieldName("Company");
    item->SetValueAsString("Tabrix Ltd.");
    Report->OnGetFieldValue = [](TComponent*, const AnsiString& field, Variant& value) {
        if (field == "Today") value = Variant("8.12.2026");
    };
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:D1");
    Cells({{"A1", u"#Orders.Qty pcs"}, {"B1", u"#Name"}, {"C1", u"#Company"}, {"D1", u"#'Today'"}});
    TTabrixTemplParser& p = Parse();
    TTabrixCellParser& cell = p.GetBandInfos(0).CellParser(0);
    EXPECT_EQ(cell.GetDataSet(0), orders);
    EXPECT_EQ(cell.GetDSFieldName(0), "Qty");
    EXPECT_EQ(p.GetBandInfos(0).CellParser(2).GetDataSet(0), nullptr) << "a dictionary field";
    EXPECT_EQ(Output(band, 1), "3 pcs|Ann|Tabrix Ltd.|8.12.2026");
    orders->Next();
    EXPECT_EQ(Output(band, 2), "4 pcs|Bob|Tabrix Ltd.|8.12.2026");
}

TEST_F(TemplParser, AUserFieldNobodySuppliesFailsWhenTheCellIsOutput) {
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:A1");
    Cell("A1", u"#Missing");
    Parse();
    try {
        Output(band, 1);
        ADD_FAILURE() << "no error";
    } catch (const ETabrixError& e) {
        EXPECT_EQ(e.Message(), Format(SFieldNotFoundInTables, {"Missing"}));
    }
}

TEST_F(TemplParser, TotalsOutsideFootersAreThePlainValue) {
    Report->SetDataSet(Table("Orders", "Qty\n7\n"));
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:A1");
    Cell("A1", u"#SUM(Qty)");
    TTabrixTemplParser& p = Parse();
    EXPECT_EQ(p.GetBandInfos(0).CellParser(0).GetFunc(0), TTabrixFieldFunc::ffNone);
    EXPECT_EQ(p.GetBandInfos(0).CellParser(0).GetFieldAccType(0), -1);
    EXPECT_EQ(Output(band, 1), "7");
}

// Each row: band range, message expected.
struct TRangeCase {
    const char* Range;
    std::string Message;
};

TEST_F(TemplParser, RangeChecksAndTheirMessages) {
    const TRangeCase cases[] = {
        {"D5:B7", Format(SBandWrongRange, {"MasterData", "D5:B7"})},
        {"A1:B2,D4", Format(SBandAreaCount, {"MasterData", "A1:B2,D4", 2})},
        {"A1:ZZZ9", ""},  // the spreadsheet's own message follows
    };
    for (const TRangeCase& c : cases) {
        Report->Bands()->Clear();
        AddBand(tbxbtMasterData, c.Range);
        try {
            Parse();
            ADD_FAILURE() << c.Range << " accepted";
        } catch (const ETabrixError& e) {
            if (c.Message.empty()) {
                const std::string head = Format(SBandWrongRange, {"MasterData", c.Range}) + "\r\n";
                EXPECT_EQ(e.Message().substr(0, head.size()), head) << c.Range;
                EXPECT_GT(e.Message().size(), head.size()) << "the spreadsheet's message is appended";
            } else {
                EXPECT_EQ(e.Message(), c.Message) << c.Range;
            }
        }
    }
}

TEST_F(TemplParser, CellsOutsideTheBandAndBandsWithoutInfoAreRefused) {
    TTabrixBand* band = AddBand(tbxbtMasterData, "A5:A5");
    TTabrixBand* other = new TTabrixBand(nullptr, tbxbtTitle);
    std::unique_ptr<TTabrixBand> owned(other);
    Parse();
    try {
        Parser->GetValue(band, nullptr, 5, 2, 1);
        ADD_FAILURE();
    } catch (const ETabrixTemplParserError& e) {
        EXPECT_EQ(e.Message(), Format(SCellNotFound, {5, 2}));
    }
    try {
        Parser->SetOutputRow(other, nullptr, 1);
        ADD_FAILURE();
    } catch (const ETabrixTemplParserError& e) {
        EXPECT_EQ(e.Message(), Format(SBandNotFound, {other->GetDisplayName()}));
    }
}

TEST_F(TemplParser, RowIntervalsJoinConsecutiveOutputsOfOneRowBands) {
    TTabrixBand* one = AddBand(tbxbtDetailData, "A3:A3");
    TTabrixBand* two = AddBand(tbxbtMasterData, "A1:A2");
    TTabrixTemplParser& p = Parse();
    for (int row : {7, 8, 9, 12}) p.SetOutputRow(one, nullptr, row);
    for (int row : {7, 9}) p.SetOutputRow(two, nullptr, row);
    using I = TTabrixRowInterval;
    EXPECT_EQ(p.FindBandInfo(one, nullptr).RowIntervals(), (std::vector<I>{{2, 7}, {0, 12}}));
    EXPECT_EQ(p.FindBandInfo(two, nullptr).RowIntervals(), (std::vector<I>{{0, 7}, {0, 9}}));
}

TEST_F(TemplParser, BandInfosStandInnermostLevelFirst) {
    TTabrixBand* title = AddBand(tbxbtTitle, "A1:A1");
    TTabrixBand* summary = AddBand(tbxbtSummary, "A9:A9");
    TTabrixGroupHeaderBand* group = AddGroup("A2:A2", "A8:A8");
    TTabrixBand* master = AddBand(tbxbtMasterData, "A3:A3");
    TTabrixBand* dh = AddBand(tbxbtDetailHeader, "A4:A4");
    TTabrixBand* dd = AddBand(tbxbtDetailData, "A5:A5");
    TTabrixBand* df = AddBand(tbxbtDetailFooter, "A6:A6");
    TTabrixTemplParser& p = Parse();
    std::vector<const TTabrixBand*> order;
    for (int i = 0; i < p.GetBandCount(); ++i) order.push_back(p.GetBandInfos(i).Band());
    EXPECT_EQ(order, (std::vector<const TTabrixBand*>{dd, dh, df, master, group, group->Footer(), title, summary}));
    EXPECT_EQ(p.FindBandInfo(group->Footer(), group).HeaderBand(), group);
}

TEST_F(TemplParser, AFooterOfTwoHeadersHasTwoBandInfos) {
    TTabrixGroupHeaderBand* outer = AddGroup("A1:A1", "A5:A5");
    auto* inner = static_cast<TTabrixGroupHeaderBand*>(Report->Bands()->AddBand(tbxbtGroupHeader));
    inner->SetRange("A2:A2");
    inner->SetFooter(outer->Footer());
    AddBand(tbxbtMasterData, "A3:A3");
    TTabrixTemplParser& p = Parse();
    TTabrixBandInfo& a = p.FindBandInfo(outer->Footer(), outer);
    TTabrixBandInfo& b = p.FindBandInfo(outer->Footer(), inner);
    EXPECT_NE(&a, &b);
    p.SetOutputRow(outer->Footer(), inner, 4);
    EXPECT_TRUE(a.RowIntervals().empty());
    EXPECT_EQ(b.RowIntervals().size(), 1u);
}

TEST_F(TemplParser, ABlankBandRangeIsRefusedByTheBandInfo) {
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:A1");
    TTabrixTemplParser& p = Parse();
    band->SetRange("  ");
    try {
        TTabrixBandInfo info(&p, *Sheet, band, nullptr, 0);
        ADD_FAILURE();
    } catch (const ETabrixTemplParserError& e) {
        EXPECT_EQ(e.Message(), Format(SBandRangeEmpty, {"MasterData"}));
    }
}

TEST_F(TemplParser, TheFunctionNameCellIsRightOfEveryBandAndClearedAgain) {
    AddBand(tbxbtMasterData, "B2:C3");
    AddBand(tbxbtTitle, "A1:A1");
    Cells({{"C1", u"left alone"}, {"D1", u"scratch"}});
    TTabrixTemplParser& p = Parse();
    EXPECT_EQ(UnicodeToUtf8(Sheet->Range("D1").FormulaLocal().AsUnicodeString()), "");
    EXPECT_EQ(UnicodeToUtf8(Sheet->Range("C1").FormulaLocal().AsUnicodeString()), "left alone");
    for (TTabrixFieldFunc f : {TTabrixFieldFunc::ffSum, TTabrixFieldFunc::ffAvg, TTabrixFieldFunc::ffMax,
                               TTabrixFieldFunc::ffMin, TTabrixFieldFunc::ffCnt})
        EXPECT_EQ(p.GetFuncName(f), TabrixEnglishFuncName(f)) << "the engine's native names are the English ones";
}

TEST_F(TemplParser, NoBandsGiveNoColumnsAndTheScratchCellIsClearedAgain) {
    Cell("B1", u"keep");
    TTabrixTemplParser& p = Parse();
    EXPECT_EQ(p.GetMaxColumn(), 0);
    EXPECT_EQ(p.GetFuncName(TTabrixFieldFunc::ffAvg), "AVERAGE");
    EXPECT_EQ(UnicodeToUtf8(Sheet->Range("B1").FormulaLocal().AsUnicodeString()), "");
}

}  // namespace
}  // namespace tabrix::testing
