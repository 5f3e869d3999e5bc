#include "platform/db/sqlite_connection.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>

#include "platform/db/db_errors.h"
#include "platform/db/type_guess.h"
#include "platform/rtl/files.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

// Julian day number of 1899-12-30, the day TDateTime counts from; SQLite's
// date functions read plain numbers as Julian days.
constexpr double kJulianDayOfZero = 2415018.5;

// The field type of a declared column type, by the words SQLite's affinity
// rules look at, and the length of "VARCHAR(40)". ftUnknown: learn the
// type from the values (expressions, untyped columns).
TFieldType DeclaredType(const char* declared, int& size) {
    size = 0;
    if (!declared || !*declared) return TFieldType::ftUnknown;
    const std::string d = UpperCase(declared);
    const size_t paren = d.find('(');
    if (paren != std::string::npos) size = std::atoi(d.c_str() + paren + 1);
    auto has = [&d](const char* word) { return d.find(word) != std::string::npos; };
    if (has("BOOL")) return TFieldType::ftBoolean;
    if (has("DATETIME") || has("TIMESTAMP")) return TFieldType::ftDateTime;
    if (has("DATE")) return TFieldType::ftDate;
    if (has("TIME")) return TFieldType::ftTime;
    if (has("MONEY") || has("CURRENCY")) return TFieldType::ftCurrency;
    if (has("BIGINT") || has("INT8")) return TFieldType::ftLargeint;
    if (has("INT")) return TFieldType::ftInteger;
    if (has("CHAR")) return TFieldType::ftString;
    if (has("CLOB") || has("TEXT")) return TFieldType::ftMemo;
    if (has("BLOB")) return TFieldType::ftBlob;
    if (has("REAL") || has("FLOA") || has("DOUB")) return TFieldType::ftFloat;
    if (has("DEC") || has("NUMERIC")) return TFieldType::ftFMTBcd;
    return TFieldType::ftUnknown;
}

class SqliteSource : public TRecordSource {
public:
    SqliteSource(sqlite3_stmt* stmt, sqlite3* db, const TSqlErrorContext& context, std::vector<bool> learn)
        : FStmt(stmt), FDb(db), FContext(context), FLearn(std::move(learn)), FSeen(FLearn.size(), false) {}
    ~SqliteSource() override { sqlite3_reset(FStmt); }

    bool Fetch(TRecordStore& store, size_t count) override {
        const int columns = static_cast<int>(store.FieldCount());
        for (size_t n = 0; n < count; ++n) {
            const int rc = sqlite3_step(FStmt);
            if (rc == SQLITE_DONE) {
                sqlite3_reset(FStmt);
                return false;
            }
            if (rc != SQLITE_ROW) FContext.Raise(sqlite3_errmsg(FDb));
            try {
                for (int c = 0; c < columns; ++c) Append(store, c);
            } catch (...) {
                store.CancelRecord();
                throw;
            }
            store.EndRecord();
        }
        return true;
    }

private:
    [[noreturn]] void Bad(const TRecordStore& store, int c) const {
        const unsigned char* t = sqlite3_column_text(FStmt, c);
        db_errors::BadValue(FContext.DataSet, store.FieldDefs()[c].Name, FieldTypeName(store.FieldDefs()[c].DataType),
                            t ? reinterpret_cast<const char*>(t) : "");
    }

    std::string_view ColumnText(int c) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, c));
        return std::string_view(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(FStmt, c)));
    }

    // Without a copy: dates are read for every record.
    std::string_view TrimmedText(int c) const {
        std::string_view t = ColumnText(c);
        while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32) t.remove_prefix(1);
        while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32) t.remove_suffix(1);
        return t;
    }

    // Columns without a declared type take the type of their first value
    // and widen when a later value needs it (integer -> float -> text).
    TFieldType Learn(TRecordStore& store, int c, int kind) {
        TFieldType type = store.FieldDefs()[c].DataType;
        const TFieldType valueType = kind == SQLITE_INTEGER ? TFieldType::ftLargeint
                                     : kind == SQLITE_FLOAT ? TFieldType::ftFloat
                                     : kind == SQLITE_BLOB  ? TFieldType::ftBlob
                                                            : TFieldType::ftString;
        if (!FSeen[c]) {
            FSeen[c] = true;
            if (type != valueType) store.ChangeType(c, valueType);
            return valueType;
        }
        const TStorageKind k = StorageKindOf(type);
        if (type == TFieldType::ftLargeint && valueType == TFieldType::ftFloat)
            type = TFieldType::ftFloat;
        else if (k != TStorageKind::Text && StorageKindOf(valueType) == TStorageKind::Text)
            type = TFieldType::ftString;
        if (type != store.FieldDefs()[c].DataType) store.ChangeType(c, type);
        return type;
    }

    void Append(TRecordStore& store, int c) {
        const int kind = sqlite3_column_type(FStmt, c);
        if (kind == SQLITE_NULL) {
            store.AppendNull(c);
            return;
        }
        TFieldType type = FLearn[c] ? Learn(store, c, kind) : store.FieldDefs()[c].DataType;
        switch (type) {
            case TFieldType::ftInteger:
            case TFieldType::ftLargeint:
                if (kind == SQLITE_INTEGER) return store.AppendInteger(c, sqlite3_column_int64(FStmt, c));
                if (kind == SQLITE_FLOAT) {
                    // A declared integer column may hold a real: the column widens.
                    store.ChangeType(c, TFieldType::ftFloat);
                    return store.AppendFloat(c, sqlite3_column_double(FStmt, c));
                }
                {
                    int64_t v;
                    if (!TryParseCsvInteger(TrimmedText(c), v)) Bad(store, c);
                    return store.AppendInteger(c, v);
                }
            case TFieldType::ftBoolean:
                if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT)
                    return store.AppendInteger(c, sqlite3_column_double(FStmt, c) != 0);
                {
                    const std::string_view t = TrimmedText(c);
                    bool b;
                    if (TryParseBooleanText(t, b)) return store.AppendInteger(c, b);
                    if (t == "1" || SameText(t, "t") || SameText(t, "yes")) return store.AppendInteger(c, 1);
                    if (t == "0" || SameText(t, "f") || SameText(t, "no")) return store.AppendInteger(c, 0);
                    Bad(store, c);
                }
            case TFieldType::ftCurrency: {
                double v = 0;
                if (kind == SQLITE_INTEGER) return store.AppendInteger(c, sqlite3_column_int64(FStmt, c) * 10000);
                if (kind == SQLITE_FLOAT)
                    v = sqlite3_column_double(FStmt, c);
                else if (!TryParseCsvFloat(TrimmedText(c), v))
                    Bad(store, c);
                return store.AppendInteger(c, std::llround(v * 10000.0));
            }
            case TFieldType::ftFloat:
            case TFieldType::ftFMTBcd: {
                double v = 0;
                if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT)
                    v = sqlite3_column_double(FStmt, c);
                else if (!TryParseCsvFloat(TrimmedText(c), v))
                    Bad(store, c);
                return store.AppendFloat(c, v);
            }
            case TFieldType::ftDate:
            case TFieldType::ftDateTime:
            case TFieldType::ftTime: {
                double v = 0;
                if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT) {
                    v = sqlite3_column_double(FStmt, c) - kJulianDayOfZero;
                    if (type == TFieldType::ftTime) v -= std::floor(v);
                } else {
                    const std::string_view t = TrimmedText(c);
                    const bool ok = type == TFieldType::ftTime ? TryParseIsoTime(t, v) || TryParseIsoDateTime(t, v)
                                                               : TryParseIsoDateTime(t, v);
                    if (!ok) Bad(store, c);
                    if (type == TFieldType::ftTime) v = std::fabs(v - std::trunc(v));
                }
                return store.AppendFloat(c, v);
            }
            default:
                if (kind == SQLITE_BLOB) {
                    const void* p = sqlite3_column_blob(FStmt, c);
                    return store.AppendText(c, std::string_view(static_cast<const char*>(p),
                                                                static_cast<size_t>(sqlite3_column_bytes(FStmt, c))));
                }
                if (kind == SQLITE_FLOAT) {
                    // Shortest text that reads back as the same number.
                    char buf[32];
                    auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(FStmt, c));
                    return store.AppendText(c, std::string_view(buf, r.ptr - buf));
                }
                return store.AppendText(c, ColumnText(c));
        }
    }

    sqlite3_stmt* FStmt;
    sqlite3* FDb;
    const TSqlErrorContext& FContext;
    std::vector<bool> FLearn;
    std::vector<bool> FSeen;
};

class SqliteCommand : public TSqlCommand {
public:
    SqliteCommand(sqlite::StatementHandle stmt, sqlite3* db, TSqlErrorContext context)
        : FStmt(std::move(stmt)), FDb(db), FContext(std::move(context)) {}

    void Execute(const std::vector<Variant>& params, TRecordStore& store,
                 std::unique_ptr<TRecordSource>& source) override {
        sqlite3_stmt* st = FStmt.get();
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        for (size_t i = 0; i < params.size(); ++i) Bind(static_cast<int>(i) + 1, params[i]);
        const int columns = sqlite3_column_count(st);
        std::vector<TFieldDef> defs(columns);
        std::vector<bool> learn(columns);
        for (int c = 0; c < columns; ++c) {
            defs[c].Name = sqlite3_column_name(st, c);
            defs[c].DataType = DeclaredType(sqlite3_column_decltype(st, c), defs[c].Size);
            learn[c] = defs[c].DataType == TFieldType::ftUnknown;
            if (learn[c]) defs[c].DataType = TFieldType::ftString;
        }
        store = TRecordStore(std::move(defs));
        source = std::make_unique<SqliteSource>(st, FDb, FContext, std::move(learn));
    }

private:
    void Bind(int index, const Variant& v) {
        sqlite3_stmt* st = FStmt.get();
        int rc = SQLITE_OK;
        switch (v.VarType()) {
            case TVarType::varEmpty:
            case TVarType::varNull:
                rc = sqlite3_bind_null(st, index);
                break;
            case TVarType::varInteger:
                rc = sqlite3_bind_int64(st, index, v.AsInteger());
                break;
            case TVarType::varBoolean:
                rc = sqlite3_bind_int(st, index, v.AsBoolean() ? 1 : 0);
                break;
            case TVarType::varDouble:
            case TVarType::varCurrency:
                rc = sqlite3_bind_double(st, index, v.AsDouble());
                break;
            case TVarType::varDate: {
                // As SQLite keeps dates: ISO text.
                const TDateTime d = v.AsDateTime();
                const std::string t = d == std::trunc(d) ? IsoDateText(d) : IsoDateTimeText(d);
                rc = sqlite3_bind_text(st, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const std::string t = v.AsAnsiString();
                rc = sqlite3_bind_text(st, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
                break;
            }
        }
        if (rc != SQLITE_OK) FContext.Raise(sqlite3_errmsg(FDb));
    }

    sqlite::StatementHandle FStmt;
    sqlite3* FDb;
    TSqlErrorContext FContext;
};

}  // namespace

const TClassInfo& TSQLiteConnection::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TSQLiteConnection, TSQLConnection>("TSQLiteConnection")
            .String("Database", &TSQLiteConnection::Database, &TSQLiteConnection::SetDatabase)
            .Build();
    return info;
}

TSQLiteConnection::TSQLiteConnection(TComponent* owner) : TSQLConnectionOn(TParamStyle::QuestionNumber, owner) {}

void TSQLiteConnection::SetDatabase(const std::string& name) { SetWhileDisconnected(FDatabase, name, "the database"); }

std::string TSQLiteConnection::FileName() const { return ExpandApplicationFileName(FDatabase); }

std::string TSQLiteConnection::DatabaseName() const { return FileName(); }

void TSQLiteConnection::DoConnect() {
    const std::string file = FileName();
    if (file.empty()) db_errors::DatabaseError(Name(), "No database file name given");
    if (!FileExists(file)) db_errors::DatabaseMissing(Name(), file);
    std::string error;
    FHandle = sqlite::OpenExisting(file, ReadOnly(), error);
    if (!FHandle) db_errors::DatabaseOpen(Name(), file, error);
}

std::unique_ptr<TSqlCommand> TSQLiteConnection::DoPrepare(const std::string& sql, TSqlErrorContext context) {
    std::string error;
    sqlite::StatementHandle stmt = sqlite::Prepare(FHandle.get(), sql, error);
    if (!stmt) context.Raise(error);
    // The read-only open refuses the write when it runs; said before, and why.
    if (ReadOnly() && !sqlite3_stmt_readonly(stmt.get())) context.Raise(ReadOnlyRefusal());
    return std::make_unique<SqliteCommand>(std::move(stmt), FHandle.get(), std::move(context));
}

}  // namespace tabrix
