#pragma once
// TSQLQuery: the result of an SQL text on a connection (SQLite or
// PostgreSQL). ":name" parameters take, in this order, a value set in code
// (SetParamValue), a "name=value" line of Params, or, with DataSource set,
// the field of that name in the master's current record; the query then
// opens again whenever the master moves (master/detail).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/sql_connection.h"

namespace tabrix {

class TSQLQuery : public TDataSet {
    TABRIX_CLASS(TSQLQuery)
public:
    explicit TSQLQuery(TComponent* owner = nullptr);
    ~TSQLQuery() override;

    TSQLConnection* Connection() const { return FConnection; }
    void SetConnection(TSQLConnection* connection);
    // Changing the text closes the query.
    TStringList* SQL() const { return FSQL.get(); }
    // "name=value" lines; values are passed as text.
    TStringList* Params() const { return FParams.get(); }
    TDataSource* DataSource() const { return MasterLink(); }
    void SetDataSource(TDataSource* source) { SetMasterLink(source); }

    // Parameter names of the SQL text, in order of first use.
    std::vector<std::string> ParamNames() const;
    // A typed value for a parameter; an empty Variant unassigns it.
    void SetParamValue(const std::string& name, const Variant& value);

protected:
    void InternalOpen() override;
    void MasterChanged(TDataEvent event) override;

private:
    friend class TSQLConnection;
    void ConnectionClosing();
    void ConnectionDestroying(TSQLConnection& connection);
    void SqlChanged();
    std::vector<Variant> ParamValues() const;

    TSQLConnection* FConnection = nullptr;
    std::unique_ptr<TStringList> FSQL = std::make_unique<TStringList>();
    std::unique_ptr<TStringList> FParams = std::make_unique<TStringList>();
    std::map<std::string, Variant> FParamValues;  // upper-cased name
    TParsedSql FParsed;
    std::unique_ptr<TSqlCommand> FCommand;  // compiled once, run per open
};

}  // namespace tabrix
