// Every workbook of the corpus: each part reads back with its CRC, and a
// resave with one part changed keeps every other part byte for byte.

#include <gtest/gtest.h>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/package/zip_archive.h"
#include "zip_fixture.h"

namespace tabrix::xl {
namespace {

TEST(CorpusPackages, ReadAndResaveEveryWorkbook) {
    const auto files = test::CorpusWorkbooks();
    if (files.empty()) GTEST_SKIP() << "corpus not found beside the repository";
    int checked = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const std::string original = ReadFileBytes(path.string());
        TPackage p = TPackage::FromBytes(original, path.string());
        ASSERT_TRUE(p.HasPart("[Content_Types].xml"));
        const TContentTypes types = TContentTypes::Parse(p.ReadPart("[Content_Types].xml"));
        const TRelationships root = TRelationships::Parse(p.ReadPart("_rels/.rels"));
        ASSERT_NE(root.Items().size(), 0u);
        for (const std::string& name : p.PartNames()) {
            ASSERT_NO_THROW(p.ReadPart(name)) << name;
        }
        // The main part a relationship names exists and has a content type.
        for (const TRelationship& r : root.Items()) {
            if (r.IsExternal() || r.Type.find("officeDocument") == std::string::npos) continue;
            const std::string main = ResolveTarget("", r.Target);
            EXPECT_TRUE(p.HasPart(main)) << main;
            EXPECT_NE(types.ContentTypeOf(main), "") << main;
        }
        p.SetPart("docProps/tabrix-test.xml", "<x/>");
        const std::string saved = p.SaveToBytes();
        const auto before = detail::ReadCentralDirectory(original, "a", {});
        const auto after = detail::ReadCentralDirectory(saved, "b", {});
        ASSERT_EQ(after.size(), before.size() + 1);
        for (std::size_t i = 0; i < before.size(); ++i) {
            ASSERT_EQ(after[i].Name, before[i].Name);
            ASSERT_EQ(saved.compare(after[i].DataOffset, after[i].CompressedSize, original, before[i].DataOffset,
                                    before[i].CompressedSize),
                      0)
                << before[i].Name;
        }
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(files.size()));
}

}  // namespace
}  // namespace tabrix::xl
