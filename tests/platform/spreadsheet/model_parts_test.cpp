// Styles, shared strings and whole-workbook properties (date system,
// macros, prefixed XML) as they survive an edit and a save.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "platform/spreadsheet/cell_text.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"

namespace tabrix::xl {
namespace {

std::unique_ptr<TWorkbook> Template() { return TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx"); }

// The fixture with one part replaced by f(old content).
template <class F>
std::string EditedTemplate(const char* part, F&& edit) {
    TPackage p = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    p.SetPart(part, edit(p.ReadPart(part)));
    return p.SaveToBytes();
}

void Replace(std::string& s, std::string_view from, std::string_view to) {
    size_t at = s.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    s.replace(at, from.size(), to);
}

int CountOf(const std::string& xml, const char* section) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    pugi::xml_node n = doc.document_element().child(section);
    int count = 0;
    for (pugi::xml_node c : n.children()) count += c.type() == pugi::node_element;
    EXPECT_EQ(n.attribute("count").as_int(-1), count) << section;
    return count;
}

TEST(Styles, ANumberFormatVariantIsAddedOnceAndTheCountsFollow) {
    auto book = Template();
    TStyles& styles = book->Styles();
    uint32_t before = styles.Count();
    uint32_t pct = styles.WithNumberFormat(2, "0.0%");
    EXPECT_EQ(styles.Count(), before + 1);
    EXPECT_EQ(styles.WithNumberFormat(2, "0.0%"), pct);  // the same request, the same format
    EXPECT_EQ(styles.NumberFormatCode(pct), "0.0%");
    EXPECT_EQ(styles.NumberFormatId(pct), 165);               // after the part's own 164
    EXPECT_EQ(styles.WithNumberFormat(4, "dd/mm/yyyy"), 4u);  // already so
    uint32_t builtin = styles.WithNumberFormat(0, "0.00");
    EXPECT_EQ(styles.NumberFormatId(builtin), 2);  // built-in codes keep their id
    EXPECT_TRUE(styles.Modified());
    std::string xml = styles.Serialize();
    EXPECT_EQ(CountOf(xml, "numFmts"), 2);
    EXPECT_EQ(CountOf(xml, "cellXfs"), static_cast<int>(styles.Count()));
    // The border of style 2 stays with its variant.
    TStyles again;
    again.Parse(xml, "styles");
    EXPECT_EQ(again.NumberFormatCode(pct), "0.0%");
    EXPECT_EQ(again.Count(), styles.Count());
}

TEST(Styles, ImportFindsEqualPartsAndAddsOnlyWhatIsMissing) {
    // A workbook with equal styles: every format maps onto itself.
    auto source = Template();
    auto twin = Template();
    for (uint32_t xf = 0; xf < source->Styles().Count(); ++xf)
        EXPECT_EQ(twin->Styles().Import(source->Styles(), xf), xf);
    EXPECT_FALSE(twin->Styles().Modified());

    auto target = TWorkbook::CreateBlank();
    TStyles& to = target->Styles();
    uint32_t bold = to.Import(source->Styles(), 1);
    EXPECT_EQ(to.Import(source->Styles(), 1), bold);
    EXPECT_EQ(to.FontSize(bold), 14);
    std::string xml = to.Serialize();
    EXPECT_EQ(CountOf(xml, "fonts"), 2);  // the blank workbook's font and the bold one
    EXPECT_EQ(CountOf(xml, "fills"), 3);  // the two required fills and the yellow one
    EXPECT_EQ(to.NumberFormatCode(to.Import(source->Styles(), 4)), "dd/mm/yyyy");
    EXPECT_TRUE(to.WrapText(to.Import(source->Styles(), 5)));
}

TEST(SharedStrings, PlainTextsAreInternedAndRichEntriesKeptAsWritten) {
    TSharedStrings sst;
    sst.Parse(
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"3\" uniqueCount=\"3\">"
        "<si><t xml:space=\"preserve\"> lead</t></si>"
        "<si><r><rPr><b/></rPr><t>Bo</t></r><r><t>ld</t></r><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></si>"
        "<si><t>a_x000D_b</t></si></sst>",
        "sst");
    EXPECT_EQ(sst.Text(0), " lead");
    EXPECT_EQ(sst.Text(1), "Bold");  // phonetic runs are not part of the text
    EXPECT_EQ(sst.Text(2), "a\rb");
    EXPECT_FALSE(sst.Modified());
    EXPECT_EQ(sst.Add(" lead"), 0u);
    EXPECT_EQ(sst.Add("Bold"), 3u);  // a rich entry is not a plain one
    EXPECT_TRUE(sst.Modified());
    TSharedStrings again;
    again.Parse(sst.Serialize(), "again");
    ASSERT_EQ(again.Count(), 4u);
    EXPECT_EQ(again.Text(0), " lead");
    EXPECT_EQ(again.Text(2), "a\rb");
    ASSERT_NE(again.RichXml(1), nullptr);
    EXPECT_NE(again.RichXml(1)->find("<rPh sb=\"0\" eb=\"1\">"), std::string::npos);
    EXPECT_EQ(again.RichXml(0), nullptr);
}

TEST(WorkbookKinds, DatesInA1904WorkbookAreCountedFromItsOwnEpoch) {
    auto book = TWorkbook::FromBytes(EditedTemplate("xl/workbook.xml",
                                                    [](std::string x) {
                                                        Replace(x, "<workbookPr ", "<workbookPr date1904=\"1\" ");
                                                        return x;
                                                    }),
                                     "1904.xlsx");
    ASSERT_TRUE(book->Date1904());
    TFormatSettings s = TFormatSettings::Invariant();
    s.ShortDateFormat = "dd/mm/yyyy";
    s.DateSeparator = '.';
    TWorksheet& sheet = book->Sheet(0);
    EnterText(sheet, 9, 1, "01.03.2024", TTextForm::Local, s);
    EXPECT_EQ(sheet.Content(9, 1).Value.Number, 45352 - 1462);
    EXPECT_EQ(CellText(sheet, 9, 1, TTextForm::Local, s), "01.03.2024");
    EnterVariant(sheet, 9, 2, Variant::FromDate(45352), TTextForm::Local, s);
    EXPECT_EQ(sheet.Content(9, 2).Value.Number, 45352 - 1462);
}

std::string MacroTemplate() {
    TPackage p = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    std::string types = p.ReadPart("[Content_Types].xml");
    Replace(types, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
            "application/vnd.ms-excel.sheet.macroEnabled.main+xml");
    Replace(types, "</Types>",
            "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/></Types>");
    p.SetPart("[Content_Types].xml", types);
    std::string rels = p.ReadPart("xl/_rels/workbook.xml.rels");
    Replace(rels, "</Relationships>",
            "<Relationship Id=\"rId9\" Type=\"http://schemas.microsoft.com/office/2006/relationships/vbaProject\" "
            "Target=\"vbaProject.bin\"/></Relationships>");
    p.SetPart("xl/_rels/workbook.xml.rels", rels);
    p.SetPart("xl/vbaProject.bin", std::string("\xD0\xCF\x11\xE0 macro bytes", 16));
    return p.SaveToBytes();
}

TEST(WorkbookKinds, MacrosSurviveInAMacroFileAndAreLeftOutOfAnXlsx) {
    std::string folder = test::MakeTempDir();
    auto book = TWorkbook::FromBytes(MacroTemplate(), "macros.xlsm");
    EXPECT_TRUE(book->HasMacros());
    book->Sheet(0).SetNumber(3, 1, 9);
    book->SaveAs(folder + "report.xlsm");
    TPackage kept = TPackage::Open(folder + "report.xlsm");
    EXPECT_EQ(kept.ReadPart("xl/vbaProject.bin"), std::string("\xD0\xCF\x11\xE0 macro bytes", 16));
    EXPECT_NE(kept.ReadPart("[Content_Types].xml").find("macroEnabled.main+xml"), std::string::npos);

    book->SaveAs(folder + "report.xlsx");
    TPackage plain = TPackage::Open(folder + "report.xlsx");
    EXPECT_FALSE(plain.HasPart("xl/vbaProject.bin"));
    EXPECT_EQ(plain.ReadPart("xl/_rels/workbook.xml.rels").find("vbaProject"), std::string::npos);
    EXPECT_EQ(plain.ReadPart("[Content_Types].xml").find("macroEnabled"), std::string::npos);
    auto reread = TWorkbook::Open(folder + "report.xlsx", true);
    EXPECT_EQ(reread->Sheet(0).Content(3, 1).Value.Number, 9);
    test::RemoveTree(folder);
}

TEST(WorkbookKinds, PrefixedSheetXmlIsReadAndWrittenWithItsPrefix) {
    std::string sheet =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:sheetViews><x:sheetView workbookViewId=\"0\"/></x:sheetViews><x:sheetData>"
        "<x:row r=\"1\"><x:c r=\"A1\" t=\"inlineStr\"><x:is><x:t>hi</x:t></x:is></x:c><x:c "
        "r=\"B1\"><x:v>2</x:v></x:c></x:row>"
        "</x:sheetData><x:mergeCells><x:mergeCell ref=\"A2:B2\"/></x:mergeCells></x:worksheet>";
    auto book = TWorkbook::FromBytes(EditedTemplate("xl/worksheets/sheet2.xml", [&](std::string) { return sheet; }),
                                     "prefixed.xlsx");
    TWorksheet& s = book->Sheet(1);
    EXPECT_EQ(s.Content(1, 1).Value.Text, "hi");
    EXPECT_EQ(s.MergedRanges().size(), 1u);
    s.SetFormula(3, 1, "B1*2");
    TPackage saved = TPackage::FromBytes(book->SaveToBytes(), "saved");
    std::string xml = saved.ReadPart("xl/worksheets/sheet2.xml");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str())) << xml;
    std::vector<std::string> names;
    for (pugi::xml_node n : doc.document_element().children()) names.push_back(n.name());
    EXPECT_EQ(names, (std::vector<std::string>{"x:sheetViews", "x:sheetData", "x:mergeCells"}));
    EXPECT_NE(xml.find("<x:c r=\"A3\"><x:f>B1*2</x:f><x:v>4</x:v></x:c>"), std::string::npos) << xml;
}

TEST(Formulas, CachedValuesFollowOtherSheetsNamesAndWholeColumns) {
    auto book = Template();
    TWorksheet& other = book->Sheet(1);
    other.SetFormula(5, 1, "SUM(Template!C:C)");  // 21 + 12 + 33
    other.SetFormula(5, 2, "Rate*A5");
    other.SetFormula(5, 3, "'Template'!A3+A1");  // A1 holds the cached 33
    other.SetFormula(5, 4, "NOSUCHNAME+1");
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    TWorksheet& s = again->Sheet(1);
    EXPECT_EQ(s.Content(5, 1).Value.Number, 66);
    EXPECT_EQ(s.Content(5, 2).Value.Number, 33);
    EXPECT_EQ(s.Content(5, 3).Value.Number, 35);
    EXPECT_EQ(s.Content(5, 4).Value, (TStoredValue{TCellKind::Error, 0, "#NAME?"}));
    // Formulas that were not touched keep the values the file gave them.
    EXPECT_EQ(s.Content(1, 2).Value.Number, 66);
}

TEST(Formulas, RunningTotalsBeyondTheEvaluationBudgetAreLeftToTheSpreadsheet) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    const int rows = 12000;  // the totals visit 72 million cells in all
    for (int r = 1; r <= rows; ++r) {
        s.SetNumber(r, 1, 1);
        s.SetFormula(r, 2, "SUM(A$1:A" + std::to_string(r) + ")");
    }
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "totals.xlsx");
    TWorksheet& t = again->Sheet(0);
    EXPECT_EQ(t.Content(10, 2).Value.Number, 10);
    EXPECT_EQ(t.Content(rows, 2).Formula, "SUM(A$1:A12000)");
    EXPECT_EQ(t.Content(rows, 2).Value.Kind, TCellKind::Empty);  // no wrong value from a cut-off range
    for (int r = 1; r <= rows; ++r) {
        const TStoredValue& v = t.Content(r, 2).Value;
        if (v.Kind == TCellKind::Number) {
            ASSERT_EQ(v.Number, r) << r;
        }
    }
}

TEST(SheetEdits, ClearRemovesContentsFormatsAndTouchingMerges) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    s.Clear(TCellRect{1, 2, 3, 2});  // crosses the title's merge A1:C1
    EXPECT_TRUE(s.MergedRanges().empty());
    EXPECT_EQ(s.FindCell(1, 2), nullptr);
    EXPECT_EQ(s.Content(1, 1).Value.Text, "Title");  // outside the rectangle
    EXPECT_EQ(s.Content(3, 3).Formula, "A3*B3");
    TRowProps styled;
    styled.CustomFormat = true;
    styled.Style = 2;
    s.SetRowProps(20, styled);
    EXPECT_EQ(s.Style(20, 5), 2u);  // an empty cell of a styled row
    s.SetNumber(20, 5, 1);
    EXPECT_EQ(s.Content(20, 5).Style, 2u);  // a new cell takes the row's style
    EXPECT_EQ(s.UsedRange().Bottom, 20);
    s.Clear(TCellRect{20, 1, 20, kMaxColumns});
    EXPECT_EQ(s.UsedRange().Bottom, 6);
    s.Clear(s.UsedRange());
    EXPECT_TRUE(s.IsEmpty() || s.UsedRange() == (TCellRect{1, 1, 1, 1}));
}

TEST(SheetEdits, TextsUpToTheCellLimitAreTakenAndLongerOnesRefused) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    std::string umlauts;
    for (int i = 0; i < 32767; ++i) umlauts += "\xC3\xA4";  // two bytes, one character each
    EXPECT_NO_THROW(s.SetString(1, 1, umlauts));
    EXPECT_THROW(s.SetString(1, 2, umlauts + "x"), ESpreadsheetError);
    std::string emoji;
    for (int i = 0; i < 16384; ++i) emoji += "\xF0\x9F\x98\x80";  // two UTF-16 units each
    EXPECT_THROW(s.SetString(1, 3, emoji), ESpreadsheetError);
    EXPECT_EQ(s.FindCell(1, 3), nullptr);
}

}  // namespace
}  // namespace tabrix::xl
