// A band row with conditional formats, a validation, hyperlinks, a note and a picture copied
// through the automation face (to another sheet, doubling within it, and
// to another workbook), partly cleared, saved, and read back by openpyxl,
// directly and after LibreOffice has read the file and written it again.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "automation/automation.h"
#include "platform/rtl/files.h"
#include "tests/integration/scripted_template.h"

namespace tabrix {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::Script;
using testing::Shell;

const char* const kSite = "https://example.com/items?id=1&lang=en";
const char* const kNote = "check the sign";

class SheetObjects : public testing::TScriptedTemplate {
protected:
    SheetObjects() : TScriptedTemplate("objects", "make_objects_template.py", "read_sheet_objects.py") {}

    // Rows 3 to 8 of the report sheet hold the band: one copy from the
    // template, doubling copies within the sheet up to row 10, rows 9:10 cleared.
    void BuildReports(const std::string& result, const std::string& other) {
        TExcelApplication app = TExcelApplication::Create();
        app.SetInteractive(false);
        TExcelWorkbook book = app.Workbooks().Open(Template);
        TExcelWorksheet templ = book.Worksheets().Item(1);
        TExcelWorksheet report = book.Worksheets().Item(2);
        templ.Range("A2", "E2").Copy(report.Range("A3"));
        report.Range("A3", "E3").Copy(report.Range("A4"));
        report.Range("A3", "E4").Copy(report.Range("A5"));
        report.Range("A3", "E6").Copy(report.Range("A7"));
        report.Range("A9", "E10").Clear();
        // The template's own band, cleared, leaves nothing behind.
        templ.Range("A2", "E2").Copy(templ.Range("A20"));
        templ.Range("A20", "E20").Clear();
        book.Close(Variant(true), Variant(result));

        CopyToNewWorkbook(app, "A2", "E2", {"A2", "A3", "A4", "A6"}, other);
        app.Quit();
    }
};

// The report sheet as a reader sees it; names the reader in failures.
void ExpectReportSheet(const json& rep, const std::string& reader) {
    SCOPED_TRACE(reader);
    // One rule per template rule, over the band's rows as one range.
    ASSERT_EQ(rep["cf"].size(), 2u) << rep["cf"];
    EXPECT_EQ(rep["cf"][0]["sqref"], "B3:B8");
    EXPECT_EQ(rep["cf"][0]["types"], json::array({"cellIs"}));
    EXPECT_EQ(rep["cf"][0]["formulas"], json::array({json::array({"0"})}));
    // Red, whatever alpha the writer gives it.
    ASSERT_TRUE(rep["cf"][0]["colors"][0].is_string()) << rep["cf"];
    EXPECT_EQ(rep["cf"][0]["colors"][0].get<std::string>().substr(2), "FF0000");
    EXPECT_EQ(rep["cf"][1]["sqref"], "C3:C8");
    EXPECT_EQ(rep["cf"][1]["types"], json::array({"dataBar"}));
    ASSERT_EQ(rep["dv"].size(), 1u) << rep["dv"];
    EXPECT_EQ(rep["dv"][0]["sqref"], "D3:D8");
    EXPECT_EQ(rep["dv"][0]["type"], "list");
    EXPECT_EQ(rep["dv"][0]["formula1"], "\"yes,no\"");
    json links = json::object();
    for (int row = 3; row <= 8; ++row) {
        links["A" + std::to_string(row)] = kSite;
        links["E" + std::to_string(row)] = "#Template!A1";
    }
    EXPECT_EQ(rep["links"], links);
    json notes = json::object();
    for (int row = 3; row <= 8; ++row) notes["B" + std::to_string(row)] = kNote;
    EXPECT_EQ(rep["notes"], notes);
    // The band's picture once per band row, at the same cell offset.
    EXPECT_EQ(rep["pictures"], json::array({"C3", "C4", "C5", "C6", "C7", "C8"}));
}

TEST_F(SheetObjects, RulesValidationsAndLinksApplyToExactlyTheCopiedCells) {
    const std::string result = (Folder / "result.xlsx").string();
    const std::string other = (Folder / "other.xlsx").string();
    BuildReports(result, other);

    const json r = Read(result);
    ExpectReportSheet(r["Report"], "openpyxl");
    // The template keeps its own band's objects and nothing at row 20.
    const json& t = r["Template"];
    EXPECT_EQ(t["cf"].size(), 2u);
    EXPECT_EQ(t["cf"][0]["sqref"], "B2");
    EXPECT_EQ(t["dv"][0]["sqref"], "D2");
    EXPECT_EQ(t["links"], json({{"A2", kSite}, {"E2", "#Template!A1"}}));
    EXPECT_EQ(t["notes"], json({{"B2", kNote}}));
    EXPECT_EQ(t["pictures"], json::array({"C2", "absolute"}));

    // From another workbook: the rules made once, their lists joined; the
    // gap at row 5 stays a gap.
    const json o = Read(other)["Sheet1"];
    ASSERT_EQ(o["cf"].size(), 2u) << o["cf"];
    EXPECT_EQ(o["cf"][0]["sqref"], "B2:B4 B6");
    EXPECT_EQ(o["cf"][1]["sqref"], "C2:C4 C6");
    // The red font came along into the blank workbook's formats.
    EXPECT_EQ(o["cf"][0]["colors"], json::array({"00FF0000"}));
    ASSERT_EQ(o["dv"].size(), 1u);
    EXPECT_EQ(o["dv"][0]["sqref"], "D2:D4 D6");
    EXPECT_EQ(o["links"].size(), 8u) << o["links"];
    EXPECT_EQ(o["links"]["A6"], kSite);
    EXPECT_FALSE(o["links"].contains("A5"));
    EXPECT_EQ(o["notes"], json({{"B2", kNote}, {"B3", kNote}, {"B4", kNote}, {"B6", kNote}}));
    EXPECT_EQ(o["pictures"], json::array({"C2", "C3", "C4", "C6"}));

    // One media part per picture, not per copy: the report reuses the
    // template's, the other workbook got its own once.
    for (const auto& [file, parts] : {std::pair{result, "2"}, std::pair{other, "1"}}) {
        std::string media;
        ASSERT_EQ(Shell("/usr/bin/python3 -c \"import sys, zipfile; print(sum(n.startswith('xl/media/') for n in "
                        "zipfile.ZipFile(sys.argv[1]).namelist()))\" '" +
                            file + "'",
                        &media),
                  0)
            << media;
        EXPECT_EQ(media, std::string(parts) + "\n") << file;
    }

    // LibreOffice reads the file and writes what it understood.
    const fs::path again = Folder / "lo";
    std::string out;
    const int rc = Shell(Script("lo_convert.py") + " --xlsx '" + again.string() + "' '" + result + "'", &out);
    if (rc == 77) GTEST_SKIP() << out;
    ASSERT_EQ(rc, 0) << out;
    ExpectReportSheet(Read((again / "result.xlsx").string())["Report"], "LibreOffice, then openpyxl");
}

}  // namespace
}  // namespace tabrix
