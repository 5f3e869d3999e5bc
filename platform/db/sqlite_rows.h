#pragma once
// Rows of a running SQLite statement copied out of it, and the stepper that
// runs the statement ahead on a thread of its own while the records taken
// so far are converted and used: on a large result the database's work
// (the sort of an ORDER BY, reading pages) and the report's overlap.
//
// The stepper owns the statement's stepping from its start to its end or
// its destruction (which stops and joins it); nothing else may touch the
// statement meanwhile. The connection must be in SQLite's serialized mode
// (SQLITE_OPEN_FULLMUTEX), since its other statements stay usable.

#include <sqlite3.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tabrix {

// Values of whole rows as sqlite3_column_* gave them. Rows and columns
// are 0-based.
class TSqliteRows {
public:
    void Clear();
    // Copies the statement's current row (after SQLITE_ROW).
    void AddRow(sqlite3_stmt* stmt, int columns);
    size_t RowCount() const { return FColumns ? FValues.size() / static_cast<size_t>(FColumns) : 0; }

    int Kind(size_t row, int column) const { return Value(row, column).Kind; }  // SQLITE_INTEGER...
    int64_t Integer(size_t row, int column) const { return Value(row, column).Integer; }
    // The value as sqlite3_column_double gives it (an integer converted).
    double Float(size_t row, int column) const;
    // The bytes of a text or blob.
    std::string_view Bytes(size_t row, int column) const;

private:
    struct TValue {
        int Kind = SQLITE_NULL;
        int64_t Integer = 0;
        double Float = 0;
        uint32_t Begin = 0, Length = 0;  // into FBytes
    };
    const TValue& Value(size_t row, int column) const {
        return FValues[row * static_cast<size_t>(FColumns) + static_cast<size_t>(column)];
    }

    int FColumns = 0;
    std::vector<TValue> FValues;
    std::string FBytes;
};

// Steps a statement to its end on a thread of its own, a few batches ahead
// of the reader. Ends with sqlite3_reset when the statement is done.
class TSqliteStepper {
public:
    // Batches of `batchRows`; the statement stands on its first unread row.
    TSqliteStepper(sqlite3_stmt* stmt, sqlite3* db, int columns, size_t batchRows);
    ~TSqliteStepper();
    TSqliteStepper(const TSqliteStepper&) = delete;
    TSqliteStepper& operator=(const TSqliteStepper&) = delete;

    // The next batch into rows (its old content given back for reuse).
    // done: the statement ended after these rows; error: the step failed
    // after them, with SQLite's message ("" when it did not).
    void Next(TSqliteRows& rows, bool& done, std::string& error);

    // Whether SQLite was built with the mutexes a stepper needs.
    static bool Possible();

    // Steps the statement on the calling thread until rows holds maxRows
    // rows (cleared first), it is done (then reset) or a step fails.
    static void Step(sqlite3_stmt* stmt, sqlite3* db, int columns, size_t maxRows, TSqliteRows& rows, bool& done,
                     std::string& error);

private:
    struct TBatch {
        TSqliteRows Rows;
        bool Done = false;
        std::string Error;
    };
    void Run();

    sqlite3_stmt* FStmt;
    sqlite3* FDb;
    const int FColumns;
    const size_t FBatchRows;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TBatch> FReady;
    std::vector<TSqliteRows> FSpare;  // batches read, for reuse
    bool FStop = false;
    bool FEnded = false;  // the last batch is in FReady
    std::thread FThread;  // last: starts when everything above is made
};

}  // namespace tabrix
