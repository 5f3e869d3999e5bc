// Pictures and shapes carried by copies of the cells they are anchored at,
// removed by clears, and written back as a drawing part with its
// relationships and the media it shows.
#include <gtest/gtest.h>

#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/sheet_parts_fixture.h"

namespace tabrix::xl {
namespace {

const std::string kBody =
    "<sheetData><row r=\"1\"><c r=\"A1\"><v>0</v></c></row><row r=\"2\"><c r=\"A2\"><v>1</v></c></row></sheetData>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "<drawing r:id=\"rId1\"/>";

std::string Anchor(const std::string& kind, int col, int row, const std::string& content,
                   const std::string& extra = "") {
    std::string from = "<xdr:from><xdr:col>" + std::to_string(col) +
                       "</xdr:col><xdr:colOff>9525</xdr:colOff><xdr:row>" + std::to_string(row) +
                       "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from>";
    std::string to = kind == "twoCellAnchor"
                         ? "<xdr:to><xdr:col>" + std::to_string(col + 1) +
                               "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>" + std::to_string(row + 1) +
                               "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>"
                         : "<xdr:ext cx=\"100\" cy=\"100\"/>";
    return "<xdr:" + kind + extra + ">" + from + to + content + "<xdr:clientData/></xdr:" + kind + ">";
}

std::string Picture(int id, const std::string& rel) {
    return "<xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"" + std::to_string(id) + "\" name=\"Picture " + std::to_string(id) +
           "\"/><xdr:cNvPicPr/></xdr:nvPicPr><xdr:blipFill><a:blip r:embed=\"" + rel +
           "\"/></xdr:blipFill><xdr:spPr/></xdr:pic>";
}

// The band (row 2) holds a logo (two-cell, B2) and a shape with a link to
// a place in the workbook (one-cell, C2); an absolute picture and a chart at A2 stay where they are.
std::string DrawingXml() {
    return "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
           "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
           Anchor("twoCellAnchor", 1, 1, Picture(2, "rId1"), " editAs=\"oneCell\"") +
           Anchor("oneCellAnchor", 2, 1,
                  "<xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"3\" name=\"Box\"><a:hlinkClick r:id=\"rId3\"/></xdr:cNvPr>"
                  "<xdr:cNvSpPr/></xdr:nvSpPr><xdr:spPr/></xdr:sp>") +
           "<xdr:absoluteAnchor><xdr:pos x=\"0\" y=\"0\"/><xdr:ext cx=\"100\" cy=\"100\"/>" + Picture(4, "rId2") +
           "<xdr:clientData/></xdr:absoluteAnchor>" +
           Anchor("twoCellAnchor", 0, 1,
                  "<xdr:graphicFrame><xdr:nvGraphicFramePr><xdr:cNvPr id=\"5\" name=\"Chart\"/>"
                  "<xdr:cNvGraphicFramePr/></xdr:nvGraphicFramePr><a:graphic><a:graphicData><c:chart "
                  "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" r:id=\"rId4\"/>"
                  "</a:graphicData></a:graphic></xdr:graphicFrame>") +
           "</xdr:wsDr>";
}

std::string DrawingRels() {
    const std::string base = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           base + "image\" Target=\"../media/image1.png\"/><Relationship Id=\"rId2\" Type=\"" + base +
           "image\" Target=\"../media/image2.png\"/><Relationship Id=\"rId3\" Type=\"" + base +
           "hyperlink\" Target=\"#'Sheet1'!A1\"/><Relationship Id=\"rId4\" Type=\"" + base +
           "chart\" Target=\"../charts/chart1.xml\"/></Relationships>";
}

std::string DrawingBook(const std::string& logo = "PNG logo") {
    return test::OneSheetBook(
        kBody, {{"rId1", "drawing", "../drawings/drawing1.xml"}},
        {{"xl/drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml", DrawingXml()},
         {"xl/drawings/_rels/drawing1.xml.rels", "", DrawingRels()},
         {"xl/media/image1.png", "", logo},
         {"xl/media/image2.png", "", "PNG fixed"},
         {"xl/charts/chart1.xml", "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
          "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"/>"}});
}

size_t Count(const std::string& text, std::string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Part(const TPackage& p, const std::string& name) { return p.HasPart(name) ? p.ReadPart(name) : ""; }

// The top-left cells of the anchors of the sheet, as "B2" (absolute: "abs").
std::vector<std::string> Anchors(TWorksheet& sheet) {
    std::vector<std::string> cells;
    for (const TDrawingObject& o : sheet.Drawing().Objects())
        cells.push_back(o.Anchor == TDrawingObject::TAnchor::Absolute ? "abs" : CellAddress(o.From.Row, o.From.Column));
    std::sort(cells.begin(), cells.end());
    return cells;
}

TEST(Drawings, CopiesWithinTheSheetMovePicturesAndShapesAndNumberTheirIdsAfresh) {
    auto book = TWorkbook::FromBytes(DrawingBook(), "drawing.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    for (int rows = 1; rows <= 2; rows *= 2) CopyRange(sheet, {2, 1, 1 + rows, 3}, sheet, 2 + rows, 1);
    // B2 and C2 copied to rows 3 to 5; the chart and the absolute picture not.
    EXPECT_EQ(Anchors(sheet), (std::vector<std::string>{"A2", "B2", "B3", "B4", "B5", "C2", "C3", "C4", "C5", "abs"}));

    TPackage p = TPackage::FromBytes(book->SaveToBytes(), "saved.xlsx");
    const std::string xml = Part(p, "xl/drawings/drawing1.xml");
    EXPECT_EQ(Count(xml, "<xdr:twoCellAnchor editAs=\"oneCell\">"), 4u) << xml;
    // B5's logo: from B5 to C6, offsets kept.
    EXPECT_NE(xml.find("<xdr:from><xdr:col>1</xdr:col><xdr:colOff>9525</xdr:colOff><xdr:row>4</xdr:row>"),
              std::string::npos);
    EXPECT_NE(xml.find("<xdr:to><xdr:col>2</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>5</xdr:row>"),
              std::string::npos);
    for (int id = 1; id <= 10; ++id) EXPECT_EQ(Count(xml, "cNvPr id=\"" + std::to_string(id) + "\""), 1u) << id;
    // One relationship per target: two pictures, the link, the chart.
    const std::string rels = Part(p, "xl/drawings/_rels/drawing1.xml.rels");
    EXPECT_EQ(Count(rels, "<Relationship "), 4u) << rels;
    EXPECT_EQ(Count(xml, "r:embed="), 5u);
    // The link to a place is written as it was, not taken for a part.
    EXPECT_NE(rels.find("Target=\"#'Sheet1'!A1\""), std::string::npos) << rels;
    EXPECT_TRUE(p.HasPart("xl/charts/chart1.xml"));

    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(Anchors(again->Sheet(0)), Anchors(sheet));
    // Each copied logo still shows the logo.
    for (const TDrawingObject& o : again->Sheet(0).Drawing().Objects())
        if (o.From.Column == 2) {
            ASSERT_EQ(o.Refs.size(), 1u);
            EXPECT_EQ(o.Refs[0].Target, "xl/media/image1.png");
        }
}

TEST(Drawings, CopiesFromAnotherWorkbookBringTheirPicturesOnce) {
    auto templ = TWorkbook::FromBytes(DrawingBook(), "drawing.xlsx");
    auto report = TWorkbook::CreateBlank();
    for (int i = 0; i < 3; ++i) CopyRange(templ->Sheet(0), {2, 1, 2, 3}, report->Sheet(0), 2 + i, 1);
    TPackage p = TPackage::FromBytes(report->SaveToBytes(), "report.xlsx");
    EXPECT_EQ(Part(p, "xl/media/image1.png"), "PNG logo");
    EXPECT_FALSE(p.HasPart("xl/media/image2.png"));
    const std::string xml = Part(p, "xl/drawings/drawing1.xml");
    EXPECT_EQ(Count(xml, "Anchor"), 12u) << xml;  // six objects, opening and closing tags
    EXPECT_NE(Part(p, "xl/worksheets/sheet1.xml").find("<drawing"), std::string::npos);
    EXPECT_NE(Part(p, "[Content_Types].xml").find("/xl/drawings/drawing1.xml"), std::string::npos);
    EXPECT_NE(Part(p, "xl/worksheets/_rels/sheet1.xml.rels").find("../drawings/drawing1.xml"), std::string::npos);

    // A workbook holding other bytes under the picture's name keeps them.
    auto other = TWorkbook::FromBytes(DrawingBook("PNG other"), "other.xlsx");
    CopyRange(templ->Sheet(0), {2, 1, 2, 3}, other->Sheet(0), 8, 1);
    TPackage q = TPackage::FromBytes(other->SaveToBytes(), "other.xlsx");
    EXPECT_EQ(Part(q, "xl/media/image1.png"), "PNG other");
    EXPECT_EQ(Part(q, "xl/media/image3.png"), "PNG logo");
    EXPECT_NE(Part(q, "xl/drawings/_rels/drawing1.xml.rels").find("../media/image3.png"), std::string::npos);
}

TEST(Drawings, ClearsRemoveWhatIsAnchoredInTheClearedCellsOnly) {
    auto book = TWorkbook::FromBytes(DrawingBook(), "drawing.xlsx");
    book->Sheet(0).Clear({1, 1, 100, 100});
    EXPECT_EQ(Anchors(book->Sheet(0)), (std::vector<std::string>{"A2", "abs"}));

    // A drawing left without objects goes with its relationship.
    auto plain = TWorkbook::FromBytes(
        test::OneSheetBook(
            kBody, {{"rId1", "drawing", "../drawings/drawing1.xml"}},
            {{"xl/drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml",
              "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\">" +
                  Anchor("oneCellAnchor", 0, 0,
                         "<xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"2\" name=\"S\"/></xdr:nvSpPr></xdr:sp>") +
                  "</xdr:wsDr>"}}),
        "plain.xlsx");
    plain->Sheet(0).Clear({1, 1, 1, 1});
    TPackage q = TPackage::FromBytes(plain->SaveToBytes(), "plain.xlsx");
    EXPECT_FALSE(q.HasPart("xl/drawings/drawing1.xml"));
    EXPECT_EQ(q.ReadPart("xl/worksheets/sheet1.xml").find("<drawing"), std::string::npos);
    EXPECT_EQ(Part(q, "xl/worksheets/_rels/sheet1.xml.rels").find("drawing"), std::string::npos);
    EXPECT_EQ(Part(q, "[Content_Types].xml").find("drawing1"), std::string::npos);
}

}  // namespace
}  // namespace tabrix::xl
