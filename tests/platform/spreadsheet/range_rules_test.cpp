#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tabrix::xl
