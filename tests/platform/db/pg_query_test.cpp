// TSQLQuery on a real PostgreSQL server: the throw-away cluster that CTest
// starts (pg_cluster.sh); its connection string comes in TABRIX_PG_CONNINFO.
#include <unistd.h>

#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/rtl/locale.h"
#include "tests/platform/db/test_support.h"

namespace tabrix {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class PgQuery : public ::testing::Test {
protected:
    void SetUp() override {
        const char* conninfo = std::getenv("TABRIX_PG_CONNINFO");
        if (!conninfo) GTEST_SKIP() << "TABRIX_PG_CONNINFO is not set: run through ctest, which starts the server";
        FConninfo = conninfo;
        FDb = test::Make<TPgConnection>(FRoot.get(), "Pg");
        FDb->SetConnectionString(FConninfo);
        FDb->SetReadOnly(false);  // it sets the tables up
        // Temporary tables: each test process has its own.
        FDb->ExecSQL(R"(
            create temp table customers (id int primary key, name varchar(30), region text);
            insert into customers values (1, 'Alpha', 'North'), (2, 'Beta', 'South'), (3, 'Gamma', 'North');
            create temp table orders (id int, customer_id int, amount numeric(12,2), placed date);
            insert into orders values (10, 1, 100.50, '2024-01-05'), (11, 1, 20, '2024-01-06'),
                                      (12, 3, 7.25, '2024-02-01'), (13, 1, 1, '2024-03-01');
        )");
    }
    TSQLQuery* Query(const std::string& name, const std::string& sql) {
        auto* q = test::Make<TSQLQuery>(FRoot.get(), name);
        q->SetConnection(FDb);
        q->SQL()->SetText(sql);
        return q;
    }

    std::string FConninfo;
    std::unique_ptr<TComponent> FRoot = test::MakeRoot();
    TPgConnection* FDb = nullptr;
};

TEST_F(PgQuery, MasterDetailThroughDataSourceParametersOnOneConnection) {
    TSQLQuery* customers = Query("Customers", "select * from customers order by id");
    auto* src = test::Make<TDataSource>(FRoot.get(), "CustomersSrc");
    src->SetDataSet(customers);
    TSQLQuery* orders = Query("Orders", "select id, amount from orders where customer_id = :id order by id");
    orders->SetDataSource(src);
    customers->Open();
    orders->Open();
    EXPECT_THAT(test::MasterDetailLines(*customers, "NAME", *orders, "id"),
                ElementsAre("Alpha: 10 11 13", "Beta:", "Gamma: 12"));
    customers->Prior();
    EXPECT_TRUE(orders->IsEmpty());
    customers->First();
    EXPECT_THAT(test::WalkLikeReport(*orders, "id"), ElementsAre("10", "11", "13", "<11", ">13"));
    EXPECT_THAT(test::WalkLikeReport(*customers, "name"), ElementsAre("Alpha", "Beta", "Gamma", "<Beta", ">Gamma"));
}

TEST_F(PgQuery, TypesAndTheirTextsInTwoLocales) {
    TSQLQuery* q = Query("Types", R"(
        select 1::int2 as s, 42::int4 as i, 5000000000::int8 as big, 1.5::float4 as f4, 1234.5::float8 as f8,
               0.1::numeric(10,2) as n, 12.34::money as m, 'Text'::varchar(20) as vc, 'memo'::text as t,
               '2024-01-31'::date as d, '08:30:15'::time as tm, '2024-01-31 13:45:00'::timestamp as ts,
               true as b, null::int as nothing, '\x4142'::bytea as raw, -1234.75::float8 as neg)");
    q->Open();
    const std::pair<const char*, TFieldType> types[] = {
        {"s", TFieldType::ftInteger},  {"i", TFieldType::ftInteger},       {"big", TFieldType::ftLargeint},
        {"f4", TFieldType::ftFloat},   {"f8", TFieldType::ftFloat},        {"n", TFieldType::ftFMTBcd},
        {"m", TFieldType::ftCurrency}, {"vc", TFieldType::ftString},       {"t", TFieldType::ftMemo},
        {"d", TFieldType::ftDate},     {"tm", TFieldType::ftTime},         {"ts", TFieldType::ftDateTime},
        {"b", TFieldType::ftBoolean},  {"nothing", TFieldType::ftInteger}, {"raw", TFieldType::ftBlob}};
    for (const auto& [name, type] : types) EXPECT_EQ(q->FieldByName(name)->DataType(), type) << name;
    EXPECT_EQ(q->FieldByName("vc")->Size(), 20);
    {
        TFormatSettingsScope c(TFormatSettings::Invariant());
        EXPECT_EQ(q->FieldByName("s")->AsString(), "1");
        EXPECT_EQ(q->FieldByName("big")->AsString(), "5000000000");
        EXPECT_EQ(q->FieldByName("f4")->AsString(), "1.5");
        EXPECT_EQ(q->FieldByName("f8")->AsString(), "1234.5");
        EXPECT_EQ(q->FieldByName("n")->AsString(), "0.1");
        EXPECT_EQ(q->FieldByName("m")->AsString(), "12.34");
        EXPECT_EQ(q->FieldByName("t")->AsString(), "memo");
        EXPECT_EQ(q->FieldByName("tm")->AsString(), "8:30:15");
        EXPECT_EQ(q->FieldByName("b")->AsString(), "True");
        EXPECT_EQ(q->FieldByName("nothing")->AsString(), "");
        EXPECT_EQ(q->FieldByName("raw")->AsString(), "AB");
        EXPECT_EQ(q->FieldByName("neg")->AsString(), "-1234.75");
    }
    const TFormatSettings de = TFormatSettings::FromLocale("de_DE.UTF-8");
    ASSERT_EQ(de.DecimalSeparator, ',');
    TFormatSettingsScope scope(de);
    EXPECT_EQ(q->FieldByName("f8")->AsString(), "1234,5");
    EXPECT_EQ(q->FieldByName("n")->AsString(), "0,1");
    EXPECT_EQ(q->FieldByName("m")->AsString(), "12,34");
    EXPECT_EQ(q->FieldByName("d")->AsString(), "31.01.2024");
    EXPECT_EQ(q->FieldByName("ts")->AsString(), "31.01.2024 13:45:00");
    EXPECT_EQ(q->FieldByName("neg")->AsString(), "-1234,75");
    EXPECT_EQ(q->FieldByName("m")->AsFloat(), 12.34);
    EXPECT_EQ(q->FieldByName("n")->AsFloat(), 0.1);
    EXPECT_EQ(q->FieldByName("i")->AsInteger(), 42);
    EXPECT_THROW((void)q->FieldByName("vc")->AsFloat(), EConvertError);
}

TEST_F(PgQuery, NegativeMoneyAndTypedParameters) {
    TSQLQuery* q = Query("Money", "select (-1234.5)::money as m, :d::date + 1 as next, :t || '!' as shout");
    q->SetParamValue("d", Variant::FromDate(EncodeDate(2024, 2, 28)));
    q->SetParamValue("t", Variant("hi"));
    q->Open();
    EXPECT_EQ(q->FieldByName("m")->AsFloat(), -1234.5);
    EXPECT_EQ(q->FieldByName("next")->AsDateTime(), EncodeDate(2024, 2, 29));
    EXPECT_EQ(q->FieldByName("shout")->AsString(), "hi!");
}

TEST_F(PgQuery, ErrorsNameTheDataSetTheDatabaseAndTheSql) {
    TSQLQuery* bad = Query("Orders", "selec * from orders");
    const std::string e1 = test::OpenError(*bad);
    EXPECT_THAT(e1, HasSubstr("Orders: SQL error in database \"postgres on "));
    EXPECT_THAT(e1, HasSubstr("syntax error at or near \"selec\""));
    EXPECT_THAT(e1, HasSubstr("\nSQL: selec * from orders"));
    TSQLQuery* missing = Query("Missing", "select * from ordrs");
    EXPECT_THAT(test::OpenError(*missing), HasSubstr("relation \"ordrs\" does not exist"));
    // The connection stays usable after a failed statement.
    TSQLQuery* good = Query("Good", "select count(*) as n from orders");
    good->Open();
    EXPECT_EQ(good->FieldByName("n")->AsInteger(), 4);
}

TEST_F(PgQuery, AValueNoFieldTypeHoldsNamesTheFieldAndLeavesTheConnectionUsable) {
    TSQLQuery* q =
        Query("Dates", "select d from (values ('2024-01-01'::date), ('infinity'::date), ('2024-01-03')) v(d)");
    EXPECT_EQ(test::OpenError(*q), "Dates: Field 'd': 'infinity' is not a valid Date value");
    EXPECT_FALSE(q->Active());
    TSQLQuery* good = Query("Good", "select 1 as one");
    good->Open();
    EXPECT_EQ(good->FieldByName("one")->AsInteger(), 1);
}

// A table "orders" in a schema of this test process only, which a second
// connection finds through its search path; dropped at the end.
class PgReadOnly : public PgQuery {
protected:
    void SetUp() override {
        PgQuery::SetUp();
        if (IsSkipped()) return;
        FSchema = "readonly_" + std::to_string(::getpid());
        FDb->ExecSQL("drop schema if exists " + FSchema + " cascade; create schema " + FSchema + "; create table " +
                     FSchema + ".orders as select * from orders");
    }
    void TearDown() override {
        if (!FSchema.empty()) FDb->ExecSQL("drop schema " + FSchema + " cascade");
    }
    TPgConnection* Connection(const std::string& name) {
        auto* c = test::Make<TPgConnection>(FRoot.get(), name);
        c->SetConnectionString(FConninfo + " options='-c search_path=" + FSchema + "'");
        return c;
    }
    std::string Run(TPgConnection* connection, const std::string& sql) {
        TSQLQuery* q = test::Make<TSQLQuery>(FRoot.get(), "Q" + std::to_string(++FQueries));
        q->SetConnection(connection);
        q->SQL()->SetText(sql);
        return test::OpenError(*q);
    }
    int OrderCount() {
        TSQLQuery* q = Query("Count" + std::to_string(++FQueries), "select count(*) as n from " + FSchema + ".orders");
        q->Open();
        return static_cast<int>(q->FieldByName("n")->AsInteger());
    }
    std::string FSchema;
    int FQueries = 0;
};

TEST_F(PgReadOnly, AReportConnectionChangesNothing) {
    TPgConnection* reader = Connection("Reader");
    EXPECT_TRUE(reader->ReadOnly()) << "the default";
    const std::string refused = "the connection Reader is read-only (ReadOnly = False lets its queries write)";
    EXPECT_THAT(Run(reader, "delete from orders returning *"), HasSubstr(refused));
    // A statement that lifts the read-only default, or ends the transaction,
    // lasts only for itself: the next one is refused as well.
    for (const char* lift :
         {"set default_transaction_read_only = off", "set session characteristics as transaction read write",
          "select set_config('default_transaction_read_only', 'off', false)", "commit"}) {
        Run(reader, lift);
        EXPECT_THAT(Run(reader, "delete from orders returning *"), HasSubstr(refused)) << lift;
    }
    EXPECT_EQ(Run(reader, "select count(*) from orders"), "(no error)") << "reading works";
    EXPECT_EQ(OrderCount(), 4);
}

TEST_F(PgReadOnly, AConnectionThatSaysItWritesCanWrite) {
    TPgConnection* writer = Connection("Writer");
    writer->SetReadOnly(false);
    EXPECT_EQ(Run(writer, "delete from orders returning *"), "(no error)");
    EXPECT_EQ(OrderCount(), 0);
}

TEST_F(PgQuery, TheConnectionStringIsRefusedWhileConnectedAndExecErrorsNameTheConnection) {
    ASSERT_TRUE(FDb->Connected());
    try {
        FDb->SetConnectionString(FConninfo + " application_name=other");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Pg: Cannot change the connection string of an open connection");
    }
    EXPECT_EQ(FDb->ConnectionString(), FConninfo);
    try {
        FDb->ExecSQL("insert into nowhere values (1)");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("Pg: SQL error in database \"postgres on "));
        EXPECT_THAT(e.Message(), HasSubstr("relation \"nowhere\" does not exist"));
        EXPECT_THAT(e.Message(), HasSubstr("\nSQL: insert into nowhere values (1)"));
    }
}

TEST_F(PgQuery, AConnectionDestroyedUnderOpenQueriesClosesThemFirst) {
    TSQLQuery* q = Query("Customers", "select * from customers order by id");
    q->Open();
    auto* other = test::Make<TPgConnection>(FRoot.get(), "Other");
    other->SetConnectionString(FConninfo);
    TSQLQuery* count = Query("Count", "select count(*) as n from pg_prepared_statements");
    count->SetConnection(other);
    count->Open();
    EXPECT_EQ(count->FieldByName("n")->AsInteger(), 1) << "its own statement only";
    delete FDb;  // its prepared statement goes with it, while it is still connected
    FDb = nullptr;
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->Connection(), nullptr);
    q->SetConnection(other);
    q->SQL()->SetText("select 1 as one");
    q->Open();
    EXPECT_EQ(q->FieldByName("one")->AsInteger(), 1);
}

TEST_F(PgQuery, AMissingDatabaseNamesItAndNoPassword) {
    auto* other = test::Make<TPgConnection>(FRoot.get(), "Other");
    other->SetConnectionString(FConninfo + " dbname=no_such_db password=secret");
    try {
        other->Open();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("Other: Cannot open database \"no_such_db on "));
        EXPECT_THAT(e.Message(), HasSubstr("does not exist"));
        EXPECT_THAT(e.Message(), Not(HasSubstr("secret")));
    }
}

}  // namespace
}  // namespace tabrix
