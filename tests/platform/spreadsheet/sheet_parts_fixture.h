#pragma once
// One-sheet workbooks written part by part for tests of what a sheet holds
// beside its cells: the sheet XML, its relationships and the parts they
// name (metadata, comments, drawings, media) are given by the test.
//
//   std::string bytes = tabrix::test::OneSheetBook(sheetXml, {{"rId1", kHyperlinkType, "https://x", true}});
//   auto book = xl::TWorkbook::FromBytes(bytes, "links.xlsx");
#include <string>
#include <vector>

namespace tabrix::test {

struct TTestRel {
    std::string Id;
    std::string Type;  // the last part of the relationship type URI: "hyperlink", "comments", ...
    std::string Target;
    bool External = false;
};

struct TTestPart {
    std::string Name;         // "xl/metadata.xml"
    std::string ContentType;  // "" for none (a media part has the default of its extension)
    std::string Content;
};

// The sheet "Sheet1" (xl/worksheets/sheet1.xml) holding worksheetBody
// (the children of <worksheet>), with these relationships; workbookRels are
// added to the workbook's (styles come with one dxf, red font).
std::string OneSheetBook(const std::string& worksheetBody, const std::vector<TTestRel>& sheetRels = {},
                         const std::vector<TTestPart>& parts = {}, const std::vector<TTestRel>& workbookRels = {});

// The namespace declarations of a worksheet element in these books.
extern const char* const kWorksheetNamespaces;

}  // namespace tabrix::test
