#include "platform/db/pg_connection.h"

#include <charconv>
#include <cmath>
#include <exception>

#include "platform/db/db_errors.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

// Type OIDs of the built-in types (pg_type.dat).
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kChar = 18,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kJson = 114,
    kFloat4 = 700,
    kFloat8 = 701,
    kMoney = 790,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestamptz = 1184,
    kTimetz = 1266,
    kNumeric = 1700,
    kJsonb = 3802,
};

TFieldType TypeOf(Oid oid) {
    switch (oid) {
        case kBool:
            return TFieldType::ftBoolean;
        case kInt2:
        case kInt4:
            return TFieldType::ftInteger;
        case kInt8:
        case kOid:
            return TFieldType::ftLargeint;
        case kFloat4:
        case kFloat8:
            return TFieldType::ftFloat;
        case kMoney:
            return TFieldType::ftCurrency;
        case kNumeric:
            return TFieldType::ftFMTBcd;
        case kDate:
            return TFieldType::ftDate;
        case kTime:
        case kTimetz:
            return TFieldType::ftTime;
        case kTimestamp:
        case kTimestamptz:
            return TFieldType::ftDateTime;
        case kText:
        case kJson:
        case kJsonb:
            return TFieldType::ftMemo;
        case kBytea:
            return TFieldType::ftBlob;
        default:
            return TFieldType::ftString;  // varchar, char, name, uuid, interval, arrays...
    }
}

std::string ParamText(const Variant& v) {
    switch (v.VarType()) {
        case TVarType::varBoolean:
            return v.AsBoolean() ? "true" : "false";
        case TVarType::varInteger:
            return IntToStr(v.AsInteger());
        case TVarType::varCurrency:
            return CurrToStr(v.AsCurrency(), TFormatSettings::Invariant());
        case TVarType::varDouble: {
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, v.AsDouble());
            return std::string(buf, r.ptr);
        }
        case TVarType::varDate: {
            const TDateTime d = v.AsDateTime();
            return d == std::trunc(d) ? IsoDateText(d) : IsoDateTimeText(d);
        }
        default:
            return v.AsAnsiString();
    }
}

// Runs one execution of a read-only connection in a read-only transaction
// that is rolled back afterwards: whatever the statement is (also a SET
// that would lift the session's read-only default), it leaves nothing.
class TReadOnlyTransaction {
public:
    TReadOnlyTransaction(PGconn* conn, bool on) : FConn(on ? conn : nullptr) {
        if (FConn) pg::ResultHandle(PQexec(FConn, "BEGIN READ ONLY"));
    }
    ~TReadOnlyTransaction() {
        if (FConn && PQtransactionStatus(FConn) != PQTRANS_IDLE) pg::ResultHandle(PQexec(FConn, "ROLLBACK"));
    }
    TReadOnlyTransaction(const TReadOnlyTransaction&) = delete;
    TReadOnlyTransaction& operator=(const TReadOnlyTransaction&) = delete;

private:
    PGconn* FConn;
};

// SQLSTATE of a write refused by a read-only transaction.
constexpr std::string_view kReadOnlySqlTransaction = "25006";

class PgCommand : public TSqlCommand {
public:
    PgCommand(PGconn* conn, std::string name, std::string sql, TSqlErrorContext context, bool readOnly,
              std::string readOnlyRefusal)
        : FConn(conn),
          FName(std::move(name)),
          FSql(std::move(sql)),
          FContext(std::move(context)),
          FReadOnly(readOnly),
          FReadOnlyRefusal(std::move(readOnlyRefusal)) {}
    ~PgCommand() override {
        if (FPrepared && PQstatus(FConn) == CONNECTION_OK)
            pg::ResultHandle(PQexec(FConn, ("DEALLOCATE " + FName).c_str()));
    }

    void Execute(const std::vector<Variant>& params, TRecordStore& store,
                 std::unique_ptr<TRecordSource>& source) override {
        if (!FPrepared) {
            pg::ResultHandle res(
                PQprepare(FConn, FName.c_str(), FSql.c_str(), static_cast<int>(params.size()), nullptr));
            if (PQresultStatus(res.get()) != PGRES_COMMAND_OK) Fail(pg::ErrorText(res.get()));
            FPrepared = true;
        }
        std::vector<std::string> texts(params.size());
        std::vector<const char*> values(params.size());
        for (size_t i = 0; i < params.size(); ++i) {
            if (params[i].IsNull() || params[i].IsEmpty()) continue;
            texts[i] = ParamText(params[i]);
            values[i] = texts[i].c_str();
        }
        TReadOnlyTransaction transaction(FConn, FReadOnly);
        if (!PQsendQueryPrepared(FConn, FName.c_str(), static_cast<int>(params.size()), values.data(), nullptr, nullptr,
                                 0))
            Fail(pg::ErrorText(FConn));
        PQsetSingleRowMode(FConn);
        std::string error;            // the server's
        std::exception_ptr badValue;  // ours: a value the field type cannot hold
        bool described = false;
        store = TRecordStore();
        // Every result is drained, also after an error, so that the
        // connection is ready for the next statement.
        while (pg::ResultHandle res{PQgetResult(FConn)}) {
            const ExecStatusType status = PQresultStatus(res.get());
            if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
                if (!described) {
                    Describe(res.get(), store);
                    described = true;
                }
                if (error.empty() && !badValue && status == PGRES_SINGLE_TUPLE) {
                    try {
                        AppendRow(res.get(), store);
                    } catch (const Exception&) {
                        store.CancelRecord();
                        badValue = std::current_exception();
                    }
                }
            } else if (status != PGRES_COMMAND_OK && error.empty()) {
                error = pg::ErrorText(res.get());
                const char* state = PQresultErrorField(res.get(), PG_DIAG_SQLSTATE);
                if (state && state == kReadOnlySqlTransaction) error += "; " + FReadOnlyRefusal;
            }
        }
        if (!error.empty() || badValue) store = TRecordStore();
        if (!error.empty()) Fail(error);
        if (badValue) std::rethrow_exception(badValue);
        source.reset();
    }

private:
    [[noreturn]] void Fail(const std::string& reason) const { FContext.Raise(reason); }

    void Describe(const PGresult* res, TRecordStore& store) {
        const int n = PQnfields(res);
        std::vector<TFieldDef> defs(n);
        for (int c = 0; c < n; ++c) {
            defs[c].Name = PQfname(res, c);
            const Oid oid = PQftype(res, c);
            defs[c].DataType = TypeOf(oid);
            const int mod = PQfmod(res, c);
            if ((oid == kVarchar || oid == kBpchar) && mod > 4) defs[c].Size = mod - 4;
        }
        store = TRecordStore(std::move(defs));
    }

    [[noreturn]] void Bad(const TRecordStore& store, int c, std::string_view text) const {
        db_errors::BadValue(FContext.DataSet, store.FieldDefs()[c].Name, FieldTypeName(store.FieldDefs()[c].DataType),
                            text);
    }

    void AppendRow(const PGresult* res, TRecordStore& store) {
        const int n = static_cast<int>(store.FieldCount());
        for (int c = 0; c < n; ++c) {
            if (PQgetisnull(res, 0, c)) {
                store.AppendNull(c);
                continue;
            }
            const std::string_view t(PQgetvalue(res, 0, c), static_cast<size_t>(PQgetlength(res, 0, c)));
            switch (store.FieldDefs()[c].DataType) {
                case TFieldType::ftBoolean:
                    store.AppendInteger(c, t == "t");
                    break;
                case TFieldType::ftInteger:
                case TFieldType::ftLargeint: {
                    int64_t v = 0;
                    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
                    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) Bad(store, c, t);
                    store.AppendInteger(c, v);
                    break;
                }
                case TFieldType::ftFloat:
                case TFieldType::ftFMTBcd: {
                    double v = 0;
                    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
                    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) Bad(store, c, t);
                    store.AppendFloat(c, v);
                    break;
                }
                case TFieldType::ftCurrency: {
                    // lc_monetary is C for the session: "-$1,234.56".
                    std::string plain;
                    for (char ch : t)
                        if ((ch >= '0' && ch <= '9') || ch == '.' || ch == '-') plain += ch;
                    double v = 0;
                    auto r = std::from_chars(plain.data(), plain.data() + plain.size(), v);
                    if (plain.empty() || r.ec != std::errc() || r.ptr != plain.data() + plain.size()) Bad(store, c, t);
                    store.AppendInteger(c, std::llround(v * 10000.0));
                    break;
                }
                case TFieldType::ftDate:
                case TFieldType::ftDateTime: {
                    TDateTime v = 0;
                    if (!TryParseIsoDateTime(t, v)) Bad(store, c, t);  // "infinity", BC dates
                    store.AppendFloat(c, v);
                    break;
                }
                case TFieldType::ftTime: {
                    TDateTime v = 0;
                    if (t.substr(0, 2) == "24")
                        v = 1;  // "24:00:00" is allowed
                    else if (!TryParseIsoTime(t, v))
                        Bad(store, c, t);
                    store.AppendFloat(c, v);
                    break;
                }
                case TFieldType::ftBlob: {
                    size_t length = 0;
                    unsigned char* bytes =
                        PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(res, 0, c)), &length);
                    if (!bytes) Bad(store, c, t);
                    store.AppendText(c, std::string_view(reinterpret_cast<const char*>(bytes), length));
                    PQfreemem(bytes);
                    break;
                }
                default:
                    store.AppendText(c, t);
                    break;
            }
        }
        store.EndRecord();
    }

    PGconn* FConn;
    std::string FName, FSql;
    TSqlErrorContext FContext;
    bool FReadOnly;
    std::string FReadOnlyRefusal;
    bool FPrepared = false;
};

}  // namespace

const TClassInfo& TPgConnection::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPgConnection, TSQLConnection>("TPgConnection")
            .String("ConnectionString", &TPgConnection::ConnectionString, &TPgConnection::SetConnectionString)
            .Build();
    return info;
}

TPgConnection::TPgConnection(TComponent* owner) : TSQLConnectionOn(TParamStyle::DollarNumber, owner) {}

void TPgConnection::SetConnectionString(const std::string& value) {
    SetWhileDisconnected(FConnectionString, value, "the connection string");
}

std::string TPgConnection::DatabaseName() const {
    if (FHandle) {
        std::string name = PQdb(FHandle.get());
        const char* host = PQhost(FHandle.get());
        if (host && *host) name += std::string(" on ") + host;
        return name;
    }
    // From the connection string, leaving any password out.
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(FConnectionString.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        return "(invalid connection string)";
    }
    std::string db, host;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        if (std::string_view(o->keyword) == "dbname")
            db = o->val;
        else if (std::string_view(o->keyword) == "host")
            host = o->val;
    }
    PQconninfoFree(options);
    if (db.empty()) db = "(default database)";
    return host.empty() ? db : db + " on " + host;
}

void TPgConnection::DoConnect() {
    pg::ConnectionHandle conn(PQconnectdb(FConnectionString.c_str()));
    if (!conn) db_errors::DatabaseOpen(Name(), DatabaseName(), "out of memory");
    if (PQstatus(conn.get()) != CONNECTION_OK)
        db_errors::DatabaseOpen(Name(), DatabaseName(), pg::ErrorText(conn.get()));
    PQsetClientEncoding(conn.get(), "UTF8");
    // Texts the result reader understands whatever the server's defaults;
    // a read-only connection's transactions are read-only unless a
    // statement says otherwise (and each query runs in one of its own).
    std::string settings = "SET DateStyle = 'ISO, YMD'; SET lc_monetary = 'C'; SET extra_float_digits = 3";
    if (ReadOnly()) settings += "; SET default_transaction_read_only = on";
    pg::ResultHandle res(PQexec(conn.get(), settings.c_str()));
    if (PQresultStatus(res.get()) != PGRES_COMMAND_OK)
        db_errors::DatabaseOpen(Name(), DatabaseName(), pg::ErrorText(res.get()));
    FHandle = std::move(conn);
}

std::unique_ptr<TSqlCommand> TPgConnection::DoPrepare(const std::string& sql, TSqlErrorContext context) {
    return std::make_unique<PgCommand>(FHandle.get(), "tabrix_" + std::to_string(++FStatementCount), sql,
                                       std::move(context), ReadOnly(), ReadOnlyRefusal());
}

}  // namespace tabrix
