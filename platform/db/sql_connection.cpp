#include "platform/db/sql_connection.h"

#include <algorithm>

#include "platform/db/db_errors.h"
#include "platform/db/sql_query.h"

namespace tabrix {

void TSqlErrorContext::Raise(const std::string& reason) const { db_errors::SqlError(DataSet, Database, reason, Sql); }

const TClassInfo& TSQLConnection::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TSQLConnection, TComponent>("TSQLConnection")
            .Boolean("Connected", &TSQLConnection::Connected, &TSQLConnection::SetConnected, false)
            .Boolean("ReadOnly", &TSQLConnection::ReadOnly, &TSQLConnection::SetReadOnly, true)
            .Build();
    return info;
}

TSQLConnection::TSQLConnection(TParamStyle paramStyle, TComponent* owner)
    : TComponent(owner), FParamStyle(paramStyle) {}

TSQLConnection::~TSQLConnection() { DetachQueries(); }

void TSQLConnection::DetachQueries() {
    FClosing = true;
    for (TSQLQuery* q : std::vector<TSQLQuery*>(FQueries)) {
        try {
            q->ConnectionDestroying(*this);
        } catch (...) {
            // called from destructors: a query that fails to close is closed anyway
        }
    }
    FQueries.clear();
    FClosing = false;
}

void TSQLConnection::Open() {
    if (FConnected) return;
    DoConnect();
    FConnected = true;
}

void TSQLConnection::Close() {
    if (!FConnected) return;
    FClosing = true;
    try {
        for (TSQLQuery* q : std::vector<TSQLQuery*>(FQueries)) q->ConnectionClosing();
    } catch (...) {
        FClosing = false;
        throw;
    }
    FClosing = false;
    DoDisconnect();
    FConnected = false;
}

std::unique_ptr<TSqlCommand> TSQLConnection::Prepare(const std::string& sql, const std::string& shownSql,
                                                     const std::string& dataSetName) {
    Open();
    return DoPrepare(sql, TSqlErrorContext{dataSetName, DatabaseName(), shownSql});
}

void TSQLConnection::ExecSQL(const std::string& sql) {
    Open();
    DoExecSQL(sql);
}

void TSQLConnection::SetConnected(bool value) {
    if (HasState(csLoading) || HasState(csReading)) {
        FStreamedConnected = value;
        return;
    }
    if (value)
        Open();
    else
        Close();
}

void TSQLConnection::Loaded() {
    TComponent::Loaded();
    if (FStreamedConnected) {
        FStreamedConnected = false;
        Open();
    }
}

void TSQLConnection::CheckDisconnected(const char* what) const {
    if (FConnected) db_errors::DatabaseError(Name(), std::string("Cannot change ") + what + " of an open connection");
}

std::string TSQLConnection::ReadOnlyRefusal() const {
    return "the statement would change the database, and the connection " + Name() +
           " is read-only (ReadOnly = False lets its queries write)";
}

void TSQLConnection::AddQuery(TSQLQuery* query) {
    if (std::find(FQueries.begin(), FQueries.end(), query) == FQueries.end()) FQueries.push_back(query);
}

void TSQLConnection::RemoveQuery(TSQLQuery* query) { std::erase(FQueries, query); }

}  // namespace tabrix
