#pragma once
// Owning handles of the SQLite C interface: a database connection and a
// prepared statement. Closing is the destructor's job; a statement must go
// before its connection (sqlite3_close_v2 defers the close until then).

#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace tabrix::sqlite {

struct DatabaseCloser {
    void operator()(sqlite3* db) const noexcept;
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept;
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Opens an existing database file; never creates one. readOnly: with
// SQLite's read-only flag, so that no statement can write to it; otherwise
// for reading and writing (read-only when the file allows no more). On
// failure returns null and sets error.
DatabaseHandle OpenExisting(const std::string& fileName, bool readOnly, std::string& error);

// Compiles one statement; null and error set on failure (also when the
// text holds more than one statement or none).
StatementHandle Prepare(sqlite3* db, const std::string& sql, std::string& error);

// Runs statements that return no records, one or more; false and error
// set on failure.
bool ExecScript(const DatabaseHandle& db, const std::string& sql, std::string& error);

}  // namespace tabrix::sqlite
