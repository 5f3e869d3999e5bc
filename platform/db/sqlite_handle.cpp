#include "platform/db/sqlite_handle.h"

#include <sqlite3.h>

#include "platform/rtl/strings.h"

namespace tabrix::sqlite {

void DatabaseCloser::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
void StatementFinalizer::operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }

DatabaseHandle OpenExisting(const std::string& fileName, bool readOnly, std::string& error) {
    for (int flags : {SQLITE_OPEN_READWRITE, SQLITE_OPEN_READONLY}) {
        if (readOnly && flags != SQLITE_OPEN_READONLY) continue;
        sqlite3* raw = nullptr;
        // Serialized: a large result is stepped on a thread of its own
        // while the connection's other statements stay usable.
        const int rc = sqlite3_open_v2(fileName.c_str(), &raw, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
        DatabaseHandle db(raw);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db.get(), 5000);
            sqlite3_extended_result_codes(db.get(), 1);
            return db;
        }
        error = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    }
    return nullptr;
}

StatementHandle Prepare(sqlite3* db, const std::string& sql, std::string& error) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
    StatementHandle stmt(raw);
    if (rc != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return nullptr;
    }
    if (!stmt) {
        error = "the SQL text holds no statement";
        return nullptr;
    }
    if (tail && !Trim(std::string_view(tail)).empty() && Trim(std::string_view(tail)) != ";") {
        error = "the SQL text holds more than one statement";
        return nullptr;
    }
    return stmt;
}

bool ExecScript(const DatabaseHandle& db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db.get());
    sqlite3_free(message);
    return false;
}

}  // namespace tabrix::sqlite
