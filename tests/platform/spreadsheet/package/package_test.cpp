// Reading parts, editing the package, and what a save writes.

#include <gtest/gtest.h>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/package/zip_archive.h"
#include "zip_fixture.h"

namespace tabrix::xl {
namespace {

using test::BuildArchive;
using test::DeflatedEntry;
using test::StoredEntry;

std::string SheetXml(int rows) {
    std::string s = "<sheetData>";
    for (int r = 1; r <= rows; ++r)
        s += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" + std::to_string(r * 7) +
             "</v></c></row>";
    return s + "</sheetData>";
}

TPackage SamplePackage() {
    return TPackage::FromBytes(BuildArchive({StoredEntry("[Content_Types].xml", "<Types/>"), StoredEntry("xl/", ""),
                                             DeflatedEntry("xl/workbook.xml", "<workbook/>"),
                                             DeflatedEntry("xl/worksheets/sheet1.xml", SheetXml(500))}),
                               "sample.xlsx");
}

TEST(PackageParts, NamesInArchiveOrderWithoutFolders) {
    const TPackage p = SamplePackage();
    EXPECT_EQ(p.PartNames(),
              (std::vector<std::string>{"[Content_Types].xml", "xl/workbook.xml", "xl/worksheets/sheet1.xml"}));
    EXPECT_EQ(p.DisplayName(), "sample.xlsx");
    EXPECT_FALSE(p.HasPart("xl/"));
}

TEST(PackageParts, LookupIgnoresCaseAndLeadingSlash) {
    const TPackage p = SamplePackage();
    EXPECT_TRUE(p.HasPart("/XL/Workbook.XML"));
    EXPECT_EQ(p.ReadPart("/xl/WORKBOOK.xml"), "<workbook/>");
    EXPECT_EQ(p.ReadPart("[content_types].xml"), "<Types/>");
    EXPECT_EQ(p.ReadPart("xl/worksheets/sheet1.xml"), SheetXml(500));
    EXPECT_EQ(p.PartSize("xl/worksheets/sheet1.xml"), SheetXml(500).size());
    EXPECT_FALSE(p.HasPart("xl/workbook"));
}

TEST(PackageParts, MissingPartNamesFileAndPart) {
    const TPackage p = SamplePackage();
    try {
        p.ReadPart("xl/styles.xml");
        FAIL() << "no error";
    } catch (const EPackageError& e) {
        EXPECT_NE(e.Message().find("\"xl/styles.xml\""), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("\"sample.xlsx\""), std::string::npos) << e.Message();
    }
}

TEST(PackageEdit, SetReplacesInPlaceAndAppendsNew) {
    TPackage p = SamplePackage();
    p.SetPart("/XL/workbook.xml", "<workbook a=\"1\"/>");
    p.SetPart("xl/styles.xml", "<styleSheet/>");
    EXPECT_EQ(p.PartNames(), (std::vector<std::string>{"[Content_Types].xml", "xl/workbook.xml",
                                                       "xl/worksheets/sheet1.xml", "xl/styles.xml"}));
    EXPECT_EQ(p.ReadPart("xl/workbook.xml"), "<workbook a=\"1\"/>");
    EXPECT_TRUE(p.IsPartChanged("xl/workbook.xml"));
    EXPECT_FALSE(p.IsPartChanged("xl/worksheets/sheet1.xml"));
    EXPECT_THROW(p.SetPart("", "x"), EPackageError);
    EXPECT_THROW(p.SetPart("xl/media/", "x"), EPackageError);
}

TEST(PackageEdit, RemoveKeepsTheRestFindable) {
    TPackage p = SamplePackage();
    p.RemovePart("xl/WORKBOOK.xml");
    p.RemovePart("not/there.xml");
    EXPECT_FALSE(p.HasPart("xl/workbook.xml"));
    EXPECT_EQ(p.ReadPart("xl/worksheets/sheet1.xml"), SheetXml(500));
    const TPackage back = TPackage::FromBytes(p.SaveToBytes(), "back");
    EXPECT_FALSE(back.HasPart("xl/workbook.xml"));
    // Folder entries are no parts, but travel along.
    const std::string bytes = p.SaveToBytes();
    EXPECT_EQ(detail::ReadCentralDirectory(bytes, "b", {})[1].Name, "xl/");
}

TEST(PackageEdit, CopiesAreIndependent) {
    TPackage a = SamplePackage();
    TPackage b = a;
    b.SetPart("xl/workbook.xml", "<changed/>");
    b.RemovePart("xl/worksheets/sheet1.xml");
    EXPECT_EQ(a.ReadPart("xl/workbook.xml"), "<workbook/>");
    EXPECT_TRUE(a.HasPart("xl/worksheets/sheet1.xml"));
    TPackage c = std::move(b);
    EXPECT_EQ(c.ReadPart("xl/workbook.xml"), "<changed/>");
    a = c;
    c.SetPart("xl/workbook.xml", "<third/>");
    EXPECT_EQ(a.ReadPart("xl/workbook.xml"), "<changed/>");
}

TEST(PackageSave, UnchangedPartsAreCopiedRaw) {
    // Compressed at level 6 by the fixture: a re-deflate at level 1 would differ.
    TPackage p = SamplePackage();
    p.SetPart("xl/workbook.xml", "<workbook changed=\"1\"/>");
    const std::string original = BuildArchive({StoredEntry("[Content_Types].xml", "<Types/>"), StoredEntry("xl/", ""),
                                               DeflatedEntry("xl/workbook.xml", "<workbook/>"),
                                               DeflatedEntry("xl/worksheets/sheet1.xml", SheetXml(500))});
    const std::string saved = p.SaveToBytes();
    const auto before = detail::ReadCentralDirectory(original, "a", {});
    const auto after = detail::ReadCentralDirectory(saved, "b", {});
    ASSERT_EQ(after.size(), 4u);
    const auto slice = [](const std::string& z, const detail::TZipEntryInfo& e) {
        return z.substr(e.DataOffset, e.CompressedSize);
    };
    EXPECT_EQ(slice(saved, after[3]), slice(original, before[3]));
    EXPECT_EQ(after[3].ModDate, before[3].ModDate);
    EXPECT_NE(slice(saved, after[2]), slice(original, before[2]));
}

TEST(PackageSave, LevelsTradeSizeAndAllReadBack) {
    TPackage p;
    const std::string big = SheetXml(20000);
    p.SetPart("xl/worksheets/sheet1.xml", big);
    const std::string stored = p.SaveToBytes(0);
    const std::string fast = p.SaveToBytes(1);
    const std::string small = p.SaveToBytes(12);
    EXPECT_GT(stored.size(), big.size());
    EXPECT_LT(fast.size(), big.size() / 4);
    EXPECT_LE(small.size(), fast.size());
    for (const std::string* z : {&stored, &fast, &small})
        EXPECT_EQ(TPackage::FromBytes(*z, "z").ReadPart("xl/worksheets/sheet1.xml"), big);
    EXPECT_THROW(p.SaveToBytes(13), EPackageError);
    EXPECT_THROW(p.SaveToBytes(-1), EPackageError);
}

TEST(PackageSave, SameContentGivesSameBytes) {
    TPackage a, b;
    for (TPackage* p : {&a, &b}) {
        p->SetPart("[Content_Types].xml", "<Types/>");
        p->SetPart("xl/workbook.xml", "<workbook/>");
    }
    EXPECT_EQ(a.SaveToBytes(), b.SaveToBytes());
}

TEST(PackageSave, AnIndependentZipReaderAcceptsTheArchive) {
    TPackage p = SamplePackage();
    p.SetPart("xl/sharedStrings.xml", "<sst>\xC3\xA4\xE2\x82\xAC</sst>");
    p.SetPart("xl/media/bild\xC3\xA4.png", std::string(1000, '\x01'));
    TTempFileGuard file(CreateUniqueTempFile(TempFolder(), "TBR"));
    p.SaveAs(file.Name());
    std::string out;
    const int rc = test::RunPython(
        "import zipfile,sys\n"
        "z=zipfile.ZipFile('" +
            file.Name() +
            "')\n"
            "assert z.testzip() is None\n"
            "print(sorted(z.namelist()))\n"
            "print(z.read('xl/sharedStrings.xml').decode('utf-8'))\n",
        out);
    ASSERT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("'xl/media/bild\xC3\xA4.png'"), std::string::npos) << out;
    EXPECT_NE(out.find("<sst>\xC3\xA4\xE2\x82\xAC</sst>"), std::string::npos) << out;
}

TEST(PackageRead, DataDescriptorEntriesAreCopiedAsPlainOnes) {
    // Python writes to an unseekable stream with data descriptors: sizes and
    // CRC follow the data instead of sitting in the local header.
    TTempFileGuard in(CreateUniqueTempFile(TempFolder(), "TBR"));
    TTempFileGuard out(CreateUniqueTempFile(TempFolder(), "TBR"));
    std::string log;
    ASSERT_EQ(test::RunPython("import zipfile\n"
                              "class Stream:\n"
                              "    def __init__(self, f): self.f = f\n"
                              "    def write(self, b): return self.f.write(b)\n"
                              "    def flush(self): self.f.flush()\n"
                              "with open('" +
                                  in.Name() +
                                  "', 'wb') as f:\n"
                                  "    with zipfile.ZipFile(Stream(f), 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                  "        z.writestr('xl/workbook.xml', '<workbook/>' * 100)\n"
                                  "        z.writestr('xl/styles.xml', '<styleSheet/>')\n"
                                  "print(sorted(i.flag_bits & 8 for i in zipfile.ZipFile('" +
                                  in.Name() + "').infolist()))\n",
                              log),
              0)
        << log;
    ASSERT_NE(log.find("[8, 8]"), std::string::npos) << log;
    TPackage p = TPackage::Open(in.Name());
    EXPECT_EQ(p.ReadPart("xl/workbook.xml").size(), 1100u);
    p.SetPart("xl/styles.xml", "<styleSheet a=\"1\"/>");
    p.SaveAs(out.Name());
    ASSERT_EQ(test::RunPython("import zipfile\n"
                              "z = zipfile.ZipFile('" +
                                  out.Name() +
                                  "')\n"
                                  "assert z.testzip() is None\n"
                                  "print(len(z.read('xl/workbook.xml')), [i.flag_bits & 8 for i in z.infolist()])\n",
                              log),
              0)
        << log;
    EXPECT_NE(log.find("1100 [0, 0]"), std::string::npos) << log;
}

TEST(PackageRead, Zip64RecordsAreFollowed) {
    const std::string content = SheetXml(50);
    const TPackage p = TPackage::FromBytes(
        BuildArchive({DeflatedEntry("a.xml", content), StoredEntry("b.bin", "raw bytes")}, true), "z64.xlsx");
    EXPECT_EQ(p.PartNames(), (std::vector<std::string>{"a.xml", "b.bin"}));
    EXPECT_EQ(p.ReadPart("a.xml"), content);
    EXPECT_EQ(p.ReadPart("b.bin"), "raw bytes");
    // And a raw copy of it is a classic archive again.
    const TPackage back = TPackage::FromBytes(p.SaveToBytes(), "back");
    EXPECT_EQ(back.ReadPart("a.xml"), content);
}

TEST(PackageRead, PrependedStubShiftsOffsets) {
    const std::string z = "#!stub\n" + BuildArchive({StoredEntry("a.xml", "<a/>")});
    EXPECT_EQ(TPackage::FromBytes(z, "stub").ReadPart("a.xml"), "<a/>");
}

}  // namespace
}  // namespace tabrix::xl
