// Content types, relationships and part names.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"

namespace tabrix::xl {
namespace {

using ::testing::HasSubstr;

const char* kTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"XML\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.ms-excel.sheet.macroEnabled.main+xml\"/>"
    "<Override PartName=\"/xl/calcChain.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>"
    "</Types>";

TEST(ContentTypes, OverrideBeforeDefaultIgnoringCase) {
    const TContentTypes t = TContentTypes::Parse(kTypes);
    EXPECT_EQ(t.ContentTypeOf("xl/Workbook.xml"), "application/vnd.ms-excel.sheet.macroEnabled.main+xml");
    EXPECT_EQ(t.ContentTypeOf("/xl/styles.xml"), "application/xml");
    EXPECT_EQ(t.ContentTypeOf("_rels/.rels"), "application/vnd.openxmlformats-package.relationships+xml");
    EXPECT_EQ(t.ContentTypeOf("xl/media/image1.png"), "");
    EXPECT_EQ(t.ContentTypeOf("xl.d/noext"), "");
}

TEST(ContentTypes, EditAndSerializeRoundTrip) {
    TContentTypes t = TContentTypes::Parse(kTypes);
    t.RemoveOverride("xl/calcchain.xml");
    t.SetDefault("png", "image/png");
    t.SetOverride("xl/worksheets/sheet2.xml", "application/x&y<\"z\">");
    t.SetOverride("/XL/WORKBOOK.XML", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    const std::string xml = t.Serialize();
    EXPECT_THAT(xml, HasSubstr("PartName=\"/xl/workbook.xml\""));
    EXPECT_THAT(xml, Not(HasSubstr("calcChain")));
    const TContentTypes back = TContentTypes::Parse(xml);
    EXPECT_EQ(back.Overrides().size(), 2u);
    EXPECT_EQ(back.Defaults().size(), 3u);
    EXPECT_EQ(back.ContentTypeOf("xl/worksheets/sheet2.xml"), "application/x&y<\"z\">");
    EXPECT_EQ(back.ContentTypeOf("xl/media/a.PNG"), "image/png");
    EXPECT_EQ(back.ContentTypeOf("xl/workbook.xml"),
              "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    // Order as read, new items last.
    EXPECT_EQ(back.Overrides()[0].PartName, "xl/workbook.xml");
    EXPECT_EQ(back.Defaults()[2].Extension, "png");
}

TEST(ContentTypes, MalformedXmlNamesThePart) {
    try {
        TContentTypes::Parse("<Types><Default Extension=\"xml\"", "[Content_Types].xml");
        FAIL();
    } catch (const EPackageError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("part \"[Content_Types].xml\": malformed XML at byte"));
    }
    try {
        TRelationships::Parse("<Types/>", "xl/_rels/workbook.xml.rels", "book.xlsx");
        FAIL();
    } catch (const EPackageError& e) {
        EXPECT_EQ(e.Message(),
                  "Cannot read part \"xl/_rels/workbook.xml.rels\" of \"book.xlsx\": its root element is not "
                  "<Relationships>");
    }
    EXPECT_THROW(TContentTypes::Parse("<Relationships/>"), EPackageError);
    // Entities of a DTD are not expanded.
    const TContentTypes t = TContentTypes::Parse(
        "<!DOCTYPE Types [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><Types><Default Extension=\"a\" "
        "ContentType=\"&x;\"/></Types>");
    EXPECT_THAT(t.Default("a"), Not(HasSubstr("root")));
}

TEST(Relationships, ParseFindAddRemove) {
    TRelationships r = TRelationships::Parse(
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId3\" Type=\"http://x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId1\" Type=\"http://x/calcChain\" Target=\"calcChain.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://x/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
        "<Relationship Id=\"rId9\" Type=\"http://x/hyperlink\" Target=\"http://a.example/?a=1&amp;b=2\" "
        "TargetMode=\"External\"/>"
        "</Relationships>");
    ASSERT_EQ(r.Items().size(), 4u);
    EXPECT_EQ(r.FindById("rId2")->Target, "worksheets/sheet2.xml");
    EXPECT_EQ(r.FindByType("http://x/worksheet")->Id, "rId3");
    EXPECT_EQ(r.FindAllByType("http://x/worksheet").size(), 2u);
    EXPECT_TRUE(r.FindById("rId9")->IsExternal());
    EXPECT_EQ(r.FindById("rId9")->Target, "http://a.example/?a=1&b=2");
    EXPECT_EQ(r.FindById("rid3"), nullptr);  // ids are case-sensitive

    EXPECT_EQ(r.Add("http://x/styles", "styles.xml"), "rId5");  // not rId3/rId9, both taken
    EXPECT_EQ(r.RemoveByType("http://x/calcChain"), 1u);
    EXPECT_FALSE(r.RemoveById("rId1"));
    const std::string theme = r.Add("http://x/theme", "theme/theme1.xml");
    EXPECT_EQ(r.FindById(theme)->Target, "theme/theme1.xml");
    EXPECT_EQ(r.FindAllByType("http://x/worksheet").size(), 2u);

    const TRelationships back = TRelationships::Parse(r.Serialize());
    ASSERT_EQ(back.Items().size(), 5u);
    EXPECT_EQ(back.FindById("rId9")->Target, "http://a.example/?a=1&b=2");
    EXPECT_EQ(back.FindById("rId9")->TargetMode, "External");
    EXPECT_EQ(back.FindById("rId5")->TargetMode, "");
    EXPECT_EQ(back.FindById(theme)->Target, "theme/theme1.xml");
}

TEST(PartNames, RelationshipsPartOfAPart) {
    EXPECT_EQ(RelationshipsPartName(""), "_rels/.rels");
    EXPECT_EQ(RelationshipsPartName("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(RelationshipsPartName("/xl/worksheets/sheet1.xml"), "xl/worksheets/_rels/sheet1.xml.rels");
}

TEST(PartNames, TargetsResolveAgainstTheSourceFolder) {
    EXPECT_EQ(ResolveTarget("", "xl/workbook.xml"), "xl/workbook.xml");
    EXPECT_EQ(ResolveTarget("", "/xl/workbook.xml"), "xl/workbook.xml");
    EXPECT_EQ(ResolveTarget("xl/workbook.xml", "worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
    EXPECT_EQ(ResolveTarget("xl/workbook.xml", "/xl/worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
    EXPECT_EQ(ResolveTarget("xl/worksheets/sheet1.xml", "../drawings/drawing1.xml"), "xl/drawings/drawing1.xml");
    EXPECT_EQ(ResolveTarget("xl/worksheets/sheet1.xml", "./../media/./a.png"), "xl/media/a.png");
    EXPECT_EQ(ResolveTarget("xl/a.xml", "../../../../etc/passwd"), "etc/passwd");
    EXPECT_EQ(ResolveTarget("xl/a.xml", "b.xml#frag"), "xl/b.xml");
}

TEST(PartNames, RelativeTargetInvertsResolve) {
    const std::pair<const char*, const char*> cases[] = {
        {"xl/workbook.xml", "xl/worksheets/sheet2.xml"},
        {"xl/worksheets/sheet1.xml", "xl/drawings/drawing1.xml"},
        {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet9.xml"},
        {"", "docProps/app.xml"},
        {"xl/charts/chart1.xml", "customXml/item1.xml"},
    };
    for (const auto& [source, target] : cases)
        EXPECT_EQ(ResolveTarget(source, RelativeTarget(source, target)), target) << source << " -> " << target;
    EXPECT_EQ(RelativeTarget("xl/workbook.xml", "xl/worksheets/sheet2.xml"), "worksheets/sheet2.xml");
    EXPECT_EQ(RelativeTarget("xl/worksheets/sheet1.xml", "xl/drawings/drawing1.xml"), "../drawings/drawing1.xml");
    EXPECT_TRUE(SamePartName("/XL/a.xml", "xl/A.XML"));
    EXPECT_FALSE(SamePartName("xl/a.xml", "xl/a.xm"));
}

}  // namespace
}  // namespace tabrix::xl
