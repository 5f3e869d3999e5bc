#include "tests/platform/spreadsheet/sheet_parts_fixture.h"

#include "platform/spreadsheet/package/package.h"

namespace tabrix::test {

namespace {
constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string RelsXml(const std::vector<TTestRel>& rels) {
    std::string out =
        std::string(kDecl) + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const TTestRel& r : rels) {
        out += "<Relationship Id=\"" + r.Id + "\" Type=\"" + std::string(kRelBase) + r.Type + "\" Target=\"" +
               r.Target + "\"";
        if (r.External) out += " TargetMode=\"External\"";
        out += "/>";
    }
    return out + "</Relationships>";
}
}  // namespace

const char* const kWorksheetNamespaces =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

std::string OneSheetBook(const std::string& worksheetBody, const std::vector<TTestRel>& sheetRels,
                         const std::vector<TTestPart>& parts, const std::vector<TTestRel>& workbookRels) {
    xl::TPackage p;
    std::string types = std::string(kDecl) +
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" "
                        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                        "<Default Extension=\"vml\" "
                        "ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>"
                        "<Override PartName=\"/xl/workbook.xml\" "
                        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                        "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                        "<Override PartName=\"/xl/styles.xml\" "
                        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    for (const TTestPart& part : parts)
        if (!part.ContentType.empty())
            types += "<Override PartName=\"/" + part.Name + "\" ContentType=\"" + part.ContentType + "\"/>";
    p.SetPart("[Content_Types].xml", types + "</Types>");
    p.SetPart("_rels/.rels", RelsXml({{"rId1", "officeDocument", "xl/workbook.xml"}}));
    std::vector<TTestRel> bookRels{{"rId1", "worksheet", "worksheets/sheet1.xml"}, {"rId2", "styles", "styles.xml"}};
    bookRels.insert(bookRels.end(), workbookRels.begin(), workbookRels.end());
    p.SetPart("xl/_rels/workbook.xml.rels", RelsXml(bookRels));
    p.SetPart("xl/workbook.xml",
              std::string(kDecl) +
                  "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                  "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                  "<bookViews><workbookView/></bookViews><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
                  "r:id=\"rId1\"/></sheets><calcPr calcId=\"191029\"/></workbook>");
    p.SetPart("xl/styles.xml",
              std::string(kDecl) +
                  "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                  "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
                  "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
                  "patternType=\"gray125\"/></fill></fills>"
                  "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
                  "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
                  "</cellStyleXfs><cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
                  "xfId=\"0\"/></cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
                  "builtinId=\"0\"/></cellStyles><dxfs count=\"1\"><dxf><font><color rgb=\"FFFF0000\"/></font>"
                  "</dxf></dxfs></styleSheet>");
    p.SetPart("xl/worksheets/sheet1.xml",
              std::string(kDecl) + "<worksheet " + kWorksheetNamespaces + ">" + worksheetBody + "</worksheet>");
    if (!sheetRels.empty()) p.SetPart("xl/worksheets/_rels/sheet1.xml.rels", RelsXml(sheetRels));
    for (const TTestPart& part : parts) p.SetPart(part.Name, part.Content);
    return p.SaveToBytes();
}

}  // namespace tabrix::test
