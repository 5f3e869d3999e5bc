// Notes carried by copies of their cells, removed by clears, and written
// back as a comments part and a VML drawing with one shape per note.
#include <gtest/gtest.h>

#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/sheet_parts_fixture.h"

namespace tabrix::xl {
namespace {

// A title note at A1 and a band note at B2 (rich text, a box anchored two
// columns right of its cell); the VML drawing also holds a button, which no
// copy or clear touches; B2's note came with a threaded comment.
const std::string kBody =
    "<sheetData><row r=\"1\"><c r=\"A1\"><v>0</v></c></row>"
    "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>2</v></c></row></sheetData>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "<legacyDrawing r:id=\"rId2\"/>";
const std::string kComments =
    "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<authors><author>Ann</author><author>Bob &amp; Co</author></authors><commentList>"
    "<comment ref=\"A1\" authorId=\"0\" shapeId=\"0\"><text><t>title</t></text></comment>"
    "<comment ref=\"B2\" authorId=\"1\" shapeId=\"0\"><text><r><rPr><b/></rPr><t>sign</t></r>"
    "<r><t xml:space=\"preserve\"> &lt;0 is red</t></r></text></comment></commentList></comments>";
const std::string kVml =
    "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\">"
    "<o:idmap v:ext=\"edit\" data=\"1\"/></o:shapelayout>"
    "<v:shapetype id=\"_x0000_t201\" coordsize=\"21600,21600\" o:spt=\"201\"/>"
    "<v:shape id=\"_x0000_s1025\" type=\"#_x0000_t202\" fillcolor=\"#ffffe1\"><x:ClientData ObjectType=\"Note\">"
    "<x:Anchor>1, 15, 0, 2, 3, 15, 4, 16</x:Anchor><x:Row>0</x:Row><x:Column>0</x:Column></x:ClientData></v:shape>"
    "<v:shape id=\"_x0000_s1026\" type=\"#_x0000_t202\" fillcolor=\"#ccffcc\"><x:ClientData ObjectType=\"Note\">"
    "<x:Anchor>3, 15, 1, 2, 5, 15, 5, 16</x:Anchor><x:Row>1</x:Row><x:Column>1</x:Column><x:Visible/>"
    "</x:ClientData></v:shape>"
    "<v:shape id=\"_x0000_s1027\" type=\"#_x0000_t201\"><x:ClientData ObjectType=\"Button\">"
    "<x:Anchor>8, 0, 0, 0, 9, 0, 1, 0</x:Anchor></x:ClientData></v:shape></xml>";
const char* const kThreaded =
    "<ThreadedComments xmlns=\"http://schemas.microsoft.com/office/spreadsheetml/2018/threadedcomments\"/>";

std::string NoteBook() {
    return test::OneSheetBook(
        kBody,
        {{"rId1", "comments", "../comments1.xml"},
         {"rId2", "vmlDrawing", "../drawings/vmlDrawing1.vml"},
         {"rId3", "threadedComment", "../threadedComments/threadedComment1.xml"}},
        {{"xl/comments1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml", kComments},
         {"xl/drawings/vmlDrawing1.vml", "", kVml},
         {"xl/threadedComments/threadedComment1.xml", "application/vnd.ms-excel.threadedcomments+xml", kThreaded}});
}

size_t Count(const std::string& text, std::string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Part(const TPackage& p, const std::string& name) { return p.HasPart(name) ? p.ReadPart(name) : ""; }

std::vector<std::string> NoteCells(TWorksheet& sheet) {
    std::vector<std::string> cells;
    for (const TNote& n : sheet.Notes().Notes()) cells.push_back(CellAddress(n.Row, n.Column));
    std::sort(cells.begin(), cells.end());
    return cells;
}

TEST(Notes, UntouchedNotesLeaveTheirPartsAsRead) {
    auto book = TWorkbook::FromBytes(NoteBook(), "notes.xlsx");
    book->Sheet(0).SetNumber(3, 1, 7);
    book->Sheet(0).Clear({5, 1, 6, 3});  // meets no note
    TPackage p = TPackage::FromBytes(book->SaveToBytes(), "saved.xlsx");
    EXPECT_EQ(p.ReadPart("xl/comments1.xml"), kComments);
    EXPECT_EQ(p.ReadPart("xl/drawings/vmlDrawing1.vml"), kVml);
    EXPECT_TRUE(p.HasPart("xl/threadedComments/threadedComment1.xml"));
    EXPECT_NE(p.ReadPart("xl/worksheets/sheet1.xml").find("<legacyDrawing r:id=\"rId2\"/>"), std::string::npos);
}

TEST(Notes, DoublingCopiesGiveEveryCopiedCellItsNoteWithItsTextAndBox) {
    auto book = TWorkbook::FromBytes(NoteBook(), "notes.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    for (int rows = 1; rows <= 4; rows *= 2) CopyRange(sheet, {2, 1, 1 + rows, 2}, sheet, 2 + rows, 1);
    EXPECT_EQ(NoteCells(sheet), (std::vector<std::string>{"A1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9"}));

    TPackage p = TPackage::FromBytes(book->SaveToBytes(), "saved.xlsx");
    const std::string comments = Part(p, "xl/comments1.xml");
    EXPECT_EQ(Count(comments, "<comment "), 9u) << comments;
    EXPECT_EQ(Count(comments, "<r><rPr><b/></rPr><t>sign</t></r>"), 8u) << comments;
    EXPECT_NE(comments.find("<comment ref=\"B9\" authorId=\"1\""), std::string::npos) << comments;
    EXPECT_NE(comments.find("<author>Bob &amp; Co</author>"), std::string::npos);

    const std::string vml = Part(p, "xl/drawings/vmlDrawing1.vml");
    ASSERT_FALSE(vml.empty());
    EXPECT_EQ(Count(vml, "ObjectType=\"Note\""), 9u) << vml;
    // B9's box: the green one, the same two columns right and one row up.
    EXPECT_NE(vml.find("<x:Anchor>3, 15, 8, 2, 5, 15, 12, 16</x:Anchor><x:Row>8</x:Row><x:Column>1</x:Column>"),
              std::string::npos)
        << vml;
    EXPECT_EQ(Count(vml, "fillcolor=\"#ccffcc\""), 8u);
    // The button stays with its id; no note takes it.
    EXPECT_EQ(Count(vml, "ObjectType=\"Button\""), 1u);
    EXPECT_EQ(Count(vml, "id=\"_x0000_s1027\""), 1u) << vml;
    // The threaded comment would name cells it no longer matches: dropped.
    EXPECT_FALSE(p.HasPart("xl/threadedComments/threadedComment1.xml"));
    const std::string rels = Part(p, "xl/worksheets/_rels/sheet1.xml.rels");
    EXPECT_EQ(rels.find("threadedComment"), std::string::npos) << rels;
    EXPECT_EQ(Part(p, "[Content_Types].xml").find("threadedcomments"), std::string::npos);

    // Read again, the notes are where they were copied to.
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(NoteCells(again->Sheet(0)), NoteCells(sheet));
}

TEST(Notes, CopiesIntoABlankWorkbookAddTheirPartsRelationshipsAndTypes) {
    auto templ = TWorkbook::FromBytes(NoteBook(), "notes.xlsx");
    auto report = TWorkbook::CreateBlank();
    for (int i = 0; i < 3; ++i) CopyRange(templ->Sheet(0), {1, 1, 2, 2}, report->Sheet(0), 1 + 2 * i, 1);
    TPackage p = TPackage::FromBytes(report->SaveToBytes(), "report.xlsx");
    EXPECT_EQ(Count(Part(p, "xl/comments1.xml"), "<comment "), 6u);
    const std::string vml = Part(p, "xl/drawings/vmlDrawing1.vml");
    EXPECT_EQ(Count(vml, "ObjectType=\"Note\""), 6u) << vml;
    EXPECT_EQ(vml.find("Button"), std::string::npos);
    const std::string rels = Part(p, "xl/worksheets/_rels/sheet1.xml.rels");
    EXPECT_NE(rels.find("relationships/comments\" Target=\"../comments1.xml\""), std::string::npos) << rels;
    EXPECT_NE(rels.find("Target=\"../drawings/vmlDrawing1.vml\""), std::string::npos) << rels;
    const std::string types = Part(p, "[Content_Types].xml");
    EXPECT_NE(types.find("/xl/comments1.xml"), std::string::npos) << types;
    EXPECT_NE(types.find("Extension=\"vml\""), std::string::npos) << types;
    EXPECT_NE(Part(p, "xl/worksheets/sheet1.xml").find("<legacyDrawing"), std::string::npos);

    auto again = TWorkbook::FromBytes(report->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(NoteCells(again->Sheet(0)), (std::vector<std::string>{"A1", "A3", "A5", "B2", "B4", "B6"}));
}

TEST(Notes, ClearingEveryNoteRemovesTheirPartsButKeepsTheButton) {
    auto book = TWorkbook::FromBytes(NoteBook(), "notes.xlsx");
    book->Sheet(0).Clear({1, 1, 2, 2});
    TPackage p = TPackage::FromBytes(book->SaveToBytes(), "saved.xlsx");
    EXPECT_FALSE(p.HasPart("xl/comments1.xml"));
    const std::string vml = Part(p, "xl/drawings/vmlDrawing1.vml");
    EXPECT_EQ(Count(vml, "ObjectType=\"Note\""), 0u);
    EXPECT_EQ(Count(vml, "ObjectType=\"Button\""), 1u) << vml;
    EXPECT_EQ(Part(p, "xl/worksheets/_rels/sheet1.xml.rels").find("relationships/comments"), std::string::npos);

    // Without the button nothing of the drawing is left either.
    auto plain = TWorkbook::FromBytes(
        test::OneSheetBook(
            kBody, {{"rId1", "comments", "../comments1.xml"}, {"rId2", "vmlDrawing", "../drawings/vmlDrawing1.vml"}},
            {{"xl/comments1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml",
              kComments},
             {"xl/drawings/vmlDrawing1.vml", "",
              kVml.substr(0, kVml.find("<v:shape id=\"_x0000_s1027\"")) + "</xml>"}}),
        "plain.xlsx");
    plain->Sheet(0).Clear({1, 1, 10, 10});
    TPackage q = TPackage::FromBytes(plain->SaveToBytes(), "plain.xlsx");
    EXPECT_FALSE(q.HasPart("xl/comments1.xml"));
    EXPECT_FALSE(q.HasPart("xl/drawings/vmlDrawing1.vml"));
    const std::string sheet = q.ReadPart("xl/worksheets/sheet1.xml");
    EXPECT_EQ(sheet.find("legacyDrawing"), std::string::npos) << sheet;
    EXPECT_EQ(Part(q, "xl/worksheets/_rels/sheet1.xml.rels").find("vmlDrawing"), std::string::npos);
    EXPECT_EQ(Part(q, "[Content_Types].xml").find("comments1"), std::string::npos);
}

}  // namespace
}  // namespace tabrix::xl
