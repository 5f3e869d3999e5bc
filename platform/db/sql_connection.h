#pragma once
// TSQLConnection: what TSQLQuery needs of a database. The concrete
// connections (TSQLiteConnection, TPgConnection) compile statements and run
// them into record stores.

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
    explicit TSQLConnection(TComponent* owner = nullptr);
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
    virtual TParamStyle ParamStyle() const = 0;
    // Compiles sql (with positional placeholders) for the data set named
    // dataSetName; errors show the text as the user wrote it, shownSql.
    virtual std::unique_ptr<TSqlCommand> Prepare(const std::string& sql, const std::string& shownSql,
                                                 const std::string& dataSetName) = 0;

    void Loaded() override;

protected:
    virtual void DoConnect() = 0;
    virtual void DoDisconnect() = 0;
    // Closes and lets go of every query; concrete classes call it first in
    // their destructors, while their handles are still alive.
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

    bool FConnected = false;
    bool FReadOnly = true;
    bool FStreamedConnected = false;
    bool FClosing = false;
    std::vector<TSQLQuery*> FQueries;
};

}  // namespace tabrix
