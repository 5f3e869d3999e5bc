#pragma once
// TPgConnection: a PostgreSQL database through libpq. ConnectionString is
// a libpq connection string ("host=/run/postgresql dbname=sales") or URI.
// Results are read whole when a query opens, so several queries (master
// and details) can share one connection.

#include <string>

#include "platform/db/pg_handle.h"
#include "platform/db/sql_connection.h"

namespace tabrix {

class TPgConnection : public TSQLConnectionOn<pg::ConnectionHandle> {
    TABRIX_CLASS(TPgConnection)
public:
    explicit TPgConnection(TComponent* owner = nullptr);

    const std::string& ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const std::string& value);

    std::string DatabaseName() const override;

protected:
    void DoConnect() override;
    std::unique_ptr<TSqlCommand> DoPrepare(const std::string& sql, TSqlErrorContext context) override;

private:
    std::string FConnectionString;
    int FStatementCount = 0;
};

}  // namespace tabrix
