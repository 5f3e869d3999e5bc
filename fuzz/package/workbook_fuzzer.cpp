// Part XML as a hostile workbook would carry it: the first byte picks the
// part, the rest is its content, placed into an otherwise sound workbook.
// The workbook is refused with a clear error, or read sheet by sheet,
// saved and read again; never a crash. (Fuzzing whole zips mostly tests
// CRC checks; the package fuzzer does that.)

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"

namespace {

const char* const kParts[] = {
    "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
    "xl/workbook.xml",          "[Content_Types].xml",  "xl/_rels/workbook.xml.rels",
};

const tabrix::xl::TPackage& SoundWorkbook() {
    static const tabrix::xl::TPackage package = [] {
        tabrix::xl::TPackage p;
        p.SetPart(
            "[Content_Types].xml",
            "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
            "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
            "<Override PartName=\"/xl/sharedStrings.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
            "<Override PartName=\"/xl/styles.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
            "</Types>");
        p.SetPart("_rels/.rels",
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                  "Target=\"xl/workbook.xml\"/>"
                  "</Relationships>");
        p.SetPart("xl/workbook.xml",
                  "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                  "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                  "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
        p.SetPart("xl/_rels/workbook.xml.rels",
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet1.xml\"/>"
                  "<Relationship Id=\"rId2\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
                  "Target=\"sharedStrings.xml\"/>"
                  "<Relationship Id=\"rId3\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                  "Target=\"styles.xml\"/>"
                  "</Relationships>");
        p.SetPart(
            "xl/sharedStrings.xml",
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" uniqueCount=\"2\">"
            "<si><t>text</t></si><si><r><rPr><b/></rPr><t>rich</t></r></si></sst>");
        p.SetPart("xl/styles.xml",
                  "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                  "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy\"/></numFmts>"
                  "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
                  "<fills count=\"1\"><fill><patternFill patternType=\"none\"/></fill></fills>"
                  "<borders count=\"1\"><border/></borders>"
                  "<cellStyleXfs count=\"1\"><xf/></cellStyleXfs>"
                  "<cellXfs count=\"2\"><xf/><xf numFmtId=\"164\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>");
        p.SetPart("xl/worksheets/sheet1.xml",
                  "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
                  "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>45000</v></c></row>"
                  "<row r=\"2\"><c r=\"A2\"><f>SUM(B1:B1)</f><v>45000</v></c></row>"
                  "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A3:B3\"/></mergeCells></worksheet>");
        return p;
    }();
    return package;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabrix;
    if (size < 1) return 0;
    xl::TPackage p = SoundWorkbook();
    p.SetPart(kParts[data[0] % (sizeof kParts / sizeof kParts[0])],
              std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    try {
        auto book = xl::TWorkbook::FromBytes(p.SaveToBytes(0), "fuzz.xlsx");
        for (int i = 0; i < book->SheetCount(); ++i) {
            xl::TWorksheet& sheet = book->Sheet(i);
            (void)sheet.UsedRange();
            sheet.SetModified();
        }
        const std::string saved = book->SaveToBytes();
        // What we write we must read again.
        auto back = xl::TWorkbook::FromBytes(saved, "back.xlsx");
        for (int i = 0; i < back->SheetCount(); ++i) (void)back->Sheet(i).UsedRange();
    } catch (const Exception&) {}
    return 0;
}
