#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/sheet_parts_fixture.h"

namespace tabrix::xl {
namespace {

// A band in row 2: a red-negative rule over B2 relative to its cell, a list
// validation over C2 and a rule over A1 (the title) that no copy touches.
constexpr std::string_view kSheet =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
    "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>-5</v></c></row></sheetData>"
    "<conditionalFormatting sqref=\"B2\"><cfRule type=\"expression\" dxfId=\"0\" priority=\"2\">"
    "<formula>B2&lt;0</formula></cfRule></conditionalFormatting>"
    "<conditionalFormatting sqref=\"A1\"><cfRule type=\"expression\" dxfId=\"0\" priority=\"1\">"
    "<formula>A1=\"\"</formula></cfRule></conditionalFormatting>"
    "<dataValidations count=\"1\"><dataValidation type=\"list\" allowBlank=\"1\" sqref=\"C2\">"
    "<formula1>$E$1:$E$3</formula1></dataValidation></dataValidations>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "</worksheet>";

std::string Written(TWorksheet& sheet) { return sheet.Serialize(); }

size_t Count(const std::string& text, std::string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(RangeRules, UnchangedRulesAreWrittenBackAsReadInSchemaOrder) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(kSheet);
    s.SetNumber(1, 1, 3);
    s.Rules();
    std::string xml = Written(s);
    EXPECT_NE(xml.find("<conditionalFormatting sqref=\"B2\">"), std::string::npos);
    EXPECT_LT(xml.find("</sheetData>"), xml.find("<conditionalFormatting"));
    EXPECT_LT(xml.find("</dataValidations>"), xml.find("<pageMargins"));
}

TEST(RangeRules, DoublingCopiesWithinTheSheetKeepOneRuleOverOneRange) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(kSheet);
    // 2 -> 3, 2:3 -> 4:5, 2:5 -> 6:9, ... as the copy manager doubles a band.
    int rows = 1;
    for (int i = 0; i < 10; ++i, rows *= 2) CopyRange(s, {2, 1, 1 + rows, 3}, s, 2 + rows, 1);
    std::string xml = Written(s);
    EXPECT_EQ(Count(xml, "<conditionalFormatting"), 2u);
    EXPECT_NE(xml.find("sqref=\"B2:B1025\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<formula>B2&lt;0</formula>"), std::string::npos);
    EXPECT_NE(xml.find("sqref=\"C2:C1025\""), std::string::npos);
    EXPECT_NE(xml.find("<formula1>$E$1:$E$3</formula1>"), std::string::npos);
    EXPECT_NE(xml.find("<dataValidations count=\"1\""), std::string::npos);
}

TEST(RangeRules, CopiesFromAnotherWorkbookMakeOneRulePerTemplateRuleInItsOrder) {
    auto templ = TWorkbook::CreateBlank();
    templ->Sheet(0).Load(kSheet);
    auto report = TWorkbook::CreateBlank();
    TWorksheet& r = report->Sheet(0);
    // Every other row, so the ranges cannot coalesce; the first lands at row 10.
    for (int i = 0; i < 3; ++i) CopyRange(templ->Sheet(0), {2, 1, 2, 3}, r, 10 + 2 * i, 1);
    std::string xml = Written(r);
    EXPECT_EQ(Count(xml, "<conditionalFormatting"), 1u) << xml;
    // The formula follows the rule's first cell, B10.
    EXPECT_NE(xml.find("sqref=\"B10 B12 B14\"><cfRule type=\"expression\" dxfId=\"0\" priority=\"2\">"
                       "<formula>B10&lt;0</formula>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<dataValidation type=\"list\" allowBlank=\"1\" sqref=\"C10 C12 C14\">"), std::string::npos)
        << xml;
}

TEST(RangeRules, ClearingCutsTheRectangleOutOfEveryRule) {
    struct TCase {
        TCellRect Cut;
        const char* Sqref;  // of the red-negative rule afterwards; "" when gone
    } cases[] = {
        {{1, 1, 1048576, 16384}, ""},  {{4, 1, 6, 16384}, "B2:B3 B7:B9"}, {{2, 1, 3, 16384}, "B4:B9"},
        {{5, 2, 5, 2}, "B2:B4 B6:B9"}, {{1, 3, 20, 5}, "B2:B9"},
    };
    for (const TCase& c : cases) {
        auto book = TWorkbook::CreateBlank();
        TWorksheet& s = book->Sheet(0);
        s.Load(kSheet);
        for (int row = 3; row <= 9; ++row) CopyRange(s, {2, 1, 2, 3}, s, row, 1);
        s.Clear(c.Cut);
        std::string xml = Written(s);
        SCOPED_TRACE(RectAddress(c.Cut));
        if (*c.Sqref == 0) {
            EXPECT_EQ(Count(xml, "<conditionalFormatting"), 0u) << xml;
            EXPECT_EQ(Count(xml, "dataValidation"), 0u) << xml;
            continue;
        }
        EXPECT_NE(xml.find(std::string("sqref=\"") + c.Sqref + "\""), std::string::npos) << xml;
        // The formula moves with the rule's first cell.
        TCellRect first;
        ASSERT_TRUE(
            TryParseRect(std::string_view(c.Sqref).substr(0, std::string_view(c.Sqref).find_first_of(" :")), first));
        EXPECT_NE(xml.find("<formula>" + CellAddress(first.Top, first.Left) + "&lt;0</formula>"), std::string::npos)
            << xml;
    }
}

TEST(RangeRules, ACopyIntoAWorkbookOfAnotherOriginBringsTheRulesFormat) {
    // The source's dxf 0 is a red font; the target holds a green one at 0 already.
    auto templ = TWorkbook::FromBytes(
        test::OneSheetBook(std::string(kSheet).substr(kSheet.find("<sheetData>"),
                                                      kSheet.rfind("</worksheet>") - kSheet.find("<sheetData>"))),
        "red.xlsx");
    auto report = TWorkbook::CreateBlank();
    TStyles green;
    green.Parse(
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cellXfs count=\"1\"><xf/>"
        "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
        "<dxfs count=\"1\"><dxf><font><color rgb=\"FF00FF00\"/></font></dxf></dxfs><tableStyles count=\"0\"/>"
        "</styleSheet>",
        "green");
    report->Styles() = green;
    for (int i = 0; i < 2; ++i) CopyRange(templ->Sheet(0), {2, 1, 2, 3}, report->Sheet(0), 5 + i, 1);
    std::string xml = Written(report->Sheet(0));
    EXPECT_NE(xml.find("sqref=\"B5:B6\"><cfRule type=\"expression\" dxfId=\"1\""), std::string::npos) << xml;
    std::string styles = report->Styles().Serialize();
    EXPECT_NE(styles.find("<dxfs count=\"2\"><dxf><font><color rgb=\"FF00FF00\"/></font></dxf><dxf><font><color "
                          "rgb=\"FFFF0000\"/></font></dxf></dxfs><tableStyles"),
              std::string::npos)
        << styles;
}

// A band in row 2 with a data bar over B2 (main rule and x14 twin, linked by
// one id), an x14 list validation over C2 whose source is another sheet, an
// x14 icon set over D2 whose threshold is relative (D2*2), and a sparkline
// extension that the model keeps as it is.
constexpr std::string_view kX14Sheet =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
    "<row r=\"2\"><c r=\"B2\"><v>4</v></c><c r=\"C2\"><v>1</v></c><c r=\"D2\"><v>2</v></c></row></sheetData>"
    "<conditionalFormatting sqref=\"B2\"><cfRule type=\"dataBar\" priority=\"1\"><dataBar><cfvo type=\"min\"/>"
    "<cfvo type=\"max\"/><color rgb=\"FF638EC6\"/></dataBar><extLst><ext "
    "uri=\"{B025F937-C7B1-47D3-B20A-CA91AB9C8B4F}\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:id>{AAAA0001-0000-4000-8000-"
    "000000000001}</x14:id></ext></extLst></cfRule></conditionalFormatting>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "<extLst><ext uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:conditionalFormattings>"
    "<x14:conditionalFormatting xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\">"
    "<x14:cfRule type=\"dataBar\" id=\"{AAAA0001-0000-4000-8000-000000000001}\"><x14:dataBar minLength=\"0\" "
    "maxLength=\"100\" gradient=\"0\"><x14:cfvo type=\"autoMin\"/><x14:cfvo type=\"autoMax\"/></x14:dataBar>"
    "</x14:cfRule><xm:sqref>B2</xm:sqref></x14:conditionalFormatting>"
    "<x14:conditionalFormatting xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\">"
    "<x14:cfRule type=\"iconSet\" priority=\"2\" id=\"{AAAA0002-0000-4000-8000-000000000002}\">"
    "<x14:iconSet iconSet=\"3Stars\"><x14:cfvo type=\"percent\"><xm:f>0</xm:f></x14:cfvo><x14:cfvo type=\"num\">"
    "<xm:f>D2*2</xm:f></x14:cfvo><x14:cfvo type=\"num\"><xm:f>Lists!$B$1</xm:f></x14:cfvo></x14:iconSet>"
    "</x14:cfRule><xm:sqref>D2</xm:sqref></x14:conditionalFormatting></x14:conditionalFormattings></ext>"
    "<ext uri=\"{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:dataValidations count=\"1\" "
    "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><x14:dataValidation type=\"list\" "
    "allowBlank=\"1\"><x14:formula1><xm:f>Lists!$A$1:$A$3</xm:f></x14:formula1><xm:sqref>C2</xm:sqref>"
    "</x14:dataValidation></x14:dataValidations></ext>"
    "<ext uri=\"{05C60535-1F16-4fd2-B633-F4F36F0B64E0}\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:sparklineGroups/></ext>"
    "</extLst></worksheet>";

std::string Between(const std::string& text, std::string_view open, std::string_view close) {
    size_t at = text.find(open);
    if (at == std::string::npos) return "";
    at += open.size();
    return text.substr(at, text.find(close, at) - at);
}

// The id of the main data bar and of the x14 data bar.
std::pair<std::string, std::string> DataBarIds(const std::string& xml) {
    return {Between(xml, "<x14:id>", "</x14:id>"), Between(xml, "<x14:cfRule type=\"dataBar\" id=\"", "\"")};
}

TEST(RangeRules, TheExtensionListIsWrittenBackAsReadWhileNoRuleChanges) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(kX14Sheet);
    s.SetNumber(5, 1, 1);
    s.Rules();
    std::string xml = Written(s);
    std::string_view sheet = kX14Sheet;
    std::string_view extList = sheet.substr(sheet.find("<extLst><ext uri=\"{78C0"));
    EXPECT_NE(xml.find(extList), std::string::npos) << xml;
    EXPECT_EQ(s.Rules().Rules().size(), 4u);
}

TEST(RangeRules, X14RulesJoinTheirRangesOnCopiesWithinTheSheet) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(kX14Sheet);
    int rows = 1;
    for (int i = 0; i < 6; ++i, rows *= 2) CopyRange(s, {2, 1, 1 + rows, 4}, s, 2 + rows, 1);
    std::string xml = Written(s);
    EXPECT_EQ(Count(xml, "<x14:conditionalFormatting "), 2u) << xml;
    EXPECT_EQ(Count(xml, "<x14:dataValidation "), 1u) << xml;
    EXPECT_NE(xml.find("sqref=\"B2:B65\"><cfRule type=\"dataBar\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("</x14:cfRule><xm:sqref>B2:B65</xm:sqref>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<xm:f>D2*2</xm:f></x14:cfvo><x14:cfvo type=\"num\"><xm:f>Lists!$B$1</xm:f></x14:cfvo>"
                       "</x14:iconSet></x14:cfRule><xm:sqref>D2:D65</xm:sqref>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<x14:dataValidations count=\"1\" xmlns:xm="), std::string::npos) << xml;
    EXPECT_NE(xml.find("<xm:f>Lists!$A$1:$A$3</xm:f></x14:formula1><xm:sqref>C2:C65</xm:sqref>"), std::string::npos);
    auto [main, twin] = DataBarIds(xml);
    EXPECT_EQ(main, "{AAAA0001-0000-4000-8000-000000000001}");
    EXPECT_EQ(twin, main);
    // The schema's order of the extensions; the sparkline one kept, last.
    EXPECT_LT(xml.find("<x14:conditionalFormattings>"), xml.find("<x14:dataValidations"));
    EXPECT_LT(xml.find("<x14:dataValidations"), xml.find("<x14:sparklineGroups/>"));
    EXPECT_LT(xml.find("<pageMargins"), xml.rfind("<extLst>"));
    EXPECT_EQ(xml.rfind("</extLst>") + std::string_view("</extLst>").size(), xml.find("</worksheet>"));
}

TEST(RangeRules, X14RulesCopiedToOtherSheetsKeepTheirTwinsLinkedByAnIdOfTheirOwn) {
    struct TCase {
        const char* Name;
        bool SameBook;  // the target is a copy of the template sheet: its rules and ids are there too
    } cases[] = {{"a blank sheet", false}, {"a sheet holding the same rules", true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto templ = TWorkbook::CreateBlank();
        templ->Sheet(0).Load(kX14Sheet);
        auto other = TWorkbook::CreateBlank();
        TWorksheet& target = other->Sheet(0);
        if (c.SameBook) target.Load(kX14Sheet);
        // Every other row: the ranges cannot coalesce; the first lands at row 10.
        for (int i = 0; i < 3; ++i) CopyRange(templ->Sheet(0), {2, 1, 2, 4}, target, 10 + 2 * i, 1);
        std::string xml = Written(target);
        const size_t made = c.SameBook ? 1 : 0;  // the sheet's own rules stay beside the copies
        EXPECT_EQ(Count(xml, "<conditionalFormatting "), 1u + made) << xml;
        EXPECT_EQ(Count(xml, "<x14:conditionalFormatting "), 2u + 2 * made) << xml;
        EXPECT_EQ(Count(xml, "<x14:dataValidation "), 1u + made) << xml;
        EXPECT_EQ(Count(xml, "<x14:conditionalFormattings>"), 1u) << xml;
        EXPECT_NE(xml.find("<xm:sqref>B10 B12 B14</xm:sqref>"), std::string::npos) << xml;
        // The relative threshold follows the rule's first cell; the other sheet's cells stay.
        EXPECT_NE(xml.find("<xm:f>D10*2</xm:f></x14:cfvo><x14:cfvo type=\"num\"><xm:f>Lists!$B$1</xm:f>"),
                  std::string::npos)
            << xml;
        EXPECT_NE(xml.find("<xm:f>Lists!$A$1:$A$3</xm:f></x14:formula1><xm:sqref>C10 C12 C14</xm:sqref>"),
                  std::string::npos)
            << xml;
        // The copied pair: one id in both, unique in the sheet.
        const std::string copied = xml.substr(xml.find("sqref=\"B10 B12 B14\""));
        const std::string copiedTwin = xml.substr(xml.rfind("<x14:cfRule type=\"dataBar\""));
        auto [main, unused] = DataBarIds(copied);
        auto [unused2, twin] = DataBarIds(copiedTwin);
        EXPECT_EQ(main, twin) << xml;
        EXPECT_EQ(Count(xml, main), 2u) << xml;
        if (c.SameBook) {
            EXPECT_NE(main, "{AAAA0001-0000-4000-8000-000000000001}");
        }
        // Copied again: the same rules take the ranges in, no new id.
        CopyRange(templ->Sheet(0), {2, 1, 2, 4}, target, 20, 1);
        std::string again = Written(target);
        EXPECT_EQ(Count(again, "<x14:conditionalFormatting "), 2u + 2 * made) << again;
        EXPECT_EQ(Count(again, main), 2u) << again;
        // The wrappers the copies made declare their prefixes.
        if (!c.SameBook) {
            EXPECT_NE(again.find("<extLst><ext uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\" "
                                 "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\">"),
                      std::string::npos)
                << again;
            EXPECT_EQ(again.find("sparklineGroups"), std::string::npos);
        }
    }
}

TEST(RangeRules, ClearingCutsTheX14RulesAndDropsEmptyExtensions) {
    struct TCase {
        TCellRect Cut;
        const char* DataBar;  // xm:sqref of the x14 data bar afterwards; "" when gone
        bool ListKept;        // the <extLst> is still written (the sparklines keep it)
    } cases[] = {
        {{1, 1, 1048576, 16384}, "", true},
        {{3, 1, 4, 16384}, "B2 B5:B6", true},
        {{2, 3, 6, 3}, "B2:B6", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(RectAddress(c.Cut));
        auto book = TWorkbook::CreateBlank();
        TWorksheet& s = book->Sheet(0);
        s.Load(kX14Sheet);
        for (int row = 3; row <= 6; ++row) CopyRange(s, {2, 1, 2, 4}, s, row, 1);
        s.Clear(c.Cut);
        std::string xml = Written(s);
        EXPECT_EQ(xml.find("<extLst>") != std::string::npos, c.ListKept) << xml;
        if (*c.DataBar == 0) {
            EXPECT_EQ(Count(xml, "conditionalFormatting"), 0u) << xml;
            EXPECT_EQ(Count(xml, "dataValidation"), 0u) << xml;
            EXPECT_NE(xml.find("<x14:sparklineGroups/>"), std::string::npos) << xml;
            continue;
        }
        EXPECT_NE(xml.find(std::string("<xm:sqref>") + c.DataBar + "</xm:sqref>"), std::string::npos) << xml;
    }
    // Without the sparklines nothing is left of the list.
    std::string sheet(kX14Sheet);
    size_t sparkAt = sheet.find("<ext uri=\"{05C60535");
    sheet.erase(sparkAt, sheet.rfind("</extLst>") - sparkAt);
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(sheet);
    s.Clear({1, 1, 1048576, 16384});
    std::string xml = Written(s);
    EXPECT_EQ(xml.find("extLst"), std::string::npos) << xml;
}

TEST(RangeRules, ARuleMadeInAnotherSheetDeclaresThePrefixesItTookFromThatSheetsRoot) {
    // xr is declared and ignorable at the root, ext only declared there.
    constexpr std::string_view kRooted =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"xr\" "
        "xmlns:xr=\"http://schemas.microsoft.com/office/spreadsheetml/2014/revision\" xmlns:my=\"urn:my\">"
        "<sheetData><row r=\"2\"><c r=\"C2\"><v>1</v></c></row></sheetData>"
        "<dataValidations count=\"1\"><dataValidation type=\"list\" my:note=\"n\" "
        "xr:uid=\"{00000000-0002-0000-0000-000000000000}\" sqref=\"C2\"><formula1>$E$1:$E$3</formula1>"
        "</dataValidation></dataValidations></worksheet>";
    struct TCase {
        const char* Name;
        bool SameRoot;
        bool UidKept;
    } cases[] = {{"a blank sheet", false, false}, {"a sheet with the same root", true, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto templ = TWorkbook::CreateBlank();
        templ->Sheet(0).Load(kRooted);
        auto report = TWorkbook::CreateBlank();
        if (c.SameRoot) report->Sheet(0).Load(kRooted);
        CopyRange(templ->Sheet(0), {2, 1, 2, 3}, report->Sheet(0), 10, 1);
        std::string xml = Written(report->Sheet(0));
        const size_t at = xml.find("sqref=\"C10\"");
        ASSERT_NE(at, std::string::npos) << xml;
        const std::string made = xml.substr(xml.rfind("<dataValidation ", at), at - xml.rfind("<dataValidation ", at));
        EXPECT_EQ(made.find("xr:uid=") != std::string::npos, c.UidKept) << xml;
        EXPECT_NE(made.find("my:note=\"n\""), std::string::npos) << xml;
        if (!c.SameRoot) {
            EXPECT_NE(xml.find("xmlns:my=\"urn:my\" sqref=\"C10\""), std::string::npos) << xml;
        }
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
    }
}

TEST(RangeRules, X14RulesCopiedIntoASheetWithOtherExtensionsJoinItsOneList) {
    constexpr std::string_view kSparklines =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/>"
        "<extLst><ext uri=\"{05C60535-1F16-4fd2-B633-F4F36F0B64E0}\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:sparklineGroups/></ext>"
        "</extLst></worksheet>";
    auto templ = TWorkbook::CreateBlank();
    templ->Sheet(0).Load(kX14Sheet);
    auto report = TWorkbook::CreateBlank();
    TWorksheet& r = report->Sheet(0);
    r.Load(kSparklines);
    r.SetNumber(1, 1, 1);
    r.Rules();
    EXPECT_NE(Written(r).find(std::string(kSparklines.substr(kSparklines.find("<extLst>")))), std::string::npos);
    CopyRange(templ->Sheet(0), {2, 1, 2, 4}, r, 5, 1);
    std::string xml = Written(r);
    EXPECT_EQ(Count(xml, "<extLst>"), 2u) << xml;  // the data bar's own, and the sheet's
    EXPECT_LT(xml.find("<x14:conditionalFormattings>"), xml.find("<x14:dataValidations"));
    EXPECT_LT(xml.find("<x14:dataValidations"), xml.find("<x14:sparklineGroups/>"));
    EXPECT_NE(xml.find("<xm:sqref>C5</xm:sqref>"), std::string::npos) << xml;
}

}  // namespace
}  // namespace tabrix::xl
