#include "platform/db/sqlite_connection.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>

#include "platform/db/db_errors.h"
#include "platform/db/limits.h"
#include "platform/db/sqlite_rows.h"
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
    ~SqliteSource() override {
        FStepper.reset();  // stopped before the statement is reset
        sqlite3_reset(FStmt);
    }

    bool Fetch(TRecordStore& store, size_t count) override {
        const int columns = static_cast<int>(store.FieldCount());
        for (size_t n = 0; n < count; ++n) {
            if (FRow == FRows.RowCount() && !TakeRows(columns)) return false;
            try {
                for (int c = 0; c < columns; ++c) Append(store, c);
            } catch (...) {
                store.CancelRecord();
                throw;
            }
            store.EndRecord();
            ++FRow;
        }
        return true;
    }

private:
    // The next rows of the statement into FRows; false at its end. The
    // first batch is stepped here (a small result never starts a thread);
    // a result with more is stepped ahead on a thread of its own.
    bool TakeRows(int columns) {
        if (!FError.empty()) FContext.Raise(FError);
        if (FDone) return false;
        FRow = 0;
        if (FStepper) {
            FStepper->Next(FRows, FDone, FError);
        } else {
            TSqliteStepper::Step(FStmt, FDb, columns, kFetchBatchRecords, FRows, FDone, FError);
            if (!FDone && FError.empty() && TSqliteStepper::Possible())
                FStepper = std::make_unique<TSqliteStepper>(FStmt, FDb, columns, kFetchBatchRecords);
        }
        // The rows before a failed step are records; the failure comes after them.
        if (FRows.RowCount() == 0 && !FError.empty()) FContext.Raise(FError);
        return FRows.RowCount() > 0;
    }

    [[noreturn]] void Bad(const TRecordStore& store, int c) const {
        db_errors::BadValue(FContext.DataSet, store.FieldDefs()[c].Name, FieldTypeName(store.FieldDefs()[c].DataType),
                            ColumnText(c));
    }

    int Kind(int c) const { return FRows.Kind(FRow, c); }
    int64_t ColumnInteger(int c) const { return FRows.Integer(FRow, c); }
    double ColumnFloat(int c) const { return FRows.Float(FRow, c); }

    // The value as text, as sqlite3_column_text gives it.
    std::string_view ColumnText(int c) const {
        switch (Kind(c)) {
            case SQLITE_INTEGER: {
                auto r = std::to_chars(FNumberText, FNumberText + sizeof FNumberText, ColumnInteger(c));
                return std::string_view(FNumberText, static_cast<size_t>(r.ptr - FNumberText));
            }
            case SQLITE_FLOAT: {
                auto r = std::to_chars(FNumberText, FNumberText + sizeof FNumberText, ColumnFloat(c));
                return std::string_view(FNumberText, static_cast<size_t>(r.ptr - FNumberText));
            }
            case SQLITE_NULL:
                return {};
            default:
                return FRows.Bytes(FRow, c);
        }
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
        const int kind = Kind(c);
        if (kind == SQLITE_NULL) {
            store.AppendNull(c);
            return;
        }
        TFieldType type = FLearn[c] ? Learn(store, c, kind) : store.FieldDefs()[c].DataType;
        switch (type) {
            case TFieldType::ftInteger:
            case TFieldType::ftLargeint:
                if (kind == SQLITE_INTEGER) return store.AppendInteger(c, ColumnInteger(c));
                if (kind == SQLITE_FLOAT) {
                    // A declared integer column may hold a real: the column widens.
                    store.ChangeType(c, TFieldType::ftFloat);
                    return store.AppendFloat(c, ColumnFloat(c));
                }
                {
                    int64_t v;
                    if (!TryParseCsvInteger(TrimmedText(c), v)) Bad(store, c);
                    return store.AppendInteger(c, v);
                }
            case TFieldType::ftBoolean:
                if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT) return store.AppendInteger(c, ColumnFloat(c) != 0);
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
                if (kind == SQLITE_INTEGER) return store.AppendInteger(c, ColumnInteger(c) * 10000);
                if (kind == SQLITE_FLOAT)
                    v = ColumnFloat(c);
                else if (!TryParseCsvFloat(TrimmedText(c), v))
                    Bad(store, c);
                return store.AppendInteger(c, std::llround(v * 10000.0));
            }
            case TFieldType::ftFloat:
            case TFieldType::ftFMTBcd: {
                double v = 0;
                if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT)
                    v = ColumnFloat(c);
                else if (!TryParseCsvFloat(TrimmedText(c), v))
                    Bad(store, c);
                return store.AppendFloat(c, v);
            }
            case TFieldType::ftDate:
            case TFieldType::ftDateTime:
            case TFieldType::ftTime: {
                double v = 0;
                if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT) {
                    v = ColumnFloat(c) - kJulianDayOfZero;
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
                if (kind == SQLITE_BLOB) return store.AppendText(c, FRows.Bytes(FRow, c));
                if (kind == SQLITE_FLOAT) {
                    // Shortest text that reads back as the same number.
                    char buf[32];
                    auto r = std::to_chars(buf, buf + sizeof buf, ColumnFloat(c));
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
    TSqliteRows FRows;  // the batch being read
    size_t FRow = 0;    // 0-based, into FRows
    bool FDone = false;
    std::string FError;  // a failed step after FRows
    mutable char FNumberText[32] = {};
    std::unique_ptr<TSqliteStepper> FStepper;
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
