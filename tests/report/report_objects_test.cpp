// tabrix run on the example with conditional formats, a validation, a
// hyperlink, a note and a logo in its bands: the report carries them at the rows the bands
// became, one rule per template rule, read back by openpyxl.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/rtl/files.h"
#include "tests/report/report_fixture.h"
#include "tests/support/shell.h"

namespace tabrix {
namespace {

using nlohmann::json;

int Shell(const std::string& command, std::string& output) {
    testing::TShellRun run = testing::RunShell(command + " 2>&1");
    output = std::move(run.Out);
    return run.Status;
}

const std::string kPython = "/usr/bin/python3 ";
const std::string kSource = TABRIX_SOURCE_DIR;

class ReportObjects : public testing::TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        for (const char* f : {"sales.tfm", "sales.db"})
            ASSERT_TRUE(CopyFileTo(testing::ExampleFile(f), Folder + f, false));
        std::string out;
        if (Shell(kPython + kSource + "/tests/report/add_sheet_objects.py '" + Template + "'", out) != 0)
            GTEST_SKIP() << "openpyxl could not change the template: " << out;
    }
};

TEST_F(ReportObjects, RulesValidationsAndLinksFollowTheBandsIntoTheReport) {
    std::string out;
    const std::string report = Folder + "report.xlsx";
    ASSERT_EQ(Shell("cd '" + Folder + "' && '" + TABRIX_EXE + "' run sales.tfm -o report.xlsx", out), 0) << out;
    ASSERT_EQ(Shell(kPython + kSource + "/tests/integration/read_sheet_objects.py '" + report + "'", out), 0) << out;
    const json rep = json::parse(out)["Report"];

    // The report: title 1-3, then per region a header, per customer a header,
    // per order its row and its lines. The order rows, as the engine reads them:
    std::string orders;
    ASSERT_EQ(Shell(kPython +
                        "-c \"import openpyxl,sys; ws=openpyxl.load_workbook(sys.argv[1])['Report']; "
                        "print(' '.join('A%d' % c.row for c in ws['A'] if isinstance(c.value, int) and "
                        "c.value > 1000))\" '" +
                        report + "'",
                    orders),
              0)
        << orders;
    ASSERT_FALSE(orders.empty());
    orders.pop_back();  // the line end
    // Both rules of A6 over exactly the order rows (nine orders), in one
    // rule each: openpyxl lists the two rules under one range list.
    ASSERT_EQ(rep["cf"].size(), 1u) << rep["cf"];
    EXPECT_EQ(rep["cf"][0]["types"], json::array({"cellIs", "dataBar"}));
    std::string sqref = rep["cf"][0]["sqref"];
    EXPECT_EQ(sqref, orders);
    EXPECT_EQ(std::count(sqref.begin(), sqref.end(), ' '), 8);
    ASSERT_EQ(rep["dv"].size(), 1u) << rep["dv"];
    std::string dvRef = rep["dv"][0]["sqref"];
    std::string expected = orders;
    for (size_t at = expected.find('A'); at != std::string::npos; at = expected.find('A', at + 1)) expected[at] = 'C';
    EXPECT_EQ(dvRef, expected);
    // One link per customer header: six customers.
    EXPECT_EQ(rep["links"].size(), 6u) << rep["links"];
    for (const auto& [cell, target] : rep["links"].items()) EXPECT_EQ(target, "https://example.com/customers") << cell;
    // The first customer header stands where the template's did; the
    // template's own band rows left nothing elsewhere.
    EXPECT_TRUE(rep["links"].contains("A5"));
    EXPECT_FALSE(rep["links"].contains("A6"));
    // One note per customer footer, each at a "Total <customer>" cell.
    std::string totals;
    ASSERT_EQ(Shell(kPython +
                        "-c \"import openpyxl,sys; ws=openpyxl.load_workbook(sys.argv[1])['Report']; "
                        "print(' '.join(c.coordinate for c in ws['A'] if isinstance(c.value, str) and "
                        "c.value.startswith('Total ') and not c.value.startswith('Total region')))\" '" +
                        report + "'",
                    totals),
              0)
        << totals;
    json notes = json::object();
    std::string cells = totals.substr(0, totals.size() - 1);
    for (size_t at = 0; at < cells.size();) {
        size_t blank = std::min(cells.find(' ', at), cells.size());
        notes[cells.substr(at, blank - at)] = "Total of the customer's orders";
        at = blank + 1;
    }
    EXPECT_EQ(notes.size(), 6u) << totals;
    EXPECT_EQ(rep["notes"], notes);
    // The logo of the title band once, at the title's place.
    EXPECT_EQ(rep["pictures"], json::array({"E1"}));
}

}  // namespace
}  // namespace tabrix
