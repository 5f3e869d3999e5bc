// The streamed form of the band collection inside a report's form file.
#include <gtest/gtest.h>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "tests/bands/report_stub.h"

namespace tabrix::testing {
namespace {

class BandsStream : public ::testing::Test {
protected:
    void SetUp() override { RegisterBandsOwner(); }

    static std::unique_ptr<TDataModule> Module() {
        auto dm = std::make_unique<TDataModule>();
        dm->SetName("SalesModule");
        auto* report = new TBandsOwner(dm.get());
        report->SetName("Report");
        return dm;
    }
    static TBandsOwner& Report(TComponent& dm) { return dynamic_cast<TBandsOwner&>(*dm.FindComponent("Report")); }

    // Every stored setting of every band, in list order.
    static std::string Dump(const TTabrixBands& bands) {
        std::string s;
        for (int i = 0; i < bands.GetCount(); ++i) {
            TTabrixBand* b = bands.GetItem(i);
            s += b->ClassName() + " " + std::to_string(b->BandType()) + " '" + b->Range() + "'";
            if (auto* g = dynamic_cast<TTabrixGroupBand*>(b)) s += " id=" + std::to_string(g->GroupID());
            if (auto* h = dynamic_cast<TTabrixGroupHeaderBand*>(b))
                s += " field=" + h->FieldName() + " footer=" + h->GetFooterBand() +
                     (h->CaseInsensitiveCompare() ? " ci" : " cs") + " on=" + h->OnCalcExpression.MethodName;
            s += "\n";
        }
        return s;
    }

    static std::string Body(const std::string& items, int count, int headers, int footers) {
        std::string s = "object SalesModule: TDataModule\n  object Report: TBandsOwner\n";
        s += "    Bands.BandCount = " + std::to_string(count) + "\n";
        if (headers) s += "    Bands.GroupHeaderBandCount = " + std::to_string(headers) + "\n";
        if (footers) s += "    Bands.GroupFooterBandCount = " + std::to_string(footers) + "\n";
        return s + "    Bands.Items = <" + items + ">\n  end\nend\n";
    }
};

TEST_F(BandsStream, CollectionReadBackIsEqualBandForBand) {
    auto dm = Module();
    TTabrixBands& bands = *Report(*dm).Bands();
    bands.AddBand(tbxbtTitle)->SetRange("A1:F3");
    auto* h1 = Header(bands);
    auto* h2 = Header(bands);
    auto* h3 = Header(bands);
    auto* f1 = Footer(bands);
    auto* f2 = Footer(bands);
    bands.AddBand(tbxbtGroupFooter)->SetRange("A30:F30");  // unlinked
    h1->SetRange("A4:F4");
    h1->SetFieldName("Region");
    h2->SetRange("A5:F5");
    h2->SetCaseInsensitiveCompare(false);
    Application().Methods().Bind<void(TTabrixBand*, AnsiString&)>("ReportCustomerGroup",
                                                                  [](TTabrixBand*, AnsiString& v) { v = "c"; });
    h2->OnCalcExpression = TTabrixCalcExpressionEvent("ReportCustomerGroup", [](TTabrixBand*, AnsiString&) {});
    h3->SetRange("$A$6:$F$6");
    h1->SetFooter(f2);
    h3->SetFooter(f2);
    h2->SetFooter(f1);
    f1->SetRange("A20:F21");
    f2->SetRange("A22:F22");
    bands.AddBand(tbxbtMasterData)->SetRange("A7:F7");
    bands.AddBand(tbxbtDetailHeader)->SetRange("B8:F8");
    bands.AddBand(tbxbtDetailData)->SetRange("B9:F9");
    bands.AddBand(tbxbtDetailFooter)->SetRange("B10:F10");
    bands.AddBand(tbxbtSummary)->SetRange("A40:F41");
    bands.AddBand(tbxbtSummary);  // blank range

    std::string text = WriteFormText(*dm);
    EXPECT_NE(text.find("    Bands.BandCount = 13\n    Bands.GroupHeaderBandCount = 3\n"
                        "    Bands.GroupFooterBandCount = 3\n    Bands.Items = <\n      item\n"
                        "        Bands.Range = 'A1:F3'\n        Bands.BandType = 0\n      end"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("        Bands.Range = 'A5:F5'\n        Bands.CaseInsensitiveCompare = False\n"
                        "        Bands.FooterBand = 'GroupFooter1'\n"
                        "        Bands.OnCalcExpression = ReportCustomerGroup\n"
                        "        Bands.BandType = 1\n        Bands.GroupID = 2\n"),
              std::string::npos)
        << text;
    // Footers stand before the headers that name them.
    EXPECT_LT(text.find("GroupID = 3\n      end\n      item\n        Bands.Range = 'A4:F4'"), text.find("'A5:F5'"));
    EXPECT_LT(text.find("'A22:F22'"), text.find("'A4:F4'"));

    auto back = ReadFormText(text, "sales.tfm");
    EXPECT_EQ(Dump(*Report(*back).Bands()), Dump(bands));
    EXPECT_EQ(WriteFormText(*back), text);
    AnsiString value;
    auto* backH2 = static_cast<TTabrixGroupHeaderBand*>(Report(*back).Bands()->GetItem(2));
    backH2->OnCalcExpression(backH2, value);
    EXPECT_EQ(value, "c");
    Application().Methods().Unbind("ReportCustomerGroup");
}

TEST_F(BandsStream, PlainBandsOfOneTypeComeBackInTheirWrittenOrder) {
    auto dm = Module();
    TTabrixBands& bands = *Report(*dm).Bands();
    bands.AddBand(tbxbtTitle)->SetRange("A1:B1");
    bands.AddBand(tbxbtTitle)->SetRange("A2:B2");
    bands.AddBand(tbxbtMasterData)->SetRange("A3:B3");  // A: the one GetNotEmptyBand picks
    bands.AddBand(tbxbtMasterData)->SetRange("A4:B4");  // B
    bands.AddBand(tbxbtMasterData)->SetRange("A5:B5");
    bands.AddBand(tbxbtSummary)->SetRange("A6:B6");
    std::string before = Dump(bands);
    auto once = ReadFormText(WriteFormText(*dm), "a.tfm");
    EXPECT_EQ(Dump(*Report(*once).Bands()), before);
    EXPECT_EQ(Report(*once).Bands()->GetNotEmptyBand(tbxbtMasterData)->Range(), "A3:B3");
    auto twice = ReadFormText(WriteFormText(*once), "b.tfm");
    EXPECT_EQ(Dump(*Report(*twice).Bands()), before);
}

TEST_F(BandsStream, EmptyCollectionWritesNothingAndReadsBackEmpty) {
    auto dm = Module();
    std::string text = WriteFormText(*dm);
    EXPECT_EQ(text.find("Bands."), std::string::npos) << text;
    auto back = ReadFormText(text, "e.tfm");
    EXPECT_EQ(Report(*back).Bands()->GetCount(), 0);
}

TEST_F(BandsStream, InheritedFormWritesBandsOnlyWhenTheyDiffer) {
    auto ancestor = Module();
    Report(*ancestor).Bands()->AddBand(tbxbtTitle)->SetRange("A1:C1");
    Report(*ancestor).Bands()->AddBand(tbxbtMasterData)->SetRange("A2:C2");
    std::string base = WriteFormText(*ancestor);
    auto derived = ReadFormText(base, "base.tfm");
    Report(*derived).Template = "other.xlsx";
    EXPECT_EQ(WriteFormText(*derived, ancestor.get()),
              "inherited SalesModule: TDataModule\n"
              "  inherited Report: TBandsOwner\n"
              "    Template = 'other.xlsx'\n"
              "  end\n"
              "end\n");
    Report(*derived).Bands()->GetItem(1)->SetRange("A2:D2");
    std::string delta = WriteFormText(*derived, ancestor.get());
    EXPECT_NE(delta.find("Bands.BandCount = 2"), std::string::npos) << delta;
    EXPECT_NE(delta.find("Bands.Range = 'A2:D2'"), std::string::npos) << delta;

    auto rebuilt = ReadFormText(base, "base.tfm");
    ReadFormTextInto(*rebuilt, delta, "derived.tfm");
    EXPECT_EQ(Dump(*Report(*rebuilt).Bands()), Dump(*Report(*derived).Bands()));

    // A descendant without the ancestor's bands says so, and reads back empty.
    Report(*derived).Bands()->Clear();
    delta = WriteFormText(*derived, ancestor.get());
    EXPECT_NE(delta.find("    Bands.BandCount = 0\n    Bands.Items = <>\n"), std::string::npos) << delta;
    rebuilt = ReadFormText(base, "base.tfm");
    ReadFormTextInto(*rebuilt, delta, "derived.tfm");
    EXPECT_EQ(Report(*rebuilt).Bands()->GetCount(), 0);
}

TEST_F(BandsStream, HandWrittenBandsWithoutCountsOfGroupsAreRead) {
    std::string text = Body(
        "\n      item\n        Bands.Range = 'A2:C2'\n        Bands.BandType = 2\n      end"
        "\n      item\n        Bands.Range = 'A1:C1'\n        Bands.BandType = 0\n      end",
        2, 0, 0);
    auto dm = ReadFormText(text, "hand.tfm");
    TTabrixBands& bands = *Report(*dm).Bands();
    ASSERT_EQ(bands.GetCount(), 2);
    EXPECT_EQ(bands.GetItem(0)->BandType(), tbxbtTitle);
    EXPECT_EQ(bands.GetItem(1)->Range(), "A2:C2");
}

// One band list of the streamed form: a plain band of that type and range.
std::string Item(const std::string& range, int type) {
    return "\n      item\n        Bands.Range = '" + range + "'\n        Bands.BandType = " + std::to_string(type) +
           "\n      end";
}

TEST_F(BandsStream, RangesOfBlocksOfCellsAreReadAsTheyAre) {
    for (const char* range : {"A1", "A1:F3", "$A$6:$F$6", "b2:zz65535", "  A1:B2 ", "", "   ", "A1:A1"}) {
        auto dm = ReadFormText(Body(Item(range, 2), 1, 0, 0), "ok.tfm");
        EXPECT_EQ(Report(*dm).Bands()->GetItem(0)->Range(), range);
    }
}

struct TBadBands {
    std::string Items;
    int Count, Headers, Footers;
    std::string Message;
    int BandsLeft;
};

TEST_F(BandsStream, ReadingErrorsGiveTheirMessagesAndKeepTheBandsReadSoFar) {
    const std::string title = "\n      item\n        Bands.Range = 'A1:B1'\n        Bands.BandType = 0\n      end";
    const TBadBands cases[] = {
        {title + title, 1, 0, 0, SErrorReadingBandsTooMany, 1},
        {title + "\n      item\n        Bands.GroupID = 1\n      end", 2, 0, 0,
         Format(SErrorReadingBandsUnknownProp, {"Bands.GroupID"}), 2},
        {"\n      item\n        Range = 'A1:B1'\n      end", 1, 0, 0, Format(SErrorReadingBandsUnknownProp, {"Range"}),
         1},
        {"\n      item\n        Bands.Colour = 1\n      end", 1, 0, 0,
         Format(SErrorReadingBandsUnknownProp, {"Bands.Colour"}), 1},
        {"\n      item\n        Bands.BandType = 6\n      end", 1, 0, 0, Format(SErrorReadingBandsWrongType, {6}), 1},
        {"\n      item\n        Bands.BandType = 2\n      end", 1, 1, 0, Format(SErrorReadingBandsWrongType, {2}), 1},
        {"\n      item\n        Bands.BandType = 200\n      end", 1, 0, 0, Format(SErrorReadingBandsWrongType, {200}),
         1},
        {"\n      item\n        Bands.FooterBand = 'GroupFooter1'\n        Bands.BandType = 1\n      end", 1, 1, 0,
         SFooterInOtherBands, 1},
        // Counts that the list does not match, said at load rather than
        // found missing at the build.
        {title + title, 7, 0, 0, Format(SErrorReadingBandsTooFew, {7, 2}), 2},
        {"", 1, 0, 0, Format(SErrorReadingBandsTooFew, {1, 0}), 0},
        {title, 1, 1, 1, Format(SErrorReadingBandsWrongCounts, {1, 1, 1}), 0},
        {title, 1, -1, 0, Format(SErrorReadingBandsWrongCounts, {1, -1, 0}), 0},
        // Ranges that name no block of cells: the band and the reason.
        {Item("ZZZZ0:A-1", 2), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange,
                {"MasterData", "ZZZZ0:A-1", "column ZZZZ of ZZZZ0 is beyond ZZ, the last column a band can name"}),
         1},
        {Item("A0:B1", 0), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange, {"Title", "A0:B1", "row 0 of A0 is before row 1"}), 1},
        {Item("A1:A-1", 7), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange, {"Summary", "A1:A-1", "\"A-1\" is no cell address"}), 1},
        {Item("D5:B7", 2), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange,
                {"MasterData", "D5:B7", "D5 is not the top left cell of the block up to B7"}),
         1},
        {Item("A1:B2,D4", 2), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange,
                {"MasterData", "A1:B2,D4", "a band is one block of cells, not a list of them"}),
         1},
        {Item("A1:AAA9", 2), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange,
                {"MasterData", "A1:AAA9", "column AAA of AAA9 is beyond ZZ, the last column a band can name"}),
         1},
        {Item("1A:B2", 2), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange, {"MasterData", "1A:B2", "\"1A\" is no cell address"}), 1},
        {Item("A99999999999:B2", 2), 1, 0, 0,
         Format(SErrorReadingBandsWrongRange, {"MasterData", "A99999999999:B2", "\"A99999999999\" is no cell address"}),
         1},
        {"\n      item\n        Bands.Range = 'A1:B1'\n        Bands.BandType = 1\n        Bands.GroupID = 4\n"
         "        Bands.Range = 'B1:A1'\n      end",
         1, 1, 0,
         Format(SErrorReadingBandsWrongRange,
                {"GroupHeader4", "B1:A1", "B1 is not the top left cell of the block up to A1"}),
         1},
    };
    for (const TBadBands& c : cases) {
        std::string text = Body(c.Items, c.Count, c.Headers, c.Footers);
        TDataModule dm;  // read into, so that what was read stays to be looked at
        try {
            ReadFormTextInto(dm, text, "bad.tfm");
            ADD_FAILURE() << text;
        } catch (const ETabrixError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message) << text;
            EXPECT_EQ(Report(dm).Bands()->GetCount(), c.BandsLeft) << text;
        }
    }
}

TEST_F(BandsStream, MissingCollectionMarkerIsThePlatformsReadError) {
    std::string text =
        "object SalesModule: TDataModule\n  object Report: TBandsOwner\n    Bands.BandCount = 1\n"
        "    Bands.Items = 5\n  end\nend\n";
    try {
        ReadFormText(text, "bad.tfm");
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "bad.tfm, line 4: collection expected but integer 5 found");
    }
}

TEST_F(BandsStream, ReportLikeModuleIsReadableAndEditableByHand) {
    // The example of the form-file section of the README.
    const char* text = R"(object SalesModule: TDataModule
  object Report: TBandsOwner
    Template = 'sales.xlsx'
    Bands.BandCount = 4
    Bands.GroupHeaderBandCount = 1
    Bands.GroupFooterBandCount = 1
    Bands.Items = <
      item
        Bands.Range = 'A1:F2'
        Bands.BandType = 0
      end
      item
        Bands.Range = 'A5:F5'
        Bands.BandType = 2
      end
      item
        Bands.Range = 'A6:F6'
        Bands.BandType = 6
        Bands.GroupID = 1
      end
      item
        Bands.Range = 'A3:F4'
        Bands.FieldName = 'Region'
        Bands.FooterBand = 'GroupFooter1'
        Bands.BandType = 1
        Bands.GroupID = 1
      end>
    Dictionary = <
      item
        FieldName = 'Company'
        ValueAsString = 'Tabrix Ltd.'
      end>
  end
end
)";
    auto dm = ReadFormText(text, "sales.tfm");
    TBandsOwner& report = Report(*dm);
    EXPECT_EQ(report.Template, "sales.xlsx");
    EXPECT_EQ(report.Dictionary()->FieldByName("company")->ValueAsString(), "Tabrix Ltd.");
    TTabrixBands& bands = *report.Bands();
    ASSERT_EQ(bands.GetCount(), 4);
    auto* header = static_cast<TTabrixGroupHeaderBand*>(bands.GetItem(1));
    EXPECT_EQ(header->FieldName(), "Region");
    EXPECT_EQ(header->Footer(), bands.GetItem(3));
    EXPECT_EQ(bands.GetItem(3)->GetDisplayName(), "GroupFooter1 - GH1");
    EXPECT_EQ(WriteFormText(*dm), text);  // what a person wrote is what we write
}

}  // namespace
}  // namespace tabrix::testing
