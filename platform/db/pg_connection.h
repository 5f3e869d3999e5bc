#pragma once
// TPgConnection: a PostgreSQL database through libpq. ConnectionString is
// a libpq connection string ("host=/run/postgresql dbname=sales") or URI.
// Results are read whole when a query opens, so several queries (master
// and details) can share one connection.

#include <string>

#include "platform/db/pg_handle.h"
#include "platform/db/sql_connection.h"

namespace tabrix {

class TPgConnection : public TSQLConnection {
    TABRIX_CLASS(TPgConnection)
public:
    explicit TPgConnection(TComponent* owner = nullptr);
    ~TPgConnection() override;

    const std::string& ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const std::string& value);

    std::string DatabaseName() const override;
    TParamStyle ParamStyle() const override { return TParamStyle::DollarNumber; }
    std::unique_ptr<TSqlCommand> Prepare(const std::string& sql, const std::string& shownSql,
                                         const std::string& dataSetName) override;

    // Runs statements that return no records (set-up, tests); raises on error.
    void ExecSQL(const std::string& sql);

protected:
    void DoConnect() override;
    void DoDisconnect() override;

private:
    std::string FConnectionString;
    pg::ConnectionHandle FConn;
    int FStatementCount = 0;
};

}  // namespace tabrix
