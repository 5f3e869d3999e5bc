// tabrix new: a form written for a template, a database and a query reads
// back and runs, and its report is the template with the query's records.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/run_command.h"

namespace tabrix {
namespace {

using ::testing::HasSubstr;
using Cells = std::vector<std::string>;

class NewForm : public testing::TExampleFolder {
protected:
    void SetUp() override {
        TExampleFolder::SetUp();
        Made = std::system(("/usr/bin/python3 " TABRIX_SOURCE_DIR "/tests/cli/make_new_templates.py '" + Folder +
                            "' 2>/dev/null")
                               .c_str()) == 0;
    }
    bool Made = false;
};

constexpr const char* kLines = "select product, qty from order_lines where order_id = 1003 order by id";

TEST_F(NewForm, TemplatesWithAndWithoutTotalsAndFieldsGiveFormsThatRun) {
    if (!Made) GTEST_SKIP() << "python3-openpyxl is not installed";
    struct TCase {
        const char* Template;
        Cells Bands;   // in the form
        Cells Report;  // row:column=value of the built sheet
    } const cases[] = {
        {"totals.xlsx",
         {"'A1:B2'", "'A3:B3'", "'A4:B5'"},
         {"1:1=Order 1003", "2:1=Product", "2:2=Qty", "3:1=Hinges", "3:2=12", "4:1=Door handles", "4:2=6",
          "5:1=Screws 4x40", "5:2=300", "7:1=Total", "7:2==SUM(B3:B5)"}},
        {"plain.xlsx",
         {"'A1:B1'", "'A2:B2'"},
         {"1:1=Products", "2:1=Hinges", "2:2=12", "3:1=Door handles", "3:2=6", "4:1=Screws 4x40", "4:2=300"}},
        {"nofields.xlsx", {"'A1:B2'"}, {"1:1=Just a note", "2:2=with no field"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Template);
        const std::string form = std::string(c.Template) + ".tfm";
        const testing::TCommandRun made =
            Tabrix(std::string("new ") + c.Template + " --db example/sales.db --sql '" + kLines + "' -o " + form);
        ASSERT_EQ(made.Status, 0) << made.Err;
        EXPECT_EQ(made.Out, Folder + form + "\n");
        const std::string text = ReadFileBytes(Folder + form);
        EXPECT_THAT(text, HasSubstr("Database = 'example/sales.db'")) << "relative to the form's folder";
        EXPECT_THAT(text, HasSubstr(std::string("Template = '") + c.Template + "'"));
        EXPECT_THAT(text, HasSubstr("Bands.BandCount = " + std::to_string(c.Bands.size())));
        for (const std::string& range : c.Bands) EXPECT_THAT(text, HasSubstr("Bands.Range = " + range));

        const testing::TCommandRun run = Tabrix("run " + form + " -o out.xlsx");
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(SheetDump(Folder + "out.xlsx", "Lines"), c.Report);
    }
}

TEST_F(NewForm, WrongUsageAndFailuresAreTold) {
    if (!Made) GTEST_SKIP() << "python3-openpyxl is not installed";
    struct TCase {
        std::string Args;
        int Status;
        const char* Err;
    } const cases[] = {
        {"new plain.xlsx --sql 'select 1' -o x.tfm", 2, "--db FILE or --pg CONNINFO"},
        {"new plain.xlsx --db example/sales.db --pg 'dbname=x' --sql 'select 1' -o x.tfm", 2, "--db FILE or --pg"},
        {"new plain.xlsx --db example/sales.db -o x.tfm", 2, "--sql"},
        {"new plain.xlsx --db nowhere.db --sql 'select 1' -o x.tfm", 1, "nowhere.db"},
        {"new missing.xlsx --db example/sales.db --sql 'select 1' -o x.tfm", 1, "missing.xlsx"},
        {"new plain.xlsx --db example/sales.db --sql 'select * from nosuch' -o x.tfm", 1, "no such table: nosuch"},
        {"new plain.xlsx --db example/sales.db --sql 'select 1' --sheet Nope -o x.tfm", 2, "--sheet Nope"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args);
        const testing::TCommandRun run = Tabrix(c.Args);
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        EXPECT_THAT(run.Err, HasSubstr(c.Err));
        EXPECT_FALSE(FileExists(Folder + "x.tfm"));
    }
}

}  // namespace
}  // namespace tabrix
