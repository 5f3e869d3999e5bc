// Hyperlinks carried by copies of their cells, removed by clears and
// written back with the relationships they need.
#include <gtest/gtest.h>

#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/sheet_parts_fixture.h"

namespace tabrix::xl {
namespace {

// A band in row 2: A2 links to a web page, B2 to a place in the workbook;
// A1 (the title) links to a file and no copy touches it.
const std::string kBody =
    "<sheetData><row r=\"1\"><c r=\"A1\"><v>0</v></c></row>"
    "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>2</v></c></row></sheetData>"
    "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId2\"/>"
    "<hyperlink ref=\"A2\" r:id=\"rId1\" tooltip=\"Open &amp; read\"/>"
    "<hyperlink ref=\"B2\" location=\"Sheet1!A1\" display=\"Top\"/></hyperlinks>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>";
const char* const kPage = "https://example.com/item?id=1&amp;lang=en";

std::string LinkBook() {
    return test::OneSheetBook(kBody, {{"rId1", "hyperlink", kPage, true}, {"rId2", "hyperlink", "report.pdf", true}});
}

struct TSaved {
    std::string Sheet;
    std::string Rels;
};

TSaved Save(TWorkbook& book) {
    TPackage p = TPackage::FromBytes(book.SaveToBytes(), "saved.xlsx");
    std::string rels = "xl/worksheets/_rels/sheet1.xml.rels";
    return {p.ReadPart("xl/worksheets/sheet1.xml"), p.HasPart(rels) ? p.ReadPart(rels) : ""};
}

size_t Count(const std::string& text, std::string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Hyperlinks, UntouchedLinksAndRelationshipsAreWrittenBackAsRead) {
    auto book = TWorkbook::FromBytes(LinkBook(), "links.xlsx");
    book->Sheet(0).SetNumber(3, 1, 7);
    book->Sheet(0).Links();
    TSaved saved = Save(*book);
    EXPECT_NE(saved.Sheet.find("<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId2\"/>"), std::string::npos) << saved.Sheet;
    EXPECT_LT(saved.Sheet.find("</hyperlinks>"), saved.Sheet.find("<pageMargins"));
    EXPECT_NE(saved.Rels.find("Id=\"rId1\""), std::string::npos);
}

TEST(Hyperlinks, CopiesWithinTheSheetCarryLinksAndShareOneRelationshipPerTarget) {
    auto book = TWorkbook::FromBytes(LinkBook(), "links.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    // Doubling copies, as the copy manager makes them: 2 -> 3, 2:3 -> 4:5, 2:5 -> 6:9.
    for (int rows = 1; rows <= 4; rows *= 2) CopyRange(sheet, {2, 1, 1 + rows, 2}, sheet, 2 + rows, 1);
    ASSERT_EQ(sheet.Links().Links().size(), 1u + 2 * 8);
    TSaved saved = Save(*book);
    EXPECT_EQ(Count(saved.Sheet, "<hyperlink "), 17u) << saved.Sheet;
    EXPECT_EQ(Count(saved.Sheet, "location=\"Sheet1!A1\" display=\"Top\""), 8u);
    EXPECT_NE(saved.Sheet.find("ref=\"B9\" location=\"Sheet1!A1\""), std::string::npos) << saved.Sheet;
    EXPECT_EQ(Count(saved.Sheet, "tooltip=\"Open &amp; read\""), 8u);
    // Two targets: two relationships, whatever the number of links.
    EXPECT_EQ(Count(saved.Rels, "relationships/hyperlink"), 2u) << saved.Rels;
    EXPECT_NE(saved.Rels.find(kPage), std::string::npos) << saved.Rels;

    // Read again by the engine: every link of the band resolves to the page.
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    auto copied = again->Sheet(0).Links().Collect({9, 1, 9, 2}, 0, 0);
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(copied[0].Target, "https://example.com/item?id=1&lang=en");
}

TEST(Hyperlinks, CopiesFromAnotherWorkbookWriteTheirOwnRelationships) {
    auto templ = TWorkbook::FromBytes(LinkBook(), "links.xlsx");
    auto report = TWorkbook::CreateBlank();  // its sheet has no relationships part yet
    for (int i = 0; i < 3; ++i) CopyRange(templ->Sheet(0), {2, 1, 2, 2}, report->Sheet(0), 5 + i, 1);
    TSaved saved = Save(*report);
    EXPECT_EQ(Count(saved.Sheet, "<hyperlink "), 6u) << saved.Sheet;
    EXPECT_NE(saved.Sheet.find("<hyperlink ref=\"A7\" r:id=\"rId1\" tooltip"), std::string::npos) << saved.Sheet;
    EXPECT_EQ(Count(saved.Rels, "relationships/hyperlink"), 1u) << saved.Rels;
    EXPECT_NE(saved.Rels.find("TargetMode=\"External\""), std::string::npos);
}

TEST(Hyperlinks, ClearingRemovesTheLinksOfTheClearedCellsAndTheirRelationships) {
    struct TCase {
        TCellRect Cut;
        size_t Links;      // left afterwards
        size_t Relations;  // hyperlink relationships left
    } cases[] = {
        {{2, 1, 2, 2}, 1, 1},  // the band: the title's file link stays
        {{1, 1, 2, 1}, 1, 0},  // column A of both rows: B2's location needs no relationship
        {{3, 1, 9, 9}, 3, 2},  // below the links: nothing changes
        {{1, 1, kMaxRows, kMaxColumns}, 0, 0},
    };
    for (const TCase& c : cases) {
        auto book = TWorkbook::FromBytes(LinkBook(), "links.xlsx");
        book->Sheet(0).Clear(c.Cut);
        TSaved saved = Save(*book);
        EXPECT_EQ(Count(saved.Sheet, "<hyperlink "), c.Links) << RectAddress(c.Cut) << saved.Sheet;
        EXPECT_EQ(Count(saved.Rels, "relationships/hyperlink"), c.Relations) << RectAddress(c.Cut) << saved.Rels;
    }
}

TEST(Hyperlinks, ALinkOverSeveralCellsKeepsWhatIsLeftOfIt) {
    const std::string body =
        "<sheetData/><hyperlinks><hyperlink ref=\"A1:C3\" location=\"'Other sheet'!B2\"/></hyperlinks>";
    auto book = TWorkbook::FromBytes(test::OneSheetBook(body), "wide.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    sheet.Clear({2, 2, 2, 2});
    std::vector<std::string> refs;
    for (const THyperlink& l : sheet.Links().Links()) refs.push_back(RectAddress(l.Ref));
    EXPECT_EQ(refs, (std::vector<std::string>{"A1:C1", "A3:C3", "A2", "C2"}));
    // A copy of part of it carries only that part.
    CopyRange(sheet, {1, 2, 1, 3}, sheet, 10, 1);
    auto copied = sheet.Links().Collect({10, 1, 10, 5}, 0, 0);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(RectAddress(copied[0].Ref), "A10:B10");
}

TEST(Hyperlinks, ASheetWithoutTheRelationshipsNamespaceDeclaresItWithTheLinks) {
    auto templ = TWorkbook::FromBytes(LinkBook(), "links.xlsx");
    auto report = TWorkbook::CreateBlank();
    TWorksheet& target = report->Sheet(0);
    target.Load(
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/></worksheet>");
    CopyRange(templ->Sheet(0), {2, 1, 2, 1}, target, 1, 1);
    std::string xml = target.Serialize();
    EXPECT_NE(xml.find("<hyperlinks xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                       "<hyperlink ref=\"A1\" r:id=\""),
              std::string::npos)
        << xml;
    EXPECT_EQ(RelationshipsPrefix("<?xml version=\"1.0\"?><x:worksheet xmlns:x=\"m\" xmlns:rel=\""
                                  "http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"),
              "rel:");
}

}  // namespace
}  // namespace tabrix::xl
