// tabrix run against PostgreSQL (the throw-away server of the data tests):
// the example form with its SQLite connection turned into a PostgreSQL one,
// given by --connection; the report matches the SQLite run, and no message
// or progress line shows the password.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/db.h"
#include "tests/cli/run_command.h"

namespace tabrix {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSecret = "Pg-Secret-42";

// The example's tables in a schema of this test process, copied from sales.db.
std::string CopyExampleToSchema(TPgConnection& pg, const std::string& sqliteFile) {
    const std::string schema = "tbx_cli_" + std::to_string(::getpid());
    pg.ExecSQL("drop schema if exists " + schema + " cascade; create schema " + schema +
               "; set search_path = " + schema +
               ";"
               "create table customers (id int primary key, region text, name text);"
               "create table orders (id int primary key, customer_id int, ordered date);"
               "create table order_lines (id int primary key, order_id int, product text, qty int, price float8);");
    TSQLiteConnection db;
    db.SetDatabase(sqliteFile);
    TSQLQuery rows;
    rows.SetConnection(&db);
    // Texts in the file formats, not the user's locale.
    const std::pair<const char*, const char*> tables[] = {
        {"customers", "select id, region, name from customers"},
        {"orders", "select id, customer_id, '' || ordered from orders"},
        {"order_lines", "select id, order_id, product, qty, printf('%.2f', price) from order_lines"},
    };
    for (const auto& [table, select] : tables) {
        rows.Close();
        rows.SQL()->SetText(select);
        rows.Open();
        std::string insert;
        for (rows.First(); !rows.Eof(); rows.Next()) {
            std::string values;
            for (TField* f : rows.Fields()) {
                std::string text = f->AsString();
                for (size_t at = 0; (at = text.find('\'', at)) != std::string::npos; at += 2) text.insert(at, "'");
                values += (values.empty() ? "'" : ", '") + text + "'";
            }
            insert += std::string("insert into ") + table + " values (" + values + ");";
        }
        pg.ExecSQL(insert);
    }
    return schema;
}

class RunOnPostgres : public testing::TExampleFolder {
protected:
    void SetUp() override {
        const char* conninfo = std::getenv("TABRIX_PG_CONNINFO");
        if (!conninfo) GTEST_SKIP() << "TABRIX_PG_CONNINFO is not set: run through ctest, which starts the server";
        TExampleFolder::SetUp();
        FServer = std::make_unique<TPgConnection>();
        FServer->SetConnectionString(conninfo);
        FServer->SetReadOnly(false);  // the test's own set-up writes
        Schema = CopyExampleToSchema(*FServer, Example + "sales.db");
        Conninfo = std::string(conninfo) + " options='-c search_path=" + Schema + "' password=" + kSecret;

        std::string form = ReadFileBytes(Example + "sales.tfm");
        const std::string sqlite = "object Db: TSQLiteConnection\n    Database = 'sales.db'";
        ASSERT_NE(form.find(sqlite), std::string::npos);
        form.replace(form.find(sqlite), sqlite.size(),
                     "object Db: TPgConnection\n    ConnectionString = 'host=/nonexistent dbname=nowhere'");
        // Progress lines on standard error too, to see that they hide the password.
        const std::string options = "Options = [tbxoTotalsAsFormula]\n    SubReport";
        ASSERT_NE(form.find(options), std::string::npos);
        form.replace(form.find(options), options.size(),
                     "Options = [tbxoTotalsAsFormula, tbxoShowProgress]\n    SubReport");
        WriteFileBytes(Example + "pg.tfm", form);
    }
    void TearDown() override {
        if (FServer && !Schema.empty()) FServer->ExecSQL("drop schema if exists " + Schema + " cascade");
        TExampleFolder::TearDown();
    }
    testing::TCommandRun RunPg(const std::string& conninfo, const std::string& more) {
        return Tabrix("run example/pg.tfm --connection \"Db=" + conninfo + "\" " + more);
    }

    std::string Schema, Conninfo;

private:
    std::unique_ptr<TPgConnection> FServer;
};

TEST_F(RunOnPostgres, TheReportMatchesTheSqliteRunForTheSamePeriod) {
    const std::string period = "--param from=2026-01-10 --param Orders.to=2026-01-20";
    const testing::TCommandRun pg = RunPg(Conninfo, period + " -o pg.xlsx");
    ASSERT_EQ(pg.Status, 0) << pg.Err;
    EXPECT_EQ(pg.Out, Folder + "pg.xlsx\n");
    EXPECT_THAT(pg.Err, Not(HasSubstr(kSecret)));
    const testing::TCommandRun lite = Tabrix("run example/sales.tfm " + period + " -o lite.xlsx");
    ASSERT_EQ(lite.Status, 0) << lite.Err;
    EXPECT_EQ(OrderIds(Folder + "pg.xlsx"), (std::vector<std::string>{"1002", "1004", "1006", "1007"}));
    EXPECT_EQ(SheetDump(Folder + "pg.xlsx", "Report"), SheetDump(Folder + "lite.xlsx", "Report"));
    EXPECT_EQ(SheetDump(Folder + "pg.xlsx", "Products"), SheetDump(Folder + "lite.xlsx", "Products"));
}

TEST_F(RunOnPostgres, ErrorsNameWhatFailedButNeverThePassword) {
    struct TCase {
        const char* Name;
        std::string Conninfo;
        std::string More;
        int Status;
        std::string Err;
    } const cases[] = {
        {"no such database", Conninfo + " dbname=nosuch_db", "", 1, "nosuch_db"},
        {"unknown keyword", "host=/tmp frobnicate=1 password=" + std::string(kSecret), "", 1, "frobnicate"},
        {"bad URI", "postgresql://ann:" + std::string(kSecret) + "@%zz/db", "", 1, "Db"},
        {"URI password", "postgresql://ann:" + std::string(kSecret) + "@/nosuch_db?host=/nonexistent", "", 1,
         "nosuch_db"},
        {"unknown parameter", Conninfo, "--param nope=1", 2, "no query of the form has a parameter \"nope\""},
        {"malformed value", Conninfo, "--param from=2026-1-1x", 2, "takes a date (YYYY-MM-DD)"},
        {"unknown connection", Conninfo, "--connection 'Pg=x'", 2, "the form has no connection named \"Pg\""},
        {"unknown table", Conninfo + " options='-c search_path=public'", "", 1, "orders"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const testing::TCommandRun run = RunPg(c.Conninfo, c.More + " -o bad.xlsx");
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        EXPECT_THAT(run.Err, HasSubstr(c.Err));
        EXPECT_THAT(run.Err, Not(HasSubstr(kSecret)));
        EXPECT_THAT(run.Err, Not(HasSubstr("Pg-Secret")));
        EXPECT_FALSE(FileExists(Folder + "bad.xlsx"));
    }
}

TEST_F(RunOnPostgres, APasswordWrittenInTheFormIsHiddenToo) {
    std::string form = ReadFileBytes(Example + "pg.tfm");
    const std::string given = "ConnectionString = 'host=/nonexistent dbname=nowhere'";
    form.replace(form.find(given), given.size(),
                 "ConnectionString = 'host=/nonexistent dbname=nowhere password=" + std::string(kSecret) + "'");
    WriteFileBytes(Example + "pg.tfm", form);
    const testing::TCommandRun run = Tabrix("run example/pg.tfm -o bad.xlsx");
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(run.Err, HasSubstr("nowhere"));
    EXPECT_THAT(run.Err, Not(HasSubstr(kSecret)));
}

}  // namespace
}  // namespace tabrix
