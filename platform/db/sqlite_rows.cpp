#include "platform/db/sqlite_rows.h"

#include <exception>
#include <utility>

namespace tabrix {

namespace {

// Batches the stepper keeps ready: enough that the reader seldom waits,
// few enough that a result nobody reads to its end costs little.
constexpr size_t kBatchesAhead = 4;

}  // namespace

void TSqliteRows::Clear() {
    FValues.clear();
    FBytes.clear();
}

void TSqliteRows::AddRow(sqlite3_stmt* stmt, int columns) {
    FColumns = columns;
    for (int c = 0; c < columns; ++c) {
        TValue& v = FValues.emplace_back();
        v.Kind = sqlite3_column_type(stmt, c);
        switch (v.Kind) {
            case SQLITE_INTEGER:
                v.Integer = sqlite3_column_int64(stmt, c);
                v.Float = static_cast<double>(v.Integer);
                break;
            case SQLITE_FLOAT:
                v.Float = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const void* p = v.Kind == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(stmt, c))
                                                      : sqlite3_column_blob(stmt, c);
                const auto n = static_cast<size_t>(sqlite3_column_bytes(stmt, c));
                v.Begin = static_cast<uint32_t>(FBytes.size());
                v.Length = static_cast<uint32_t>(n);
                if (p) FBytes.append(static_cast<const char*>(p), n);
                break;
            }
            default:
                break;
        }
    }
}

double TSqliteRows::Float(size_t row, int column) const { return Value(row, column).Float; }

std::string_view TSqliteRows::Bytes(size_t row, int column) const {
    const TValue& v = Value(row, column);
    return std::string_view(FBytes).substr(v.Begin, v.Length);
}

bool TSqliteStepper::Possible() { return sqlite3_threadsafe() != 0; }

TSqliteStepper::TSqliteStepper(sqlite3_stmt* stmt, sqlite3* db, int columns, size_t batchRows)
    : FStmt(stmt), FDb(db), FColumns(columns), FBatchRows(batchRows), FThread([this] { Run(); }) {}

TSqliteStepper::~TSqliteStepper() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TSqliteStepper::Step(sqlite3_stmt* stmt, sqlite3* db, int columns, size_t maxRows, TSqliteRows& rows, bool& done,
                          std::string& error) {
    rows.Clear();
    done = false;
    error.clear();
    // The connection's mutex spans the step and its message, which another
    // statement of the connection could otherwise replace in between.
    sqlite3_mutex* dbMutex = sqlite3_db_mutex(db);
    while (rows.RowCount() < maxRows) {
        sqlite3_mutex_enter(dbMutex);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            rows.AddRow(stmt, columns);
            sqlite3_mutex_leave(dbMutex);
            continue;
        }
        if (rc == SQLITE_DONE) {
            sqlite3_reset(stmt);
            done = true;
        } else {
            const char* message = sqlite3_errmsg(db);
            error = message && *message ? message : sqlite3_errstr(rc);
        }
        sqlite3_mutex_leave(dbMutex);
        return;
    }
}

void TSqliteStepper::Run() {
    for (;;) {
        TBatch batch;
        {
            std::unique_lock lock(FMutex);
            FChanged.wait(lock, [this] { return FStop || FReady.size() < kBatchesAhead; });
            if (FStop) return;
            if (!FSpare.empty()) {
                batch.Rows = std::move(FSpare.back());
                FSpare.pop_back();
            }
        }
        try {
            Step(FStmt, FDb, FColumns, FBatchRows, batch.Rows, batch.Done, batch.Error);
        } catch (const std::exception& e) {  // no memory for the rows
            batch.Error = std::string("no memory for the records read ahead (") + e.what() + ")";
        }
        const bool last = batch.Done || !batch.Error.empty();
        {
            std::lock_guard lock(FMutex);
            FReady.push_back(std::move(batch));
            FEnded = last;
        }
        FChanged.notify_all();
        if (last) return;
    }
}

void TSqliteStepper::Next(TSqliteRows& rows, bool& done, std::string& error) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return !FReady.empty() || FEnded; });
    if (FReady.empty()) {  // asked again after the end
        rows.Clear();
        done = true;
        error.clear();
        return;
    }
    TBatch batch = std::move(FReady.front());
    FReady.pop_front();
    FSpare.push_back(std::move(rows));
    rows = std::move(batch.Rows);
    done = batch.Done;
    error = std::move(batch.Error);
    lock.unlock();
    FChanged.notify_all();
}

}  // namespace tabrix
