// A band whose rules live in the sheet's extension list (a data bar with its
// x14 twin, an icon set with a moved threshold, a list validation on another
// sheet) copied through the automation face: to another sheet with doubling
// copies, and to another workbook; then the report sheet cleared whole. Read
// back from the sheet XML by Python's own parser, directly and after
// LibreOffice has read the file and written it again.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "automation/automation.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "tests/integration/scripted_template.h"

namespace tabrix {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::Script;
using testing::Shell;

const char* const kBarId = "{3E1B6B2C-5D4A-4C1E-9A77-0C3F2D1B0A01}";

class X14Rules : public testing::TScriptedTemplate {
protected:
    X14Rules() : TScriptedTemplate("x14", "make_x14_template.py", "read_x14_rules.py") {}
};

// Rows 3 to 60 of the report sheet hold the band: one copy from the
// template, doubling copies within the sheet up to row 66, rows 61:66 cleared.
// In another workbook the band lands at rows 2, 3, 4 and 6.
TEST_F(X14Rules, TheExtensionRulesTravelWithTheBandAndAClearedSheetHasNone) {
    const std::string result = (Folder / "result.xlsx").string();
    const std::string other = (Folder / "other.xlsx").string();
    const std::string cleared = (Folder / "cleared.xlsx").string();
    {
        TExcelApplication app = TExcelApplication::Create();
        app.SetInteractive(false);
        TExcelWorkbook book = app.Workbooks().Open(Template);
        TExcelWorksheet templ = book.Worksheets().Item(1);
        TExcelWorksheet report = book.Worksheets().Item(2);
        templ.Range("A2", "D2").Copy(report.Range("A3"));
        for (int rows = 1; rows < 64; rows *= 2)
            report.Range("A3", "D" + std::to_string(2 + rows)).Copy(report.Range("A" + std::to_string(3 + rows)));
        report.Range("A61", "D66").Clear();
        book.Close(Variant(true), Variant(result));

        CopyToNewWorkbook(app, "A2", "D2", {"A2", "A3", "A4", "A6"}, other);

        // The report sheet cleared as a report build clears it.
        TExcelWorkbook again = app.Workbooks().Open(result);
        again.Worksheets().Item(2).Cells().Clear();
        again.Close(Variant(true), Variant(cleared));
        app.Quit();
    }

    const json r = Read(result);
    const json& rep = r["Report"];
    // As many rules as the template has, over the band's rows as one range.
    ASSERT_EQ(rep["cf"].size(), 1u) << rep;
    EXPECT_EQ(rep["cf"][0]["sqref"], "B3:B60");
    EXPECT_EQ(rep["cf"][0]["types"], json::array({"dataBar"}));
    ASSERT_EQ(rep["x14cf"].size(), 2u) << rep;
    EXPECT_EQ(rep["x14cf"][0]["sqref"], "B3:B60");
    EXPECT_EQ(rep["x14cf"][0]["types"], json::array({"dataBar"}));
    // The data bar and its twin are linked.
    EXPECT_EQ(rep["cf"][0]["ids"], rep["x14cf"][0]["ids"]);
    EXPECT_EQ(rep["x14cf"][1]["sqref"], "D3:D60");
    EXPECT_EQ(rep["x14cf"][1]["formulas"], json::array({"0", "D3*2", "Lists!$B$1"}));
    EXPECT_TRUE(rep["dv"].empty());
    ASSERT_EQ(rep["x14dv"].size(), 1u) << rep;
    EXPECT_EQ(rep["x14dv"][0]["sqref"], "C3:C60");
    EXPECT_EQ(rep["x14dv"][0]["formula1"], "Lists!$A$1:$A$3");
    // The template keeps its own.
    EXPECT_EQ(r["Template"]["x14cf"][0]["sqref"], "B2");
    EXPECT_EQ(r["Template"]["cf"][0]["ids"], json::array({kBarId}));

    const json o = Read(other)["Sheet1"];
    ASSERT_EQ(o["cf"].size(), 1u) << o;
    EXPECT_EQ(o["cf"][0]["sqref"], "B2:B4 B6");
    ASSERT_EQ(o["x14cf"].size(), 2u) << o;
    EXPECT_EQ(o["x14cf"][0]["sqref"], "B2:B4 B6");
    EXPECT_EQ(o["cf"][0]["ids"], o["x14cf"][0]["ids"]);
    EXPECT_EQ(o["x14cf"][1]["formulas"], json::array({"0", "D2*2", "Lists!$B$1"}));
    ASSERT_EQ(o["x14dv"].size(), 1u) << o;
    EXPECT_EQ(o["x14dv"][0]["sqref"], "C2:C4 C6");

    const json c = Read(cleared);
    EXPECT_EQ(c["Report"],
              json({{"cf", json::array()}, {"x14cf", json::array()}, {"dv", json::array()}, {"x14dv", json::array()}}));
    EXPECT_EQ(c["Template"]["x14cf"].size(), 2u);

    // LibreOffice reads the files and writes what it understood (its own
    // ids, cross-sheet lists in the main part).
    const fs::path lo = Folder / "lo";
    std::string out;
    const int rc = Shell(
        Script("lo_convert.py") + " --xlsx '" + lo.string() + "' '" + result + "' '" + other + "' '" + cleared + "'",
        &out);
    if (rc == 77) GTEST_SKIP() << out;
    ASSERT_EQ(rc, 0) << out;
    struct TCase {
        std::string File, Sheet, Bar, List;
    } cases[] = {{"result.xlsx", "Report", "B3:B60", "C3:C60"}, {"other.xlsx", "Sheet1", "B2:B4 B6", "C2:C4 C6"}};
    for (const TCase& k : cases) {
        SCOPED_TRACE("LibreOffice, " + k.File);
        const json s = Read((lo / k.File).string())[k.Sheet];
        ASSERT_EQ(s["cf"].size(), 1u) << s;
        EXPECT_EQ(s["cf"][0]["sqref"], k.Bar);
        EXPECT_EQ(s["cf"][0]["types"], json::array({"dataBar"}));
        EXPECT_EQ(s["cf"][0]["ids"], s["x14cf"][0]["ids"]);
        ASSERT_EQ(s["x14cf"].size(), 2u) << s;
        EXPECT_EQ(s["x14cf"][1]["types"], json::array({"iconSet"}));
        ASSERT_EQ(s["dv"].size() + s["x14dv"].size(), 1u) << s;
        const json& v = s["dv"].empty() ? s["x14dv"][0] : s["dv"][0];
        EXPECT_EQ(v["sqref"], k.List);
        // The blank workbook has no sheet Lists: LibreOffice keeps the
        // reference as a name it does not know, in lower case.
        std::string list = v["formula1"];
        if (k.File == "other.xlsx")
            for (char& ch : list) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(list, k.File == "other.xlsx" ? "LISTS!$A$1:$A$3" : "Lists!$A$1:$A$3");
    }
    const json lc = Read((lo / "cleared.xlsx").string())["Report"];
    EXPECT_TRUE(lc["cf"].empty() && lc["x14cf"].empty() && lc["dv"].empty() && lc["x14dv"].empty()) << lc;
}

// The sqref lists and formulas of one kind of rule, without the ids (a copy
// into another workbook may give new ones).
json WithoutIds(json rules) {
    for (json& r : rules) r.erase("ids");
    return rules;
}

// Real workbooks with x14 rules: each such sheet copied whole into a blank
// workbook (every rule made anew there, wrappers and ids included) holds the
// same rules over the same cells, and every data bar finds its twin.
TEST(X14RulesCorpus, SheetsCopiedWholeKeepEveryRuleOfBothForms) {
    const std::string corpus = TABRIX_SOURCE_DIR "/../shared/corpus";
    if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus";
    std::string found;
    ASSERT_EQ(Shell(Script("read_x14_rules.py") + " --find '" + corpus + "'", &found), 0) << found;
    if (found.empty()) GTEST_SKIP() << "no workbook of the corpus has x14 rules";
    const fs::path folder = fs::path(TempFolder()) / ("tbr_x14c_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    TExcelApplication app = TExcelApplication::Create();
    app.SetInteractive(false);
    TWorkbookOpenArgs readOnly;
    readOnly.ReadOnly = Variant(true);
    int n = 0;
    for (size_t at = 0, end; at < found.size(); at = end + 1) {
        end = found.find('\n', at);
        if (end == std::string::npos) end = found.size();
        const std::string line = found.substr(at, end - at);
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::string file = line.substr(0, tab);
        const int index = std::stoi(line.substr(tab + 1));
        SCOPED_TRACE(file + ", sheet " + std::to_string(index));
        const std::string copy = (folder / ("copy" + std::to_string(++n) + ".xlsx")).string();
        TExcelWorkbook source = app.Workbooks().Open(file, readOnly);
        TExcelWorksheet sheet = source.Worksheets().Item(index);
        const std::string name = UnicodeToUtf8(sheet.Name());
        TExcelWorkbook blank = app.Workbooks().Add();
        sheet.Range("A1", "XFD1048576").Copy(blank.Worksheets().Item(1).Range("A1"));
        blank.Close(Variant(true), Variant(copy));
        source.Close(Variant(false));

        std::string out;
        ASSERT_EQ(Shell(Script("read_x14_rules.py") + " '" + file + "'", &out), 0) << out;
        const json original = json::parse(out)[name];
        ASSERT_EQ(Shell(Script("read_x14_rules.py") + " '" + copy + "'", &out), 0) << out;
        const json copied = json::parse(out)["Sheet1"];
        for (const char* kind : {"cf", "x14cf", "dv", "x14dv"})
            EXPECT_EQ(WithoutIds(copied[kind]), WithoutIds(original[kind])) << kind;
        json twins = json::array();
        for (const json& r : copied["x14cf"])
            for (const json& id : r["ids"]) twins.push_back(id);
        for (const json& r : copied["cf"])
            for (const json& id : r["ids"])
                EXPECT_NE(std::find(twins.begin(), twins.end(), id), twins.end()) << id << " has no twin";
    }
    app.Quit();
    fs::remove_all(folder);
}

}  // namespace
}  // namespace tabrix
