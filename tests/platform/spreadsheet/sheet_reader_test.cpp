// Reading sheets and the string table as a stream: what a malformed or
// hostile part gives (an error naming the part, the row or the cell, never a
// silent change of content), the limits on cells and strings, memory bounded
// by the cell store (a reader run in a child under an address-space limit),
// and invalid UTF-8 read and written so that other readers open the file.

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"
#include "tests/support/shell.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

const std::string kNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";

std::string Sheet(const std::string& rows) {
    return "<worksheet " + kNs + "><sheetData>" + rows + "</sheetData></worksheet>";
}

// The message of reading the sheet XML into a blank workbook's sheet.
std::string LoadMessage(const std::string& xml) {
    auto book = TWorkbook::CreateBlank();
    return testing::RaisedMessage([&] { book->Sheet(0).Load(xml); });
}

TEST(SheetReader, MalformedAndChangedContentIsRefusedNamingTheRowOrCell) {
    struct TCase {
        const char* Name;
        std::string Xml;
        std::string Expected;  // a part of the message
        std::string NotExpected = "";
    };
    const std::string utf16("\xFF\xFE<\0w\0", 6);
    const TCase cases[] = {
        {"row beyond the sheet", Sheet("<row r=\"1048577\"><c><v>1</v></c></row>"), "row 1048577: beyond the last row",
         "cell A1"},
        {"row number not a number", Sheet("<row r=\"5\"/><row r=\"x\"/>"), "bad row number \"x\" after row 5"},
        {"too many rows without numbers", Sheet("<row r=\"1048576\"/><row/>"), "row 1048577: beyond the last row"},
        {"UTF-16 part", utf16, "is not UTF-8", "tag type"},
        {"boolean 2", Sheet("<row r=\"1\"><c r=\"B1\" t=\"b\"><v>2</v></c></row>"), "cell B1: bad boolean \"2\""},
        {"boolean empty", Sheet("<row r=\"1\"><c r=\"B1\" t=\"b\"><v></v></c></row>"), "cell B1: bad boolean \"\""},
        {"unknown error text", Sheet("<row r=\"2\"><c r=\"C2\" t=\"e\"><v>#OOPS!</v></c></row>"),
         "cell C2: unknown error value \"#OOPS!\""},
        {"shared formula without master",
         Sheet("<row r=\"1\"><c r=\"A1\"><f t=\"shared\" si=\"3\"/><v>7</v></c></row>"),
         "cell A1: shared formula 3 has no master cell"},
        {"unclosed element", Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></row>"), "does not close <c>"},
        {"text after the root", Sheet("") + "junk", "text outside the root element"},
        {"unquoted attribute", Sheet("<row r=1/>"), "is not quoted"},
        {"'<' in a value", Sheet("<row r=\"<\"/>"), "a '<' in the value of r"},
        {"truncated part", "<worksheet " + kNs + "><sheetData><row", "is not closed"},
        {"entities are never expanded",
         "<!DOCTYPE w [<!ENTITY e \"1\">]>" + Sheet("<row r=\"1\"><c r=\"A1\"><v>&e;</v></c></row>"),
         "cell A1: bad number \"&e;\""},
        {"a second root", Sheet("") + "<worksheet/>", "a second root element"},
        // A quote in a name would let the kept text after the rows be cut
        // in the wrong place on save.
        {"quote in an element name",
         "<worksheet " + kNs + "><sheetData/><mergeCells><mergeCell:B1\" ref=\"A1:B1\"/></mergeCells></worksheet>",
         "no name may hold"},
        {"control byte in an attribute name", Sheet("<row r=\"1\" a\x01b=\"2\"/>"), "no name may hold"},
        {"no worksheet", "<chartsheet " + kNs + "/>", "is no worksheet"},
    };
    for (const TCase& c : cases) {
        std::string m = LoadMessage(c.Xml);
        EXPECT_NE(m.find(c.Expected), std::string::npos) << c.Name << ": " << m;
        EXPECT_NE(m.find("sheet1.xml"), std::string::npos) << c.Name << ": " << m;
        if (!c.NotExpected.empty()) {
            EXPECT_EQ(m.find(c.NotExpected), std::string::npos) << c.Name << ": " << m;
        }
    }
}

TEST(SheetReader, ValuesAreReadAsWrittenAndSharedFormulasBeforeTheirMasterAreKept) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(Sheet(
        "<row r=\"1\"><c r=\"A1\"><f t=\"shared\" si=\"0\"/><v>4</v></c>"
        "<c r=\"B1\" t=\"b\"><v>true</v></c><c r=\"C1\" t=\"b\"><v>0</v></c><c r=\"D1\" t=\"e\"><v>#SPILL!</v></c>"
        "<c r=\"E1\" t=\"e\"><f>FOO()</f><v>#PYTHON!</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><f t=\"shared\" ref=\"A2:A3\" si=\"0\">B2*2</f><v>6</v></c></row>"
        "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>8</v></c></row>"
        "<row r=\"4\"><c r=\"A4\" t=\"inlineStr\"><is><t>a&amp;b&#x263A;_x000D_</t></is></c>"
        "<c r=\"B4\"><v>&#49;.5</v></c><c r=\"C4\" t=\"str\"><f>\"x\"</f><v><![CDATA[<x>]]></v></c></row>"));
    // The dependent read before its master takes the master's text shifted.
    EXPECT_EQ(s.Content(1, 1).Formula, "B1*2");
    EXPECT_EQ(s.Content(1, 1).Value.Number, 4);
    EXPECT_EQ(s.Content(3, 1).Formula, "B3*2");
    EXPECT_EQ(s.Content(1, 2).Value, (TStoredValue{TCellKind::Boolean, 1, ""}));
    EXPECT_EQ(s.Content(1, 3).Value, (TStoredValue{TCellKind::Boolean, 0, ""}));
    EXPECT_EQ(s.Content(1, 4).Value.Text, "#SPILL!");
    EXPECT_EQ(s.Content(1, 5).Value.Text, "#PYTHON!");  // a cached result stays as written
    EXPECT_EQ(s.Content(4, 1).Value.Text, "a&b\xE2\x98\xBA\r");
    EXPECT_EQ(s.Content(4, 2).Value.Number, 1.5);
    EXPECT_EQ(s.Content(4, 3).Value.Text, "<x>");
}

// Date cells (t="d") hold ISO dates; they are read as serial numbers.
TEST(SheetReader, DateCellsBecomeSerialNumbersAndAnImpossibleDateIsRefused) {
    auto book = TWorkbook::CreateBlank();
    TWorksheet& s = book->Sheet(0);
    s.Load(Sheet(
        "<row r=\"1\"><c r=\"A1\" t=\"d\"><v>2024-02-29</v></c><c r=\"B1\" t=\"d\"><v>2024-02-29T18:00:00Z</v></c>"
        "<c r=\"C1\" t=\"d\"><v>1900-03-01T00:00:00.0001+02:00</v></c><c r=\"D1\" t=\"d\"/></row>"));
    EXPECT_EQ(s.Content(1, 1).Value, (TStoredValue{TCellKind::Number, 45351, ""}));
    EXPECT_DOUBLE_EQ(s.Content(1, 2).Value.Number, 45351.75);
    EXPECT_DOUBLE_EQ(s.Content(1, 3).Value.Number, 61 + 0.0001 / 86400) << "every digit of the fraction counts";
    EXPECT_EQ(s.Content(1, 4).Value.Kind, TCellKind::Empty);
    for (const char* bad : {"2023-02-29", "2024-02-29T24:00", "2024-02-29 junk", "45351"}) {
        const std::string m =
            LoadMessage(Sheet(std::string("<row r=\"3\"><c r=\"B3\" t=\"d\"><v>") + bad + "</v></c></row>"));
        EXPECT_NE(m.find(std::string("cell B3: bad date \"") + bad + "\""), std::string::npos) << bad << ": " << m;
    }
}

// --- limits -----------------------------------------------------------

// A workbook file of one sheet with the given texts in A1, A2, ... and
// numbers in column B beside them.
std::string WriteWorkbook(const std::string& folder, int texts) {
    auto book = TWorkbook::CreateBlank();
    for (int i = 1; i <= texts; ++i) {
        book->Sheet(0).SetString(i, 1, "text " + std::to_string(i));
        book->Sheet(0).SetNumber(i, 2, i);
    }
    std::string file = folder + "limits.xlsx";
    book->SaveAs(file);
    return file;
}

TEST(SheetReader, CellsAndStringsOfAWorkbookAreLimitedAtNAndNPlusOne) {
    std::string folder = test::MakeTempDir();
    std::string file = WriteWorkbook(folder, 3);  // 6 cells, 3 strings
    auto open = [&](uint64_t cells, uint64_t strings) {
        TPackageLimits limits;
        limits.MaxCells = cells;
        limits.MaxStrings = strings;
        return testing::RaisedMessage([&] { TWorkbook::Open(file, true, limits)->Sheet(0); });
    };
    EXPECT_EQ(open(6, 3), "no error");
    // A sheet read again replaces its share of the count (found by a fuzzer
    // that reloads one sheet millions of times).
    EXPECT_EQ(testing::RaisedMessage([&] {
                  TPackageLimits limits;
                  limits.MaxCells = 6;
                  auto book = TWorkbook::Open(file, true, limits);
                  TWorksheet& sheet = book->Sheet(0);
                  const std::string xml = sheet.Serialize();
                  for (int i = 0; i < 3; ++i) sheet.Load(xml);
              }),
              "no error");
    std::string m = open(5, 3);
    EXPECT_NE(m.find("cell B3: the workbook holds more than 5 cells"), std::string::npos) << m;
    m = open(6, 2);
    EXPECT_NE(m.find("sharedStrings.xml\": more than 2 shared strings"), std::string::npos) << m;
    // The defaults take a full-height sheet of ten columns several times over.
    EXPECT_GE(TPackageLimits{}.MaxCells, uint64_t(kMaxRows) * 10 * 4);
    test::RemoveTree(folder);
}

// --- memory -------------------------------------------------------------

// Bytes of address space the process maps now.
uint64_t MappedBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
    return 0;
}

// Runs step in a child allowed budget bytes of address space beyond what it
// maps at the start: 0 when it succeeded, 1 with the message on a failure.
int RunBounded(uint64_t budget, const std::function<void()>& step, std::string& message) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = MappedBytes() + budget;
        setrlimit(RLIMIT_AS, &limit);
        int code = 0;
        try {
            step();
        } catch (const Exception& e) {
            std::string m = e.Message();
            if (write(pipeFds[1], m.data(), m.size()) < 0) code = 3;
            code = 1;
        } catch (...) {
            code = 2;
        }
        _exit(code);
    }
    close(pipeFds[1]);
    char buf[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0) message.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

constexpr uint64_t kMiB = uint64_t(1) << 20;

// Two million one-value cells (the form of a small file that took gigabytes
// as a tree): the reader needs the cell store and little beside it.
TEST(SheetReaderMemory, MillionsOfTinyCellsCostTheCellStoreNotATree) {
    const int rows = 125000, columns = 16;
    std::string xml = "<worksheet " + kNs + "><sheetData>";
    xml.reserve(size_t(rows) * columns * 16 + 64);
    for (int r = 1; r <= rows; ++r) {
        xml += "<row>";
        for (int c = 0; c < columns; ++c) xml += "<c><v>1</v></c>";
        xml += "</row>";
    }
    xml += "</sheetData></worksheet>";
    const uint64_t store = uint64_t(rows) * columns * sizeof(TCell) + uint64_t(rows) * sizeof(TRow);
    auto book = TWorkbook::CreateBlank();
    auto read = [&] {
        book->Sheet(0).Load(xml);
        if (book->Sheet(0).Content(rows, columns).Value.Number != 1) throw ESpreadsheetError("cell not read");
    };
    std::string message;
    EXPECT_EQ(RunBounded(store * 2 + 64 * kMiB, read, message), 0) << message;
    // Far too little memory: reported as such, naming the part and how far it got.
    message.clear();
    EXPECT_EQ(RunBounded(store / 4, read, message), 1);
    EXPECT_NE(message.find("sheet1.xml\": out of memory after reading"), std::string::npos) << message;
}

// Hundreds of megabytes of whitespace between the rows cost nothing beyond
// the part's own text.
TEST(SheetReaderMemory, WhitespaceCostsNothingBeyondThePartsText) {
    std::string xml = "<worksheet " + kNs + "><sheetData><row r=\"1\"><c><v>1</v></c></row>";
    xml.append(size_t(256) * kMiB, ' ');
    xml += "<row r=\"2\"><c><v>2</v></c></row></sheetData></worksheet>";
    auto book = TWorkbook::CreateBlank();
    std::string message;
    int rc = RunBounded(
        32 * kMiB,
        [&] {
            book->Sheet(0).Load(xml);
            if (book->Sheet(0).Content(2, 1).Value.Number != 2) throw ESpreadsheetError("cell not read");
        },
        message);
    EXPECT_EQ(rc, 0) << message;
}

// --- invalid UTF-8 ------------------------------------------------------

TEST(SheetReaderUtf8, InvalidBytesBecomeReplacementCharactersReadAndWritten) {
    std::string folder = test::MakeTempDir();
    // A template whose string table and inline string hold invalid bytes.
    TPackage p = TPackage::FromBytes(TWorkbook::CreateBlank()->SaveToBytes(), "t");
    p.SetPart("xl/worksheets/sheet1.xml",
              Sheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>in\xC3line</t></is></c></row>"));
    std::string bytes = p.SaveToBytes();
    auto book = TWorkbook::FromBytes(bytes, "bad.xlsx");
    TWorksheet& s = book->Sheet(0);
    EXPECT_EQ(s.Content(1, 1).Value.Text, "in\xEF\xBF\xBDline");
    // A program's text (as the automation face writes it) with a stray
    // continuation byte and a truncated sequence.
    s.SetString(2, 1, std::string("data\x80set\xE2\x82"));
    s.SetFormula(3, 1, "\"f\xFF\"");
    std::string file = folder + "out.xlsx";
    book->SaveAs(file);
    std::string read = testing::ReadCellsWithOpenpyxl(file);
    EXPECT_NE(read.find("A1\ts\t'in\xEF\xBF\xBDline'"), std::string::npos) << read;
    EXPECT_NE(read.find("A2\ts\t'data\xEF\xBF\xBDset\xEF\xBF\xBD\xEF\xBF\xBD'"), std::string::npos) << read;
    EXPECT_NE(read.find("A3\tf\t"), std::string::npos) << read;
    EXPECT_EQ(read.find("Error"), std::string::npos) << read;

    // A string table with an invalid byte.
    TPackage t = TPackage::FromBytes(test::TemplateWorkbookBytes(), "t");
    std::string sst = t.ReadPart("xl/sharedStrings.xml");
    ASSERT_NE(sst.find(">Title<"), std::string::npos);
    sst.replace(sst.find(">Title<"), 7, ">Ti\xFFtle<");
    t.SetPart("xl/sharedStrings.xml", sst);
    auto fromTable = TWorkbook::FromBytes(t.SaveToBytes(), "table.xlsx");
    EXPECT_EQ(fromTable->Sheet(0).Content(1, 1).Value.Text, "Ti\xEF\xBF\xBDtle");

    // The string table read back holds only valid UTF-8.
    auto again = TWorkbook::Open(file, true);
    EXPECT_EQ(again->Sheet(0).Content(2, 1).Value.Text, "data\xEF\xBF\xBDset\xEF\xBF\xBD\xEF\xBF\xBD");
    test::RemoveTree(folder);
}

}  // namespace
}  // namespace tabrix::xl
