// Archives that are broken, lie about themselves or are built to exhaust
// memory: each is refused with a message that names the file and the part.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "tests/support/test_support.h"
#include "zip_fixture.h"

namespace tabrix::xl {
namespace {

using test::BuildArchive;
using test::DeflatedEntry;
using test::StoredEntry;
using ::testing::HasSubstr;

std::string ErrorOf(const std::string& bytes, const TPackageLimits& limits = {}, const char* part = nullptr) {
    return tabrix::testing::RaisedMessage<EPackageError>([&] {
        const TPackage p = TPackage::FromBytes(bytes, "hostile.xlsx", limits);
        if (part) p.ReadPart(part);
    });
}

TEST(HostileArchive, NotAZipAtAll) {
    EXPECT_THAT(ErrorOf(""), HasSubstr("\"hostile.xlsx\": not a zip archive"));
    EXPECT_THAT(ErrorOf("<?xml version=\"1.0\"?><workbook/>"), HasSubstr("not a zip archive"));
    EXPECT_THAT(ErrorOf(std::string(100000, 'P')), HasSubstr("not a zip archive"));
}

TEST(HostileArchive, TruncatedAnywhere) {
    const std::string z = BuildArchive(
        {DeflatedEntry("xl/workbook.xml", std::string(5000, 'w')), StoredEntry("xl/styles.xml", "<styleSheet/>")});
    // Every prefix fails cleanly, none crashes or reads out of bounds.
    for (std::size_t n = 0; n < z.size(); n += 7) EXPECT_NE(ErrorOf(z.substr(0, n)), "no error") << n;
}

TEST(HostileArchive, DamagedDataIsCaughtByTheChecks) {
    std::string z =
        BuildArchive({StoredEntry("a.xml", "<hello world/>"), DeflatedEntry("b.xml", std::string(3000, 'b'))});
    std::string flipped = z;
    flipped[35] ^= 0x20;  // inside a.xml's stored data
    EXPECT_THAT(ErrorOf(flipped, {}, "a.xml"), HasSubstr("part \"a.xml\" of \"hostile.xlsx\": its CRC does not match"));

    std::string garbage = z;
    const std::size_t b = z.find("b.xml") + 5;  // local name of b.xml, then its data
    for (std::size_t i = b; i < b + 8; ++i) garbage[i] = '\xFF';
    EXPECT_THAT(ErrorOf(garbage, {}, "b.xml"), HasSubstr("part \"b.xml\""));
}

TEST(HostileArchive, DeclaredSizeThatLies) {
    std::string z = BuildArchive({DeflatedEntry("xl/worksheets/sheet1.xml", std::string(100000, 'x'))});
    const std::size_t rec = test::CentralRecordOf(z, "xl/worksheets/sheet1.xml");
    std::string smaller = z;
    test::Patch32(smaller, rec + 24, 1000);
    EXPECT_THAT(ErrorOf(smaller, {}, "xl/worksheets/sheet1.xml"), HasSubstr("inflates past its declared size of 1000"));
    std::string larger = z;
    test::Patch32(larger, rec + 24, 200000);
    EXPECT_THAT(ErrorOf(larger, {}, "xl/worksheets/sheet1.xml"), HasSubstr("less than its declared size"));
}

TEST(HostileArchive, ZipBombIsRefusedBeforeInflating) {
    // 64 MiB of zeros deflate to about 64 KiB: the ratio of a bomb.
    const std::string z = BuildArchive({DeflatedEntry("xl/worksheets/sheet1.xml", std::string(64u << 20, '\0'))});
    EXPECT_THAT(ErrorOf(z), HasSubstr("part \"xl/worksheets/sheet1.xml\" of \"hostile.xlsx\": it inflates 9"));
    EXPECT_THAT(ErrorOf(z), HasSubstr("times its compressed size, more than the limit of 500"));
}

TEST(HostileArchive, SizeAndCountLimits) {
    const std::string z = BuildArchive({DeflatedEntry("a.xml", std::string(5000, 'a')),
                                        DeflatedEntry("b.xml", std::string(5000, 'b')), StoredEntry("c.xml", "c")});
    TPackageLimits entry;
    entry.MaxEntrySize = 4999;
    EXPECT_THAT(
        ErrorOf(z, entry),
        HasSubstr("part \"a.xml\" of \"hostile.xlsx\": it inflates to 5000 bytes, more than the limit of 4999"));
    TPackageLimits total;
    total.MaxTotalSize = 9000;
    EXPECT_THAT(ErrorOf(z, total), HasSubstr("more than the limit of 9000 bytes"));
    TPackageLimits count;
    count.MaxEntries = 2;
    EXPECT_THAT(ErrorOf(z, count), HasSubstr("3 entries, more than the limit of 2"));
    EXPECT_EQ(ErrorOf(z), "no error");
}

TEST(HostileArchive, StructuralLies) {
    EXPECT_THAT(ErrorOf(BuildArchive({StoredEntry("a.xml", "1"), StoredEntry("A.XML", "2")})),
                HasSubstr("the archive holds it twice"));
    std::string enc = BuildArchive({StoredEntry("a.xml", "1")});
    enc[test::CentralRecordOf(enc, "a.xml") + 8] = 1;
    EXPECT_THAT(ErrorOf(enc), HasSubstr("encrypted"));
    std::string method = BuildArchive({StoredEntry("a.xml", "1")});
    method[test::CentralRecordOf(method, "a.xml") + 10] = 14;  // LZMA
    EXPECT_THAT(ErrorOf(method, {}, "a.xml"), HasSubstr("compression method 14 is not supported"));
    std::string offset = BuildArchive({StoredEntry("a.xml", "1")});
    test::Patch32(offset, test::CentralRecordOf(offset, "a.xml") + 42, 0x7FFFFFFF);
    EXPECT_THAT(ErrorOf(offset), HasSubstr("beyond the end of the file"));
    std::string count = BuildArchive({StoredEntry("a.xml", "1")});
    count[count.size() - 12] = 9;  // end record claims nine entries
    EXPECT_NE(ErrorOf(count), "no error");
}

TEST(HostileArchive, NamesThatAreNoPartNames) {
    // Each would put a part elsewhere than its name says when the output is
    // unpacked, or would be written on as it came.
    const struct {
        std::string Name;
        const char* Shown;  // as the message prints it
        const char* Problem;
    } cases[] = {
        {"../evil.xml", "../evil.xml", "it holds a \"..\" segment"},
        {"xl/../../evil.xml", "xl/../../evil.xml", "it holds a \"..\" segment"},
        {"xl/./sheet.xml", "xl/./sheet.xml", "it holds a \".\" segment"},
        {"/etc/evil.xml", "/etc/evil.xml", "it begins with \"/\""},
        {"xl\\worksheets\\sheet1.xml", "xl\\worksheets\\sheet1.xml", "it holds a backslash"},
        {"xl/a\x1b[31m.xml", "xl/a\\x1B[31m.xml", "it holds a control character"},
        {std::string("xl/a\0b.xml", 10), "xl/a\\x00b.xml", "it holds a control character"},
        {"xl/a\x7f.xml", "xl/a\\x7F.xml", "it holds a control character"},
        {"xl//sheet.xml", "xl//sheet.xml", "it holds an empty segment"},
    };
    for (const auto& c : cases) {
        const std::string z = BuildArchive({StoredEntry("[Content_Types].xml", "<Types/>"), StoredEntry(c.Name, "x")});
        EXPECT_EQ(ErrorOf(z), "Cannot read part \"" + std::string(c.Shown) +
                                  "\" of \"hostile.xlsx\": no valid part name: " + c.Problem)
            << c.Shown;
    }
    // Folder entries end with "/"; names may leave ASCII.
    EXPECT_EQ(ErrorOf(BuildArchive({StoredEntry("xl/", ""), StoredEntry("xl/media/B\xC3\xBCro.png", "p")})),
              "no error");
}

TEST(HostileArchive, ProgramsCannotSetSuchNamesEither) {
    TPackage p;
    for (const char* name : {"../a.xml", "xl\\a.xml", "xl//a.xml", "xl/\x01.xml"})
        EXPECT_THAT(tabrix::testing::RaisedMessage<EPackageError>([&] { p.SetPart(name, "x"); }),
                    HasSubstr("not a part name"))
            << name;
    p.SetPart("/xl/a.xml", "x");  // the leading '/' of OPC's form is dropped
    EXPECT_EQ(p.PartNames(), std::vector<std::string>{"xl/a.xml"});
}

// A raw copy passes an entry's stored bytes on unread: each is checked
// before it is, so the damage is found here and not by the next reader.
std::string SaveError(const std::string& archive) {
    return tabrix::testing::RaisedMessage<EPackageError>([&] {
        TPackage p = TPackage::FromBytes(archive, "damaged.xlsx");
        p.SetPart("xl/new.xml", "<new/>");
        p.SaveToBytes();
    });
}

TEST(HostileArchive, DamagedEntriesAreNeverCopiedRaw) {
    const std::string sheet(20000, 's');
    const std::string z = BuildArchive({StoredEntry("[Content_Types].xml", "<Types/>"),
                                        DeflatedEntry("xl/worksheets/sheet1.xml", sheet + "<end/>"),
                                        StoredEntry("xl/media/image1.png", "\x89PNG pixels")});
    ASSERT_EQ(SaveError(z), "no error");
    const std::size_t sheetRec = test::CentralRecordOf(z, "xl/worksheets/sheet1.xml");
    const std::size_t imageRec = test::CentralRecordOf(z, "xl/media/image1.png");

    std::string badCrc = z;
    test::Patch32(badCrc, sheetRec + 16, 0x12345678);
    EXPECT_EQ(
        SaveError(badCrc),
        "Cannot read part \"xl/worksheets/sheet1.xml\" of \"damaged.xlsx\": its CRC does not match (corrupt data)");

    std::string badStoredByte = z;
    badStoredByte[z.find("pixels")] ^= 0x01;
    EXPECT_EQ(SaveError(badStoredByte),
              "Cannot read part \"xl/media/image1.png\" of \"damaged.xlsx\": its CRC does not match (corrupt data)");

    // Bytes flipped all over the deflate stream: each is caught, be it as a
    // corrupt stream, a wrong length or a wrong CRC.
    const std::size_t data = z.find("xl/worksheets/sheet1.xml") + 24;
    const std::size_t end = imageRec > sheetRec ? z.find("xl/media/image1.png") - 30 : z.size();
    for (std::size_t at = data; at + 1 < end; at += 3) {  // the last byte may hold padding bits
        std::string flipped = z;
        flipped[at] ^= 0x5A;
        EXPECT_THAT(SaveError(flipped), HasSubstr("part \"xl/worksheets/sheet1.xml\" of \"damaged.xlsx\"")) << at;
    }
}

TEST(HostileArchive, OversizedFileIsNotRead) {
    const std::string name = TempFolder() + "tbr_oversized_" + std::to_string(::getpid()) + ".xlsx";
    TTempFileGuard guard(name);
    WriteFileBytes(name, BuildArchive({StoredEntry("a.xml", std::string(1000, 'a'))}));
    ::truncate(name.c_str(), 80 << 20);  // sparse: 80 MiB on paper
    TPackageLimits limits;
    limits.MaxTotalSize = 1 << 20;
    try {
        TPackage::Open(name, limits);
        FAIL();
    } catch (const EPackageError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("more than the limit for a package"));
    }
}

TEST(HostileArchive, MissingFileNamesIt) {
    try {
        TPackage::Open("/nonexistent/folder/book.xlsx");
        FAIL();
    } catch (const EPackageError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("/nonexistent/folder/book.xlsx"));
    }
}

}  // namespace
}  // namespace tabrix::xl
