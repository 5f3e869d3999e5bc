#pragma once
// TSQLConnection: what TSQLQuery needs of a database. The concrete
// connections (TSQLiteConnection, TPgConnection) build on TSQLConnectionOn,
// which owns their database handle; they compile statements and run them
// into record stores.

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/db/record_source.h"
#include "platform/db/record_store.h"
#include "platform/db/sql_params.h"
#include "platform/rtl/variant.h"

namespace tabrix {

class TSQLQuery;

// What the error of a statement names: the data set that runs it, the
// database (as DatabaseName says it) and the SQL as the user wrote it.
struct TSqlErrorContext {
    std::string DataSet, Database, Sql;

    // Raises EDatabaseError with the database's reason and the context.
    [[noreturn]] void Raise(const std::string& reason) const;
};

// A compiled statement, run again for every execution (a detail query runs
// once per master record).
class TSqlCommand {
public:
    virtual ~TSqlCommand() = default;
    // Runs the statement with the parameter values of positions 1..n and
    // hands out the records: a store with the result's fields and, when
    // the result is read on demand, the source that fills it. Errors raise
    // EDatabaseError naming the data set, the database and the SQL.
    virtual void Execute(const std::vector<Variant>& params, TRecordStore& store,
                         std::unique_ptr<TRecordSource>& source) = 0;
};

class TSQLConnection : public TComponent {
    TABRIX_CLASS(TSQLConnection)
public:
    TSQLConnection(TParamStyle paramStyle, TComponent* owner);
    ~TSQLConnection() override;

    void Open();
    // Closes the queries that use the connection first.
    void Close();
    bool Connected() const { return FConnected; }
    // True while the connection closes its queries (they do not re-open then).
    bool Closing() const { return FClosing; }
    void SetConnected(bool value);

    // Whether the database is opened so that no statement can change it
    // (default): a report reads its data. An application whose queries
    // write sets it to false (in the form: ReadOnly = False). Refused while
    // connected.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { SetWhileDisconnected(FReadOnly, value, "ReadOnly"); }

    // The database as error texts name it (never with a password).
    virtual std::string DatabaseName() const = 0;
    // How the statements mark their parameters.
    TParamStyle ParamStyle() const { return FParamStyle; }
    // Opens the connection and compiles sql (with positional placeholders)
    // for the data set named dataSetName; errors show the text as the user
    // wrote it, shownSql.
    std::unique_ptr<TSqlCommand> Prepare(const std::string& sql, const std::string& shownSql,
                                         const std::string& dataSetName);
    // Opens the connection and runs statements that return no records
    // (set-up, tests); raises EDatabaseError on error.
    void ExecSQL(const std::string& sql);

    void Loaded() override;

protected:
    virtual void DoConnect() = 0;
    virtual void DoDisconnect() = 0;
    // Prepare and ExecSQL once the connection is open; context names the
    // statement in errors.
    virtual std::unique_ptr<TSqlCommand> DoPrepare(const std::string& sql, TSqlErrorContext context) = 0;
    virtual void DoExecSQL(const std::string& sql) = 0;
    // Closes and lets go of every query; called first in the destructor of
    // the class that holds the database handle, while the handle is alive.
    void DetachQueries();
    void CheckDisconnected(const char* what) const;
    // The reason an SQL error gives when a statement would write through a
    // read-only connection: what to set to let it.
    std::string ReadOnlyRefusal() const;
    // The setter of a property that names the database (what, as the error
    // says it): refused while connected, nothing happens when it stays.
    template <class T>
    void SetWhileDisconnected(T& field, const T& value, const char* what) {
        if (value == field) return;
        CheckDisconnected(what);
        field = value;
    }

private:
    friend class TSQLQuery;
    void AddQuery(TSQLQuery* query);
    void RemoveQuery(TSQLQuery* query);

    TParamStyle FParamStyle;
    bool FConnected = false;
    bool FReadOnly = true;
    bool FStreamedConnected = false;
    bool FClosing = false;
    std::vector<TSQLQuery*> FQueries;
};

// A connection over a C library's database handle (an owning pointer):
// closing drops the handle, and the destructor lets the queries go, with
// their statements, while the handle is still alive. ExecSQL runs through
// ExecScript(const THandle&, sql, error), found beside the handle's type
// (false and error set on failure).
//
//   class TMyConnection : public TSQLConnectionOn<my::DatabaseHandle> {
//       void DoConnect() override { FHandle = my::Open(...); }
//   };
template <class THandle>
class TSQLConnectionOn : public TSQLConnection {
public:
    using TSQLConnection::TSQLConnection;
    ~TSQLConnectionOn() override { DetachQueries(); }

protected:
    void DoDisconnect() override { FHandle.reset(); }
    void DoExecSQL(const std::string& sql) override {
        std::string error;
        if (!ExecScript(FHandle, sql, error)) TSqlErrorContext{Name(), DatabaseName(), sql}.Raise(error);
    }

    THandle FHandle;  // null while disconnected
};

}  // namespace tabrix
