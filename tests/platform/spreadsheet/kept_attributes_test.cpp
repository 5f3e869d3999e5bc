// Attributes of cells, formulas and rows the engine does not act on are
// written back on a full resave and carried by copies where they stay valid.
#include <gtest/gtest.h>

#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/sheet_parts_fixture.h"

namespace tabrix::xl {
namespace {

// C2 spills a dynamic array (cm="1" names the metadata record that says so).
const std::string kBody =
    "<sheetData><row r=\"2\" thickTop=\"1\" thickBot=\"1\" ph=\"1\">"
    "<c r=\"A2\"><v>1</v></c>"
    "<c r=\"C2\" cm=\"1\"><f t=\"array\" ref=\"C2:C4\" aca=\"1\">SEQUENCE(3)</f><v>1</v></c>"
    "<c r=\"D2\"><f bx=\"1\">A2*2</f><v>2</v></c></row>"
    "<row r=\"3\"><c r=\"C3\"><v>2</v></c></row><row r=\"4\"><c r=\"C4\"><v>3</v></c></row></sheetData>";

const std::string kMetadata =
    "<metadata xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:xda=\"http://schemas.microsoft.com/office/spreadsheetml/2017/dynamicarray\">"
    "<metadataTypes count=\"1\"><metadataType name=\"XLDAPR\" minSupportedVersion=\"120000\" copy=\"1\" "
    "pasteAll=\"1\" pasteValues=\"1\" merge=\"1\" splitFirst=\"1\" rowColShift=\"1\" clearFormats=\"1\" "
    "clearComments=\"1\" assign=\"1\" coerce=\"1\" cellMeta=\"1\"/></metadataTypes>"
    "<futureMetadata name=\"XLDAPR\" count=\"1\"><bk><extLst><ext uri=\"{bdbb8cdc-fa1e-496e-a857-3c3f30c029c3}\">"
    "<xda:dynamicArrayProperties fDynamic=\"1\" fCollapsed=\"0\"/></ext></extLst></bk></futureMetadata>"
    "<cellMetadata count=\"1\"><bk><rc t=\"1\" v=\"0\"/></bk></cellMetadata></metadata>";

std::string DynamicArrayBook() {
    return test::OneSheetBook(
        kBody, {},
        {{"xl/metadata.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheetMetadata+xml",
          kMetadata}},
        {{"rId3", "sheetMetadata", "metadata.xml"}});
}

std::string SheetXml(const std::string& bytes) {
    return TPackage::FromBytes(bytes, "saved.xlsx").ReadPart("xl/worksheets/sheet1.xml");
}

TEST(KeptAttributes, AFullResaveKeepsFormulaAndRowAttributesAndTheMetadataPart) {
    auto book = TWorkbook::FromBytes(DynamicArrayBook(), "dynamic.xlsx");
    book->Sheet(0).SetNumber(1, 1, 5);  // the sheet is written anew
    std::string bytes = book->SaveToBytes();
    std::string xml = SheetXml(bytes);
    for (const char* kept : {"thickTop=\"1\"", "thickBot=\"1\"", " ph=\"1\"", "<c r=\"C2\" cm=\"1\">", "aca=\"1\"",
                             "bx=\"1\"", "ref=\"C2:C4\""})
        EXPECT_NE(xml.find(kept), std::string::npos) << kept << " in " << xml;
    TPackage saved = TPackage::FromBytes(bytes, "saved.xlsx");
    EXPECT_EQ(saved.ReadPart("xl/metadata.xml"), kMetadata);
    // Read again, the same attributes are there for the next save.
    auto again = TWorkbook::FromBytes(bytes, "again.xlsx");
    EXPECT_EQ(again->Sheet(0).ExtraAttributes(2, 3), " cm=\"1\"");
    TRowProps props = again->Sheet(0).RowProps(2);
    EXPECT_TRUE(props.ThickTop && props.ThickBottom && props.Phonetic);
    const TCellFormula& f = again->Sheet(0).FormulaOf(*again->Sheet(0).FindCell(2, 3));
    EXPECT_TRUE(f.ArrayAlwaysCalculate);
    EXPECT_TRUE(again->Sheet(0).FormulaOf(*again->Sheet(0).FindCell(2, 4)).AssignsName);
}

TEST(KeptAttributes, CopiesCarryTheDynamicArrayMarkOnlyWhereTheMetadataIsShared) {
    auto book = TWorkbook::FromBytes(DynamicArrayBook(), "dynamic.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    CopyRange(sheet, {2, 1, 4, 4}, sheet, 10, 1);
    EXPECT_EQ(sheet.ExtraAttributes(10, 3), " cm=\"1\"");
    EXPECT_NE(SheetXml(book->SaveToBytes()).find("<c r=\"C10\" cm=\"1\"><f t=\"array\" ref=\"C10:C12\""),
              std::string::npos);

    // A blank workbook has no metadata part: the mark would name nothing.
    auto other = TWorkbook::CreateBlank();
    CopyRange(sheet, {2, 1, 4, 4}, other->Sheet(0), 1, 1);
    EXPECT_EQ(other->Sheet(0).ExtraAttributes(1, 3), "");
    EXPECT_EQ(other->Sheet(0).Content(1, 3).Formula, "SEQUENCE(3)");
}

TEST(KeptAttributes, ClearingACellDropsItsKeptAttributes) {
    auto book = TWorkbook::FromBytes(DynamicArrayBook(), "dynamic.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    sheet.Clear({2, 3, 2, 3});
    EXPECT_EQ(sheet.ExtraAttributes(2, 3), "");
    EXPECT_EQ(SheetXml(book->SaveToBytes()).find("cm="), std::string::npos);
}

}  // namespace
}  // namespace tabrix::xl
