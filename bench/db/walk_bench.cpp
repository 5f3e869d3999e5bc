// Walking a large SQLite result the way a report reads it: every record,
// every field through AsString. A million rows of a typical order table
// (integers, a text, a real, a date, a money column); counters give the
// rows per second and the memory the walk needed (peak resident size, and
// the growth of it during the walk). Also the cost of a detail query that
// runs again for every master record.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/db/db.h"

namespace {

constexpr int kRows = 1000000;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The database file, made once per run with the plain SQLite interface.
class Database {
public:
    Database() : FName("/tmp/tabrix-bench-walk-" + std::to_string(getpid()) + ".db") {
        sqlite3* db = nullptr;
        if (sqlite3_open(FName.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + FName);
        const char* sql =
            "pragma journal_mode = off; pragma synchronous = off;"
            "create table orders (id integer primary key, customer varchar(40), qty integer, price real,"
            "                     placed date, total money);"
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000)"
            "insert into orders select i, 'Customer ' || (i % 997), i % 50, (i % 1000) / 8.0,"
            "  date('2020-01-01', '+' || (i % 1500) || ' days'), (i % 10000) / 100.0 from n;";
        char* error = nullptr;
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
        sqlite3_free(error);
        sqlite3_close(db);
        if (rc != SQLITE_OK) throw std::runtime_error("cannot fill " + FName);
    }
    ~Database() { std::remove(FName.c_str()); }
    const std::string& Name() const { return FName; }

private:
    std::string FName;
};

const Database& TheDatabase() {
    static const Database db;
    return db;
}

void BM_WalkSqliteAsString(benchmark::State& state) {
    const std::string& file = TheDatabase().Name();
    size_t bytes = 0;
    long growthKiB = 0;
    for (auto _ : state) {
        auto root = std::make_unique<tabrix::TComponent>();
        auto* db = new tabrix::TSQLiteConnection(root.get());
        db->SetDatabase(file);
        auto* q = new tabrix::TSQLQuery(root.get());
        q->SetName("Orders");
        q->SetConnection(db);
        q->SQL()->SetText("select * from orders order by id");
        const long before = ResidentKiB();
        q->Open();
        const std::vector<tabrix::TField*>& fields = q->Fields();
        int rows = 0;
        for (q->First(); !q->Eof(); q->Next()) {
            for (tabrix::TField* f : fields) bytes += f->AsString().size();
            ++rows;
        }
        growthKiB = ResidentKiB() - before;
        if (rows != kRows) state.SkipWithError("wrong row count");
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["rows"] = kRows;
    state.counters["walk_rss_growth_MiB"] = static_cast<double>(growthKiB) / 1024.0;
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakResidentKiB()) / 1024.0;
}
BENCHMARK(BM_WalkSqliteAsString)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same walk reading numbers where numbers are wanted (totals): AsFloat.
void BM_WalkSqliteAsFloat(benchmark::State& state) {
    const std::string& file = TheDatabase().Name();
    double sum = 0;
    for (auto _ : state) {
        auto root = std::make_unique<tabrix::TComponent>();
        auto* db = new tabrix::TSQLiteConnection(root.get());
        db->SetDatabase(file);
        auto* q = new tabrix::TSQLQuery(root.get());
        q->SetConnection(db);
        q->SQL()->SetText("select qty, price, total from orders");
        q->Open();
        tabrix::TField* qty = q->FieldByName("qty");
        tabrix::TField* price = q->FieldByName("price");
        tabrix::TField* total = q->FieldByName("total");
        for (q->First(); !q->Eof(); q->Next()) sum += qty->AsFloat() * price->AsFloat() + total->AsFloat();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WalkSqliteAsFloat)->Unit(benchmark::kMillisecond)->Iterations(3);

// Master/detail through DataSource parameters: the detail query runs again
// at every master move (a compiled statement, new parameter values).
void BM_DetailQueryPerMasterRecord(benchmark::State& state) {
    const std::string& file = TheDatabase().Name();
    const int masters = static_cast<int>(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        auto root = std::make_unique<tabrix::TComponent>();
        auto* db = new tabrix::TSQLiteConnection(root.get());
        db->SetDatabase(file);
        auto* master = new tabrix::TSQLQuery(root.get());
        master->SetConnection(db);
        master->SQL()->SetText("select id from orders where id <= " + std::to_string(masters) + " order by id");
        auto* src = new tabrix::TDataSource(root.get());
        src->SetDataSet(master);
        auto* detail = new tabrix::TSQLQuery(root.get());
        detail->SetConnection(db);
        detail->SetDataSource(src);
        detail->SQL()->SetText("select customer, qty, price from orders where id between :id and :id + 2");
        master->Open();
        detail->Open();
        for (master->First(); !master->Eof(); master->Next())
            for (detail->First(); !detail->Eof(); detail->Next())
                for (tabrix::TField* f : detail->Fields()) bytes += f->AsString().size();
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * masters);
}
BENCHMARK(BM_DetailQueryPerMasterRecord)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
