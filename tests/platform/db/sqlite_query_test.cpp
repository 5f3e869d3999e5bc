#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/db/limits.h"
#include "platform/rtl/files.h"
#include "platform/rtl/locale.h"
#include "tests/platform/db/test_support.h"

namespace tabrix {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* kSalesDb = R"(
create table customers (id integer primary key, name varchar(30), region text);
insert into customers values (1, 'Alpha', 'North'), (2, 'Beta', 'South'), (3, 'Gamma', 'North');
create table orders (id integer primary key, customer_id integer, amount real, placed date);
insert into orders values (10, 1, 100.5, '2024-01-05'), (11, 1, 20, '2024-01-06'), (12, 3, 7.25, '2024-02-01'),
                          (13, 1, 1, '2024-03-01');
create table lines (order_id integer, sku text, qty integer);
insert into lines values (10, 'A', 1), (10, 'B', 2), (12, 'C', 3);
)";

class SqliteQuery : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeSqliteDatabase(FDir.File("sales.db"), kSalesDb);
        FDb = test::Make<TSQLiteConnection>(FRoot.get(), "Db");
        FDb->SetDatabase(FDir.File("sales.db"));
    }
    TSQLQuery* Query(const std::string& name, const std::string& sql) {
        auto* q = test::Make<TSQLQuery>(FRoot.get(), name);
        q->SetConnection(FDb);
        q->SQL()->SetText(sql);
        return q;
    }

    test::TempFolder FDir;
    std::unique_ptr<TComponent> FRoot = test::MakeRoot();
    TSQLiteConnection* FDb = nullptr;
};

TEST_F(SqliteQuery, AFieldLookedUpOnceFollowsTheDataSetWhenItIsReopened) {
    TSQLQuery* q = Query("Customers", "select id, name from customers order by id");
    q->Open();
    TDataSet::TFieldRef cache;
    EXPECT_EQ(q->FieldByName("NAME", cache)->AsString(), "Alpha");
    q->Next();
    EXPECT_EQ(q->FieldByName("name", cache)->AsString(), "Beta");
    // New fields in new places: the remembered one is not used again.
    q->Close();
    q->SQL()->SetText("select region, name from customers order by id desc");
    q->Open();
    EXPECT_EQ(q->FieldByName("name", cache)->AsString(), "Gamma");
    EXPECT_EQ(cache.Index, 1u);
    TDataSet::TFieldRef missing;
    EXPECT_THROW(q->FieldByName("nothing", missing), EDatabaseError);
}

TEST_F(SqliteQuery, WalksAResult) {
    TSQLQuery* q = Query("Customers", "select * from customers order by id");
    q->Open();
    EXPECT_TRUE(FDb->Connected()) << "a query opens its connection";
    EXPECT_THAT(test::WalkLikeReport(*q, "name"), ElementsAre("Alpha", "Beta", "Gamma", "<Beta", ">Gamma"));
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(SqliteQuery, DetailQueryFollowsItsMasterThroughDataSourceParameters) {
    TSQLQuery* customers = Query("Customers", "select * from customers order by id");
    auto* src = test::Make<TDataSource>(FRoot.get(), "CustomersSrc");
    src->SetDataSet(customers);
    TSQLQuery* orders = Query("Orders", "select * from orders where customer_id = :id order by id");
    orders->SetDataSource(src);
    customers->Open();
    orders->Open();

    EXPECT_THAT(test::MasterDetailLines(*customers, "name", *orders, "id"),
                ElementsAre("Alpha: 10 11 13", "Beta:", "Gamma: 12"));
    // Backward and forward again: the detail follows every move.
    customers->Prior();
    EXPECT_EQ(customers->FieldByName("name")->AsString(), "Beta");
    EXPECT_TRUE(orders->Eof() && orders->Bof());
    customers->Next();
    EXPECT_THAT(test::WalkLikeReport(*orders, "id"), ElementsAre("12", "<12", ">12"));
    customers->First();
    EXPECT_THAT(test::WalkLikeReport(*orders, "id"), ElementsAre("10", "11", "13", "<11", ">13"));
}

TEST_F(SqliteQuery, ADetailOpenedBeforeItsMasterFollowsWhenTheMasterOpens) {
    TSQLQuery* customers = Query("Customers", "select * from customers where id = 3");
    auto* src = test::Make<TDataSource>(FRoot.get(), "CustomersSrc");
    src->SetDataSet(customers);
    TSQLQuery* orders = Query("Orders", "select id from orders where customer_id = :id");
    orders->SetDataSource(src);
    orders->Open();
    EXPECT_TRUE(orders->IsEmpty()) << "no master record: the parameter is null";
    customers->Open();
    EXPECT_EQ(orders->FieldByName("id")->AsString(), "12");
    customers->Close();
    EXPECT_TRUE(orders->IsEmpty());
}

TEST_F(SqliteQuery, ThreeLevelsFollowEachOther) {
    TSQLQuery* customers = Query("Customers", "select * from customers order by id");
    auto* cs = test::Make<TDataSource>(FRoot.get(), "CustomersSrc");
    cs->SetDataSet(customers);
    TSQLQuery* orders = Query("Orders", "select id as order_id from orders where customer_id = :id order by id");
    orders->SetDataSource(cs);
    auto* os = test::Make<TDataSource>(FRoot.get(), "OrdersSrc");
    os->SetDataSet(orders);
    TSQLQuery* lines = Query("Lines", "select sku from lines where order_id = :order_id order by sku");
    lines->SetDataSource(os);
    customers->Open();
    orders->Open();
    lines->Open();
    EXPECT_THAT(test::WalkLikeReport(*lines, "sku"), ElementsAre("A", "B", "<A", ">B"));
    customers->Last();  // Gamma: order 12
    EXPECT_EQ(lines->FieldByName("sku")->AsString(), "C");
}

TEST_F(SqliteQuery, ParametersFromCodeFromParamsAndFromTheMaster) {
    TSQLQuery* q = Query("Orders", "select count(*) as n, sum(amount) as total from orders where customer_id = :c");
    q->Params()->Add("c=3");
    q->Open();
    EXPECT_EQ(q->FieldByName("n")->AsInteger(), 1);
    q->SetParamValue("C", Variant(1));  // code wins over Params, names ignore case
    EXPECT_EQ(q->FieldByName("n")->AsInteger(), 3) << "a new value opens the query again";
    EXPECT_EQ(q->FieldByName("total")->AsFloat(), 121.5);
    EXPECT_EQ(q->FieldByName("n")->DataType(), TFieldType::ftLargeint) << "an expression takes its value's type";
    EXPECT_THAT(q->ParamNames(), ElementsAre("c"));

    TSQLQuery* unbound = Query("Unbound", "select * from orders where id = :id");
    EXPECT_EQ(test::OpenError(*unbound), "Unbound: No value for parameter 'id'");
}

TEST_F(SqliteQuery, DatesAsParametersMatchStoredDates) {
    TSQLQuery* q = Query("Orders", "select id from orders where placed >= :since order by id");
    q->SetParamValue("since", Variant::FromDate(EncodeDate(2024, 2, 1)));
    q->Open();
    EXPECT_THAT(test::WalkLikeReport(*q, "id"), ElementsAre("12", "13", "<12", ">13"));
}

TEST_F(SqliteQuery, ExpressionColumnsWidenAsValuesNeed) {
    TSQLQuery* q = Query("Mixed", "select null as v union all select 1 union all select 2.5 union all select 'x'");
    q->Open();
    EXPECT_EQ(q->RecordCount(), 4);
    TFormatSettingsScope c(TFormatSettings::Invariant());
    q->First();
    EXPECT_TRUE(q->FieldByName("v")->IsNull());
    q->Next();
    EXPECT_EQ(q->FieldByName("v")->AsString(), "1");
    q->Next();
    EXPECT_EQ(q->FieldByName("v")->AsString(), "2.5");
    q->Next();
    EXPECT_EQ(q->FieldByName("v")->AsString(), "x");
}

TEST_F(SqliteQuery, ALargeResultIsReadAsTheWalkGoes) {
    test::MakeSqliteDatabase(FDir.File("big.db"),
                             "create table n (v integer);"
                             "with recursive c(x) as (select 1 union all select x + 1 from c where x < 5000)"
                             "insert into n select x from c;");
    FDb->Close();
    FDb->SetDatabase(FDir.File("big.db"));
    TSQLQuery* q = Query("Numbers", "select v from n order by v");
    q->Open();
    int64_t sum = 0, count = 0;
    for (q->First(); !q->Eof(); q->Next()) sum += q->FieldByName("v")->AsInteger(), ++count;
    EXPECT_EQ(count, 5000);
    EXPECT_EQ(sum, 5000 * 5001 / 2);
    q->Prior();
    EXPECT_EQ(q->FieldByName("v")->AsInteger(), 4999);
    q->First();
    EXPECT_EQ(q->FieldByName("v")->AsInteger(), 1) << "records already read are kept for First";
}

// Beyond its first batch a result is stepped ahead on a thread of its own:
// every kind of value arrives as it would directly, columns still widen
// in later batches, the connection's other statements run meanwhile, a
// step that fails after many rows keeps those rows, and a data set closed
// half-way stops the stepping.
TEST_F(SqliteQuery, AResultSteppedAheadArrivesWholeWhileTheConnectionWorksOn) {
    test::MakeSqliteDatabase(FDir.File("big.db"),
                             "create table n (v integer, t text, r real, b blob);"
                             "with recursive c(x) as (select 1 union all select x + 1 from c where x < 3000)"
                             "insert into n select x, 'row ' || x, x / 4.0, case when x % 7 = 0 then x'00ff' end "
                             "from c;");
    FDb->Close();
    FDb->SetDatabase(FDir.File("big.db"));
    TFormatSettingsScope invariant(TFormatSettings::Invariant());
    TSQLQuery* q =
        Query("Numbers", "select v, t, r, b, case when v < 2000 then v else 'x' || v end as e from n order by v");
    TSQLQuery* side = Query("Side", "select count(*) as c from n where v <= 1500");
    q->Open();
    int count = 0;
    for (q->First(); !q->Eof(); q->Next()) {
        const int v = ++count;
        ASSERT_EQ(q->FieldByName("v")->AsInteger(), v);
        ASSERT_EQ(q->FieldByName("t")->AsString(), "row " + std::to_string(v));
        ASSERT_EQ(q->FieldByName("r")->AsFloat(), v / 4.0);
        ASSERT_EQ(q->FieldByName("b")->IsNull(), v % 7 != 0) << v;
        if (v % 7 == 0) {
            ASSERT_EQ(q->FieldByName("b")->AsString(), std::string("\0\xff", 2));
        }
        ASSERT_EQ(q->FieldByName("e")->AsString(), v < 2000 ? std::to_string(v) : "x" + std::to_string(v));
        if (v == 1000) {
            side->Open();
            EXPECT_EQ(side->FieldByName("c")->AsInteger(), 1500);
            side->Close();
        }
    }
    EXPECT_EQ(count, 3000);
    q->Close();

    TSQLQuery* failing = Query("Failing",
                               "select v, case when v = 2000 then abs(-9223372036854775807 - 1) else v end as w "
                               "from n");  // no sort: the value fails when its row is stepped
    failing->Open();
    int read = 0;
    std::string error;
    try {
        for (; !failing->Eof(); failing->Next()) ++read;
    } catch (const EDatabaseError& e) {
        error = e.Message();
    }
    // The walk stops at the batch that met the failure.
    EXPECT_EQ(read % static_cast<int>(kFetchBatchRecords), 0);
    EXPECT_GE(read, 2000 - static_cast<int>(kFetchBatchRecords));
    EXPECT_LT(read, 2000);
    EXPECT_THAT(error, HasSubstr("integer overflow"));
    failing->Close();

    for (int i = 0; i < 20; ++i) {  // closed early, again and again
        q->Open();
        for (int k = 0; k < 300; ++k) q->Next();
        EXPECT_EQ(q->FieldByName("v")->AsInteger(), 301);
        q->Close();
    }
}

TEST_F(SqliteQuery, ErrorsNameTheDataSetTheDatabaseAndTheSql) {
    const std::string db = FDir.File("sales.db");
    TSQLQuery* bad = Query("Orders", "selec * from orders");
    EXPECT_EQ(test::OpenError(*bad),
              "Orders: SQL error in database \"" + db + "\": near \"selec\": syntax error\nSQL: selec * from orders");
    TSQLQuery* missing = Query("Missing", "select * from ordrs where id = :id");
    missing->SetParamValue("id", Variant(1));
    EXPECT_EQ(test::OpenError(*missing), "Missing: SQL error in database \"" + db +
                                             "\": no such table: ordrs\nSQL: select * from ordrs where id = :id");
    TSQLQuery* two = Query("Two", "select 1; select 2");
    EXPECT_THAT(test::OpenError(*two), HasSubstr("more than one statement"));
    TSQLQuery* empty = Query("Empty", "  ");
    EXPECT_EQ(test::OpenError(*empty), "Empty: The SQL text is empty");
    auto* lonely = test::Make<TSQLQuery>(FRoot.get(), "Lonely");
    lonely->SQL()->SetText("select 1");
    EXPECT_EQ(test::OpenError(*lonely), "Lonely: No connection assigned");
    EXPECT_FALSE(bad->Active());
}

TEST_F(SqliteQuery, ABadValueInATypedColumnNamesTheFieldAndTheDataSet) {
    test::MakeSqliteDatabase(FDir.File("bad.db"), "create table t (d date); insert into t values ('soon');");
    FDb->SetDatabase(FDir.File("bad.db"));
    TSQLQuery* q = Query("Dates", "select d from t");
    EXPECT_EQ(test::OpenError(*q), "Dates: Field 'd': 'soon' is not a valid Date value");
}

TEST_F(SqliteQuery, AMissingDatabaseIsAnErrorAndNotCreated) {
    TSQLiteConnection* db = test::Make<TSQLiteConnection>(FRoot.get(), "Gone");
    db->SetDatabase(FDir.File("nothere.db"));
    try {
        db->Open();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Gone: Database file \"" + FDir.File("nothere.db") + "\" does not exist");
    }
    EXPECT_FALSE(FileExists(FDir.File("nothere.db")));
    TSQLiteConnection* notDb = test::Make<TSQLiteConnection>(FRoot.get(), "NotDb");
    FDir.Write("text.db", "this is not a database, just some text long enough to fill a header page");
    notDb->SetDatabase(FDir.File("text.db"));
    TSQLQuery* q = test::Make<TSQLQuery>(FRoot.get(), "Q");
    q->SetConnection(notDb);
    q->SQL()->SetText("select 1 from t");
    EXPECT_THAT(test::OpenError(*q), HasSubstr("file is not a database"));
}

// Statements that would change the database, through a connection that
// has not said it writes.
const char* const kWrites[] = {
    "delete from orders returning *",
    "update customers set name = 'X' returning id",
    "insert into lines values (13, 'D', 1) returning *",
    "create table notes (text)",
};

TEST_F(SqliteQuery, AReadOnlyConnectionChangesNothing) {
    EXPECT_TRUE(FDb->ReadOnly()) << "the default";
    const std::string before = ReadFileBytes(FDb->FileName());
    int n = 0;
    for (const char* sql : kWrites) {
        TSQLQuery* q = Query("Writer" + std::to_string(++n), sql);
        EXPECT_EQ(test::OpenError(*q), q->Name() + ": SQL error in database \"" + FDb->FileName() +
                                           "\": the statement would change the database, and the connection Db is "
                                           "read-only (ReadOnly = False lets its queries write)\nSQL: " +
                                           sql);
    }
    // Past the statement check the open flag holds: nothing is written.
    EXPECT_THROW(FDb->ExecSQL("delete from orders"), EDatabaseError);
    EXPECT_EQ(ReadFileBytes(FDb->FileName()), before);
    TSQLQuery* count = Query("Count", "select count(*) as n from orders");
    count->Open();
    EXPECT_EQ(count->FieldByName("n")->AsInteger(), 4);
}

TEST_F(SqliteQuery, AConnectionThatSaysItWritesCanWrite) {
    EXPECT_THROW(
        {
            FDb->Open();
            FDb->SetReadOnly(false);
        },
        EDatabaseError)
        << "not while connected";
    FDb->Close();
    FDb->SetReadOnly(false);
    TSQLQuery* q = Query("Writer", "delete from orders returning id");
    q->Open();
    EXPECT_EQ(q->RecordCount(), 4);
    FDb->Close();
    FDb->SetReadOnly(true);
    TSQLQuery* count = Query("Count", "select count(*) as n from orders");
    count->Open();
    EXPECT_EQ(count->FieldByName("n")->AsInteger(), 0);
}

TEST_F(SqliteQuery, ARelativeDatabaseIsTakenFromTheApplicationFolder) {
    const std::string saved = ApplicationFolder();
    SetApplicationFolder(FDir.Path());
    TSQLiteConnection* db = test::Make<TSQLiteConnection>(FRoot.get(), "Rel");
    db->SetDatabase(" sales.db ");
    EXPECT_EQ(db->FileName(), FDir.File("sales.db"));
    db->Open();
    EXPECT_TRUE(db->Connected());
    SetApplicationFolder(saved);
}

TEST_F(SqliteQuery, ClosingTheConnectionClosesItsQueries) {
    TSQLQuery* q = Query("Customers", "select * from customers");
    q->Open();
    FDb->Close();
    EXPECT_FALSE(q->Active());
    q->Open();
    EXPECT_TRUE(FDb->Connected());
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(SqliteQuery, TheDatabaseIsRefusedWhileConnectedAndExecErrorsNameTheConnection) {
    const std::string db = FDir.File("sales.db");
    FDb->Open();
    FDb->SetDatabase(db);  // the same name: nothing to refuse
    try {
        FDb->SetDatabase(FDir.File("other.db"));
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Db: Cannot change the database of an open connection");
    }
    EXPECT_EQ(FDb->Database(), db);
    try {
        FDb->ExecSQL("insert into nowhere values (1)");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Db: SQL error in database \"" + db +
                                   "\": no such table: nowhere\nSQL: insert into nowhere values (1)");
    }
    FDb->Close();
    FDb->SetDatabase(FDir.File("other.db"));
    EXPECT_EQ(FDb->Database(), FDir.File("other.db"));
}

TEST_F(SqliteQuery, AConnectionDestroyedUnderOpenQueriesClosesThemFirst) {
    TSQLQuery* q = Query("Customers", "select * from customers order by id");
    TSQLQuery* detail = Query("Orders", "select * from orders where customer_id = :id");
    detail->SetParamValue("id", Variant(1));
    q->Open();
    detail->Open();
    q->Next();  // a result half read: its statement is still running
    delete FDb;
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->Connection(), nullptr);
    EXPECT_EQ(detail->Connection(), nullptr);
    FDb = test::Make<TSQLiteConnection>(FRoot.get(), "Again");
    FDb->SetDatabase(FDir.File("sales.db"));
    q->SetConnection(FDb);
    q->Open();
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(SqliteQuery, ChangingTheSqlClosesTheQuery) {
    TSQLQuery* q = Query("Customers", "select * from customers");
    q->Open();
    q->SQL()->SetText("select name from customers where id = 2");
    EXPECT_FALSE(q->Active());
    q->Open();
    EXPECT_EQ(q->FieldCount(), 1);
    EXPECT_EQ(q->FieldByName("name")->AsString(), "Beta");
}

}  // namespace
}  // namespace tabrix
