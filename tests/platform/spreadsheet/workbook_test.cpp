#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include <pugixml.hpp>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"
#include "tests/platform/spreadsheet/sheet_parts_fixture.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

std::unique_ptr<TWorkbook> Template() { return TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx"); }

std::string Corpus(const std::string& path) {
    return std::string(TABRIX_SOURCE_DIR) + "/../shared/corpus/xlsx/" + path;
}

// The order of the top-level elements of a worksheet part.
std::vector<std::string> ElementOrder(const std::string& xml) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    std::vector<std::string> names;
    for (pugi::xml_node n : doc.document_element().children()) names.push_back(n.name());
    return names;
}

TEST(WorkbookRead, CellsRowsMergesAndFormulasAsWritten) {
    auto book = Template();
    ASSERT_EQ(book->SheetCount(), 2);
    EXPECT_EQ(book->SheetName(1), "Other");
    TWorksheet& s = book->Sheet(0);
    EXPECT_EQ(s.Content(1, 1).Value.Text, "Title");
    EXPECT_EQ(s.Content(1, 1).Style, 1u);
    EXPECT_EQ(s.Content(2, 3).Value.Text, "Total");  // the plain text of the rich entry
    EXPECT_NE(book->Strings().RichXml(s.FindCell(2, 3)->Index), nullptr);
    EXPECT_EQ(s.Content(3, 2).Value.Number, 10.5);
    // The shared formula's dependent gets its own moved text.
    EXPECT_EQ(s.Content(3, 3).Formula, "A3*B3");
    EXPECT_EQ(s.Content(4, 3).Formula, "A4*B4");
    EXPECT_EQ(s.Content(4, 3).Value.Number, 12);
    EXPECT_EQ(s.RowHeight(1), 30);
    EXPECT_TRUE(s.RowProps(1).CustomHeight);
    EXPECT_EQ(s.RowHeight(2), 15);
    ASSERT_EQ(s.MergedRanges().size(), 1u);
    EXPECT_EQ(s.MergedRanges()[0], (TCellRect{1, 1, 1, 3}));
    EXPECT_EQ(s.UsedRange(), (TCellRect{1, 1, 6, 4}));
    EXPECT_EQ(book->Styles().NumberFormatKind(s.Style(5, 4)), TNumberFormatKind::Date);
    EXPECT_EQ(book->Styles().FontSize(1), 14);
    TWorksheet& other = book->Sheet(1);
    const TCell* array = other.FindCell(1, 2);
    ASSERT_EQ(array->Kind, TCellKind::Formula);
    EXPECT_EQ(other.FormulaOf(*array).Type, TCellFormula::TType::Array);
    EXPECT_EQ(other.FormulaOf(*array).ArrayRange, (TCellRect{1, 2, 2, 2}));
}

TEST(WorkbookSave, UnchangedWorkbookKeepsEveryPartByteForByte) {
    std::string original = test::TemplateWorkbookBytes();
    auto book = TWorkbook::FromBytes(original, "template.xlsx");
    book->Sheet(0);  // reading a sheet changes nothing
    TPackage before = TPackage::FromBytes(original, "before");
    TPackage after = TPackage::FromBytes(book->SaveToBytes(), "after");
    ASSERT_EQ(before.PartNames(), after.PartNames());
    for (const std::string& part : before.PartNames()) EXPECT_EQ(before.ReadPart(part), after.ReadPart(part)) << part;
}

TEST(WorkbookSave, ChangedSheetIsRegeneratedAroundItsKeptXml) {
    std::string original = test::TemplateWorkbookBytes();
    auto book = TWorkbook::FromBytes(original, "template.xlsx");
    TWorksheet& s = book->Sheet(0);
    s.SetNumber(3, 1, 5);
    s.SetString(8, 2, "new <text> & more");
    TPackage before = TPackage::FromBytes(original, "before");
    TPackage after = TPackage::FromBytes(book->SaveToBytes(), "after");
    // Untouched parts stay as they were.
    for (const char* part : {"xl/styles.xml", "_rels/.rels"})
        EXPECT_EQ(before.ReadPart(part), after.ReadPart(part)) << part;
    // The other sheet's formulas that read the changed sheet follow the
    // changed data, those reading them too: C3 = 5 * 10.5, so Template!C5
    // is 64.5, no longer 33.
    const std::string other = after.ReadPart("xl/worksheets/sheet2.xml");
    EXPECT_NE(other.find("<f>Template!C5</f><v>64.5</v>"), std::string::npos) << other;
    EXPECT_NE(other.find("A1*2</f><v>129</v>"), std::string::npos) << other;
    // The chain is gone with its relationship and content type; the
    // workbook recalculates on load.
    EXPECT_FALSE(after.HasPart("xl/calcChain.xml"));
    EXPECT_EQ(after.ReadPart("xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
    EXPECT_EQ(after.ReadPart("[Content_Types].xml").find("calcChain"), std::string::npos);
    EXPECT_NE(after.ReadPart("xl/workbook.xml").find("<calcPr calcId=\"145621\" fullCalcOnLoad=\"1\"/>"),
              std::string::npos);
    // Kept elements stay in schema order with the merges in their place.
    std::vector<std::string> order = ElementOrder(after.ReadPart("xl/worksheets/sheet1.xml"));
    std::vector<std::string> expected = {"dimension", "sheetViews", "sheetFormatPr",         "cols",
                                         "sheetData", "mergeCells", "conditionalFormatting", "pageMargins",
                                         "pageSetup"};
    EXPECT_EQ(order, expected);
    // Read back: the new values, and a fresh cached value for what depends on them.
    auto again = TWorkbook::FromBytes(after.SaveToBytes(), "again.xlsx");
    TWorksheet& s2 = again->Sheet(0);
    EXPECT_EQ(s2.Content(3, 1).Value.Number, 5);
    EXPECT_EQ(s2.Content(8, 2).Value.Text, "new <text> & more");
    EXPECT_EQ(s2.Content(2, 3).Value.Text, "Total");
    EXPECT_EQ(s2.UsedRange(), (TCellRect{1, 1, 8, 4}));
    EXPECT_EQ(s2.MergedRanges().size(), 1u);
}

// The template's Other sheet replaced by formulas whose cached values (999)
// are stale once Template changes; a third sheet reads none of it.
std::unique_ptr<TWorkbook> StaleValuesBook() {
    TPackage p = TPackage::FromBytes(test::TemplateWorkbookBytes(), "stale.xlsx");
    std::string other = p.ReadPart("xl/worksheets/sheet2.xml");
    const std::size_t from = other.find("<sheetData>"), to = other.find("</sheetData>") + 12;
    const char* const rows[] = {
        "Template!C5", "A1+1", "INDIRECT(\"Template!C5\")", "Total", "[1]Sheet1!A1", "NOW()", "Local*2", "Other!Local",
        "B1*2",  // as on Third, where it reads nothing that changed
    };
    std::string data = "<sheetData>";
    for (int i = 0; i < 9; ++i)
        data += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1) + "\"><f>" + rows[i] +
                "</f><v>999</v></c></row>";
    data += "</sheetData>";
    other.replace(from, to - from, data);
    p.SetPart("xl/worksheets/sheet2.xml", other);
    std::string third = other;
    const std::size_t f3 = third.find("<sheetData>"), t3 = third.find("</sheetData>") + 12;
    third.replace(f3, t3 - f3,
                  "<sheetData><row r=\"1\"><c r=\"A1\"><f>1+1</f><v>999</v></c><c r=\"B1\"><v>4</v></c>"
                  "<c r=\"C1\"><f>B1*2</f><v>999</v></c><c r=\"D1\"><f>Rate*2</f></c></row></sheetData>");
    p.SetPart("xl/worksheets/sheet3.xml", third);
    std::string rels = p.ReadPart("xl/_rels/workbook.xml.rels");
    rels.insert(rels.find("</Relationships>"),
                "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                "relationships/worksheet\" Target=\"worksheets/sheet3.xml\"/>");
    p.SetPart("xl/_rels/workbook.xml.rels", rels);
    std::string types = p.ReadPart("[Content_Types].xml");
    types.insert(types.find("</Types>"),
                 "<Override PartName=\"/xl/worksheets/sheet3.xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
    p.SetPart("[Content_Types].xml", types);
    std::string wb = p.ReadPart("xl/workbook.xml");
    wb.insert(wb.find("</sheets>"), "<sheet name=\"Third\" sheetId=\"3\" r:id=\"rId9\"/>");
    wb.insert(wb.find("</definedNames>"),
              "<definedName name=\"Total\">Template!$C$5</definedName>"
              "<definedName name=\"Local\" localSheetId=\"1\">Template!$C$5+1</definedName>");
    p.SetPart("xl/workbook.xml", wb);
    return TWorkbook::FromBytes(p.SaveToBytes(), "stale.xlsx");
}

// A cached value as text: "" for none, numbers as %g.
std::string CachedText(const TStoredValue& v) {
    if (v.Kind == TCellKind::Empty) return "";
    if (v.Kind != TCellKind::Number) return v.Text;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v.Number);
    return buf;
}

TEST(WorkbookSave, FormulasThatCanSeeAChangeGetNewValuesOrNone) {
    struct TCase {
        int Sheet, Row, Column;
        const char* AfterChange;  // Template!A3 = 5: Template!C5 = 64.5
        const char* AfterResave;  // every sheet regenerated, nothing changed
    };
    const TCase cases[] = {
        {1, 1, 1, "64.5", "999"},  // a reference naming the changed sheet
        {1, 2, 1, "65.5", "999"},  // a cell of its own sheet that follows the change
        {1, 3, 1, "", "999"},      // INDIRECT: no value, never the stale one
        {1, 4, 1, "64.5", "999"},  // a defined name leading to the changed sheet
        {1, 5, 1, "", "999"},      // another workbook
        {1, 7, 1, "131", "999"},   // the sheet's own name
        {1, 8, 1, "65.5", "999"},  // the same, written with its sheet
        {1, 9, 1, "0", "999"},     // its own sheet holds formulas to recompute
        {2, 1, 1, "999", "999"},   // the third sheet reads nothing that changed: the file's value stays
        {2, 1, 3, "999", "999"},  {2, 1, 4, "1", "1"},  // a formula without a value gets one
    };
    for (bool change : {true, false}) {
        auto book = StaleValuesBook();
        if (change)
            book->Sheet(0).SetNumber(3, 1, 5);
        else
            for (int i = 0; i < book->SheetCount(); ++i) book->Sheet(i).SetModified();
        auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
        for (const TCase& c : cases) {
            EXPECT_EQ(CachedText(again->Sheet(c.Sheet).Content(c.Row, c.Column).Value),
                      change ? c.AfterChange : c.AfterResave)
                << (change ? "changed: " : "resaved: ") << again->SheetName(c.Sheet) << " row " << c.Row;
        }
        // NOW() is recomputed after a change: a date of this century, not 999.
        const double now = again->Sheet(1).Content(6, 1).Value.Number;
        EXPECT_TRUE(change ? now > 40000 : now == 999) << now;
    }
}

TEST(WorkbookSave, SubtotalOverRowsAFilterMayHaveHiddenGivesNoValueUnlessItLeavesOutEveryHiddenRow) {
    auto book = TWorkbook::FromBytes(
        test::OneSheetBook("<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Qty</t></is></c></row>"
                           "<row r=\"2\"><c r=\"A2\"><v>1</v></c></row>"
                           "<row r=\"3\" hidden=\"1\"><c r=\"A3\"><v>2</v></c></row>"
                           "<row r=\"4\"><c r=\"A4\"><v>4</v></c></row></sheetData>"
                           "<autoFilter ref=\"A1:A4\"/>"),
        "filtered.xlsx");
    TWorksheet& s = book->Sheet(0);
    s.SetFormula(1, 3, "SUBTOTAL(9,A2:A4)");    // row 3 hidden by the filter or by hand: unknown
    s.SetFormula(2, 3, "SUBTOTAL(109,A2:A4)");  // every hidden row left out
    s.SetFormula(3, 3, "SUBTOTAL(9,A2,A4)");    // no hidden row in its ranges
    s.SetFormula(4, 3, "SUM(A2:A4)");
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    const char* const want[] = {"", "5", "5", "7"};
    for (int row = 1; row <= 4; ++row)
        EXPECT_EQ(CachedText(again->Sheet(0).Content(row, 3).Value), want[row - 1]) << "C" << row;
}

// Whole numbers take a cheaper road to their text: it must give the
// shortest round-trip text exactly as the general one does, exponent
// forms ("1e+05") and negative zero included.
TEST(WorkbookSave, NumbersAreWrittenInTheirShortestRoundTripText) {
    const double numbers[] = {0,       -0.0,
                              1,       -7,
                              10,      100,
                              1000,    10000,
                              1e5,     -1e5,
                              120000,  46023,
                              1234567, 1e14,
                              9e14,    123456789012345,
                              1e15,    1e16,
                              -1e15,   999999999999999,
                              0.5,     3.06,
                              1e-7,    2.5e300,
                              4.5e15,  9007199254740992.0};
    auto book = TWorkbook::CreateBlank();
    TWorksheet& sheet = book->Sheet(0);
    int row = 0;
    for (double n : numbers) sheet.SetNumber(++row, 1, n);
    pugi::xml_document doc;
    const std::string xml = sheet.Serialize();
    ASSERT_TRUE(doc.load_string(xml.c_str()));
    row = 0;
    for (pugi::xml_node r : doc.document_element().child("sheetData").children("row")) {
        char expected[32];
        *std::to_chars(expected, expected + sizeof expected - 1, numbers[row++]).ptr = '\0';
        EXPECT_STREQ(r.child("c").child_value("v"), expected) << "row " << row;
    }
    EXPECT_EQ(row, static_cast<int>(std::size(numbers)));
}

// A large sheet is written in two halves at once: the rows come out once
// each, in order, with what they hold, at the seam as everywhere else.
TEST(WorkbookSave, ALargeSheetIsWrittenWholeAndInOrder) {
    constexpr int kRows = 30011;  // 60,022 cells: beyond the size that is split
    auto book = TWorkbook::CreateBlank();
    TWorksheet& sheet = book->Sheet(0);
    for (int row = 1; row <= kRows; ++row) {
        sheet.SetNumber(row, 1, row);
        if (row % 3)
            sheet.SetString(row, 2, "r" + std::to_string(row));
        else
            sheet.SetFormula(row, 2, "A" + std::to_string(row) + "*2");
    }
    pugi::xml_document doc;
    const std::string xml = sheet.Serialize();
    ASSERT_TRUE(doc.load_string(xml.c_str()));
    int expected = 0;
    for (pugi::xml_node r : doc.document_element().child("sheetData").children("row")) {
        ++expected;
        ASSERT_EQ(r.attribute("r").as_int(), expected);
        pugi::xml_node a = r.child("c"), b = a.next_sibling("c");
        ASSERT_EQ(a.attribute("r").value(), "A" + std::to_string(expected));
        ASSERT_EQ(a.child("v").text().as_int(), expected);
        if (expected % 3)
            ASSERT_STREQ(b.attribute("t").value(), "s") << expected;
        else
            ASSERT_EQ(b.child_value("f"), "A" + std::to_string(expected) + "*2");
    }
    EXPECT_EQ(expected, kRows);
    // The whole save reads back the same cells.
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "large.xlsx");
    EXPECT_EQ(again->Sheet(0).Content(kRows, 1).Value.Number, kRows);
    EXPECT_EQ(again->Sheet(0).Content(kRows / 2, 2).Value.Text, "r" + std::to_string(kRows / 2));
}

TEST(WorkbookSave, SharedFormulasStaySharedWhileTheirMasterIsInPlace) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    s.SetNumber(6, 2, 1);
    std::string xml = TPackage::FromBytes(book->SaveToBytes(), "a").ReadPart("xl/worksheets/sheet1.xml");
    EXPECT_NE(xml.find("<f t=\"shared\" ref=\"C3:C4\" si=\"0\">A3*B3</f>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"C4\"><f t=\"shared\" si=\"0\"/><v>12</v></c>"), std::string::npos) << xml;
    // Without its master the dependent carries its own text.
    s.SetNumber(3, 3, 0);
    xml = TPackage::FromBytes(book->SaveToBytes(), "b").ReadPart("xl/worksheets/sheet1.xml");
    EXPECT_EQ(xml.find("t=\"shared\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"C4\"><f>A4*B4</f>"), std::string::npos) << xml;
}

TEST(WorkbookSave, TheActiveSheetIsTheOnlySelectedTabOfTheSavedFile) {
    auto book = Template();
    EXPECT_EQ(book->ActiveSheet(), 0);
    book->SetActiveSheet(1);
    EXPECT_TRUE(book->Modified());
    TPackage after = TPackage::FromBytes(book->SaveToBytes(), "after");
    EXPECT_NE(after.ReadPart("xl/workbook.xml").find("<workbookView activeTab=\"1\"/>"), std::string::npos);
    EXPECT_EQ(after.ReadPart("xl/worksheets/sheet1.xml").find("tabSelected"), std::string::npos);
    EXPECT_NE(after.ReadPart("xl/worksheets/sheet2.xml").find("<sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"),
              std::string::npos);
    auto again = TWorkbook::FromBytes(after.SaveToBytes(), "again.xlsx");
    EXPECT_EQ(again->ActiveSheet(), 1);
    EXPECT_THROW(book->SetActiveSheet(2), ESpreadsheetError);
}

TEST(WorkbookSave, MergesGoBeforeLaterElementsWhenTheSheetHadNone) {
    auto book = Template();
    TWorksheet& other = book->Sheet(1);
    other.AddMerge(TCellRect{4, 1, 4, 3});
    TPackage after = TPackage::FromBytes(book->SaveToBytes(), "after");
    std::vector<std::string> order = ElementOrder(after.ReadPart("xl/worksheets/sheet2.xml"));
    std::vector<std::string> expected = {"dimension", "sheetViews", "sheetFormatPr",
                                         "sheetData", "mergeCells", "pageMargins"};
    EXPECT_EQ(order, expected);
}

TEST(WorkbookSave, NewFormulasGetCachedValuesFromTheEvaluator) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    s.SetFormula(7, 3, "SUM(C3:C5)*Rate");
    s.SetFormula(7, 4, "C7+1");
    s.SetFormula(7, 5, "E7+1");  // a cycle gets no value and no failure
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    TWorksheet& s2 = again->Sheet(0);
    EXPECT_EQ(s2.Content(7, 3).Value, (TStoredValue{TCellKind::Number, 33, {}}));
    EXPECT_EQ(s2.Content(7, 4).Value.Number, 34);
    EXPECT_EQ(s2.Content(7, 5).Formula, "E7+1");
    EXPECT_EQ(s2.Content(7, 5).Value.Kind, TCellKind::Empty);
}

// A sheet of many formulas is computed by two cores: those reading only
// constants of their own sheet first, half the rows each, then the others
// in one pass. Every value must be what one pass alone gives.
TEST(WorkbookSave, ManyFormulasGetTheValuesOnePassWouldGive) {
    constexpr int kFirst = 101, kLast = 12100;  // 60,000 formulas
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    book->Sheet(1).SetNumber(1, 1, 1000);
    const std::string other = "'" + book->Sheet(1).Name() + "'!$A$1";
    s.SetFormula(kFirst - 1, 6, "Rate");
    for (int row = kFirst; row <= kLast; ++row) {
        const std::string r = std::to_string(row);
        s.SetNumber(row, 6, row);                                                   // F: a constant
        s.SetFormula(row, 7, "F" + r + "*2");                                       // G: constants only
        s.SetFormula(row, 8, "G" + r + "+1");                                       // H: reads a formula
        s.SetFormula(row, 9, other + "+F" + r);                                     // I: another sheet
        s.SetFormula(row, 10, "F" + r + "*Rate");                                   // J: a name
        s.SetFormula(row, 11, "SUM(F" + std::to_string(row - 1) + ":F" + r + ")");  // K: a range
    }
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    TWorksheet& a = again->Sheet(0);
    const double rate = a.Content(kFirst - 1, 6).Value.Number;
    ASSERT_EQ(a.Content(kFirst - 1, 6).Value.Kind, TCellKind::Number);
    for (int row = kFirst; row <= kLast; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        ASSERT_EQ(a.Content(row, 7).Value.Number, 2.0 * row);
        ASSERT_EQ(a.Content(row, 8).Value.Number, 2.0 * row + 1);
        ASSERT_EQ(a.Content(row, 9).Value.Number, 1000.0 + row);
        ASSERT_EQ(a.Content(row, 10).Value.Number, row * rate);
        ASSERT_EQ(a.Content(row, 11).Value.Number, row == kFirst ? row + rate : 2.0 * row - 1);
    }
}

TEST(WorkbookSave, ArrayFormulasAreEvaluatedElementByElement) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    for (int r = 10; r <= 14; ++r) s.SetNumber(r, 1, r - 9);  // 1..5
    TCellFormula array;
    array.Text = "SUM(IF(A10:A14>2,A10:A14))";
    array.Type = TCellFormula::TType::Array;
    array.ArrayRange = TCellRect{10, 2, 10, 2};
    array.NeedsValue = true;
    s.SetFormula(10, 2, array);
    s.SetFormula(11, 2, "SUMPRODUCT((A10:A14>2)*A10:A14)");
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(again->Sheet(0).Content(10, 2).Value.Number, 12);  // 3 + 4 + 5, not an intersection
    EXPECT_EQ(again->Sheet(0).Content(11, 2).Value.Number, 12);
}

TEST(WorkbookSave, AtomicSaveAndReadOnlyNeverTouchFiles) {
    std::string file = test::WriteTemplateWorkbook();
    std::string folder = ExtractFilePath(file);
    std::string bytes = ReadFileBytes(file);
    {
        auto book = TWorkbook::Open(file, /*readOnly=*/true);
        book->Sheet(0).SetNumber(1, 1, 1);
        EXPECT_THROW(book->Save(), ESpreadsheetError);
        EXPECT_THROW(book->SaveAs(file), ESpreadsheetError);
        // A failing save (no such folder) leaves nothing behind.
        EXPECT_THROW(book->SaveAs(folder + "missing/report.xlsx"), Exception);
        book->SaveAs(folder + "report.xlsx");
        EXPECT_EQ(book->FileName(), folder + "report.xlsx");
    }
    EXPECT_EQ(ReadFileBytes(file), bytes);
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2u);
    test::RemoveTree(folder);
}

TEST(WorkbookSave, TemplateCopyBecomesAWorkbook) {
    std::string file = test::WriteTemplateWorkbook("template.xltx");
    std::string folder = ExtractFilePath(file);
    {
        // Make it a template.
        TPackage p = TPackage::Open(file);
        std::string types = p.ReadPart("[Content_Types].xml");
        types.replace(types.find("sheet.main+xml"), 14, "template.main+xml");
        p.SetPart("[Content_Types].xml", types);
        p.SaveAs(file);
    }
    auto book = TWorkbook::CreateFromTemplate(file);
    EXPECT_TRUE(book->FileName().empty());
    EXPECT_TRUE(book->Modified());
    book->SaveAs(folder + "report.xlsx");
    TPackage saved = TPackage::Open(folder + "report.xlsx");
    EXPECT_NE(saved.ReadPart("[Content_Types].xml").find("spreadsheetml.sheet.main+xml"), std::string::npos);
    EXPECT_EQ(saved.ReadPart("[Content_Types].xml").find("template.main"), std::string::npos);
    test::RemoveTree(folder);
}

TEST(WorkbookErrors, BadInputGivesClearErrorsNamingWhatFailed) {
    auto message = [](auto&& f) { return tabrix::testing::RaisedMessage(f); };
    EXPECT_NE(message([] { TWorkbook::FromBytes("not a zip at all", "junk.xlsx"); }).find("junk.xlsx"),
              std::string::npos);

    TPackage p = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    p.SetPart("xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></row>");
    auto broken = TWorkbook::FromBytes(p.SaveToBytes(), "broken.xlsx");
    std::string m = message([&] { broken->Sheet(0); });
    EXPECT_NE(m.find("broken.xlsx"), std::string::npos) << m;
    EXPECT_NE(m.find("xl/worksheets/sheet1.xml"), std::string::npos) << m;

    TPackage q = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    q.SetPart("xl/worksheets/sheet1.xml",
              "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
              "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row></sheetData></worksheet>");
    auto badIndex = TWorkbook::FromBytes(q.SaveToBytes(), "index.xlsx");
    m = message([&] { badIndex->Sheet(0); });
    EXPECT_NE(m.find("cell A1"), std::string::npos) << m;

    TPackage r = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    r.RemovePart("xl/worksheets/sheet2.xml");
    m = message([&] { TWorkbook::FromBytes(r.SaveToBytes(), "missing.xlsx"); });
    EXPECT_NE(m.find("xl/worksheets/sheet2.xml"), std::string::npos) << m;

    // A zip package of another kind (a text document).
    TPackage doc = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    doc.SetPart("xl/workbook.xml", "<document xmlns=\"urn:other\"><body/></document>");
    m = message([&] { TWorkbook::FromBytes(doc.SaveToBytes(), "letter.docx"); });
    EXPECT_NE(m.find("letter.docx\" is no workbook"), std::string::npos) << m;

    auto book = Template();
    m = message([&] { book->Sheet(0).SetNumber(1048577, 1, 1); });
    EXPECT_NE(m.find("sheet \"Template\""), std::string::npos) << m;
    EXPECT_THROW(book->Sheet(5), ESpreadsheetError);
}

TEST(WorkbookRead, StyleIndexesBeyondTheStyleTableAreReadAsTheDefault) {
    // The template has six cell formats (0..5): index 6 is the first beyond.
    TPackage p = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    p.SetPart("xl/worksheets/sheet2.xml",
              "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
              "<row r=\"1\"><c r=\"A1\" s=\"5\"><v>1</v></c><c r=\"B1\" s=\"6\"><v>2</v></c></row>"
              "<row r=\"2\" s=\"40\" customFormat=\"1\"><c r=\"C2\" s=\"4294967295\"><v>3</v></c></row>"
              "</sheetData></worksheet>");
    auto book = TWorkbook::FromBytes(p.SaveToBytes(), "styles.xlsx");
    TWorksheet& sheet = book->Sheet(1);
    EXPECT_EQ(sheet.Style(1, 1), 5u);
    EXPECT_EQ(sheet.Style(1, 2), 0u);
    EXPECT_EQ(sheet.RowProps(2).Style, 0u);
    EXPECT_EQ(sheet.Style(2, 3), 0u);
    const TUnknownStyles& u = sheet.UnknownStyles();
    EXPECT_EQ(u.Count, 3u);
    EXPECT_EQ(u.Highest, 4294967295u);
    EXPECT_EQ(u.FirstRow, 1);
    EXPECT_EQ(u.FirstColumn, 2);
    EXPECT_TRUE(sheet.Modified());

    // Written with the default style, so that the file opens elsewhere.
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(again->Sheet(1).UnknownStyles().Count, 0u);
    EXPECT_EQ(again->Sheet(1).Style(1, 1), 5u);
    EXPECT_EQ(again->Sheet(1).Content(2, 3).Value.Number, 3);
    // A sheet without such indexes is left unmodified.
    EXPECT_FALSE(again->Sheet(0).Modified());
}

TEST(WorkbookErrors, ASheetWithoutItsRelationshipIsRefused) {
    const struct {
        std::string Sheets;
        std::string Message;
    } cases[] = {
        {"<sheet name=\"Template\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Other\" sheetId=\"2\" r:id=\"rId9\"/>",
         "File \"norel.xlsx\", part \"xl/workbook.xml\": sheet \"Other\" names relationship \"rId9\", which "
         "\"xl/_rels/workbook.xml.rels\" does not hold"},
    };
    for (const auto& c : cases) {
        TPackage p = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
        std::string workbook = p.ReadPart("xl/workbook.xml");
        const std::size_t from = workbook.find("<sheets>") + 8;
        workbook.replace(from, workbook.find("</sheets>") - from, c.Sheets);
        p.SetPart("xl/workbook.xml", workbook);
        EXPECT_EQ(tabrix::testing::RaisedMessage<ESpreadsheetError>(
                      [&] { TWorkbook::FromBytes(p.SaveToBytes(), "norel.xlsx"); }),
                  c.Message);
    }
}

TEST(SheetXml, KeptXmlIsSplitWhereTheParserSawTheElementsNotWhereTheirNamesAppear) {
    // Element names inside attribute values and comments, two merge lists,
    // a sheet without rows: the written sheet must read back the same.
    const char* sheets[] = {
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetPr "
        "codeName=\"&lt;sheetData&gt;\"/>"
        "<sheetData><row r=\"2\"><c r=\"B2\" t=\"str\"><f>\"&lt;/sheetData&gt;\"</f><v>x</v></c></row></sheetData>"
        "<mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells><!-- <mergeCells> -->"
        "<mergeCells count=\"1\"><mergeCell ref=\"C3:D4\"/></mergeCells><pageMargins left=\"1\" right=\"1\" top=\"1\" "
        "bottom=\"1\" header=\"0\" footer=\"0\"/></worksheet>",
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:z=\"urn:x &lt;controls\">"
        "<dimension ref=\"A1\"/><pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" header=\"0\" "
        "footer=\"0\"/></worksheet>",
    };
    for (const char* xml : sheets) {
        auto book = TWorkbook::CreateBlank();
        TWorksheet& s = book->Sheet(0);
        s.Load(xml);
        TCellRect used = s.UsedRange();
        std::vector<TCellRect> merges = s.MergedRanges();
        s.SetString(7, 1, "added");
        std::string written = s.Serialize();
        std::vector<std::string> order = ElementOrder(written);
        EXPECT_EQ(std::count(order.begin(), order.end(), "sheetData"), 1) << written;
        EXPECT_LE(std::count(order.begin(), order.end(), "mergeCells"), 1) << written;
        s.Load(written);
        EXPECT_EQ(s.MergedRanges(), merges) << written;
        EXPECT_EQ(s.Content(7, 1).Value.Text, "added");
        EXPECT_EQ(s.UsedRange().Bottom, std::max(used.Bottom, 7));
    }
}

TEST(WorkbookCorpus, RealWorkbooksSurviveAnEditAndASecondRead) {
    for (const char* path :
         {"excelize/Book1.xlsx", "excelize/CalcChain.xlsx", "xlsxwriter/rich_string01.xlsx",
          "xlsxwriter/array_formula01.xlsx", "xlsxwriter/date_1904_02.xlsx", "closedxml-report/91_plaindata.xlsx"}) {
        std::string file = Corpus(path);
        if (!FileExists(file)) GTEST_SKIP() << "corpus not found beside the repository";
        auto book = TWorkbook::Open(file, true);
        std::vector<TCellRect> used;
        for (int i = 0; i < book->SheetCount(); ++i) used.push_back(book->Sheet(i).UsedRange());
        TWorksheet& first = book->Sheet(0);
        TCellRect u = first.UsedRange();
        first.SetString(u.Bottom + 2, 1, "added");
        auto again = TWorkbook::FromBytes(book->SaveToBytes(), path);
        for (int i = 0; i < again->SheetCount(); ++i) {
            TCellRect expect = used[i];
            if (i == 0) {
                expect.Bottom = u.Bottom + 2;
                expect.Left = 1;
            }
            EXPECT_EQ(again->Sheet(i).UsedRange(), expect) << path << " sheet " << i;
        }
        EXPECT_EQ(again->Sheet(0).Content(u.Bottom + 2, 1).Value.Text, "added") << path;
    }
}

}  // namespace
}  // namespace tabrix::xl
