// The tabrix command as a user runs it: dump and resave on a workbook
// written by openpyxl, and the errors a user sees.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "tests/support/shell.h"

namespace tabrix {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

struct TRun {
    int Code = -1;
    std::string Out;  // stdout and stderr
};

TRun Tabrix(const std::string& args) {
    tabrix::testing::TShellRun run = tabrix::testing::RunShell(std::string(TABRIX_EXE) + " " + args + " 2>&1");
    TRun r;
    r.Code = run.Status;
    r.Out = std::move(run.Out);
    return r;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

class TabrixCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Folder = new fs::path(fs::path(TempFolder()) / ("tbr_cli_" + std::to_string(::getpid())));
        fs::create_directories(*Folder);
        const std::string cmd = "/usr/bin/python3 " TABRIX_SOURCE_DIR "/tests/cli/make_fixture.py " +
                                Quote(*Folder / "book.xlsx") + " 2>&1";
        FixtureOk = std::system(cmd.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*Folder);
        delete Folder;
    }
    void SetUp() override {
        if (!FixtureOk) GTEST_SKIP() << "openpyxl could not write the fixture";
    }
    static fs::path Book() { return *Folder / "book.xlsx"; }
    static inline fs::path* Folder = nullptr;
    static inline bool FixtureOk = false;
};

TEST_F(TabrixCommand, DumpShowsWhatTheEngineReads) {
    const TRun r = Tabrix("dump " + Quote(Book()));
    ASSERT_EQ(r.Code, 0) << r.Out;
    EXPECT_THAT(r.Out, HasSubstr("sheet \"Sales\" (1 of 2) used A1:D3"));
    EXPECT_THAT(r.Out, HasSubstr("\nmerge A1:C1\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nrow 1 height 24.75 custom\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nA1 s \"Region \\\"North\\\"\" style "));
    EXPECT_THAT(r.Out, HasSubstr("\nA2 n 12.5\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nB2 n 7\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nC2 f =A2*B2 -> "));
    EXPECT_THAT(r.Out, HasSubstr("\nD2 b TRUE\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nrow 3 hidden\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nA3 s \"line one\\nline two\" style "));
    EXPECT_THAT(r.Out, HasSubstr("\nB3 f =SUM(A2:B2) -> "));
    EXPECT_THAT(r.Out, HasSubstr("sheet \"Other sheet\" (2 of 2) used B5 default-height 15\n"));
    EXPECT_THAT(r.Out, HasSubstr("\nB5 s \"x\"\n"));
}

TEST_F(TabrixCommand, DumpOneSheetByName) {
    const TRun r = Tabrix("dump " + Quote(Book()) + " --sheet 'other SHEET'");
    ASSERT_EQ(r.Code, 0) << r.Out;
    EXPECT_THAT(r.Out, HasSubstr("sheet \"Other sheet\" (2 of 2)"));
    EXPECT_THAT(r.Out, Not(HasSubstr("Sales")));
    const TRun missing = Tabrix("dump " + Quote(Book()) + " --sheet Nope");
    EXPECT_EQ(missing.Code, 1);
    EXPECT_THAT(missing.Out, HasSubstr("has no sheet \"Nope\"; its sheets: \"Sales\", \"Other sheet\""));
}

// The dump of the book after a resave: its formulas, written without cached
// values, get the values the engine computes.
std::string WithComputedValues(std::string dump) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"=A2*B2 -> empty", "=A2*B2 -> n 87.5"},
                                   {"=SUM(A2:B2) -> empty", "=SUM(A2:B2) -> n 19.5"}})
        if (const size_t at = dump.find(from); at != std::string::npos) dump.replace(at, from.size(), to);
    return dump;
}

TEST_F(TabrixCommand, ResaveGivesTheSameDump) {
    const fs::path out = *Folder / "resaved.xlsx";
    const std::string original = ReadFileBytes(Book().string());
    const TRun r = Tabrix("resave " + Quote(Book()) + " " + Quote(out));
    ASSERT_EQ(r.Code, 0) << r.Out;
    const TRun before = Tabrix("dump " + Quote(Book()));
    const TRun after = Tabrix("dump " + Quote(out));
    ASSERT_EQ(after.Code, 0) << after.Out;
    EXPECT_EQ(after.Out, WithComputedValues(before.Out));
    EXPECT_EQ(ReadFileBytes(Book().string()), original);  // never written
    EXPECT_NE(ReadFileBytes(out.string()), original);
}

TEST_F(TabrixCommand, ResaveInPlaceAndWithKeptSheets) {
    const fs::path copy = *Folder / "in place.xlsx";
    fs::copy_file(Book(), copy, fs::copy_options::overwrite_existing);
    ASSERT_EQ(Tabrix("resave " + Quote(copy) + " " + Quote(copy)).Code, 0);
    const fs::path kept = *Folder / "kept.xlsx";
    ASSERT_EQ(Tabrix("resave --keep-sheets --level 9 " + Quote(Book()) + " " + Quote(kept)).Code, 0);
    // With kept sheets the sheet parts are the original's bytes.
    const xl::TPackage a = xl::TPackage::Open(Book().string());
    const xl::TPackage b = xl::TPackage::Open(kept.string());
    EXPECT_EQ(a.ReadPart("xl/worksheets/sheet2.xml"), b.ReadPart("xl/worksheets/sheet2.xml"));
    EXPECT_EQ(Tabrix("dump " + Quote(copy)).Out, WithComputedValues(Tabrix("dump " + Quote(Book())).Out));
}

TEST_F(TabrixCommand, BadInputFailsCleanlyWithoutOutput) {
    const fs::path notZip = *Folder / "not a workbook.xlsx";
    WriteFileBytes(notZip.string(), "just some text, no zip");
    const fs::path out = *Folder / "never.xlsx";
    TRun r = Tabrix("resave " + Quote(notZip) + " " + Quote(out));
    EXPECT_EQ(r.Code, 1);
    EXPECT_THAT(r.Out, HasSubstr("not a workbook.xlsx"));
    EXPECT_THAT(r.Out, HasSubstr("not a zip archive"));
    EXPECT_FALSE(fs::exists(out));

    r = Tabrix("resave " + Quote(Book()) + " " + Quote(*Folder / "no such folder" / "out.xlsx"));
    EXPECT_EQ(r.Code, 1);
    EXPECT_THAT(r.Out, HasSubstr("Cannot save"));

    r = Tabrix("dump " + Quote(*Folder / "missing.xlsx"));
    EXPECT_EQ(r.Code, 1);
    EXPECT_THAT(r.Out, HasSubstr("missing.xlsx"));

    r = Tabrix("frobnicate");
    EXPECT_NE(r.Code, 0);
    r = Tabrix("resave --level 13 a b");
    EXPECT_NE(r.Code, 0);
}

// The central directory's CRC of a part changed: the bytes stay sound, the
// check against them fails.
void BreakCrc(std::string& archive, const std::string& part) {
    for (std::size_t at = archive.find("PK\x01\x02"); at != std::string::npos; at = archive.find("PK\x01\x02", at + 4))
        if (archive.compare(at + 46, part.size(), part) == 0) archive[at + 16] ^= 0x01;
}

TEST_F(TabrixCommand, NeitherOddOutputsNorDamagedEntriesAreWritten) {
    TRun r = Tabrix("resave " + Quote(Book()) + " /dev/null");
    EXPECT_EQ(r.Code, 1);
    EXPECT_THAT(r.Out, HasSubstr("Cannot save \"/dev/null\": it is a character device, not a regular file"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // The sheets copied raw by --keep-sheets are checked all the same.
    std::string bytes = ReadFileBytes(Book().string());
    BreakCrc(bytes, "xl/worksheets/sheet1.xml");
    const fs::path in = *Folder / "damaged.xlsx";
    const fs::path out = *Folder / "damaged-out.xlsx";
    WriteFileBytes(in.string(), bytes);
    r = Tabrix("resave --keep-sheets " + Quote(in) + " " + Quote(out));
    EXPECT_EQ(r.Code, 1) << r.Out;
    EXPECT_THAT(r.Out, HasSubstr("part \"xl/worksheets/sheet1.xml\" of \"" + in.string() +
                                 "\": its CRC does not match (corrupt data)"));
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(TabrixCommand, DumpSaysWhichStylesLayBeyondTheTable) {
    xl::TPackage p = xl::TPackage::Open(Book().string());
    p.SetPart("xl/worksheets/sheet1.xml",
              "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
              "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" s=\"999\"><v>2</v></c></row></sheetData></worksheet>");
    const fs::path in = *Folder / "styles.xlsx";
    p.SaveAs(in.string());
    const TRun r = Tabrix("dump " + Quote(in));
    EXPECT_EQ(r.Code, 0) << r.Out;
    EXPECT_THAT(r.Out, ::testing::ContainsRegex("note 1 style indexes beyond the [0-9]+ styles \\(highest 999, first "
                                                "B1\\) read as style 0\n"));
    EXPECT_THAT(r.Out, HasSubstr("B1 n 2\n"));
}

// Packages that are sound zips but broken workbooks, made from the fixture.
TEST_F(TabrixCommand, BrokenWorkbooksFailWithTheirPart) {
    const xl::TPackage good = xl::TPackage::Open(Book().string());
    struct TCase {
        const char* Name;
        void (*Break)(xl::TPackage&);
        const char* Expected;
        bool DumpFails;  // dump reads less than a save needs
    };
    const TCase cases[] = {
        {"no workbook part", [](xl::TPackage& p) { p.RemovePart("xl/workbook.xml"); }, "xl/workbook.xml", true},
        {"malformed sheet",
         [](xl::TPackage& p) { p.SetPart("xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\">"); },
         "xl/worksheets/sheet1.xml", true},
        {"malformed content types", [](xl::TPackage& p) { p.SetPart("[Content_Types].xml", "<Types"); },
         "[Content_Types].xml", false},
        {"zip bomb", [](xl::TPackage& p) { p.SetPart("xl/worksheets/sheet2.xml", std::string(64u << 20, ' ')); },
         "zip bomb", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        xl::TPackage broken = good;
        c.Break(broken);
        const fs::path in = *Folder / "broken.xlsx";
        const fs::path out = *Folder / "broken-out.xlsx";
        broken.SaveAs(in.string(), c.Name == std::string("zip bomb") ? 9 : 1);
        const TRun r = Tabrix("resave " + Quote(in) + " " + Quote(out));
        EXPECT_EQ(r.Code, 1) << r.Out;
        EXPECT_THAT(r.Out, HasSubstr(c.Expected));
        EXPECT_THAT(r.Out, HasSubstr("broken.xlsx")) << "the message names the file";
        EXPECT_FALSE(fs::exists(out));
        if (c.DumpFails) {
            EXPECT_EQ(Tabrix("dump " + Quote(in)).Code, 1);
        }
    }
}

}  // namespace
}  // namespace tabrix
