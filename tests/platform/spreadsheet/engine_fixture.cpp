#include "tests/platform/spreadsheet/engine_fixture.h"

#include <filesystem>
#include <random>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"

namespace tabrix::test {

namespace {
constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string Rels(const std::string& items) {
    return std::string(kDecl) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + items +
           "</Relationships>";
}

std::string Rel(const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRel) + "/" + type + "\" Target=\"" + target +
           "\"/>";
}
}  // namespace

std::string TemplateWorkbookBytes() {
    xl::TPackage p;
    p.SetPart(
        "[Content_Types].xml",
        std::string(kDecl) +
            "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
            "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
            "<Override PartName=\"/xl/worksheets/sheet2.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
            "<Override PartName=\"/xl/styles.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
            "<Override PartName=\"/xl/sharedStrings.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
            "<Override PartName=\"/xl/calcChain.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>"
            "</Types>");
    p.SetPart("_rels/.rels", Rels(Rel("rId1", "officeDocument", "xl/workbook.xml")));
    p.SetPart("xl/_rels/workbook.xml.rels",
              Rels(Rel("rId1", "worksheet", "worksheets/sheet1.xml") +
                   Rel("rId2", "worksheet", "worksheets/sheet2.xml") + Rel("rId3", "styles", "styles.xml") +
                   Rel("rId4", "sharedStrings", "sharedStrings.xml") + Rel("rId5", "calcChain", "calcChain.xml")));
    p.SetPart(
        "xl/workbook.xml",
        std::string(kDecl) + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
            "\"><workbookPr defaultThemeVersion=\"124226\"/><bookViews><workbookView activeTab=\"0\"/></bookViews>"
            "<sheets><sheet name=\"Template\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Other\" sheetId=\"2\" "
            "r:id=\"rId2\"/></sheets>"
            "<definedNames><definedName name=\"Rate\">0.5</definedName></definedNames>"
            "<calcPr calcId=\"145621\"/></workbook>");
    p.SetPart(
        "xl/styles.xml",
        std::string(kDecl) + "<styleSheet xmlns=\"" + kMain +
            "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\"/></numFmts>"
            "<fonts count=\"3\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
            "<font><b/><sz val=\"14\"/><name val=\"Calibri\"/></font>"
            "<font><i/><sz val=\"20\"/><name val=\"Arial\"/></font></fonts>"
            "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
            "patternType=\"gray125\"/></fill>"
            "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFFFFF00\"/><bgColor "
            "indexed=\"64\"/></patternFill></fill></fills>"
            "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
            "<border><left style=\"thin\"/><right style=\"thin\"/><top style=\"thin\"/><bottom "
            "style=\"thin\"/><diagonal/></border></borders>"
            "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
            "<cellXfs count=\"6\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
            "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" "
            "applyFill=\"1\"><alignment horizontal=\"center\"/></xf>"
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyBorder=\"1\"/>"
            "<xf numFmtId=\"4\" fontId=\"1\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\"><alignment "
            "wrapText=\"1\"/></xf></cellXfs>"
            "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
            "<dxfs count=\"1\"><dxf><font><color rgb=\"FF9C0006\"/></font></dxf></dxfs><tableStyles "
            "count=\"0\"/></styleSheet>");
    p.SetPart(
        "xl/sharedStrings.xml",
        std::string(kDecl) + "<sst xmlns=\"" + kMain +
            "\" count=\"6\" uniqueCount=\"6\"><si><t>Title</t></si><si><t>Qty</t></si><si><t>Price</t></si>"
            "<si><r><rPr><b/><sz val=\"11\"/></rPr><t>To</t></r><r><rPr><i/><sz val=\"11\"/></rPr><t>tal</t></r></si>"
            "<si><t>Sum</t></si>"
            "<si><t>A long text that needs several lines in a narrow column to be read</t></si></sst>");
    p.SetPart(
        "xl/worksheets/sheet1.xml",
        std::string(kDecl) + "<worksheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
            "\"><dimension ref=\"A1:D6\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
            "<sheetFormatPr defaultRowHeight=\"15\"/><cols><col min=\"1\" max=\"1\" width=\"12\" "
            "customWidth=\"1\"/></cols>"
            "<sheetData>"
            "<row r=\"1\" ht=\"30\" customHeight=\"1\"><c r=\"A1\" s=\"1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"/><c "
            "r=\"C1\" s=\"1\"/></row>"
            "<row r=\"2\"><c r=\"A2\" s=\"2\" t=\"s\"><v>1</v></c><c r=\"B2\" s=\"2\" t=\"s\"><v>2</v></c><c r=\"C2\" "
            "s=\"2\" t=\"s\"><v>3</v></c></row>"
            "<row r=\"3\"><c r=\"A3\"><v>2</v></c><c r=\"B3\"><v>10.5</v></c><c r=\"C3\"><f t=\"shared\" ref=\"C3:C4\" "
            "si=\"0\">A3*B3</f><v>21</v></c></row>"
            "<row r=\"4\"><c r=\"A4\"><v>3</v></c><c r=\"B4\"><v>4</v></c><c r=\"C4\"><f t=\"shared\" "
            "si=\"0\"/><v>12</v></c></row>"
            "<row r=\"5\"><c r=\"A5\" t=\"s\"><v>4</v></c><c r=\"C5\" s=\"3\"><f>SUM(C3:C4)</f><v>33</v></c><c "
            "r=\"D5\" s=\"4\"><v>45000</v></c></row>"
            "<row r=\"6\"><c r=\"A6\" s=\"5\" t=\"s\"><v>5</v></c></row>"
            "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A1:C1\"/></mergeCells>"
            "<conditionalFormatting sqref=\"C3:C4\"><cfRule type=\"cellIs\" dxfId=\"0\" priority=\"1\" "
            "operator=\"greaterThan\"><formula>20</formula></cfRule></conditionalFormatting>"
            "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
            "<pageSetup orientation=\"landscape\"/></worksheet>");
    p.SetPart("xl/worksheets/sheet2.xml",
              std::string(kDecl) + "<worksheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
                  "\"><dimension ref=\"A1:B2\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
                  "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData>"
                  "<row r=\"1\"><c r=\"A1\"><f>Template!C5</f><v>33</v></c><c r=\"B1\"><f t=\"array\" "
                  "ref=\"B1:B2\">A1*2</f><v>66</v></c></row>"
                  "<row r=\"2\"><c r=\"B2\"><v>0</v></c></row>"
                  "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
                  "footer=\"0.3\"/></worksheet>");
    p.SetPart("xl/calcChain.xml",
              std::string(kDecl) + "<calcChain xmlns=\"" + kMain +
                  "\"><c r=\"C3\" i=\"1\"/><c r=\"C4\"/><c r=\"C5\"/><c r=\"A1\" i=\"2\"/></calcChain>");
    return p.SaveToBytes();
}

std::string MakeTempDir() {
    std::random_device rd;
    for (int i = 0; i < 100; ++i) {
        std::string name = TempFolder() + "tabrix-engine-" + std::to_string(rd()) + "/";
        std::error_code ec;
        if (std::filesystem::create_directory(name, ec)) return name;
    }
    throw std::runtime_error("cannot create a temporary folder");
}

void RemoveTree(const std::string& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

std::string WriteTemplateWorkbook(const std::string& name) {
    std::string folder = MakeTempDir();
    std::string file = folder + name;
    WriteFileBytes(file, TemplateWorkbookBytes());
    return file;
}

}  // namespace tabrix::test
